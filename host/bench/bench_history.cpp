// Figures of the station's history, side by side:
//   - sustained samples per second through the point table into the file, and
//     the GUI thread's lateness meanwhile, at full speed and at two realistic
//     loads, each late tick taken apart: the thread waiting for a CPU, the
//     bench's own work, the station's calls and any time the station's calls
//     spent blocked (a lock, a synchronous call, the disk);
//   - bytes on disk per sample after a day of 200 points at 1 Hz, while the
//     file is open (its write-ahead log included) and after the checkpoint;
//   - the time of a day of one point (86,400 samples) reduced to 2,000 columns.
//
// Usage: bench_history [seconds of each write run, default 10]
//        bench_history --generate FILE --points A,B,… [--days 7] [--end MS]
//            a real station file of the points at 1 Hz over the days ending at
//            MS (default now), written through the station's own database
//        bench_history --query FILE --points A,B,… --from MS --to MS --max-points N
//            the host's time of that getHistory request on that file

#include "historian.h"
#include "historyreader.h"
#include "pointtable.h"
#include "stationdatabase.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr qint64 day = 24 * 60 * 60 * 1000;
constexpr qint64 start = 1'796'889'600'000;

struct FileSize
{
    qint64 main = 0;
    qint64 wal = 0;
    qint64 shm = 0;
    qint64 total() const { return main + wal + shm; }
};

FileSize fileSize(const QString &path)
{
    return { QFileInfo(path).size(), QFileInfo(path + QStringLiteral("-wal")).size(),
        QFileInfo(path + QStringLiteral("-shm")).size() };
}

// This thread's times: run on a CPU (the thread's CPU clock, exact) and spent
// runnable but waiting for one (Linux's /proc/thread-self/schedstat). Wall
// time that is neither is time the thread slept: idle in its event loop, or
// blocked. Zeros where the system has neither.
class SchedulerTimes
{
public:
    SchedulerTimes()
        : file(QStringLiteral("/proc/thread-self/schedstat"))
    {
        available = file.open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    // Nanoseconds run and waited, since the thread started.
    std::pair<qint64, qint64> read()
    {
        qint64 ran = 0;
#if defined(CLOCK_THREAD_CPUTIME_ID)
        timespec now {};
        if (clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now) == 0)
            ran = qint64(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
#endif
        if (!available || !file.seek(0))
            return { ran, 0 };
        const QList<QByteArray> fields = file.read(128).split(' ');
        return { ran, fields.value(1).toLongLong() };
    }

private:
    QFile file;
    bool available = false;
};

struct Lateness
{
    int ticks = 0;
    double worstMs = 0;
    double p99Ms = 0;
    // The worst tick taken apart.
    double worstWaitedMs = 0; // runnable, waiting for a CPU
    double worstRanMs = 0; // on a CPU: the bench, the station and Qt
    double worstStationCallMs = 0; // the longest station call within it
    double worstBenchWorkMs = 0; // the longest piece of the bench's own work within it
    // Over the whole run.
    double longestStationCallMs = 0;
    double longestStationCallRanMs = 0;
    double mostBlockedMs = 0; // in one station call: neither running nor waiting for a CPU
    double guiThreadCpuPercent = 0;
};

// A 10 ms timer on this thread, and the station's and the bench's work timed
// between its ticks. `station` wraps each call into the station.
class LatenessProbe
{
public:
    static constexpr int interval = 10;

    LatenessProbe()
    {
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { tick(); });
    }

    void start()
    {
        clock.start();
        const auto [ran, waited] = scheduler.read();
        startRan = lastRan = ran;
        lastWaited = waited;
        lastTick = clock.nsecsElapsed();
        timer.start(interval);
    }

    Lateness stop()
    {
        timer.stop();
        const qint64 wall = clock.nsecsElapsed();
        result.guiThreadCpuPercent = 100.0 * double(scheduler.read().first - startRan) / wall;
        std::sort(latenesses.begin(), latenesses.end());
        result.ticks = int(latenesses.size());
        if (!latenesses.isEmpty())
            result.p99Ms = latenesses.at(
                std::min<qsizetype>(latenesses.size() - 1, qsizetype(latenesses.size() * 0.99)));
        return result;
    }

    void station(const std::function<void()> &call)
    {
        const auto [ran, waited] = scheduler.read();
        QElapsedTimer wall;
        wall.start();
        call();
        const double ms = wall.nsecsElapsed() / 1e6;
        const auto [ranAfter, waitedAfter] = scheduler.read();
        const double ranMs = (ranAfter - ran) / 1e6;
        const double waitedMs = (waitedAfter - waited) / 1e6;
        stationCall = std::max(stationCall, ms);
        if (ms > result.longestStationCallMs) {
            result.longestStationCallMs = ms;
            result.longestStationCallRanMs = ranMs;
        }
        result.mostBlockedMs = std::max(result.mostBlockedMs, ms - ranMs - waitedMs);
    }

    void benchWork(qint64 nanoseconds) { benchPiece = std::max(benchPiece, nanoseconds / 1e6); }

private:
    void tick()
    {
        const qint64 at = clock.nsecsElapsed();
        const auto [ran, waited] = scheduler.read();
        const double late = (at - lastTick) / 1e6 - interval;
        latenesses.append(late);
        if (late > result.worstMs) {
            result.worstMs = late;
            result.worstWaitedMs = (waited - lastWaited) / 1e6;
            result.worstRanMs = (ran - lastRan) / 1e6;
            result.worstStationCallMs = stationCall;
            result.worstBenchWorkMs = benchPiece;
        }
        lastTick = at;
        lastRan = ran;
        lastWaited = waited;
        stationCall = 0;
        benchPiece = 0;
    }

    QTimer timer;
    QElapsedTimer clock;
    SchedulerTimes scheduler;
    qint64 startRan = 0, lastRan = 0, lastWaited = 0, lastTick = 0;
    double stationCall = 0, benchPiece = 0;
    QList<double> latenesses;
    Lateness result;
};

void runFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

void waitUntilRecording(StationDatabase &database)
{
    while (database.recording() != StationDatabase::Recording::On)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

struct Load
{
    const char *name;
    int points;
    int batch; // samples per delivery, each point in turn
    int everyMs; // between deliveries; 0: as fast as the writer takes them
    qint64 sampleStepMs; // source time between two samples of one point
};

struct WriteRun
{
    Load load;
    qint64 samples = 0;
    double seconds = 0; // the final commit included
    Lateness lateness;
};

// Values delivered through PointTable::update and the historian, every sample
// a change. At full speed the backlog not yet committed stays bounded.
WriteRun writeRun(const QString &path, const Load &load, int seconds)
{
    constexpr qint64 maxBacklog = 400'000;
    StationDatabase database;
    database.open(path);
    waitUntilRecording(database);
    PointTable table;
    Historian historian(&table, &database);
    QStringList ids;
    for (int i = 0; i < load.points; ++i)
        ids << QStringLiteral("P-%1").arg(i);

    LatenessProbe probe;
    qint64 offered = 0;
    qint64 t = start;
    double value = 0;
    quint64 seenCommits = 0;
    qint64 committedUpTo = 0;
    QTimer feed;
    feed.setTimerType(Qt::PreciseTimer);
    QObject::connect(&feed, &QTimer::timeout, &feed, [&] {
        if (load.everyMs == 0) {
            // A commit takes everything gathered before it.
            if (database.transactionCount() != seenCommits) {
                seenCommits = database.transactionCount();
                committedUpTo = offered;
            }
            if (offered - committedUpTo > maxBacklog)
                return;
        }
        QElapsedTimer work;
        work.start();
        QList<PointSample> samples;
        samples.reserve(load.batch);
        for (int i = 0; i < load.batch; ++i) {
            const int point = int(offered % load.points);
            if (point == 0) {
                t += load.sampleStepMs;
                value += 0.01;
            }
            samples.append({ ids.at(point), t, value + point, PointStatus::Good });
            ++offered;
        }
        probe.benchWork(work.nsecsElapsed());
        probe.station([&] { table.update(samples); });
    });

    QElapsedTimer run;
    run.start();
    probe.start();
    feed.start(load.everyMs);
    runFor(seconds * 1000);
    feed.stop();
    WriteRun result { load };
    result.lateness = probe.stop();
    database.flush();
    result.seconds = run.nsecsElapsed() / 1e9;
    result.samples = offered;
    database.close();
    return result;
}

// The machine alone: the probe with nothing else on this thread.
Lateness idleRun(int seconds)
{
    LatenessProbe probe;
    probe.start();
    runFor(seconds * 1000);
    return probe.stop();
}

// A random walk read to two decimals, as a transmitter's value usually is.
// Written as a bulk load straight into the database, a commit every ten
// minutes of data.
qint64 writeDays(StationDatabase &database, const QStringList &ids, qint64 from, qint64 seconds,
    QList<qint64> levels)
{
    QRandomGenerator random(7);
    const qsizetype points = ids.size();
    qint64 samples = 0;
    for (qint64 second = 0; second < seconds; second += 60) {
        QList<HistoryWriter::Entry> entries;
        entries.reserve(60 * points);
        for (qint64 s = second; s < std::min(seconds, second + 60); ++s) {
            for (qsizetype p = 0; p < points; ++p) {
                levels[p] += random.bounded(7) - 3;
                entries.append({ ids.at(p),
                    { from + s * 1000, levels[p] / 100.0, HistorySample::Kind::Number,
                        PointStatus::Good } });
            }
        }
        samples += entries.size();
        database.append(entries);
        if (second % 600 == 0)
            database.flush();
    }
    database.flush();
    return samples;
}

struct DaySize
{
    qint64 samples = 0;
    double writeSeconds = 0;
    FileSize open; // after the last commit, the file still open
    FileSize closed; // after closing: checkpointed, the log gone
    qint64 pageBytes = 0, freeBytes = 0;
    QList<std::pair<QString, qint64>> parts; // bytes per table and index
};

void readLayout(const QString &path, DaySize &size)
{
    const QString name = QStringLiteral("bench-layout-") + QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            qint64 pageSize = 0;
            if (query.exec(QStringLiteral("PRAGMA page_size")) && query.next())
                pageSize = query.value(0).toLongLong();
            if (query.exec(QStringLiteral("PRAGMA page_count")) && query.next())
                size.pageBytes = query.value(0).toLongLong() * pageSize;
            if (query.exec(QStringLiteral("PRAGMA freelist_count")) && query.next())
                size.freeBytes = query.value(0).toLongLong() * pageSize;
            // Where SQLite was built with its dbstat table.
            if (query.exec(QStringLiteral("SELECT name, sum(pgsize) FROM dbstat GROUP BY name "
                                          "ORDER BY 2 DESC"))) {
                while (query.next())
                    size.parts.append({ query.value(0).toString(), query.value(1).toLongLong() });
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

DaySize oneDay(const QString &path)
{
    constexpr int points = 200;
    DaySize size;
    StationDatabase database;
    database.open(path);
    waitUntilRecording(database);
    QRandomGenerator random(7);
    QList<qint64> levels(points);
    for (int p = 0; p < points; ++p)
        levels[p] = 5000 + random.bounded(5000);
    QStringList ids;
    for (int p = 0; p < points; ++p)
        ids << QStringLiteral("P-%1").arg(p);
    QElapsedTimer timer;
    timer.start();
    size.samples = writeDays(database, ids, start, 86'400, levels);
    size.writeSeconds = timer.elapsed() / 1000.0;
    size.open = fileSize(path);
    database.close();
    size.closed = fileSize(path);
    readLayout(path, size);
    return size;
}

struct QueryTimes
{
    double medianMs = 0;
    double firstMs = 0;
    double textMs = 0; // the answer written as JSON text, as the bridge sends it
    qint64 kept = 0;
    qint64 textBytes = 0;
};

QueryTimes queryTimes(
    const QString &path, const QStringList &ids, qint64 from, qint64 to, int maxPoints, int rounds)
{
    HistoryReader reader;
    QString error;
    QueryTimes result;
    if (!reader.open(path, error, true)) {
        std::fprintf(stderr, "bench_history: %s: %s\n", qPrintable(path), qPrintable(error));
        return result;
    }
    QList<double> times, texts;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer query;
        query.start();
        const QJsonObject answer = reader.history(ids, from, to, maxPoints);
        times.append(query.nsecsElapsed() / 1e6);
        query.restart();
        const QByteArray text = QJsonDocument(answer).toJson(QJsonDocument::Compact);
        texts.append(query.nsecsElapsed() / 1e6);
        result.textBytes = text.size();
        result.kept = 0;
        const QJsonObject points = answer[QStringLiteral("points")].toObject();
        for (const QString &id : ids)
            result.kept += points[id].toArray().size();
    }
    result.firstMs = times.first();
    std::sort(times.begin(), times.end());
    std::sort(texts.begin(), texts.end());
    result.medianMs = times.at(times.size() / 2);
    result.textMs = texts.at(texts.size() / 2);
    return result;
}

double stealPercentSince(const QList<qint64> &before, const QList<qint64> &after)
{
    // /proc/stat "cpu": user nice system idle iowait irq softirq steal.
    if (before.size() < 8 || after.size() < 8)
        return -1;
    qint64 total = 0;
    for (int i = 0; i < 8; ++i)
        total += after.at(i) - before.at(i);
    return total > 0 ? 100.0 * double(after.at(7) - before.at(7)) / double(total) : -1;
}

QList<qint64> cpuTicks()
{
    QFile file(QStringLiteral("/proc/stat"));
    QList<qint64> ticks;
    if (!file.open(QIODevice::ReadOnly))
        return ticks;
    const QList<QByteArray> fields = file.readLine().simplified().split(' ');
    for (qsizetype i = 1; i < fields.size(); ++i)
        ticks.append(fields.at(i).toLongLong());
    return ticks;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    return QString::fromLatin1(file.readLine()).section(QLatin1Char(' '), 0, 2);
}

void printWriteRun(const WriteRun &run)
{
    const Lateness &l = run.lateness;
    std::printf("  %s: %.0f samples/s (%lld samples in %.1f s, last commit included)\n",
        run.load.name, run.samples / run.seconds, static_cast<long long>(run.samples), run.seconds);
    std::printf("    GUI thread lateness: %.1f ms worst, %.1f ms p99 of %d ticks of a 10 ms timer; "
                "GUI thread busy %.0f %% of a core\n",
        l.worstMs, l.p99Ms, l.ticks, l.guiThreadCpuPercent);
    std::printf("    the worst tick: %.1f ms waiting for a CPU, %.1f ms running (longest "
                "station call %.2f ms, longest bench batch %.2f ms)\n",
        l.worstWaitedMs, l.worstRanMs, l.worstStationCallMs, l.worstBenchWorkMs);
    std::printf("    station calls on the GUI thread: longest %.2f ms (%.2f ms of it running), "
                "blocked at most %.2f ms\n",
        l.longestStationCallMs, l.longestStationCallRanMs, l.mostBlockedMs);
}

QStringList pointList(const QString &text)
{
    return text.split(QLatin1Char(','), Qt::SkipEmptyParts);
}

// A station file of `ids` at 1 Hz over `days` days up to `end`, then closed as
// the program closes it, so that the program opens it as its own.
int generate(const QString &path, const QStringList &ids, int days, qint64 end)
{
    if (ids.isEmpty() || days < 1) {
        std::fprintf(stderr, "bench_history: --generate needs --points and --days of 1 or more\n");
        return 1;
    }
    QFile::remove(path);
    QFile::remove(path + QStringLiteral("-wal"));
    QFile::remove(path + QStringLiteral("-shm"));
    const qint64 seconds = qint64(days) * 86'400;
    const qint64 from = end - (seconds - 1) * 1000;
    StationDatabase database;
    database.open(path);
    waitUntilRecording(database);
    QList<qint64> levels;
    for (qsizetype p = 0; p < ids.size(); ++p)
        levels.append(4000 + 300 * p);
    QElapsedTimer timer;
    timer.start();
    const qint64 samples = writeDays(database, ids, from, seconds, levels);
    database.close();
    std::printf("%lld samples of %lld points at 1 Hz from %lld to %lld written in %.1f s into %s "
                "(%lld bytes)\n",
        static_cast<long long>(samples), static_cast<long long>(ids.size()),
        static_cast<long long>(from), static_cast<long long>(end), timer.elapsed() / 1000.0,
        qPrintable(QDir::toNativeSeparators(path)), static_cast<long long>(fileSize(path).total()));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("seconds"), QStringLiteral("Of each write run."));
    const QCommandLineOption generateOption(QStringLiteral("generate"),
        QStringLiteral("Write a station file."), QStringLiteral("file"));
    const QCommandLineOption queryOption(QStringLiteral("query"),
        QStringLiteral("Time one history request on a file."), QStringLiteral("file"));
    const QCommandLineOption pointsOption(QStringLiteral("points"),
        QStringLiteral("Point ids, comma-separated."), QStringLiteral("ids"));
    const QCommandLineOption daysOption(QStringLiteral("days"), QStringLiteral("Days generated."),
        QStringLiteral("days"), QStringLiteral("7"));
    const QCommandLineOption endOption(
        QStringLiteral("end"), QStringLiteral("Last sample (ms)."), QStringLiteral("ms"));
    const QCommandLineOption fromOption(
        QStringLiteral("from"), QStringLiteral("ms"), QStringLiteral("ms"));
    const QCommandLineOption toOption(
        QStringLiteral("to"), QStringLiteral("ms"), QStringLiteral("ms"));
    const QCommandLineOption maxPointsOption(QStringLiteral("max-points"),
        QStringLiteral("As the page asks."), QStringLiteral("n"), QStringLiteral("8000"));
    const QCommandLineOption roundsOption(QStringLiteral("rounds"), QStringLiteral("Query rounds."),
        QStringLiteral("n"), QStringLiteral("11"));
    parser.addOptions({ generateOption, queryOption, pointsOption, daysOption, endOption,
        fromOption, toOption, maxPointsOption, roundsOption });
    parser.addHelpOption();
    parser.process(app);

    if (parser.isSet(generateOption)) {
        const qint64 end = parser.isSet(endOption) ? parser.value(endOption).toLongLong()
                                                   : QDateTime::currentMSecsSinceEpoch();
        return generate(parser.value(generateOption), pointList(parser.value(pointsOption)),
            parser.value(daysOption).toInt(), end);
    }
    if (parser.isSet(queryOption)) {
        const QStringList ids = pointList(parser.value(pointsOption));
        const QueryTimes times = queryTimes(parser.value(queryOption), ids,
            parser.value(fromOption).toLongLong(), parser.value(toOption).toLongLong(),
            parser.value(maxPointsOption).toInt(), std::max(1, parser.value(roundsOption).toInt()));
        std::printf("host query: %.2f ms median, %.2f ms first of %d (%lld points: %lld samples "
                    "kept, QJsonObject built); written as JSON text %.2f ms more (%lld bytes)\n",
            times.medianMs, times.firstMs, std::max(1, parser.value(roundsOption).toInt()),
            static_cast<long long>(ids.size()), static_cast<long long>(times.kept), times.textMs,
            static_cast<long long>(times.textBytes));
        return 0;
    }

    const int seconds
        = std::max(1, parser.positionalArguments().value(0, QStringLiteral("10")).toInt());
    QTemporaryDir dir;
    const QList<qint64> ticksBefore = cpuTicks();
    const QString loadBefore = loadAverage();

    const Lateness idle = idleRun(std::min(seconds, 5));
    const QList<Load> loads = {
        { "full speed, 1000 points, batches of 1000 as fast as the writer takes them", 1000, 1000,
            0, 1000 },
        { "2,000 points at 1 Hz, one batch a second", 2000, 2000, 1000, 1000 },
        { "50,000 samples/s, 1000 points, one batch of 1000 every 20 ms", 1000, 1000, 20, 20 },
    };
    QList<WriteRun> runs;
    for (int i = 0; i < loads.size(); ++i)
        runs.append(
            writeRun(dir.filePath(QStringLiteral("write-%1.sqlite").arg(i)), loads.at(i), seconds));

    const QString dayPath = dir.filePath(QStringLiteral("day.sqlite"));
    const DaySize size = oneDay(dayPath);
    const QueryTimes query
        = queryTimes(dayPath, { QStringLiteral("P-17") }, start, start + day - 1, 8000, 21);
    const double steal = stealPercentSince(ticksBefore, cpuTicks());

    std::printf("station history figures (load average %s at the start, %s at the end; steal %.1f "
                "%% of the machine's CPU time)\n",
        qPrintable(loadBefore), qPrintable(loadAverage()), steal);
    std::printf("write, through PointTable and Historian into the station database (aim: >= "
                "100,000 samples/s sustained):\n");
    std::printf("  idle, the probe alone for %d s: GUI thread lateness %.1f ms worst (%.1f ms "
                "waiting for a CPU), %.1f ms p99\n",
        std::min(seconds, 5), idle.worstMs, idle.worstWaitedMs, idle.p99Ms);
    for (const WriteRun &run : std::as_const(runs))
        printWriteRun(run);

    const double perOpen = double(size.open.total()) / size.samples;
    const double perClosed = double(size.closed.total()) / size.samples;
    std::printf("disk per sample (aim: <= 16 B, indexes included), 200 points at 1 Hz for a "
                "day, %lld samples written in %.1f s:\n",
        static_cast<long long>(size.samples), size.writeSeconds);
    std::printf("  open, after the last commit: %.2f B (%lld bytes: file %lld, write-ahead log "
                "%lld, shared memory %lld)\n",
        perOpen, static_cast<long long>(size.open.total()), static_cast<long long>(size.open.main),
        static_cast<long long>(size.open.wal), static_cast<long long>(size.open.shm));
    std::printf("  closed, checkpointed:        %.2f B (%lld bytes: file %lld, log %lld; %lld "
                "bytes of pages, %lld free)\n",
        perClosed, static_cast<long long>(size.closed.total()),
        static_cast<long long>(size.closed.main), static_cast<long long>(size.closed.wal),
        static_cast<long long>(size.pageBytes), static_cast<long long>(size.freeBytes));
    if (!size.parts.isEmpty()) {
        std::printf("  by table and index:");
        for (const auto &[name, bytes] : size.parts)
            std::printf(" %s %.2f B", qPrintable(name), double(bytes) / size.samples);
        std::printf("\n");
    }
    std::printf("query, 1 day of 1 point (86,400 samples) to 2,000 columns (aim: <= 20 ms): "
                "%.2f ms median, %.2f ms first of 21 (%lld samples kept, QJsonObject built; "
                "JSON text %.2f ms more)\n",
        query.medianMs, query.firstMs, static_cast<long long>(query.kept), query.textMs);
    return 0;
}
