#include "schemeregistration.h"

#include <QWebEngineUrlScheme>
#include <QtGlobal>

namespace {
// FetchApiAllowed is declared from Qt 6.6 on; older engines take the same bit.
#if QT_VERSION >= QT_VERSION_CHECK(6, 6, 0)
constexpr QWebEngineUrlScheme::Flag fetchApiAllowed = QWebEngineUrlScheme::FetchApiAllowed;
#else
constexpr QWebEngineUrlScheme::Flag fetchApiAllowed = QWebEngineUrlScheme::Flag(0x100);
#endif
} // namespace

QWebEngineUrlScheme registerCorvaneScheme()
{
    QWebEngineUrlScheme scheme(corvaneSchemeName);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme
        | QWebEngineUrlScheme::LocalAccessAllowed | QWebEngineUrlScheme::CorsEnabled
        | fetchApiAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
    return scheme;
}

QWebEngineUrlScheme registerStationFolderScheme(const QByteArray &name)
{
    QWebEngineUrlScheme scheme(name);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
    return scheme;
}
