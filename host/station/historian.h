#pragma once

#include "historysample.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class PointTable;
class StationDatabase;
class QTimer;
struct PointSample;

// Records the point table's values and answers history queries. A sample is
// stored when a point's value or status changes, and at least every
// `heartbeatInterval` while it stays, so that a flat line is known to be
// flat; when the source stops a gap is stored, so that a stretch without a
// source is never drawn as a held value.
class Historian : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<qint64()>;
    using Answer = std::function<void(const QJsonObject &answer)>;

    static constexpr qint64 heartbeatInterval = 10 * 60 * 1000;
    static constexpr int heartbeatCheck = 10 * 1000;

    Historian(
        PointTable *table, StationDatabase *database, QObject *parent = nullptr, Clock clock = {});
    ~Historian() override;

    // getHistory: `answer` is called later on the GUI thread with
    // {"points": {id: [{"t", "v", "s"}, …]}, "downsampled": {id: bool}}, unless
    // `context` is gone by then. The query runs on the database's reader thread.
    void history(const QStringList &ids, qint64 from, qint64 to, int maxPoints, QObject *context,
        Answer answer);

    // Stores the held value of every point whose last stored sample is
    // `heartbeatInterval` old; a timer calls it every `heartbeatCheck`.
    void heartbeat();
    // The program ends: every point with a source gets a gap now.
    void stop();

private:
    struct Pending
    {
        QPointer<QObject> context;
        Answer answer;
    };

    void record(const QList<PointSample> &samples);

    PointTable *table;
    QPointer<StationDatabase> database;
    Clock clock;
    QTimer *heartbeatTimer;
    QHash<QString, HistorySample> lastStored;
    QHash<quint64, Pending> pending;
    quint64 nextRequest = 1;
    bool stopped = false;
};
