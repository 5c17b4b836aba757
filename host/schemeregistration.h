#pragma once

#include <QByteArray>

class QWebEngineUrlScheme;

// The custom scheme that serves an external application from a directory.
inline const QByteArray corvaneSchemeName = QByteArrayLiteral("corvane");

// Builds the scheme description (host syntax, secure, local, CORS and fetch
// enabled) and registers it. Must run before the application object exists;
// the returned object has to outlive the application.
QWebEngineUrlScheme registerCorvaneScheme();

// Registers a scheme through which the station serves one of its folders to
// the built-in application: host syntax, secure for the secure "qrc:" page,
// CORS so that it may read the replies. Before the application object exists.
QWebEngineUrlScheme registerStationFolderScheme(const QByteArray &name);
