#pragma once

#include <QString>
#include <QWebEngineUrlSchemeHandler>

#include <functional>

class QWebEngineUrlRequestJob;

// Serves the files of an external web application from the directory the
// user chose, and nothing outside it.
class ExternalContentHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    // The largest file served.
    static constexpr qint64 maxFileSize = qint64(256) << 20;

    explicit ExternalContentHandler(QObject *parent = nullptr);

    void setRootDirectory(const QString &path);
    QString currentRootDirectory() const { return rootDirectory; }

    void requestStarted(QWebEngineUrlRequestJob *job) override;

    // Runs between a request's resolution and the opening of its file, on the
    // reading thread: lets a test change the directory in that moment.
    void setBeforeOpenHook(std::function<void(const QString &path)> hook);

signals:
    void resourceError(const QString &url, const QString &reason);

private:
    QString rootDirectory;
    std::function<void(const QString &)> beforeOpen;
};
