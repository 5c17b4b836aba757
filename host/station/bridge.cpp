#include "bridge.h"

#include "bridgearguments.h"

#include <algorithm>
#include <cmath>

#include <QJsonDocument>
#include <QLoggingCategory>
#include <QPointer>
#include <QWebChannel>

Q_LOGGING_CATEGORY(lcBridge, "corvane.bridge")

namespace {

bool isStatus(const QJsonValue &value)
{
    const QString status = value.toString();
    return status == QLatin1String("good") || status == QLatin1String("bad")
        || status == QLatin1String("uncertain");
}

// One value of the emulator: { id, value: number | boolean, status, timestamp }.
bool isPointValue(const QJsonValue &entry)
{
    if (!entry.isObject())
        return false;
    const QJsonObject value = entry.toObject();
    const QString id = value.value(QLatin1String("id")).toString();
    const QJsonValue number = value.value(QLatin1String("value"));
    QString problem;
    return !id.isEmpty() && id.size() <= BridgeArguments::maxPointIdLength
        && (number.isDouble() || number.isBool()) && isStatus(value.value(QLatin1String("status")))
        && BridgeArguments::time(value.value(QLatin1String("timestamp")), problem).has_value();
}

// One catalogue entry: { id, kind: "analog" | "discrete", unit?, description?, writable?,
// min?, max? }.
bool isPointInfo(const QJsonValue &entry)
{
    if (!entry.isObject())
        return false;
    const QJsonObject info = entry.toObject();
    const QString id = info.value(QLatin1String("id")).toString();
    const QString kind = info.value(QLatin1String("kind")).toString();
    for (const char *text : { "unit", "description" }) {
        const QJsonValue field = info.value(QLatin1String(text));
        if (!field.isUndefined() && (!field.isString() || field.toString().size() > 1024))
            return false;
    }
    const QJsonValue writable = info.value(QLatin1String("writable"));
    if (!writable.isUndefined() && !writable.isBool())
        return false;
    for (const char *limit : { "min", "max" }) {
        const QJsonValue field = info.value(QLatin1String(limit));
        if (!field.isUndefined() && !(field.isDouble() && std::isfinite(field.toDouble())))
            return false;
    }
    return !id.isEmpty() && id.size() <= BridgeArguments::maxPointIdLength
        && (kind == QLatin1String("analog") || kind == QLatin1String("discrete"));
}

bool isListOf(const QJsonValue &value, bool (*check)(const QJsonValue &))
{
    if (!value.isArray() || value.toArray().size() > BridgeArguments::maxValuesPerCall)
        return false;
    const QJsonArray array = value.toArray();
    return std::all_of(array.begin(), array.end(), check);
}

} // namespace

HistoryService::HistoryService(
    const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent)
    : QObject(parent)
    , backend(backend)
    , admit(std::move(admit))
{ }

void HistoryService::query(const QJsonValue &request, const QJsonValue &ids, const QJsonValue &from,
    const QJsonValue &to, const QJsonValue &maxPoints)
{
    QString problem;
    const std::optional<int> number = BridgeArguments::count(request, 0, 1 << 30, problem);
    const std::optional<QStringList> points = BridgeArguments::pointIds(ids, problem);
    const std::optional<qint64> start = BridgeArguments::time(from, problem);
    const std::optional<qint64> end = BridgeArguments::time(to, problem);
    const std::optional<int> most
        = BridgeArguments::count(maxPoints, 0, BridgeArguments::maxHistoryPoints, problem);
    if (start && end && *start > *end)
        problem = QStringLiteral("the range ends before it starts");
    const bool valid = number && points && start && end && most && *start <= *end;
    if (!admit(valid ? QString() : QStringLiteral("history.query: %1").arg(problem))) {
        if (number)
            emit answered(
                *number, QJsonObject { { QStringLiteral("error"), QStringLiteral("refused") } });
        return;
    }
    if (!backend.history) {
        emit answered(*number,
            QJsonObject { { QStringLiteral("points"), QJsonObject() },
                { QStringLiteral("downsampled"), QJsonObject() } });
        return;
    }
    QPointer<HistoryService> self(this);
    const int requested = *number;
    backend.history(*points, *start, *end, *most, [self, requested](const QJsonObject &answer) {
        if (self)
            emit self->answered(requested, answer);
    });
}

QString HistoryService::recording()
{
    return admit(QString()) ? recordingState : QString();
}

void HistoryService::setRecording(const QString &state)
{
    if (state == recordingState)
        return;
    recordingState = state;
    emit recordingChanged(state);
}

PointService::PointService(
    const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent)
    : QObject(parent)
    , backend(backend)
    , admit(std::move(admit))
{ }

bool PointService::forward(const QJsonValue &values)
{
    // With a broker the plant's values are the program's own: none from the page.
    QString problem = backend.forward
        ? QString()
        : QStringLiteral("points.forward: the station reads a broker");
    if (problem.isEmpty() && !isListOf(values, isPointValue))
        problem = QStringLiteral("points.forward: not a list of point values");
    if (!admit(problem))
        return false;
    backend.forward(values.toArray());
    return true;
}

bool PointService::describe(const QJsonValue &catalogue)
{
    QString problem = backend.describe
        ? QString()
        : QStringLiteral("points.describe: the station reads a broker");
    if (problem.isEmpty() && !isListOf(catalogue, isPointInfo))
        problem = QStringLiteral("points.describe: not a point catalogue");
    if (!admit(problem))
        return false;
    backend.describe(catalogue.toArray());
    return true;
}

PlantService::PlantService(
    const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent)
    : QObject(parent)
    , backend(backend)
    , admit(std::move(admit))
{ }

QJsonObject PlantService::state()
{
    if (!admit(QString()))
        return QJsonObject();
    return backend.plantState
        ? backend.plantState()
        : QJsonObject { { QStringLiteral("source"), QStringLiteral("emulator") } };
}

bool PlantService::follow(const QJsonValue &ids)
{
    QString problem;
    const std::optional<QStringList> points
        = BridgeArguments::pointIds(ids, problem, BridgeArguments::maxFollowedPoints);
    if (!admit(points ? QString() : QStringLiteral("plant.follow: %1").arg(problem)))
        return false;
    if (backend.follow)
        backend.follow(*points);
    return true;
}

void PlantService::applied()
{
    if (admit(QString()) && backend.applied)
        backend.applied();
}

QJsonArray PlantService::read(const QJsonValue &ids)
{
    QString problem;
    const std::optional<QStringList> points
        = BridgeArguments::pointIds(ids, problem, BridgeArguments::maxFollowedPoints);
    if (!admit(points ? QString() : QStringLiteral("plant.read: %1").arg(problem)) || !backend.read)
        return QJsonArray();
    return backend.read(*points);
}

QJsonArray PlantService::list()
{
    if (!admit(QString()) || !backend.list)
        return QJsonArray();
    return backend.list();
}

QJsonObject PlantService::write(const QJsonValue &id, const QJsonValue &value)
{
    const QString point = id.toString();
    const bool valid = id.isString() && !point.isEmpty()
        && point.size() <= BridgeArguments::maxPointIdLength
        && ((value.isDouble() && std::isfinite(value.toDouble())) || value.isBool()
            || (value.isString() && value.toString().size() <= 1024));
    if (!admit(valid ? QString()
                     : QStringLiteral("plant.write: a point id and a number, flag or text of at "
                                      "most 1024 characters")))
        return QJsonObject { { QStringLiteral("error"), QStringLiteral("refused") } };
    if (!backend.write)
        return QJsonObject { { QStringLiteral("error"),
            QStringLiteral("no plant connection: commands go nowhere") } };
    return backend.write(point, value);
}

void PlantService::command(const QJsonValue &request, const QJsonValue &id, const QJsonValue &value)
{
    QString problem;
    const std::optional<int> number = BridgeArguments::count(request, 0, 1 << 30, problem);
    const QString point = id.toString();
    const bool valid = number && id.isString() && !point.isEmpty()
        && point.size() <= BridgeArguments::maxPointIdLength
        && ((value.isDouble() && std::isfinite(value.toDouble())) || value.isBool());
    if (!admit(valid ? QString()
                     : QStringLiteral("plant.command: a request number, a point id and a number "
                                      "or a flag"))) {
        if (number)
            emit commanded(double(*number),
                QJsonObject {
                    { QStringLiteral("error"), QStringLiteral("Станция отклонила запрос") } });
        return;
    }
    if (!backend.command) {
        emit commanded(double(*number),
            QJsonObject { { QStringLiteral("error"), QStringLiteral("Команды не принимаются") } });
        return;
    }
    QPointer<PlantService> self(this);
    const double asked = double(*number);
    backend.command(point, value, [self, asked](const QJsonObject &answer) {
        if (self)
            emit self->commanded(asked, answer);
    });
}

AlarmService::AlarmService(
    const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent)
    : QObject(parent)
    , backend(backend)
    , admit(std::move(admit))
{ }

namespace {

std::optional<QString> alarmIdOf(const QJsonValue &value)
{
    const QString id = value.toString();
    // As long as a definition's id may be.
    if (!value.isString() || id.isEmpty() || id.size() > 200)
        return std::nullopt;
    return id;
}

std::optional<QString> textOf(const QJsonValue &value)
{
    if (value.isUndefined() || value.isNull())
        return QString();
    if (!value.isString() || value.toString().size() > AlarmService::maxTextLength)
        return std::nullopt;
    return value.toString();
}

const QString refusedAnswer = QStringLiteral("Станция отклонила запрос");

} // namespace

QString AlarmService::list()
{
    if (!admit(QString()) || !backend.alarmList)
        return QStringLiteral("{\"alarms\":[]}");
    return backend.alarmList();
}

QJsonObject AlarmService::act(
    const AlarmRequest &request, const QString &problem, const char *method)
{
    if (!admit(problem.isEmpty()
                ? QString()
                : QStringLiteral("alarms.%1: %2").arg(QLatin1String(method), problem)))
        return QJsonObject { { QStringLiteral("error"), refusedAnswer } };
    if (!backend.alarmAction)
        return QJsonObject { { QStringLiteral("error"), QStringLiteral("Тревоги не ведутся") } };
    return backend.alarmAction(request);
}

QJsonObject AlarmService::acknowledge(const QJsonValue &ids, const QJsonValue &comment)
{
    AlarmRequest request;
    request.kind = AlarmRequest::Kind::Acknowledge;
    QString problem;
    const QJsonArray list = ids.toArray();
    if (!ids.isArray() || list.size() > maxIds)
        problem = QStringLiteral("a list of at most %1 alarm ids").arg(maxIds);
    for (const QJsonValue &id : list) {
        const std::optional<QString> alarm = alarmIdOf(id);
        if (!alarm) {
            problem = QStringLiteral("a list of alarm ids");
            break;
        }
        request.ids << *alarm;
    }
    const std::optional<QString> text = textOf(comment);
    if (!text)
        problem = QStringLiteral("a comment of at most %1 characters").arg(maxTextLength);
    else
        request.text = *text;
    return act(request, problem, "acknowledge");
}

QJsonObject AlarmService::shelve(
    const QJsonValue &id, const QJsonValue &minutes, const QJsonValue &reason)
{
    AlarmRequest request;
    request.kind = AlarmRequest::Kind::Shelve;
    const std::optional<QString> alarm = alarmIdOf(id);
    const std::optional<QString> text = textOf(reason);
    const int duration = minutes.isDouble() ? int(minutes.toDouble()) : 0;
    const bool known = minutes.isDouble() && double(duration) == minutes.toDouble()
        && (duration == 15 || duration == 60 || duration == 240 || duration == 480);
    if (alarm)
        request.ids << *alarm;
    request.text = text.value_or(QString());
    request.minutes = duration;
    return act(request,
        alarm && text && known
            ? QString()
            : QStringLiteral("an alarm id, 15, 60, 240 or 480 minutes and a reason of at most %1 "
                             "characters")
                  .arg(maxTextLength),
        "shelve");
}

QJsonObject AlarmService::unshelve(const QJsonValue &id)
{
    AlarmRequest request;
    request.kind = AlarmRequest::Kind::Unshelve;
    const std::optional<QString> alarm = alarmIdOf(id);
    if (alarm)
        request.ids << *alarm;
    return act(request, alarm ? QString() : QStringLiteral("an alarm id"), "unshelve");
}

QJsonObject AlarmService::reset(const QJsonValue &id)
{
    AlarmRequest request;
    request.kind = AlarmRequest::Kind::Reset;
    const std::optional<QString> alarm = alarmIdOf(id);
    if (alarm)
        request.ids << *alarm;
    return act(request, alarm ? QString() : QStringLiteral("an alarm id"), "reset");
}

QJsonObject AlarmService::comment(const QJsonValue &id, const QJsonValue &text)
{
    AlarmRequest request;
    request.kind = AlarmRequest::Kind::Comment;
    const std::optional<QString> alarm = alarmIdOf(id);
    const std::optional<QString> words = textOf(text);
    if (alarm)
        request.ids << *alarm;
    request.text = words.value_or(QString());
    return act(request,
        alarm && words
            ? QString()
            : QStringLiteral("an alarm id and a text of at most %1 characters").arg(maxTextLength),
        "comment");
}

QJsonObject AlarmService::outOfService(const QJsonValue &id, const QJsonValue &reason)
{
    AlarmRequest request;
    request.kind = AlarmRequest::Kind::OutOfService;
    const std::optional<QString> alarm = alarmIdOf(id);
    const std::optional<QString> text = textOf(reason);
    if (alarm)
        request.ids << *alarm;
    request.text = text.value_or(QString());
    return act(request,
        alarm && text ? QString()
                      : QStringLiteral("an alarm id and a reason of at most %1 characters")
                            .arg(maxTextLength),
        "outOfService");
}

QJsonObject AlarmService::inService(const QJsonValue &id)
{
    AlarmRequest request;
    request.kind = AlarmRequest::Kind::InService;
    const std::optional<QString> alarm = alarmIdOf(id);
    if (alarm)
        request.ids << *alarm;
    return act(request, alarm ? QString() : QStringLiteral("an alarm id"), "inService");
}

QJsonObject AlarmService::silence()
{
    AlarmRequest request;
    request.kind = AlarmRequest::Kind::Silence;
    return act(request, QString(), "silence");
}

void AlarmService::journal(const QJsonValue &request, const QJsonValue &query)
{
    ask(request, query, false);
}

void AlarmService::exportJournal(const QJsonValue &request, const QJsonValue &query)
{
    ask(request, query, true);
}

void AlarmService::ask(const QJsonValue &request, const QJsonValue &query, bool csv)
{
    QString problem;
    const std::optional<int> number = BridgeArguments::count(request, 0, 1 << 30, problem);
    const QJsonObject fields = query.toObject();
    const std::optional<qint64> from
        = BridgeArguments::time(fields.value(QLatin1String("from")), problem);
    const std::optional<qint64> to
        = BridgeArguments::time(fields.value(QLatin1String("to")), problem);
    JournalQuery look;
    bool valid = number && from && to && query.isObject();
    if (valid) {
        look.from = *from;
        look.to = *to;
        for (const auto &[name, into] : { std::pair { "point", &look.point },
                 std::pair { "event", &look.event }, std::pair { "text", &look.text } }) {
            const QJsonValue value = fields.value(QLatin1String(name));
            if (!value.isUndefined()
                && (!value.isString() || value.toString().size() > maxTextLength))
                valid = false;
            *into = value.toString();
        }
        const QJsonValue limit = fields.value(QLatin1String("limit"));
        look.limit = limit.isDouble() ? int(std::clamp(limit.toDouble(), 0.0, 1e6)) : 0;
    }
    if (!admit(valid
                ? QString()
                : QStringLiteral("alarms.%1: a request number and {from, to, point?, event?, "
                                 "text?, limit?}")
                      .arg(csv ? QStringLiteral("exportJournal") : QStringLiteral("journal")))) {
        if (number)
            emit answered(
                *number, csv ? QString() : QStringLiteral("{\"records\":[],\"truncated\":false}"));
        return;
    }
    const auto &service = csv ? backend.journalCsv : backend.journal;
    if (!service) {
        emit answered(
            *number, csv ? QString() : QStringLiteral("{\"records\":[],\"truncated\":false}"));
        return;
    }
    QPointer<AlarmService> self(this);
    const int requested = *number;
    service(look, [self, requested](const QString &answer) {
        if (self)
            emit self->answered(requested, answer);
    });
}

SettingsService::SettingsService(
    const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent)
    : QObject(parent)
    , backend(backend)
    , admit(std::move(admit))
{ }

const QStringList SettingsService::keys = { QStringLiteral("trends"), QStringLiteral("view") };

QJsonObject SettingsService::value(const QJsonValue &key)
{
    const bool valid = keys.contains(key.toString());
    if (!admit(valid ? QString() : QStringLiteral("settings.value: not a settings key"))
        || !backend.settings)
        return QJsonObject();
    return backend.settings(key.toString());
}

bool SettingsService::setValue(const QJsonValue &key, const QJsonValue &settings)
{
    const bool valid = keys.contains(key.toString()) && settings.isObject()
        && QJsonDocument(settings.toObject()).toJson(QJsonDocument::Compact).size()
            <= maxSettingsSize;
    if (!admit(valid ? QString()
                     : QStringLiteral("settings.setValue: not a settings key and a record of at "
                                      "most 64 KiB")))
        return false;
    if (backend.setSettings)
        backend.setSettings(key.toString(), settings.toObject());
    return true;
}

SessionService::SessionService(
    const BridgeBackend &backend, std::function<bool(const QString &)> admit, QObject *parent)
    : QObject(parent)
    , backend(backend)
    , admit(std::move(admit))
{ }

QJsonObject SessionService::state()
{
    if (!admit(QString()) || !backend.sessionState)
        return QJsonObject { { QStringLiteral("error"), QStringLiteral("refused") } };
    return backend.sessionState();
}

QJsonObject SessionService::login()
{
    if (!admit(QString()))
        return QJsonObject { { QStringLiteral("error"), QStringLiteral("refused") } };
    if (backend.login)
        backend.login();
    return QJsonObject { { QStringLiteral("ok"), true } };
}

QJsonObject SessionService::logout()
{
    if (!admit(QString()))
        return QJsonObject { { QStringLiteral("error"), QStringLiteral("refused") } };
    if (backend.logout)
        backend.logout();
    return QJsonObject { { QStringLiteral("ok"), true } };
}

Bridge::Bridge(
    const BridgeBackend &backend, std::function<bool()> fromBuiltInApplication, QObject *parent)
    : QObject(parent)
{
    // One check for every call: the caller, then the arguments' own problem.
    const auto admit = [this, fromBuiltInApplication](const QString &problem) {
        if (!fromBuiltInApplication()) {
            qCWarning(lcBridge) << "call refused: not the built-in application";
            emit refused(tr("A call to the station was refused: it did not come from the "
                            "built-in application"));
            return false;
        }
        if (!problem.isEmpty()) {
            qCWarning(lcBridge) << "call refused:" << problem;
            emit refused(tr("A call to the station was refused: %1").arg(problem));
            return false;
        }
        return true;
    };
    webChannel = new QWebChannel(this);
    historyService = new HistoryService(backend, admit, this);
    webChannel->registerObject(QStringLiteral("history"), historyService);
    webChannel->registerObject(QStringLiteral("points"), new PointService(backend, admit, this));
    webChannel->registerObject(
        QStringLiteral("settings"), new SettingsService(backend, admit, this));
    plantService = new PlantService(backend, admit, this);
    webChannel->registerObject(QStringLiteral("plant"), plantService);
    alarmService = new AlarmService(backend, admit, this);
    webChannel->registerObject(QStringLiteral("alarms"), alarmService);
    sessionService = new SessionService(backend, admit, this);
    webChannel->registerObject(QStringLiteral("session"), sessionService);
}

void Bridge::setSession(const QJsonObject &state)
{
    emit sessionService->changed(state);
}

void Bridge::commandEmulator(const QString &id, const QJsonValue &value)
{
    emit plantService->emulatorCommand(id, value.toVariant());
}

void Bridge::deliverAlarms(const QString &batch)
{
    emit alarmService->changed(batch);
}

void Bridge::deliver(const QString &batch)
{
    emit plantService->updates(batch);
}

void Bridge::setPlantState(const QJsonObject &state)
{
    emit plantService->stateChanged(state);
}

void Bridge::setRecording(const QString &state)
{
    historyService->setRecording(state);
}
