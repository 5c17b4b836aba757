#pragma once

#include "pointsample.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QSet>
#include <QStringList>
#include <QTimer>

class PointTable;

// The live values a page follows, coalesced: the newest value of each point
// it follows, handed over at most once per frame and the next batch only
// after the page said it applied the last. A page that cannot keep up gets
// fewer, fuller batches, never a growing queue, whatever the plant's rate.
class UpdateFeed : public QObject
{
    Q_OBJECT

public:
    static constexpr int frameMs = 16;

    explicit UpdateFeed(PointTable *table, QObject *parent = nullptr);

    // The points the page follows from now on. A new page starts afresh: it
    // reads the current values itself and owes no answer for older batches.
    void follow(const QStringList &ids);
    // The page applied the last batch.
    void applied();

    // A batch as JSON text: [[id, value, status, time], …], the value a
    // number or a flag, the status "good", "bad" or "uncertain".
    static QString encode(const QList<PointSample> &samples);

signals:
    void batch(const QString &json);

private:
    void take(const QList<PointSample> &samples);
    void schedule();
    void flush();

    QSet<QString> followed;
    QHash<QString, qsizetype> pendingIndex;
    QList<PointSample> pending;
    bool awaitingAnswer = false;
    QElapsedTimer sinceLast;
    QTimer timer;
};
