#pragma once

#include <QString>
#include <QStringList>

#include <limits>

class QTextStream;

// The stored raw samples of some points as CSV for other tools:
//   time,point,value,status
//   2026-12-10T08:00:00.500Z,LT-101,42.5,good
// one line per sample in time order (points in the order asked for at equal
// times), the time in UTC with milliseconds, discrete values as true/false,
// and a gap (no source from that time on) with an empty value and status bad.
class HistoryExport
{
public:
    static constexpr qint64 beginning = std::numeric_limits<qint64>::min();
    static constexpr qint64 end = std::numeric_limits<qint64>::max();

    // Milliseconds since the epoch of an ISO 8601 time; one without an offset
    // is taken as UTC. False for anything else.
    static bool parseTime(const QString &text, qint64 &t);
    static QString formatTime(qint64 t);
    // `text` as one CSV field: quoted (quotes doubled) when it holds a comma,
    // a quote, CR or LF.
    static QString csvField(const QString &text);

    // Writes the CSV of `ids` in [from, to] from the file at `path`, opened
    // read-only. Returns false with `error` set when the file cannot be read.
    static bool write(const QString &path, const QStringList &ids, qint64 from, qint64 to,
        QTextStream &out, QString &error);
};
