#pragma once

#include <QString>

class QUrl;

// The one answer to "is this the built-in application?", for the window, the
// scheme handlers and the injected scripts alike. Its page and profile are its
// own, so these checks confirm what the profile already guarantees.

// The address the host loads the built-in application from.
QString builtInApplicationAddress();

// A document of the built-in application: "qrc:" below "/mvp/".
bool isBuiltInApplicationUrl(const QUrl &url);

// The origin the built-in application's requests carry: "qrc:" without host.
bool isBuiltInApplicationOrigin(const QUrl &initiator);

// An object address made by the built-in application's page, as its own
// saves arrive: "blob:qrc:/<uuid>".
bool isBuiltInApplicationBlob(const QUrl &url);

// Any "qrc:" address: the executable's resources, which only the built-in
// application's page may reach.
bool isResourceUrl(const QUrl &url);
