#include "stationbackend.h"

#include "historian.h"
#include "pointtable.h"
#include "settingsfile.h"
#include "station.h"

#include <QDateTime>
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
    backend.forward = [&station, watch](const QJsonArray &values) {
        watch->lastForward = QDateTime::currentMSecsSinceEpoch();
        watch->delivering = true;
        station.points()->update(samplesOf(values));
    };
    backend.describe = [&station](const QJsonArray &catalogue) {
        station.points()->setCatalogue(catalogueOf(catalogue));
    };
    backend.settings = [&settings](const QString &key) { return settings.value(key); };
    backend.setSettings = [&settings](const QString &key, const QJsonObject &value) {
        settings.setValue(key, value);
    };
    return backend;
}
