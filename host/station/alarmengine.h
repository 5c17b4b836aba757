#pragma once

#include "alarmdefinition.h"
#include "pointsample.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QVariant>

#include <deque>
#include <functional>
#include <set>
#include <utility>
#include <vector>

// One record for the journal: an alarm's transition or an operator's action.
struct AlarmEvent
{
    enum class Type {
        Active,
        Return,
        Ack,
        Shelve,
        Unshelve,
        OutOfService,
        InService,
        Reset,
        Comment,
        Silence,
    };

    Type type = Type::Active;
    QString alarm; // empty for silence
    QString point;
    int priority = 0;
    QVariant value; // the point's value at the time; null when none
    qint64 sourceTime = 0; // the value's source time; 0 for none
    qint64 time = 0; // the station's time
    QString user;
    // Empty: this station; else the station the action came from.
    QString station;
    QString text; // the message, comment or reason

    // "active", "return", "ack", "shelve", "unshelve", "out-of-service",
    // "in-service", "reset", "comment", "silence".
    static QString typeName(Type type);
    static bool typeFromName(const QString &name, Type &type);
};

// Where one alarm stands, as the summary shows it.
struct AlarmStatus
{
    enum class State { Normal, Active, Acknowledged, Returned, Latched, Shelved, OutOfService };

    State state = State::Normal;
    bool active = false; // the condition holds (after its delays)
    bool acknowledged = true;
    bool suspect = false; // limit or state alarm on a value that is not good
    bool chattering = false;
    qint64 raisedAt = 0; // source time of the value that raised the occurrence
    qint64 changedAt = 0; // station time of the last change of state
    QVariant value; // the point's current value; null when none
    qint64 shelvedUntil = 0;
    QString reason; // of the shelving or the removal from service
    QString comment;

    // "normal", "active", "acknowledged", "returned", "latched", "shelved", "out-of-service".
    static QString stateName(State state);
};

// What of an alarm survives a restart.
struct AlarmMemory
{
    QString id;
    bool active = false;
    bool acknowledged = true;
    bool waitingReset = false;
    qint64 raisedAt = 0;
    qint64 shelvedUntil = 0; // 0: not shelved
    QString shelveReason;
    bool outOfService = false;
    QString outOfServiceReason;
    QString comment;
};

// The alarm states of ISA-18.2 for a set of definitions, fed with the point
// table's samples. Pure: the time comes from the injected clock, the results
// are journal records appended to `out`. Not thread-safe; one thread.
class AlarmEngine
{
public:
    using Clock = std::function<qint64()>;

    static constexpr int chatterCount = 3;
    static constexpr qint64 chatterWindow = 60 * 1000;
    static constexpr int floodStart = 10; // more than this many new alarms …
    static constexpr int floodEnd = 5; // … until fewer than this many …
    static constexpr qint64 floodWindow = 10 * 60 * 1000; // … in this long
    static constexpr qint64 longestShelving = 8 * 60 * 60 * 1000;

    explicit AlarmEngine(Clock clock);
    ~AlarmEngine();

    // Replaces the definitions. An alarm whose id stays keeps its state and is
    // evaluated again at once from its point's last value; one that goes is
    // forgotten without a record.
    void setDefinitions(const QList<AlarmDefinition> &definitions, QList<AlarmEvent> &out);
    const QList<AlarmDefinition> &definitions() const { return defs; }

    // The states a previous run left (before any sample). An alarm keeps
    // them until its point's next value decides.
    void restore(const QList<AlarmMemory> &memories);
    AlarmMemory memory(const QString &id) const;

    void evaluate(const QList<PointSample> &samples, QList<AlarmEvent> &out);
    // Delays, shelving that ends, chattering and flood that end.
    void tick(QList<AlarmEvent> &out);
    // When `tick` next has something to do (station time), 0 for never.
    qint64 nextDeadline() const;

    // Operator actions. False with a reason in Russian for the operator (and
    // nothing changed) when the action does not apply. `station` is empty
    // for this station's own operator. `raisedAt`, when not 0, names the
    // occurrence: an acknowledgement of an earlier one changes nothing (and
    // returns false).
    bool acknowledge(const QString &id, qint64 raisedAt, const QString &user,
        const QString &station, const QString &comment, QList<AlarmEvent> &out, QString &problem);
    bool shelve(const QString &id, qint64 durationMs, const QString &reason, const QString &user,
        const QString &station, QList<AlarmEvent> &out, QString &problem);
    // Shelving another station began, ending at `until` (station time, at
    // most `longestShelving` from now).
    bool shelveUntil(const QString &id, qint64 until, const QString &reason, const QString &user,
        const QString &station, QList<AlarmEvent> &out, QString &problem);
    bool unshelve(const QString &id, const QString &user, const QString &station,
        QList<AlarmEvent> &out, QString &problem);
    bool reset(const QString &id, const QString &user, const QString &station,
        QList<AlarmEvent> &out, QString &problem);
    bool comment(const QString &id, const QString &text, const QString &user,
        const QString &station, QList<AlarmEvent> &out, QString &problem);
    bool takeOutOfService(const QString &id, const QString &reason, const QString &user,
        const QString &station, QList<AlarmEvent> &out, QString &problem);
    bool returnToService(const QString &id, const QString &user, const QString &station,
        QList<AlarmEvent> &out, QString &problem);
    // Stops the horn; acknowledges nothing.
    void silence(const QString &user, const QString &station, QList<AlarmEvent> &out);

    bool contains(const QString &id) const;
    AlarmStatus status(const QString &id) const;
    const AlarmDefinition *definition(const QString &id) const;

    // The horn sounds from a new unacknowledged alarm of priority 1 or 2
    // until it is silenced or every such alarm is acknowledged.
    bool hornSounding() const;
    bool flood() const;
    // New alarms in the last `floodWindow`.
    int rate() const;

    // Alarms whose state changed since the last call, and those of which
    // only the value changed (an alarm not in normal only).
    struct Changes
    {
        QSet<QString> state;
        QSet<QString> value;
    };
    Changes takeChanges();

private:
    struct Alarm;
    // The last sample of a point and the alarms on it.
    struct Point
    {
        QVariant value;
        qint64 t = 0;
        PointStatus status = PointStatus::Bad;
        bool seen = false;
        std::vector<int> alarms;
    };

    int pointIndex(const QString &id);
    void evaluateAlarm(Alarm &alarm, const Point &point, qint64 now, QList<AlarmEvent> &out);
    void settle(Alarm &alarm, qint64 now, QList<AlarmEvent> &out);
    void conditionChanged(Alarm &alarm, qint64 now, QList<AlarmEvent> &out);
    void raise(Alarm &alarm, qint64 raisedAt, qint64 now, QList<AlarmEvent> &out);
    void annunciateAgain(Alarm &alarm, qint64 now, QList<AlarmEvent> &out);
    void quiet(Alarm &alarm);
    void setSounding(Alarm &alarm, bool on);
    void changed(Alarm &alarm, qint64 now);
    void schedule(Alarm &alarm);
    qint64 chatterEnd(const Alarm &alarm) const;
    qint64 floodOver() const;
    AlarmStatus::State stateOf(const Alarm &alarm) const;
    AlarmEvent event(const Alarm &alarm, AlarmEvent::Type type, qint64 now, const QString &user,
        const QString &station, const QString &text) const;
    Alarm *find(const QString &id, QString &problem);

    Clock stationClock;
    QList<AlarmDefinition> defs;
    std::vector<Alarm> alarms; // in the order of `defs`
    QHash<QString, int> alarmIndex;
    std::vector<Point> points;
    QHash<QString, int> pointIndexes;
    // (deadline, alarm): every alarm's earliest deadline, at most one entry each.
    std::set<std::pair<qint64, int>> deadlines;
    std::deque<qint64> activations; // station times of annunciated activations
    bool flooding = false;
    int sounding = 0;
    std::vector<int> stateChanged;
    std::vector<int> valueChanged;
    QStringList removed;
};
