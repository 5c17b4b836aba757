#include "plainlayout.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace {

const QString catalogueLevel = QStringLiteral("$catalogue");

struct Parsed
{
    QJsonValue json;
    QString reason; // empty when parsed
};

// Any JSON text, a bare number or flag included (JSON.parse's rules).
Parsed parseJson(const QByteArray &payload, qsizetype limit)
{
    if (payload.size() > limit)
        return { {},
            QStringLiteral("payload of %1 bytes is over the limit of %2 bytes")
                .arg(payload.size())
                .arg(limit) };
    QByteArray text = payload;
    if (text.startsWith("\xEF\xBB\xBF"))
        text.remove(0, 3);
    // The document takes a list or a record only: a bare value goes in a list.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson('[' + text + ']', &error);
    if (error.error == QJsonParseError::IllegalUTF8String)
        return { {}, QStringLiteral("payload is not UTF-8 text") };
    if (document.isNull() || document.array().size() != 1)
        return { {}, QStringLiteral("payload is not JSON") };
    return { document.array().first(), {} };
}

bool isPointValue(const QJsonValue &value)
{
    return (value.isDouble() && std::isfinite(value.toDouble())) || value.isBool();
}

QVariant variantOf(const QJsonValue &value)
{
    return value.isBool() ? QVariant(value.toBool()) : QVariant(value.toDouble());
}

} // namespace

PlainLayout::ValueReading PlainLayout::readValue(const QByteArray &payload)
{
    ValueReading reading;
    if (payload.isEmpty()) {
        reading.kind = ValueReading::Empty;
        return reading;
    }
    const Parsed parsed = parseJson(payload, maxValuePayload);
    if (!parsed.reason.isEmpty()) {
        reading.reason = parsed.reason;
        return reading;
    }
    const QJsonValue &json = parsed.json;
    if (isPointValue(json)) {
        reading.kind = ValueReading::Value;
        reading.value = variantOf(json);
        return reading;
    }
    if (!json.isObject()) {
        reading.reason = QStringLiteral("payload is neither a number, a flag nor a record");
        return reading;
    }
    const QJsonObject record = json.toObject();
    const QJsonValue value = record.value(QLatin1String("value"));
    if (!isPointValue(value)) {
        reading.reason = QStringLiteral("\"value\" is not a number or a flag");
        return reading;
    }
    const QJsonValue status = record.value(QLatin1String("status"));
    if (!status.isUndefined() && !statusFromName(status.toString(), reading.status)) {
        reading.reason = QStringLiteral("\"status\" is not \"good\", \"bad\" or \"uncertain\"");
        return reading;
    }
    const QJsonValue timestamp = record.value(QLatin1String("timestamp"));
    if (!timestamp.isUndefined()) {
        if (!timestamp.isDouble() || !std::isfinite(timestamp.toDouble())) {
            reading.reason = QStringLiteral("\"timestamp\" is not a number");
            return reading;
        }
        reading.timestamp = qint64(timestamp.toDouble());
    }
    reading.kind = ValueReading::Value;
    reading.value = variantOf(value);
    return reading;
}

PlainLayout::CatalogueReading PlainLayout::readCatalogue(const QByteArray &payload)
{
    CatalogueReading reading;
    if (payload.isEmpty()) {
        reading.kind = CatalogueReading::Empty;
        return reading;
    }
    const Parsed parsed = parseJson(payload, maxCataloguePayload);
    if (!parsed.reason.isEmpty()) {
        reading.reason = parsed.reason;
        return reading;
    }
    if (!parsed.json.isArray()) {
        reading.reason = QStringLiteral("the catalogue is not a list");
        return reading;
    }
    QSet<QString> seen;
    const QJsonArray entries = parsed.json.toArray();
    for (qsizetype index = 0; index < entries.size(); ++index) {
        const QJsonObject entry = entries.at(index).toObject();
        const QJsonValue id = entry.value(QLatin1String("id"));
        if (!entries.at(index).isObject() || !id.isString() || !isTopicSafeId(id.toString())) {
            reading.skipped << QStringLiteral("entry %1: no usable \"id\"").arg(index);
            continue;
        }
        const QString name = id.toString();
        const QString kind = entry.value(QLatin1String("kind")).toString();
        if (kind != QLatin1String("analog") && kind != QLatin1String("discrete")) {
            reading.skipped
                << QStringLiteral("%1: \"kind\" is not \"analog\" or \"discrete\"").arg(name);
            continue;
        }
        if (seen.contains(name)) {
            reading.skipped << QStringLiteral("%1: listed twice").arg(name);
            continue;
        }
        seen.insert(name);
        PointInfo point { name, kind, entry.value(QLatin1String("unit")).toString(),
            entry.value(QLatin1String("description")).toString() };
        point.writable = entry.value(QLatin1String("writable")).toBool();
        for (const auto &[key, limit] :
            { std::pair { "min", &point.min }, std::pair { "max", &point.max } }) {
            const QJsonValue given = entry.value(QLatin1String(key));
            if (given.isDouble() && std::isfinite(given.toDouble()))
                *limit = given.toDouble();
        }
        reading.points.append(point);
    }
    reading.kind = CatalogueReading::Catalogue;
    return reading;
}

bool PlainLayout::isTopicSafeId(const QString &id)
{
    if (id.isEmpty() || id == catalogueLevel)
        return false;
    for (const QChar c : id) {
        if (c == QLatin1Char('/') || c == QLatin1Char('+') || c == QLatin1Char('#')
            || c == QChar(0))
            return false;
    }
    return true;
}

PlainLayout::PlainLayout(const QString &prefix)
    : prefix(prefix.toUtf8() + '/')
{ }

QList<QByteArray> PlainLayout::subscriptions() const
{
    // Every value and the catalogue, but not the commands one level down.
    return { prefix + '+' };
}

void PlainLayout::receive(
    const QByteArray &topic, const QByteArray &payload, qint64 now, PlantOutput &out)
{
    if (!topic.startsWith(prefix))
        return;
    const QString level
        = QString::fromUtf8(topic.constData() + prefix.size(), topic.size() - prefix.size());
    if (level == catalogueLevel) {
        receiveCatalogue(payload, out);
        return;
    }
    if (isTopicSafeId(level))
        receiveValue(level, payload, now, out);
}

void PlainLayout::receiveValue(
    const QString &id, const QByteArray &payload, qint64 now, PlantOutput &out)
{
    auto held = values.find(id);
    if (held == values.end() && values.size() >= maxPoints) {
        if (!overflowReported) {
            out.reports << QStringLiteral("More than %1 points: values of further points are "
                                          "ignored (%2).")
                               .arg(maxPoints)
                               .arg(id);
            overflowReported = true;
        }
        return;
    }
    const ValueReading reading = readValue(payload);
    if (reading.kind == ValueReading::Unreadable) {
        if (!unreadable.contains(id)) {
            unreadable.insert(id);
            out.reports
                << QStringLiteral("Point %1: %2; the point is marked bad.").arg(id, reading.reason);
        }
        turnBad(id, now, out);
        return;
    }
    unreadable.remove(id);
    if (reading.kind == ValueReading::Empty) {
        turnBad(id, now, out);
        return;
    }
    if (published && !publishedIds.contains(id) && !notListed.contains(id)) {
        notListed.insert(id);
        out.reports << QStringLiteral("Point %1 sends values but is not in the catalogue.").arg(id);
    }
    if (held == values.end()) {
        held = values.insert(id, {});
        heardOrder << id;
    }
    held->value = reading.value;
    held->status = reading.status;
    out.samples.append({ id, reading.timestamp.value_or(now), reading.value, reading.status });
}

void PlainLayout::turnBad(const QString &id, qint64 now, PlantOutput &out)
{
    const auto held = values.find(id);
    if (held == values.end() || held->status == PointStatus::Bad)
        return;
    held->status = PointStatus::Bad;
    out.samples.append({ id, now, held->value, PointStatus::Bad });
}

void PlainLayout::reportCatalogue(const QString &text, PlantOutput &out)
{
    if (text != lastCatalogueReport)
        out.reports << text;
    lastCatalogueReport = text;
}

void PlainLayout::receiveCatalogue(const QByteArray &payload, PlantOutput &out)
{
    const CatalogueReading reading = readCatalogue(payload);
    switch (reading.kind) {
    case CatalogueReading::Unreadable:
        reportCatalogue(QStringLiteral("Catalogue: %1; it is ignored.").arg(reading.reason), out);
        return;
    case CatalogueReading::Empty:
        published.reset();
        publishedIds.clear();
        lastCatalogueReport.clear();
        out.catalogue = catalogue();
        return;
    case CatalogueReading::Catalogue:
        break;
    }
    published = reading.points;
    publishedIds.clear();
    for (const PointInfo &point : reading.points)
        publishedIds.insert(point.id);
    notListed.clear();
    if (!reading.skipped.isEmpty()) {
        QString more;
        if (reading.skipped.size() > 5)
            more = QStringLiteral("; and %1 more").arg(reading.skipped.size() - 5);
        reportCatalogue(QStringLiteral("Catalogue: %1 entries skipped: %2%3.")
                            .arg(reading.skipped.size())
                            .arg(reading.skipped.mid(0, 5).join(QStringLiteral("; ")), more),
            out);
    } else {
        lastCatalogueReport.clear();
    }
    out.catalogue = catalogue();
}

void PlainLayout::lost(qint64 now, PlantOutput &out)
{
    for (const QString &id : std::as_const(heardOrder))
        turnBad(id, now, out);
}

bool PlainLayout::command(const QString &id, const QJsonValue &value, const CommandOrigin &origin,
    qint64 now, PlantPublish &publish, QString &problem)
{
    Q_UNUSED(now);
    if (!isTopicSafeId(id)) {
        problem = QStringLiteral("not a point id");
        return false;
    }
    if (!(value.isDouble() && std::isfinite(value.toDouble())) && !value.isBool()
        && !value.isString()) {
        problem = QStringLiteral("its value is not a number, flag or text");
        return false;
    }
    publish.topic = prefix + id.toUtf8() + "/set";
    QJsonObject payload { { QStringLiteral("value"), value } };
    if (!origin.user.isEmpty())
        payload.insert(QStringLiteral("user"), origin.user);
    if (!origin.station.isEmpty())
        payload.insert(QStringLiteral("station"), origin.station);
    publish.payload = QJsonDocument(payload).toJson(QJsonDocument::Compact);
    publish.qos = 1;
    publish.retained = false;
    return true;
}

QList<PointInfo> PlainLayout::catalogue() const
{
    if (published)
        return *published;
    // Without a catalogue: the points heard of, a flag making a point discrete.
    QList<PointInfo> heard;
    heard.reserve(heardOrder.size());
    for (const QString &id : heardOrder) {
        const bool flag = values.value(id).value.typeId() == QMetaType::Bool;
        heard.append({ id, flag ? QStringLiteral("discrete") : QStringLiteral("analog"), {}, {} });
    }
    return heard;
}
