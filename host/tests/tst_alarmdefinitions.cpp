// The alarm definitions file: every problem of a bad file named at once, the
// records read with their defaults, and the built-in set.

#include "alarmdefinition.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

namespace {

QByteArray listOf(const QByteArray &records)
{
    return '[' + records + ']';
}

} // namespace

class TestAlarmDefinitions : public QObject
{
    Q_OBJECT

private slots:
    void refusesBadFiles_data();
    void refusesBadFiles();
    void readsRecordsWithTheirDefaults();
    void refusesTooManyRecords();
    void builtInSetParses();
};

void TestAlarmDefinitions::refusesBadFiles_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QStringList>("errors");

    const QByteArray good
        = R"({"id": "a", "pointId": "P", "kind": "hi", "limit": 1, "priority": 2, "message": "m"})";

    QTest::newRow("not JSON") << QByteArray(R"([{"id": "a",)")
                              << QStringList {
                                     "the file is not JSON: unterminated object at offset 12"
                                 };
    QTest::newRow("an object") << QByteArray(R"({"alarms": []})")
                               << QStringList {
                                      "the top level is an object; it must be a list of alarms"
                                  };
    QTest::newRow("a number") << QByteArray("5")
                              << QStringList { "the top level must be a list of alarms" };
    QTest::newRow("text") << QByteArray(R"("alarms")")
                          << QStringList { "the top level must be a list of alarms" };
    QTest::newRow("empty") << QByteArray(" \n")
                           << QStringList { "the file is empty; it must be a list of alarms" };
    QTest::newRow("a record that is not an object")
        << listOf(good + ", 5") << QStringList { "record 2: not an object" };
    QTest::newRow("a typo in a field name")
        << listOf(R"({"id": "a", "pointId": "P", "kind": "hi", "limt": 1, "priority": 2,
                     "message": "m"})")
        << QStringList { R"(record 1 ("a"): unknown field "limt")",
               R"(record 1 ("a"): "limit" is missing for kind hi)" };
    QTest::newRow("everything missing")
        << listOf("{}")
        << QStringList { R"(record 1: "id" is missing)", R"(record 1: "pointId" is missing)",
               R"(record 1: "kind" is missing)", R"(record 1: "priority" is missing)",
               R"(record 1: "message" is missing)" };
    QTest::newRow("wrong types")
        << listOf(R"({"id": 7, "pointId": "", "kind": "high", "priority": "1", "message": [],
                     "area": 3, "latched": "yes"})")
        << QStringList { R"(record 1: "id" is not a string)", R"(record 1: "pointId" is empty)",
               R"(record 1: "kind" is not one of hihi, hi, lo, lolo, state, quality)",
               R"(record 1: "priority" is not a whole number from 1 to 4)",
               R"(record 1: "message" is not a string)", R"(record 1: "area" is not a string)",
               R"(record 1: "latched" is not a boolean)" };
    QTest::newRow("too long") << listOf(
        QStringLiteral(R"({"id": "%1", "pointId": "%1", "kind": "quality",
                                     "priority": 1, "message": "%2", "area": "%1"})")
            .arg(QString(201, QLatin1Char('x')), QString(501, QLatin1Char('m')))
            .toUtf8())
                              << QStringList { R"(record 1: "id" is longer than 200 characters)",
                                     R"(record 1: "pointId" is longer than 200 characters)",
                                     R"(record 1: "message" is longer than 500 characters)",
                                     R"(record 1: "area" is longer than 200 characters)" };
    QTest::newRow("the same id twice, both records named")
        << listOf(good + ", " + good + ", " + good)
        << QStringList { R"(record 2 ("a"): the id is already used by record 1)",
               R"(record 3 ("a"): the id is already used by record 1)" };
    QTest::newRow("limit and value where they do not apply")
        << listOf(R"({"id": "s", "pointId": "P", "kind": "state", "limit": 1, "deadband": 1,
                     "priority": 2, "message": "m"},
                    {"id": "q", "pointId": "P", "kind": "quality", "value": true, "priority": 2,
                     "message": "m"},
                    {"id": "h", "pointId": "P", "kind": "lolo", "limit": 1, "value": 2,
                     "priority": 2, "message": "m"})")
        << QStringList { R"(record 1 ("s"): "limit" does not apply to kind state)",
               R"(record 1 ("s"): "value" is missing for kind state)",
               R"(record 1 ("s"): "deadband" does not apply to kind state)",
               R"(record 2 ("q"): "value" does not apply to kind quality)",
               R"(record 3 ("h"): "value" does not apply to kind lolo)" };
    QTest::newRow("bad limit, value and deadband")
        << listOf(R"({"id": "a", "pointId": "P", "kind": "hi", "limit": "7", "deadband": -1,
                     "priority": 2, "message": "m"},
                    {"id": "b", "pointId": "P", "kind": "state", "value": "on", "priority": 2,
                     "message": "m"})")
        << QStringList { R"(record 1 ("a"): "limit" is not a finite number)",
               R"(record 1 ("a"): "deadband" is not a finite number of at least 0)",
               R"(record 2 ("b"): "value" is not a number or a boolean)" };
    QTest::newRow("delays and priority out of range")
        << listOf(R"({"id": "a", "pointId": "P", "kind": "quality", "onDelayMs": 1.5,
                     "offDelayMs": 86400001, "priority": 5, "message": "m"},
                    {"id": "b", "pointId": "P", "kind": "quality", "onDelayMs": -1,
                     "priority": 0, "message": "m"})")
        << QStringList { R"(record 1 ("a"): "onDelayMs" is not a whole number from 0 to 86400000)",
               R"(record 1 ("a"): "offDelayMs" is not a whole number from 0 to 86400000)",
               R"(record 1 ("a"): "priority" is not a whole number from 1 to 4)",
               R"(record 2 ("b"): "onDelayMs" is not a whole number from 0 to 86400000)",
               R"(record 2 ("b"): "priority" is not a whole number from 1 to 4)" };
}

void TestAlarmDefinitions::refusesBadFiles()
{
    QFETCH(QByteArray, json);
    QFETCH(QStringList, errors);

    QList<AlarmDefinition> definitions { AlarmDefinition() };
    QStringList reasons;
    QVERIFY(!AlarmDefinitions::parse(json, definitions, reasons));
    QCOMPARE(reasons, errors);
    QCOMPARE(definitions.size(), 1); // nothing taken
}

void TestAlarmDefinitions::readsRecordsWithTheirDefaults()
{
    const QByteArray json = R"([
        {"id": "lo", "pointId": "LT-1", "kind": "lo", "limit": -2.5, "priority": 4,
         "message": "низкий"},
        {"id": "run", "pointId": "NS-1", "kind": "state", "value": true, "onDelayMs": 0,
         "offDelayMs": 86400000, "priority": 1, "message": "работает", "area": "Цех",
         "latched": true},
        {"id": "two", "pointId": "M-1", "kind": "state", "value": 2, "priority": 3,
         "message": "режим 2"},
        {"id": "hi", "pointId": "TE-1", "kind": "hihi", "limit": 90, "deadband": 0.5,
         "onDelayMs": 3000, "priority": 2, "message": "горячо"}
    ])";
    QList<AlarmDefinition> definitions;
    QStringList errors;
    QVERIFY2(AlarmDefinitions::parse(json, definitions, errors), qPrintable(errors.join('\n')));
    QCOMPARE(definitions.size(), 4);

    const AlarmDefinition &lo = definitions[0];
    QCOMPARE(lo.kind, AlarmDefinition::Kind::Lo);
    QCOMPARE(lo.limit, -2.5);
    QCOMPARE(lo.deadband, 0.0);
    QCOMPARE(lo.onDelayMs, 0);
    QVERIFY(!lo.latched);
    QVERIFY(lo.area.isEmpty());

    const AlarmDefinition &run = definitions[1];
    QCOMPARE(run.value.typeId(), QMetaType::Bool);
    QCOMPARE(run.value.toBool(), true);
    QCOMPARE(run.offDelayMs, 86400000);
    QVERIFY(run.latched);
    QCOMPARE(run.area, QStringLiteral("Цех"));
    QCOMPARE(definitions[2].value.typeId(), QMetaType::Double);
    QCOMPARE(definitions[3].deadband, 0.5);

    // Defaults are left out when written back; the records read back the same.
    QCOMPARE(AlarmDefinitions::toJson(lo).keys(),
        (QStringList { "id", "kind", "limit", "message", "pointId", "priority" }));
    QJsonArray written;
    for (const AlarmDefinition &definition : std::as_const(definitions))
        written.append(AlarmDefinitions::toJson(definition));
    QList<AlarmDefinition> again;
    QVERIFY(AlarmDefinitions::parse(QJsonDocument(written).toJson(), again, errors));
    QCOMPARE(again, definitions);
    // true and 1 are different state values.
    AlarmDefinition one = run;
    one.value = 1.0;
    QVERIFY(one != run);
}

void TestAlarmDefinitions::refusesTooManyRecords()
{
    QJsonArray records;
    for (int i = 0; i <= 20000; ++i)
        records.append(QJsonObject { { "id", QString::number(i) } });
    QList<AlarmDefinition> definitions;
    QStringList errors;
    QVERIFY(!AlarmDefinitions::parse(QJsonDocument(records).toJson(), definitions, errors));
    QCOMPARE(errors, QStringList { "the file holds 20001 alarms; at most 20000 are allowed" });
}

void TestAlarmDefinitions::builtInSetParses()
{
    const QList<AlarmDefinition> builtIn = AlarmDefinitions::builtIn();
    QJsonArray records;
    for (const AlarmDefinition &definition : builtIn)
        records.append(AlarmDefinitions::toJson(definition));
    QList<AlarmDefinition> parsed;
    QStringList errors;
    QVERIFY2(AlarmDefinitions::parse(QJsonDocument(records).toJson(), parsed, errors),
        qPrintable(errors.join('\n')));
    QCOMPARE(parsed, builtIn);

    auto byId = [&](const QString &id) {
        for (const AlarmDefinition &definition : builtIn) {
            if (definition.id == id)
                return definition;
        }
        return AlarmDefinition();
    };
    const AlarmDefinition level = byId("LT-102-lo");
    QCOMPARE(level.pointId, QStringLiteral("LT-102"));
    QCOMPARE(level.kind, AlarmDefinition::Kind::Lo);
    QCOMPARE(level.limit, 25.0);
    QCOMPARE(level.priority, 2);
    QCOMPARE(level.message, QStringLiteral("Б-2 низкий уровень"));
    const AlarmDefinition warning = byId("VB-205-hi");
    QCOMPARE(warning.kind, AlarmDefinition::Kind::Hi);
    QCOMPARE(warning.limit, 7.0);
    QCOMPARE(warning.deadband, 0.2);
    QCOMPARE(warning.priority, 3);
    QCOMPARE(warning.message, QStringLiteral("Вибрация опоры: предупреждение"));
    const AlarmDefinition trip = byId("VB-205-hihi");
    QCOMPARE(trip.kind, AlarmDefinition::Kind::HiHi);
    QCOMPARE(trip.limit, 11.0);
    QCOMPARE(trip.priority, 1);
    QVERIFY(trip.latched);
    QCOMPARE(trip.message, QStringLiteral("Вибрация опоры: авария"));

    const QStringList areas { "Насосная станция", "Газотурбинная установка", "Тепловой пункт" };
    bool quality = false;
    for (const AlarmDefinition &definition : builtIn) {
        QVERIFY2(areas.contains(definition.area), qPrintable(definition.id));
        quality = quality || definition.kind == AlarmDefinition::Kind::Quality;
    }
    QVERIFY(quality);
}

QTEST_GUILESS_MAIN(TestAlarmDefinitions)
#include "tst_alarmdefinitions.moc"
