#pragma once

#include "alarmengine.h"
#include "journalrecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <deque>
#include <functional>

class PointTable;
class StationDatabase;
class QFileSystemWatcher;

// The station's alarms: the engine fed from the point table, its definitions
// from a watched file (or the broker's shared set, or the built-in set), its
// states kept in the station database across restarts, every transition and
// action appended to the journal, and the page told of changes in coalesced
// batches. With a broker, actions and states are shared with every station
// on it through `publish` and `receiveShared`.
class StationAlarms : public QObject
{
    Q_OBJECT

public:
    using Clock = std::function<qint64()>;
    // Sends one of the station's own messages to the broker; false while offline.
    using Publisher = std::function<bool(
        const QByteArray &topic, const QByteArray &payload, int qos, bool retained)>;

    static constexpr int batchMs = 100;
    // A value-only change of an alarm is sent at most this often.
    static constexpr qint64 valueRefreshMs = 1000;
    static constexpr int watchMs = 1000;

    StationAlarms(PointTable *table, StationDatabase *database, const QString &stationName,
        QObject *parent = nullptr, Clock clock = {});
    ~StationAlarms() override;

    // "alarms.json" in the per-user data folder.
    static QString defaultDefinitionsPath();

    // The file of definitions, watched from start() on. `given`: the user named
    // it, so that a missing file is worth a line in the log.
    void setDefinitionsFile(const QString &path, bool given);
    // The horn: turned off by the user, or without an audio device.
    void setHorn(bool enabled, bool audio);
    // With a broker: the topics of the shared alarms under `prefix`.
    void shareThrough(const QByteArray &prefix, Publisher publisher);
    QList<QByteArray> sharedTopics() const;
    // A message on one of `sharedTopics()`.
    void receiveShared(const QByteArray &topic, const QByteArray &payload);
    // The broker connection came back: what this station holds goes out again.
    void sharedOnline();

    // Waits for the database's remembered states, then evaluates.
    void start();
    void stop();

    // {"alarms": [...], "status": {...}} as JSON text.
    QString list() const;
    bool hornSounding() const { return engine.hornSounding(); }
    const AlarmEngine &alarms() const { return engine; }

    // Operator actions: {"ok": true} or {"error": reason in Russian}.
    QJsonObject acknowledge(const QStringList &ids, const QString &comment, const QString &user);
    QJsonObject shelve(const QString &id, int minutes, const QString &reason, const QString &user);
    QJsonObject unshelve(const QString &id, const QString &user);
    QJsonObject reset(const QString &id, const QString &user);
    QJsonObject comment(const QString &id, const QString &text, const QString &user);
    QJsonObject takeOutOfService(const QString &id, const QString &reason, const QString &user);
    QJsonObject returnToService(const QString &id, const QString &user);
    QJsonObject silence(const QString &user);

    // The journal's records in [from, to] with the filters, as JSON text
    // ({"records": [...], "truncated"}), or as CSV; answered once on this
    // thread, unless `context` is gone by then.
    using JournalAnswer = std::function<void(const QString &)>;
    void journal(const JournalFilter &filter, int limit, QObject *context, JournalAnswer answer);
    void journalCsv(const JournalFilter &filter, QObject *context, JournalAnswer answer);

    // An alarm's record as the page reads it.
    QJsonObject alarmJson(const QString &id) const;
    QJsonObject statusJson() const;

signals:
    // A batch for the page: {"alarms": [...changed], "removed": [...], "status": {...}}.
    void changed(const QString &batch);
    void hornChanged(bool sounding);
    // A line for the log window, in English.
    void problem(const QString &line);

private:
    void restored(const QList<AlarmStateRow> &rows);
    void evaluate(const QList<PointSample> &samples);
    void tick();
    void checkFile();
    void loadDefinitions(const QByteArray &json, const QString &source);
    void useDefinitions(const QList<AlarmDefinition> &definitions, const QString &source);
    // Journals `events`, saves changed states and tells the page; with
    // `ownActions`, this station's operators' actions go to the other stations.
    void settle(QList<AlarmEvent> &events, bool ownActions = false);
    void remember(const QString &actionId);
    void flushBatch();
    void scheduleTick();
    QJsonObject answer(bool ok, const QString &problem);
    void share(const AlarmEvent &event);
    void publishState(const QString &id, const QString &user);
    QByteArray stateTopic(const QString &id) const;

    PointTable *table;
    StationDatabase *database;
    QString station;
    Clock clock;
    AlarmEngine engine;
    bool running = false;
    bool restoredStates = false;
    bool definitionsTaken = false;

    QString definitionsPath;
    bool definitionsGiven = false;
    QByteArray fileContents; // as last read; null while the file is missing
    bool fileSeen = false;
    QDateTime fileModified;
    qint64 fileSize = -1;
    bool sharedDefinitions = false;
    QFileSystemWatcher *watcher = nullptr;
    QTimer watchTimer;

    bool hornEnabled = true;
    bool hornAudio = true;
    bool lastHorn = false;
    bool lastFlood = false;
    int lastRate = 0;

    QSet<QString> pendingState;
    QSet<QString> pendingRemoved;
    QHash<QString, qint64> valueSentAt;
    QSet<QString> pendingValue;
    bool statusPending = false;
    QTimer batchTimer;
    QTimer tickTimer;

    qint64 lastValueFlush = 0;
    QByteArray sharedContents;

    QByteArray prefix;
    // This run of this station, as its messages name it: several stations may share a name.
    QString origin;
    Publisher publisher;
    // Shared actions already taken, by their id: the broker may deliver one twice.
    QSet<QString> seenActions;
    // The last retained state of each alarm from another station.
    QHash<QString, QJsonObject> sharedStates;
    std::deque<QString> seenOrder;
    quint64 nextAction = 1;

    struct PendingAnswer
    {
        QPointer<QObject> context;
        JournalAnswer answer;
    };
    QHash<quint64, PendingAnswer> pendingAnswers;
    quint64 nextRequest = 1;
};
