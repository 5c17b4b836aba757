#include "stationbackend.h"

#include "access.h"
#include "commanddesk.h"
#include "historian.h"
#include "plantclient.h"
#include "pointtable.h"
#include "settingsfile.h"
#include "station.h"
#include "stationalarms.h"
#include "updatefeed.h"

#include <QDateTime>
#include <QJsonObject>
#include <QSet>
#include <QTimer>

#include <memory>
#include <optional>

namespace {
// The emulator ticks every 500 ms: three seconds without a tick is an end.
constexpr qint64 sourceTimeoutMs = 3000;

QList<PointSample> samplesOf(const QJsonArray &values)
{
    QList<PointSample> samples;
    samples.reserve(values.size());
    for (const QJsonValue &entry : values) {
        const QJsonObject value = entry.toObject();
        PointSample sample;
        sample.id = value.value(QLatin1String("id")).toString();
        sample.t = qint64(value.value(QLatin1String("timestamp")).toDouble());
        const QJsonValue number = value.value(QLatin1String("value"));
        sample.value = number.isBool() ? QVariant(number.toBool()) : QVariant(number.toDouble());
        statusFromName(value.value(QLatin1String("status")).toString(), sample.status);
        // The emulator's starting values carry no time of their own.
        if (sample.t <= 0)
            sample.t = QDateTime::currentMSecsSinceEpoch();
        samples << sample;
    }
    return samples;
}

// What the journal calls an alarm action that was refused.
QString actionName(const AlarmRequest &request)
{
    QString name;
    switch (request.kind) {
    case AlarmRequest::Kind::Acknowledge:
        name = QStringLiteral("квитирование");
        break;
    case AlarmRequest::Kind::Shelve:
        name = QStringLiteral("откладывание");
        break;
    case AlarmRequest::Kind::Unshelve:
        name = QStringLiteral("возврат отложенной");
        break;
    case AlarmRequest::Kind::Reset:
        name = QStringLiteral("сброс");
        break;
    case AlarmRequest::Kind::Comment:
        name = QStringLiteral("комментарий");
        break;
    case AlarmRequest::Kind::OutOfService:
        name = QStringLiteral("вывод из работы");
        break;
    case AlarmRequest::Kind::InService:
        name = QStringLiteral("ввод в работу");
        break;
    case AlarmRequest::Kind::Silence:
        return QStringLiteral("сброс звука");
    }
    const QStringList shown = request.ids.mid(0, 3);
    return QStringLiteral("%1 %2%3").arg(name, shown.join(QStringLiteral(", ")),
        request.ids.size() > shown.size() ? QStringLiteral(", …") : QString());
}

QList<PointInfo> catalogueOf(const QJsonArray &catalogue)
{
    QList<PointInfo> points;
    for (const QJsonValue &entry : catalogue) {
        const QJsonObject info = entry.toObject();
        PointInfo point;
        point.id = info.value(QLatin1String("id")).toString();
        point.kind = info.value(QLatin1String("kind")).toString();
        point.unit = info.value(QLatin1String("unit")).toString();
        point.description = info.value(QLatin1String("description")).toString();
        point.writable = info.value(QLatin1String("writable")).toBool();
        if (info.value(QLatin1String("min")).isDouble())
            point.min = info.value(QLatin1String("min")).toDouble();
        if (info.value(QLatin1String("max")).isDouble())
            point.max = info.value(QLatin1String("max")).toDouble();
        points << point;
    }
    return points;
}
} // namespace

QJsonObject plantStateOf(const Station &station)
{
    const PlantClient *plant = station.plant();
    if (!plant)
        return QJsonObject { { QStringLiteral("source"), QStringLiteral("emulator") } };
    return QJsonObject { { QStringLiteral("source"), QStringLiteral("broker") },
        { QStringLiteral("state"), PlantClient::stateName(plant->state()) },
        { QStringLiteral("broker"), plant->address() } };
}

BridgeBackend stationBackend(Station &station, SettingsFile &settings, QObject *context)
{
    struct Watch
    {
        qint64 lastForward = 0;
        bool delivering = false;
    };
    auto watch = std::make_shared<Watch>();
    auto *timer = new QTimer(context);
    timer->setInterval(1000);
    QObject::connect(timer, &QTimer::timeout, context, [watch, &station] {
        if (!watch->delivering
            || QDateTime::currentMSecsSinceEpoch() - watch->lastForward < sourceTimeoutMs)
            return;
        watch->delivering = false;
        station.points()->sourceLost(watch->lastForward);
    });
    timer->start();

    BridgeBackend backend;
    backend.history = [&station, context](const QStringList &ids, qint64 from, qint64 to,
                          int maxPoints, BridgeBackend::Answer answer) {
        station.historian()->history(ids, from, to, maxPoints, context, std::move(answer));
    };
    // The page's emulator feeds the point table only where no broker does.
    if (!station.plant()) {
        backend.forward = [&station, watch](const QJsonArray &values) {
            watch->lastForward = QDateTime::currentMSecsSinceEpoch();
            watch->delivering = true;
            station.points()->update(samplesOf(values));
        };
        backend.describe = [&station](const QJsonArray &catalogue) {
            station.points()->setCatalogue(catalogueOf(catalogue));
        };
    }
    backend.plantState = [&station] { return plantStateOf(station); };
    backend.follow = [&station](const QStringList &ids) { station.feed()->follow(ids); };
    backend.applied = [&station] { station.feed()->applied(); };
    backend.read = [&station](const QStringList &ids) {
        const PointTable *table = station.points();
        const QSet<QString> wanted(ids.begin(), ids.end());
        QJsonArray values;
        for (const QString &id : table->ids()) {
            if (!wanted.contains(id))
                continue;
            const PointTable::Entry entry = table->entry(id);
            if (!entry.value.isValid() || entry.value.isNull())
                continue;
            values.append(QJsonObject { { QStringLiteral("id"), id },
                { QStringLiteral("value"), QJsonValue::fromVariant(entry.value) },
                { QStringLiteral("status"), statusName(entry.status) },
                { QStringLiteral("timestamp"), double(entry.t) } });
        }
        return values;
    };
    backend.list = [&station] {
        QJsonArray points;
        const QList<PointInfo> catalogue
            = station.plant() ? station.plant()->catalogue() : station.points()->catalogue();
        for (const PointInfo &info : catalogue) {
            QJsonObject point { { QStringLiteral("id"), info.id },
                { QStringLiteral("kind"),
                    info.kind.isEmpty() ? QStringLiteral("analog") : info.kind } };
            if (!info.unit.isEmpty())
                point.insert(QStringLiteral("unit"), info.unit);
            if (!info.description.isEmpty())
                point.insert(QStringLiteral("description"), info.description);
            if (info.writable)
                point.insert(QStringLiteral("writable"), true);
            if (info.min)
                point.insert(QStringLiteral("min"), *info.min);
            if (info.max)
                point.insert(QStringLiteral("max"), *info.max);
            points.append(point);
        }
        return points;
    };
    // Every change the page asks for is checked here, whatever the page shows.
    AccessControl *access = station.access();
    CommandDesk *desk = station.commands();
    const auto refusal
        = [access](Permission needed, const QString &what) -> std::optional<QJsonObject> {
        if (access->allows(needed))
            return std::nullopt;
        access->refused(needed, what);
        return QJsonObject { { QStringLiteral("error"), access->refusal(needed) } };
    };
    backend.command = [access, desk, refusal](const QString &id, const QJsonValue &value,
                          BridgeBackend::Answer answer) {
        if (const auto refused
            = refusal(Permission::Commands, QStringLiteral("команда %1").arg(id))) {
            answer(*refused);
            return;
        }
        desk->command(id, value, access->user(), std::move(answer));
    };
    // As a command, but answered once sent: the outcome is only journaled.
    backend.write = [access, desk, refusal](const QString &id, const QJsonValue &value) {
        if (const auto refused
            = refusal(Permission::Commands, QStringLiteral("команда %1").arg(id)))
            return *refused;
        auto early = std::make_shared<QJsonObject>();
        auto answered = std::make_shared<bool>(false);
        desk->command(id, value, access->user(), [early, answered](const QJsonObject &answer) {
            if (!*answered)
                *early = answer;
        });
        *answered = true;
        if (early->contains(QLatin1String("error")))
            return *early;
        return QJsonObject { { QStringLiteral("ok"), true } };
    };
    backend.sessionState = [access] { return access->state(); };
    backend.logout = [access] { access->logout(); };
    StationAlarms *alarms = station.alarms();
    backend.alarmList = [alarms] { return alarms->list(); };
    backend.alarmAction = [alarms, access, refusal](const AlarmRequest &request) {
        const bool service = request.kind == AlarmRequest::Kind::OutOfService
            || request.kind == AlarmRequest::Kind::InService;
        if (const auto refused
            = refusal(service ? Permission::OutOfService : Permission::Alarms, actionName(request)))
            return *refused;
        const QString user = access->user();
        const QString id = request.ids.value(0);
        switch (request.kind) {
        case AlarmRequest::Kind::Acknowledge:
            return alarms->acknowledge(request.ids, request.text, user);
        case AlarmRequest::Kind::Shelve:
            return alarms->shelve(id, request.minutes, request.text, user);
        case AlarmRequest::Kind::Unshelve:
            return alarms->unshelve(id, user);
        case AlarmRequest::Kind::Reset:
            return alarms->reset(id, user);
        case AlarmRequest::Kind::Comment:
            return alarms->comment(id, request.text, user);
        case AlarmRequest::Kind::OutOfService:
            return alarms->takeOutOfService(id, request.text, user);
        case AlarmRequest::Kind::InService:
            return alarms->returnToService(id, user);
        case AlarmRequest::Kind::Silence:
            return alarms->silence(user);
        }
        return QJsonObject();
    };
    const auto filterOf = [](const JournalQuery &query) {
        JournalFilter filter;
        filter.from = query.from;
        filter.to = query.to;
        filter.point = query.point;
        filter.event = query.event;
        filter.text = query.text;
        return filter;
    };
    backend.journal = [alarms, context, filterOf](
                          const JournalQuery &query, std::function<void(const QString &)> answer) {
        alarms->journal(filterOf(query), query.limit, context, std::move(answer));
    };
    backend.journalCsv = [alarms, context, filterOf](const JournalQuery &query,
                             std::function<void(const QString &)> answer) {
        alarms->journalCsv(filterOf(query), context, std::move(answer));
    };
    backend.settings = [&settings](const QString &key) { return settings.value(key); };
    backend.setSettings = [&settings](const QString &key, const QJsonObject &value) {
        settings.setValue(key, value);
    };
    return backend;
}
