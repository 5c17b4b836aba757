#include "loopback.h"

#include <QHostAddress>
#include <QString>

bool isLoopbackHost(const QString &host)
{
    QString bare = host;
    if (bare.startsWith(QLatin1Char('[')) && bare.endsWith(QLatin1Char(']')))
        bare = bare.mid(1, bare.size() - 2);
    if (bare.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(bare);
    return !address.isNull() && address.isLoopback();
}
