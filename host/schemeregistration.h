#pragma once

#include <QByteArray>

class QWebEngineUrlScheme;

// The custom scheme that serves an external application from a directory.
inline const QByteArray corvaneSchemeName = QByteArrayLiteral("corvane");

// Builds the scheme description (host syntax, secure, local, CORS and fetch
// enabled) and registers it. Must run before the application object exists;
// the returned object has to outlive the application.
QWebEngineUrlScheme registerCorvaneScheme();
