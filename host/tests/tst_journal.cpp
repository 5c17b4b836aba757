// The station journal and the saved alarm states in the station database:
// appended and read back through the reader thread, never updated, pruned
// without losing an open alarm's records, kept across a restart and a full
// disk, a version-1 file migrated, and the CSV of corvane-ui --export-journal.

#include "historyexport.h"
#include "historyreader.h"
#include "historyschema.h"
#include "journalexport.h"
#include "samplechunk.h"
#include "stationdatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <limits>
#include <memory>

Q_DECLARE_METATYPE(JournalFilter)

namespace {

constexpr qint64 day = 24 * 60 * 60 * 1000;
constexpr qint64 eight = 1'796'889'600'000; // 2026-12-10T08:00:00Z

struct TestClock
{
    std::shared_ptr<std::atomic<qint64>> now = std::make_shared<std::atomic<qint64>>(eight);
    StationDatabase::Clock function() const
    {
        return [now = now] { return now->load(); };
    }
};

JournalRecord record(qint64 time, const QString &event, const QString &alarm, const QString &point,
    const QString &text)
{
    JournalRecord r;
    r.time = time;
    r.event = event;
    r.alarm = alarm;
    r.point = point;
    r.station = QStringLiteral("ST-1");
    r.text = text;
    return r;
}

// Appended in this order (seq 1 to 5); the fifth is dated between the first
// two, and the third and fourth share a time.
QList<JournalRecord> fixture()
{
    const QString low = QStringLiteral("Уровень Б-2 низкий");
    JournalRecord raised = record(eight + 500, "raised", "LT-101.lo", "LT-101", low);
    raised.sourceTime = eight + 250;
    raised.priority = 2;
    raised.value = QStringLiteral("18.5");
    JournalRecord acknowledged = record(eight + 60'000, "acknowledged", "LT-101.lo", "LT-101", low);
    acknowledged.user = QStringLiteral("ivanov");
    JournalRecord vibration = record(eight + 120'000, "raised", "VB-205.hihi", "VB-205",
        QStringLiteral("Вибрация: АВАРИЯ, \"турбина\""));
    vibration.sourceTime = eight + 119'000;
    vibration.priority = 1;
    vibration.value = QStringLiteral("11.4");
    JournalRecord command
        = record(eight + 120'000, "command", "", "P-1", QStringLiteral("Насос пущен\nвручную"));
    command.user = QStringLiteral("petrov");
    JournalRecord cleared
        = record(eight + 30'000, "cleared", "LT-101.lo", "LT-101", QStringLiteral("Норма\r\n"));
    cleared.priority = 2;
    cleared.value = QStringLiteral("30,2");
    return { raised, acknowledged, vibration, command, cleared };
}

void waitOpen(StationDatabase &database)
{
    QTRY_COMPARE_WITH_TIMEOUT(database.recording(), StationDatabase::Recording::On, 10000);
}

QList<qint64> seqs(const QJsonObject &answer)
{
    QList<qint64> list;
    for (const QJsonValue &value : answer[QStringLiteral("records")].toArray())
        list.append(value[QStringLiteral("seq")].toInteger());
    return list;
}

QList<qint64> storedSeqs(const QString &path)
{
    HistoryReader reader;
    QString error;
    if (!reader.open(path, error, true))
        qWarning() << error;
    QList<qint64> list;
    reader.scanJournal({}, false, [&list](const JournalRecord &r) {
        list.append(r.seq);
        return true;
    });
    std::sort(list.begin(), list.end());
    return list;
}

QString csvOf(const QString &path, qint64 from, qint64 to)
{
    QString csv;
    QTextStream out(&csv);
    QString error;
    if (!JournalExport::write(path, from, to, out, error))
        qWarning() << error;
    return csv;
}

const QString header
    = QStringLiteral("time,source_time,event,alarm,point,priority,value,user,station,text\n");
// The fixture's lines in time order, seq order at equal times.
const QString lines[] = {
    QStringLiteral("2026-12-10T08:00:00.500Z,2026-12-10T08:00:00.250Z,raised,LT-101.lo,LT-101,2,"
                   "18.5,,ST-1,Уровень Б-2 низкий\n"),
    QStringLiteral(
        "2026-12-10T08:00:30.000Z,,cleared,LT-101.lo,LT-101,2,\"30,2\",,ST-1,\"Норма\r\n\"\n"),
    QStringLiteral("2026-12-10T08:01:00.000Z,,acknowledged,LT-101.lo,LT-101,,,ivanov,ST-1,"
                   "Уровень Б-2 низкий\n"),
    QStringLiteral("2026-12-10T08:02:00.000Z,2026-12-10T08:01:59.000Z,raised,VB-205.hihi,VB-205,1,"
                   "11.4,,ST-1,\"Вибрация: АВАРИЯ, \"\"турбина\"\"\"\n"),
    QStringLiteral("2026-12-10T08:02:00.000Z,,command,,P-1,,,petrov,ST-1,\"Насос пущен\n"
                   "вручную\"\n"),
};

} // namespace

class TestJournal : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answersQueries_data();
    void answersQueries();
    void keepsEveryField();
    void refusesUpdates();
    void commitsWithoutSamples();
    void keepsRecordsWhileDiskFull();
    void prunesButKeepsOpenAlarms_data();
    void prunesButKeepsOpenAlarms();
    void restoresAlarmStates();
    void migratesVersionOne();
    void writesCsv();
    void exportsFromCommandLine_data();
    void exportsFromCommandLine();

private:
    QTemporaryDir dir;
    QString path;
};

void TestJournal::initTestCase()
{
    path = dir.filePath(QStringLiteral("history.sqlite"));
    StationDatabase database(nullptr, [] { return eight + 3'600'000; });
    database.open(path);
    waitOpen(database);
    database.appendJournal(fixture());
    database.flush();
}

void TestJournal::answersQueries_data()
{
    QTest::addColumn<JournalFilter>("filter");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QList<qint64>>("expected");
    QTest::addColumn<bool>("truncated");

    auto filter = [](qint64 from, qint64 to, const char *point, const char *event,
                      const QString &text) {
        return JournalFilter { from, to, QString::fromUtf8(point), QString::fromUtf8(event), text };
    };
    const qint64 min = std::numeric_limits<qint64>::min();
    const qint64 max = std::numeric_limits<qint64>::max();
    QTest::newRow("everything in time order, seq order at equal times")
        << JournalFilter {} << 0 << QList<qint64> { 1, 5, 2, 3, 4 } << false;
    QTest::newRow("a negative limit is the most")
        << JournalFilter {} << -1 << QList<qint64> { 1, 5, 2, 3, 4 } << false;
    QTest::newRow("a window, both ends included") << filter(eight + 30'000, eight + 120'000, "", "",
        {}) << 0 << QList<qint64> { 5, 2, 3, 4 } << false;
    QTest::newRow("an exact point")
        << filter(min, max, "LT-101", "", {}) << 0 << QList<qint64> { 1, 5, 2 } << false;
    QTest::newRow("a point is matched whole")
        << filter(min, max, "LT", "", {}) << 0 << QList<qint64> {} << false;
    QTest::newRow("an exact event")
        << filter(min, max, "", "raised", {}) << 0 << QList<qint64> { 1, 3 } << false;
    QTest::newRow("Russian text whatever its case")
        << filter(min, max, "", "", QStringLiteral("авария")) << 0 << QList<qint64> { 3 } << false;
    QTest::newRow("Russian capitals find small letters")
        << filter(min, max, "", "", QStringLiteral("УРОВЕНЬ")) << 0 << QList<qint64> { 1, 2 }
        << false;
    QTest::newRow("text found in the alarm")
        << filter(min, max, "", "", QStringLiteral("HIHI")) << 0 << QList<qint64> { 3 } << false;
    QTest::newRow("text found in the point")
        << filter(min, max, "", "", QStringLiteral("p-1")) << 0 << QList<qint64> { 4 } << false;
    QTest::newRow("the newest N, truncated")
        << JournalFilter {} << 2 << QList<qint64> { 3, 4 } << true;
    QTest::newRow("exactly N matching is not truncated")
        << filter(min, max, "", "raised", {}) << 2 << QList<qint64> { 1, 3 } << false;
    QTest::newRow("the newest N of a point")
        << filter(min, max, "LT-101", "", {}) << 1 << QList<qint64> { 2 } << true;
    QTest::newRow("filters combined")
        << filter(eight + 1000, max, "LT-101", "cleared", QStringLiteral("норма")) << 0
        << QList<qint64> { 5 } << false;
}

// Through the station database, so that the reader thread answers.
void TestJournal::answersQueries()
{
    QFETCH(JournalFilter, filter);
    QFETCH(int, limit);
    QFETCH(QList<qint64>, expected);
    QFETCH(bool, truncated);

    StationDatabase database;
    database.open(path);
    waitOpen(database);
    QSignalSpy answers(&database, &StationDatabase::journalAnswered);
    database.requestJournal(7, filter, limit);
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 10000);
    QCOMPARE(answers.first().at(0).toULongLong(), 7u);
    const QJsonObject answer = answers.first().at(1).toJsonObject();
    QCOMPARE(seqs(answer), expected);
    QCOMPARE(answer[QStringLiteral("truncated")].toBool(), truncated);
}

void TestJournal::keepsEveryField()
{
    HistoryReader reader;
    QString error;
    QVERIFY2(reader.open(path, error, true), qPrintable(error));
    const QJsonArray records = reader.journal({}, 0)[QStringLiteral("records")].toArray();
    QCOMPARE(records.size(), 5);
    QCOMPARE(records.at(0).toObject(),
        QJsonObject({ { "seq", 1 }, { "time", eight + 500 }, { "sourceTime", eight + 250 },
            { "event", "raised" }, { "alarm", "LT-101.lo" }, { "point", "LT-101" },
            { "priority", 2 }, { "value", "18.5" }, { "user", "" }, { "station", "ST-1" },
            { "text", QStringLiteral("Уровень Б-2 низкий") } }));
    QList<JournalRecord> read;
    reader.scanJournal({}, false, [&read](const JournalRecord &r) {
        read.append(r);
        return true;
    });
    QList<JournalRecord> expected = fixture();
    for (qsizetype i = 0; i < expected.size(); ++i)
        expected[i].seq = i + 1;
    std::sort(read.begin(), read.end(),
        [](const JournalRecord &a, const JournalRecord &b) { return a.seq < b.seq; });
    QVERIFY(read == expected);
}

void TestJournal::refusesUpdates()
{
    QTemporaryDir own;
    const QString file = own.filePath(QStringLiteral("history.sqlite"));
    QVERIFY(QFile::copy(path, file));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "update");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(!query.exec(QStringLiteral("UPDATE journal SET text = 'forged' WHERE seq = 1")));
        QVERIFY2(query.lastError().text().contains(QStringLiteral("the journal is append-only")),
            qPrintable(query.lastError().text()));
        QVERIFY(query.exec(QStringLiteral("SELECT count(*) FROM journal WHERE text = 'forged'")));
        QVERIFY(query.next());
        QCOMPARE(query.value(0).toInt(), 0);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("update"));
}

// The real clock: the pace timer, not a sample, brings the commit.
void TestJournal::commitsWithoutSamples()
{
    QTemporaryDir own;
    const QString file = own.filePath(QStringLiteral("history.sqlite"));
    StationDatabase database;
    database.open(file);
    waitOpen(database);
    database.appendJournal({ record(eight, "command", "", "P-1", "пуск") });
    QTRY_COMPARE_WITH_TIMEOUT(
        storedSeqs(file), QList<qint64> { 1 }, int(2 * HistoryWriter::commitInterval));
}

void TestJournal::keepsRecordsWhileDiskFull()
{
    QTemporaryDir own;
    const QString file = own.filePath(QStringLiteral("history.sqlite"));
    TestClock clock;
    StationDatabase database(nullptr, clock.function());
    database.open(file);
    waitOpen(database);
    database.setSizeLimit(64 * 1024);
    clock.now->store(eight + HistoryWriter::commitInterval);

    QList<JournalRecord> many;
    for (int i = 0; i < 2000; ++i)
        many.append(record(eight + i, "raised", "A", "LT-101", QString(100, QChar(u'ж'))));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^disk full")));
    database.appendJournal(many);
    QTRY_COMPARE_WITH_TIMEOUT(
        database.recording(), StationDatabase::Recording::PausedDiskFull, 10000);
    database.appendJournal({ record(eight + 5000, "cleared", "A", "LT-101", "норма") });
    database.setSizeLimit(0);
    QTRY_COMPARE_WITH_TIMEOUT(database.recording(), StationDatabase::Recording::On, 10000);
    database.flush();
    QCOMPARE(storedSeqs(file).size(), many.size() + 1);
}

void TestJournal::prunesButKeepsOpenAlarms_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<QList<qint64>>("kept");
    // Old (seq 1 to 5) and recent (6, 7) records; see below.
    QTest::newRow("30 days") << 30 << QList<qint64> { 1, 2, 6, 7 };
    QTest::newRow("0 keeps everything") << 0 << QList<qint64> { 1, 2, 3, 4, 5, 6, 7 };
}

void TestJournal::prunesButKeepsOpenAlarms()
{
    QFETCH(int, days);
    QFETCH(QList<qint64>, kept);

    QTemporaryDir own;
    const QString file = own.filePath(QStringLiteral("history.sqlite"));
    TestClock clock;
    clock.now->store(eight + 40 * day);
    StationDatabase database(nullptr, clock.function());
    database.open(file);
    waitOpen(database);
    database.appendJournal({
        record(eight, "raised", "active", "A", ""), // 1: still active, acknowledged
        record(eight, "raised", "unacked", "B", ""), // 2: returned, not acknowledged
        record(eight, "raised", "closed", "C", ""), // 3: returned and acknowledged
        record(eight, "raised", "forgotten", "D", ""), // 4: no state at all
        record(eight, "login", "", "", "ivanov"), // 5: an operator's action
        record(eight + 35 * day, "cleared", "closed", "C", ""), // 6
        record(eight + 35 * day, "login", "", "", "petrov"), // 7
    });
    database.saveAlarmStates({ { "active", true, true, "{}" }, { "unacked", false, false, "{}" },
        { "closed", false, true, "{}" } });
    database.flush();
    database.setJournalDays(days);
    database.sync();
    QTRY_COMPARE_WITH_TIMEOUT(storedSeqs(file), kept, 10000);
}

void TestJournal::restoresAlarmStates()
{
    QTemporaryDir own;
    const QString file = own.filePath(QStringLiteral("history.sqlite"));
    const QByteArray data
        = QStringLiteral(R"({"since":1796889600500,"текст":"Б-2 низкий"})").toUtf8();
    {
        StationDatabase database;
        QSignalSpy loaded(&database, &StationDatabase::alarmStatesLoaded);
        database.open(file);
        QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);
        QCOMPARE(loaded.first().first().value<QList<AlarmStateRow>>(), QList<AlarmStateRow> {});
        database.saveAlarmStates({ { "LT-101.lo", true, false, data },
            { "VB-205.hihi", true, true, "{}" }, { "gone", false, false, "{}" } });
        database.removeAlarmStates({ QStringLiteral("gone") });
        // A later save of the same alarm replaces it.
        database.saveAlarmStates({ { "VB-205.hihi", false, true, R"({"n":2})" } });
        database.close();
        QCOMPARE(loaded.size(), 1);
    }
    StationDatabase database;
    QSignalSpy loaded(&database, &StationDatabase::alarmStatesLoaded);
    database.open(file);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);
    const QList<AlarmStateRow> expected
        = { { "LT-101.lo", true, false, data }, { "VB-205.hihi", false, true, R"({"n":2})" } };
    QCOMPARE(loaded.first().first().value<QList<AlarmStateRow>>(), expected);
    database.sync();
    QTest::qWait(100);
    QCOMPARE(loaded.size(), 1);

    // A file that is set aside starts without states.
    database.close();
    {
        QFile garbage(file);
        QVERIFY(garbage.open(QIODevice::WriteOnly | QIODevice::Truncate));
        garbage.write(QByteArray("not a database at all ").repeated(300));
    }
    QFile::remove(file + "-wal");
    QFile::remove(file + "-shm");
    loaded.clear();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^set aside")));
    database.open(file);
    QTRY_COMPARE_WITH_TIMEOUT(loaded.size(), 1, 10000);
    QCOMPARE(loaded.first().first().value<QList<AlarmStateRow>>(), QList<AlarmStateRow> {});
}

// The layout of version 1, as files written before the journal have it.
void TestJournal::migratesVersionOne()
{
    QTemporaryDir own;
    const QString file = own.filePath(QStringLiteral("history.sqlite"));
    const QList<HistorySample> sealed
        = { { eight, 1.5, HistorySample::Kind::Number, PointStatus::Good },
              { eight + 1000, 2.5, HistorySample::Kind::Number, PointStatus::Uncertain } };
    const QList<HistorySample> recent
        = { { eight + 2000, 1, HistorySample::Kind::Discrete, PointStatus::Good } };
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "v1");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const char *statement : {
                 "CREATE TABLE points (id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)",
                 "CREATE TABLE chunks (id INTEGER PRIMARY KEY, point INTEGER NOT NULL, t0 "
                 "INTEGER NOT NULL, t1 INTEGER NOT NULL, n INTEGER NOT NULL, data BLOB NOT NULL)",
                 "CREATE INDEX chunks_by_point ON chunks (point, t1)",
                 "CREATE TABLE recent (point INTEGER NOT NULL, t0 INTEGER NOT NULL, data BLOB "
                 "NOT NULL, PRIMARY KEY (point, t0)) WITHOUT ROWID",
                 "CREATE TABLE recorder (id INTEGER PRIMARY KEY CHECK (id = 1), last_flush "
                 "INTEGER NOT NULL)",
                 "INSERT INTO recorder VALUES (1, 0)",
                 "INSERT INTO points (id, name) VALUES (1, 'LT-101')",
                 "PRAGMA user_version = 1",
             })
            QVERIFY2(
                query.exec(QString::fromUtf8(statement)), qPrintable(query.lastError().text()));
        QVERIFY(
            query.prepare("INSERT INTO chunks (point, t0, t1, n, data) VALUES (1, ?, ?, ?, ?)"));
        query.addBindValue(eight);
        query.addBindValue(eight + 1000);
        query.addBindValue(2);
        query.addBindValue(SampleChunk::encode(sealed, eight));
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
        QVERIFY(query.prepare("INSERT INTO recent (point, t0, data) VALUES (1, ?, ?)"));
        query.addBindValue(eight + 2000);
        query.addBindValue(SampleChunk::encode(recent, eight + 2000));
        QVERIFY2(query.exec(), qPrintable(query.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v1"));
    // Read as it is, an old file has an empty journal.
    QCOMPARE(csvOf(file, HistoryExport::beginning, HistoryExport::end), header);

    StationDatabase database;
    database.open(file);
    waitOpen(database);
    database.appendJournal({ record(eight + 3000, "raised", "LT-101.lo", "LT-101", "низкий") });
    database.flush();
    database.close();

    HistoryReader reader;
    QString error;
    QVERIFY2(reader.open(file, error, true), qPrintable(error));
    QList<HistorySample> samples;
    QVERIFY(reader.samples(QStringLiteral("LT-101"), eight, eight + 2000, samples));
    QCOMPARE(samples, sealed + recent);
    QCOMPARE(seqs(reader.journal({}, 0)), QList<qint64> { 1 });
    reader.close();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "v2");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("PRAGMA user_version")) && query.next());
        QCOMPARE(query.value(0).toInt(), HistorySchema::version);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("v2"));
}

void TestJournal::writesCsv()
{
    QCOMPARE(csvOf(path, HistoryExport::beginning, HistoryExport::end),
        header + lines[0] + lines[1] + lines[2] + lines[3] + lines[4]);
    QCOMPARE(csvOf(path, eight + 30'000, eight + 60'000), header + lines[1] + lines[2]);

    // The station's answer is the same CSV, filtered as a query is.
    StationDatabase database;
    database.open(path);
    waitOpen(database);
    QSignalSpy answers(&database, &StationDatabase::journalCsvAnswered);
    JournalFilter filter;
    filter.point = QStringLiteral("LT-101");
    database.requestJournalCsv(3, filter);
    QTRY_COMPARE_WITH_TIMEOUT(answers.size(), 1, 10000);
    QCOMPARE(answers.first().at(0).toULongLong(), 3u);
    QCOMPARE(answers.first().at(1).toString(), header + lines[0] + lines[1] + lines[2]);
}

void TestJournal::exportsFromCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    QTest::newRow("the whole journal")
        << QStringList { "--export-journal" } << 0
        << header + lines[0] + lines[1] + lines[2] + lines[3] + lines[4] << QString();
    QTest::newRow("a window, both ends included, offsets understood") << QStringList {
        "--export-journal", "--from", "2026-12-10T08:00:30Z", "--to=2026-12-10T10:01:00+02:00"
    } << 0 << header + lines[1] + lines[2] << QString();
    QTest::newRow("a bad time") << QStringList { "--export-journal", "--from", "noon" } << 2
                                << QString() << "corvane-ui: --from: not an ISO 8601 time: noon\n";
    QTest::newRow("a missing file")
        << QStringList { "--export-journal", "--history", "missing.sqlite" } << 2 << QString()
        << "corvane-ui: cannot read the journal missing.sqlite: no such file\n";
}

void TestJournal::exportsFromCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);

    if (!arguments.contains(QStringLiteral("--history")))
        arguments << QStringLiteral("--history") << path;
    QProcess process;
    process.setWorkingDirectory(dir.path());
    // No display: the export never makes a window.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CORVANE_UI), arguments);
    QVERIFY(process.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(process.readAllStandardError()), err);
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), out);
    QCOMPARE(process.exitCode(), exitCode);
}

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
