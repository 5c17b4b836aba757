#include "journalexport.h"

#include "historyexport.h"
#include "historyreader.h"

#include <QTextStream>

void JournalExport::writeHeader(QTextStream &out)
{
    out << "time,source_time,event,alarm,point,priority,value,user,station,text\n";
}

void JournalExport::writeRecord(const JournalRecord &record, QTextStream &out)
{
    const auto field = &HistoryExport::csvField;
    out << HistoryExport::formatTime(record.time) << ','
        << (record.sourceTime != 0 ? HistoryExport::formatTime(record.sourceTime) : QString())
        << ',' << field(record.event) << ',' << field(record.alarm) << ',' << field(record.point)
        << ',' << (record.priority != 0 ? QString::number(record.priority) : QString()) << ','
        << field(record.value) << ',' << field(record.user) << ',' << field(record.station) << ','
        << field(record.text) << '\n';
}

bool JournalExport::write(
    const QString &path, qint64 from, qint64 to, QTextStream &out, QString &error)
{
    HistoryReader reader;
    if (!reader.open(path, error, true))
        return false;
    JournalFilter filter;
    filter.from = from;
    filter.to = to;
    // Streamed as read: a year of the journal need not fit in memory twice.
    writeHeader(out);
    const bool read = reader.scanJournal(filter, false, [&out](const JournalRecord &record) {
        writeRecord(record, out);
        return true;
    });
    out.flush();
    if (!read) {
        error = QStringLiteral("the journal could not be read");
        return false;
    }
    return true;
}
