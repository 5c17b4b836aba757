#include "stationalarms.h"

#include "pointtable.h"
#include "stationdatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QRandomGenerator>
#include <QStandardPaths>

#include <algorithm>

Q_LOGGING_CATEGORY(lcAlarms, "corvane.alarms")

namespace {

constexpr qsizetype maxDefinitionsFile = 16 * 1024 * 1024;
constexpr qsizetype seenActionsKept = 4096;
const QByteArray definitionsLevel = QByteArrayLiteral("$alarms");
const QByteArray actionsLevel = QByteArrayLiteral("$alarm-actions");
const QByteArray stateLevel = QByteArrayLiteral("$alarm-state");

QString valueText(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return QString::number(value.toDouble(), 'g', 12);
}

QJsonValue valueJson(const QVariant &value)
{
    if (!value.isValid() || value.isNull())
        return QJsonValue::Null;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool();
    return value.toDouble();
}

QByteArray compact(const QJsonObject &object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

QJsonObject memoryJson(const AlarmMemory &memory)
{
    QJsonObject data { { QStringLiteral("active"), memory.active },
        { QStringLiteral("acknowledged"), memory.acknowledged },
        { QStringLiteral("waitingReset"), memory.waitingReset },
        { QStringLiteral("raisedAt"), double(memory.raisedAt) } };
    if (memory.shelvedUntil > 0) {
        data.insert(QStringLiteral("shelvedUntil"), double(memory.shelvedUntil));
        data.insert(QStringLiteral("shelveReason"), memory.shelveReason);
    }
    if (memory.outOfService) {
        data.insert(QStringLiteral("outOfService"), true);
        data.insert(QStringLiteral("outOfServiceReason"), memory.outOfServiceReason);
    }
    if (!memory.comment.isEmpty())
        data.insert(QStringLiteral("comment"), memory.comment);
    return data;
}

AlarmMemory memoryOf(const QString &id, const QJsonObject &data)
{
    AlarmMemory memory;
    memory.id = id;
    memory.active = data.value(QLatin1String("active")).toBool();
    memory.acknowledged = data.value(QLatin1String("acknowledged")).toBool(true);
    memory.waitingReset = data.value(QLatin1String("waitingReset")).toBool();
    memory.raisedAt = qint64(data.value(QLatin1String("raisedAt")).toDouble());
    memory.shelvedUntil = qint64(data.value(QLatin1String("shelvedUntil")).toDouble());
    memory.shelveReason = data.value(QLatin1String("shelveReason")).toString();
    memory.outOfService = data.value(QLatin1String("outOfService")).toBool();
    memory.outOfServiceReason = data.value(QLatin1String("outOfServiceReason")).toString();
    memory.comment = data.value(QLatin1String("comment")).toString();
    return memory;
}

// An alarm id as one topic level: "/", "+", "#" and "%" percent-encoded.
QByteArray topicLevelOf(const QString &id)
{
    return id.toUtf8().toPercentEncoding(
        QByteArrayLiteral(" $-_.~()!*'@:;,=&[]{}<>|^`\\\"?"), QByteArrayLiteral("/+#%"));
}

bool isSharedAction(AlarmEvent::Type type)
{
    switch (type) {
    case AlarmEvent::Type::Ack:
    case AlarmEvent::Type::Shelve:
    case AlarmEvent::Type::Unshelve:
    case AlarmEvent::Type::Reset:
    case AlarmEvent::Type::Comment:
    case AlarmEvent::Type::OutOfService:
    case AlarmEvent::Type::InService:
        return true;
    case AlarmEvent::Type::Active:
    case AlarmEvent::Type::Return:
    case AlarmEvent::Type::Silence:
        return false;
    }
    return false;
}

} // namespace

StationAlarms::StationAlarms(PointTable *table, StationDatabase *database,
    const QString &stationName, QObject *parent, Clock clock)
    : QObject(parent)
    , table(table)
    , database(database)
    , station(stationName)
    , clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentMSecsSinceEpoch(); }))
    , engine(this->clock)
{
    origin = stationName + QLatin1Char('#')
        + QString::number(QRandomGenerator::global()->generate64(), 16);
    batchTimer.setSingleShot(true);
    connect(&batchTimer, &QTimer::timeout, this, &StationAlarms::flushBatch);
    tickTimer.setSingleShot(true);
    connect(&tickTimer, &QTimer::timeout, this, &StationAlarms::tick);
    watchTimer.setInterval(watchMs);
    connect(&watchTimer, &QTimer::timeout, this, &StationAlarms::checkFile);
    connect(table, &PointTable::updated, this, &StationAlarms::evaluate);
    connect(database, &StationDatabase::alarmStatesLoaded, this, &StationAlarms::restored);
    const auto answered = [this](quint64 request, const QString &text) {
        const PendingAnswer pending = pendingAnswers.take(request);
        if (pending.context && pending.answer)
            pending.answer(text);
    };
    connect(database, &StationDatabase::journalAnswered, this,
        [answered](quint64 request, const QJsonObject &answer) {
            answered(request, QString::fromUtf8(compact(answer)));
        });
    connect(database, &StationDatabase::journalCsvAnswered, this, answered);
}

void StationAlarms::journal(
    const JournalFilter &filter, int limit, QObject *context, JournalAnswer answer)
{
    const quint64 request = nextRequest++;
    pendingAnswers.insert(request, PendingAnswer { context, std::move(answer) });
    database->requestJournal(request, filter, limit);
}

void StationAlarms::journalCsv(const JournalFilter &filter, QObject *context, JournalAnswer answer)
{
    const quint64 request = nextRequest++;
    pendingAnswers.insert(request, PendingAnswer { context, std::move(answer) });
    database->requestJournalCsv(request, filter);
}

StationAlarms::~StationAlarms() = default;

QString StationAlarms::defaultDefinitionsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("alarms.json"));
}

void StationAlarms::setDefinitionsFile(const QString &path, bool given)
{
    definitionsPath = path;
    definitionsGiven = given;
}

void StationAlarms::setHorn(bool enabled, bool audio)
{
    hornEnabled = enabled;
    hornAudio = audio;
    statusPending = true;
    if (running)
        batchTimer.start(batchMs);
}

void StationAlarms::shareThrough(const QByteArray &topicPrefix, Publisher send)
{
    prefix = topicPrefix;
    if (!prefix.isEmpty() && !prefix.endsWith('/'))
        prefix += '/';
    publisher = std::move(send);
}

QList<QByteArray> StationAlarms::sharedTopics() const
{
    if (!publisher)
        return {};
    return { prefix + definitionsLevel, prefix + actionsLevel, prefix + stateLevel + "/+" };
}

void StationAlarms::start()
{
    running = true;
    checkFile();
    if (!watcher && !definitionsPath.isEmpty()) {
        // The watcher answers at once where it can; the timer catches what
        // it misses (a folder created later, a file replaced by rename).
        watcher = new QFileSystemWatcher(this);
        const QString folder = QFileInfo(definitionsPath).absolutePath();
        if (QFileInfo::exists(folder))
            watcher->addPath(folder);
        connect(watcher, &QFileSystemWatcher::directoryChanged, this, &StationAlarms::checkFile);
        connect(watcher, &QFileSystemWatcher::fileChanged, this, &StationAlarms::checkFile);
    }
    watchTimer.start();
}

void StationAlarms::stop()
{
    running = false;
    watchTimer.stop();
    tickTimer.stop();
    if (batchTimer.isActive()) {
        batchTimer.stop();
        flushBatch();
    }
}

void StationAlarms::restored(const QList<AlarmStateRow> &rows)
{
    if (restoredStates)
        return;
    QList<AlarmMemory> memories;
    for (const AlarmStateRow &row : rows) {
        const QJsonObject data = QJsonDocument::fromJson(row.data).object();
        memories << memoryOf(row.alarm, data);
    }
    engine.restore(memories);
    restoredStates = true;
    // Every alarm is evaluated again from the values the points hold now.
    QList<PointSample> current;
    for (const QString &id : table->ids()) {
        const PointTable::Entry entry = table->entry(id);
        if (entry.t <= 0)
            continue;
        current << PointSample { id, entry.t, entry.value, entry.status };
    }
    QList<AlarmEvent> events;
    engine.evaluate(current, events);
    settle(events);
    statusPending = true;
    batchTimer.start(0);
}

void StationAlarms::evaluate(const QList<PointSample> &samples)
{
    if (!restoredStates)
        return;
    QList<AlarmEvent> events;
    engine.evaluate(samples, events);
    settle(events);
}

void StationAlarms::tick()
{
    QList<AlarmEvent> events;
    engine.tick(events);
    settle(events);
}

void StationAlarms::scheduleTick()
{
    const qint64 deadline = engine.nextDeadline();
    if (deadline <= 0) {
        tickTimer.stop();
        return;
    }
    // Looked at again at least every second: the wall clock may jump.
    const qint64 wait = std::clamp<qint64>(deadline - clock(), 0, 1000);
    if (!tickTimer.isActive() || tickTimer.remainingTime() > wait)
        tickTimer.start(int(wait));
}

void StationAlarms::checkFile()
{
    if (!running || sharedDefinitions || definitionsPath.isEmpty())
        return;
    if (watcher && watcher->directories().isEmpty()) {
        const QString folder = QFileInfo(definitionsPath).absolutePath();
        if (QFileInfo::exists(folder))
            watcher->addPath(folder);
    }
    const QFileInfo info(definitionsPath);
    if (!info.exists()) {
        if (fileSeen || engine.definitions().isEmpty()) {
            if (definitionsGiven)
                emit problem(QStringLiteral("Alarm definitions %1 not found: the built-in set "
                                            "is used")
                                 .arg(QDir::toNativeSeparators(definitionsPath)));
            fileSeen = false;
            fileModified = QDateTime();
            fileSize = -1;
            useDefinitions(AlarmDefinitions::builtIn(), QStringLiteral("built-in"));
        }
        return;
    }
    if (fileSeen && info.lastModified() == fileModified && info.size() == fileSize)
        return;
    fileSeen = true;
    fileModified = info.lastModified();
    fileSize = info.size();
    if (watcher && !watcher->files().contains(definitionsPath))
        watcher->addPath(definitionsPath);
    QFile file(definitionsPath);
    if (info.size() > maxDefinitionsFile || !file.open(QIODevice::ReadOnly)) {
        emit problem(QStringLiteral("Alarm definitions %1 could not be read%2: the previous "
                                    "definitions stay")
                         .arg(QDir::toNativeSeparators(definitionsPath),
                             info.size() > maxDefinitionsFile
                                 ? QStringLiteral(" (larger than 16 MiB)")
                                 : QStringLiteral(" (%1)").arg(file.errorString())));
        if (engine.definitions().isEmpty())
            useDefinitions(AlarmDefinitions::builtIn(), QStringLiteral("built-in"));
        return;
    }
    const QByteArray contents = file.readAll();
    if (contents == fileContents && !engine.definitions().isEmpty())
        return;
    fileContents = contents;
    loadDefinitions(contents, QDir::toNativeSeparators(definitionsPath));
}

void StationAlarms::loadDefinitions(const QByteArray &json, const QString &source)
{
    QList<AlarmDefinition> definitions;
    QStringList errors;
    if (!AlarmDefinitions::parse(json, definitions, errors)) {
        emit problem(QStringLiteral("Alarm definitions %1 were not taken; the previous ones "
                                    "stay:\n%2")
                         .arg(source, errors.join(QLatin1Char('\n'))));
        if (engine.definitions().isEmpty() && !sharedDefinitions)
            useDefinitions(AlarmDefinitions::builtIn(), QStringLiteral("built-in"));
        return;
    }
    useDefinitions(definitions, source);
}

void StationAlarms::useDefinitions(const QList<AlarmDefinition> &definitions, const QString &source)
{
    qCInfo(lcAlarms) << "alarm definitions from" << source << ":" << definitions.size();
    QList<AlarmEvent> events;
    engine.setDefinitions(definitions, events);
    // The set the station starts with is no change; any later one is.
    if (definitionsTaken) {
        JournalRecord record;
        record.time = clock();
        record.event = QStringLiteral("definitions");
        record.station = station;
        record.text
            = QStringLiteral("%1 определений тревог из %2").arg(definitions.size()).arg(source);
        database->appendJournal({ record });
    }
    definitionsTaken = true;
    settle(events);
    statusPending = true;
    batchTimer.start(0);
}

void StationAlarms::settle(QList<AlarmEvent> &events, bool ownActions)
{
    const qint64 now = clock();
    // An occurrence another station already acknowledged is taken as such here.
    for (qsizetype i = 0; i < events.size(); ++i) {
        if (events.at(i).type != AlarmEvent::Type::Active)
            continue;
        const auto known = sharedStates.constFind(events.at(i).alarm);
        if (known == sharedStates.cend())
            continue;
        const QJsonObject &state = known.value();
        const qint64 raisedAt = qint64(state.value(QLatin1String("raisedAt")).toDouble());
        if (!state.value(QLatin1String("acknowledged")).toBool()
            || raisedAt != events.at(i).sourceTime)
            continue;
        QString problem;
        const QString from = state.value(QLatin1String("station")).toString();
        engine.acknowledge(events.at(i).alarm, raisedAt,
            state.value(QLatin1String("user")).toString(),
            from.isEmpty() ? QStringLiteral("?") : from, QString(), events, problem);
    }
    QList<JournalRecord> records;
    records.reserve(events.size());
    QHash<QString, QString> sharedIds; // alarm -> the user who acted
    for (const AlarmEvent &event : std::as_const(events)) {
        JournalRecord record;
        record.time = event.time > 0 ? event.time : now;
        record.sourceTime = event.sourceTime;
        record.event = AlarmEvent::typeName(event.type);
        record.alarm = event.alarm;
        record.point = event.point;
        record.priority = event.priority;
        record.value = valueText(event.value);
        record.user = event.user;
        record.station = event.station.isEmpty() ? station : event.station;
        record.text = event.text;
        records << record;
        // Only this station's own operators' actions go out; the others' came in.
        if (ownActions && event.station.isEmpty() && isSharedAction(event.type)) {
            share(event);
            sharedIds.insert(event.alarm, event.user);
        }
    }
    if (!records.isEmpty())
        database->appendJournal(records);
    for (auto it = sharedIds.cbegin(); it != sharedIds.cend(); ++it)
        publishState(it.key(), it.value());

    const AlarmEngine::Changes changes = engine.takeChanges();
    QList<AlarmStateRow> rows;
    QStringList gone;
    for (const QString &id : changes.state) {
        pendingState.insert(id);
        pendingValue.remove(id);
        if (!engine.contains(id)) {
            pendingRemoved.insert(id);
            gone << id;
            continue;
        }
        pendingRemoved.remove(id);
        const AlarmMemory memory = engine.memory(id);
        rows << AlarmStateRow { id, memory.active, memory.acknowledged,
            compact(memoryJson(memory)) };
    }
    for (const QString &id : changes.value) {
        if (!pendingState.contains(id))
            pendingValue.insert(id);
    }
    // Until the file's states are read, what it keeps is the truth: the fresh
    // states of definitions taken meanwhile must not be written over them.
    if (restoredStates && !rows.isEmpty())
        database->saveAlarmStates(rows);
    if (restoredStates && !gone.isEmpty())
        database->removeAlarmStates(gone);

    const bool horn = engine.hornSounding();
    if (horn != lastHorn) {
        lastHorn = horn;
        statusPending = true;
        emit hornChanged(horn && hornEnabled);
    }
    if (engine.flood() != lastFlood || engine.rate() != lastRate) {
        lastFlood = engine.flood();
        lastRate = engine.rate();
        statusPending = true;
    }
    if ((!pendingState.isEmpty() || !pendingRemoved.isEmpty() || statusPending
            || !pendingValue.isEmpty())
        && !batchTimer.isActive())
        batchTimer.start(batchMs);
    scheduleTick();
}

void StationAlarms::flushBatch()
{
    const qint64 now = clock();
    QJsonArray alarms;
    for (const QString &id : std::as_const(pendingState)) {
        if (engine.contains(id))
            alarms.append(alarmJson(id));
    }
    pendingState.clear();
    const bool valuesDue = now - lastValueFlush >= valueRefreshMs;
    if (valuesDue) {
        for (const QString &id : std::as_const(pendingValue)) {
            if (engine.contains(id))
                alarms.append(alarmJson(id));
        }
        pendingValue.clear();
        lastValueFlush = now;
    }
    QJsonArray removed;
    for (const QString &id : std::as_const(pendingRemoved))
        removed.append(id);
    pendingRemoved.clear();
    if (!alarms.isEmpty() || !removed.isEmpty() || statusPending) {
        QJsonObject batch { { QStringLiteral("alarms"), alarms },
            { QStringLiteral("status"), statusJson() } };
        if (!removed.isEmpty())
            batch.insert(QStringLiteral("removed"), removed);
        statusPending = false;
        emit changed(QString::fromUtf8(compact(batch)));
    }
    if (!pendingValue.isEmpty())
        batchTimer.start(int(std::max<qint64>(batchMs, valueRefreshMs - (now - lastValueFlush))));
}

QString StationAlarms::list() const
{
    QJsonArray alarms;
    for (const AlarmDefinition &definition : engine.definitions())
        alarms.append(alarmJson(definition.id));
    return QString::fromUtf8(compact(QJsonObject {
        { QStringLiteral("alarms"), alarms }, { QStringLiteral("status"), statusJson() } }));
}

QJsonObject StationAlarms::alarmJson(const QString &id) const
{
    const AlarmDefinition *definition = engine.definition(id);
    if (!definition)
        return QJsonObject();
    const AlarmStatus status = engine.status(id);
    QJsonObject alarm { { QStringLiteral("id"), definition->id },
        { QStringLiteral("pointId"), definition->pointId },
        { QStringLiteral("kind"), AlarmDefinitions::kindName(definition->kind) },
        { QStringLiteral("priority"), definition->priority },
        { QStringLiteral("message"), definition->message },
        { QStringLiteral("area"), definition->area },
        { QStringLiteral("latched"), definition->latched },
        { QStringLiteral("state"), AlarmStatus::stateName(status.state) },
        { QStringLiteral("active"), status.active },
        { QStringLiteral("acknowledged"), status.acknowledged },
        { QStringLiteral("suspect"), status.suspect },
        { QStringLiteral("chattering"), status.chattering },
        { QStringLiteral("raisedAt"), double(status.raisedAt) },
        { QStringLiteral("changedAt"), double(status.changedAt) },
        { QStringLiteral("value"), valueJson(status.value) } };
    if (status.shelvedUntil > 0)
        alarm.insert(QStringLiteral("shelvedUntil"), double(status.shelvedUntil));
    if (!status.reason.isEmpty())
        alarm.insert(QStringLiteral("reason"), status.reason);
    if (!status.comment.isEmpty())
        alarm.insert(QStringLiteral("comment"), status.comment);
    return alarm;
}

QJsonObject StationAlarms::statusJson() const
{
    const QString horn = !hornEnabled ? QStringLiteral("off")
        : engine.hornSounding()       ? QStringLiteral("sounding")
                                      : QStringLiteral("quiet");
    return QJsonObject { { QStringLiteral("horn"), horn }, { QStringLiteral("audio"), hornAudio },
        { QStringLiteral("flood"), engine.flood() }, { QStringLiteral("rate"), engine.rate() } };
}

QJsonObject StationAlarms::answer(bool ok, const QString &problem)
{
    if (ok)
        return QJsonObject { { QStringLiteral("ok"), true } };
    return QJsonObject { { QStringLiteral("error"), problem } };
}

QJsonObject StationAlarms::acknowledge(
    const QStringList &ids, const QString &comment, const QString &user)
{
    QList<AlarmEvent> events;
    QString firstProblem;
    bool any = false;
    for (const QString &id : ids) {
        QString problem;
        if (engine.acknowledge(id, 0, user, QString(), comment, events, problem))
            any = true;
        else if (firstProblem.isEmpty())
            firstProblem = problem;
    }
    settle(events, true);
    // Of many, those that needed no acknowledgement are no failure.
    return answer(any || ids.isEmpty(), firstProblem);
}

QJsonObject StationAlarms::shelve(
    const QString &id, int minutes, const QString &reason, const QString &user)
{
    QList<AlarmEvent> events;
    QString problem;
    const bool ok
        = engine.shelve(id, qint64(minutes) * 60 * 1000, reason, user, QString(), events, problem);
    settle(events, true);
    return answer(ok, problem);
}

QJsonObject StationAlarms::unshelve(const QString &id, const QString &user)
{
    QList<AlarmEvent> events;
    QString problem;
    const bool ok = engine.unshelve(id, user, QString(), events, problem);
    settle(events, true);
    return answer(ok, problem);
}

QJsonObject StationAlarms::reset(const QString &id, const QString &user)
{
    QList<AlarmEvent> events;
    QString problem;
    const bool ok = engine.reset(id, user, QString(), events, problem);
    settle(events, true);
    return answer(ok, problem);
}

QJsonObject StationAlarms::comment(const QString &id, const QString &text, const QString &user)
{
    QList<AlarmEvent> events;
    QString problem;
    const bool ok = engine.comment(id, text, user, QString(), events, problem);
    settle(events, true);
    return answer(ok, problem);
}

QJsonObject StationAlarms::takeOutOfService(
    const QString &id, const QString &reason, const QString &user)
{
    QList<AlarmEvent> events;
    QString problem;
    const bool ok = engine.takeOutOfService(id, reason, user, QString(), events, problem);
    settle(events, true);
    return answer(ok, problem);
}

QJsonObject StationAlarms::returnToService(const QString &id, const QString &user)
{
    QList<AlarmEvent> events;
    QString problem;
    const bool ok = engine.returnToService(id, user, QString(), events, problem);
    settle(events, true);
    return answer(ok, problem);
}

QJsonObject StationAlarms::silence(const QString &user)
{
    QList<AlarmEvent> events;
    engine.silence(user, QString(), events);
    settle(events, true);
    return answer(true, QString());
}

// Shared between stations ------------------------------------------------------

QByteArray StationAlarms::stateTopic(const QString &id) const
{
    return prefix + stateLevel + '/' + topicLevelOf(id);
}

void StationAlarms::share(const AlarmEvent &event)
{
    if (!publisher)
        return;
    const QString id = origin + QLatin1Char(':') + QString::number(nextAction++);
    remember(id);
    const AlarmStatus status = engine.status(event.alarm);
    QJsonObject action { { QStringLiteral("id"), id },
        { QStringLiteral("action"), AlarmEvent::typeName(event.type) },
        { QStringLiteral("alarm"), event.alarm },
        { QStringLiteral("raisedAt"), double(status.raisedAt) },
        { QStringLiteral("user"), event.user }, { QStringLiteral("station"), station },
        { QStringLiteral("origin"), origin },
        { QStringLiteral("time"), double(event.time > 0 ? event.time : clock()) },
        { QStringLiteral("text"), event.text } };
    if (event.type == AlarmEvent::Type::Shelve)
        action.insert(QStringLiteral("until"), double(status.shelvedUntil));
    publisher(prefix + actionsLevel, compact(action), 1, false);
}

void StationAlarms::publishState(const QString &id, const QString &user)
{
    if (!publisher || !engine.contains(id))
        return;
    const AlarmStatus status = engine.status(id);
    QJsonObject state { { QStringLiteral("alarm"), id },
        { QStringLiteral("raisedAt"), double(status.raisedAt) },
        { QStringLiteral("acknowledged"), status.acknowledged },
        { QStringLiteral("state"), AlarmStatus::stateName(status.state) },
        { QStringLiteral("user"), user }, { QStringLiteral("station"), station },
        { QStringLiteral("origin"), origin }, { QStringLiteral("time"), double(clock()) } };
    if (status.state == AlarmStatus::State::Shelved) {
        state.insert(QStringLiteral("shelvedUntil"), double(status.shelvedUntil));
        state.insert(QStringLiteral("reason"), status.reason);
    } else if (status.state == AlarmStatus::State::OutOfService) {
        state.insert(QStringLiteral("outOfService"), true);
        state.insert(QStringLiteral("reason"), status.reason);
    }
    publisher(stateTopic(id), compact(state), 1, true);
}

void StationAlarms::remember(const QString &actionId)
{
    seenActions.insert(actionId);
    seenOrder.push_back(actionId);
    while (qsizetype(seenOrder.size()) > seenActionsKept) {
        seenActions.remove(seenOrder.front());
        seenOrder.pop_front();
    }
}

void StationAlarms::sharedOnline()
{
    // Nothing to resend: the broker keeps the retained states, and actions
    // taken while offline stay this station's own.
}

void StationAlarms::receiveShared(const QByteArray &topic, const QByteArray &payload)
{
    if (topic == prefix + definitionsLevel) {
        if (payload.isEmpty()) {
            // The shared set was withdrawn: back to this station's file.
            if (sharedDefinitions) {
                sharedDefinitions = false;
                fileSeen = false;
                fileContents.clear();
                checkFile();
            }
            return;
        }
        if (sharedDefinitions && payload == sharedContents)
            return;
        QList<AlarmDefinition> definitions;
        QStringList errors;
        if (!AlarmDefinitions::parse(payload, definitions, errors)) {
            emit problem(QStringLiteral("The broker's alarm definitions (%1) were not taken; the "
                                        "previous ones stay:\n%2")
                             .arg(QString::fromUtf8(topic), errors.join(QLatin1Char('\n'))));
            return;
        }
        sharedDefinitions = true;
        sharedContents = payload;
        useDefinitions(definitions, QString::fromUtf8(topic));
        return;
    }

    const QJsonObject message = QJsonDocument::fromJson(payload).object();
    if (message.isEmpty() || message.value(QLatin1String("origin")).toString() == origin)
        return;
    const QString alarm = message.value(QLatin1String("alarm")).toString();
    const QString user = message.value(QLatin1String("user")).toString();
    const QString from = message.value(QLatin1String("station")).toString().left(200);
    const QString sender = from.isEmpty() ? QStringLiteral("?") : from;
    const qint64 raisedAt = qint64(message.value(QLatin1String("raisedAt")).toDouble());
    const bool isState = topic.startsWith(prefix + stateLevel + '/');
    if (isState)
        sharedStates.insert(alarm, message);
    if (!engine.contains(alarm))
        return;
    QList<AlarmEvent> events;
    QString problem;

    if (topic == prefix + actionsLevel) {
        const QString id = message.value(QLatin1String("id")).toString();
        if (id.isEmpty() || seenActions.contains(id))
            return;
        remember(id);
        AlarmEvent::Type type;
        if (!AlarmEvent::typeFromName(message.value(QLatin1String("action")).toString(), type))
            return;
        const QString text = message.value(QLatin1String("text")).toString().left(500);
        const AlarmStatus local = engine.status(alarm);
        switch (type) {
        case AlarmEvent::Type::Ack:
            engine.acknowledge(alarm, raisedAt, user, sender, text, events, problem);
            break;
        case AlarmEvent::Type::Shelve:
            engine.shelveUntil(alarm, qint64(message.value(QLatin1String("until")).toDouble()),
                text, user, sender, events, problem);
            break;
        case AlarmEvent::Type::Unshelve:
            engine.unshelve(alarm, user, sender, events, problem);
            break;
        case AlarmEvent::Type::Reset:
            if (raisedAt == 0 || raisedAt == local.raisedAt)
                engine.reset(alarm, user, sender, events, problem);
            break;
        case AlarmEvent::Type::Comment:
            engine.comment(alarm, text, user, sender, events, problem);
            break;
        case AlarmEvent::Type::OutOfService:
            engine.takeOutOfService(alarm, text, user, sender, events, problem);
            break;
        case AlarmEvent::Type::InService:
            engine.returnToService(alarm, user, sender, events, problem);
            break;
        case AlarmEvent::Type::Active:
        case AlarmEvent::Type::Return:
        case AlarmEvent::Type::Silence:
            break;
        }
    } else if (isState) {
        // What another station left: taken where it still applies here (and
        // kept above for an occurrence this station has yet to see).
        const AlarmStatus local = engine.status(alarm);
        const QString reason = message.value(QLatin1String("reason")).toString().left(500);
        if (message.value(QLatin1String("acknowledged")).toBool() && raisedAt != 0
            && raisedAt == local.raisedAt && !local.acknowledged)
            engine.acknowledge(alarm, raisedAt, user, sender, QString(), events, problem);
        const qint64 until = qint64(message.value(QLatin1String("shelvedUntil")).toDouble());
        if (until > clock() && local.state != AlarmStatus::State::Shelved
            && local.state != AlarmStatus::State::OutOfService)
            engine.shelveUntil(alarm, until, reason, user, sender, events, problem);
        if (message.value(QLatin1String("outOfService")).toBool()
            && local.state != AlarmStatus::State::OutOfService)
            engine.takeOutOfService(alarm, reason, user, sender, events, problem);
    }
    settle(events);
}
