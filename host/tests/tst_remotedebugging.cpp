// Where the engine would serve its DevTools protocol, and which hosts count
// as this machine.

#include "loopback.h"
#include "remotedebugging.h"

#include <QTest>

class TestRemoteDebugging : public QObject
{
    Q_OBJECT

private slots:
    void readsWhereTheEngineListens_data();
    void readsWhereTheEngineListens();
    void knowsThisMachine_data();
    void knowsThisMachine();
};

void TestRemoteDebugging::readsWhereTheEngineListens_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("flags");
    QTest::addColumn<QString>("address"); // empty: off

    QTest::newRow("off") << QStringList { "corvane-ui" } << QString() << "--disable-gpu"
                         << QString();
    QTest::newRow("a port alone: the engine's loopback default")
        << QStringList() << "9222" << QString() << "127.0.0.1:9222";
    QTest::newRow("an address and a port")
        << QStringList() << "0.0.0.0:9222" << QString() << "0.0.0.0:9222";
    QTest::newRow("an IPv6 address") << QStringList() << "::1:9222" << QString() << "::1:9222";
    QTest::newRow("the switch names the port, and the address is the default")
        << QStringList { "corvane-ui", "--remote-debugging-port=9333" } << "0.0.0.0:9222"
        << QString() << "127.0.0.1:9333";
    QTest::newRow("the switch among the engine's flags")
        << QStringList() << QString() << "--disable-gpu --remote-debugging-port=9444"
        << "127.0.0.1:9444";
}

void TestRemoteDebugging::readsWhereTheEngineListens()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, variable);
    QFETCH(QString, flags);
    QFETCH(QString, address);

    const RemoteDebugging debugging = RemoteDebugging::from(arguments, variable, flags);
    QCOMPARE(debugging.isOn(), !address.isEmpty());
    if (debugging.isOn())
        QCOMPARE(debugging.address(), address);
}

void TestRemoteDebugging::knowsThisMachine_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<bool>("loopback");

    QTest::newRow("localhost") << "localhost" << true;
    QTest::newRow("LOCALHOST") << "LOCALHOST" << true;
    QTest::newRow("127.0.0.1") << "127.0.0.1" << true;
    QTest::newRow("anywhere in 127/8") << "127.8.9.10" << true;
    QTest::newRow("::1") << "::1" << true;
    QTest::newRow("[::1]") << "[::1]" << true;
    QTest::newRow("all interfaces") << "0.0.0.0" << false;
    QTest::newRow("IPv6 all interfaces") << "::" << false;
    QTest::newRow("a private address") << "10.0.0.5" << false;
    QTest::newRow("a name") << "plant-gw" << false;
    QTest::newRow("a name that starts like loopback") << "localhost.example.com" << false;
    QTest::newRow("empty") << "" << false;
}

void TestRemoteDebugging::knowsThisMachine()
{
    QFETCH(QString, host);
    QFETCH(bool, loopback);
    QCOMPARE(isLoopbackHost(host), loopback);
}

QTEST_GUILESS_MAIN(TestRemoteDebugging)
#include "tst_remotedebugging.moc"
