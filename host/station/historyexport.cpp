#include "historyexport.h"

#include "historyreader.h"

#include <QDateTime>
#include <QLocale>
#include <QTextStream>
#include <QTimeZone>

#include <algorithm>

namespace {

QString valueText(const HistorySample &sample)
{
    switch (sample.kind) {
    case HistorySample::Kind::Number:
        return QString::number(sample.v, 'g', QLocale::FloatingPointShortest);
    case HistorySample::Kind::Discrete:
        return sample.v != 0 ? QStringLiteral("true") : QStringLiteral("false");
    case HistorySample::Kind::Gap:
        return {};
    }
    return {};
}

} // namespace

QString HistoryExport::csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"'))
        && !text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool HistoryExport::parseTime(const QString &text, qint64 &t)
{
    QDateTime time = QDateTime::fromString(text.trimmed(), Qt::ISODateWithMs);
    if (!time.isValid())
        return false;
    if (time.timeSpec() == Qt::LocalTime)
        time = QDateTime(time.date(), time.time(), QTimeZone::utc());
    t = time.toMSecsSinceEpoch();
    return true;
}

QString HistoryExport::formatTime(qint64 t)
{
    return QDateTime::fromMSecsSinceEpoch(t, QTimeZone::utc())
        .toString(QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz'Z'"));
}

bool HistoryExport::write(const QString &path, const QStringList &ids, qint64 from, qint64 to,
    QTextStream &out, QString &error)
{
    HistoryReader reader;
    if (!reader.open(path, error, true))
        return false;
    struct Line
    {
        qsizetype point;
        HistorySample sample;
    };
    QList<Line> lines;
    for (qsizetype point = 0; point < ids.size(); ++point) {
        QList<HistorySample> samples;
        if (!reader.samples(ids.at(point), from, to, samples)) {
            error = QStringLiteral("the samples of %1 could not be read").arg(ids.at(point));
            return false;
        }
        for (const HistorySample &sample : std::as_const(samples))
            lines.append({ point, sample });
    }
    std::stable_sort(lines.begin(), lines.end(),
        [](const Line &a, const Line &b) { return a.sample.t < b.sample.t; });
    out << "time,point,value,status\n";
    for (const Line &line : std::as_const(lines)) {
        out << formatTime(line.sample.t) << ',' << csvField(ids.at(line.point)) << ','
            << valueText(line.sample) << ',' << statusName(line.sample.status) << '\n';
    }
    out.flush();
    return true;
}
