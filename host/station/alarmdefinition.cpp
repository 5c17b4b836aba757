#include "alarmdefinition.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSet>

#include <cmath>

namespace {

constexpr int maxRecords = 20000;
constexpr int maxIdLength = 200;
constexpr int maxMessageLength = 500;
constexpr int maxAreaLength = 200;
constexpr qint64 maxDelayMs = 24 * 60 * 60 * 1000;

const AlarmDefinition::Kind allKinds[] = { AlarmDefinition::Kind::HiHi, AlarmDefinition::Kind::Hi,
    AlarmDefinition::Kind::Lo, AlarmDefinition::Kind::LoLo, AlarmDefinition::Kind::State,
    AlarmDefinition::Kind::Quality };

bool kindFromName(const QString &name, AlarmDefinition::Kind &kind)
{
    for (AlarmDefinition::Kind candidate : allKinds) {
        if (name == AlarmDefinitions::kindName(candidate)) {
            kind = candidate;
            return true;
        }
    }
    return false;
}

bool isLimitKind(AlarmDefinition::Kind kind)
{
    return kind != AlarmDefinition::Kind::State && kind != AlarmDefinition::Kind::Quality;
}

bool isWholeNumber(const QJsonValue &value, double low, double high)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    return std::isfinite(number) && std::floor(number) == number && number >= low && number <= high;
}

// Reads one record into `definition`; every problem goes to `problems`.
void readRecord(const QJsonObject &record, AlarmDefinition &definition, QStringList &problems)
{
    static const QSet<QString> known
        = { QStringLiteral("id"), QStringLiteral("pointId"), QStringLiteral("kind"),
              QStringLiteral("limit"), QStringLiteral("value"), QStringLiteral("deadband"),
              QStringLiteral("onDelayMs"), QStringLiteral("offDelayMs"), QStringLiteral("priority"),
              QStringLiteral("message"), QStringLiteral("area"), QStringLiteral("latched") };
    for (auto field = record.begin(); field != record.end(); ++field) {
        if (!known.contains(field.key()))
            problems << QStringLiteral("unknown field \"%1\"").arg(field.key());
    }

    auto requiredText = [&](const QString &name, int maxLength, QString &into) {
        const QJsonValue value = record.value(name);
        if (value.isUndefined())
            problems << QStringLiteral("\"%1\" is missing").arg(name);
        else if (!value.isString())
            problems << QStringLiteral("\"%1\" is not a string").arg(name);
        else if (value.toString().isEmpty())
            problems << QStringLiteral("\"%1\" is empty").arg(name);
        else if (value.toString().size() > maxLength)
            problems
                << QStringLiteral("\"%1\" is longer than %2 characters").arg(name).arg(maxLength);
        else
            into = value.toString();
    };
    requiredText(QStringLiteral("id"), maxIdLength, definition.id);
    requiredText(QStringLiteral("pointId"), maxIdLength, definition.pointId);

    const QJsonValue kind = record.value(QStringLiteral("kind"));
    bool kindKnown = false;
    if (kind.isUndefined())
        problems << QStringLiteral("\"kind\" is missing");
    else if (!kind.isString() || !kindFromName(kind.toString(), definition.kind))
        problems << QStringLiteral("\"kind\" is not one of hihi, hi, lo, lolo, state, quality");
    else
        kindKnown = true;

    const QJsonValue limit = record.value(QStringLiteral("limit"));
    const QJsonValue value = record.value(QStringLiteral("value"));
    const QJsonValue deadband = record.value(QStringLiteral("deadband"));
    if (kindKnown) {
        const QString kindText = kind.toString();
        if (isLimitKind(definition.kind)) {
            if (limit.isUndefined())
                problems << QStringLiteral("\"limit\" is missing for kind %1").arg(kindText);
            else if (!limit.isDouble() || !std::isfinite(limit.toDouble()))
                problems << QStringLiteral("\"limit\" is not a finite number");
            else
                definition.limit = limit.toDouble();
        } else if (!limit.isUndefined()) {
            problems << QStringLiteral("\"limit\" does not apply to kind %1").arg(kindText);
        }
        if (definition.kind == AlarmDefinition::Kind::State) {
            if (value.isUndefined())
                problems << QStringLiteral("\"value\" is missing for kind state");
            else if (value.isBool())
                definition.value = value.toBool();
            else if (value.isDouble() && std::isfinite(value.toDouble()))
                definition.value = value.toDouble();
            else
                problems << QStringLiteral("\"value\" is not a number or a boolean");
        } else if (!value.isUndefined()) {
            problems << QStringLiteral("\"value\" does not apply to kind %1").arg(kindText);
        }
        if (!deadband.isUndefined() && !isLimitKind(definition.kind))
            problems << QStringLiteral("\"deadband\" does not apply to kind %1").arg(kindText);
    }
    if (!deadband.isUndefined() && (!kindKnown || isLimitKind(definition.kind))) {
        if (!deadband.isDouble() || !std::isfinite(deadband.toDouble()) || deadband.toDouble() < 0)
            problems << QStringLiteral("\"deadband\" is not a finite number of at least 0");
        else
            definition.deadband = deadband.toDouble();
    }

    auto delay = [&](const QString &name, qint64 &into) {
        const QJsonValue field = record.value(name);
        if (field.isUndefined())
            return;
        if (isWholeNumber(field, 0, double(maxDelayMs)))
            into = qint64(field.toDouble());
        else
            problems << QStringLiteral("\"%1\" is not a whole number from 0 to %2")
                            .arg(name)
                            .arg(maxDelayMs);
    };
    delay(QStringLiteral("onDelayMs"), definition.onDelayMs);
    delay(QStringLiteral("offDelayMs"), definition.offDelayMs);

    const QJsonValue priority = record.value(QStringLiteral("priority"));
    if (priority.isUndefined())
        problems << QStringLiteral("\"priority\" is missing");
    else if (!isWholeNumber(priority, 1, 4))
        problems << QStringLiteral("\"priority\" is not a whole number from 1 to 4");
    else
        definition.priority = priority.toInt();

    requiredText(QStringLiteral("message"), maxMessageLength, definition.message);

    const QJsonValue area = record.value(QStringLiteral("area"));
    if (!area.isUndefined()) {
        if (!area.isString())
            problems << QStringLiteral("\"area\" is not a string");
        else if (area.toString().size() > maxAreaLength)
            problems << QStringLiteral("\"area\" is longer than %1 characters").arg(maxAreaLength);
        else
            definition.area = area.toString();
    }

    const QJsonValue latched = record.value(QStringLiteral("latched"));
    if (!latched.isUndefined()) {
        if (!latched.isBool())
            problems << QStringLiteral("\"latched\" is not a boolean");
        else
            definition.latched = latched.toBool();
    }
}

AlarmDefinition limitAlarm(const QString &id, const QString &point, AlarmDefinition::Kind kind,
    double limit, int priority, const QString &message, const QString &area)
{
    AlarmDefinition definition;
    definition.id = id;
    definition.pointId = point;
    definition.kind = kind;
    definition.limit = limit;
    definition.priority = priority;
    definition.message = message;
    definition.area = area;
    return definition;
}

} // namespace

bool AlarmDefinition::operator==(const AlarmDefinition &other) const
{
    // A state value of true is not the same definition as one of 1.
    return id == other.id && pointId == other.pointId && kind == other.kind && limit == other.limit
        && value.typeId() == other.value.typeId() && value == other.value
        && deadband == other.deadband && onDelayMs == other.onDelayMs
        && offDelayMs == other.offDelayMs && priority == other.priority && message == other.message
        && area == other.area && latched == other.latched;
}

namespace AlarmDefinitions {

QString kindName(AlarmDefinition::Kind kind)
{
    switch (kind) {
    case AlarmDefinition::Kind::HiHi:
        return QStringLiteral("hihi");
    case AlarmDefinition::Kind::Hi:
        return QStringLiteral("hi");
    case AlarmDefinition::Kind::Lo:
        return QStringLiteral("lo");
    case AlarmDefinition::Kind::LoLo:
        return QStringLiteral("lolo");
    case AlarmDefinition::Kind::State:
        return QStringLiteral("state");
    case AlarmDefinition::Kind::Quality:
        return QStringLiteral("quality");
    }
    return QStringLiteral("quality");
}

bool parse(const QByteArray &json, QList<AlarmDefinition> &definitions, QStringList &errors)
{
    errors.clear();
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        // Qt takes only an object or a list at the top; a lone value is JSON all the same.
        QJsonParseError wrappedError;
        const QJsonDocument wrapped = QJsonDocument::fromJson('[' + json + ']', &wrappedError);
        if (json.trimmed().isEmpty())
            errors << QStringLiteral("the file is empty; it must be a list of alarms");
        else if (wrappedError.error == QJsonParseError::NoError && wrapped.array().size() == 1)
            errors << QStringLiteral("the top level must be a list of alarms");
        else
            errors << QStringLiteral("the file is not JSON: %1 at offset %2")
                          .arg(parseError.errorString())
                          .arg(parseError.offset);
        return false;
    }
    if (document.isObject()) {
        errors << QStringLiteral("the top level is an object; it must be a list of alarms");
        return false;
    }
    if (!document.isArray()) {
        errors << QStringLiteral("the top level must be a list of alarms");
        return false;
    }
    const QJsonArray records = document.array();
    if (records.size() > maxRecords) {
        errors << QStringLiteral("the file holds %1 alarms; at most %2 are allowed")
                      .arg(records.size())
                      .arg(maxRecords);
        return false;
    }

    QList<AlarmDefinition> read;
    read.reserve(records.size());
    QHash<QString, int> places; // id -> record number where it first appears
    for (int index = 0; index < records.size(); ++index) {
        const int number = index + 1;
        const QJsonValue record = records.at(index);
        if (!record.isObject()) {
            errors << QStringLiteral("record %1: not an object").arg(number);
            continue;
        }
        AlarmDefinition definition;
        QStringList problems;
        readRecord(record.toObject(), definition, problems);
        if (!definition.id.isEmpty()) {
            const auto first = places.constFind(definition.id);
            if (first != places.constEnd())
                problems << QStringLiteral("the id is already used by record %1").arg(*first);
            else
                places.insert(definition.id, number);
        }
        const QString recordName = definition.id.isEmpty()
            ? QStringLiteral("record %1").arg(number)
            : QStringLiteral("record %1 (\"%2\")").arg(number).arg(definition.id);
        for (const QString &problem : std::as_const(problems))
            errors << recordName + QStringLiteral(": ") + problem;
        read.append(definition);
    }
    if (!errors.isEmpty())
        return false;
    definitions = read;
    return true;
}

QJsonObject toJson(const AlarmDefinition &definition)
{
    QJsonObject record;
    record.insert(QStringLiteral("id"), definition.id);
    record.insert(QStringLiteral("pointId"), definition.pointId);
    record.insert(QStringLiteral("kind"), kindName(definition.kind));
    if (definition.isLimit())
        record.insert(QStringLiteral("limit"), definition.limit);
    if (definition.kind == AlarmDefinition::Kind::State)
        record.insert(QStringLiteral("value"), QJsonValue::fromVariant(definition.value));
    if (definition.isLimit() && definition.deadband != 0)
        record.insert(QStringLiteral("deadband"), definition.deadband);
    if (definition.onDelayMs != 0)
        record.insert(QStringLiteral("onDelayMs"), double(definition.onDelayMs));
    if (definition.offDelayMs != 0)
        record.insert(QStringLiteral("offDelayMs"), double(definition.offDelayMs));
    record.insert(QStringLiteral("priority"), definition.priority);
    record.insert(QStringLiteral("message"), definition.message);
    if (!definition.area.isEmpty())
        record.insert(QStringLiteral("area"), definition.area);
    if (definition.latched)
        record.insert(QStringLiteral("latched"), true);
    return record;
}

QList<AlarmDefinition> builtIn()
{
    using Kind = AlarmDefinition::Kind;
    const QString pumps = QStringLiteral("Насосная станция");
    const QString turbine = QStringLiteral("Газотурбинная установка");
    const QString heating = QStringLiteral("Тепловой пункт");

    QList<AlarmDefinition> alarms;
    // The emulator pulls each value towards its nominal one with a spread of
    // about a twentieth of its range: these limits are crossed now and then.
    alarms << limitAlarm(QStringLiteral("LT-102-lo"), QStringLiteral("LT-102"), Kind::Lo, 25, 2,
        QStringLiteral("Б-2 низкий уровень"), pumps);

    AlarmDefinition pressure = limitAlarm(QStringLiteral("PT-102-hi"), QStringLiteral("PT-102"),
        Kind::Hi, 5.2, 3, QStringLiteral("Давление в коллекторе высокое"), pumps);
    pressure.deadband = 0.1;
    alarms << pressure;

    AlarmDefinition pump;
    pump.id = QStringLiteral("NS-101-stopped");
    pump.pointId = QStringLiteral("NS-101");
    pump.kind = Kind::State;
    pump.value = false;
    pump.priority = 3;
    pump.message = QStringLiteral("Насос Н-1 остановлен");
    pump.area = pumps;
    alarms << pump;

    AlarmDefinition flow;
    flow.id = QStringLiteral("FT-103-quality");
    flow.pointId = QStringLiteral("FT-103");
    flow.kind = Kind::Quality;
    flow.offDelayMs = 2000;
    flow.priority = 3;
    flow.message = QStringLiteral("Расход на выходе: нет достоверного значения");
    flow.area = pumps;
    alarms << flow;

    AlarmDefinition vibration = limitAlarm(QStringLiteral("VB-205-hi"), QStringLiteral("VB-205"),
        Kind::Hi, 7, 3, QStringLiteral("Вибрация опоры: предупреждение"), turbine);
    vibration.deadband = 0.2;
    alarms << vibration;

    AlarmDefinition trip = limitAlarm(QStringLiteral("VB-205-hihi"), QStringLiteral("VB-205"),
        Kind::HiHi, 11, 1, QStringLiteral("Вибрация опоры: авария"), turbine);
    trip.latched = true;
    alarms << trip;

    AlarmDefinition exhaust = limitAlarm(QStringLiteral("TE-202-hi"), QStringLiteral("TE-202"),
        Kind::Hi, 580, 2, QStringLiteral("Температура за турбиной высокая"), turbine);
    exhaust.deadband = 5;
    exhaust.onDelayMs = 2000;
    alarms << exhaust;

    AlarmDefinition supply
        = limitAlarm(QStringLiteral("TE-301-hi"), QStringLiteral("TE-301"), Kind::Hi, 105, 3,
            QStringLiteral("Подача первичного контура: высокая температура"), heating);
    supply.deadband = 1;
    alarms << supply;

    AlarmDefinition circuit = limitAlarm(QStringLiteral("PT-305-lo"), QStringLiteral("PT-305"),
        Kind::Lo, 2, 2, QStringLiteral("Давление контура отопления низкое"), heating);
    circuit.deadband = 0.05;
    alarms << circuit;
    return alarms;
}

} // namespace AlarmDefinitions
