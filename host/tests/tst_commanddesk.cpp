// Commands to the plant's points: what a point takes, when a value shows a
// command carried out, and a command's way from the check to its outcome,
// each step in the journal.

#include "commanddesk.h"
#include "pointtable.h"

#include <QSignalSpy>
#include <QTest>

namespace {

PointInfo pump()
{
    PointInfo info { QStringLiteral("NS-101"), QStringLiteral("discrete"), {}, {} };
    info.writable = true;
    return info;
}

PointInfo valve()
{
    PointInfo info { QStringLiteral("HV-203"), QStringLiteral("analog"), QStringLiteral("%"), {} };
    info.writable = true;
    info.min = 0;
    info.max = 100;
    return info;
}

PointInfo level()
{
    return { QStringLiteral("LT-101"), QStringLiteral("analog"), QStringLiteral("%"), {} };
}

struct Sent
{
    QString id;
    QJsonValue value;
    CommandOrigin origin;
};

} // namespace

class TestCommandDesk : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QList<JournalRecord>>(); }
    void checks_data();
    void checks();
    void follows_data();
    void follows();
    void carriesACommandToItsOutcome();
};

void TestCommandDesk::checks_data()
{
    QTest::addColumn<PointInfo>("info");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("problem");
    QTest::newRow("pump on") << pump() << QJsonValue(true) << QString();
    QTest::newRow("pump, a number")
        << pump() << QJsonValue(1) << "Точке «NS-101» нужна команда «Включить» или «Отключить»";
    QTest::newRow("valve in range") << valve() << QJsonValue(100) << QString();
    QTest::newRow("valve above") << valve() << QJsonValue(100.5) << "Значение вне диапазона 0–100";
    QTest::newRow("valve below") << valve() << QJsonValue(-1) << "Значение вне диапазона 0–100";
    QTest::newRow("valve, a flag") << valve() << QJsonValue(true) << "Введите число";
    QTest::newRow("valve, text") << valve() << QJsonValue("50") << "Введите число";
    QTest::newRow("not writable") << level() << QJsonValue(50)
                                  << "Точка «LT-101» не принимает команд";
}

void TestCommandDesk::checks()
{
    QFETCH(PointInfo, info);
    QFETCH(QJsonValue, value);
    QFETCH(QString, problem);
    QCOMPARE(CommandDesk::check(info, value), problem);
}

void TestCommandDesk::follows_data()
{
    QTest::addColumn<PointInfo>("info");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QJsonValue>("target");
    QTest::addColumn<bool>("followed");
    QTest::newRow("pump runs") << pump() << QVariant(true) << QJsonValue(true) << true;
    QTest::newRow("pump stopped") << pump() << QVariant(false) << QJsonValue(true) << false;
    QTest::newRow("no value") << pump() << QVariant() << QJsonValue(true) << false;
    // Within 1 % of the range.
    QTest::newRow("valve near") << valve() << QVariant(40.9) << QJsonValue(40.0) << true;
    QTest::newRow("valve off") << valve() << QVariant(41.1) << QJsonValue(40.0) << false;
    QTest::newRow("no range, exact") << level() << QVariant(40.0) << QJsonValue(40.0) << true;
    QTest::newRow("no range, near") << level() << QVariant(40.01) << QJsonValue(40.0) << false;
}

void TestCommandDesk::follows()
{
    QFETCH(PointInfo, info);
    QFETCH(QVariant, value);
    QFETCH(QJsonValue, target);
    QFETCH(bool, followed);
    QCOMPARE(CommandDesk::follows(info, value, target), followed);
}

void TestCommandDesk::carriesACommandToItsOutcome()
{
    PointTable table;
    table.setCatalogue({ pump(), valve(), level() });
    qint64 now = 1'800'000'000'000;
    table.update({ PointSample { QStringLiteral("NS-101"), now, false, PointStatus::Good },
        PointSample { QStringLiteral("HV-203"), now, 42.0, PointStatus::Good } });
    CommandDesk desk(&table, QStringLiteral("ST-1"), [&] { return now; });
    QSignalSpy journal(&desk, &CommandDesk::journal);
    QList<Sent> sent;
    bool online = true;
    desk.setSender([&](const QString &id, const QJsonValue &value, const CommandOrigin &origin,
                       QString &problem) {
        if (!online) {
            problem = QStringLiteral("no connection");
            return false;
        }
        sent.append({ id, value, origin });
        return true;
    });
    QList<QJsonObject> answers;
    const auto answer = [&answers](const QJsonObject &given) { answers << given; };

    // Refused before anything is sent.
    desk.command(QStringLiteral("HV-203"), 150, QStringLiteral("ivanov"), answer);
    desk.command(QStringLiteral("XX-1"), true, QStringLiteral("ivanov"), answer);
    QVERIFY(sent.isEmpty());
    QCOMPARE(
        answers.at(0).value("error").toString(), QStringLiteral("Значение вне диапазона 0–100"));
    QCOMPARE(answers.at(1).value("error").toString(), QStringLiteral("Точка «XX-1» не найдена"));

    // Followed: the pump runs within the time.
    desk.command(QStringLiteral("NS-101"), true, QStringLiteral("ivanov"), answer);
    QCOMPARE(sent.size(), 1);
    QCOMPARE(sent.at(0).origin.user, QStringLiteral("ivanov"));
    QCOMPARE(sent.at(0).origin.station, QStringLiteral("ST-1"));
    QCOMPARE(answers.size(), 2);
    now += 1200;
    table.update({ PointSample { QStringLiteral("NS-101"), now, true, PointStatus::Good } });
    QTRY_COMPARE(answers.size(), 3);
    QCOMPARE(answers.at(2), (QJsonObject { { "outcome", "done" } }));

    // Not followed within 10 s.
    desk.command(QStringLiteral("HV-203"), 60, QStringLiteral("ivanov"), answer);
    now += CommandDesk::followMs - 1;
    QTest::qWait(250);
    QCOMPARE(answers.size(), 3);
    now += 1;
    QTRY_COMPARE(answers.size(), 4);
    QCOMPARE(answers.at(3), (QJsonObject { { "outcome", "unconfirmed" } }));

    // The source cannot send it.
    online = false;
    desk.command(QStringLiteral("NS-101"), false, QStringLiteral("ivanov"), answer);
    QCOMPARE(answers.at(4).value("error").toString(),
        QStringLiteral("Команда не отправлена: нет связи с брокером"));

    QStringList texts;
    for (const QList<QVariant> &call : journal) {
        for (const JournalRecord &record : call.at(0).value<QList<JournalRecord>>()) {
            QCOMPARE(record.event, QStringLiteral("command"));
            QCOMPARE(record.user, QStringLiteral("ivanov"));
            QCOMPARE(record.station, QStringLiteral("ST-1"));
            texts << record.point + QLatin1Char(' ') + record.value + QLatin1Char(' ')
                    + record.text;
        }
    }
    // The unknown point is no point of the journal's; everything else is there.
    QCOMPARE(texts,
        (QStringList {
            "HV-203 150 42 → 150; не отправлена: Значение вне диапазона 0–100",
            "NS-101 вкл. откл. → вкл.; отправлена",
            "NS-101 вкл. откл. → вкл.; выполнена",
            "HV-203 60 42 → 60; отправлена",
            "HV-203 60 42 → 60; нет подтверждения от объекта",
            "NS-101 откл. вкл. → откл.; Команда не отправлена: нет связи с брокером",
        }));
}

QTEST_GUILESS_MAIN(TestCommandDesk)
#include "tst_commanddesk.moc"
