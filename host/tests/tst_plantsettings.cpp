// The plant options: which command lines choose a broker, which are refused
// and why, never echoing a password.

#include "plantsettings.h"

#include <QCommandLineParser>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString secret = QStringLiteral("hunter2");
} // namespace

class TestPlantSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsTheCommandLine_data();
    void readsTheCommandLine();
    void readsThePasswordFile_data();
    void readsThePasswordFile();
    void helpListsTheOptions();
    void addressesForTheClient();

private:
    QTemporaryDir dir;
    QString pem;
};

void TestPlantSettings::initTestCase()
{
    QVERIFY(dir.isValid());
    pem = dir.filePath(QStringLiteral("ca.pem"));
    QFile file(pem);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("-----BEGIN CERTIFICATE-----\n");
}

void TestPlantSettings::readsTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("password");
    // Expected: broker, topic prefix, user, password, Sparkplug group; or the refusal's words.
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("refusal");

    const QStringList none = { QString(), QString(), QString(), QString(), QString() };
    const auto plain = [](const char *broker, const char *prefix = "corvane/points",
                           const QString &user = QString(), const QString &password = QString()) {
        return QStringList { QLatin1String(broker), QLatin1String(prefix), user, password,
            QString() };
    };
    QTest::newRow("no options: the emulator") << QStringList() << QString() << none << QString();
    QTest::newRow("the engine's own options pass by")
        << QStringList { "--disable-gpu", "--remote-debugging-port=9222", "--no-sandbox" }
        << QString() << none << QString();
    QTest::newRow("a password alone does not choose a broker")
        << QStringList() << secret << none << QString();
    for (const char *address : { "mqtt://127.0.0.1:1883", "mqtts://plant-gw:8883",
             "ws://127.0.0.1:9001/mqtt", "wss://plant-gw:8884/mqtt" })
        QTest::newRow(address) << QStringList { "--broker", address } << QString() << plain(address)
                               << QString();
    QTest::newRow("wss with a prefix, user and password from the environment")
        << QStringList { "--disable-gpu", "--broker=wss://plant-gw:8884/mqtt", "--topic-prefix",
               "site/a/", "--broker-user", "operator", "--no-sandbox" }
        << secret << plain("wss://plant-gw:8884/mqtt", "site/a", "operator", secret) << QString();
    QTest::newRow("a password in clear to this machine")
        << QStringList { "--broker", "mqtt://localhost:1883" } << secret
        << plain("mqtt://localhost:1883", "corvane/points", QString(), secret) << QString();
    QTest::newRow("a password over ws to an IPv6 loopback")
        << QStringList { "--broker", "ws://[::1]:9001" } << secret
        << plain("ws://[::1]:9001", "corvane/points", QString(), secret) << QString();
    QTest::newRow("a password in clear to another machine")
        << QStringList { "--broker", "mqtt://plant-gw:1883" } << secret << none
        << "only over an encrypted connection (mqtts:// or wss://) or to a broker on this "
           "machine: mqtt://plant-gw:1883";
    QTest::newRow("a password over ws to a non-loopback address") << QStringList { "--broker",
        "ws://10.0.0.5:9001" } << secret << none << "only over an encrypted connection";
    QTest::newRow("a Sparkplug group with a host id")
        << QStringList { "--broker", "mqtt://127.0.0.1:1", "--sparkplug", "Plant", "--host-id",
               "scada-1" }
        << QString()
        << QStringList { "mqtt://127.0.0.1:1", "corvane/points", QString(), QString(), "Plant" }
        << QString();
    QTest::newRow("an authority and a client certificate over TLS") << QStringList {
        "--broker", "mqtts://h:8883", "--broker-ca", "@", "--broker-cert", "@", "--broker-key", "@"
    } << QString() << plain("mqtts://h:8883") << QString();

    QTest::newRow("http address") << QStringList { "--broker", "http://h:9001" } << QString()
                                  << none
                                  << "must begin with mqtt://, mqtts://, ws:// or wss://: "
                                     "http://h:9001";
    QTest::newRow("address without a scheme") << QStringList { "--broker", "localhost:9001" }
                                              << QString() << none << "must begin with mqtt://";
    QTest::newRow("address holding a user and password") << QStringList { "--broker",
        "ws://op:hunter2@h:9001" } << QString() << none << "must not hold a user name or password";
    QTest::newRow("unreadable address") << QStringList { "--broker", "ws://h:port" } << QString()
                                        << none << "cannot be read: ws://h:port";
    QTest::newRow("address without a host")
        << QStringList { "--broker", "ws:///mqtt" } << QString() << none << "names no host";
    QTest::newRow("address missing")
        << QStringList { "--broker" } << QString() << none << "Missing value after '--broker'";
    QTest::newRow("wildcard in the prefix")
        << QStringList { "--broker", "ws://h:1", "--topic-prefix", "plant/#" } << QString() << none
        << "must not be empty or hold + or #";
    QTest::newRow("empty prefix") << QStringList { "--broker", "ws://h:1", "--topic-prefix=/" }
                                  << QString() << none << "must not be empty";
    QTest::newRow("prefix without a broker")
        << QStringList { "--topic-prefix", "x" } << QString() << none << "needs --broker";
    QTest::newRow("password on the command line")
        << QStringList { "--broker", "ws://h:1", "--broker-password", "hunter2" } << QString()
        << none << "never given on the command line";
    QTest::newRow("password option with its value attached")
        << QStringList { "--broker", "ws://h:1", "--password=hunter2" } << QString() << none
        << "CORVANE_BROKER_PASSWORD";
    QTest::newRow("an authority for a connection in clear")
        << QStringList { "--broker", "mqtt://h:1883", "--broker-ca", "@" } << QString() << none
        << "--broker-ca needs an encrypted broker address";
    QTest::newRow("an authority that is not there")
        << QStringList { "--broker", "mqtts://h:8883", "--broker-ca", "/nowhere/ca.pem" }
        << QString() << none << "--broker-ca: /nowhere/ca.pem is not a file that can be read";
    QTest::newRow("a certificate without its key") << QStringList { "--broker", "mqtts://h:8883",
        "--broker-cert", "@" } << QString() << none << "go together";
    QTest::newRow("a Sparkplug group with a separator") << QStringList { "--broker", "mqtt://h:1",
        "--sparkplug", "a/b" } << QString() << none << "one topic level";
    QTest::newRow("a Sparkplug group and a topic prefix")
        << QStringList { "--broker", "mqtt://h:1", "--sparkplug", "G", "--topic-prefix", "p" }
        << QString() << none << "--topic-prefix is for the plain topics";
    QTest::newRow("a host id without Sparkplug") << QStringList { "--broker", "mqtt://h:1",
        "--host-id", "x" } << QString() << none << "--host-id needs --sparkplug";
}

void TestPlantSettings::readsTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, password);
    QFETCH(QStringList, settings);
    QFETCH(QString, refusal);

    arguments.replaceInStrings(QRegularExpression(QStringLiteral("^@$")), pem);
    arguments.prepend(QStringLiteral("corvane-ui"));
    const PlantSettings::Parsed parsed = PlantSettings::fromArguments(arguments, password);
    if (refusal.isEmpty())
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    else
        QVERIFY2(parsed.error.contains(refusal), qPrintable(parsed.error));
    // A refusal never repeats a secret given by mistake.
    QVERIFY2(!parsed.error.contains(secret), qPrintable(parsed.error));
    const QStringList actual = { parsed.settings.broker, parsed.settings.topicPrefix,
        parsed.settings.user, parsed.settings.password, parsed.settings.sparkplugGroup };
    QCOMPARE(actual, settings);
    QCOMPARE(parsed.settings.usesBroker(), !settings.first().isEmpty());
    if (parsed.settings.usesSparkplug())
        QCOMPARE(parsed.settings.hostId, QStringLiteral("scada-1"));
}

void TestPlantSettings::readsThePasswordFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("permissions");
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("refusal");

    const int owner = int(QFile::ReadOwner | QFile::WriteOwner);
    QTest::newRow("first line, owner only")
        << QByteArray("hunter2\r\nignored\n") << owner << QString() << secret << QString();
    QTest::newRow("no line end") << QByteArray("hunter2") << owner << QString() << secret
                                 << QString();
    QTest::newRow("empty") << QByteArray("\n") << owner << QString() << QString()
                           << "holds no password";
    QTest::newRow("given twice") << QByteArray("hunter2\n") << owner << QStringLiteral("other")
                                 << QString() << "given twice";
#ifdef Q_OS_UNIX
    QTest::newRow("readable by the group")
        << QByteArray("hunter2\n") << (owner | int(QFile::ReadGroup)) << QString() << QString()
        << "may be read by others than its owner: chmod 600 it";
    QTest::newRow("readable by all") << QByteArray("hunter2\n") << (owner | int(QFile::ReadOther))
                                     << QString() << QString() << "chmod 600";
#endif
}

void TestPlantSettings::readsThePasswordFile()
{
    QFETCH(QByteArray, content);
    QFETCH(int, permissions);
    QFETCH(QString, environment);
    QFETCH(QString, password);
    QFETCH(QString, refusal);

    const QString path = dir.filePath(QStringLiteral("password"));
    QFile::remove(path);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    QVERIFY(file.setPermissions(QFile::Permissions(permissions)));
    const PlantSettings::Parsed parsed
        = PlantSettings::fromArguments({ QStringLiteral("corvane-ui"), QStringLiteral("--broker"),
                                           QStringLiteral("mqtt://127.0.0.1:1883"),
                                           QStringLiteral("--broker-password-file"), path },
            environment);
    if (refusal.isEmpty())
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    else
        QVERIFY2(parsed.error.contains(refusal), qPrintable(parsed.error));
    QVERIFY2(!parsed.error.contains(secret), qPrintable(parsed.error));
    QCOMPARE(parsed.settings.password, password);
}

void TestPlantSettings::helpListsTheOptions()
{
    QCommandLineParser parser;
    PlantSettings::addOptions(parser);
    const QString help = parser.helpText();
    for (const char *expected : { "--broker <address>", "--topic-prefix <prefix>",
             "--broker-user <name>", "--broker-password-file <file>", "--broker-ca <file>",
             "--broker-cert <file>", "--broker-key <file>", "--sparkplug <group>", "--host-id <id>",
             "CORVANE_BROKER_PASSWORD", "corvane/points" })
        QVERIFY2(help.contains(QLatin1String(expected)), expected);
}

void TestPlantSettings::addressesForTheClient()
{
    const QList<std::pair<QString, QString>> cases = {
        { QStringLiteral("mqtt://h:1883"), QStringLiteral("tcp://h:1883") },
        { QStringLiteral("mqtts://h:8883"), QStringLiteral("ssl://h:8883") },
        { QStringLiteral("ws://h:9001/mqtt"), QStringLiteral("ws://h:9001/mqtt") },
        { QStringLiteral("wss://h:8884"), QStringLiteral("wss://h:8884") },
    };
    for (const auto &[given, expected] : cases) {
        PlantSettings settings;
        settings.broker = given;
        QCOMPARE(settings.clientAddress(), expected);
        QCOMPARE(settings.encrypted(),
            given.startsWith(QLatin1String("mqtts")) || given.startsWith(QLatin1String("wss")));
    }
}

QTEST_GUILESS_MAIN(TestPlantSettings)
#include "tst_plantsettings.moc"
