#pragma once

#include "pointinfo.h"
#include "pointsample.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>

// The latest value, status, time stamp and catalogue entry of every point:
// the one place where sources write live values and from which the
// historian (and whatever else) reads them.
class PointTable : public QObject
{
    Q_OBJECT

public:
    struct Entry
    {
        PointInfo info;
        QVariant value; // null: no value (yet, or no source)
        PointStatus status = PointStatus::Bad;
        qint64 t = 0;
    };

    explicit PointTable(QObject *parent = nullptr);

    // Replaces the catalogue; values of points that stay are kept.
    void setCatalogue(const QList<PointInfo> &points);
    QList<PointInfo> catalogue() const;

    // New values; a point missing from the catalogue is taken as well.
    void update(const QList<PointSample> &samples);
    // The source stopped: every point with a value gets a gap at `lastAlive`,
    // the last time the source was known to deliver.
    void sourceLost(qint64 lastAlive);

    bool contains(const QString &id) const { return entries.contains(id); }
    Entry entry(const QString &id) const { return entries.value(id); }
    QStringList ids() const { return order; }

signals:
    void catalogueChanged();
    // Every update, as given (gaps included).
    void updated(const QList<PointSample> &samples);

private:
    QHash<QString, Entry> entries;
    QStringList order;
};
