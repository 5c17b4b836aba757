#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QMetaType>
#include <QString>

#include <limits>

// One line of the station journal: an alarm's transition or an operator's
// action. Rows are only ever appended; `seq` is given by the database.
struct JournalRecord
{
    qint64 seq = 0;
    qint64 time = 0;
    qint64 sourceTime = 0; // 0: the source gave no time
    QString event;
    QString alarm;
    QString point;
    int priority = 0; // 0: none
    QString value;
    QString user;
    QString station;
    QString text;

    bool operator==(const JournalRecord &other) const
    {
        return seq == other.seq && time == other.time && sourceTime == other.sourceTime
            && event == other.event && alarm == other.alarm && point == other.point
            && priority == other.priority && value == other.value && user == other.user
            && station == other.station && text == other.text;
    }
};

// Which records a query wants: time in [from, to]; `point` and `event` match
// exactly when given; `text` is found, whatever its case, in text, alarm or point.
struct JournalFilter
{
    qint64 from = std::numeric_limits<qint64>::min();
    qint64 to = std::numeric_limits<qint64>::max();
    QString point;
    QString event;
    QString text;
};

// The state of one alarm as it was last saved, so that it outlives a restart.
// `data` is the alarm engine's own JSON text, kept as given.
struct AlarmStateRow
{
    QString alarm;
    bool active = false;
    bool acknowledged = true;
    QByteArray data;

    bool operator==(const AlarmStateRow &other) const
    {
        return alarm == other.alarm && active == other.active && acknowledged == other.acknowledged
            && data == other.data;
    }
};

inline QJsonObject toJson(const JournalRecord &record)
{
    return { { QStringLiteral("seq"), QJsonValue(record.seq) },
        { QStringLiteral("time"), QJsonValue(record.time) },
        { QStringLiteral("sourceTime"), QJsonValue(record.sourceTime) },
        { QStringLiteral("event"), record.event }, { QStringLiteral("alarm"), record.alarm },
        { QStringLiteral("point"), record.point }, { QStringLiteral("priority"), record.priority },
        { QStringLiteral("value"), record.value }, { QStringLiteral("user"), record.user },
        { QStringLiteral("station"), record.station }, { QStringLiteral("text"), record.text } };
}

Q_DECLARE_METATYPE(JournalRecord)
Q_DECLARE_METATYPE(AlarmStateRow)
