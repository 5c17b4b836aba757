// Figures of the alarm engine: 10,000 hi alarms over 10,000 points fed with
// values that wander across their limits, in batches as the point table hands
// them on, with the ticks and the change lists the station takes after each
// batch; then one batch that raises every alarm at once (a flood). The
// samples are made before the clock starts, so the figures are the engine's.
//
// Usage: bench_alarms [samples, default 1000000]

#include "alarmengine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>
#include <ctime>

namespace {

constexpr int alarmCount = 10000;
constexpr int batch = 1000;
constexpr qint64 batchMs = 10; // 100,000 samples a second
constexpr double limit = 50;

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

QString pointName(int i)
{
    return QStringLiteral("p%1").arg(i);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int samples
        = argc > 1 ? std::max(batch, QString::fromLocal8Bit(argv[1]).toInt()) : 1000000;

    qint64 now = 1'796'889'600'000;
    AlarmEngine engine([&now] { return now; });
    QList<AlarmDefinition> definitions;
    for (int i = 0; i < alarmCount; ++i) {
        AlarmDefinition definition;
        definition.id = QStringLiteral("a%1").arg(i);
        definition.pointId = pointName(i);
        definition.kind = AlarmDefinition::Kind::Hi;
        definition.limit = limit;
        definition.deadband = 0.5;
        definition.priority = 1 + i % 4;
        definition.message = QStringLiteral("Высокое значение %1").arg(i);
        definitions << definition;
    }
    QList<AlarmEvent> events;
    engine.setDefinitions(definitions, events);

    // Every point walks around the limit; a batch takes the points in turn.
    QRandomGenerator random(7);
    std::vector<double> values(alarmCount);
    for (double &value : values)
        value = limit - 5 + random.bounded(10.0);
    std::vector<QList<PointSample>> batches;
    batches.reserve(samples / batch);
    int next = 0;
    for (int done = 0; done + batch <= samples; done += batch) {
        QList<PointSample> list;
        list.reserve(batch);
        for (int k = 0; k < batch; ++k, next = (next + 1) % alarmCount) {
            values[next] += random.bounded(2.0) - 1;
            list.append({ pointName(next), 0, values[next], PointStatus::Good });
        }
        batches.push_back(std::move(list));
    }

    qint64 produced = 0;
    qint64 changed = 0;
    const double started = threadMs();
    for (QList<PointSample> &list : batches) {
        now += batchMs;
        for (PointSample &sample : list)
            sample.t = now;
        events.clear();
        engine.evaluate(list, events);
        const qint64 deadline = engine.nextDeadline();
        if (deadline != 0 && deadline <= now)
            engine.tick(events);
        produced += events.size();
        const AlarmEngine::Changes changes = engine.takeChanges();
        changed += changes.state.size() + changes.value.size();
    }
    const double elapsed = threadMs() - started;
    const qint64 fed = qint64(batches.size()) * batch;
    std::printf("alarm engine: %d alarms on %d points, %lld samples in batches of %d\n", alarmCount,
        alarmCount, static_cast<long long>(fed), batch);
    std::printf("  %.3f us per sample, %.0f samples/s on one core (CPU %.0f ms)\n",
        elapsed * 1000 / double(fed), double(fed) / (elapsed / 1000), elapsed);
    std::printf("  %lld journal records, %lld changes taken, rate %d, flood %s\n",
        static_cast<long long>(produced), static_cast<long long>(changed), engine.rate(),
        engine.flood() ? "on" : "off");

    // The flood: every alarm back in normal, then one batch raises them all.
    QList<PointSample> low;
    QList<PointSample> high;
    for (int i = 0; i < alarmCount; ++i) {
        low.append({ pointName(i), 0, 0.0, PointStatus::Good });
        high.append({ pointName(i), 0, 100.0, PointStatus::Good });
    }
    now += 20 * 60 * 1000;
    events.clear();
    engine.tick(events);
    engine.evaluate(low, events);
    for (const QString &id : engine.takeChanges().state) {
        QString problem;
        engine.acknowledge(id, 0, QStringLiteral("bench"), {}, {}, events, problem);
    }
    engine.takeChanges();
    now += 1000;
    events.clear();
    const double floodStarted = threadMs();
    engine.evaluate(high, events);
    const AlarmEngine::Changes changes = engine.takeChanges();
    const double floodMs = threadMs() - floodStarted;
    std::printf("  flood: %lld alarms raised by one batch in %.1f ms (%lld records, %lld changes, "
                "flood %s, horn %s)\n",
        static_cast<long long>(alarmCount), floodMs, static_cast<long long>(events.size()),
        static_cast<long long>(changes.state.size()), engine.flood() ? "on" : "off",
        engine.hornSounding() ? "on" : "off");
    return 0;
}
