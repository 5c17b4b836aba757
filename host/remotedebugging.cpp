#include "remotedebugging.h"

namespace {
const QString portSwitch = QStringLiteral("--remote-debugging-port=");
} // namespace

RemoteDebugging RemoteDebugging::from(
    const QStringList &arguments, const QString &variable, const QString &engineFlags)
{
    RemoteDebugging debugging;
    QString port;
    const QStringList flags = engineFlags.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QStringList *list : { &arguments, &flags }) {
        for (const QString &argument : *list) {
            if (argument.startsWith(portSwitch))
                port = argument.mid(portSwitch.size());
        }
    }
    QString host = QStringLiteral("127.0.0.1");
    if (port.isEmpty() && !variable.isEmpty()) {
        const qsizetype colon = variable.lastIndexOf(QLatin1Char(':'));
        if (colon >= 0) {
            host = variable.left(colon);
            port = variable.mid(colon + 1);
        } else {
            port = variable;
        }
    }
    if (port.isEmpty())
        return debugging;
    debugging.host = host;
    debugging.port = port;
    return debugging;
}
