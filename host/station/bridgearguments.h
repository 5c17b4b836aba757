#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <optional>

// Checks of what the page hands the bridge: the page is not trusted, so every
// argument is taken as a JSON value and read with its expected type and size.
namespace BridgeArguments {

inline constexpr int maxPointIds = 64;
inline constexpr int maxPointIdLength = 128;
inline constexpr int maxValuesPerCall = 20000;
inline constexpr int maxHistoryPoints = 100000;
// The points one page may follow live at once.
inline constexpr int maxFollowedPoints = 100000;

// A list of point ids: strings of 1 to 128 characters, at most `most` of them.
std::optional<QStringList> pointIds(
    const QJsonValue &value, QString &problem, int most = maxPointIds);

// A time in milliseconds since the epoch: a finite whole number within
// 1970..9999.
std::optional<qint64> time(const QJsonValue &value, QString &problem);

// A whole number in [low, high].
std::optional<int> count(const QJsonValue &value, int low, int high, QString &problem);

} // namespace BridgeArguments
