#pragma once

#include <QString>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineUrlRequestJob;

// Serves the files of an external web application from the directory the
// user chose, and nothing outside it.
class ExternalContentHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    explicit ExternalContentHandler(QObject *parent = nullptr);

    void setRootDirectory(const QString &path);
    QString currentRootDirectory() const { return rootDirectory; }

    void requestStarted(QWebEngineUrlRequestJob *job) override;

signals:
    void resourceError(const QString &url, const QString &reason);

private:
    QString rootDirectory;
};
