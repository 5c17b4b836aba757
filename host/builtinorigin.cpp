#include "builtinorigin.h"

#include <QUrl>

bool fromBuiltInApplication(const QUrl &initiator)
{
    return initiator.scheme() == QLatin1String("qrc") && initiator.host().isEmpty()
        && initiator.path().isEmpty();
}
