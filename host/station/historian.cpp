#include "historian.h"

#include "pointtable.h"
#include "stationdatabase.h"
#include "stationlogging.h"

#include <QDateTime>
#include <QTimer>

Historian::Historian(PointTable *table, StationDatabase *database, QObject *parent, Clock clock)
    : QObject(parent)
    , table(table)
    , database(database)
    , clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentMSecsSinceEpoch(); }))
    , heartbeatTimer(new QTimer(this))
{
    connect(table, &PointTable::updated, this, &Historian::record);
    connect(database, &StationDatabase::historyAnswered, this,
        [this](quint64 request, const QJsonObject &answer) {
            const Pending waiting = pending.take(request);
            if (waiting.context && waiting.answer)
                waiting.answer(answer);
        });
    heartbeatTimer->setInterval(heartbeatCheck);
    connect(heartbeatTimer, &QTimer::timeout, this, &Historian::heartbeat);
    heartbeatTimer->start();
}

Historian::~Historian()
{
    stop();
}

void Historian::record(const QList<PointSample> &samples)
{
    if (stopped)
        return;
    QList<HistoryWriter::Entry> entries;
    for (const PointSample &sample : samples) {
        const HistorySample next = HistorySample::from(sample);
        auto last = lastStored.find(sample.id);
        if (last != lastStored.end()) {
            if (next.t < last->t)
                continue;
            if (next.sameReading(*last) && next.t - last->t < heartbeatInterval)
                continue;
            *last = next;
        } else {
            lastStored.insert(sample.id, next);
        }
        entries.append({ sample.id, next });
    }
    if (!entries.isEmpty())
        database->append(entries);
}

void Historian::heartbeat()
{
    if (stopped)
        return;
    const qint64 now = clock();
    QList<HistoryWriter::Entry> entries;
    for (auto last = lastStored.begin(); last != lastStored.end(); ++last) {
        if (!last->isGap() && now - last->t >= heartbeatInterval) {
            last->t = now;
            entries.append({ last.key(), *last });
        }
    }
    if (!entries.isEmpty())
        database->append(entries);
}

void Historian::stop()
{
    if (stopped)
        return;
    const qint64 now = clock();
    QList<HistoryWriter::Entry> entries;
    for (auto last = lastStored.begin(); last != lastStored.end(); ++last) {
        if (!last->isGap()) {
            *last = HistorySample::gap(std::max(now, last->t));
            entries.append({ last.key(), *last });
        }
    }
    if (!entries.isEmpty() && database)
        database->append(entries);
    stopped = true;
    heartbeatTimer->stop();
}

void Historian::history(
    const QStringList &ids, qint64 from, qint64 to, int maxPoints, QObject *context, Answer answer)
{
    const quint64 request = nextRequest++;
    pending.insert(request, { context, std::move(answer) });
    database->requestHistory(request, ids, from, to, maxPoints);
}
