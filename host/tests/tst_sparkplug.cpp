// The station as a Sparkplug B host application: what it makes of births,
// data, deaths and gaps in the sequence, and the commands it sends.

#include "sparkplug_b.pb.h"
#include "sparkpluglayout.h"
#include "sparkplugtypes.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

using org::eclipse::tahu::protobuf::Payload;
using org::eclipse::tahu::protobuf::Payload_Metric;

namespace {

constexpr qint64 start = 1'796'889'600'000;
const QString group = QStringLiteral("G");

// One metric of a test payload; an invalid value makes it null.
struct M
{
    QString name; // empty: no name
    quint64 alias = 0; // 0: no alias
    quint32 type = 0; // 0: no datatype
    QVariant value;
    QString unit;
    qint64 t = 0; // 0: no time stamp of its own
};

// Without a datatype (data messages may leave it out) the value's own type
// chooses the field.
void setValue(Payload_Metric &metric, quint32 type, const QVariant &value)
{
    if (!value.isValid()) {
        metric.set_is_null(true);
        return;
    }
    if (type == 0) {
        type = value.typeId() == QMetaType::Bool  ? Sparkplug::Boolean
            : value.typeId() == QMetaType::Double ? Sparkplug::Double
                                                  : Sparkplug::UInt32;
    }
    switch (type) {
    case Sparkplug::Boolean:
        metric.set_boolean_value(value.toBool());
        break;
    case Sparkplug::Float:
        metric.set_float_value(value.toFloat());
        break;
    case Sparkplug::Double:
        metric.set_double_value(value.toDouble());
        break;
    case Sparkplug::Int64:
    case Sparkplug::UInt64:
    case Sparkplug::DateTime:
        metric.set_long_value(quint64(value.toLongLong()));
        break;
    case Sparkplug::String:
        metric.set_string_value(value.toString().toStdString());
        break;
    default:
        metric.set_int_value(quint32(qint32(value.toLongLong())));
    }
}

QByteArray payload(std::optional<int> seq, const QList<M> &metrics, qint64 t = start)
{
    Payload message;
    if (t != 0)
        message.set_timestamp(quint64(t));
    if (seq)
        message.set_seq(quint64(*seq));
    for (const M &m : metrics) {
        Payload_Metric *metric = message.add_metrics();
        if (!m.name.isEmpty())
            metric->set_name(m.name.toStdString());
        if (m.alias != 0)
            metric->set_alias(m.alias);
        if (m.type != 0)
            metric->set_datatype(m.type);
        if (m.t != 0)
            metric->set_timestamp(quint64(m.t));
        if (!m.unit.isEmpty()) {
            auto *properties = metric->mutable_properties();
            properties->add_keys("engUnit");
            properties->add_values()->set_string_value(m.unit.toStdString());
        }
        setValue(*metric, m.type, m.value);
    }
    return QByteArray::fromStdString(message.SerializeAsString());
}

QByteArray topic(const char *type, const QString &edge, const QString &device = QString())
{
    QString t = QStringLiteral("spBv1.0/%1/%2/%3").arg(group, QLatin1String(type), edge);
    if (!device.isEmpty())
        t += QLatin1Char('/') + device;
    return t.toUtf8();
}

M bdSeq(quint64 n)
{
    return { QStringLiteral("bdSeq"), 0, Sparkplug::Int64, qlonglong(n) };
}

// "id=value:status@seconds from start" per sample.
QStringList samples(const PlantOutput &out)
{
    QStringList lines;
    for (const PointSample &s : out.samples) {
        lines << QStringLiteral("%1=%2:%3@%4")
                     .arg(s.id, s.value.isValid() ? s.value.toString() : QStringLiteral("-"),
                         statusName(s.status))
                     .arg(double(s.t - start) / 1000);
    }
    return lines;
}

QStringList ids(const QList<PointInfo> &catalogue)
{
    QStringList list;
    for (const PointInfo &info : catalogue)
        list << QStringLiteral("%1:%2:%3").arg(info.id, info.kind, info.unit);
    return list;
}

// The metrics of a published command, "alias|name:type=value" each.
QStringList commandMetrics(const PlantPublish &publish)
{
    Payload message;
    if (!message.ParseFromArray(publish.payload.constData(), int(publish.payload.size())))
        return { QStringLiteral("not a payload") };
    QStringList lines;
    for (const Payload_Metric &m : message.metrics()) {
        QString value;
        switch (m.value_case()) {
        case Payload_Metric::kIntValue:
            value = QString::number(m.int_value());
            break;
        case Payload_Metric::kLongValue:
            value = QString::number(m.long_value());
            break;
        case Payload_Metric::kFloatValue:
            value = QString::number(m.float_value());
            break;
        case Payload_Metric::kDoubleValue:
            value = QString::number(m.double_value());
            break;
        case Payload_Metric::kBooleanValue:
            value = m.boolean_value() ? QStringLiteral("true") : QStringLiteral("false");
            break;
        default:
            value = QStringLiteral("?");
        }
        lines << QStringLiteral("%1:%2=%3")
                     .arg(m.has_alias() ? QString::number(m.alias())
                                        : QString::fromStdString(m.name()),
                         Sparkplug::dataTypeName(m.datatype()), value);
    }
    if (!message.has_timestamp())
        lines << QStringLiteral("no time stamp");
    return lines;
}

bool isRebirthRequest(const PlantPublish &publish, const QString &edge)
{
    return publish.topic == topic("NCMD", edge) && publish.qos == 0 && !publish.retained
        && commandMetrics(publish) == QStringList { "Node Control/Rebirth:Boolean=true" };
}

} // namespace

class TestSparkplug : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void hostState();
    void birthGivesValuesAndCatalogue();
    void writableMetrics();
    void dataByAliasOrName();
    void nodeDeath_data();
    void nodeDeath();
    void deviceDeathAndRebirth();
    void gapFilledInTime();
    void gapNotFilled();
    void dataOfUnbornNodeAsksRebirth();
    void sameNameOnTwoSources();
    void commands_data();
    void commands();
    void garbage_data();
    void garbage();

private:
    PlantOutput feed(const QByteArray &t, const QByteArray &p, qint64 now = start)
    {
        PlantOutput out;
        layout->receive(t, p, now, out);
        return out;
    }
    // Plant1 born with seq 0, bdSeq 3: T (alias 1, °C), Run (alias 2),
    // Manual (no alias); its device Pump with Speed (alias 10).
    void bornPlant();

    std::unique_ptr<SparkplugLayout> layout;
};

void TestSparkplug::init()
{
    layout = std::make_unique<SparkplugLayout>(group, QStringLiteral("station-1"));
}

void TestSparkplug::bornPlant()
{
    feed(topic("NBIRTH", "Plant1"),
        payload(0,
            { bdSeq(3), { "T", 1, Sparkplug::Double, 20.5, "°C" },
                { "Run", 2, Sparkplug::Boolean, true },
                { "Manual", 0, Sparkplug::Boolean, false } }));
    feed(topic("DBIRTH", "Plant1", "Pump"),
        payload(1, { { "Speed", 10, Sparkplug::UInt32, 1450, "rpm" } }));
}

void TestSparkplug::hostState()
{
    QCOMPARE(
        layout->subscriptions(), QList<QByteArray>({ "spBv1.0/G/#", "spBv1.0/STATE/station-1" }));
    const std::optional<PlantPublish> will = layout->will(start);
    QVERIFY(will);
    QCOMPARE(will->topic, QByteArray("spBv1.0/STATE/station-1"));
    QCOMPARE(QJsonDocument::fromJson(will->payload).object(),
        QJsonObject({ { "online", false }, { "timestamp", start } }));
    QCOMPARE(will->qos, 1);
    QVERIFY(will->retained);

    PlantOutput up;
    layout->connected(start + 5000, up);
    QCOMPARE(up.publishes.size(), 1);
    QCOMPARE(up.publishes[0].topic, will->topic);
    QCOMPARE(QJsonDocument::fromJson(up.publishes[0].payload).object(),
        QJsonObject({ { "online", true }, { "timestamp", start } }));
    QCOMPARE(up.publishes[0].qos, 1);
    QVERIFY(up.publishes[0].retained);

    // Someone overwrites our state: it is set again. Our own word, or
    // another host's state, changes nothing.
    const QByteArray offline = R"({"online":false,"timestamp":1})";
    QCOMPARE(feed("spBv1.0/STATE/station-1", offline).publishes.size(), 1);
    QCOMPARE(feed("spBv1.0/STATE/station-1", up.publishes[0].payload).publishes.size(), 0);
    QCOMPARE(feed("spBv1.0/STATE/station-2", offline).publishes.size(), 0);
    PlantOutput down;
    layout->lost(start + 6000, down);
    QCOMPARE(feed("spBv1.0/STATE/station-1", offline).publishes.size(), 0);
}

void TestSparkplug::birthGivesValuesAndCatalogue()
{
    PlantOutput out = feed(topic("NBIRTH", "Plant1"),
        payload(0,
            { bdSeq(3), { "Node Control/Rebirth", 1, Sparkplug::Boolean, false },
                { "T", 2, Sparkplug::Double, 20.5, "°C", start + 1500 },
                { "Run", 3, Sparkplug::Boolean, true }, { "Level", 4, Sparkplug::Int16, -5, "%" },
                { "Label", 5, Sparkplug::String, "north" }, { "Count", 6, Sparkplug::UInt64, 7 },
                { "Flow", 7, Sparkplug::Float, 1.5 }, { "Broken", 8, Sparkplug::Double } },
            start + 1000));
    QCOMPARE(samples(out),
        QStringList({ "T=20.5:good@1.5", "Run=true:good@1", "Level=-5:good@1", "Count=7:good@1",
            "Flow=1.5:good@1", "Broken=-:bad@1" }));
    QVERIFY(out.catalogue);
    QCOMPARE(ids(*out.catalogue),
        QStringList({ "T:analog:°C", "Run:discrete:", "Level:analog:%",
            "Count:analog:", "Flow:analog:", "Broken:analog:" }));
    QCOMPARE(out.reports.size(), 1);
    QVERIFY2(out.reports[0].contains("\"Label\"") && out.reports[0].contains("String"),
        qPrintable(out.reports[0]));

    // A device's points follow its node's; a payload without a time stamp
    // is stamped with the time of arrival.
    out = feed(topic("DBIRTH", "Plant1", "Pump"),
        payload(1, { { "Speed", 10, Sparkplug::Int32, -1450, "rpm" } }, 0), start + 2000);
    QCOMPARE(samples(out), QStringList({ "Speed=-1450:good@2" }));
    QVERIFY(out.catalogue);
    QCOMPARE(ids(*out.catalogue).mid(6), QStringList({ "Speed:analog:rpm" }));
    QCOMPARE(layout->catalogue(), *out.catalogue);

    // A rebirth replaces the node's metrics: a metric gone turns "bad", its
    // devices wait for their own birth; the string is not reported again.
    out = feed(topic("NBIRTH", "Plant1"),
        payload(0,
            { bdSeq(4), { "T", 2, Sparkplug::Double, 21.0, "°C" },
                { "Label", 5, Sparkplug::String, "south" } }),
        start + 3000);
    QCOMPARE(samples(out),
        QStringList({ "Speed=-1450:bad@3", "T=21:good@0", "Run=true:bad@3", "Level=-5:bad@3",
            "Count=7:bad@3", "Flow=1.5:bad@3", "Broken=-:bad@3" }));
    QVERIFY(out.catalogue);
    QCOMPARE(ids(*out.catalogue), QStringList({ "T:analog:°C" }));
    QVERIFY(out.reports.isEmpty());
    // The same birth again changes no catalogue.
    out = feed(topic("NBIRTH", "Plant1"),
        payload(0, { bdSeq(5), { "T", 2, Sparkplug::Double, 21.0, "°C" } }), start + 4000);
    QVERIFY(!out.catalogue);
}

void TestSparkplug::writableMetrics()
{
    Payload birth;
    birth.set_timestamp(quint64(start));
    birth.set_seq(0);
    const auto add = [&birth](const char *name, quint64 alias, quint32 type,
                         const QList<std::pair<const char *, QVariant>> &properties) {
        Payload_Metric *metric = birth.add_metrics();
        metric->set_name(name);
        metric->set_alias(alias);
        metric->set_datatype(type);
        if (type == Sparkplug::Boolean)
            metric->set_boolean_value(false);
        else
            metric->set_double_value(1);
        for (const auto &[key, value] : properties) {
            metric->mutable_properties()->add_keys(key);
            auto *given = metric->mutable_properties()->add_values();
            if (value.typeId() == QMetaType::Bool)
                given->set_boolean_value(value.toBool());
            else if (value.typeId() == QMetaType::Int)
                given->set_int_value(quint32(value.toInt()));
            else
                given->set_double_value(value.toDouble());
        }
    };
    add("bdSeq", 1, Sparkplug::Int64, {});
    add("Pump", 2, Sparkplug::Boolean, { { "writable", true } });
    add("Valve", 3, Sparkplug::Double, { { "writable", true }, { "min", 0 }, { "max", 100.0 } });
    add("Level", 4, Sparkplug::Double, { { "writable", false }, { "max", 100.0 } });
    const PlantOutput out
        = feed(topic("NBIRTH", "Plant1"), QByteArray::fromStdString(birth.SerializeAsString()));
    QVERIFY(out.catalogue);
    QCOMPARE(out.catalogue->size(), 3);
    QVERIFY(out.catalogue->at(0).writable);
    QVERIFY(!out.catalogue->at(0).min && !out.catalogue->at(0).max);
    QVERIFY(out.catalogue->at(1).writable);
    QCOMPARE(out.catalogue->at(1).min, std::optional<double>(0));
    QCOMPARE(out.catalogue->at(1).max, std::optional<double>(100));
    QVERIFY(!out.catalogue->at(2).writable);
}

void TestSparkplug::dataByAliasOrName()
{
    bornPlant();
    PlantOutput out = feed(topic("NDATA", "Plant1"),
        payload(2,
            { { {}, 1, 0, 22.25, {}, start + 100 }, { "Manual", 0, 0, true },
                { {}, 99, Sparkplug::Double, 1.0 } }),
        start + 500);
    QCOMPARE(samples(out), QStringList({ "T=22.25:good@0.1", "Manual=true:good@0" }));
    QCOMPARE(out.reports.size(), 1);
    QVERIFY2(out.reports[0].contains("alias 99"), qPrintable(out.reports[0]));

    // A null value turns the point "bad" with its last value; the unknown
    // alias is not reported twice.
    out = feed(topic("DDATA", "Plant1", "Pump"),
        payload(3, { { {}, 10, Sparkplug::UInt32, 1500 } }, 0), start + 600);
    QCOMPARE(samples(out), QStringList({ "Speed=1500:good@0.6" }));
    out = feed(topic("NDATA", "Plant1"),
        payload(
            4, { { {}, 1, Sparkplug::Double, QVariant() }, { {}, 99, Sparkplug::Double, 2.0 } }),
        start + 700);
    QCOMPARE(samples(out), QStringList({ "T=22.25:bad@0" }));
    QVERIFY(out.reports.isEmpty());
    QVERIFY(out.publishes.isEmpty());
}

void TestSparkplug::nodeDeath_data()
{
    QTest::addColumn<QList<M>>("metrics");
    QTest::addColumn<bool>("dies");
    QTest::newRow("bdSeq of its birth") << QList<M> { bdSeq(3) } << true;
    QTest::newRow("no bdSeq") << QList<M> {} << true;
    QTest::newRow("bdSeq of an earlier connection: an old will") << QList<M> { bdSeq(2) } << false;
}

void TestSparkplug::nodeDeath()
{
    QFETCH(QList<M>, metrics);
    QFETCH(bool, dies);
    bornPlant();
    const PlantOutput out = feed(topic("NDEATH", "Plant1"), payload({}, metrics), start + 9000);
    if (!dies) {
        QVERIFY(out.samples.isEmpty());
        // Still alive: its data is taken without a rebirth.
        const PlantOutput data
            = feed(topic("NDATA", "Plant1"), payload(2, { { {}, 1, 0, 30.0 } }), start + 9500);
        QCOMPARE(samples(data), QStringList({ "T=30:good@0" }));
        QVERIFY(data.publishes.isEmpty());
        return;
    }
    QCOMPARE(samples(out),
        QStringList(
            { "T=20.5:bad@9", "Run=true:bad@9", "Manual=false:bad@9", "Speed=1450:bad@9" }));
    QVERIFY(!out.catalogue);
    // Dead: its data asks for a birth.
    const PlantOutput data
        = feed(topic("NDATA", "Plant1"), payload(2, { { {}, 1, 0, 30.0 } }), start + 9500);
    QVERIFY(data.samples.isEmpty());
    QCOMPARE(data.publishes.size(), 1);
    QVERIFY(isRebirthRequest(data.publishes[0], "Plant1"));
}

void TestSparkplug::deviceDeathAndRebirth()
{
    bornPlant();
    PlantOutput out = feed(topic("DDEATH", "Plant1", "Pump"), payload(2, {}), start + 1000);
    QCOMPARE(samples(out), QStringList({ "Speed=1450:bad@1" }));
    // The node lives on; the dead device's data asks for a rebirth.
    out = feed(topic("NDATA", "Plant1"), payload(3, { { {}, 2, 0, false } }), start + 1100);
    QCOMPARE(samples(out), QStringList({ "Run=false:good@0" }));
    out = feed(topic("DDATA", "Plant1", "Pump"), payload(4, { { {}, 10, 0, 1 } }), start + 1200);
    QVERIFY(out.samples.isEmpty());
    QCOMPARE(out.publishes.size(), 1);
    QVERIFY(isRebirthRequest(out.publishes[0], "Plant1"));
    out = feed(topic("DBIRTH", "Plant1", "Pump"),
        payload(5, { { "Speed", 10, Sparkplug::UInt32, 900, "rpm" } }), start + 1300);
    QCOMPARE(samples(out), QStringList({ "Speed=900:good@0" }));
    QVERIFY(!out.catalogue);

    // The connection goes: every point "bad", and every node unborn.
    PlantOutput down;
    layout->lost(start + 2000, down);
    QCOMPARE(samples(down),
        QStringList(
            { "T=20.5:bad@2", "Run=false:bad@2", "Manual=false:bad@2", "Speed=900:bad@2" }));
    out = feed(topic("NDATA", "Plant1"), payload(6, { { {}, 2, 0, true } }), start + 5000);
    QVERIFY(out.samples.isEmpty());
    QCOMPARE(out.publishes.size(), 1);
    QVERIFY(isRebirthRequest(out.publishes[0], "Plant1"));
}

void TestSparkplug::gapFilledInTime()
{
    bornPlant(); // seq 1 was the device's birth
    PlantOutput out
        = feed(topic("NDATA", "Plant1"), payload(3, { { {}, 1, 0, 3.0 } }), start + 100);
    QVERIFY(out.samples.isEmpty());
    QCOMPARE(layout->nextDeadline(), start + 100 + SparkplugLayout::reorderTimeout);
    out = feed(topic("DDATA", "Plant1", "Pump"), payload(4, { { {}, 10, 0, 4 } }), start + 200);
    QVERIFY(out.samples.isEmpty());
    out = feed(topic("NDATA", "Plant1"), payload(2, { { {}, 1, 0, 2.0 } }), start + 2099);
    QCOMPARE(samples(out), QStringList({ "T=2:good@0", "T=3:good@0", "Speed=4:good@0" }));
    QVERIFY(out.publishes.isEmpty());
    QVERIFY(out.reports.isEmpty());
    QCOMPARE(layout->nextDeadline(), 0);
    // Back in step.
    out = feed(topic("NDATA", "Plant1"), payload(5, { { {}, 1, 0, 5.0 } }), start + 2100);
    QCOMPARE(samples(out), QStringList({ "T=5:good@0" }));
}

void TestSparkplug::gapNotFilled()
{
    // The counter goes round after 255.
    feed(topic("NBIRTH", "Plant1"), payload(254, { bdSeq(0), { "T", 1, Sparkplug::Double, 1.0 } }));
    PlantOutput out = feed(topic("NDATA", "Plant1"), payload(255, { { {}, 1, 0, 2.0 } }));
    QCOMPARE(samples(out), QStringList({ "T=2:good@0" }));
    out = feed(topic("NDATA", "Plant1"), payload(3, { { {}, 1, 0, 5.0 } }), start + 100);
    out = feed(topic("NDATA", "Plant1"), payload(2, { { {}, 1, 0, 4.0 } }), start + 500);
    QVERIFY(out.samples.isEmpty());
    PlantOutput early;
    layout->tick(start + 2099, early);
    QVERIFY(early.samples.isEmpty() && early.publishes.isEmpty());

    // At the time-out the held ones are taken in order, and a rebirth is asked.
    out = {};
    layout->tick(start + 2100, out);
    QCOMPARE(samples(out), QStringList({ "T=4:good@0", "T=5:good@0" }));
    QCOMPARE(out.publishes.size(), 1);
    QVERIFY(isRebirthRequest(out.publishes[0], "Plant1"));
    QCOMPARE(out.reports,
        QStringList({ "Sparkplug node Plant1: seq jumped from 255 to 2; rebirth asked." }));
    QCOMPARE(layout->nextDeadline(), 0);

    // The count goes on after the last one taken.
    out = feed(topic("NDATA", "Plant1"), payload(4, { { {}, 1, 0, 6.0 } }), start + 2200);
    QCOMPARE(samples(out), QStringList({ "T=6:good@0" }));
    QVERIFY(out.publishes.isEmpty());
}

void TestSparkplug::dataOfUnbornNodeAsksRebirth()
{
    PlantOutput out = feed(topic("NDATA", "Edge9"), payload(5, { { {}, 1, 0, 1.0 } }));
    QVERIFY(out.samples.isEmpty());
    QCOMPARE(out.publishes.size(), 1);
    QVERIFY(isRebirthRequest(out.publishes[0], "Edge9"));
    QCOMPARE(out.reports,
        QStringList({ "Sparkplug node Edge9: NDATA before its birth; rebirth asked." }));
    // At most one request per time-out, and no line for each message between.
    out = feed(topic("DDATA", "Edge9", "D"), payload(6, {}), start + 1999);
    QVERIFY(out.publishes.isEmpty() && out.reports.isEmpty());
    out = feed(topic("NDATA", "Edge9"), payload(7, {}), start + 2000);
    QCOMPARE(out.publishes.size(), 1);
    QVERIFY(isRebirthRequest(out.publishes[0], "Edge9"));
}

void TestSparkplug::sameNameOnTwoSources()
{
    feed(topic("NBIRTH", "A"), payload(0, { { "T", 1, Sparkplug::Double, 1.0 } }));
    PlantOutput out = feed(topic("NBIRTH", "B"), payload(0, {}));
    out = feed(topic("DBIRTH", "B", "D"),
        payload(1, { { "T", 1, Sparkplug::Double, 2.0 }, { "P", 2, Sparkplug::Double, 3.0 } }),
        start + 1000);
    QCOMPARE(
        samples(out), QStringList({ "T=1:bad@1", "A/T=1:good@0", "B/D/T=2:good@0", "P=3:good@0" }));
    QVERIFY(out.catalogue);
    QCOMPARE(ids(*out.catalogue), QStringList({ "A/T:analog:", "B/D/T:analog:", "P:analog:" }));
    QCOMPARE(out.reports.size(), 1);
    QVERIFY2(out.reports[0].contains("\"T\"") && out.reports[0].contains("A/T"),
        qPrintable(out.reports[0]));

    // Each is fed under its own name; a third source of that name is named
    // alike without another line, and the name stays taken after a rebirth.
    out = feed(topic("NDATA", "A"), payload(1, { { {}, 1, 0, 7.0 } }));
    QCOMPARE(samples(out), QStringList({ "A/T=7:good@0" }));
    out = feed(topic("NBIRTH", "C"), payload(0, { { "T", 1, Sparkplug::Double, 9.0 } }));
    QCOMPARE(samples(out), QStringList({ "C/T=9:good@0" }));
    QVERIFY(out.reports.isEmpty());
    out = feed(topic("NBIRTH", "A"), payload(0, { { "T", 1, Sparkplug::Double, 1.0 } }));
    QCOMPARE(samples(out), QStringList({ "A/T=1:good@0" }));
}

void TestSparkplug::commands_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QByteArray>("topic");
    QTest::addColumn<QString>("sent"); // or the problem's start when nothing is sent

    const QByteArray ncmd = topic("NCMD", "N");
    const QByteArray dcmd = topic("DCMD", "N", "D");
    QTest::newRow("Double") << "dbl" << QJsonValue(2.5) << ncmd << "1:Double=2.5";
    QTest::newRow("Float") << "flt" << QJsonValue(0.5) << ncmd << "2:Float=0.5";
    QTest::newRow("Int8 negative, two's complement")
        << "i8" << QJsonValue(-1) << ncmd << "3:Int8=4294967295";
    QTest::newRow("Int8 lowest") << "i8" << QJsonValue(-128) << ncmd << "3:Int8=4294967168";
    QTest::newRow("UInt16 highest") << "u16" << QJsonValue(65535) << ncmd << "4:UInt16=65535";
    QTest::newRow("Int64") << "i64" << QJsonValue(-2) << ncmd << "5:Int64=18446744073709551614";
    QTest::newRow("Boolean") << "flag" << QJsonValue(true) << ncmd << "6:Boolean=true";
    QTest::newRow("device metric without alias: by name")
        << "SP" << QJsonValue(40) << dcmd << "SP:Double=40";

    QTest::newRow("unknown point") << "nope" << QJsonValue(1) << QByteArray() << "No Sparkplug";
    QTest::newRow("number for a flag")
        << "flag" << QJsonValue(1) << QByteArray() << "The point \"flag\" (Sparkplug Boolean)";
    QTest::newRow("flag for a number")
        << "dbl" << QJsonValue(true) << QByteArray() << "The point \"dbl\" (Sparkplug Double)";
    QTest::newRow("text for a number")
        << "dbl" << QJsonValue("2") << QByteArray() << "The point \"dbl\" (Sparkplug Double)";
    QTest::newRow("Int8 over") << "i8" << QJsonValue(128) << QByteArray()
                               << "The point \"i8\" (Sparkplug Int8) takes -128 to 127";
    QTest::newRow("UInt16 under") << "u16" << QJsonValue(-1) << QByteArray()
                                  << "The point \"u16\" (Sparkplug UInt16) takes 0 to 65535";
    QTest::newRow("fraction for an integer")
        << "u16" << QJsonValue(1.5) << QByteArray()
        << "The point \"u16\" (Sparkplug UInt16) takes a whole";
    QTest::newRow("Float over") << "flt" << QJsonValue(1e300) << QByteArray()
                                << "The point \"flt\" (Sparkplug Float) cannot";
    QTest::newRow("offline device") << "gone" << QJsonValue(1) << QByteArray()
                                    << "The Sparkplug device N/E of the point \"gone\" is offline";
}

void TestSparkplug::commands()
{
    QFETCH(QString, id);
    QFETCH(QJsonValue, value);
    QFETCH(QByteArray, topic);
    QFETCH(QString, sent);
    feed(::topic("NBIRTH", "N"),
        payload(0,
            { { "dbl", 1, Sparkplug::Double, 0.0 }, { "flt", 2, Sparkplug::Float, 0.0 },
                { "i8", 3, Sparkplug::Int8, 0 }, { "u16", 4, Sparkplug::UInt16, 0 },
                { "i64", 5, Sparkplug::Int64, 0 }, { "flag", 6, Sparkplug::Boolean, false } }));
    feed(::topic("DBIRTH", "N", "D"), payload(1, { { "SP", 0, Sparkplug::Double, 0.0 } }));
    feed(::topic("DBIRTH", "N", "E"), payload(2, { { "gone", 1, Sparkplug::Double, 0.0 } }));
    feed(::topic("DDEATH", "N", "E"), payload(3, {}));

    PlantPublish publish;
    QString problem;
    const bool ok = layout->command(id, value, {}, start + 100, publish, problem);
    if (topic.isEmpty()) {
        QVERIFY(!ok);
        QVERIFY2(problem.startsWith(sent), qPrintable(problem));
        return;
    }
    QVERIFY2(ok, qPrintable(problem));
    QCOMPARE(publish.topic, topic);
    QCOMPARE(publish.qos, 0);
    QVERIFY(!publish.retained);
    QCOMPARE(commandMetrics(publish), QStringList { sent });
}

void TestSparkplug::garbage_data()
{
    QTest::addColumn<QByteArray>("topic");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("not protobuf") << topic("NDATA", "N") << QByteArray("{\"value\": 1}");
    QTest::newRow("cut short") << topic("NBIRTH", "N") << payload(0, { bdSeq(1) }).chopped(3);
    QTest::newRow("over 4 MiB") << topic("DBIRTH", "N", "D")
                                << QByteArray(SparkplugLayout::maxPayload + 1, '\0');
    QTest::newRow("no edge node") << QByteArray("spBv1.0/G/NDATA") << payload(1, {});
    QTest::newRow("unknown message type") << QByteArray("spBv1.0/G/NFOO/N") << payload(1, {});
    QTest::newRow("device message without device") << topic("DDATA", "N") << payload(1, {});
    QTest::newRow("node message with a device") << topic("NDATA", "N", "D") << payload(1, {});
    QTest::newRow("another namespace") << QByteArray("spAv1.0/G/NDATA/N") << payload(1, {});
}

void TestSparkplug::garbage()
{
    QFETCH(QByteArray, topic);
    QFETCH(QByteArray, payload);
    feed(::topic("NBIRTH", "N"), ::payload(0, { { "T", 1, Sparkplug::Double, 1.0 } }));
    for (int round = 0; round < 2; ++round) {
        const PlantOutput out = feed(topic, payload, start + round);
        QVERIFY(out.samples.isEmpty());
        QVERIFY(out.publishes.isEmpty());
        QCOMPARE(out.reports.size(), round == 0 ? 1 : 0);
    }
    // The node is still in step.
    const PlantOutput out
        = feed(::topic("NDATA", "N"), ::payload(1, { { {}, 1, 0, 2.0 } }), start + 10);
    QCOMPARE(samples(out), QStringList({ "T=2:good@0" }));
}

QTEST_GUILESS_MAIN(TestSparkplug)
#include "tst_sparkplug.moc"
