#include "historywriter.h"

#include "historyschema.h"
#include "samplechunk.h"
#include "stationlogging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <limits>

namespace {

constexpr int sqliteFull = 13;
constexpr qint64 day = 24 * 60 * 60 * 1000;

int sqliteCode(const QSqlError &error)
{
    // The driver reports the extended code; its low byte is the primary one.
    return error.nativeErrorCode().toInt() & 0xff;
}

QString describe(const QSqlError &error)
{
    const QString text = error.driverText().isEmpty() ? error.text() : error.databaseText();
    return text.isEmpty() ? error.text() : text;
}

// A null QString would be bound as NULL; the journal's columns are NOT NULL.
QString notNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

// JSON is kept as text; bytes that are not UTF-8 go in as they are.
QVariant stateData(const QByteArray &data)
{
    const QString text = QString::fromUtf8(data);
    if (text.toUtf8() == data)
        return notNull(text);
    return data;
}

} // namespace

struct HistoryWriter::Statements
{
    explicit Statements(const QSqlDatabase &db)
        : insertRecent(db)
        , insertChunk(db)
        , deleteRecent(db)
        , insertPoint(db)
        , updateRecorder(db)
        , insertJournal(db)
        , saveState(db)
        , removeState(db)
    { }
    bool prepare()
    {
        return insertRecent.prepare(QStringLiteral(
                   "INSERT OR REPLACE INTO recent (point, t0, data) VALUES (?, ?, ?)"))
            && insertChunk.prepare(QStringLiteral(
                "INSERT INTO chunks (point, t0, t1, n, data) VALUES (?, ?, ?, ?, ?)"))
            && deleteRecent.prepare(QStringLiteral("DELETE FROM recent WHERE point = ?"))
            && insertPoint.prepare(QStringLiteral("INSERT INTO points (name) VALUES (?)"))
            && updateRecorder.prepare(
                QStringLiteral("UPDATE recorder SET last_flush = ? WHERE id = 1"))
            && insertJournal.prepare(QStringLiteral(
                "INSERT INTO journal (time, source_time, event, alarm, point, priority, value, "
                "user, station, text) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"))
            && saveState.prepare(QStringLiteral("INSERT OR REPLACE INTO alarm_states (alarm, "
                                                "active, acknowledged, data) VALUES (?, ?, ?, ?)"))
            && removeState.prepare(QStringLiteral("DELETE FROM alarm_states WHERE alarm = ?"));
    }

    QSqlQuery insertRecent;
    QSqlQuery insertChunk;
    QSqlQuery deleteRecent;
    QSqlQuery insertPoint;
    QSqlQuery updateRecorder;
    QSqlQuery insertJournal;
    QSqlQuery saveState;
    QSqlQuery removeState;
};

HistoryWriter::HistoryWriter(Clock clock, QObject *parent)
    : QObject(parent)
    , clock(std::move(clock))
    , connectionName(QStringLiteral("history-writer-") + QUuid::createUuid().toString())
    , paceTimer(new QTimer(this))
    , retryTimer(new QTimer(this))
    , pruneTimer(new QTimer(this))
{
    paceTimer->setSingleShot(true);
    connect(paceTimer, &QTimer::timeout, this, &HistoryWriter::commitIfDue);
    retryTimer->setSingleShot(true);
    retryTimer->setInterval(retryInterval);
    connect(retryTimer, &QTimer::timeout, this, [this] { commit(); });
    pruneTimer->setInterval(int(pruneInterval));
    connect(pruneTimer, &QTimer::timeout, this, &HistoryWriter::startPrune);
}

HistoryWriter::~HistoryWriter()
{
    closeConnection();
}

void HistoryWriter::open(const QString &path)
{
    closeConnection();
    filePath = path;
    QString error;
    if (QFileInfo::exists(path) && !openFile(path, error)) {
        closeConnection();
        const QString aside = path + QStringLiteral(".unreadable-")
            + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        if (!QFile::rename(path, aside)) {
            emit openFailed(path, error);
            return;
        }
        // A journal belongs to its file: it goes along, never into the new one.
        for (const char *suffix : { "-wal", "-shm" }) {
            const QString companion = path + QLatin1String(suffix);
            if (QFileInfo::exists(companion)
                && !QFile::rename(companion, aside + QLatin1String(suffix)))
                QFile::remove(companion);
        }
        qCWarning(lcStationDatabase) << "set aside" << path << "as" << aside << ":" << error;
        emit setAside(path, aside, error);
    }
    if (!statements && !openFile(path, error)) {
        closeConnection();
        emit openFailed(path, error);
        return;
    }
    emit opened(path);
    commit();
    startPrune();
    pruneTimer->start();
}

bool HistoryWriter::openFile(const QString &path, QString &error)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    if (!db.open()) {
        error = describe(db.lastError());
        return false;
    }
    QSqlQuery query(db);
    // Reading the schema fails at once on a file that is not a database.
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")) || !query.next()) {
        error = describe(query.lastError());
        return false;
    }
    if (!query.exec(QStringLiteral("PRAGMA journal_mode = WAL")) || !query.next()
        || query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        error = query.lastError().isValid() ? describe(query.lastError())
                                            : QStringLiteral("the file cannot be journaled");
        return false;
    }
    // In WAL mode NORMAL keeps every commit through a crash of the program;
    // a power cut may lose the last ones but never corrupts the file.
    query.exec(QStringLiteral("PRAGMA synchronous = NORMAL"));
    query.finish();
    if (!HistorySchema::migrate(db, error))
        return false;
    statements = std::make_unique<Statements>(db);
    if (!statements->prepare()) {
        error = describe(statements->insertRecent.lastError());
        return false;
    }
    if (sizeLimit > 0)
        setSizeLimit(sizeLimit);
    return loadState(error);
}

bool HistoryWriter::loadState(QString &error)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    pointIds.clear();
    runs.clear();
    sealedUntil.clear();
    auto fail = [&] {
        error = describe(query.lastError());
        return false;
    };
    if (!query.exec(QStringLiteral("SELECT id, name FROM points")))
        return fail();
    while (query.next())
        pointIds.insert(query.value(1).toString(), query.value(0).toInt());
    if (!query.exec(QStringLiteral("SELECT point, max(t1) FROM chunks GROUP BY point")))
        return fail();
    while (query.next())
        sealedUntil.insert(query.value(0).toInt(), query.value(1).toLongLong());
    if (!query.exec(QStringLiteral("SELECT point, t0, data FROM recent ORDER BY point, t0")))
        return fail();
    while (query.next()) {
        QList<HistorySample> &run = runs[query.value(0).toInt()];
        if (!SampleChunk::decode(query.value(2).toByteArray(), query.value(1).toLongLong(), run)) {
            error = QStringLiteral("malformed samples");
            return false;
        }
    }
    return true;
}

void HistoryWriter::closeConnection()
{
    statements.reset();
    if (QSqlDatabase::contains(connectionName)) {
        QSqlDatabase::database(connectionName, false).close();
        QSqlDatabase::removeDatabase(connectionName);
    }
}

void HistoryWriter::append(const QList<HistoryWriter::Entry> &entries)
{
    pending += entries;
    if (pending.size() > maxPending) {
        const qsizetype dropped = pending.size() - maxPending;
        pending.remove(0, dropped);
        qCWarning(lcStationDatabase) << "dropped" << dropped << "samples not yet written";
    }
    commitIfDue();
}

void HistoryWriter::appendJournal(const QList<JournalRecord> &records)
{
    pendingJournal += records;
    if (pendingJournal.size() > maxPendingJournal) {
        const qsizetype dropped = pendingJournal.size() - maxPendingJournal;
        pendingJournal.remove(0, dropped);
        qCWarning(lcStationDatabase) << "dropped" << dropped << "journal records not yet written";
    }
    commitIfDue();
}

void HistoryWriter::saveAlarmStates(const QList<AlarmStateRow> &states)
{
    for (const AlarmStateRow &state : states)
        pendingStates.insert(state.alarm, state);
    commitIfDue();
}

void HistoryWriter::removeAlarmStates(const QStringList &alarms)
{
    for (const QString &alarm : alarms)
        pendingStates.insert(alarm, std::nullopt);
    commitIfDue();
}

bool HistoryWriter::hasPending() const
{
    return !pending.isEmpty() || !pendingJournal.isEmpty() || !pendingStates.isEmpty();
}

void HistoryWriter::commitIfDue()
{
    if (!hasPending() || !statements || diskFull)
        return;
    const qint64 since = clock() - lastCommit;
    if (!committedOnce || since >= commitInterval || since < 0) {
        commit();
        return;
    }
    if (!paceTimer->isActive())
        paceTimer->start(int(commitInterval - since));
}

void HistoryWriter::flush()
{
    commit();
}

int HistoryWriter::pointId(const QString &name)
{
    const auto found = pointIds.constFind(name);
    if (found != pointIds.cend())
        return *found;
    statements->insertPoint.addBindValue(name);
    if (!statements->insertPoint.exec())
        return -1;
    const int id = statements->insertPoint.lastInsertId().toInt();
    pointIds.insert(name, id);
    return id;
}

bool HistoryWriter::commit()
{
    if (!statements)
        return false;
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    const bool startup = !committedOnce;
    if (!hasPending() && !startup)
        return true;
    if (!db.transaction()) {
        failed(describe(db.lastError()), sqliteCode(db.lastError()));
        return false;
    }
    auto fail = [&](const QSqlError &error) {
        db.rollback();
        QString ignored;
        loadState(ignored);
        failed(describe(error), sqliteCode(error));
        return false;
    };

    qint64 lastFlush = 0;
    if (startup) {
        // Whatever had a source when recording last ran has none since.
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT last_flush FROM recorder")))
            return fail(query.lastError());
        if (query.next())
            lastFlush = query.value(0).toLongLong();
        QSqlQuery lastChunk(db);
        lastChunk.prepare(
            QStringLiteral("SELECT t0, data FROM chunks WHERE point = ? ORDER BY t1 DESC LIMIT 1"));
        QList<Entry> gaps;
        for (auto point = pointIds.cbegin(); point != pointIds.cend(); ++point) {
            HistorySample last;
            bool found = false;
            if (const auto run = runs.constFind(*point); run != runs.cend() && !run->isEmpty()) {
                last = run->constLast();
                found = true;
            } else {
                lastChunk.addBindValue(*point);
                if (!lastChunk.exec())
                    return fail(lastChunk.lastError());
                QList<HistorySample> samples;
                if (lastChunk.next()
                    && SampleChunk::decode(
                        lastChunk.value(1).toByteArray(), lastChunk.value(0).toLongLong(), samples)
                    && !samples.isEmpty()) {
                    last = samples.constLast();
                    found = true;
                }
            }
            if (found && !last.isGap())
                gaps.append({ point.key(), HistorySample::gap(std::max(lastFlush, last.t + 1)) });
        }
        pending = gaps + pending;
    }

    // Each point's new samples, in order. A point's time only moves forward;
    // a sample at the time of the one before it in the same commit replaces it.
    QMap<int, QList<HistorySample>> fresh;
    for (const Entry &entry : std::as_const(pending)) {
        const int id = pointId(entry.point);
        if (id < 0)
            return fail(statements->insertPoint.lastError());
        const HistorySample &sample = entry.sample;
        QList<HistorySample> &added = fresh[id];
        const QList<HistorySample> &run = runs[id];
        const qint64 last = !added.isEmpty() ? added.constLast().t
            : !run.isEmpty()                 ? run.constLast().t
                             : sealedUntil.value(id, std::numeric_limits<qint64>::min());
        if (sample.t < last || (sample.t == last && added.isEmpty()))
            continue;
        if (sample.t == last)
            added.last() = sample;
        else
            added.append(sample);
    }
    for (auto added = fresh.cbegin(); added != fresh.cend(); ++added) {
        if (added->isEmpty())
            continue;
        const int id = added.key();
        QList<HistorySample> &run = runs[id];
        qsizetype unsealed = run.size();
        for (const HistorySample &sample : *added) {
            run.append(sample);
            if (run.size() >= HistorySchema::chunkSamples
                || run.constLast().t - run.constFirst().t >= HistorySchema::chunkSpan) {
                if (!seal(id))
                    return fail(statements->insertChunk.lastError().isValid()
                            ? statements->insertChunk.lastError()
                            : statements->deleteRecent.lastError());
                unsealed = 0;
            }
        }
        if (unsealed == run.size())
            continue;
        const QList<HistorySample> rest = run.mid(unsealed);
        QSqlQuery &insert = statements->insertRecent;
        insert.addBindValue(id);
        insert.addBindValue(rest.constFirst().t);
        insert.addBindValue(SampleChunk::encode(rest, rest.constFirst().t));
        if (!insert.exec())
            return fail(insert.lastError());
    }
    for (const JournalRecord &record : std::as_const(pendingJournal)) {
        QSqlQuery &insert = statements->insertJournal;
        insert.addBindValue(record.time);
        insert.addBindValue(record.sourceTime);
        for (const QString *text : { &record.event, &record.alarm, &record.point })
            insert.addBindValue(notNull(*text));
        insert.addBindValue(record.priority);
        for (const QString *text : { &record.value, &record.user, &record.station, &record.text })
            insert.addBindValue(notNull(*text));
        if (!insert.exec())
            return fail(insert.lastError());
    }
    for (auto state = pendingStates.cbegin(); state != pendingStates.cend(); ++state) {
        QSqlQuery &query = state->has_value() ? statements->saveState : statements->removeState;
        query.addBindValue(notNull(state.key()));
        if (const auto &row = *state) {
            query.addBindValue(row->active ? 1 : 0);
            query.addBindValue(row->acknowledged ? 1 : 0);
            query.addBindValue(stateData(row->data));
        }
        if (!query.exec())
            return fail(query.lastError());
    }
    const qint64 now = clock();
    statements->updateRecorder.addBindValue(now);
    if (!statements->updateRecorder.exec())
        return fail(statements->updateRecorder.lastError());
    if (!db.commit())
        return fail(db.lastError());

    pending.clear();
    pendingJournal.clear();
    pendingStates.clear();
    committedOnce = true;
    lastCommit = now;
    if (!startup)
        ++transactionCount;
    lastFailure.clear();
    if (diskFull) {
        diskFull = false;
        emit diskFullChanged(false);
    }
    return true;
}

bool HistoryWriter::seal(int point)
{
    QList<HistorySample> &run = runs[point];
    if (run.isEmpty())
        return true;
    const qint64 t0 = run.constFirst().t;
    QSqlQuery &insert = statements->insertChunk;
    insert.addBindValue(point);
    insert.addBindValue(t0);
    insert.addBindValue(run.constLast().t);
    insert.addBindValue(run.size());
    insert.addBindValue(SampleChunk::encode(run, t0));
    if (!insert.exec())
        return false;
    statements->deleteRecent.addBindValue(point);
    if (!statements->deleteRecent.exec())
        return false;
    sealedUntil.insert(point, run.constLast().t);
    run.clear();
    return true;
}

void HistoryWriter::failed(const QString &error, int code)
{
    if (code == sqliteFull) {
        if (!diskFull) {
            diskFull = true;
            qCWarning(lcStationDatabase) << "disk full, recording paused:" << error;
            emit diskFullChanged(true);
        }
    } else if (error != lastFailure) {
        lastFailure = error;
        qCWarning(lcStationDatabase) << "write failed:" << error;
        emit writeFailed(error);
    }
    retryTimer->start();
}

void HistoryWriter::setRetentionDays(int days)
{
    retentionDays = std::max(0, days);
    if (statements)
        startPrune();
}

void HistoryWriter::setSizeLimit(qint64 bytes)
{
    sizeLimit = std::max<qint64>(0, bytes);
    if (!statements)
        return;
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    qint64 pages = 4294967294LL;
    if (sizeLimit > 0 && query.exec(QStringLiteral("PRAGMA page_size")) && query.next())
        pages = std::max<qint64>(1, sizeLimit / std::max<qint64>(1, query.value(0).toLongLong()));
    query.exec(QStringLiteral("PRAGMA max_page_count = %1").arg(pages));
    if (diskFull)
        commit();
}

void HistoryWriter::startPrune()
{
    if (!statements)
        return;
    // Runs that stopped growing are sealed, so that `recent` holds only the
    // last hour of each point.
    const qint64 now = clock();
    QList<int> stale;
    for (auto run = runs.cbegin(); run != runs.cend(); ++run) {
        if (!run->isEmpty() && now - run->constFirst().t >= HistorySchema::chunkSpan)
            stale.append(run.key());
    }
    if (!stale.isEmpty()) {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        bool ok = db.transaction();
        for (int point : std::as_const(stale))
            ok = ok && seal(point);
        if (!ok || !db.commit()) {
            db.rollback();
            QString ignored;
            loadState(ignored);
        }
    }
    startJournalPrune();
    if (retentionDays <= 0 || !pruneQueue.isEmpty())
        return;
    pruneCutoff = now - retentionDays * day;
    pruneQueue = pointIds.values();
    QTimer::singleShot(0, this, &HistoryWriter::pruneStep);
}

// One point per transaction, so that commits of new samples go on between them.
void HistoryWriter::pruneStep()
{
    if (pruneQueue.isEmpty() || !statements)
        return;
    const int point = pruneQueue.takeLast();
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.prepare(QStringLiteral("DELETE FROM chunks WHERE point = ? AND t1 < ?"));
    query.addBindValue(point);
    query.addBindValue(pruneCutoff);
    if (!query.exec())
        qCWarning(lcStationDatabase) << "pruning failed:" << query.lastError().text();
    if (!pruneQueue.isEmpty())
        QTimer::singleShot(0, this, &HistoryWriter::pruneStep);
}

void HistoryWriter::setJournalDays(int days)
{
    journalDays = std::max(0, days);
    startJournalPrune();
}

void HistoryWriter::startJournalPrune()
{
    if (!statements || journalDays <= 0 || journalPruning)
        return;
    journalCutoff = clock() - journalDays * day;
    journalPruning = true;
    QTimer::singleShot(0, this, &HistoryWriter::journalPruneStep);
}

// A batch of old rows per transaction, so that commits go on between them.
// An alarm still active or unacknowledged keeps every record of its own.
void HistoryWriter::journalPruneStep()
{
    if (!journalPruning || !statements) {
        journalPruning = false;
        return;
    }
    // States not yet written decide as much as those on disk.
    if (!pendingStates.isEmpty())
        commit();
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.prepare(QStringLiteral(
        "DELETE FROM journal WHERE seq IN (SELECT seq FROM journal WHERE time < ? AND alarm NOT "
        "IN (SELECT alarm FROM alarm_states WHERE active <> 0 OR acknowledged = 0) ORDER BY "
        "seq LIMIT ?)"));
    query.addBindValue(journalCutoff);
    query.addBindValue(journalPruneBatch);
    if (!query.exec()) {
        qCWarning(lcStationDatabase) << "pruning the journal failed:" << query.lastError().text();
        journalPruning = false;
        return;
    }
    if (query.numRowsAffected() < journalPruneBatch) {
        journalPruning = false;
        return;
    }
    QTimer::singleShot(0, this, &HistoryWriter::journalPruneStep);
}

void HistoryWriter::close()
{
    commit();
    journalPruning = false;
    pruneQueue.clear();
    pruneTimer->stop();
    retryTimer->stop();
    paceTimer->stop();
    closeConnection();
}
