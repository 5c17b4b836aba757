#pragma once

#include "plantlayout.h"

#include <QHash>
#include <QSet>

#include <deque>
#include <map>
#include <memory>

namespace org::eclipse::tahu::protobuf {
class Payload;
class Payload_Metric;
} // namespace org::eclipse::tahu::protobuf

// The station as a Sparkplug B host application on one group's topics:
// births name the points, data messages feed them by alias, deaths turn them
// "bad", and a gap in a node's sequence numbers is waited for a while before
// the node is asked to be born again. Pure logic: the plant client does the
// MQTT and calls it with the time.
class SparkplugLayout : public PlantLayout
{
public:
    // How long messages after a missing one are held for it to come.
    static constexpr qint64 reorderTimeout = 2000;
    static constexpr int maxPayload = 4 * 1024 * 1024;

    SparkplugLayout(const QString &group, const QString &hostId);
    ~SparkplugLayout() override;

    QList<QByteArray> subscriptions() const override;
    std::optional<PlantPublish> will(qint64 now) override;
    void connected(qint64 now, PlantOutput &out) override;
    void receive(
        const QByteArray &topic, const QByteArray &payload, qint64 now, PlantOutput &out) override;
    void lost(qint64 now, PlantOutput &out) override;
    qint64 nextDeadline() const override;
    void tick(qint64 now, PlantOutput &out) override;
    bool command(const QString &id, const QJsonValue &value, const CommandOrigin &origin,
        qint64 now, PlantPublish &publish, QString &problem) override;
    QList<PointInfo> catalogue() const override;

private:
    using Payload = org::eclipse::tahu::protobuf::Payload;

    enum class Kind { NodeData, DeviceBirth, DeviceData, DeviceDeath };

    struct Metric
    {
        QString name;
        QString id; // the point's id; empty when the metric is not a point
        quint64 alias = 0;
        bool hasAlias = false;
        quint32 datatype = 0;
        QString unit;
        // Declared writable in the birth by the property "writable", with
        // "min" and "max" for a number.
        bool writable = false;
        std::optional<double> min;
        std::optional<double> max;
        QVariant value;
        PointStatus status = PointStatus::Bad;
        qint64 t = 0;
    };

    // The metrics of a node itself (empty device) or of one of its devices.
    struct Source
    {
        QString node;
        QString device;
        bool born = false;
        QList<Metric> metrics;
        QHash<quint64, int> byAlias;
        QHash<QString, int> byName;
    };

    struct Held
    {
        Kind kind;
        QString device;
        std::shared_ptr<Payload> payload;
    };

    struct Node
    {
        bool born = false;
        bool everBorn = false;
        bool hasBdSeq = false;
        quint64 bdSeq = 0;
        int expected = 0;
        std::map<int, Held> held; // by seq
        qint64 heldDeadline = 0;
        qint64 lastRebirthAsked = 0;
        bool rebirthAsked = false;
        QList<int> sources; // its own first, then its devices in birth order
    };

    struct PointRef
    {
        int source;
        int metric;
    };

    Source &source(const QString &node, const QString &device);
    Source *findSource(const QString &node, const QString &device);

    void nodeBirth(const QString &edge, const Payload &payload, qint64 now, PlantOutput &out);
    void nodeDeath(const QString &edge, const Payload &payload, qint64 now, PlantOutput &out);
    void sequenced(const QString &edge, Kind kind, const QString &device,
        std::shared_ptr<Payload> payload, qint64 now, PlantOutput &out);
    void drain(const QString &edge, Node &node, qint64 now, PlantOutput &out);
    void flushHeld(const QString &edge, Node &node, bool askRebirth, qint64 now, PlantOutput &out);
    void apply(const QString &edge, Kind kind, const QString &device, const Payload &payload,
        qint64 now, PlantOutput &out);
    void deviceBirth(const QString &edge, const QString &device, const Payload &payload, qint64 now,
        PlantOutput &out);
    void data(const QString &edge, const QString &device, const Payload &payload, qint64 now,
        PlantOutput &out);

    // Replaces the metrics of a source with those of a birth.
    void bear(int index, const Payload &payload, qint64 now, PlantOutput &out);
    QString pointId(const Source &source, const QString &name, PlantOutput &out, qint64 now);
    void forget(int index, qint64 now, PlantOutput &out);
    void turnBad(Source &source, qint64 now, PlantOutput &out);
    void askRebirth(const QString &edge, Node &node, const QString &why, bool reportAnyway,
        qint64 now, PlantOutput &out);
    void updateCatalogue(PlantOutput &out);
    void reportOnce(const QString &key, const QString &line, PlantOutput &out);
    QByteArray stateMessage(bool online) const;

    QString group;
    QString hostId;
    QByteArray stateTopic;
    qint64 stateTime = 0;
    bool online = false;

    std::map<QString, Node> nodes;
    std::deque<Source> sources;
    QHash<QString, int> sourceIndex; // "node" or "node/device"
    QHash<QString, PointRef> points;
    QSet<QString> clashed; // metric names published by more than one source
    QList<PointInfo> currentCatalogue;
    QSet<QString> reported;
};
