#pragma once

#include "historysample.h"
#include "journalrecord.h"

#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// A reading connection to the station database. WAL lets it read while the
// writer commits, so queries wait neither for the writer nor on the GUI thread.
// Used on one thread only: the database's reader thread, or the thread of a
// command-line export.
class HistoryReader : public QObject
{
    Q_OBJECT

public:
    explicit HistoryReader(QObject *parent = nullptr);
    ~HistoryReader() override;

    // Opens `path` for reading; false with `error` set when it is not a
    // station database. `readOnly` never creates or changes the file.
    bool open(const QString &path, QString &error, bool readOnly = false);
    void close();
    bool isOpen() const;

    // A point's stored samples in [from, to], in time order; `before`, when
    // given, receives the last sample before `from`. False on a read error.
    bool samples(const QString &point, qint64 from, qint64 to, QList<HistorySample> &out,
        std::optional<HistorySample> *before = nullptr);

    // The answer to getHistory: {"points": {id: [sample, …]}, "downsampled": {id: bool}},
    // each list led by the last sample before `from`, and reduced by M4 to
    // floor(maxPoints / 4) columns when [from, to] holds more than `maxPoints`
    // samples (`maxPoints` below 1: never reduced).
    QJsonObject history(const QStringList &ids, qint64 from, qint64 to, int maxPoints);

    // Asynchronous form for the reader thread: answers with `answered`.
    void request(quint64 id, const QStringList &ids, qint64 from, qint64 to, int maxPoints);

    // The most records a journal query answers with.
    static constexpr int maxJournalRecords = 100'000;

    // Calls `take` with each record matching `filter`, in time order (seq order
    // at equal times), or newest first when `newestFirst`, until it returns
    // false. A file older than the journal has no records. False on a read error.
    bool scanJournal(const JournalFilter &filter, bool newestFirst,
        const std::function<bool(const JournalRecord &)> &take);
    // {"records": [record, …] oldest first, "truncated": bool}: the newest
    // `limit` matching records (at most `maxJournalRecords`, also for 0 and below),
    // truncated when more matched.
    QJsonObject journal(const JournalFilter &filter, int limit);
    // Every saved alarm state (none in a file older than them). False on a read error.
    bool alarmStates(QList<AlarmStateRow> &out);

    // Asynchronous forms for the reader thread.
    void requestJournal(quint64 id, const JournalFilter &filter, int limit);
    void requestJournalCsv(quint64 id, const JournalFilter &filter);

signals:
    void answered(quint64 id, const QJsonObject &answer);
    void journalAnswered(quint64 id, const QJsonObject &answer);
    void journalCsvAnswered(quint64 id, const QString &csv);
    // What was read of `alarmStates` right after the station opened the file.
    void alarmStatesRead(const QList<AlarmStateRow> &states);

private:
    QString connectionName;
    int schemaVersion = 0;
};
