// The data-source options: which command lines choose a broker, which are
// refused and why (never echoing a password), and the settings reaching the
// built-in page, and no other page, as a frozen global. A small page under
// "qrc:/mvp/" stands in for the built-in application.

#include "pagescript.h"

#include "datasourcesettings.h"
#include "externalcontenthandler.h"
#include "mainwindow.h"
#include "schemeregistration.h"
#include "webconsolepage.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <memory>
#include <optional>

namespace {

constexpr int engineTimeout = 30000;
const QUrl builtInAddress(QStringLiteral("qrc:/mvp/index.html"));
const QString secret = QStringLiteral("hunter2");

// What the page finds in the global: "undefined", or the record as JSON
// followed by whether it is frozen.
QString globalSeenBy(QWebEngineView *view)
{
    return evaluate(view->page(),
        QStringLiteral("window.corvaneDataSettings === undefined ? 'undefined'"
                       " : JSON.stringify(window.corvaneDataSettings) + ' frozen='"
                       " + Object.isFrozen(window.corvaneDataSettings)"))
        .toString();
}

WebConsolePage *externalPageOf(QObject *window)
{
    for (WebConsolePage *page : window->findChildren<WebConsolePage *>()) {
        if (page->content() == WebConsolePage::Content::External)
            return page;
    }
    return nullptr;
}

// Shows `url` as external content, as the menu does, and waits until the
// page's title is `title`.
bool show(QWebEngineView *view, const QUrl &url, const QString &title)
{
    WebConsolePage *external = externalPageOf(view->window());
    view->setPage(external);
    external->load(url);
    return QTest::qWaitFor(
        [&] { return view->url() == url && view->title() == title; }, engineTimeout);
}

// Answers every request with one small page titled "web".
class PageServer : public QTcpServer
{
public:
    PageServer()
    {
        connect(this, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                    socket->readAll();
                    const QByteArray body = "<!doctype html><title>web</title>";
                    socket->write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n"
                                  "Connection: close\r\nContent-Length: "
                        + QByteArray::number(body.size()) + "\r\n\r\n" + body);
                    socket->disconnectFromHost();
                });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        listen(QHostAddress::LocalHost);
    }
};

} // namespace

class TestDataSourceSettings : public QObject
{
    Q_OBJECT

private slots:
    void readsTheCommandLine_data();
    void readsTheCommandLine();
    void helpListsTheOptions();
    void settingsReachTheBuiltInPageOnly();
    void withoutBrokerNothingIsInjected();
    void cleanup();

private:
    std::unique_ptr<MainWindow> window;
};

void TestDataSourceSettings::readsTheCommandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("password");
    // Expected: broker, topic prefix, user, password; or the refusal's words.
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("refusal");

    const QStringList emulator = { QString(), QString(), QString(), QString() };
    QTest::newRow("no options: the emulator")
        << QStringList() << QString() << emulator << QString();
    QTest::newRow("the engine's own options pass by")
        << QStringList { "--disable-gpu", "--remote-debugging-port=9222", "--no-sandbox" }
        << QString() << emulator << QString();
    QTest::newRow("a password alone does not choose a broker")
        << QStringList() << secret << emulator << QString();
    QTest::newRow("ws address with the default prefix")
        << QStringList { "--broker", "ws://127.0.0.1:9001" } << QString()
        << QStringList { "ws://127.0.0.1:9001", "corvane/points", QString(), QString() }
        << QString();
    QTest::newRow("wss with a path, prefix, user and password from the environment")
        << QStringList { "--disable-gpu", "--broker=wss://plant-gw:8884/mqtt", "--topic-prefix",
               "site/a", "--broker-user", "operator", "--no-sandbox" }
        << secret << QStringList { "wss://plant-gw:8884/mqtt", "site/a", "operator", secret }
        << QString();
    QTest::newRow("a password over ws to this machine")
        << QStringList { "--broker", "ws://localhost:9001" } << secret
        << QStringList { "ws://localhost:9001", "corvane/points", QString(), secret } << QString();
    QTest::newRow("a password over ws to an IPv6 loopback")
        << QStringList { "--broker", "ws://[::1]:9001" } << secret
        << QStringList { "ws://[::1]:9001", "corvane/points", QString(), secret } << QString();
    QTest::newRow("a password over ws to another machine")
        << QStringList { "--broker", "ws://plant-gw:9001" } << secret << emulator
        << "only over an encrypted connection (wss://) or to a broker on this machine: "
           "ws://plant-gw:9001";
    QTest::newRow("a password over ws to a non-loopback address") << QStringList { "--broker",
        "ws://10.0.0.5:9001" } << secret << emulator << "only over an encrypted connection";
    QTest::newRow("an empty password is none")
        << QStringList { "--broker", " ws://h:1 ", "--broker-user=op" } << QString()
        << QStringList { "ws://h:1", "corvane/points", "op", QString() } << QString();

    QTest::newRow("http address") << QStringList { "--broker", "http://h:9001" } << QString()
                                  << emulator << "must begin with ws:// or wss://: http://h:9001";
    QTest::newRow("mqtt address") << QStringList { "--broker=mqtt://h:1883" } << QString()
                                  << emulator << "must begin with ws:// or wss://";
    QTest::newRow("address without a scheme")
        << QStringList { "--broker", "localhost:9001" } << QString() << emulator
        << "must begin with ws:// or wss://";
    QTest::newRow("address holding a user and password")
        << QStringList { "--broker", "ws://op:hunter2@h:9001" } << QString() << emulator
        << "must not hold a user name or password";
    QTest::newRow("unreadable address") << QStringList { "--broker", "ws://h:port" } << QString()
                                        << emulator << "cannot be read: ws://h:port";
    QTest::newRow("address without a host")
        << QStringList { "--broker", "ws:///mqtt" } << QString() << emulator << "names no host";
    QTest::newRow("address missing")
        << QStringList { "--broker" } << QString() << emulator << "Missing value after '--broker'";
    QTest::newRow("wildcard in the prefix")
        << QStringList { "--broker", "ws://h:1", "--topic-prefix", "plant/#" } << QString()
        << emulator << "must not be empty or hold + or #";
    QTest::newRow("empty prefix") << QStringList { "--broker", "ws://h:1", "--topic-prefix=" }
                                  << QString() << emulator << "must not be empty";
    QTest::newRow("prefix without a broker")
        << QStringList { "--topic-prefix", "x" } << QString() << emulator << "need --broker";
    QTest::newRow("password on the command line")
        << QStringList { "--broker", "ws://h:1", "--broker-password", "hunter2" } << QString()
        << emulator << "never given on the command line";
    QTest::newRow("password option with its value attached")
        << QStringList { "--broker", "ws://h:1", "--password=hunter2" } << QString() << emulator
        << "CORVANE_BROKER_PASSWORD";
}

void TestDataSourceSettings::readsTheCommandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, password);
    QFETCH(QStringList, settings);
    QFETCH(QString, refusal);

    arguments.prepend(QStringLiteral("corvane-ui"));
    const DataSourceSettings::Parsed parsed
        = DataSourceSettings::fromArguments(arguments, password);
    if (refusal.isEmpty())
        QVERIFY2(parsed.error.isEmpty(), qPrintable(parsed.error));
    else
        QVERIFY2(parsed.error.contains(refusal), qPrintable(parsed.error));
    // A refusal never repeats a secret given by mistake.
    QVERIFY2(!parsed.error.contains(secret), qPrintable(parsed.error));
    const QStringList actual = { parsed.settings.broker, parsed.settings.topicPrefix,
        parsed.settings.user, parsed.settings.password };
    QCOMPARE(actual, settings);
    QCOMPARE(parsed.settings.usesBroker(), !settings.first().isEmpty());
}

void TestDataSourceSettings::helpListsTheOptions()
{
    QCommandLineParser parser;
    DataSourceSettings::addOptions(parser);
    const QString help = parser.helpText();
    for (const char *expected : { "--broker <address>", "--topic-prefix <prefix>",
             "--broker-user <name>", "CORVANE_BROKER_PASSWORD", "corvane/points" })
        QVERIFY2(help.contains(QLatin1String(expected)), expected);
}

void TestDataSourceSettings::settingsReachTheBuiltInPageOnly()
{
    DataSourceSettings settings;
    settings.broker = QStringLiteral("ws://127.0.0.1:9/mqtt");
    settings.topicPrefix = QStringLiteral("site/a");
    settings.user = QStringLiteral("operator");
    // Quotes, a backslash, a line break and a placeholder stay literal.
    settings.password = secret + QStringLiteral("\"'\\\n%1</script>");
    window = std::make_unique<MainWindow>(settings);
    window->show();
    auto *view = window->findChild<QWebEngineView *>();
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("stand-in"), engineTimeout);
    QCOMPARE(view->url(), builtInAddress);

    const QJsonObject expected { { "broker", settings.broker },
        { "topicPrefix", settings.topicPrefix }, { "user", settings.user },
        { "password", settings.password } };
    const QString seen = globalSeenBy(view);
    QVERIFY2(seen.endsWith(QStringLiteral(" frozen=true")), qPrintable(seen));
    QCOMPARE(QJsonDocument::fromJson(seen.chopped(12).toUtf8()).object(), expected);
    // The page takes the settings and removes them from its globals.
    QCOMPARE(evaluate(view->page(),
                 QStringLiteral("delete window.corvaneDataSettings;"
                                "String(window.corvaneDataSettings)")),
        QVariant(QStringLiteral("undefined")));

    // An external application from a directory.
    QTemporaryDir root;
    QFile app(QDir(root.path()).filePath(QStringLiteral("app.html")));
    QVERIFY(app.open(QIODevice::WriteOnly));
    app.write("<!doctype html><title>external</title>");
    app.close();
    window->findChild<ExternalContentHandler *>()->setRootDirectory(root.path());
    QVERIFY(show(
        view, QUrl(QStringLiteral("corvane://content/mvp/app.html")), QStringLiteral("external")));
    QCOMPARE(globalSeenBy(view), QStringLiteral("undefined"));

    // A web address.
    PageServer server;
    QVERIFY(server.isListening());
    QVERIFY(show(view, QUrl(QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort())),
        QStringLiteral("web")));
    QCOMPARE(globalSeenBy(view), QStringLiteral("undefined"));
    // Its page has neither the script nor the built-in application's process.
    WebConsolePage *external = externalPageOf(window.get());
    QVERIFY(external->scripts().find(QStringLiteral("corvane-data-settings")).isEmpty());

    // Back to the built-in application, as it was left; reloaded, it has the
    // settings again.
    window->loadBuiltInApplication();
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("stand-in"), engineTimeout);
    QCOMPARE(globalSeenBy(view), QStringLiteral("undefined"));
    window->loadBuiltInApplication();
    QTRY_VERIFY_WITH_TIMEOUT(globalSeenBy(view) != QStringLiteral("undefined"), engineTimeout);
    QVERIFY(globalSeenBy(view).contains(QStringLiteral("\"broker\":\"ws://127.0.0.1:9/mqtt\"")));

    const QString log = window->findChild<QPlainTextEdit *>()->toPlainText();
    QVERIFY2(!log.contains(secret), qPrintable(log));
}

void TestDataSourceSettings::withoutBrokerNothingIsInjected()
{
    window = std::make_unique<MainWindow>();
    auto *view = window->findChild<QWebEngineView *>();
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("stand-in"), engineTimeout);
    QCOMPARE(globalSeenBy(view), QStringLiteral("undefined"));
    QVERIFY(view->page()->scripts().find(QStringLiteral("corvane-data-settings")).isEmpty());
}

void TestDataSourceSettings::cleanup()
{
    window.reset();
    // The engine keeps the scheme taken after its handler is gone: free it
    // for the next window.
    QWebEngineProfile::defaultProfile()->removeUrlScheme(corvaneSchemeName);
}

int main(int argc, char **argv)
{
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestDataSourceSettings test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_datasourcesettings.moc"
