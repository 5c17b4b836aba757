#pragma once

#include "pointinfo.h"
#include "pointsample.h"

#include <QByteArray>
#include <QJsonValue>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// A message the plant client publishes for a layout.
struct PlantPublish
{
    QByteArray topic;
    QByteArray payload;
    int qos = 0;
    bool retained = false;
};

// What a layout made of what it was given: new values, perhaps a new
// catalogue, lines for the log and messages to publish.
struct PlantOutput
{
    QList<PointSample> samples;
    // Set when the catalogue changed: the whole new one.
    std::optional<QList<PointInfo>> catalogue;
    // Lines for the log window, in English, without the broker's address.
    QStringList reports;
    QList<PlantPublish> publishes;
};

// Who sent a command, for the plant to know: the user (empty at an open
// station) and the station.
struct CommandOrigin
{
    QString user;
    QString station;
};

// How the points of a plant are laid out on a broker's topics: the plain
// layout (one topic per point under a prefix) or Sparkplug B. A layout knows
// nothing of the connection; the plant client calls it on one thread, with
// the time in milliseconds since the epoch, and sends what it asks for.
class PlantLayout
{
public:
    virtual ~PlantLayout() = default;

    // The topic filters to subscribe to on every connection, at QoS 0.
    virtual QList<QByteArray> subscriptions() const = 0;
    // Called before each connection attempt: the will to leave with the
    // broker, if any.
    virtual std::optional<PlantPublish> will(qint64 now)
    {
        Q_UNUSED(now);
        return std::nullopt;
    }
    // The connection is up and subscribed.
    virtual void connected(qint64 now, PlantOutput &out)
    {
        Q_UNUSED(now);
        Q_UNUSED(out);
    }
    // One message from the broker.
    virtual void receive(
        const QByteArray &topic, const QByteArray &payload, qint64 now, PlantOutput &out)
        = 0;
    // The connection is gone: every value turns "bad", keeping its value.
    virtual void lost(qint64 now, PlantOutput &out) = 0;
    // When the layout next wants `tick` (ms since the epoch), 0 for never.
    virtual qint64 nextDeadline() const { return 0; }
    virtual void tick(qint64 now, PlantOutput &out)
    {
        Q_UNUSED(now);
        Q_UNUSED(out);
    }
    // A command to a point: the message to publish, or false and why not.
    virtual bool command(const QString &id, const QJsonValue &value, const CommandOrigin &origin,
        qint64 now, PlantPublish &publish, QString &problem)
        = 0;
    // The points to list: the published catalogue, or those heard of so far.
    virtual QList<PointInfo> catalogue() const = 0;
};
