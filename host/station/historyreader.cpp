#include "historyreader.h"

#include "downsampler.h"
#include "historyschema.h"
#include "journalexport.h"
#include "samplechunk.h"
#include "stationlogging.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTextStream>
#include <QUuid>

#include <algorithm>

HistoryReader::HistoryReader(QObject *parent)
    : QObject(parent)
    , connectionName(QStringLiteral("history-reader-") + QUuid::createUuid().toString())
{ }

HistoryReader::~HistoryReader()
{
    close();
}

bool HistoryReader::open(const QString &path, QString &error, bool readOnly)
{
    close();
    if (readOnly && !QFileInfo(path).isFile()) {
        error = QStringLiteral("no such file");
        return false;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
    db.setDatabaseName(path);
    if (readOnly)
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!db.open()) {
        error = db.lastError().text();
        close();
        return false;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        error = query.lastError().text();
        close();
        return false;
    }
    if (query.value(0).toInt() < 1 || query.value(0).toInt() > HistorySchema::version) {
        error = QStringLiteral("not a station history (schema version %1)")
                    .arg(query.value(0).toInt());
        close();
        return false;
    }
    schemaVersion = query.value(0).toInt();
    return true;
}

void HistoryReader::close()
{
    if (QSqlDatabase::contains(connectionName)) {
        QSqlDatabase::database(connectionName, false).close();
        QSqlDatabase::removeDatabase(connectionName);
    }
}

bool HistoryReader::isOpen() const
{
    return QSqlDatabase::contains(connectionName)
        && QSqlDatabase::database(connectionName, false).isOpen();
}

bool HistoryReader::samples(const QString &point, qint64 from, qint64 to, QList<HistorySample> &out,
    std::optional<HistorySample> *before)
{
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    // One read transaction sees one state of the file, however the writer
    // moves rows from `recent` into chunks meanwhile.
    db.transaction();
    auto done = [&](bool ok) {
        db.commit();
        return ok;
    };
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id FROM points WHERE name = ?"));
    query.addBindValue(point);
    if (!query.exec())
        return done(false);
    if (!query.next())
        return done(true);
    const int id = query.value(0).toInt();

    std::optional<HistorySample> last;
    QList<HistorySample> decoded;
    query.prepare(
        QStringLiteral("SELECT t0, data FROM chunks WHERE point = ? AND t1 >= ? ORDER BY t1"));
    query.addBindValue(id);
    query.addBindValue(from);
    if (!query.exec())
        return done(false);
    while (query.next()) {
        const qint64 t0 = query.value(0).toLongLong();
        if (t0 > to)
            break;
        decoded.clear();
        if (!SampleChunk::decode(query.value(1).toByteArray(), t0, decoded))
            qCWarning(lcStationDatabase) << "malformed chunk of" << point << "at" << t0;
        for (const HistorySample &sample : std::as_const(decoded)) {
            if (sample.t < from)
                last = sample;
            else if (sample.t <= to)
                out.append(sample);
        }
    }
    if (before && !last) {
        query.prepare(QStringLiteral(
            "SELECT t0, data FROM chunks WHERE point = ? AND t1 < ? ORDER BY t1 DESC LIMIT 1"));
        query.addBindValue(id);
        query.addBindValue(from);
        if (!query.exec())
            return done(false);
        decoded.clear();
        if (query.next()
            && SampleChunk::decode(
                query.value(1).toByteArray(), query.value(0).toLongLong(), decoded)
            && !decoded.isEmpty())
            last = decoded.constLast();
    }
    // Rows of `recent` are newer than every chunk of their point, and few.
    query.prepare(QStringLiteral("SELECT t0, data FROM recent WHERE point = ? ORDER BY t0"));
    query.addBindValue(id);
    if (!query.exec())
        return done(false);
    while (query.next()) {
        decoded.clear();
        SampleChunk::decode(query.value(1).toByteArray(), query.value(0).toLongLong(), decoded);
        for (const HistorySample &sample : std::as_const(decoded)) {
            if (sample.t < from)
                last = sample;
            else if (sample.t <= to)
                out.append(sample);
        }
    }
    if (before)
        *before = last;
    return done(true);
}

QJsonObject HistoryReader::history(const QStringList &ids, qint64 from, qint64 to, int maxPoints)
{
    QJsonObject points;
    QJsonObject downsampled;
    for (const QString &id : ids) {
        QList<HistorySample> raw;
        std::optional<HistorySample> before;
        if (from <= to && !samples(id, from, to, raw, &before))
            qCWarning(lcStationDatabase) << "history of" << id << "could not be read";
        const bool reduce = maxPoints > 0 && raw.size() > maxPoints;
        if (reduce)
            raw = Downsampler::m4(raw, from, to, std::max(1, maxPoints / 4));
        QJsonArray list;
        if (before)
            list.append(before->toJson());
        for (const HistorySample &sample : std::as_const(raw))
            list.append(sample.toJson());
        points.insert(id, list);
        downsampled.insert(id, reduce);
    }
    return { { QStringLiteral("points"), points }, { QStringLiteral("downsampled"), downsampled } };
}

void HistoryReader::request(
    quint64 id, const QStringList &ids, qint64 from, qint64 to, int maxPoints)
{
    emit answered(id, history(ids, from, to, maxPoints));
}

namespace {

// The first version whose files hold the journal and the alarm states.
constexpr int journalVersion = 2;

bool matches(const JournalRecord &record, const QString &text)
{
    return text.isEmpty() || record.text.contains(text, Qt::CaseInsensitive)
        || record.alarm.contains(text, Qt::CaseInsensitive)
        || record.point.contains(text, Qt::CaseInsensitive);
}

} // namespace

bool HistoryReader::scanJournal(const JournalFilter &filter, bool newestFirst,
    const std::function<bool(const JournalRecord &)> &take)
{
    if (!isOpen())
        return false;
    if (schemaVersion < journalVersion)
        return true;
    QString sql = QStringLiteral(
        "SELECT seq, time, source_time, event, alarm, point, priority, value, user, station, "
        "text FROM journal WHERE time >= ? AND time <= ?");
    if (!filter.point.isEmpty())
        sql += QStringLiteral(" AND point = ?");
    if (!filter.event.isEmpty())
        sql += QStringLiteral(" AND event = ?");
    sql += newestFirst ? QStringLiteral(" ORDER BY time DESC, seq DESC")
                       : QStringLiteral(" ORDER BY time, seq");
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        return false;
    query.addBindValue(filter.from);
    query.addBindValue(filter.to);
    if (!filter.point.isEmpty())
        query.addBindValue(filter.point);
    if (!filter.event.isEmpty())
        query.addBindValue(filter.event);
    if (!query.exec())
        return false;
    // The text is matched here: SQLite folds the case of ASCII letters only.
    while (query.next()) {
        JournalRecord record;
        record.seq = query.value(0).toLongLong();
        record.time = query.value(1).toLongLong();
        record.sourceTime = query.value(2).toLongLong();
        record.event = query.value(3).toString();
        record.alarm = query.value(4).toString();
        record.point = query.value(5).toString();
        record.priority = query.value(6).toInt();
        record.value = query.value(7).toString();
        record.user = query.value(8).toString();
        record.station = query.value(9).toString();
        record.text = query.value(10).toString();
        if (matches(record, filter.text) && !take(record))
            break;
    }
    return !query.lastError().isValid();
}

QJsonObject HistoryReader::journal(const JournalFilter &filter, int limit)
{
    if (limit <= 0 || limit > maxJournalRecords)
        limit = maxJournalRecords;
    QList<JournalRecord> newest;
    bool truncated = false;
    const bool read = scanJournal(filter, true, [&](const JournalRecord &record) {
        if (newest.size() == limit) {
            truncated = true;
            return false;
        }
        newest.append(record);
        return true;
    });
    if (!read)
        qCWarning(lcStationDatabase) << "the journal could not be read";
    QJsonArray records;
    for (auto record = newest.crbegin(); record != newest.crend(); ++record)
        records.append(toJson(*record));
    return { { QStringLiteral("records"), records }, { QStringLiteral("truncated"), truncated } };
}

bool HistoryReader::alarmStates(QList<AlarmStateRow> &out)
{
    if (!isOpen())
        return false;
    if (schemaVersion < journalVersion)
        return true;
    QSqlQuery query(QSqlDatabase::database(connectionName, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral(
            "SELECT alarm, active, acknowledged, data FROM alarm_states ORDER BY alarm")))
        return false;
    while (query.next()) {
        out.append({ query.value(0).toString(), query.value(1).toInt() != 0,
            query.value(2).toInt() != 0, query.value(3).toByteArray() });
    }
    return !query.lastError().isValid();
}

void HistoryReader::requestJournal(quint64 id, const JournalFilter &filter, int limit)
{
    emit journalAnswered(id, journal(filter, limit));
}

void HistoryReader::requestJournalCsv(quint64 id, const JournalFilter &filter)
{
    QString csv;
    QTextStream out(&csv);
    JournalExport::writeHeader(out);
    if (!scanJournal(filter, false, [&out](const JournalRecord &record) {
            JournalExport::writeRecord(record, out);
            return true;
        }))
        qCWarning(lcStationDatabase) << "the journal could not be read for its CSV";
    out.flush();
    emit journalCsvAnswered(id, csv);
}
