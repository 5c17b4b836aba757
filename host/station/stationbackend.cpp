#include "stationbackend.h"

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
            points.append(point);
        }
        return points;
    };
    if (station.plant()) {
        backend.write = [&station](const QString &id, const QJsonValue &value) {
            QString problem;
            if (station.plant()->write(id, value, problem))
                return QJsonObject { { QStringLiteral("ok"), true } };
            return QJsonObject { { QStringLiteral("error"), problem } };
        };
    }
    StationAlarms *alarms = station.alarms();
    backend.alarmList = [alarms] { return alarms->list(); };
    backend.alarmAction = [alarms](const AlarmRequest &request) {
        // Until the station knows its users, actions are nobody's in particular.
        const QString user;
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
