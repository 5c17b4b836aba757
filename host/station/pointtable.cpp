#include "pointtable.h"

PointTable::PointTable(QObject *parent)
    : QObject(parent)
{ }

void PointTable::setCatalogue(const QList<PointInfo> &points)
{
    QHash<QString, Entry> next;
    QStringList nextOrder;
    for (const PointInfo &info : points) {
        if (next.contains(info.id))
            continue;
        Entry entry = entries.value(info.id);
        entry.info = info;
        next.insert(info.id, entry);
        nextOrder.append(info.id);
    }
    entries = next;
    order = nextOrder;
    emit catalogueChanged();
}

QList<PointInfo> PointTable::catalogue() const
{
    QList<PointInfo> points;
    points.reserve(order.size());
    for (const QString &id : order)
        points.append(entries.value(id).info);
    return points;
}

void PointTable::update(const QList<PointSample> &samples)
{
    if (samples.isEmpty())
        return;
    for (const PointSample &sample : samples) {
        auto found = entries.find(sample.id);
        if (found == entries.end()) {
            found = entries.insert(sample.id, Entry { PointInfo { sample.id, {}, {}, {} } });
            order.append(sample.id);
        }
        found->value = sample.value;
        found->status = sample.status;
        found->t = sample.t;
    }
    emit updated(samples);
}

void PointTable::sourceLost(qint64 lastAlive)
{
    QList<PointSample> gaps;
    for (const QString &id : std::as_const(order)) {
        const Entry &entry = entries[id];
        if (entry.value.isValid() && !entry.value.isNull())
            gaps.append({ id, std::max(lastAlive, entry.t), QVariant(), PointStatus::Bad });
    }
    update(gaps);
}
