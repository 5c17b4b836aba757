#pragma once

#include <QByteArray>
#include <QWebEngineUrlSchemeHandler>

#include <functional>

class QWebEngineUrlRequestJob;
class QWebEngineUrlScheme;
class SchemeFolder;

// The scheme through which the built-in application reads the scheme folder.
// It is not a local scheme: pages from "qrc:" may not load local ones. It is
// installed on the built-in application's profile only, and still answers
// nothing but the built-in application's own requests.
inline const QByteArray schemeFolderSchemeName = QByteArrayLiteral("corvane-schemes");

// Registers the scheme; like every custom scheme, before the application exists.
QWebEngineUrlScheme registerSchemeFolderScheme();

// Serves the scheme folder read-only to the built-in application: its
// listing at "corvane-schemes://folder/" and each scheme file by its name
// below it, confined to the folder like an external application's files.
class SchemeFolderHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    explicit SchemeFolderHandler(SchemeFolder *folder, QObject *parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

    // Runs between a request's resolution and the opening of its file, on the
    // reading thread: lets a test change the folder in that moment.
    void setBeforeOpenHook(std::function<void(const QString &path)> hook);

signals:
    void resourceError(const QString &url, const QString &reason);

private:
    SchemeFolder *folder = nullptr;
    std::function<void(const QString &)> beforeOpen;
};
