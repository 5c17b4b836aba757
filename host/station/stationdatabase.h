#pragma once

#include "historywriter.h"
#include "journalrecord.h"

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class HistoryReader;
class QThread;

// The station's one SQLite file. Writes go through a writer thread with its
// own connection, queries through a reader thread with another: the GUI
// thread never waits on the disk (except in `flush`, `sync` and `close`).
class StationDatabase : public QObject
{
    Q_OBJECT

public:
    enum class Recording {
        Off, // not opened yet, or closed
        On,
        PausedDiskFull, // resumes by itself once space returns
        Unavailable, // the file could be neither used nor set aside
    };
    Q_ENUM(Recording)

    using Clock = HistoryWriter::Clock;

    // `clock` (milliseconds since the epoch) paces the commits and dates the
    // last flush; the system clock when empty.
    explicit StationDatabase(QObject *parent = nullptr, Clock clock = {});
    ~StationDatabase() override;

    // "history.sqlite" in the per-user data folder, beside "schemes".
    static QString defaultPath();

    // Opens (or creates) the file in the background; `recordingChanged` tells
    // when recording is on. A file that cannot be used is renamed aside.
    void open(const QString &path);
    QString path() const { return filePath; }
    // Commits what is gathered, then closes both connections. Blocks.
    void close();

    // Samples older than `days` days are pruned in the background (0: kept).
    void setRetentionDays(int days);
    // A size beyond which recording pauses as on a full disk (0: none).
    void setSizeLimit(qint64 bytes);

    void append(const QList<HistoryWriter::Entry> &entries);
    // Journal records and alarm states go into the same paced transactions as
    // samples; `seq` of an appended record is given by the file.
    void appendJournal(const QList<JournalRecord> &records);
    void saveAlarmStates(const QList<AlarmStateRow> &states);
    void removeAlarmStates(const QStringList &alarms);
    // Journal rows older than `days` days are pruned in the background (0:
    // kept), except those of an alarm still active or unacknowledged.
    void setJournalDays(int days);
    // Commits what is gathered now, and waits for it.
    void flush();
    // Waits until the writer has taken everything queued so far.
    void sync();
    // Committed transactions (samples, journal, alarm states) since the start.
    quint64 transactionCount() const;

    Recording recording() const { return state; }

    // Answers with `historyAnswered(request, …)` on this object's thread.
    void requestHistory(
        quint64 request, const QStringList &ids, qint64 from, qint64 to, int maxPoints);
    // Answers with `journalAnswered(request, {"records": […], "truncated": bool})`.
    void requestJournal(quint64 request, const JournalFilter &filter, int limit);
    // Answers with `journalCsvAnswered(request, csv)`: every matching record.
    void requestJournalCsv(quint64 request, const JournalFilter &filter);

signals:
    // A line for the log window, in the user's language.
    void problem(const QString &message);
    void recordingChanged(StationDatabase::Recording state);
    void historyAnswered(quint64 request, const QJsonObject &answer);
    void journalAnswered(quint64 request, const QJsonObject &answer);
    void journalCsvAnswered(quint64 request, const QString &csv);
    // Once per `open`: the alarm states saved in the file (none for a new or
    // unusable one).
    void alarmStatesLoaded(const QList<AlarmStateRow> &states);

private:
    void setState(Recording recording);

    QString filePath;
    QThread *writerThread = nullptr;
    QThread *readerThread = nullptr;
    HistoryWriter *writer = nullptr;
    HistoryReader *reader = nullptr;
    Recording state = Recording::Off;
};
