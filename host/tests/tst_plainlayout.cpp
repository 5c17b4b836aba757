// The plain topic layout: payloads read as publishers may send them, the
// catalogue, problems reported once when they begin, values turned "bad" and
// commands to points.

#include "plainlayout.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

const QString prefix = QStringLiteral("site/points");

QByteArray topic(const char *level)
{
    return prefix.toUtf8() + '/' + level;
}

// One line per sample: "id value status t".
QStringList linesOf(const QList<PointSample> &samples)
{
    QStringList lines;
    for (const PointSample &sample : samples)
        lines << QStringLiteral("%1 %2 %3 %4")
                     .arg(sample.id, sample.value.toString(), statusName(sample.status))
                     .arg(sample.t);
    return lines;
}

} // namespace

class TestPlainLayout : public QObject
{
    Q_OBJECT

private slots:
    void readsValuePayloads_data();
    void readsValuePayloads();
    void readsTheCatalogue();
    void reportsUnreadablePayloadsOnce();
    void turnsEveryValueBadWhenTheConnectionIsLost();
    void listsThePointsHeardOfWithoutACatalogue();
    void ignoresTopicsOutsideItsLevel();
    void takesNoMoreThanItsLimitOfPoints();
    void makesCommands();
};

void TestPlainLayout::readsValuePayloads_data()
{
    QTest::addColumn<QByteArray>("payload");
    // "value status timestamp", or "empty", or the reason.
    QTest::addColumn<QString>("reading");

    QTest::newRow("number") << QByteArray("61.5") << "61.5 good -";
    QTest::newRow("number with spaces") << QByteArray(" 7 \n") << "7 good -";
    QTest::newRow("flag") << QByteArray("true") << "true good -";
    QTest::newRow("record") << QByteArray(
        R"({"value": 2, "status": "uncertain", "timestamp": 1765350000000, "x": 1})")
                            << "2 uncertain 1765350000000";
    QTest::newRow("record with a flag") << QByteArray(R"({"value": false})") << "false good -";
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                   "3")
                                     << "3 good -";
    QTest::newRow("empty") << QByteArray() << "empty";
    QTest::newRow("not JSON") << QByteArray(R"({"value": 5)") << "payload is not JSON";
    QTest::newRow("two values") << QByteArray("1,2") << "payload is not JSON";
    QTest::newRow("a word") << QByteArray("on") << "payload is not JSON";
    QTest::newRow("not UTF-8") << QByteArray("\"\xC3\x28\"") << "payload is not UTF-8 text";
    QTest::newRow("text") << QByteArray("\"5\"")
                          << "payload is neither a number, a flag nor a record";
    QTest::newRow("list") << QByteArray("[5]")
                          << "payload is neither a number, a flag nor a record";
    QTest::newRow("null value") << QByteArray(R"({"value": null})")
                                << "\"value\" is not a number or a flag";
    QTest::newRow("huge number") << QByteArray("1e400") << "payload is not JSON";
    QTest::newRow("wrong status") << QByteArray(R"({"value": 1, "status": "ok"})")
                                  << "\"status\" is not \"good\", \"bad\" or \"uncertain\"";
    QTest::newRow("wrong timestamp")
        << QByteArray(R"({"value": 1, "timestamp": "now"})") << "\"timestamp\" is not a number";
    QTest::newRow("over 64 KiB") << QByteArray(70 * 1024, ' ')
                                 << "payload of 71680 bytes is over the limit of 65536 bytes";
}

void TestPlainLayout::readsValuePayloads()
{
    QFETCH(QByteArray, payload);
    QFETCH(QString, reading);

    const PlainLayout::ValueReading read = PlainLayout::readValue(payload);
    QString actual;
    switch (read.kind) {
    case PlainLayout::ValueReading::Value:
        actual = QStringLiteral("%1 %2 %3")
                     .arg(read.value.toString(), statusName(read.status),
                         read.timestamp ? QString::number(*read.timestamp) : QStringLiteral("-"));
        QCOMPARE(read.value.typeId() == QMetaType::Bool,
            actual.startsWith(QLatin1String("true")) || actual.startsWith(QLatin1String("false")));
        break;
    case PlainLayout::ValueReading::Empty:
        actual = QStringLiteral("empty");
        break;
    case PlainLayout::ValueReading::Unreadable:
        actual = read.reason;
        break;
    }
    // A huge exponent is either refused by the parser or not finite: never a value.
    if (QTest::currentDataTag() == QLatin1String("huge number")
        && read.kind == PlainLayout::ValueReading::Unreadable)
        return;
    QCOMPARE(actual, reading);
}

void TestPlainLayout::readsTheCatalogue()
{
    const PlainLayout::CatalogueReading read = PlainLayout::readCatalogue(R"([
        {"id": "LT-101", "kind": "analog", "unit": "%", "description": "уровень"},
        {"id": "P-101", "kind": "discrete", "extra": true},
        {"id": "SP-1", "kind": "analog", "writable": true, "min": -5, "max": 95.5},
        {"id": "SP-2", "kind": "analog", "writable": "yes", "min": "0"},
        {"id": "LT-101", "kind": "analog"},
        {"id": "a/b", "kind": "analog"},
        {"kind": "analog"},
        {"id": "X", "kind": "string"},
        7
    ])");
    QCOMPARE(read.kind, PlainLayout::CatalogueReading::Catalogue);
    QCOMPARE(read.points.size(), 4);
    QCOMPARE(
        read.points.at(0), (PointInfo { "LT-101", "analog", "%", QString::fromUtf8("уровень") }));
    QCOMPARE(read.points.at(1), (PointInfo { "P-101", "discrete", {}, {} }));
    // Commands: a flag and finite numbers only.
    PointInfo setPoint { "SP-1", "analog", {}, {} };
    setPoint.writable = true;
    setPoint.min = -5;
    setPoint.max = 95.5;
    QCOMPARE(read.points.at(2), setPoint);
    QCOMPARE(read.points.at(3), (PointInfo { "SP-2", "analog", {}, {} }));
    QCOMPARE(read.skipped,
        QStringList(
            { "LT-101: listed twice", "entry 5: no usable \"id\"", "entry 6: no usable \"id\"",
                "X: \"kind\" is not \"analog\" or \"discrete\"", "entry 8: no usable \"id\"" }));
    QCOMPARE(PlainLayout::readCatalogue(R"({"not": "a list"})").reason,
        QStringLiteral("the catalogue is not a list"));
    QCOMPARE(PlainLayout::readCatalogue({}).kind, PlainLayout::CatalogueReading::Empty);
}

void TestPlainLayout::reportsUnreadablePayloadsOnce()
{
    PlainLayout layout(prefix);
    PlantOutput out;
    layout.receive(topic("$catalogue"), R"([{"id": "LT-101", "kind": "analog"}])", 1, out);
    QVERIFY(out.catalogue.has_value());
    layout.receive(topic("LT-101"), "50", 2, out);
    for (const char *payload : { R"({"value": 5)", "on", "x" })
        layout.receive(topic("LT-101"), payload, 3, out);
    layout.receive(topic("LT-101"), R"({"value": 51, "timestamp": 9})", 4, out);
    layout.receive(topic("TT-1"), "1", 5, out);
    layout.receive(topic("TT-1"), "2", 6, out);
    for (int i = 0; i < 2; ++i)
        layout.receive(topic("$catalogue"), R"({"not": "a list"})", 7, out);

    // The last value is kept and turned bad once; a readable one makes it good.
    QCOMPARE(linesOf(out.samples),
        QStringList({ "LT-101 50 good 2", "LT-101 50 bad 3", "LT-101 51 good 9", "TT-1 1 good 5",
            "TT-1 2 good 6" }));
    QCOMPARE(out.reports,
        QStringList({ "Point LT-101: payload is not JSON; the point is marked bad.",
            "Point TT-1 sends values but is not in the catalogue.",
            "Catalogue: the catalogue is not a list; it is ignored." }));
    // The unreadable catalogue left the previous one in place.
    QCOMPARE(layout.catalogue().size(), 1);

    PlantOutput again;
    layout.receive(topic("LT-101"), "oops", 8, again);
    QCOMPARE(again.reports.size(), 1);
}

void TestPlainLayout::turnsEveryValueBadWhenTheConnectionIsLost()
{
    PlainLayout layout(prefix);
    PlantOutput out;
    layout.receive(topic("A"), "1", 1, out);
    layout.receive(topic("B"), "true", 1, out);
    layout.receive(topic("C"), R"({"value": 3, "status": "bad"})", 1, out);
    PlantOutput lost;
    layout.lost(100, lost);
    QCOMPARE(linesOf(lost.samples), QStringList({ "A 1 bad 100", "B true bad 100" }));
    // An empty payload withdraws a retained value: bad, keeping the value.
    PlantOutput withdrawn;
    layout.receive(topic("A"), "5", 101, withdrawn);
    layout.receive(topic("A"), "", 102, withdrawn);
    QCOMPARE(linesOf(withdrawn.samples), QStringList({ "A 5 good 101", "A 5 bad 102" }));
}

void TestPlainLayout::listsThePointsHeardOfWithoutACatalogue()
{
    PlainLayout layout(prefix);
    PlantOutput out;
    layout.receive(topic("P-1"), "true", 1, out);
    layout.receive(topic("T-1"), "20", 1, out);
    QCOMPARE(layout.catalogue(),
        (QList<PointInfo> { { "P-1", "discrete", {}, {} }, { "T-1", "analog", {}, {} } }));
    layout.receive(
        topic("$catalogue"), R"([{"id": "T-1", "kind": "analog", "unit": "°C"}])", 2, out);
    QCOMPARE(layout.catalogue().size(), 1);
    // An empty catalogue goes back to the points heard of.
    layout.receive(topic("$catalogue"), "", 3, out);
    QCOMPARE(layout.catalogue().size(), 2);
    QCOMPARE(out.catalogue->size(), 2);
}

void TestPlainLayout::ignoresTopicsOutsideItsLevel()
{
    PlainLayout layout(prefix);
    QCOMPARE(layout.subscriptions(), QList<QByteArray> { "site/points/+" });
    PlantOutput out;
    layout.receive("site/pointsX/A", "1", 1, out);
    layout.receive("site/points/A/set", R"({"value": 1})", 1, out);
    layout.receive("other/A", "1", 1, out);
    QVERIFY(out.samples.isEmpty());
    QVERIFY(out.reports.isEmpty());
}

void TestPlainLayout::takesNoMoreThanItsLimitOfPoints()
{
    PlainLayout layout(prefix);
    PlantOutput out;
    for (int i = 0; i <= PlainLayout::maxPoints + 1; ++i)
        layout.receive(topic(qPrintable(QStringLiteral("p%1").arg(i))), "1", 1, out);
    QCOMPARE(out.samples.size(), PlainLayout::maxPoints);
    QCOMPARE(out.reports,
        QStringList { "More than 100000 points: values of further points are ignored (p100000)." });
}

void TestPlainLayout::makesCommands()
{
    PlainLayout layout(prefix);
    PlantPublish publish;
    QString problem;
    QVERIFY(layout.command(QStringLiteral("SP-1"), 42.5,
        { QStringLiteral("ivanov"), QStringLiteral("ОС-1") }, 0, publish, problem));
    QCOMPARE(publish.topic, QByteArray("site/points/SP-1/set"));
    QCOMPARE(QJsonDocument::fromJson(publish.payload).object(),
        (QJsonObject { { "value", 42.5 }, { "user", "ivanov" }, { "station", "ОС-1" } }));
    QCOMPARE(publish.qos, 1);
    QVERIFY(!publish.retained);
    QVERIFY(
        layout.command(QStringLiteral("P-1"), QStringLiteral("start"), {}, 0, publish, problem));
    QCOMPARE(
        QJsonDocument::fromJson(publish.payload).object(), (QJsonObject { { "value", "start" } }));
    QVERIFY(!layout.command(QStringLiteral("a/b"), 1, {}, 0, publish, problem));
    QCOMPARE(problem, QStringLiteral("not a point id"));
    QVERIFY(!layout.command(QStringLiteral("P-1"), QJsonValue(), {}, 0, publish, problem));
    QCOMPARE(problem, QStringLiteral("its value is not a number, flag or text"));
}

QTEST_GUILESS_MAIN(TestPlainLayout)
#include "tst_plainlayout.moc"
