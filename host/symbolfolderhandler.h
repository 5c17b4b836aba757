#pragma once

#include <QByteArray>
#include <QWebEngineUrlSchemeHandler>

class QWebEngineUrlRequestJob;
class QWebEngineUrlScheme;
class SymbolFolder;

// The scheme through which the built-in application reads the station's own
// symbols; like the scheme folder's, it answers the built-in application alone.
inline const QByteArray symbolFolderSchemeName = QByteArrayLiteral("corvane-symbols");

// Registers the scheme; like every custom scheme, before the application exists.
QWebEngineUrlScheme registerSymbolFolderScheme();

// Serves the sanitised symbols of the folder, read-only, as one listing at
// "corvane-symbols://folder/"; the files themselves are never served.
class SymbolFolderHandler : public QWebEngineUrlSchemeHandler
{
    Q_OBJECT

public:
    explicit SymbolFolderHandler(SymbolFolder *folder, QObject *parent = nullptr);

    void requestStarted(QWebEngineUrlRequestJob *job) override;

signals:
    void resourceError(const QString &url, const QString &reason);

private:
    SymbolFolder *folder = nullptr;
};
