#include "alarmengine.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>

// Each alarm keeps two things apart: `holds`, the condition on the last usable
// value (with its deadband), and `active`, the condition once its delays have
// run out. Whether the operator hears of a change of `active` depends on the
// shelving and the service state; the condition is tracked either way.

namespace {

constexpr qint64 minute = 60 * 1000;
constexpr qint64 shelvingDurations[]
    = { 15 * minute, 60 * minute, 4 * 60 * minute, 8 * 60 * minute };
constexpr int maxTextLength = 500;

double numberOf(const QVariant &value)
{
    if (value.typeId() == QMetaType::Bool)
        return value.value<bool>() ? 1 : 0;
    if (value.typeId() == QMetaType::Double)
        return value.value<double>();
    return value.toDouble();
}

// A good value that a limit or state alarm can judge: a flag or a finite number.
bool usable(const QVariant &value, PointStatus status)
{
    if (status != PointStatus::Good || value.isNull())
        return false;
    return value.typeId() == QMetaType::Bool || std::isfinite(numberOf(value));
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    if (a.typeId() != b.typeId())
        return false;
    if (a.typeId() == QMetaType::Double)
        return a.value<double>() == b.value<double>();
    if (a.typeId() == QMetaType::Bool)
        return a.value<bool>() == b.value<bool>();
    return a == b;
}

// The condition for a usable value; `held` is whether it held before, for the deadband.
bool conditionFor(const AlarmDefinition &definition, const QVariant &value, bool held)
{
    switch (definition.kind) {
    case AlarmDefinition::Kind::HiHi:
    case AlarmDefinition::Kind::Hi:
        return numberOf(value)
            >= (held ? definition.limit - definition.deadband : definition.limit);
    case AlarmDefinition::Kind::Lo:
    case AlarmDefinition::Kind::LoLo:
        return numberOf(value) < (held ? definition.limit + definition.deadband : definition.limit);
    case AlarmDefinition::Kind::State:
        if (value.typeId() == QMetaType::Bool && definition.value.typeId() == QMetaType::Bool)
            return value.value<bool>() == definition.value.value<bool>();
        return numberOf(value) == numberOf(definition.value);
    case AlarmDefinition::Kind::Quality:
        break;
    }
    return false;
}

// The text trimmed into `into`, or false with the problem.
bool checkedText(const QString &text, const QString &missing, const QString &tooLong, QString &into,
    QString &problem)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        problem = missing;
        return false;
    }
    if (trimmed.size() > maxTextLength) {
        problem = tooLong;
        return false;
    }
    into = trimmed;
    return true;
}

QString reasonMissing()
{
    return QStringLiteral("Укажите причину");
}

QString reasonTooLong()
{
    return QStringLiteral("Причина длиннее 500 знаков");
}

QString commentTooLong()
{
    return QStringLiteral("Комментарий длиннее 500 знаков");
}

} // namespace

struct AlarmEngine::Alarm
{
    AlarmDefinition def;
    int index = 0;
    int point = 0;
    bool holds = false;
    qint64 holdsSince = 0; // source time of the sample at which `holds` last changed
    bool pending = false; // `holds` differs from `active` until `pendingUntil`
    qint64 pendingUntil = 0;
    bool active = false;
    bool acknowledged = true;
    bool waitingReset = false;
    bool suspect = false;
    bool chattering = false;
    qint64 raisedAt = 0;
    qint64 changedAt = 0;
    qint64 shelvedUntil = 0;
    bool outOfService = false;
    QString shelveReason;
    QString serviceReason;
    QString comment;
    // The station times of the last activations, a ring: the next one to
    // overwrite is the oldest.
    std::array<qint64, chatterCount> recent {};
    int recentCount = 0;
    int recentNext = 0;
    bool sounding = false;
    // Restored as an unacknowledged priority 1 or 2 alarm: sounds again if
    // the first value confirms it.
    bool soundIfConfirmed = false;
    bool inStateChanged = false;
    bool inValueChanged = false;
    qint64 scheduled = 0; // its key in `deadlines`, 0 for none

    bool annunciated() const { return !outOfService && shelvedUntil == 0; }
};

QString AlarmEvent::typeName(Type type)
{
    switch (type) {
    case Type::Active:
        return QStringLiteral("active");
    case Type::Return:
        return QStringLiteral("return");
    case Type::Ack:
        return QStringLiteral("ack");
    case Type::Shelve:
        return QStringLiteral("shelve");
    case Type::Unshelve:
        return QStringLiteral("unshelve");
    case Type::OutOfService:
        return QStringLiteral("out-of-service");
    case Type::InService:
        return QStringLiteral("in-service");
    case Type::Reset:
        return QStringLiteral("reset");
    case Type::Comment:
        return QStringLiteral("comment");
    case Type::Silence:
        return QStringLiteral("silence");
    }
    return QStringLiteral("silence");
}

bool AlarmEvent::typeFromName(const QString &name, Type &type)
{
    for (Type candidate : { Type::Active, Type::Return, Type::Ack, Type::Shelve, Type::Unshelve,
             Type::OutOfService, Type::InService, Type::Reset, Type::Comment, Type::Silence }) {
        if (name == typeName(candidate)) {
            type = candidate;
            return true;
        }
    }
    return false;
}

QString AlarmStatus::stateName(State state)
{
    switch (state) {
    case State::Normal:
        return QStringLiteral("normal");
    case State::Active:
        return QStringLiteral("active");
    case State::Acknowledged:
        return QStringLiteral("acknowledged");
    case State::Returned:
        return QStringLiteral("returned");
    case State::Latched:
        return QStringLiteral("latched");
    case State::Shelved:
        return QStringLiteral("shelved");
    case State::OutOfService:
        return QStringLiteral("out-of-service");
    }
    return QStringLiteral("normal");
}

AlarmEngine::AlarmEngine(Clock clock)
    : stationClock(std::move(clock))
{ }

AlarmEngine::~AlarmEngine() = default;

int AlarmEngine::pointIndex(const QString &id)
{
    const auto found = pointIndexes.constFind(id);
    if (found != pointIndexes.constEnd())
        return *found;
    points.emplace_back();
    pointIndexes.insert(id, int(points.size() - 1));
    return int(points.size() - 1);
}

void AlarmEngine::setDefinitions(const QList<AlarmDefinition> &definitions, QList<AlarmEvent> &out)
{
    const qint64 now = stationClock();
    // Marks not yet taken follow their ids into the new order.
    QStringList carriedState;
    QStringList carriedValue;
    for (int i : stateChanged)
        carriedState << alarms[i].def.id;
    for (int i : valueChanged)
        carriedValue << alarms[i].def.id;

    std::vector<Alarm> next;
    next.reserve(definitions.size());
    QHash<QString, int> nextIndex;
    nextIndex.reserve(definitions.size());
    QList<AlarmDefinition> nextDefs;
    std::vector<bool> kept(alarms.size(), false);
    std::vector<int> fresh; // new or changed: evaluated from the point's last value
    for (const AlarmDefinition &definition : definitions) {
        if (nextIndex.contains(definition.id))
            continue;
        Alarm alarm;
        const auto old = alarmIndex.constFind(definition.id);
        if (old != alarmIndex.constEnd()) {
            kept[*old] = true;
            alarm = std::move(alarms[*old]);
            if (alarm.def != definition)
                fresh.push_back(int(next.size()));
        } else {
            fresh.push_back(int(next.size()));
        }
        alarm.def = definition;
        alarm.index = int(next.size());
        alarm.point = pointIndex(definition.pointId);
        alarm.scheduled = 0;
        alarm.inStateChanged = false;
        alarm.inValueChanged = false;
        nextIndex.insert(definition.id, alarm.index);
        nextDefs << definition;
        next.push_back(std::move(alarm));
    }
    for (size_t i = 0; i < kept.size(); ++i) {
        if (!kept[i])
            removed << alarms[i].def.id;
    }

    alarms = std::move(next);
    alarmIndex = nextIndex;
    defs = nextDefs;
    for (Point &point : points)
        point.alarms.clear();
    deadlines.clear();
    stateChanged.clear();
    valueChanged.clear();
    sounding = 0;
    for (Alarm &alarm : alarms) {
        points[alarm.point].alarms.push_back(alarm.index);
        sounding += alarm.sounding ? 1 : 0;
        schedule(alarm);
    }
    for (const QString &id : std::as_const(carriedState)) {
        const auto found = alarmIndex.constFind(id);
        if (found != alarmIndex.constEnd())
            changed(alarms[*found], alarms[*found].changedAt);
    }
    for (const QString &id : std::as_const(carriedValue)) {
        const auto found = alarmIndex.constFind(id);
        if (found != alarmIndex.constEnd()) {
            alarms[*found].inValueChanged = true;
            valueChanged.push_back(*found);
        }
    }
    for (int i : fresh) {
        Alarm &alarm = alarms[i];
        // A new limit or point: whatever waited for a delay starts again.
        alarm.pending = false;
        alarm.holds = alarm.active;
        changed(alarm, now);
        const Point &point = points[alarm.point];
        if (point.seen)
            evaluateAlarm(alarm, point, now, out);
        schedule(alarm);
    }
}

void AlarmEngine::restore(const QList<AlarmMemory> &memories)
{
    const qint64 now = stationClock();
    for (const AlarmMemory &memory : memories) {
        const auto found = alarmIndex.constFind(memory.id);
        if (found == alarmIndex.constEnd())
            continue;
        Alarm &alarm = alarms[*found];
        alarm.active = memory.active;
        alarm.holds = memory.active;
        alarm.pending = false;
        alarm.acknowledged = memory.acknowledged;
        alarm.waitingReset = memory.waitingReset;
        alarm.raisedAt = memory.raisedAt;
        alarm.shelvedUntil = memory.shelvedUntil;
        alarm.shelveReason = memory.shelveReason;
        alarm.outOfService = memory.outOfService;
        alarm.serviceReason = memory.outOfServiceReason;
        alarm.comment = memory.comment;
        alarm.soundIfConfirmed = memory.active && !memory.acknowledged && alarm.def.priority <= 2;
        setSounding(alarm, false);
        changed(alarm, now);
        schedule(alarm);
    }
}

AlarmMemory AlarmEngine::memory(const QString &id) const
{
    AlarmMemory memory;
    memory.id = id;
    const auto found = alarmIndex.constFind(id);
    if (found == alarmIndex.constEnd())
        return memory;
    const Alarm &alarm = alarms[*found];
    memory.active = alarm.active;
    memory.acknowledged = alarm.acknowledged;
    memory.waitingReset = alarm.waitingReset;
    memory.raisedAt = alarm.raisedAt;
    memory.shelvedUntil = alarm.shelvedUntil;
    memory.shelveReason = alarm.shelveReason;
    memory.outOfService = alarm.outOfService;
    memory.outOfServiceReason = alarm.serviceReason;
    memory.comment = alarm.comment;
    return memory;
}

void AlarmEngine::evaluate(const QList<PointSample> &samples, QList<AlarmEvent> &out)
{
    if (samples.isEmpty())
        return;
    const qint64 now = stationClock();
    for (const PointSample &sample : samples) {
        const auto found = pointIndexes.constFind(sample.id);
        Point &point = points[found != pointIndexes.constEnd() ? *found : pointIndex(sample.id)];
        const bool moved
            = !point.alarms.empty() && !(point.seen && sameValue(point.value, sample.value));
        point.value = sample.value;
        point.t = sample.t;
        point.status = sample.status;
        point.seen = true;
        for (int i : point.alarms) {
            Alarm &alarm = alarms[i];
            evaluateAlarm(alarm, point, now, out);
            if (moved && !alarm.inValueChanged && stateOf(alarm) != AlarmStatus::State::Normal) {
                alarm.inValueChanged = true;
                valueChanged.push_back(i);
            }
        }
    }
}

void AlarmEngine::evaluateAlarm(
    Alarm &alarm, const Point &point, qint64 now, QList<AlarmEvent> &out)
{
    bool holds;
    if (alarm.def.kind == AlarmDefinition::Kind::Quality) {
        holds = point.status != PointStatus::Good || point.value.isNull();
    } else if (!usable(point.value, point.status)) {
        if (!alarm.suspect) {
            // Neither raises nor returns: a change that waited for its delay is dropped.
            alarm.suspect = true;
            alarm.holds = alarm.active;
            if (alarm.pending) {
                alarm.pending = false;
                schedule(alarm);
            }
            changed(alarm, now);
        }
        return;
    } else {
        if (alarm.suspect) {
            alarm.suspect = false;
            changed(alarm, now);
        }
        holds = conditionFor(alarm.def, point.value, alarm.holds);
    }
    if (alarm.soundIfConfirmed) {
        alarm.soundIfConfirmed = false;
        if (holds && alarm.active && !alarm.acknowledged && alarm.annunciated())
            setSounding(alarm, true);
    }
    if (holds == alarm.holds)
        return;
    alarm.holds = holds;
    alarm.holdsSince = point.t;
    settle(alarm, now, out);
}

void AlarmEngine::settle(Alarm &alarm, qint64 now, QList<AlarmEvent> &out)
{
    if (alarm.holds == alarm.active) {
        if (alarm.pending) {
            alarm.pending = false;
            schedule(alarm);
        }
        return;
    }
    if (alarm.pending)
        return;
    const qint64 delay = alarm.holds ? alarm.def.onDelayMs : alarm.def.offDelayMs;
    if (delay <= 0) {
        conditionChanged(alarm, now, out);
        return;
    }
    alarm.pending = true;
    alarm.pendingUntil = now + delay;
    schedule(alarm);
}

void AlarmEngine::conditionChanged(Alarm &alarm, qint64 now, QList<AlarmEvent> &out)
{
    alarm.pending = false;
    alarm.active = alarm.holds;
    if (!alarm.annunciated()) {
        changed(alarm, now);
    } else if (alarm.active) {
        raise(alarm, alarm.holdsSince, now, out);
    } else {
        out << event(alarm, AlarmEvent::Type::Return, now, {}, {}, alarm.def.message);
        if (!alarm.acknowledged) {
            alarm.waitingReset = alarm.def.latched;
        } else if (alarm.def.latched) {
            alarm.waitingReset = true;
        } else {
            alarm.raisedAt = 0;
            alarm.comment.clear();
        }
        changed(alarm, now);
    }
    schedule(alarm);
}

void AlarmEngine::raise(Alarm &alarm, qint64 raisedAt, qint64 now, QList<AlarmEvent> &out)
{
    alarm.raisedAt = raisedAt;
    alarm.acknowledged = false;
    alarm.waitingReset = false;
    alarm.comment.clear();
    out << event(alarm, AlarmEvent::Type::Active, now, {}, {}, alarm.def.message);
    if (alarm.def.priority <= 2)
        setSounding(alarm, true);

    alarm.recent[alarm.recentNext] = now;
    alarm.recentNext = (alarm.recentNext + 1) % chatterCount;
    alarm.recentCount = std::min(alarm.recentCount + 1, chatterCount);
    alarm.chattering
        = alarm.recentCount == chatterCount && now - alarm.recent[alarm.recentNext] < chatterWindow;

    activations.push_back(now);
    while (activations.front() <= now - floodWindow)
        activations.pop_front();
    if (int(activations.size()) > floodStart)
        flooding = true;

    changed(alarm, now);
    schedule(alarm);
}

void AlarmEngine::annunciateAgain(Alarm &alarm, qint64 now, QList<AlarmEvent> &out)
{
    if (alarm.annunciated() && alarm.active) {
        // A new occurrence, named by the latest value's time.
        raise(alarm, std::max(alarm.holdsSince, points[alarm.point].t), now, out);
        return;
    }
    if (alarm.annunciated()) {
        alarm.acknowledged = true;
        alarm.waitingReset = false;
        alarm.raisedAt = 0;
        alarm.comment.clear();
    }
    changed(alarm, now);
}

void AlarmEngine::quiet(Alarm &alarm)
{
    alarm.acknowledged = true;
    alarm.waitingReset = false;
    setSounding(alarm, false);
}

void AlarmEngine::setSounding(Alarm &alarm, bool on)
{
    if (alarm.sounding == on)
        return;
    alarm.sounding = on;
    sounding += on ? 1 : -1;
}

void AlarmEngine::changed(Alarm &alarm, qint64 now)
{
    alarm.changedAt = now;
    if (!alarm.inStateChanged) {
        alarm.inStateChanged = true;
        stateChanged.push_back(alarm.index);
    }
}

void AlarmEngine::schedule(Alarm &alarm)
{
    qint64 next = 0;
    auto consider = [&next](qint64 t) {
        if (t > 0 && (next == 0 || t < next))
            next = t;
    };
    if (alarm.pending)
        consider(alarm.pendingUntil);
    consider(alarm.shelvedUntil);
    if (alarm.chattering)
        consider(chatterEnd(alarm));
    if (next == alarm.scheduled)
        return;
    if (alarm.scheduled != 0)
        deadlines.erase({ alarm.scheduled, alarm.index });
    alarm.scheduled = next;
    if (next != 0)
        deadlines.insert({ next, alarm.index });
}

qint64 AlarmEngine::chatterEnd(const Alarm &alarm) const
{
    // The oldest of the last `chatterCount` activations leaves the window.
    return alarm.recent[alarm.recentNext] + chatterWindow;
}

qint64 AlarmEngine::floodOver() const
{
    // When fewer than `floodEnd` activations are left in the window.
    if (int(activations.size()) < floodEnd)
        return activations.empty() ? 1 : activations.back();
    return activations[activations.size() - floodEnd] + floodWindow;
}

void AlarmEngine::tick(QList<AlarmEvent> &out)
{
    const qint64 now = stationClock();
    while (!deadlines.empty() && deadlines.begin()->first <= now) {
        Alarm &alarm = alarms[deadlines.begin()->second];
        deadlines.erase(deadlines.begin());
        alarm.scheduled = 0;
        if (alarm.pending && alarm.pendingUntil <= now)
            conditionChanged(alarm, now, out);
        if (alarm.shelvedUntil != 0 && alarm.shelvedUntil <= now) {
            alarm.shelvedUntil = 0;
            alarm.shelveReason.clear();
            out << event(
                alarm, AlarmEvent::Type::Unshelve, now, {}, {}, QStringLiteral("shelving ended"));
            annunciateAgain(alarm, now, out);
        }
        if (alarm.chattering && chatterEnd(alarm) <= now) {
            alarm.chattering = false;
            changed(alarm, now);
        }
        schedule(alarm);
    }
    while (!activations.empty() && activations.front() <= now - floodWindow)
        activations.pop_front();
    if (flooding && int(activations.size()) < floodEnd)
        flooding = false;
}

qint64 AlarmEngine::nextDeadline() const
{
    qint64 next = deadlines.empty() ? 0 : deadlines.begin()->first;
    if (flooding) {
        const qint64 over = floodOver();
        if (next == 0 || over < next)
            next = over;
    }
    return next;
}

AlarmStatus::State AlarmEngine::stateOf(const Alarm &alarm) const
{
    using State = AlarmStatus::State;
    if (alarm.outOfService)
        return State::OutOfService;
    if (alarm.shelvedUntil != 0)
        return State::Shelved;
    if (alarm.active)
        return alarm.acknowledged ? State::Acknowledged : State::Active;
    if (!alarm.acknowledged)
        return State::Returned;
    return alarm.waitingReset ? State::Latched : State::Normal;
}

AlarmEvent AlarmEngine::event(const Alarm &alarm, AlarmEvent::Type type, qint64 now,
    const QString &user, const QString &station, const QString &text) const
{
    const Point &point = points[alarm.point];
    AlarmEvent event;
    event.type = type;
    event.alarm = alarm.def.id;
    event.point = alarm.def.pointId;
    event.priority = alarm.def.priority;
    if (point.seen) {
        event.value = point.value;
        event.sourceTime = point.t;
    }
    event.time = now;
    event.user = user;
    event.station = station;
    event.text = text;
    return event;
}

AlarmEngine::Alarm *AlarmEngine::find(const QString &id, QString &problem)
{
    const auto found = alarmIndex.constFind(id);
    if (found == alarmIndex.constEnd()) {
        problem = QStringLiteral("Тревога «%1» не найдена").arg(id);
        return nullptr;
    }
    return &alarms[*found];
}

bool AlarmEngine::acknowledge(const QString &id, qint64 raisedAt, const QString &user,
    const QString &station, const QString &comment, QList<AlarmEvent> &out, QString &problem)
{
    Alarm *alarm = find(id, problem);
    if (!alarm)
        return false;
    if (raisedAt != 0 && raisedAt != alarm->raisedAt) {
        problem = QStringLiteral("Это срабатывание уже завершилось");
        return false;
    }
    const AlarmStatus::State state = stateOf(*alarm);
    if (state != AlarmStatus::State::Active && state != AlarmStatus::State::Returned) {
        problem = QStringLiteral("Тревогу не нужно квитировать");
        return false;
    }
    const QString text = comment.trimmed();
    if (text.size() > maxTextLength) {
        problem = commentTooLong();
        return false;
    }
    const qint64 now = stationClock();
    alarm->acknowledged = true;
    setSounding(*alarm, false);
    if (!text.isEmpty())
        alarm->comment = text;
    out << event(*alarm, AlarmEvent::Type::Ack, now, user, station, text);
    if (!alarm->active && !alarm->waitingReset) {
        alarm->raisedAt = 0;
        alarm->comment.clear();
    }
    changed(*alarm, now);
    return true;
}

bool AlarmEngine::shelve(const QString &id, qint64 durationMs, const QString &reason,
    const QString &user, const QString &station, QList<AlarmEvent> &out, QString &problem)
{
    Alarm *alarm = find(id, problem);
    if (!alarm)
        return false;
    if (std::find(std::begin(shelvingDurations), std::end(shelvingDurations), durationMs)
        == std::end(shelvingDurations)) {
        problem = QStringLiteral("Отложить можно на 15 мин, 1 ч, 4 ч или 8 ч");
        return false;
    }
    QString text;
    if (!checkedText(reason, reasonMissing(), reasonTooLong(), text, problem))
        return false;
    const qint64 now = stationClock();
    alarm->shelvedUntil = now + durationMs;
    alarm->shelveReason = text;
    quiet(*alarm);
    out << event(*alarm, AlarmEvent::Type::Shelve, now, user, station, text);
    changed(*alarm, now);
    schedule(*alarm);
    return true;
}

bool AlarmEngine::shelveUntil(const QString &id, qint64 until, const QString &reason,
    const QString &user, const QString &station, QList<AlarmEvent> &out, QString &problem)
{
    Alarm *alarm = find(id, problem);
    if (!alarm)
        return false;
    const qint64 now = stationClock();
    if (until <= now || until > now + longestShelving) {
        problem = QStringLiteral("Отложить можно на 15 мин, 1 ч, 4 ч или 8 ч");
        return false;
    }
    QString text;
    if (!checkedText(reason, reasonMissing(), reasonTooLong(), text, problem))
        return false;
    alarm->shelvedUntil = until;
    alarm->shelveReason = text;
    quiet(*alarm);
    out << event(*alarm, AlarmEvent::Type::Shelve, now, user, station, text);
    changed(*alarm, now);
    schedule(*alarm);
    return true;
}

bool AlarmEngine::unshelve(const QString &id, const QString &user, const QString &station,
    QList<AlarmEvent> &out, QString &problem)
{
    Alarm *alarm = find(id, problem);
    if (!alarm)
        return false;
    if (alarm->shelvedUntil == 0) {
        problem = QStringLiteral("Тревога не отложена");
        return false;
    }
    const qint64 now = stationClock();
    alarm->shelvedUntil = 0;
    alarm->shelveReason.clear();
    out << event(*alarm, AlarmEvent::Type::Unshelve, now, user, station, {});
    annunciateAgain(*alarm, now, out);
    schedule(*alarm);
    return true;
}

bool AlarmEngine::reset(const QString &id, const QString &user, const QString &station,
    QList<AlarmEvent> &out, QString &problem)
{
    Alarm *alarm = find(id, problem);
    if (!alarm)
        return false;
    if (stateOf(*alarm) != AlarmStatus::State::Latched) {
        problem
            = QStringLiteral("Сбросить можно только квитированную тревогу после возврата в норму");
        return false;
    }
    const qint64 now = stationClock();
    alarm->waitingReset = false;
    alarm->raisedAt = 0;
    alarm->comment.clear();
    out << event(*alarm, AlarmEvent::Type::Reset, now, user, station, {});
    changed(*alarm, now);
    return true;
}

bool AlarmEngine::comment(const QString &id, const QString &text, const QString &user,
    const QString &station, QList<AlarmEvent> &out, QString &problem)
{
    Alarm *alarm = find(id, problem);
    if (!alarm)
        return false;
    QString trimmed;
    if (!checkedText(
            text, QStringLiteral("Введите комментарий"), commentTooLong(), trimmed, problem))
        return false;
    const qint64 now = stationClock();
    alarm->comment = trimmed;
    out << event(*alarm, AlarmEvent::Type::Comment, now, user, station, trimmed);
    changed(*alarm, now);
    return true;
}

bool AlarmEngine::takeOutOfService(const QString &id, const QString &reason, const QString &user,
    const QString &station, QList<AlarmEvent> &out, QString &problem)
{
    Alarm *alarm = find(id, problem);
    if (!alarm)
        return false;
    if (alarm->outOfService) {
        problem = QStringLiteral("Тревога уже выведена из работы");
        return false;
    }
    QString text;
    if (!checkedText(reason, reasonMissing(), reasonTooLong(), text, problem))
        return false;
    const qint64 now = stationClock();
    alarm->outOfService = true;
    alarm->serviceReason = text;
    quiet(*alarm);
    out << event(*alarm, AlarmEvent::Type::OutOfService, now, user, station, text);
    changed(*alarm, now);
    return true;
}

bool AlarmEngine::returnToService(const QString &id, const QString &user, const QString &station,
    QList<AlarmEvent> &out, QString &problem)
{
    Alarm *alarm = find(id, problem);
    if (!alarm)
        return false;
    if (!alarm->outOfService) {
        problem = QStringLiteral("Тревога в работе");
        return false;
    }
    const qint64 now = stationClock();
    alarm->outOfService = false;
    alarm->serviceReason.clear();
    out << event(*alarm, AlarmEvent::Type::InService, now, user, station, {});
    annunciateAgain(*alarm, now, out);
    return true;
}

void AlarmEngine::silence(const QString &user, const QString &station, QList<AlarmEvent> &out)
{
    if (sounding > 0) {
        for (Alarm &alarm : alarms)
            alarm.sounding = false;
        sounding = 0;
    }
    AlarmEvent event;
    event.type = AlarmEvent::Type::Silence;
    event.time = stationClock();
    event.user = user;
    event.station = station;
    out << event;
}

bool AlarmEngine::contains(const QString &id) const
{
    return alarmIndex.contains(id);
}

AlarmStatus AlarmEngine::status(const QString &id) const
{
    AlarmStatus status;
    const auto found = alarmIndex.constFind(id);
    if (found == alarmIndex.constEnd())
        return status;
    const Alarm &alarm = alarms[*found];
    status.state = stateOf(alarm);
    status.active = alarm.active;
    status.acknowledged = alarm.acknowledged;
    status.suspect = alarm.suspect;
    status.chattering = alarm.chattering;
    status.raisedAt = alarm.raisedAt;
    status.changedAt = alarm.changedAt;
    if (points[alarm.point].seen)
        status.value = points[alarm.point].value;
    status.shelvedUntil = alarm.shelvedUntil;
    status.reason = alarm.outOfService ? alarm.serviceReason : alarm.shelveReason;
    status.comment = alarm.comment;
    return status;
}

const AlarmDefinition *AlarmEngine::definition(const QString &id) const
{
    const auto found = alarmIndex.constFind(id);
    return found == alarmIndex.constEnd() ? nullptr : &defs[*found];
}

bool AlarmEngine::hornSounding() const
{
    return sounding > 0;
}

bool AlarmEngine::flood() const
{
    return flooding;
}

int AlarmEngine::rate() const
{
    const qint64 from = stationClock() - floodWindow;
    return int(activations.end() - std::upper_bound(activations.begin(), activations.end(), from));
}

AlarmEngine::Changes AlarmEngine::takeChanges()
{
    Changes changes;
    changes.state.reserve(int(stateChanged.size()) + removed.size());
    for (int i : stateChanged) {
        alarms[i].inStateChanged = false;
        changes.state.insert(alarms[i].def.id);
    }
    for (const QString &id : std::as_const(removed))
        changes.state.insert(id);
    changes.value.reserve(int(valueChanged.size()));
    for (int i : valueChanged) {
        alarms[i].inValueChanged = false;
        changes.value.insert(alarms[i].def.id);
    }
    stateChanged.clear();
    valueChanged.clear();
    removed.clear();
    return changes;
}
