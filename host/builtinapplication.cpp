#include "builtinapplication.h"

#include <QUrl>

QString builtInApplicationAddress()
{
    return QStringLiteral("qrc:/mvp/index.html");
}

bool isBuiltInApplicationUrl(const QUrl &url)
{
    return url.scheme() == QLatin1String("qrc") && url.host().isEmpty()
        && url.path().startsWith(QLatin1String("/mvp/"));
}

bool isBuiltInApplicationOrigin(const QUrl &initiator)
{
    return initiator.scheme() == QLatin1String("qrc") && initiator.host().isEmpty()
        && initiator.path().isEmpty();
}

bool isBuiltInApplicationBlob(const QUrl &url)
{
    // The path of a blob address is its creator's origin, a slash and an id.
    return url.scheme() == QLatin1String("blob") && url.path().startsWith(QLatin1String("qrc:/"))
        && !url.path().mid(5).contains(QLatin1Char('/'));
}

bool isResourceUrl(const QUrl &url)
{
    return url.scheme() == QLatin1String("qrc");
}
