// The station's alarms around the engine: definitions from a watched file,
// states across a restart, the journal, the horn, and the states shared
// between stations on one broker (here an in-process stand-in that keeps
// retained messages and delivers later, as a broker does).

#include "pointtable.h"
#include "stationalarms.h"
#include "stationdatabase.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

namespace {

constexpr qint64 minute = 60 * 1000;
constexpr qint64 start = 1'796'889'600'000;

const QByteArray definitions = R"([
  { "id": "level-lo", "pointId": "LT", "kind": "lo", "limit": 25, "priority": 2,
    "message": "Низкий уровень", "area": "Насосная" },
  { "id": "vib-hi", "pointId": "VB", "kind": "hi", "limit": 7, "priority": 3,
    "message": "Вибрация" }
])";

void writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
}

// A broker in the process: retained messages kept per topic, every message
// delivered to the other stations on the next turn of the event loop.
struct Broker
{
    struct Member
    {
        StationAlarms *alarms;
        QList<QByteArray> filters;
    };
    QList<Member> members;
    QMap<QByteArray, QByteArray> retained;

    StationAlarms::Publisher publisherFor(StationAlarms *sender)
    {
        return [this, sender](const QByteArray &topic, const QByteArray &payload, int, bool keep) {
            if (keep)
                retained.insert(topic, payload);
            for (const Member &member : std::as_const(members)) {
                if (member.alarms == sender)
                    continue;
                QPointer<StationAlarms> to(member.alarms);
                QTimer::singleShot(0, [to, topic, payload] {
                    if (to)
                        to->receiveShared(topic, payload);
                });
            }
            return true;
        };
    }
    void join(StationAlarms *alarms)
    {
        members << Member { alarms, alarms->sharedTopics() };
        for (auto it = retained.cbegin(); it != retained.cend(); ++it)
            alarms->receiveShared(it.key(), it.value());
    }
};

// One station: its database, point table and alarms, on a clock of its own.
struct Rig
{
    Rig(const QString &folder, const QString &name, std::shared_ptr<std::atomic<qint64>> now,
        Broker *broker = nullptr)
        : table(new PointTable)
        , database(new StationDatabase)
        , alarms(new StationAlarms(
              table.get(), database.get(), name, nullptr, [now] { return now->load(); }))
    {
        alarms->setDefinitionsFile(folder + QStringLiteral("/alarms.json"), true);
        if (broker)
            alarms->shareThrough("plant/", broker->publisherFor(alarms.get()));
        QSignalSpy loaded(database.get(), &StationDatabase::alarmStatesLoaded);
        database->open(folder + QStringLiteral("/") + name + QStringLiteral(".sqlite"));
        alarms->start();
        if (loaded.isEmpty())
            loaded.wait(5000);
        if (broker)
            broker->join(alarms.get());
    }
    ~Rig()
    {
        alarms->stop();
        database->close();
    }

    void feed(const QString &id, qint64 t, double v)
    {
        table->update({ PointSample { id, t, v, PointStatus::Good } });
    }
    QJsonObject alarm(const QString &id) const
    {
        for (const QJsonValue &entry :
            QJsonDocument::fromJson(alarms->list().toUtf8())[QLatin1String("alarms")].toArray()) {
            if (entry[QLatin1String("id")].toString() == id)
                return entry.toObject();
        }
        return QJsonObject();
    }
    QString state(const QString &id) const { return alarm(id)[QLatin1String("state")].toString(); }
    // "event alarm station" per record, oldest first.
    QStringList journal()
    {
        database->flush();
        QStringList lines;
        bool answered = false;
        QObject context;
        alarms->journal(JournalFilter(), 0, &context, [&](const QString &text) {
            for (const QJsonValue &record :
                QJsonDocument::fromJson(text.toUtf8())[QLatin1String("records")].toArray()) {
                lines << QStringLiteral("%1 %2 %3")
                             .arg(record[QLatin1String("event")].toString(),
                                 record[QLatin1String("alarm")].toString(),
                                 record[QLatin1String("station")].toString())
                             .trimmed();
            }
            answered = true;
        });
        if (!QTest::qWaitFor([&] { return answered; }, 5000))
            lines << QStringLiteral("(no answer)");
        return lines;
    }

    std::unique_ptr<PointTable> table;
    std::unique_ptr<StationDatabase> database;
    std::unique_ptr<StationAlarms> alarms;
};

} // namespace

class TestStationAlarms : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void statesSurviveARestart();
    void aBadFileKeepsTheOldSet();
    void hornAndJournal();
    void stationsAgreeOnAnAcknowledgement();
    void sharedDefinitionsTakePrecedence();

private:
    std::unique_ptr<QTemporaryDir> dir;
    std::shared_ptr<std::atomic<qint64>> now;
};

void TestStationAlarms::init()
{
    dir = std::make_unique<QTemporaryDir>();
    now = std::make_shared<std::atomic<qint64>>(start);
    writeFile(dir->filePath(QStringLiteral("alarms.json")), definitions);
}

void TestStationAlarms::statesSurviveARestart()
{
    {
        Rig rig(dir->path(), QStringLiteral("one"), now);
        rig.feed(QStringLiteral("LT"), start, 10);
        rig.feed(QStringLiteral("VB"), start, 9);
        QCOMPARE(rig.state(QStringLiteral("level-lo")), QStringLiteral("active"));
        QCOMPARE(rig.alarms->shelve(QStringLiteral("vib-hi"), 60, QStringLiteral("ремонт"), {})
                     .value(QLatin1String("ok")),
            QJsonValue(true));
        QCOMPARE(rig.state(QStringLiteral("vib-hi")), QStringLiteral("shelved"));
    }
    *now += minute;
    Rig rig(dir->path(), QStringLiteral("one"), now);
    // Before any value, and after the same values again: nothing new is raised.
    rig.feed(QStringLiteral("LT"), start + minute, 11);
    rig.feed(QStringLiteral("VB"), start + minute, 9);
    QCOMPARE(rig.state(QStringLiteral("level-lo")), QStringLiteral("active"));
    QCOMPARE(
        rig.alarm(QStringLiteral("level-lo"))[QLatin1String("raisedAt")].toDouble(), double(start));
    QCOMPARE(rig.state(QStringLiteral("vib-hi")), QStringLiteral("shelved"));
    QCOMPARE(rig.journal(),
        QStringList({ QStringLiteral("active level-lo one"), QStringLiteral("active vib-hi one"),
            QStringLiteral("shelve vib-hi one") }));
    // The shelving ends at its time, and the alarm, still in alarm, is raised anew.
    *now = start + 61 * minute;
    QTRY_COMPARE_WITH_TIMEOUT(rig.state(QStringLiteral("vib-hi")), QStringLiteral("active"), 5000);
}

void TestStationAlarms::aBadFileKeepsTheOldSet()
{
    Rig rig(dir->path(), QStringLiteral("one"), now);
    QSignalSpy problems(rig.alarms.get(), &StationAlarms::problem);
    QVERIFY(!rig.alarm(QStringLiteral("level-lo")).isEmpty());
    writeFile(dir->filePath(QStringLiteral("alarms.json")),
        R"([{ "id": "x", "pointId": "LT", "kind": "sideways", "priority": 9, "message": "?" }])");
    QTRY_VERIFY_WITH_TIMEOUT(!problems.isEmpty(), 2500);
    const QString report = problems.first().first().toString();
    QVERIFY2(report.contains(QLatin1String("kind")) && report.contains(QLatin1String("priority")),
        qPrintable(report));
    QVERIFY(!rig.alarm(QStringLiteral("level-lo")).isEmpty());
    QVERIFY(rig.alarm(QStringLiteral("x")).isEmpty());
    // A good file again takes effect within the two seconds.
    writeFile(dir->filePath(QStringLiteral("alarms.json")),
        R"([{ "id": "only", "pointId": "LT", "kind": "hi", "limit": 90, "priority": 4,
              "message": "Высокий уровень" }])");
    QTRY_VERIFY_WITH_TIMEOUT(!rig.alarm(QStringLiteral("only")).isEmpty(), 2000);
    QVERIFY(rig.alarm(QStringLiteral("level-lo")).isEmpty());
    // The change is in the journal; the set the station started with and the
    // refused file are not.
    QCOMPARE(rig.journal(), QStringList({ QStringLiteral("definitions  one") }));
}

void TestStationAlarms::hornAndJournal()
{
    Rig rig(dir->path(), QStringLiteral("one"), now);
    QSignalSpy horn(rig.alarms.get(), &StationAlarms::hornChanged);
    rig.feed(QStringLiteral("VB"), start, 8); // priority 3: no horn
    QVERIFY(horn.isEmpty());
    rig.feed(QStringLiteral("LT"), start, 10); // priority 2
    QCOMPARE(horn.count(), 1);
    QCOMPARE(horn.last().first().toBool(), true);
    // Silence stops it and acknowledges nothing.
    rig.alarms->silence(QStringLiteral(""));
    QCOMPARE(horn.last().first().toBool(), false);
    QCOMPARE(rig.state(QStringLiteral("level-lo")), QStringLiteral("active"));
    // A return and a new occurrence sound it again; acknowledgement ends it.
    rig.feed(QStringLiteral("LT"), start + 1000, 40);
    rig.feed(QStringLiteral("LT"), start + 2000, 10);
    QCOMPARE(horn.last().first().toBool(), true);
    rig.alarms->acknowledge({ QStringLiteral("level-lo") }, QStringLiteral("вижу"), {});
    QCOMPARE(horn.last().first().toBool(), false);
    QCOMPARE(rig.journal(),
        QStringList({ QStringLiteral("active vib-hi one"), QStringLiteral("active level-lo one"),
            QStringLiteral("silence  one"), QStringLiteral("return level-lo one"),
            QStringLiteral("active level-lo one"), QStringLiteral("ack level-lo one") }));
    // Refusals come back as the operator's words.
    const QJsonObject refused = rig.alarms->reset(QStringLiteral("nope"), {});
    QVERIFY(refused.value(QLatin1String("error")).toString().contains(QLatin1String("nope")));
}

void TestStationAlarms::stationsAgreeOnAnAcknowledgement()
{
    Broker broker;
    Rig a(dir->path(), QStringLiteral("a"), now, &broker);
    Rig b(dir->path(), QStringLiteral("b"), now, &broker);
    for (Rig *rig : { &a, &b })
        rig->feed(QStringLiteral("LT"), start, 10);
    // Both acknowledge at once: each records one acknowledgement.
    a.alarms->acknowledge({ QStringLiteral("level-lo") }, {}, QStringLiteral(""));
    b.alarms->acknowledge({ QStringLiteral("level-lo") }, {}, QStringLiteral(""));
    QTest::qWait(50);
    for (Rig *rig : { &a, &b }) {
        QCOMPARE(rig->state(QStringLiteral("level-lo")), QStringLiteral("acknowledged"));
        QCOMPARE(rig->journal().filter(QStringLiteral("ack ")).size(), 1);
    }
    // One acknowledges alone; the other follows and records who did it.
    for (Rig *rig : { &a, &b })
        rig->feed(QStringLiteral("VB"), start + 1000, 8);
    a.alarms->shelve(QStringLiteral("vib-hi"), 15, QStringLiteral("проверка датчика"), {});
    QTRY_COMPARE(b.state(QStringLiteral("vib-hi")), QStringLiteral("shelved"));
    QVERIFY(b.journal().contains(QStringLiteral("shelve vib-hi a")));

    // A station started later learns from the retained states, also when
    // they come before the values that raise the alarms there.
    Rig c(dir->path(), QStringLiteral("c"), now, &broker);
    c.feed(QStringLiteral("LT"), start, 10);
    c.feed(QStringLiteral("VB"), start + 1000, 8);
    QTRY_COMPARE(c.state(QStringLiteral("level-lo")), QStringLiteral("acknowledged"));
    QCOMPARE(c.state(QStringLiteral("vib-hi")), QStringLiteral("shelved"));
}

void TestStationAlarms::sharedDefinitionsTakePrecedence()
{
    Broker broker;
    broker.retained.insert("plant/$alarms",
        R"([{ "id": "shared", "pointId": "LT", "kind": "lo", "limit": 50, "priority": 1,
              "message": "Общая" }])");
    Rig rig(dir->path(), QStringLiteral("one"), now, &broker);
    QVERIFY(!rig.alarm(QStringLiteral("shared")).isEmpty());
    QVERIFY(rig.alarm(QStringLiteral("level-lo")).isEmpty());
    // Withdrawn, the station's own file holds again.
    rig.alarms->receiveShared("plant/$alarms", QByteArray());
    QVERIFY(!rig.alarm(QStringLiteral("level-lo")).isEmpty());
}

QTEST_GUILESS_MAIN(TestStationAlarms)
#include "tst_stationalarms.moc"
