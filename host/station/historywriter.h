#pragma once

#include "historysample.h"
#include "journalrecord.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class QTimer;

// The station database's only writing connection, living on a thread of its
// own. It gathers samples and commits them in one transaction at most every
// `commitInterval` (by the injected clock), seals runs of a point into chunks,
// prunes what is past the retention, and pauses while the disk is full.
// Journal records and alarm states go into the same transactions as samples.
// Every method runs on the writer's thread: call them queued.
class HistoryWriter : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<qint64()>;
    struct Entry
    {
        QString point;
        HistorySample sample;
    };

    static constexpr qint64 commitInterval = 1000;
    static constexpr int retryInterval = 5000;
    static constexpr qint64 pruneInterval = 60 * 60 * 1000;
    // Samples kept while the disk is full; older ones are dropped beyond it.
    static constexpr qsizetype maxPending = 2'000'000;
    // Journal records kept while the disk is full; a budget of their own, so
    // that samples never push them out.
    static constexpr qsizetype maxPendingJournal = 200'000;
    // Old journal rows deleted per transaction while pruning.
    static constexpr int journalPruneBatch = 10'000;

    explicit HistoryWriter(Clock clock, QObject *parent = nullptr);
    ~HistoryWriter() override;

    // Opens or creates the file; an unusable one is renamed aside first.
    void open(const QString &path);
    void append(const QList<HistoryWriter::Entry> &entries);
    void appendJournal(const QList<JournalRecord> &records);
    // Inserts or replaces the saved state of each alarm named.
    void saveAlarmStates(const QList<AlarmStateRow> &states);
    void removeAlarmStates(const QStringList &alarms);
    // Commits what is gathered now, whatever the pace.
    void flush();
    void setRetentionDays(int days);
    // Journal rows older than `days` days are pruned (0: kept), except those
    // of an alarm still active or unacknowledged.
    void setJournalDays(int days);
    void setSizeLimit(qint64 bytes);
    // Commits and closes the connection.
    void close();

    // Committed transactions (samples, journal, alarm states) so far; readable
    // from any thread.
    quint64 transactions() const { return transactionCount.load(); }

signals:
    void opened(const QString &path);
    void setAside(const QString &path, const QString &aside, const QString &reason);
    void openFailed(const QString &path, const QString &reason);
    void diskFullChanged(bool full);
    void writeFailed(const QString &reason);

private:
    struct Statements;

    bool openFile(const QString &path, QString &error);
    bool loadState(QString &error);
    void closeConnection();
    void commitIfDue();
    bool commit();
    bool seal(int point);
    int pointId(const QString &name);
    void failed(const QString &error, int code);
    void startPrune();
    void pruneStep();
    void startJournalPrune();
    void journalPruneStep();
    bool hasPending() const;

    Clock clock;
    QString connectionName;
    QString filePath;
    std::unique_ptr<Statements> statements;
    QList<Entry> pending;
    QList<JournalRecord> pendingJournal;
    // The latest change of each alarm's state: a row to save, or none to remove.
    QHash<QString, std::optional<AlarmStateRow>> pendingStates;
    QHash<QString, int> pointIds;
    QHash<int, QList<HistorySample>> runs;
    QHash<int, qint64> sealedUntil;
    qint64 lastCommit = 0;
    bool committedOnce = false;
    bool diskFull = false;
    QString lastFailure;
    int retentionDays = 0;
    qint64 sizeLimit = 0;
    QList<int> pruneQueue;
    qint64 pruneCutoff = 0;
    int journalDays = 365;
    qint64 journalCutoff = 0;
    bool journalPruning = false;
    QTimer *paceTimer = nullptr;
    QTimer *retryTimer = nullptr;
    QTimer *pruneTimer = nullptr;
    std::atomic<quint64> transactionCount { 0 };
};
