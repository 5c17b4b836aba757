#include "sparkpluglayout.h"
#include "sparkplugtypes.h"

#include "sparkplug_b.pb.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using org::eclipse::tahu::protobuf::Payload_Metric;
using org::eclipse::tahu::protobuf::Payload_PropertyValue;

namespace {

const QString namespaceRoot = QStringLiteral("spBv1.0");
const QString bdSeqName = QStringLiteral("bdSeq");
const QString nodeControlPrefix = QStringLiteral("Node Control/");
const QString rebirthName = QStringLiteral("Node Control/Rebirth");
// Past this many distinct problems, new ones go unreported: a flood of
// garbage topics must not grow the set without end.
constexpr int maxReported = 10000;

qint64 sampleTime(
    const Payload_Metric &metric, const org::eclipse::tahu::protobuf::Payload &payload, qint64 now)
{
    if (metric.has_timestamp())
        return qint64(metric.timestamp());
    if (payload.has_timestamp())
        return qint64(payload.timestamp());
    return now;
}

// The value of a metric as the point table holds it: a double for numeric
// types, a flag for Boolean; invalid when the metric carries none.
QVariant metricValue(const Payload_Metric &metric, quint32 type)
{
    using M = Payload_Metric;
    double number = 0;
    switch (metric.value_case()) {
    case M::kIntValue:
    case M::kLongValue: {
        // Signed types travel as their two's complement in the unsigned field.
        const quint64 raw = metric.value_case() == M::kIntValue ? quint64(metric.int_value())
                                                                : metric.long_value();
        switch (type) {
        case Sparkplug::Int8:
            number = qint8(raw);
            break;
        case Sparkplug::Int16:
            number = qint16(raw);
            break;
        case Sparkplug::Int32:
            number = qint32(raw);
            break;
        case Sparkplug::Int64:
            number = double(qint64(raw));
            break;
        default:
            number = double(raw);
        }
        break;
    }
    case M::kFloatValue:
        number = metric.float_value();
        break;
    case M::kDoubleValue:
        number = metric.double_value();
        break;
    case M::kBooleanValue:
        if (type == Sparkplug::Boolean)
            return metric.boolean_value();
        number = metric.boolean_value() ? 1 : 0;
        break;
    default:
        return {};
    }
    if (type == Sparkplug::Boolean)
        return number != 0;
    return number;
}

QString unitOf(const Payload_Metric &metric)
{
    if (!metric.has_properties())
        return {};
    const auto &properties = metric.properties();
    const int count = std::min(properties.keys_size(), properties.values_size());
    for (int i = 0; i < count; ++i) {
        if (properties.keys(i) == "engUnit" && properties.values(i).has_string_value())
            return QString::fromStdString(properties.values(i).string_value());
    }
    return {};
}

std::optional<double> numberOf(const Payload_PropertyValue &value)
{
    switch (value.value_case()) {
    case Payload_PropertyValue::kDoubleValue:
        return value.double_value();
    case Payload_PropertyValue::kFloatValue:
        return double(value.float_value());
    case Payload_PropertyValue::kIntValue:
        return double(qint32(value.int_value()));
    case Payload_PropertyValue::kLongValue:
        return double(qint64(value.long_value()));
    default:
        return std::nullopt;
    }
}

// The properties "writable" (Boolean), "min" and "max" (numbers) of a metric.
void commandLimitsOf(const Payload_Metric &metric, bool &writable, std::optional<double> &min,
    std::optional<double> &max)
{
    if (!metric.has_properties())
        return;
    const auto &properties = metric.properties();
    const int count = std::min(properties.keys_size(), properties.values_size());
    for (int i = 0; i < count; ++i) {
        const std::string &key = properties.keys(i);
        const Payload_PropertyValue &value = properties.values(i);
        if (key == "writable" && value.value_case() == Payload_PropertyValue::kBooleanValue)
            writable = value.boolean_value();
        else if (key == "min")
            min = numberOf(value);
        else if (key == "max")
            max = numberOf(value);
    }
}

bool readBdSeq(const Payload_Metric &metric, quint64 &bdSeq)
{
    if (metric.value_case() == Payload_Metric::kLongValue)
        bdSeq = metric.long_value();
    else if (metric.value_case() == Payload_Metric::kIntValue)
        bdSeq = metric.int_value();
    else
        return false;
    return true;
}

} // namespace

SparkplugLayout::SparkplugLayout(const QString &groupId, const QString &host)
    : group(groupId)
    , hostId(host)
    , stateTopic(QStringLiteral("spBv1.0/STATE/%1").arg(host).toUtf8())
{ }

SparkplugLayout::~SparkplugLayout() = default;

QList<QByteArray> SparkplugLayout::subscriptions() const
{
    return { QStringLiteral("spBv1.0/%1/#").arg(group).toUtf8(), stateTopic };
}

QByteArray SparkplugLayout::stateMessage(bool isOnline) const
{
    return QJsonDocument(QJsonObject { { "online", isOnline }, { "timestamp", stateTime } })
        .toJson(QJsonDocument::Compact);
}

std::optional<PlantPublish> SparkplugLayout::will(qint64 now)
{
    stateTime = now;
    return PlantPublish { stateTopic, stateMessage(false), 1, true };
}

void SparkplugLayout::connected(qint64 now, PlantOutput &out)
{
    Q_UNUSED(now);
    online = true;
    out.publishes.append({ stateTopic, stateMessage(true), 1, true });
}

void SparkplugLayout::receive(
    const QByteArray &topic, const QByteArray &payload, qint64 now, PlantOutput &out)
{
    const QStringList parts = QString::fromUtf8(topic).split(QLatin1Char('/'));
    if (parts.size() == 3 && parts[0] == namespaceRoot && parts[1] == QLatin1String("STATE")) {
        if (topic != stateTopic)
            return;
        // Someone else wrote our state (or the broker kept an old will): say again that we are
        // here.
        const QJsonObject state = QJsonDocument::fromJson(payload).object();
        if (online && !state.value(QLatin1String("online")).toBool(false))
            out.publishes.append({ stateTopic, stateMessage(true), 1, true });
        return;
    }

    const bool nodeTopic = parts.size() == 4;
    const bool deviceTopic = parts.size() == 5;
    const QString type = parts.value(2);
    const bool nodeType = type == QLatin1String("NBIRTH") || type == QLatin1String("NDATA")
        || type == QLatin1String("NDEATH") || type == QLatin1String("NCMD");
    const bool deviceType = type == QLatin1String("DBIRTH") || type == QLatin1String("DDATA")
        || type == QLatin1String("DDEATH") || type == QLatin1String("DCMD");
    if (parts[0] != namespaceRoot || parts.value(1) != group || parts.value(3).isEmpty()
        || !((nodeTopic && nodeType) || (deviceTopic && deviceType && !parts[4].isEmpty()))) {
        reportOnce(QStringLiteral("topic ") + QString::fromUtf8(topic),
            QStringLiteral("Sparkplug: the topic \"%1\" is not of the form "
                           "spBv1.0/%2/<message type>/<edge node>[/<device>]; ignored.")
                .arg(QString::fromUtf8(topic), group),
            out);
        return;
    }
    if (type == QLatin1String("NCMD") || type == QLatin1String("DCMD"))
        return; // commands, ours or another host's

    const QString edge = parts[3];
    const QString device = deviceTopic ? parts[4] : QString();
    const QString source = deviceTopic ? QStringLiteral("Sparkplug device %1/%2").arg(edge, device)
                                       : QStringLiteral("Sparkplug node %1").arg(edge);
    if (payload.size() > maxPayload) {
        reportOnce(QStringLiteral("size ") + source,
            QStringLiteral("%1: a %2 payload of %3 bytes is over 4 MiB; ignored.")
                .arg(source, type)
                .arg(payload.size()),
            out);
        return;
    }
    auto message = std::make_shared<Payload>();
    if (!message->ParseFromArray(payload.constData(), int(payload.size()))) {
        reportOnce(QStringLiteral("payload ") + source,
            QStringLiteral("%1: a %2 payload is not a Sparkplug B payload; ignored.")
                .arg(source, type),
            out);
        return;
    }

    if (type == QLatin1String("NBIRTH"))
        nodeBirth(edge, *message, now, out);
    else if (type == QLatin1String("NDEATH"))
        nodeDeath(edge, *message, now, out);
    else if (type == QLatin1String("NDATA"))
        sequenced(edge, Kind::NodeData, device, std::move(message), now, out);
    else if (type == QLatin1String("DBIRTH"))
        sequenced(edge, Kind::DeviceBirth, device, std::move(message), now, out);
    else if (type == QLatin1String("DDATA"))
        sequenced(edge, Kind::DeviceData, device, std::move(message), now, out);
    else
        sequenced(edge, Kind::DeviceDeath, device, std::move(message), now, out);
}

SparkplugLayout::Source &SparkplugLayout::source(const QString &node, const QString &device)
{
    const QString key = device.isEmpty() ? node : node + QLatin1Char('/') + device;
    auto found = sourceIndex.constFind(key);
    if (found != sourceIndex.constEnd())
        return sources[*found];
    const int index = int(sources.size());
    sources.push_back(Source { node, device, false, {}, {}, {} });
    sourceIndex.insert(key, index);
    Node &owner = nodes[node];
    if (device.isEmpty())
        owner.sources.prepend(index);
    else
        owner.sources.append(index);
    return sources.back();
}

SparkplugLayout::Source *SparkplugLayout::findSource(const QString &node, const QString &device)
{
    const QString key = device.isEmpty() ? node : node + QLatin1Char('/') + device;
    auto found = sourceIndex.constFind(key);
    return found == sourceIndex.constEnd() ? nullptr : &sources[*found];
}

void SparkplugLayout::nodeBirth(
    const QString &edge, const Payload &payload, qint64 now, PlantOutput &out)
{
    source(edge, QString());
    Node &node = nodes[edge];
    node.held.clear();
    node.heldDeadline = 0;
    node.born = true;
    node.everBorn = true;
    node.expected = int((payload.seq() + 1) % 256);
    node.hasBdSeq = false;
    for (const Payload_Metric &metric : payload.metrics()) {
        if (metric.name() == "bdSeq" && readBdSeq(metric, node.bdSeq)) {
            node.hasBdSeq = true;
            break;
        }
    }
    // The devices are born again after their node, each with its own birth.
    for (int index : std::as_const(node.sources)) {
        if (sources[index].device.isEmpty())
            continue;
        turnBad(sources[index], now, out);
        forget(index, now, out);
    }
    bear(sourceIndex.value(edge), payload, now, out);
    updateCatalogue(out);
}

void SparkplugLayout::nodeDeath(
    const QString &edge, const Payload &payload, qint64 now, PlantOutput &out)
{
    auto found = nodes.find(edge);
    if (found == nodes.end() || !found->second.born)
        return;
    Node &node = found->second;
    for (const Payload_Metric &metric : payload.metrics()) {
        quint64 bdSeq = 0;
        if (metric.name() == "bdSeq" && readBdSeq(metric, bdSeq)) {
            if (node.hasBdSeq && bdSeq != node.bdSeq) {
                out.reports.append(
                    QStringLiteral("Sparkplug node %1: a death with bdSeq %2 does not match its "
                                   "birth's (%3), an old will; ignored.")
                        .arg(edge)
                        .arg(bdSeq)
                        .arg(node.bdSeq));
                return;
            }
            break;
        }
    }
    flushHeld(edge, node, false, now, out);
    node.born = false;
    for (int index : std::as_const(node.sources)) {
        sources[index].born = false;
        turnBad(sources[index], now, out);
    }
    out.reports.append(QStringLiteral("Sparkplug node %1 is offline.").arg(edge));
}

void SparkplugLayout::sequenced(const QString &edge, Kind kind, const QString &device,
    std::shared_ptr<Payload> payload, qint64 now, PlantOutput &out)
{
    Node &node = nodes[edge];
    if (!node.born) {
        static const char *const names[] = { "NDATA", "DBIRTH", "DDATA", "DDEATH" };
        askRebirth(edge, node,
            QStringLiteral("%1 %2").arg(QLatin1String(names[int(kind)]),
                node.everBorn ? QStringLiteral("after its death")
                              : QStringLiteral("before its birth")),
            false, now, out);
        return;
    }
    if (!payload->has_seq()) {
        apply(edge, kind, device, *payload, now, out);
        return;
    }
    const int seq = int(payload->seq() % 256);
    if (seq == node.expected) {
        apply(edge, kind, device, *payload, now, out);
        node.expected = (seq + 1) % 256;
        drain(edge, node, now, out);
        return;
    }
    // A number seen twice while waiting means the counter went round: the
    // missing message is not coming.
    if (node.held.count(seq) > 0) {
        flushHeld(edge, node, true, now, out);
        if (seq == node.expected) {
            apply(edge, kind, device, *payload, now, out);
            node.expected = (seq + 1) % 256;
            return;
        }
    }
    if (node.held.empty())
        node.heldDeadline = now + reorderTimeout;
    node.held.emplace(seq, Held { kind, device, std::move(payload) });
}

void SparkplugLayout::drain(const QString &edge, Node &node, qint64 now, PlantOutput &out)
{
    for (auto next = node.held.find(node.expected); next != node.held.end();
         next = node.held.find(node.expected)) {
        const Held held = std::move(next->second);
        node.held.erase(next);
        apply(edge, held.kind, held.device, *held.payload, now, out);
        node.expected = (node.expected + 1) % 256;
    }
    if (node.held.empty())
        node.heldDeadline = 0;
}

void SparkplugLayout::flushHeld(
    const QString &edge, Node &node, bool rebirth, qint64 now, PlantOutput &out)
{
    if (node.held.empty())
        return;
    // In order of seq from the expected one on, round the counter.
    std::vector<std::pair<int, Held>> ordered;
    ordered.reserve(node.held.size());
    for (auto &[seq, held] : node.held)
        ordered.emplace_back(seq, std::move(held));
    node.held.clear();
    node.heldDeadline = 0;
    const int expected = node.expected;
    std::stable_sort(ordered.begin(), ordered.end(), [expected](const auto &a, const auto &b) {
        return (a.first - expected + 256) % 256 < (b.first - expected + 256) % 256;
    });
    const QString jump = QStringLiteral("seq jumped from %1 to %2")
                             .arg((expected + 255) % 256)
                             .arg(ordered.front().first);
    for (const auto &[seq, held] : ordered) {
        apply(edge, held.kind, held.device, *held.payload, now, out);
        node.expected = (seq + 1) % 256;
    }
    if (rebirth)
        askRebirth(edge, node, jump, true, now, out);
}

void SparkplugLayout::apply(const QString &edge, Kind kind, const QString &device,
    const Payload &payload, qint64 now, PlantOutput &out)
{
    switch (kind) {
    case Kind::NodeData:
        data(edge, QString(), payload, now, out);
        break;
    case Kind::DeviceBirth:
        deviceBirth(edge, device, payload, now, out);
        break;
    case Kind::DeviceData:
        data(edge, device, payload, now, out);
        break;
    case Kind::DeviceDeath:
        if (Source *found = findSource(edge, device); found && found->born) {
            found->born = false;
            turnBad(*found, now, out);
        }
        break;
    }
}

void SparkplugLayout::deviceBirth(const QString &edge, const QString &device,
    const Payload &payload, qint64 now, PlantOutput &out)
{
    source(edge, device);
    bear(sourceIndex.value(edge + QLatin1Char('/') + device), payload, now, out);
    updateCatalogue(out);
}

void SparkplugLayout::data(const QString &edge, const QString &device, const Payload &payload,
    qint64 now, PlantOutput &out)
{
    Source *from = findSource(edge, device);
    if (from == nullptr || !from->born) {
        askRebirth(edge, nodes[edge],
            device.isEmpty()
                ? QStringLiteral("NDATA before its birth")
                : QStringLiteral("DDATA of the device %1 before its birth").arg(device),
            false, now, out);
        return;
    }
    for (const Payload_Metric &metric : payload.metrics()) {
        int index = -1;
        if (metric.has_alias()) {
            index = from->byAlias.value(metric.alias(), -1);
            if (index < 0) {
                const QString key
                    = QStringLiteral("%1/%2 alias %3").arg(edge, device).arg(metric.alias());
                reportOnce(key,
                    QStringLiteral(
                        "Sparkplug %1: no metric has the alias %2; its values are ignored.")
                        .arg(device.isEmpty() ? QStringLiteral("node ") + edge
                                              : QStringLiteral("device %1/%2").arg(edge, device))
                        .arg(metric.alias()),
                    out);
                continue;
            }
        } else {
            const QString name = QString::fromStdString(metric.name());
            index = from->byName.value(name, -1);
            if (index < 0) {
                if (name != bdSeqName && !name.startsWith(nodeControlPrefix)) {
                    reportOnce(QStringLiteral("%1/%2 name %3").arg(edge, device, name),
                        QStringLiteral(
                            "Sparkplug %1: no metric \"%2\" was born; its values are ignored.")
                            .arg(device.isEmpty()
                                    ? QStringLiteral("node ") + edge
                                    : QStringLiteral("device %1/%2").arg(edge, device),
                                name),
                        out);
                }
                continue;
            }
        }
        Metric &point = from->metrics[index];
        if (point.id.isEmpty())
            continue;
        point.t = sampleTime(metric, payload, now);
        if (metric.is_null()) {
            point.status = PointStatus::Bad;
        } else {
            const QVariant value = metricValue(metric, point.datatype);
            if (!value.isValid())
                continue;
            point.value = value;
            point.status = PointStatus::Good;
        }
        out.samples.append({ point.id, point.t, point.value, point.status });
    }
}

void SparkplugLayout::bear(int index, const Payload &payload, qint64 now, PlantOutput &out)
{
    Source &into = sources[index];
    // Ids that the new birth no longer carries turn "bad".
    QHash<QString, int> before;
    for (int i = 0; i < into.metrics.size(); ++i) {
        if (!into.metrics[i].id.isEmpty())
            before.insert(into.metrics[i].id, i);
    }
    const QList<Metric> old = into.metrics;
    forget(index, now, out);
    into.born = true;
    const QString who = into.device.isEmpty()
        ? QStringLiteral("node %1").arg(into.node)
        : QStringLiteral("device %1/%2").arg(into.node, into.device);

    into.metrics.reserve(payload.metrics_size());
    for (const Payload_Metric &metric : payload.metrics()) {
        const QString name = QString::fromStdString(metric.name());
        if (name.isEmpty()) {
            reportOnce(QStringLiteral("%1 unnamed").arg(who),
                QStringLiteral("Sparkplug %1: a metric of its birth has no name; ignored.")
                    .arg(who),
                out);
            continue;
        }
        if (into.device.isEmpty() && (name == bdSeqName || name.startsWith(nodeControlPrefix)))
            continue;
        Metric entry;
        entry.name = name;
        entry.hasAlias = metric.has_alias();
        entry.alias = metric.alias();
        entry.datatype = metric.datatype();
        entry.unit = unitOf(metric);
        commandLimitsOf(metric, entry.writable, entry.min, entry.max);
        entry.t = sampleTime(metric, payload, now);
        if (into.byName.contains(name) || (entry.hasAlias && into.byAlias.contains(entry.alias))) {
            reportOnce(QStringLiteral("%1 twice %2").arg(who, name),
                QStringLiteral("Sparkplug %1: its birth names the metric \"%2\" or its alias %3 "
                               "twice; the first one counts.")
                    .arg(who, name)
                    .arg(entry.alias),
                out);
            continue;
        }
        const bool point
            = Sparkplug::isNumeric(entry.datatype) || entry.datatype == Sparkplug::Boolean;
        if (point) {
            entry.id = pointId(into, name, out, now);
            if (metric.is_null()) {
                entry.status = PointStatus::Bad;
                if (auto was = before.constFind(entry.id); was != before.constEnd())
                    entry.value = old[*was].value;
            } else {
                entry.value = metricValue(metric, entry.datatype);
                entry.status = entry.value.isValid() ? PointStatus::Good : PointStatus::Bad;
            }
            points.insert(entry.id, PointRef { index, int(into.metrics.size()) });
            before.remove(entry.id);
            out.samples.append({ entry.id, entry.t, entry.value, entry.status });
        } else {
            reportOnce(QStringLiteral("%1 type %2").arg(who, name),
                QStringLiteral("Sparkplug %1: the metric \"%2\" is of type %3, not a number or a "
                               "flag; it is not a point.")
                    .arg(who, name, Sparkplug::dataTypeName(entry.datatype)),
                out);
        }
        const int at = int(into.metrics.size());
        into.byName.insert(name, at);
        if (entry.hasAlias)
            into.byAlias.insert(entry.alias, at);
        into.metrics.append(entry);
    }
    for (const Metric &metric : old) {
        if (before.contains(metric.id) && !points.contains(metric.id))
            out.samples.append({ metric.id, now, metric.value, PointStatus::Bad });
    }
}

QString SparkplugLayout::pointId(
    const Source &of, const QString &name, PlantOutput &out, qint64 now)
{
    const auto qualified = [](const Source &s, const QString &metric) {
        return s.device.isEmpty() ? QStringLiteral("%1/%2").arg(s.node, metric)
                                  : QStringLiteral("%1/%2/%3").arg(s.node, s.device, metric);
    };
    if (clashed.contains(name))
        return qualified(of, name);
    auto holder = points.constFind(name);
    if (holder == points.constEnd())
        return name;
    // Another node or device has a point of that name: from now on, every
    // point of that name carries its source's name.
    const PointRef ref = *holder;
    points.erase(holder);
    clashed.insert(name);
    Source &other = sources[ref.source];
    Metric &moved = other.metrics[ref.metric];
    moved.id = qualified(other, name);
    points.insert(moved.id, ref);
    out.samples.append({ name, now, moved.value, PointStatus::Bad });
    out.samples.append({ moved.id, moved.t, moved.value, moved.status });
    out.reports.append(QStringLiteral("Sparkplug: the metric \"%1\" is published by more than one "
                                      "node or device; its points are named \"%2\", \"%3\" and "
                                      "so on, and \"%1\" is no longer fed.")
                           .arg(name, moved.id, qualified(of, name)));
    return qualified(of, name);
}

void SparkplugLayout::forget(int index, qint64 now, PlantOutput &out)
{
    Q_UNUSED(now);
    Q_UNUSED(out);
    Source &gone = sources[index];
    for (const Metric &metric : std::as_const(gone.metrics)) {
        if (!metric.id.isEmpty())
            points.remove(metric.id);
    }
    gone.metrics.clear();
    gone.byAlias.clear();
    gone.byName.clear();
    gone.born = false;
}

void SparkplugLayout::turnBad(Source &of, qint64 now, PlantOutput &out)
{
    for (Metric &metric : of.metrics) {
        if (metric.id.isEmpty())
            continue;
        metric.status = PointStatus::Bad;
        metric.t = now;
        out.samples.append({ metric.id, now, metric.value, PointStatus::Bad });
    }
}

void SparkplugLayout::askRebirth(const QString &edge, Node &node, const QString &why,
    bool reportAnyway, qint64 now, PlantOutput &out)
{
    if (node.rebirthAsked && now - node.lastRebirthAsked < reorderTimeout) {
        // Asked a moment ago: only a jump is worth a line, not every early message.
        if (reportAnyway)
            out.reports.append(QStringLiteral("Sparkplug node %1: %2.").arg(edge, why));
        return;
    }
    node.rebirthAsked = true;
    node.lastRebirthAsked = now;
    Payload request;
    request.set_timestamp(quint64(now));
    Payload_Metric *metric = request.add_metrics();
    metric->set_name(rebirthName.toStdString());
    metric->set_datatype(Sparkplug::Boolean);
    metric->set_timestamp(quint64(now));
    metric->set_boolean_value(true);
    const std::string bytes = request.SerializeAsString();
    out.publishes.append({ QStringLiteral("spBv1.0/%1/NCMD/%2").arg(group, edge).toUtf8(),
        QByteArray(bytes.data(), int(bytes.size())), 0, false });
    out.reports.append(QStringLiteral("Sparkplug node %1: %2; rebirth asked.").arg(edge, why));
}

void SparkplugLayout::lost(qint64 now, PlantOutput &out)
{
    online = false;
    for (auto &[edge, node] : nodes) {
        Q_UNUSED(edge);
        node.born = false;
        node.held.clear();
        node.heldDeadline = 0;
    }
    for (Source &of : sources) {
        of.born = false;
        turnBad(of, now, out);
    }
}

qint64 SparkplugLayout::nextDeadline() const
{
    qint64 next = 0;
    for (const auto &[edge, node] : nodes) {
        Q_UNUSED(edge);
        if (node.heldDeadline != 0 && (next == 0 || node.heldDeadline < next))
            next = node.heldDeadline;
    }
    return next;
}

void SparkplugLayout::tick(qint64 now, PlantOutput &out)
{
    for (auto &[edge, node] : nodes) {
        if (node.heldDeadline != 0 && node.heldDeadline <= now)
            flushHeld(edge, node, true, now, out);
    }
}

bool SparkplugLayout::command(const QString &id, const QJsonValue &value,
    const CommandOrigin &origin, qint64 now, PlantPublish &publish, QString &problem)
{
    // A Sparkplug command carries metrics only; the journal keeps who sent it.
    Q_UNUSED(origin);
    auto found = points.constFind(id);
    if (found == points.constEnd()) {
        problem = QStringLiteral("No Sparkplug metric is the point \"%1\".").arg(id);
        return false;
    }
    const Source &to = sources[found->source];
    const Metric &metric = to.metrics[found->metric];
    const auto node = nodes.find(to.node);
    if (node == nodes.end() || !node->second.born || !to.born) {
        problem = to.device.isEmpty()
            ? QStringLiteral("The Sparkplug node %1 of the point \"%2\" is offline.")
                  .arg(to.node, id)
            : QStringLiteral("The Sparkplug device %1/%2 of the point \"%3\" is offline.")
                  .arg(to.node, to.device, id);
        return false;
    }

    Payload request;
    request.set_timestamp(quint64(now));
    Payload_Metric *out = request.add_metrics();
    if (metric.hasAlias)
        out->set_alias(metric.alias);
    else
        out->set_name(metric.name.toStdString());
    out->set_datatype(metric.datatype);
    out->set_timestamp(quint64(now));
    const QString type = Sparkplug::dataTypeName(metric.datatype);

    if (metric.datatype == Sparkplug::Boolean) {
        if (!value.isBool()) {
            problem = QStringLiteral("The point \"%1\" (Sparkplug Boolean) takes true or false.")
                          .arg(id);
            return false;
        }
        out->set_boolean_value(value.toBool());
    } else {
        if (!value.isDouble()) {
            problem
                = QStringLiteral("The point \"%1\" (Sparkplug %2) takes a number.").arg(id, type);
            return false;
        }
        const double number = value.toDouble();
        if (Sparkplug::isInteger(metric.datatype)) {
            struct Range
            {
                double low, high; // high exclusive
            };
            static const Range ranges[] = {
                { -128.0, 128.0 },
                { -32768.0, 32768.0 },
                { -2147483648.0, 2147483648.0 },
                { -9223372036854775808.0, 9223372036854775808.0 },
                { 0.0, 256.0 },
                { 0.0, 65536.0 },
                { 0.0, 4294967296.0 },
                { 0.0, 18446744073709551616.0 },
            };
            const Range range = ranges[metric.datatype - Sparkplug::Int8];
            if (number != std::floor(number)) {
                problem = QStringLiteral(
                    "The point \"%1\" (Sparkplug %2) takes a whole number, not %3.")
                              .arg(id, type)
                              .arg(number);
                return false;
            }
            if (number < range.low || number >= range.high) {
                problem
                    = QStringLiteral("The point \"%1\" (Sparkplug %2) takes %3 to %4; %5 is out "
                                     "of range.")
                          .arg(id, type)
                          .arg(range.low, 0, 'f', 0)
                          .arg(range.high - 1, 0, 'f', 0)
                          .arg(number, 0, 'g', 17);
                return false;
            }
            switch (metric.datatype) {
            case Sparkplug::Int8:
            case Sparkplug::Int16:
            case Sparkplug::Int32:
                out->set_int_value(quint32(qint32(number)));
                break;
            case Sparkplug::Int64:
                out->set_long_value(quint64(qint64(number)));
                break;
            case Sparkplug::UInt64:
                out->set_long_value(quint64(number));
                break;
            default:
                out->set_int_value(quint32(number));
            }
        } else if (metric.datatype == Sparkplug::Float) {
            if (std::abs(number) > double(std::numeric_limits<float>::max())) {
                problem = QStringLiteral("The point \"%1\" (Sparkplug Float) cannot hold %2.")
                              .arg(id)
                              .arg(number);
                return false;
            }
            out->set_float_value(float(number));
        } else {
            out->set_double_value(number);
        }
    }

    const std::string bytes = request.SerializeAsString();
    publish.topic = to.device.isEmpty()
        ? QStringLiteral("spBv1.0/%1/NCMD/%2").arg(group, to.node).toUtf8()
        : QStringLiteral("spBv1.0/%1/DCMD/%2/%3").arg(group, to.node, to.device).toUtf8();
    publish.payload = QByteArray(bytes.data(), int(bytes.size()));
    publish.qos = 0;
    publish.retained = false;
    return true;
}

void SparkplugLayout::updateCatalogue(PlantOutput &out)
{
    QList<PointInfo> next;
    next.reserve(points.size());
    for (const Source &of : sources) {
        for (const Metric &metric : of.metrics) {
            if (metric.id.isEmpty())
                continue;
            PointInfo info { metric.id,
                metric.datatype == Sparkplug::Boolean ? QStringLiteral("discrete")
                                                      : QStringLiteral("analog"),
                metric.unit, QString() };
            info.writable = metric.writable;
            info.min = metric.min;
            info.max = metric.max;
            next.append(info);
        }
    }
    if (next == currentCatalogue)
        return;
    currentCatalogue = next;
    out.catalogue = next;
}

QList<PointInfo> SparkplugLayout::catalogue() const
{
    return currentCatalogue;
}

void SparkplugLayout::reportOnce(const QString &key, const QString &line, PlantOutput &out)
{
    if (reported.contains(key))
        return;
    if (reported.size() >= maxReported) {
        if (reported.size() == maxReported) {
            reported.insert(QString());
            out.reports.append(QStringLiteral("Sparkplug: too many problems; further ones are "
                                              "not reported."));
        }
        return;
    }
    reported.insert(key);
    out.reports.append(line);
}
