#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// One alarm as the definitions file describes it.
struct AlarmDefinition
{
    enum class Kind { HiHi, Hi, Lo, LoLo, State, Quality };

    QString id;
    QString pointId;
    Kind kind = Kind::Hi;
    // hihi/hi: holds while value >= limit; lo/lolo: while value < limit.
    double limit = 0;
    // state: holds while the value equals this (a double or a bool).
    QVariant value;
    // How far back across the limit the value must go to return.
    double deadband = 0;
    qint64 onDelayMs = 0;
    qint64 offDelayMs = 0;
    int priority = 3; // 1 (highest) to 4
    QString message;
    QString area;
    bool latched = false;

    bool isLimit() const { return kind != Kind::State && kind != Kind::Quality; }
    bool operator==(const AlarmDefinition &other) const;
    bool operator!=(const AlarmDefinition &other) const { return !(*this == other); }
};

namespace AlarmDefinitions {

// "hihi", "hi", "lo", "lolo", "state", "quality".
QString kindName(AlarmDefinition::Kind kind);

// A JSON list of records (see docs/alarms.md). On any problem nothing is
// taken: false, with every reason in `errors` (English, one line each,
// naming the record by its place and id).
bool parse(const QByteArray &json, QList<AlarmDefinition> &definitions, QStringList &errors);

// The record as the file has it (defaults left out).
QJsonObject toJson(const AlarmDefinition &definition);

// The alarms a new user gets on the built-in emulator's points.
QList<AlarmDefinition> builtIn();

} // namespace AlarmDefinitions
