// The station database on real files: what is committed survives, commits are
// paced, an unusable file is set aside, old samples are pruned, a full disk
// pauses recording until space returns.

#include "historyreader.h"
#include "historyschema.h"
#include "samplechunk.h"
#include "stationdatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

Q_DECLARE_METATYPE(QList<HistorySample>)

namespace {

constexpr qint64 minute = 60 * 1000;
constexpr qint64 day = 24 * 60 * minute;
constexpr qint64 start = 1'796'889'600'000; // 2026-12-10T08:00:00Z

HistorySample number(qint64 t, double v, PointStatus s = PointStatus::Good)
{
    return { t, v, HistorySample::Kind::Number, s };
}

HistorySample discrete(qint64 t, bool v)
{
    return { t, v ? 1.0 : 0.0, HistorySample::Kind::Discrete, PointStatus::Good };
}

} // namespace

char *toString(const HistorySample &s)
{
    return qstrdup(QStringLiteral("{t %1 v %2 kind %3 s %4}")
                       .arg(s.t)
                       .arg(s.v, 0, 'g', 17)
                       .arg(int(s.kind))
                       .arg(statusName(s.status))
                       .toUtf8()
                       .constData());
}

namespace {

// A clock the test moves by hand.
struct TestClock
{
    std::shared_ptr<std::atomic<qint64>> now = std::make_shared<std::atomic<qint64>>(start);
    StationDatabase::Clock function() const
    {
        return [now = now] { return now->load(); };
    }
};

QList<HistoryWriter::Entry> entries(const QString &point, const QList<HistorySample> &samples)
{
    QList<HistoryWriter::Entry> list;
    for (const HistorySample &sample : samples)
        list.append({ point, sample });
    return list;
}

QList<HistorySample> stored(const QString &path, const QString &point, qint64 from = 0,
    qint64 to = std::numeric_limits<qint64>::max())
{
    HistoryReader reader;
    QString error;
    if (!reader.open(path, error, true))
        qWarning() << error;
    QList<HistorySample> samples;
    reader.samples(point, from, to, samples);
    return samples;
}

void waitOpen(StationDatabase &database)
{
    QTRY_COMPARE_WITH_TIMEOUT(database.recording(), StationDatabase::Recording::On, 10000);
}

} // namespace

class TestStationDatabase : public QObject
{
    Q_OBJECT

private slots:
    void chunkKeepsEveryValueExactly();
    void historySurvivesRestart();
    void answersWithTheLastSampleBeforeFrom();
    void commitsAtMostOncePerInterval();
    void setsAsideUnusableFile_data();
    void setsAsideUnusableFile();
    void prunesPastRetention();
    void pausesWhileFullAndResumes();
};

void TestStationDatabase::chunkKeepsEveryValueExactly()
{
    const QList<HistorySample> samples = { number(start, 50.12), number(start + 1000, 50.13),
        number(start + 1000, -7), number(start + 2500, 0.1 + 0.2), number(start + 2600, 1e300),
        number(start + 2700, -123456.789, PointStatus::Uncertain), discrete(start + 3000, true),
        discrete(start + 3001, false), HistorySample::gap(start + 4000),
        number(start + 86'400'000, 3.14159, PointStatus::Bad), number(start + 86'400'001, 1e-9) };
    const QByteArray data = SampleChunk::encode(samples, start);
    QList<HistorySample> decoded;
    QVERIFY(SampleChunk::decode(data, start, decoded));
    QCOMPARE(decoded, samples);
    // A value read with two decimals once a second costs a few bytes.
    QList<HistorySample> walk;
    for (int i = 0; i < 1000; ++i)
        walk.append(number(start + i * 1000, 40 + (i % 37) * 0.01));
    QVERIFY(SampleChunk::encode(walk, start).size() <= 5 * walk.size());
    QList<HistorySample> truncated;
    QVERIFY(!SampleChunk::decode(data.left(data.size() - 3), start, truncated));
}

void TestStationDatabase::historySurvivesRestart()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    TestClock clock;
    // Enough for sealed chunks and unsealed rows of "LT-101".
    QList<HistorySample> level;
    for (int i = 0; i < 2 * HistorySchema::chunkSamples + 100; ++i)
        level.append(number(start + i * 1000, 10 + (i % 100) * 0.5));
    const QList<HistorySample> pump = { discrete(start, true), discrete(start + 5000, false) };
    {
        StationDatabase database(nullptr, clock.function());
        database.open(path);
        waitOpen(database);
        database.append(entries(QStringLiteral("LT-101"), level));
        database.append(entries(QStringLiteral("P-1"), pump));
        clock.now->store(start + level.size() * 1000);
        database.flush();
    }
    QCOMPARE(stored(path, QStringLiteral("LT-101")), level);

    // Recording stopped at the last flush: the next start marks a gap there.
    clock.now->store(start + day);
    StationDatabase database(nullptr, clock.function());
    database.open(path);
    waitOpen(database);
    database.flush();
    const qint64 lastFlush = start + level.size() * 1000;
    QCOMPARE(
        stored(path, QStringLiteral("LT-101")), level + QList { HistorySample::gap(lastFlush) });
    QCOMPARE(stored(path, QStringLiteral("P-1")), pump + QList { HistorySample::gap(lastFlush) });
    QVERIFY(stored(path, QStringLiteral("nobody")).isEmpty());
}

void TestStationDatabase::answersWithTheLastSampleBeforeFrom()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    TestClock clock;
    StationDatabase database(nullptr, clock.function());
    database.open(path);
    waitOpen(database);
    // One value an hour over three days: the sample before `from` sits in
    // an earlier chunk than the range.
    QList<HistorySample> hourly;
    for (int i = 0; i < 72; ++i)
        hourly.append(number(start + i * 60 * minute, i));
    database.append(entries(QStringLiteral("TT-1"), hourly));
    database.append(entries(QStringLiteral("FLAG"), { discrete(start, true) }));
    clock.now->store(start + 3 * day);
    database.flush();

    HistoryReader reader;
    QString error;
    QVERIFY2(reader.open(path, error), qPrintable(error));
    const qint64 from = start + 30 * 60 * minute + 1;
    const QJsonObject answer = reader.history(
        { QStringLiteral("TT-1"), QStringLiteral("FLAG"), QStringLiteral("unknown") }, from,
        from + 2 * 60 * minute, 100);
    const QJsonArray tt = answer[QStringLiteral("points")][QStringLiteral("TT-1")].toArray();
    QCOMPARE(tt.size(), 3);
    QCOMPARE(tt.at(0).toObject(),
        QJsonObject({ { "t", start + 30 * 60 * minute }, { "v", 30.0 }, { "s", "good" } }));
    QCOMPARE(tt.at(1).toObject()[QStringLiteral("t")].toInteger(), start + 31 * 60 * minute);
    QCOMPARE(answer[QStringLiteral("points")][QStringLiteral("FLAG")].toArray(),
        QJsonArray({ QJsonObject({ { "t", start }, { "v", true }, { "s", "good" } }) }));
    QCOMPARE(answer[QStringLiteral("points")][QStringLiteral("unknown")].toArray(), QJsonArray());
    QCOMPARE(answer[QStringLiteral("downsampled")].toObject(),
        QJsonObject({ { "TT-1", false }, { "FLAG", false }, { "unknown", false } }));

    // More samples than asked for: reduced, still led by the one before `from`.
    const QJsonObject reduced
        = reader.history({ QStringLiteral("TT-1") }, from, start + 3 * day, 8);
    const QJsonArray few = reduced[QStringLiteral("points")][QStringLiteral("TT-1")].toArray();
    QVERIFY(reduced[QStringLiteral("downsampled")][QStringLiteral("TT-1")].toBool());
    QCOMPARE(few.first().toObject()[QStringLiteral("v")].toDouble(), 30.0);
    QVERIFY(few.size() <= 1 + 8);
    QCOMPARE(few.last().toObject()[QStringLiteral("v")].toDouble(), 71.0);
}

void TestStationDatabase::commitsAtMostOncePerInterval()
{
    QTemporaryDir dir;
    TestClock clock;
    StationDatabase database(nullptr, clock.function());
    database.open(dir.filePath(QStringLiteral("history.sqlite")));
    waitOpen(database);
    QCOMPARE(database.transactionCount(), 0u);

    // Opening committed (the marks of the last run): the first batch waits for
    // the interval, then goes at once; the next ones wait again, however many
    // arrive meanwhile.
    database.append(entries(QStringLiteral("A"), { number(start, 1) }));
    database.sync();
    QCOMPARE(database.transactionCount(), 0u);
    clock.now->store(start + HistoryWriter::commitInterval);
    database.append(entries(QStringLiteral("A"), { number(start + 1, 1) }));
    database.sync();
    QCOMPARE(database.transactionCount(), 1u);
    for (int i = 2; i <= 50; ++i) {
        database.append(entries(QStringLiteral("A"), { number(start + i, i) }));
        clock.now->store(start + HistoryWriter::commitInterval + i * 10);
        database.sync();
    }
    QCOMPARE(database.transactionCount(), 1u);
    clock.now->store(start + 2 * HistoryWriter::commitInterval);
    database.append(entries(QStringLiteral("A"), { number(start + 51, 51) }));
    database.sync();
    QCOMPARE(database.transactionCount(), 2u);
    QCOMPARE(stored(database.path(), QStringLiteral("A")).size(), 52);
}

void TestStationDatabase::setsAsideUnusableFile_data()
{
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("garbage bytes") << false;
    QTest::newRow("no permission to read") << true;
}

void TestStationDatabase::setsAsideUnusableFile()
{
    QFETCH(bool, unreadable);
#ifdef Q_OS_UNIX
    if (unreadable && geteuid() == 0)
        QSKIP("Permissions do not apply to root");
#else
    if (unreadable)
        QSKIP("Needs Unix permissions");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    const QByteArray garbage = QByteArray("not a database at all ").repeated(300);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(unreadable ? QByteArray() : garbage);
    }
    if (unreadable) {
        // A real database, just not readable.
        StationDatabase database;
        database.open(path);
        waitOpen(database);
        database.close();
        QVERIFY(QFile::setPermissions(path, QFileDevice::WriteOwner));
    }
    const qint64 size = QFileInfo(path).size();

    StationDatabase database;
    QSignalSpy problems(&database, &StationDatabase::problem);
    database.open(path);
    waitOpen(database);
    QCOMPARE(problems.size(), 1);
    const QString message = problems.first().first().toString();
    QVERIFY2(message.startsWith(QStringLiteral("The history file could not be read")),
        qPrintable(message));
    const QStringList aside
        = QDir(dir.path()).entryList({ QStringLiteral("history.sqlite.unreadable-*") });
    QCOMPARE(aside.size(), 1);
    QVERIFY2(message.contains(aside.first()), qPrintable(message));
    QCOMPARE(QFileInfo(dir.filePath(aside.first())).size(), size);
    if (!unreadable) {
        QFile kept(dir.filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), garbage);
    }

    database.append(entries(QStringLiteral("A"), { number(start, 1) }));
    database.flush();
    QCOMPARE(stored(path, QStringLiteral("A")), QList { number(start, 1) });
}

void TestStationDatabase::prunesPastRetention()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    TestClock clock;
    StationDatabase database(nullptr, clock.function());
    database.open(path);
    waitOpen(database);
    QList<HistorySample> samples;
    for (qint64 t = start; t < start + 40 * day; t += 10 * minute)
        samples.append(number(t, double(t % 1000)));
    database.append(entries(QStringLiteral("A"), samples));
    clock.now->store(start + 40 * day);
    database.flush();
    QCOMPARE(stored(path, QStringLiteral("A")).size(), samples.size());

    database.setRetentionDays(30);
    const qint64 cutoff = start + 10 * day;
    // A chunk goes once it ends before the cutoff, so at most one chunk's
    // span before it is left.
    QTRY_VERIFY_WITH_TIMEOUT(
        stored(path, QStringLiteral("A")).first().t >= cutoff - HistorySchema::chunkSpan, 10000);
    const QList<HistorySample> left = stored(path, QStringLiteral("A"));
    QVERIFY(left.first().t < cutoff + HistorySchema::chunkSpan);
    QCOMPARE(left.last(), samples.last());
    qsizetype kept = 0;
    for (const HistorySample &sample : samples)
        kept += sample.t >= cutoff ? 1 : 0;
    QVERIFY(left.size() >= kept);
}

void TestStationDatabase::pausesWhileFullAndResumes()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("history.sqlite"));
    TestClock clock;
    StationDatabase database(nullptr, clock.function());
    QSignalSpy states(&database, &StationDatabase::recordingChanged);
    QSignalSpy problems(&database, &StationDatabase::problem);
    database.open(path);
    waitOpen(database);
    database.setSizeLimit(64 * 1024);
    clock.now->store(start + HistoryWriter::commitInterval);

    QList<HistorySample> samples;
    for (int i = 0; i < 50'000; ++i)
        samples.append(number(start + i * 1000, (i * 7919) % 100'003 * 1.000001));
    database.append(entries(QStringLiteral("A"), samples));
    QTRY_COMPARE_WITH_TIMEOUT(
        database.recording(), StationDatabase::Recording::PausedDiskFull, 10000);
    QVERIFY(problems.last().first().toString().startsWith(QStringLiteral("The disk is full")));

    // Samples arriving meanwhile are kept for when space returns.
    database.append(entries(QStringLiteral("A"), { number(start + 50'000'000, 1) }));
    database.setSizeLimit(0);
    QTRY_COMPARE_WITH_TIMEOUT(database.recording(), StationDatabase::Recording::On, 10000);
    QVERIFY(problems.last().first().toString().startsWith(
        QStringLiteral("Recording of the history resumed")));
    database.flush();
    QCOMPARE(stored(path, QStringLiteral("A")).size(), samples.size() + 1);
    QCOMPARE(states.size(), 3);
}

QTEST_GUILESS_MAIN(TestStationDatabase)
#include "tst_stationdatabase.moc"
