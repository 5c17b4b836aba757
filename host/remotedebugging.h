#pragma once

#include <QString>
#include <QStringList>

// Where the engine serves its DevTools protocol. It reads the
// QTWEBENGINE_REMOTE_DEBUGGING variable ("port" or "address:port") unless a
// --remote-debugging-port switch, on the command line or among the engine's
// flags, names the port; the engine's own default address is 127.0.0.1.
struct RemoteDebugging
{
    // Empty when debugging is off.
    QString host;
    QString port;

    bool isOn() const { return !port.isEmpty(); }
    QString address() const { return host + QLatin1Char(':') + port; }

    static RemoteDebugging from(
        const QStringList &arguments, const QString &variable, const QString &engineFlags);
};
