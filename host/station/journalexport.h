#pragma once

#include "journalrecord.h"

#include <QString>

class QTextStream;

// The station journal as CSV for other tools:
//   time,source_time,event,alarm,point,priority,value,user,station,text
//   2026-12-10T08:00:00.500Z,,raised,LT-101.lo,LT-101,2,18.0,,ST-1,"Уровень низкий, Б-2"
// one line per record in time order (seq order at equal times), times in UTC
// with milliseconds; a source time or priority of 0 is left empty.
class JournalExport
{
public:
    static void writeHeader(QTextStream &out);
    static void writeRecord(const JournalRecord &record, QTextStream &out);

    // Writes the CSV of every record in [from, to] from the file at `path`,
    // opened read-only. Returns false with `error` set when it cannot be read.
    static bool write(
        const QString &path, qint64 from, qint64 to, QTextStream &out, QString &error);
};
