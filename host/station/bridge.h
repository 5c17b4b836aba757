#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QObject>
#include <QVariant>

#include <functional>

class QWebChannel;

// An operator action on alarms as the page asks for it.
struct AlarmRequest
{
    enum class Kind {
        Acknowledge,
        Shelve,
        Unshelve,
        Reset,
        Comment,
        OutOfService,
        InService,
        Silence
    };
    Kind kind = Kind::Acknowledge;
    QStringList ids; // acknowledge: one or more; the others: one
    QString text; // comment or reason
    int minutes = 0; // shelve: 15, 60, 240 or 480
};

// A look into the journal: [from, to], and optionally an exact point, an
// event and a text; at most `limit` records, the newest.
struct JournalQuery
{
    qint64 from = 0;
    qint64 to = 0;
    QString point;
    QString event;
    QString text;
    int limit = 0;
};

// What the bridge's services do in the host; each is given by the station.
struct BridgeBackend
{
    using Answer = std::function<void(const QJsonObject &answer)>;
    // History of `ids` in [from, to], at most about `maxPoints` samples each
    // (0: every stored sample); answered once, possibly later.
    std::function<void(const QStringList &ids, qint64 from, qint64 to, int maxPoints, Answer)>
        history;
    // Values the page's own emulator produced, already checked.
    std::function<void(const QJsonArray &values)> forward;
    // The emulator's catalogue, already checked.
    std::function<void(const QJsonArray &catalogue)> describe;
    // A view's settings under one of `settingsKeys`, kept by the host between runs.
    std::function<QJsonObject(const QString &key)> settings;
    std::function<void(const QString &key, const QJsonObject &settings)> setSettings;
    // The plant: where the values come from and how the connection is.
    std::function<QJsonObject()> plantState;
    // The points the page follows live from now on.
    std::function<void(const QStringList &ids)> follow;
    // The page applied the last batch of live values.
    std::function<void()> applied;
    // The current values of `ids` that have one, in catalogue order.
    std::function<QJsonArray(const QStringList &ids)> read;
    // The plant's points.
    std::function<QJsonArray()> list;
    // A command to a point: { ok: true } once sent, or { error: reason }.
    std::function<QJsonObject(const QString &id, const QJsonValue &value)> write;
    // A command followed to its end: { outcome: "done" | "unconfirmed" } or
    // { error: reason }, answered once, possibly later.
    std::function<void(const QString &id, const QJsonValue &value, Answer)> command;

    // The session: who is logged in and what they may do (see AccessControl).
    std::function<QJsonObject()> sessionState;
    // Opens the host's own login dialog; the page never sees a password.
    std::function<void()> login;
    std::function<void()> logout;

    // The alarms: every alarm and the status, as JSON text.
    std::function<QString()> alarmList;
    // An operator action on alarms, its arguments checked: { ok } or { error }.
    std::function<QJsonObject(const AlarmRequest &request)> alarmAction;
    // The journal's records (JSON) or its CSV, answered once, possibly later.
    std::function<void(const JournalQuery &query, std::function<void(const QString &)>)> journal;
    std::function<void(const JournalQuery &query, std::function<void(const QString &)>)> journalCsv;
};

// The history service: the page asks with a request number and hears the
// answer as the signal `answered` with that number.
class HistoryService : public QObject
{
    Q_OBJECT

public:
    HistoryService(
        const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent);

    Q_INVOKABLE void query(const QJsonValue &request, const QJsonValue &ids, const QJsonValue &from,
        const QJsonValue &to, const QJsonValue &maxPoints);
    // Whether history is being recorded: "on", "off", "paused-disk-full" or
    // "unavailable"; changes come as `recordingChanged`.
    Q_INVOKABLE QString recording();

    // Not for the page: only invokable methods and signals reach it.
    void setRecording(const QString &state);

signals:
    void answered(double request, const QJsonObject &answer);
    void recordingChanged(const QString &state);

private:
    QString recordingState = QStringLiteral("off");
    BridgeBackend backend;
    std::function<bool(const QString &)> admit;
};

// The point service: the page's emulator hands its values and catalogue to the host.
class PointService : public QObject
{
    Q_OBJECT

public:
    PointService(
        const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent);

    Q_INVOKABLE bool forward(const QJsonValue &values);
    Q_INVOKABLE bool describe(const QJsonValue &catalogue);

private:
    BridgeBackend backend;
    std::function<bool(const QString &)> admit;
};

// The plant service: live values from the station's plant connection. The
// page follows points, hears batches of their newest values as `updates`
// (JSON text, see UpdateFeed) and answers each with `applied`; it reads,
// lists and commands points, and hears the connection's state.
class PlantService : public QObject
{
    Q_OBJECT

public:
    PlantService(
        const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent);

    // { source: "broker" | "emulator", state, broker }.
    Q_INVOKABLE QJsonObject state();
    Q_INVOKABLE bool follow(const QJsonValue &ids);
    Q_INVOKABLE void applied();
    Q_INVOKABLE QJsonArray read(const QJsonValue &ids);
    Q_INVOKABLE QJsonArray list();
    Q_INVOKABLE QJsonObject write(const QJsonValue &id, const QJsonValue &value);
    // A command with its outcome: answered as `commanded` with the request's number.
    Q_INVOKABLE void command(
        const QJsonValue &request, const QJsonValue &id, const QJsonValue &value);

signals:
    void updates(const QString &batch);
    void stateChanged(const QJsonObject &state);
    void commanded(double request, const QJsonObject &answer);
    // For the page's own emulator, when it is the source: a command to carry out.
    // The value goes as a variant: the channel does not carry a bare JSON value.
    void emulatorCommand(const QString &id, const QVariant &value);

private:
    BridgeBackend backend;
    std::function<bool(const QString &)> admit;
};

// The alarm service: the page reads every alarm once (`list`), hears the
// changes as `changed` (JSON text), asks for operator actions and reads the
// journal (`journal` and `exportJournal`, answered as `answered` with the
// request's number).
class AlarmService : public QObject
{
    Q_OBJECT

public:
    static constexpr int maxTextLength = 500;
    static constexpr int maxIds = 20000;

    AlarmService(
        const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent);

    Q_INVOKABLE QString list();
    Q_INVOKABLE QJsonObject acknowledge(const QJsonValue &ids, const QJsonValue &comment);
    Q_INVOKABLE QJsonObject shelve(
        const QJsonValue &id, const QJsonValue &minutes, const QJsonValue &reason);
    Q_INVOKABLE QJsonObject unshelve(const QJsonValue &id);
    Q_INVOKABLE QJsonObject reset(const QJsonValue &id);
    Q_INVOKABLE QJsonObject comment(const QJsonValue &id, const QJsonValue &text);
    Q_INVOKABLE QJsonObject outOfService(const QJsonValue &id, const QJsonValue &reason);
    Q_INVOKABLE QJsonObject inService(const QJsonValue &id);
    Q_INVOKABLE QJsonObject silence();
    Q_INVOKABLE void journal(const QJsonValue &request, const QJsonValue &query);
    Q_INVOKABLE void exportJournal(const QJsonValue &request, const QJsonValue &query);

signals:
    void changed(const QString &batch);
    void answered(double request, const QString &answer);

private:
    QJsonObject act(const AlarmRequest &request, const QString &problem, const char *method);
    void ask(const QJsonValue &request, const QJsonValue &query, bool csv);

    BridgeBackend backend;
    std::function<bool(const QString &)> admit;
};

// The session service: the page learns who is logged in and what they may
// do, asks for the login dialog and logs out; it hears changes as `changed`.
class SessionService : public QObject
{
    Q_OBJECT

public:
    SessionService(
        const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent);

    Q_INVOKABLE QJsonObject state();
    Q_INVOKABLE QJsonObject login();
    Q_INVOKABLE QJsonObject logout();

signals:
    void changed(const QJsonObject &state);

private:
    BridgeBackend backend;
    std::function<bool(const QString &)> admit;
};

// The settings service: what the page's views keep between runs.
class SettingsService : public QObject
{
    Q_OBJECT

public:
    // The largest settings record kept, as compact JSON.
    static constexpr int maxSettingsSize = 64 * 1024;

    SettingsService(
        const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent);

    // The views that keep settings: the trends view and the scheme view.
    static const QStringList keys;

    Q_INVOKABLE QJsonObject value(const QJsonValue &key);
    Q_INVOKABLE bool setValue(const QJsonValue &key, const QJsonValue &settings);

private:
    BridgeBackend backend;
    std::function<bool(const QString &)> admit;
};

// The station's objects as the built-in application's page sees them, through
// Qt WebChannel: one thin object per service, no properties, no object ever
// handed back. Every call first asks `fromBuiltInApplication`, and every
// argument is checked; a refusal is reported and answered as such.
class Bridge : public QObject
{
    Q_OBJECT

public:
    Bridge(const BridgeBackend &backend, std::function<bool()> fromBuiltInApplication,
        QObject *parent = nullptr);

    QWebChannel *channel() const { return webChannel; }
    // Tells the page whether history is being recorded (see HistoryService).
    void setRecording(const QString &state);
    // Hands the page a batch of live values (see PlantService).
    void deliver(const QString &batch);
    // Tells the page the plant connection's new state.
    void setPlantState(const QJsonObject &state);
    // Hands the page a batch of changed alarms (see AlarmService).
    void deliverAlarms(const QString &batch);
    // Tells the page the session changed (see SessionService).
    void setSession(const QJsonObject &state);
    // Hands the page's emulator a command to carry out.
    void commandEmulator(const QString &id, const QJsonValue &value);

signals:
    void refused(const QString &message);

private:
    QWebChannel *webChannel = nullptr;
    HistoryService *historyService = nullptr;
    PlantService *plantService = nullptr;
    AlarmService *alarmService = nullptr;
    SessionService *sessionService = nullptr;
};
