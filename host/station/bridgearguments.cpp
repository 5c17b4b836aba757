#include "bridgearguments.h"

#include <QJsonArray>

#include <cmath>

namespace BridgeArguments {

std::optional<QStringList> pointIds(const QJsonValue &value, QString &problem, int most)
{
    if (!value.isArray()) {
        problem = QStringLiteral("point ids must be a list");
        return std::nullopt;
    }
    const QJsonArray array = value.toArray();
    if (array.size() > most) {
        problem = QStringLiteral("at most %1 point ids").arg(most);
        return std::nullopt;
    }
    QStringList ids;
    for (const QJsonValue &entry : array) {
        const QString id = entry.toString();
        if (!entry.isString() || id.isEmpty() || id.size() > maxPointIdLength) {
            problem = QStringLiteral("a point id must be a text of 1 to %1 characters")
                          .arg(maxPointIdLength);
            return std::nullopt;
        }
        ids << id;
    }
    return ids;
}

std::optional<qint64> time(const QJsonValue &value, QString &problem)
{
    // 9999-12-31 in milliseconds: beyond it no date can be written.
    constexpr double latest = 253402300799999.0;
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || !std::isfinite(number) || number < 0 || number > latest
        || std::floor(number) != number) {
        problem = QStringLiteral("a time must be whole milliseconds since 1970");
        return std::nullopt;
    }
    return qint64(number);
}

std::optional<int> count(const QJsonValue &value, int low, int high, QString &problem)
{
    const double number = value.toDouble(std::nan(""));
    if (!value.isDouble() || !std::isfinite(number) || std::floor(number) != number || number < low
        || number > high) {
        problem = QStringLiteral("a count must be a whole number from %1 to %2").arg(low).arg(high);
        return std::nullopt;
    }
    return int(number);
}

} // namespace BridgeArguments
