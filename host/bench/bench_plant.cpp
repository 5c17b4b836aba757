// Figures of the plant client's work on its thread, per message, side by side
// for the two topic layouts: what a message costs from its bytes to the point
// table, the historian and the page's feed, as thread CPU time, and so how much
// of one core 10,000 and 50,000 messages a second take. The broker, Paho's own
// threads and the page are not in these figures (the broker benchmark
// e2e/bench/mqtt.bench.mjs --host measures the whole path).
//
// Usage: bench_plant [messages per run, default 1000000]

#include "historian.h"
#include "plainlayout.h"
#include "pointtable.h"
#include "sparkplug_b.pb.h"
#include "sparkpluglayout.h"
#include "sparkplugtypes.h"
#include "stationdatabase.h"
#include "updatefeed.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <functional>

namespace {

constexpr int points = 2000;
constexpr int batch = 500; // messages taken per drain, as under load

// CPU time of this thread in ms; the wall clock where there is no such clock.
double threadMs()
{
#if defined(CLOCK_THREAD_CPUTIME_ID)
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
#else
    static QElapsedTimer wall;
    if (!wall.isValid())
        wall.start();
    return wall.nsecsElapsed() / 1e6;
#endif
}

struct Message
{
    QByteArray topic;
    QByteArray payload;
};

struct Figures
{
    double usPerMessage = 0;
    qint64 recorded = 0;
};

// Feeds `messages` through `layout` into a point table recorded by a
// historian and followed by a feed, `batch` at a time, as the client does.
Figures run(PlantLayout &layout, const std::vector<Message> &messages, int count)
{
    QTemporaryDir dir;
    StationDatabase database;
    database.open(dir.filePath(QStringLiteral("bench.sqlite")));
    PointTable table;
    Historian historian(&table, &database);
    UpdateFeed feed(&table);
    QStringList followed;
    for (int i = 1; i <= points; ++i)
        followed << QStringLiteral("p%1").arg(i);
    feed.follow(followed);
    qint64 recorded = 0;
    QObject::connect(&table, &PointTable::updated, &table,
        [&recorded](const QList<PointSample> &samples) { recorded += samples.size(); });

    qint64 now = 1'796'889'600'000;
    const double started = threadMs();
    for (int done = 0; done < count; done += batch) {
        PlantOutput out;
        for (int i = done; i < done + batch && i < count; ++i) {
            const Message &message = messages[std::size_t(i) % messages.size()];
            layout.receive(message.topic, message.payload, now, out);
        }
        if (out.catalogue)
            table.setCatalogue(*out.catalogue);
        table.update(out.samples);
        now += 10;
        // The feed's batches go when the page answers: here at once.
        QCoreApplication::processEvents();
        feed.applied();
    }
    const double spent = threadMs() - started;
    historian.stop();
    database.close();
    return { spent * 1000.0 / count, recorded };
}

std::vector<Message> plainMessages()
{
    std::vector<Message> messages;
    qint64 t = 1'796'889'600'000;
    for (int i = 0; i < 20 * points; ++i) {
        const int point = i % points + 1;
        const double value = QRandomGenerator::global()->bounded(10000) / 100.0;
        messages.push_back({ "bench/points/p" + QByteArray::number(point),
            QByteArrayLiteral("{\"value\":") + QByteArray::number(value)
                + ",\"timestamp\":" + QByteArray::number(t + i) + '}' });
    }
    return messages;
}

// One NBIRTH of 2000 Double metrics, then NDATA of 100 metrics each by alias.
std::vector<Message> sparkplugMessages(qint64 &metricsPerMessage)
{
    using org::eclipse::tahu::protobuf::Payload;
    std::vector<Message> messages;
    Payload birth;
    birth.set_seq(0);
    auto *bd = birth.add_metrics();
    bd->set_name("bdSeq");
    bd->set_datatype(Sparkplug::Int64);
    bd->set_long_value(0);
    for (int i = 1; i <= points; ++i) {
        auto *metric = birth.add_metrics();
        metric->set_name(QStringLiteral("p%1").arg(i).toStdString());
        metric->set_alias(quint64(i));
        metric->set_datatype(Sparkplug::Double);
        metric->set_double_value(0);
    }
    messages.push_back(
        { "spBv1.0/G/NBIRTH/n", QByteArray::fromStdString(birth.SerializeAsString()) });
    metricsPerMessage = 100;
    for (int m = 0; m < 256 * 10; ++m) {
        Payload data;
        data.set_seq(quint64((m + 1) % 256));
        data.set_timestamp(quint64(1'796'889'600'000 + m));
        for (int k = 0; k < metricsPerMessage; ++k) {
            auto *metric = data.add_metrics();
            metric->set_alias(quint64((m * metricsPerMessage + k) % points + 1));
            metric->set_datatype(Sparkplug::Double);
            metric->set_double_value(QRandomGenerator::global()->bounded(10000) / 100.0);
        }
        messages.push_back(
            { "spBv1.0/G/NDATA/n", QByteArray::fromStdString(data.SerializeAsString()) });
    }
    return messages;
}

void print(const char *name, const Figures &figures, double valuesPerMessage)
{
    const double usPerValue = figures.usPerMessage / valuesPerMessage;
    std::printf("| %s | %.2f µs | %.2f µs | %.0f | %.0f %% | %.0f %% | %lld |\n", name,
        figures.usPerMessage, usPerValue, 1e6 / usPerValue, 10000 * usPerValue / 1e4,
        50000 * usPerValue / 1e4, static_cast<long long>(figures.recorded));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(batch, std::atoi(argv[1])) : 1000000;

    std::printf("Plant client's thread, %d points, %d messages a run, %d per drain\n\n", points,
        count, batch);
    std::printf("| Layout | per message | per value | values/s one core takes | core at "
                "10,000 values/s | at 50,000 values/s | values recorded |\n");
    std::printf("|---|---|---|---|---|---|---|\n");

    PlainLayout plain(QStringLiteral("bench/points"));
    print("plain topics, one JSON value a message", run(plain, plainMessages(), count), 1);

    qint64 perMessage = 0;
    std::vector<Message> spb = sparkplugMessages(perMessage);
    SparkplugLayout sparkplug(QStringLiteral("G"), QStringLiteral("bench"));
    // Births once; data messages in seq order, so that none is held.
    const int sparkplugCount = std::max(1, count / int(perMessage));
    print("Sparkplug B NDATA, 100 metrics a message",
        run(sparkplug, spb, std::min<int>(sparkplugCount, int(spb.size()))), double(perMessage));
    return 0;
}
