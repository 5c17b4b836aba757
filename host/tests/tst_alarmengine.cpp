// The alarm engine's states, driven by short scripts against a clock the test
// moves: each row feeds values and operator actions to one alarm and compares
// the journal records it produced, the state it ends in and its flags.

#include "alarmengine.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

namespace {

constexpr qint64 start = 1765350000000;
constexpr qint64 minute = 60 * 1000;

// The alarm "A" on the point "P": hi 10, priority 2, unless the overrides
// (a JSON object, null to drop a field) say otherwise.
AlarmDefinition alarm(const QByteArray &overrides = "{}", const QString &id = "A")
{
    QJsonObject record { { "id", id }, { "pointId", "P" }, { "kind", "hi" }, { "limit", 10 },
        { "priority", 2 }, { "message", "Высокое значение" } };
    const QJsonObject changes = QJsonDocument::fromJson(overrides).object();
    for (auto field = changes.begin(); field != changes.end(); ++field) {
        if (field.value().isNull())
            record.remove(field.key());
        else
            record.insert(field.key(), field.value());
    }
    QList<AlarmDefinition> definitions;
    QStringList errors;
    if (!AlarmDefinitions::parse(
            QJsonDocument(QJsonArray { record }).toJson(), definitions, errors))
        qFatal("bad test definition: %s", qPrintable(errors.join(QLatin1String("; "))));
    return definitions.first();
}

// An engine on a clock of its own, with a small language of steps:
// "12", "true", "bad 12", "gap" feed the point "P" (stamped with the clock);
// "wait <ms>" moves the clock and ticks; the rest are operator actions.
struct Rig
{
    qint64 now = start;
    AlarmEngine engine { [this] { return now; } };
    QList<AlarmEvent> events;
    QStringList trace; // the records' types, and "refused(<problem>)" for refusals
    QString problem;

    explicit Rig(const QList<AlarmDefinition> &definitions = { alarm() })
    {
        QList<AlarmEvent> none;
        engine.setDefinitions(definitions, none);
    }

    void feed(const QVariant &value, PointStatus status = PointStatus::Good,
        const QString &point = QStringLiteral("P"))
    {
        took([&] {
            engine.evaluate({ PointSample { point, now, value, status } }, events);
            return true;
        });
    }

    void wait(qint64 ms)
    {
        now += ms;
        took([&] {
            engine.tick(events);
            return true;
        });
    }

    void run(const QString &script, const QString &id = QStringLiteral("A"))
    {
        for (const QString &step : script.split(QStringLiteral(", "), Qt::SkipEmptyParts))
            this->step(step.trimmed(), id);
    }

    void step(const QString &step, const QString &id)
    {
        const QStringList words = step.split(QLatin1Char(' '));
        const QString &verb = words.first();
        const QString argument = words.value(1);
        bool number = false;
        const double value = verb.toDouble(&number);
        if (number)
            feed(value);
        else if (verb == "true" || verb == "false")
            feed(verb == "true");
        else if (verb == "bad")
            feed(argument.toDouble(), PointStatus::Bad);
        else if (verb == "uncertain")
            feed(argument.toDouble(), PointStatus::Uncertain);
        else if (verb == "gap")
            feed(QVariant(), PointStatus::Bad);
        else if (verb == "wait")
            wait(argument.toLongLong());
        else if (verb == "ack")
            took(
                [&] { return engine.acknowledge(id, 0, "ivanov", {}, argument, events, problem); });
        else if (verb == "shelve")
            took([&] {
                return engine.shelve(id, (argument.isEmpty() ? 15 : argument.toLongLong()) * minute,
                    "проверка датчика", "ivanov", {}, events, problem);
            });
        else if (verb == "shelve-without-reason")
            took([&] {
                return engine.shelve(id, 15 * minute, "  ", "ivanov", {}, events, problem);
            });
        else if (verb == "unshelve")
            took([&] { return engine.unshelve(id, "ivanov", {}, events, problem); });
        else if (verb == "oos")
            took([&] {
                return engine.takeOutOfService(id, "ремонт", "ivanov", {}, events, problem);
            });
        else if (verb == "oos-without-reason")
            took([&] { return engine.takeOutOfService(id, "", "ivanov", {}, events, problem); });
        else if (verb == "ins")
            took([&] { return engine.returnToService(id, "ivanov", {}, events, problem); });
        else if (verb == "reset")
            took([&] { return engine.reset(id, "ivanov", {}, events, problem); });
        else if (verb == "comment")
            took([&] { return engine.comment(id, argument, "ivanov", {}, events, problem); });
        else if (verb == "silence")
            took([&] {
                engine.silence("ivanov", {}, events);
                return true;
            });
        else
            qFatal("unknown step %s", qPrintable(step));
    }

    template<typename Action>
    void took(Action action)
    {
        const int before = events.size();
        if (!action())
            trace << QStringLiteral("refused(%1)").arg(problem);
        for (int i = before; i < events.size(); ++i)
            trace << AlarmEvent::typeName(events[i].type);
    }

    QString state(const QString &id = QStringLiteral("A")) const
    {
        return AlarmStatus::stateName(engine.status(id).state);
    }

    // "horn", "suspect", "chattering", as they apply.
    QString flags(const QString &id = QStringLiteral("A")) const
    {
        const AlarmStatus status = engine.status(id);
        QStringList flags;
        if (engine.hornSounding())
            flags << "horn";
        if (status.suspect)
            flags << "suspect";
        if (status.chattering)
            flags << "chattering";
        return flags.join(QLatin1Char(' '));
    }
};

} // namespace

class TestAlarmEngine : public QObject
{
    Q_OBJECT

private slots:
    void conditionsHoldAsTheSharedTableSays_data();
    void conditionsHoldAsTheSharedTableSays();
    void followsItsStates_data();
    void followsItsStates();
    void recordsCarryTheValueTimesAndTexts();
    void occurrenceIsNamedByItsRaisingValue();
    void acknowledgementNamesItsOccurrence();
    void refusesActionsOnUnknownAlarms();
    void givesItsNextDeadline();
    void floodHasHysteresis_data();
    void floodHasHysteresis();
    void restartsFromMemory_data();
    void restartsFromMemory();
    void newDefinitionsKeepTheStatesOfThoseThatStay();
    void reportsChangesOnce();
};

void TestAlarmEngine::conditionsHoldAsTheSharedTableSays_data()
{
    QTest::addColumn<QJsonObject>("condition");

    QFile file(QStringLiteral(ALARM_CONDITIONS));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.errorString()));
    const QJsonArray cases = QJsonDocument::fromJson(file.readAll()).object()["cases"].toArray();
    QVERIFY(!cases.isEmpty());
    for (const QJsonValue &entry : cases) {
        const QJsonObject condition = entry.toObject();
        QTest::addRow("%s %s against %s", qPrintable(condition["kind"].toString()),
            qPrintable(condition["limit"].toVariant().toString()),
            qPrintable(condition["value"].toVariant().toString()))
            << condition;
    }
}

void TestAlarmEngine::conditionsHoldAsTheSharedTableSays()
{
    QFETCH(QJsonObject, condition);
    const bool state = condition["kind"].toString() == QLatin1String("state");
    QJsonObject overrides { { "kind", condition["kind"] } };
    // The table names the state's value "limit" too.
    overrides.insert(state ? "value" : "limit", condition["limit"]);
    if (state)
        overrides.insert("limit", QJsonValue::Null);
    Rig rig({ alarm(QJsonDocument(overrides).toJson()) });
    rig.feed(condition["value"].toVariant());
    QCOMPARE(rig.engine.status("A").active, condition["holds"].toBool());
}

void TestAlarmEngine::followsItsStates_data()
{
    QTest::addColumn<QByteArray>("definition");
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("flags");

    const QByteArray hi = "{}";
    const QByteArray latched = R"({"latched": true})";
    const QByteArray quiet = R"({"priority": 3})";
    const QString noAck = "refused(Тревогу не нужно квитировать)";

    // Activation, acknowledgement, return.
    QTest::newRow("below the limit") << hi << "9.99"
                                     << ""
                                     << "normal"
                                     << "";
    QTest::newRow("raised at the limit") << hi << "10"
                                         << "active"
                                         << "active"
                                         << "horn";
    QTest::newRow("a second value above raises nothing") << hi << "12, 13"
                                                         << "active"
                                                         << "active"
                                                         << "horn";
    QTest::newRow("acknowledged") << hi << "12, ack"
                                  << "active ack"
                                  << "acknowledged"
                                  << "";
    QTest::newRow("acknowledged, then returned") << hi << "12, ack, 8"
                                                 << "active ack return"
                                                 << "normal"
                                                 << "";
    QTest::newRow("returned unacknowledged") << hi << "12, 8"
                                             << "active return"
                                             << "returned"
                                             << "horn";
    QTest::newRow("returned, then acknowledged") << hi << "12, 8, ack"
                                                 << "active return ack"
                                                 << "normal"
                                                 << "";
    QTest::newRow("returned, raised again: a new occurrence") << hi << "12, 8, 12"
                                                              << "active return active"
                                                              << "active"
                                                              << "horn";
    QTest::newRow("acknowledging twice") << hi << "12, ack, ack"
                                         << "active ack " + noAck << "acknowledged"
                                         << "";
    QTest::newRow("acknowledging a normal alarm") << hi << "ack" << noAck << "normal"
                                                  << "";
    QTest::newRow("lo below its limit")
        << QByteArray(R"({"kind": "lo", "limit": 25})") << "24.9, 25"
        << "active return"
        << "returned"
        << "horn";
    QTest::newRow("lolo at its limit holds not")
        << QByteArray(R"({"kind": "lolo", "limit": 10})") << "10"
        << ""
        << "normal"
        << "";

    // State and quality alarms.
    QTest::newRow("state on a flag")
        << QByteArray(R"({"kind": "state", "limit": null, "value": false})") << "true, false, true"
        << "active return"
        << "returned"
        << "horn";
    QTest::newRow("state of 1 on a flag")
        << QByteArray(R"({"kind": "state", "limit": null, "value": 1})") << "true"
        << "active"
        << "active"
        << "horn";
    QTest::newRow("state of false on 0")
        << QByteArray(R"({"kind": "state", "limit": null, "value": false})") << "0"
        << "active"
        << "active"
        << "horn";
    QTest::newRow("quality on a bad value")
        << QByteArray(R"({"kind": "quality", "limit": null})") << "5, bad 5, 5"
        << "active return"
        << "returned"
        << "horn";
    QTest::newRow("quality on a gap")
        << QByteArray(R"({"kind": "quality", "limit": null})") << "gap"
        << "active"
        << "active"
        << "horn";
    QTest::newRow("quality on an uncertain value")
        << QByteArray(R"({"kind": "quality", "limit": null})") << "uncertain 5"
        << "active"
        << "active"
        << "horn";

    // Deadband.
    const QByteArray band = R"({"deadband": 1})";
    QTest::newRow("hi stays in its band") << band << "12, 9.01"
                                          << "active"
                                          << "active"
                                          << "horn";
    QTest::newRow("hi returns below its band") << band << "12, 8.99"
                                               << "active return"
                                               << "returned"
                                               << "horn";
    QTest::newRow("hi does not re-raise in its band") << band << "12, 8, 9.5"
                                                      << "active return"
                                                      << "returned"
                                                      << "horn";
    QTest::newRow("hi re-raises only at the limit") << band << "12, 8, 9.99, 10"
                                                    << "active return active"
                                                    << "active"
                                                    << "horn";
    const QByteArray loBand = R"({"kind": "lo", "limit": 25, "deadband": 2})";
    QTest::newRow("lo stays in its band") << loBand << "20, 26.9"
                                          << "active"
                                          << "active"
                                          << "horn";
    QTest::newRow("lo returns at the top of its band") << loBand << "20, 27"
                                                       << "active return"
                                                       << "returned"
                                                       << "horn";

    // Suspect values.
    QTest::newRow("a bad value raises nothing") << hi << "bad 12"
                                                << ""
                                                << "normal"
                                                << "suspect";
    QTest::newRow("a bad value returns nothing") << hi << "12, bad 5"
                                                 << "active"
                                                 << "active"
                                                 << "horn suspect";
    QTest::newRow("a gap returns nothing") << hi << "12, gap"
                                           << "active"
                                           << "active"
                                           << "horn suspect";
    QTest::newRow("an uncertain value raises nothing") << hi << "uncertain 12"
                                                       << ""
                                                       << "normal"
                                                       << "suspect";
    QTest::newRow("the good value after a bad one decides") << hi << "bad 12, 12"
                                                            << "active"
                                                            << "active"
                                                            << "horn";
    QTest::newRow("a good value after a gap returns") << hi << "12, gap, 5"
                                                      << "active return"
                                                      << "returned"
                                                      << "horn";

    // Delays.
    const QByteArray onDelay = R"({"onDelayMs": 5000})";
    const QByteArray offDelay = R"({"offDelayMs": 5000})";
    QTest::newRow("on delay not yet over") << onDelay << "12, wait 4999"
                                           << ""
                                           << "normal"
                                           << "";
    QTest::newRow("on delay over") << onDelay << "12, wait 2000, 13, wait 3000"
                                   << "active"
                                   << "active"
                                   << "horn";
    QTest::newRow("on delay cancelled by a value below")
        << onDelay << "12, wait 3000, 8, 12, wait 3000"
        << ""
        << "normal"
        << "";
    QTest::newRow("on delay kept in the deadband")
        << QByteArray(R"({"onDelayMs": 5000, "deadband": 1})") << "12, wait 3000, 9.5, wait 2000"
        << "active"
        << "active"
        << "horn";
    QTest::newRow("on delay cancelled by a bad value")
        << onDelay << "12, wait 3000, bad 12, wait 3000"
        << ""
        << "normal"
        << "suspect";
    QTest::newRow("on delay starts again after a bad value")
        << onDelay << "12, wait 3000, bad 12, 12, wait 4999, wait 1"
        << "active"
        << "active"
        << "horn";
    QTest::newRow("off delay not yet over") << offDelay << "12, 8, wait 4999"
                                            << "active"
                                            << "active"
                                            << "horn";
    QTest::newRow("off delay over") << offDelay << "12, 8, wait 5000"
                                    << "active return"
                                    << "returned"
                                    << "horn";
    QTest::newRow("off delay cancelled by a value above")
        << offDelay << "12, 8, wait 3000, 12, wait 3000"
        << "active"
        << "active"
        << "horn";

    // Latching.
    QTest::newRow("latched returns unacknowledged") << latched << "12, 8"
                                                    << "active return"
                                                    << "returned"
                                                    << "horn";
    QTest::newRow("latched, returned, acknowledged: waits for reset") << latched << "12, 8, ack"
                                                                      << "active return ack"
                                                                      << "latched"
                                                                      << "";
    QTest::newRow("latched, acknowledged, returned: waits for reset") << latched << "12, ack, 8"
                                                                      << "active ack return"
                                                                      << "latched"
                                                                      << "";
    QTest::newRow("latched reset") << latched << "12, ack, 8, reset"
                                   << "active ack return reset"
                                   << "normal"
                                   << "";
    QTest::newRow("latched raised again before reset") << latched << "12, ack, 8, 12"
                                                       << "active ack return active"
                                                       << "active"
                                                       << "horn";
    QTest::newRow("reset of an active alarm")
        << latched << "12, ack, reset"
        << "active ack refused(Сбросить можно только квитированную тревогу после возврата в норму)"
        << "acknowledged"
        << "";
    QTest::newRow("reset of a returned unacknowledged alarm")
        << latched << "12, 8, reset"
        << "active return refused(Сбросить можно только квитированную тревогу после возврата в "
           "норму)"
        << "returned"
        << "horn";

    // Shelving.
    QTest::newRow("shelved: quiet, acknowledged") << hi << "12, shelve"
                                                  << "active shelve"
                                                  << "shelved"
                                                  << "";
    QTest::newRow("shelved: changes are not annunciated") << hi << "12, shelve, 8, 12, 8, 12"
                                                          << "active shelve"
                                                          << "shelved"
                                                          << "";
    QTest::newRow("unshelved while it holds: a new occurrence")
        << hi << "12, ack, shelve, unshelve"
        << "active ack shelve unshelve active"
        << "active"
        << "horn";
    QTest::newRow("unshelved after it returned: normal") << hi << "12, shelve, 8, unshelve"
                                                         << "active shelve unshelve"
                                                         << "normal"
                                                         << "";
    QTest::newRow("shelving ends by itself") << hi << "12, shelve, wait 899999, wait 1"
                                             << "active shelve unshelve active"
                                             << "active"
                                             << "horn";
    QTest::newRow("a latched alarm shelved forgets its latch")
        << latched << "12, ack, 8, shelve, unshelve"
        << "active ack return shelve unshelve"
        << "normal"
        << "";
    QTest::newRow("shelving for 10 minutes")
        << hi << "shelve 10"
        << "refused(Отложить можно на 15 мин, 1 ч, 4 ч или 8 ч)"
        << "normal"
        << "";
    QTest::newRow("shelving for 8 hours") << hi << "shelve 480"
                                          << "shelve"
                                          << "shelved"
                                          << "";
    QTest::newRow("shelving without a reason") << hi << "shelve-without-reason"
                                               << "refused(Укажите причину)"
                                               << "normal"
                                               << "";
    QTest::newRow("unshelving what is not shelved") << hi << "unshelve"
                                                    << "refused(Тревога не отложена)"
                                                    << "normal"
                                                    << "";

    // Out of service.
    QTest::newRow("out of service") << hi << "12, oos, 8, 12"
                                    << "active out-of-service"
                                    << "out-of-service"
                                    << "";
    QTest::newRow("out of service without a reason") << hi << "oos-without-reason"
                                                     << "refused(Укажите причину)"
                                                     << "normal"
                                                     << "";
    QTest::newRow("back in service while it holds") << hi << "12, oos, ins"
                                                    << "active out-of-service in-service active"
                                                    << "active"
                                                    << "horn";
    QTest::newRow("back in service after it returned") << hi << "12, oos, 8, ins"
                                                       << "active out-of-service in-service"
                                                       << "normal"
                                                       << "";
    QTest::newRow("in service already") << hi << "ins"
                                        << "refused(Тревога в работе)"
                                        << "normal"
                                        << "";
    QTest::newRow("shelved, then out of service: out of service wins") << hi << "shelve, oos"
                                                                       << "shelve out-of-service"
                                                                       << "out-of-service"
                                                                       << "";
    QTest::newRow("unshelved while out of service") << hi << "12, shelve, oos, unshelve"
                                                    << "active shelve out-of-service unshelve"
                                                    << "out-of-service"
                                                    << "";
    QTest::newRow("back in service while still shelved")
        << hi << "12, shelve, oos, ins"
        << "active shelve out-of-service in-service"
        << "shelved"
        << "";
    QTest::newRow("shelving ends while out of service") << hi << "12, shelve, oos, wait 900000"
                                                        << "active shelve out-of-service unshelve"
                                                        << "out-of-service"
                                                        << "";

    // Comments.
    QTest::newRow("comment on a normal alarm") << hi << "comment проверено"
                                               << "comment"
                                               << "normal"
                                               << "";
    QTest::newRow("empty comment") << hi << "comment"
                                   << "refused(Введите комментарий)"
                                   << "normal"
                                   << "";

    // The horn.
    QTest::newRow("priority 3 does not sound") << quiet << "12"
                                               << "active"
                                               << "active"
                                               << "";
    QTest::newRow("silence stops the horn, acknowledges nothing") << hi << "12, silence"
                                                                  << "active silence"
                                                                  << "active"
                                                                  << "";
    QTest::newRow("silence with nothing sounding") << hi << "silence"
                                                   << "silence"
                                                   << "normal"
                                                   << "";
    QTest::newRow("a new activation after silence sounds again") << hi << "12, silence, 8, 12"
                                                                 << "active silence return active"
                                                                 << "active"
                                                                 << "horn";
    QTest::newRow("out of service stops the horn") << hi << "12, oos"
                                                   << "active out-of-service"
                                                   << "out-of-service"
                                                   << "";

    // Chattering.
    QTest::newRow("three activations in a minute chatter")
        << quiet << "12, 8, wait 20000, 12, 8, wait 39999, 12"
        << "active return active return active"
        << "active"
        << "chattering";
    QTest::newRow("three activations in more than a minute do not")
        << quiet << "12, 8, wait 20000, 12, 8, wait 40000, 12"
        << "active return active return active"
        << "active"
        << "";
    QTest::newRow("chattering ends when the first leaves the minute")
        << quiet << "12, 8, 12, 8, 12, wait 59999, wait 1"
        << "active return active return active"
        << "active"
        << "";
    QTest::newRow("activations while shelved do not count")
        << quiet << "12, 8, shelve, 12, 8, 12, 8, unshelve, 12"
        << "active return shelve unshelve active"
        << "active"
        << "";
}

void TestAlarmEngine::followsItsStates()
{
    QFETCH(QByteArray, definition);
    QFETCH(QString, script);
    QFETCH(QString, trace);
    QFETCH(QString, state);
    QFETCH(QString, flags);

    Rig rig({ alarm(definition) });
    rig.run(script);
    QCOMPARE(rig.trace.join(QLatin1Char(' ')), trace);
    QCOMPARE(rig.state(), state);
    QCOMPARE(rig.flags(), flags);
}

void TestAlarmEngine::recordsCarryTheValueTimesAndTexts()
{
    Rig rig;
    rig.engine.evaluate({ { "P", start - 300, 12.5, PointStatus::Good } }, rig.events);
    rig.now += 1000;
    QString problem;
    QVERIFY(rig.engine.acknowledge("A", 0, "petrov", "ПУ-2", "  вижу  ", rig.events, problem));
    QCOMPARE(rig.engine.status("A").comment, QStringLiteral("вижу"));
    rig.now += 1000;
    QVERIFY(rig.engine.shelve("A", 15 * minute, "проверка", "petrov", {}, rig.events, problem));
    rig.wait(15 * minute);
    QCOMPARE(rig.trace, QStringList({ "unshelve", "active" }));
    QCOMPARE(rig.events.size(), 5);

    const AlarmEvent &active = rig.events[0];
    QCOMPARE(active.alarm, QStringLiteral("A"));
    QCOMPARE(active.point, QStringLiteral("P"));
    QCOMPARE(active.priority, 2);
    QCOMPARE(active.value, QVariant(12.5));
    QCOMPARE(active.sourceTime, start - 300);
    QCOMPARE(active.time, start);
    QVERIFY(active.user.isEmpty());
    QCOMPARE(active.text, QStringLiteral("Высокое значение"));

    const AlarmEvent &ack = rig.events[1];
    QCOMPARE(ack.type, AlarmEvent::Type::Ack);
    QCOMPARE(ack.user, QStringLiteral("petrov"));
    QCOMPARE(ack.station, QStringLiteral("ПУ-2"));
    QCOMPARE(ack.text, QStringLiteral("вижу"));
    QCOMPARE(ack.time, start + 1000);
    QCOMPARE(ack.value, QVariant(12.5));

    QCOMPARE(rig.events[2].text, QStringLiteral("проверка"));
    const AlarmEvent &ended = rig.events[3];
    QCOMPARE(ended.type, AlarmEvent::Type::Unshelve);
    QVERIFY(ended.user.isEmpty());
    QCOMPARE(ended.text, QStringLiteral("shelving ended"));
    QCOMPARE(ended.time, start + 2000 + 15 * minute);

    // The new occurrence starts without the old one's comment.
    const AlarmStatus status = rig.engine.status("A");
    QVERIFY(status.comment.isEmpty());
    QVERIFY(!status.acknowledged);
    QCOMPARE(status.changedAt, start + 2000 + 15 * minute);

    AlarmEvent::Type type;
    for (AlarmEvent::Type each :
        { AlarmEvent::Type::Active, AlarmEvent::Type::OutOfService, AlarmEvent::Type::Silence }) {
        QVERIFY(AlarmEvent::typeFromName(AlarmEvent::typeName(each), type));
        QCOMPARE(type, each);
    }
    QVERIFY(!AlarmEvent::typeFromName("raised", type));
}

void TestAlarmEngine::occurrenceIsNamedByItsRaisingValue()
{
    Rig rig({ alarm(R"({"onDelayMs": 5000})") });
    rig.run("12, wait 1000, 13, wait 4000");
    QCOMPARE(rig.trace, QStringList { "active" });
    QCOMPARE(rig.engine.status("A").raisedAt, start);
    rig.run("ack, 8");
    QCOMPARE(rig.engine.status("A").raisedAt, 0);
    rig.run("wait 100, 12, wait 5000");
    QCOMPARE(rig.engine.status("A").raisedAt, start + 5100);
}

void TestAlarmEngine::acknowledgementNamesItsOccurrence()
{
    Rig rig;
    rig.run("12");
    const qint64 first = rig.engine.status("A").raisedAt;
    rig.run("8, wait 1000, 12");
    const qint64 second = rig.engine.status("A").raisedAt;
    QVERIFY(second > first);

    QString problem;
    QVERIFY(!rig.engine.acknowledge("A", first, "ivanov", {}, {}, rig.events, problem));
    QCOMPARE(problem, QStringLiteral("Это срабатывание уже завершилось"));
    QCOMPARE(rig.state(), QStringLiteral("active"));
    QVERIFY(rig.engine.hornSounding());
    QVERIFY(rig.engine.acknowledge("A", second, "ivanov", {}, {}, rig.events, problem));
    QCOMPARE(rig.state(), QStringLiteral("acknowledged"));
    QVERIFY(!rig.engine.hornSounding());

    // An occurrence that has gone back to normal is over as well.
    rig.run("8");
    QVERIFY(!rig.engine.acknowledge("A", second, "ivanov", {}, {}, rig.events, problem));
    QCOMPARE(problem, QStringLiteral("Это срабатывание уже завершилось"));
}

void TestAlarmEngine::refusesActionsOnUnknownAlarms()
{
    Rig rig;
    rig.run("ack, shelve, unshelve, reset, comment x, oos, ins", "B");
    const QString unknown = QStringLiteral("refused(Тревога «B» не найдена)");
    QCOMPARE(rig.trace, QStringList(7, unknown));
    QVERIFY(rig.events.isEmpty());
    QVERIFY(!rig.engine.contains("B"));
    QCOMPARE(rig.engine.definition("B"), nullptr);
    QCOMPARE(rig.engine.definition("A")->limit, 10.0);
}

void TestAlarmEngine::givesItsNextDeadline()
{
    Rig rig({ alarm(R"({"onDelayMs": 5000})"), alarm(R"({"pointId": "Q"})", "B") });
    QCOMPARE(rig.engine.nextDeadline(), 0);
    rig.run("12");
    QCOMPARE(rig.engine.nextDeadline(), start + 5000);
    rig.run("shelve 15", "B");
    QCOMPARE(rig.engine.nextDeadline(), start + 5000);
    rig.run("wait 5000");
    QCOMPARE(rig.engine.nextDeadline(), start + 15 * minute);
    rig.run("unshelve", "B");
    QCOMPARE(rig.engine.nextDeadline(), 0);
    // Chattering ends a minute after the first of its three activations.
    rig.run("8, 12, wait 5000, 8, 12, wait 5000");
    QCOMPARE(rig.flags(), QStringLiteral("horn chattering"));
    QCOMPARE(rig.engine.nextDeadline(), start + 5000 + minute);
}

void TestAlarmEngine::floodHasHysteresis_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("later");
    QTest::addColumn<bool>("shelvedLater");
    QTest::addColumn<bool>("floodAtFirst");
    QTest::addColumn<bool>("floodAfter"); // when the first ones have left the window

    QTest::newRow("ten is no flood") << 10 << 0 << false << false << false;
    QTest::newRow("eleven are") << 11 << 0 << false << true << false;
    QTest::newRow("four left end it") << 11 << 4 << false << true << false;
    QTest::newRow("five left keep it") << 11 << 5 << false << true << true;
    QTest::newRow("shelved ones are not counted") << 11 << 5 << true << true << false;
}

void TestAlarmEngine::floodHasHysteresis()
{
    QFETCH(int, first);
    QFETCH(int, later);
    QFETCH(bool, shelvedLater);
    QFETCH(bool, floodAtFirst);
    QFETCH(bool, floodAfter);

    QList<AlarmDefinition> definitions;
    for (int i = 0; i < first + later; ++i)
        definitions << alarm(QStringLiteral(R"({"pointId": "P%1", "priority": 4})").arg(i).toUtf8(),
            QStringLiteral("A%1").arg(i));
    Rig rig(definitions);
    for (int i = 0; i < first; ++i)
        rig.feed(12, PointStatus::Good, QStringLiteral("P%1").arg(i));
    QCOMPARE(rig.engine.flood(), floodAtFirst);
    QCOMPARE(rig.engine.rate(), first);

    rig.wait(9 * minute);
    for (int i = first; i < first + later; ++i) {
        if (shelvedLater)
            rig.run("shelve", QStringLiteral("A%1").arg(i));
        rig.feed(12, PointStatus::Good, QStringLiteral("P%1").arg(i));
    }
    QCOMPARE(rig.engine.rate(), first + (shelvedLater ? 0 : later));
    if (floodAtFirst && !floodAfter)
        QCOMPARE(rig.engine.nextDeadline(), start + 10 * minute);
    rig.wait(minute);
    QCOMPARE(rig.engine.rate(), shelvedLater ? 0 : later);
    QCOMPARE(rig.engine.flood(), floodAfter);
}

void TestAlarmEngine::restartsFromMemory_data()
{
    QTest::addColumn<QByteArray>("definition");
    QTest::addColumn<QString>("before");
    QTest::addColumn<qint64>("downMs");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("trace");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("flags");

    const QByteArray hi = "{}";
    QTest::newRow("active until a value decides") << hi << "12" << 1000ll << ""
                                                  << ""
                                                  << "active"
                                                  << "";
    QTest::newRow("still active: same occurrence, the horn again") << hi << "12" << 1000ll << "13"
                                                                   << ""
                                                                   << "active"
                                                                   << "horn";
    QTest::newRow("acknowledged and still active") << hi << "12, ack" << 1000ll << "13"
                                                   << ""
                                                   << "acknowledged"
                                                   << "";
    QTest::newRow("silenced and still active sounds again") << hi << "12, silence" << 1000ll << "13"
                                                            << ""
                                                            << "active"
                                                            << "horn";
    QTest::newRow("priority 3 still active stays quiet")
        << QByteArray(R"({"priority": 3})") << "12" << 1000ll << "13"
        << ""
        << "active"
        << "";
    QTest::newRow("in the deadband still active")
        << QByteArray(R"({"deadband": 1})") << "12" << 1000ll << "9.5"
        << ""
        << "active"
        << "horn";
    QTest::newRow("active, now gone: returns unacknowledged") << hi << "12" << 1000ll << "8"
                                                              << "return"
                                                              << "returned"
                                                              << "";
    QTest::newRow("acknowledged, now gone") << hi << "12, ack" << 1000ll << "8"
                                            << "return"
                                            << "normal"
                                            << "";
    QTest::newRow("normal, now holds: a new activation") << hi << "8" << 1000ll << "12"
                                                         << "active"
                                                         << "active"
                                                         << "horn";
    QTest::newRow("a bad first value decides nothing") << hi << "12" << 1000ll << "bad 8"
                                                       << ""
                                                       << "active"
                                                       << "suspect";
    QTest::newRow("returned stays returned") << hi << "12, 8" << 1000ll << "8"
                                             << ""
                                             << "returned"
                                             << "";
    QTest::newRow("latched waits for its reset")
        << QByteArray(R"({"latched": true})") << "12, ack, 8" << 1000ll << "8, reset"
        << "reset"
        << "normal"
        << "";
    QTest::newRow("shelved, and still") << hi << "12, shelve" << 1000ll << "12, wait 0"
                                        << ""
                                        << "shelved"
                                        << "";
    QTest::newRow("shelving that ended while down ends at the first tick")
        << hi << "12, shelve" << 16 * minute << "wait 0"
        << "unshelve active"
        << "active"
        << "horn";
    QTest::newRow("out of service") << hi << "oos" << 1000ll << "12"
                                    << ""
                                    << "out-of-service"
                                    << "";
}

void TestAlarmEngine::restartsFromMemory()
{
    QFETCH(QByteArray, definition);
    QFETCH(QString, before);
    QFETCH(qint64, downMs);
    QFETCH(QString, after);
    QFETCH(QString, trace);
    QFETCH(QString, state);
    QFETCH(QString, flags);

    Rig first({ alarm(definition) });
    first.run(before);
    const AlarmMemory memory = first.engine.memory("A");
    QCOMPARE(memory.id, QStringLiteral("A"));

    Rig second({ alarm(definition) });
    second.now = first.now + downMs;
    second.engine.restore({ memory, AlarmMemory { "gone" } });
    second.run(after);
    QCOMPARE(second.trace.join(QLatin1Char(' ')), trace);
    QCOMPARE(second.state(), state);
    QCOMPARE(second.flags(), flags);
    if (trace.isEmpty()) {
        // Nothing happened: the same occurrence, remembered as it was.
        const AlarmMemory again = second.engine.memory("A");
        QCOMPARE(again.raisedAt, memory.raisedAt);
        QCOMPARE(again.acknowledged, memory.acknowledged);
        QCOMPARE(again.shelvedUntil, memory.shelvedUntil);
        QCOMPARE(again.shelveReason, memory.shelveReason);
        QCOMPARE(again.outOfService, memory.outOfService);
        QCOMPARE(again.outOfServiceReason, memory.outOfServiceReason);
    }
}

void TestAlarmEngine::newDefinitionsKeepTheStatesOfThoseThatStay()
{
    Rig rig({ alarm("{}"), alarm(R"({"limit": 20})", "B"), alarm(R"({"pointId": "Q"})", "C") });
    rig.run("12, ack");
    rig.run("shelve", "C");
    rig.feed(30, PointStatus::Good, "Q");
    rig.feed(25, PointStatus::Good, "R"); // no alarm on it yet
    rig.run("25");
    QCOMPARE(rig.state("B"), QStringLiteral("active"));
    QVERIFY(rig.engine.hornSounding());
    rig.engine.takeChanges();
    rig.trace.clear();

    // A stays as it was; B goes (and its horn with it); C gets a new limit
    // and is judged at once, still shelved; D is new, on a point already heard.
    const QList<AlarmDefinition> next { alarm(R"({"pointId": "Q", "limit": 40})", "C"), alarm("{}"),
        alarm(R"({"pointId": "R", "kind": "lo", "limit": 50, "priority": 3})", "D") };
    rig.took([&] {
        rig.engine.setDefinitions(next, rig.events);
        return true;
    });
    QCOMPARE(rig.trace, QStringList { "active" });
    QCOMPARE(rig.events.last().alarm, QStringLiteral("D"));
    QCOMPARE(rig.events.last().value, QVariant(25.0));
    QCOMPARE(rig.state("A"), QStringLiteral("acknowledged"));
    QVERIFY(!rig.engine.contains("B"));
    QVERIFY(!rig.engine.hornSounding());
    QCOMPARE(rig.state("C"), QStringLiteral("shelved"));
    QVERIFY(!rig.engine.status("C").active);
    QCOMPARE(rig.state("D"), QStringLiteral("active"));
    QCOMPARE(rig.engine.definitions().size(), 3);
    QCOMPARE(rig.engine.definition("C")->limit, 40.0);

    const AlarmEngine::Changes changes = rig.engine.takeChanges();
    QCOMPARE(changes.state, (QSet<QString> { "B", "C", "D" }));

    // A changed limit on an active alarm returns it at once.
    rig.trace.clear();
    rig.took([&] {
        rig.engine.setDefinitions({ alarm(R"({"limit": 30})"), next[0], next[2] }, rig.events);
        return true;
    });
    QCOMPARE(rig.trace, QStringList { "return" });
    QCOMPARE(rig.state("A"), QStringLiteral("normal"));
    QCOMPARE(rig.state("D"), QStringLiteral("active"));
}

void TestAlarmEngine::reportsChangesOnce()
{
    Rig rig({ alarm("{}"), alarm(R"({"limit": 50})", "B") });
    rig.run("12");
    AlarmEngine::Changes changes = rig.engine.takeChanges();
    QCOMPARE(changes.state, (QSet<QString> { "A", "B" })); // both new
    rig.run("13");
    changes = rig.engine.takeChanges();
    QVERIFY(changes.state.isEmpty());
    QCOMPARE(changes.value, QSet<QString> { "A" }); // B is normal
    QCOMPARE(rig.engine.status("A").value, QVariant(13.0));
    rig.run("13, ack");
    changes = rig.engine.takeChanges();
    QCOMPARE(changes.state, QSet<QString> { "A" });
    QVERIFY(changes.value.isEmpty());
    changes = rig.engine.takeChanges();
    QVERIFY(changes.state.isEmpty() && changes.value.isEmpty());
}

QTEST_GUILESS_MAIN(TestAlarmEngine)
#include "tst_alarmengine.moc"
