// Figures of the station's history, side by side:
//   - sustained samples per second through the point table into the file, and
//     the GUI thread's worst lateness meanwhile;
//   - bytes on disk per sample after a day of 200 points at 1 Hz;
//   - the time of a day of one point (86,400 samples) reduced to 2,000 columns.
// Usage: bench_history [seconds of the throughput run, default 10]

#include "historian.h"
#include "historyreader.h"
#include "pointtable.h"
#include "stationdatabase.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr qint64 day = 24 * 60 * 60 * 1000;
constexpr qint64 start = 1'796'889'600'000;

qint64 fileBytes(const QString &path)
{
    qint64 bytes = 0;
    for (const char *suffix : { "", "-wal", "-shm" })
        bytes += QFileInfo(path + QLatin1String(suffix)).size();
    return bytes;
}

struct Throughput
{
    double samplesPerSecond = 0;
    qint64 samples = 0;
    double worstLatenessMs = 0;
};

// Values offered as fast as the writer takes them (a bounded backlog), through
// PointTable::update and the historian, every sample a change.
Throughput throughput(const QString &path, int seconds)
{
    constexpr int points = 1000;
    constexpr int batch = 1000;
    constexpr qint64 maxBacklog = 400'000;
    StationDatabase database;
    database.open(path);
    while (database.recording() != StationDatabase::Recording::On)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    PointTable table;
    Historian historian(&table, &database);
    QStringList ids;
    for (int i = 0; i < points; ++i)
        ids << QStringLiteral("P-%1").arg(i);

    Throughput result;
    QElapsedTimer clock;
    clock.start();
    // A 10 ms timer on this thread measures how late it fires.
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    qint64 lastProbe = 0;
    QObject::connect(&probe, &QTimer::timeout, &probe, [&] {
        const qint64 at = clock.nsecsElapsed();
        if (lastProbe)
            result.worstLatenessMs = std::max(result.worstLatenessMs, (at - lastProbe) / 1e6 - 10);
        lastProbe = at;
    });
    probe.start(10);

    qint64 offered = 0;
    qint64 t = start;
    double value = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, &feed, [&] {
        // Samples not committed yet, estimated from the transactions: a
        // commit takes everything gathered.
        static quint64 seenCommits = 0;
        static qint64 committedUpTo = 0;
        if (database.transactionCount() != seenCommits) {
            seenCommits = database.transactionCount();
            committedUpTo = offered;
        }
        if (offered - committedUpTo > maxBacklog)
            return;
        QList<PointSample> samples;
        samples.reserve(batch);
        for (int i = 0; i < batch; ++i) {
            const int point = int(offered % points);
            if (point == 0) {
                t += 1000;
                value += 0.01;
            }
            samples.append({ ids.at(point), t, value + point, PointStatus::Good });
            ++offered;
        }
        table.update(samples);
    });
    feed.start(0);
    QElapsedTimer run;
    run.start();
    while (run.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    feed.stop();
    probe.stop();
    database.flush();
    const double elapsed = run.nsecsElapsed() / 1e9;
    result.samples = offered;
    result.samplesPerSecond = offered / elapsed;
    database.close();
    return result;
}

// A random walk read to two decimals, as a transmitter's value usually is.
qint64 oneDay(const QString &path)
{
    constexpr int points = 200;
    StationDatabase database;
    database.open(path);
    while (database.recording() != StationDatabase::Recording::On)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QRandomGenerator random(7);
    QList<qint64> level(points);
    for (int p = 0; p < points; ++p)
        level[p] = 5000 + random.bounded(5000);
    QStringList ids;
    for (int p = 0; p < points; ++p)
        ids << QStringLiteral("P-%1").arg(p);
    qint64 samples = 0;
    for (qint64 second = 0; second < 86'400; second += 60) {
        QList<HistoryWriter::Entry> entries;
        entries.reserve(60 * points);
        for (qint64 s = second; s < second + 60; ++s) {
            for (int p = 0; p < points; ++p) {
                level[p] += random.bounded(7) - 3;
                entries.append({ ids.at(p),
                    { start + s * 1000, level[p] / 100.0, HistorySample::Kind::Number,
                        PointStatus::Good } });
            }
        }
        samples += entries.size();
        database.append(entries);
        // A bulk load: commit every ten minutes of data rather than once a second.
        if (second % 600 == 0)
            database.flush();
    }
    database.flush();
    database.close();
    return samples;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = std::max(1, app.arguments().value(1, QStringLiteral("10")).toInt());
    QTemporaryDir dir;

    const Throughput fast = throughput(dir.filePath(QStringLiteral("throughput.sqlite")), seconds);

    const QString dayPath = dir.filePath(QStringLiteral("day.sqlite"));
    QElapsedTimer dayTimer;
    dayTimer.start();
    const qint64 daySamples = oneDay(dayPath);
    const double dayWrite = dayTimer.elapsed() / 1000.0;
    const qint64 bytes = fileBytes(dayPath);

    HistoryReader reader;
    QString error;
    reader.open(dayPath, error, true);
    QList<double> times;
    qsizetype kept = 0;
    for (int i = 0; i < 21; ++i) {
        QElapsedTimer query;
        query.start();
        const QJsonObject answer
            = reader.history({ QStringLiteral("P-17") }, start, start + day - 1, 8000);
        times.append(query.nsecsElapsed() / 1e6);
        kept = answer[QStringLiteral("points")][QStringLiteral("P-17")].toArray().size();
    }
    const double first = times.first();
    std::sort(times.begin(), times.end());

    std::printf("station history figures\n");
    std::printf("  write, sustained:     %.0f samples/s (%lld samples over %d s, 1000 points, "
                "through PointTable and Historian)\n",
        fast.samplesPerSecond, static_cast<long long>(fast.samples), seconds);
    std::printf("  GUI thread lateness:  %.1f ms worst (10 ms timer, during the write run)\n",
        fast.worstLatenessMs);
    std::printf("  disk per sample:      %.2f B (%lld bytes for %lld samples: 200 points, 1 Hz, "
                "one day, indexes included; written in %.1f s)\n",
        double(bytes) / daySamples, static_cast<long long>(bytes),
        static_cast<long long>(daySamples), dayWrite);
    std::printf("  query, 1 day 1 point: %.2f ms median, %.2f ms first (86,400 samples to 2,000 "
                "columns: %lld samples kept, JSON included)\n",
        times.at(times.size() / 2), first, static_cast<long long>(kept));
    return 0;
}
