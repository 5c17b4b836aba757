#include "updatefeed.h"

#include "pointtable.h"

#include <QLocale>

namespace {

void appendJsonString(QString &out, const QString &text)
{
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        default:
            if (c.unicode() < 0x20 || c.unicode() == 0x2028 || c.unicode() == 0x2029)
                out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
            else
                out += c;
        }
    }
    out += QLatin1Char('"');
}

} // namespace

UpdateFeed::UpdateFeed(PointTable *table, QObject *parent)
    : QObject(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &UpdateFeed::flush);
    connect(table, &PointTable::updated, this, &UpdateFeed::take);
}

void UpdateFeed::follow(const QStringList &ids)
{
    followed = QSet<QString>(ids.begin(), ids.end());
    pending.clear();
    pendingIndex.clear();
    awaitingAnswer = false;
    timer.stop();
}

void UpdateFeed::applied()
{
    awaitingAnswer = false;
    schedule();
}

void UpdateFeed::take(const QList<PointSample> &samples)
{
    if (followed.isEmpty())
        return;
    for (const PointSample &sample : samples) {
        // A gap has no value to show; the page hears of the source's end otherwise.
        if (!followed.contains(sample.id) || !sample.value.isValid() || sample.value.isNull())
            continue;
        const auto found = pendingIndex.constFind(sample.id);
        if (found != pendingIndex.constEnd()) {
            pending[*found] = sample;
        } else {
            pendingIndex.insert(sample.id, pending.size());
            pending.append(sample);
        }
    }
    schedule();
}

void UpdateFeed::schedule()
{
    if (awaitingAnswer || pending.isEmpty() || timer.isActive())
        return;
    const qint64 since = sinceLast.isValid() ? sinceLast.elapsed() : frameMs;
    timer.start(int(std::max<qint64>(0, frameMs - since)));
}

void UpdateFeed::flush()
{
    if (awaitingAnswer || pending.isEmpty())
        return;
    const QString json = encode(pending);
    pending.clear();
    pendingIndex.clear();
    awaitingAnswer = true;
    sinceLast.start();
    emit batch(json);
}

QString UpdateFeed::encode(const QList<PointSample> &samples)
{
    QString out;
    out.reserve(samples.size() * 48 + 2);
    out += QLatin1Char('[');
    bool first = true;
    for (const PointSample &sample : samples) {
        if (!first)
            out += QLatin1Char(',');
        first = false;
        out += QLatin1Char('[');
        appendJsonString(out, sample.id);
        out += QLatin1Char(',');
        if (sample.value.typeId() == QMetaType::Bool)
            out += sample.value.toBool() ? QLatin1String("true") : QLatin1String("false");
        else
            out += QString::number(sample.value.toDouble(), 'g', QLocale::FloatingPointShortest);
        out += QLatin1String(",\"");
        out += statusName(sample.status);
        out += QLatin1String("\",");
        out += QString::number(sample.t);
        out += QLatin1Char(']');
    }
    out += QLatin1Char(']');
    return out;
}
