// The "corvane" scheme handler behind a real page: what it serves, with which
// type, and how it refuses everything outside the chosen directory.

#include "pagescript.h"

#include "externalcontenthandler.h"
#include "schemeregistration.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

namespace {

constexpr int engineTimeout = 30000;
constexpr char secretText[] = "outside secret";

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

struct LoadEnd
{
    static constexpr int Pending = -1;
    int status = Pending;
    int errorCode = 0;
};

// A profile of its own with the handler installed, and a page on it. Members
// are destroyed in reverse order: the page before its profile.
struct Station
{
    QWebEngineProfile profile;
    ExternalContentHandler handler;
    QWebEnginePage page { &profile };
    QSignalSpy errors { &handler, &ExternalContentHandler::resourceError };

    Station() { profile.installUrlSchemeHandler(corvaneSchemeName, &handler); }

    // Loads an address as the page and waits for its end.
    LoadEnd load(const QUrl &url)
    {
        LoadEnd end;
        QObject context;
        QObject::connect(&page, &QWebEnginePage::loadingChanged, &context,
            [&end](const QWebEngineLoadingInfo &info) {
                if (info.status() == QWebEngineLoadingInfo::LoadSucceededStatus
                    || info.status() == QWebEngineLoadingInfo::LoadFailedStatus) {
                    end.status = info.status();
                    end.errorCode = info.errorCode();
                }
            });
        page.load(url);
        if (!QTest::qWaitFor([&end] { return end.status != LoadEnd::Pending; }, engineTimeout))
            qWarning("no end of loading %s", qPrintable(url.toString()));
        return end;
    }

    QVariant evaluate(const QString &script) { return ::evaluate(&page, script, engineTimeout); }

    // A synchronous request from the page: [status, content type, text], or
    // status 0 when the request failed.
    QVariantList request(const QString &address)
    {
        return evaluate(QStringLiteral("(function () {"
                                       "  const x = new XMLHttpRequest();"
                                       "  try {"
                                       "    x.open('GET', %1, false);"
                                       "    x.send();"
                                       "    return [x.status, x.getResponseHeader('Content-Type')"
                                       "            || '', x.responseText];"
                                       "  } catch (e) { return [0, '', String(e)]; }"
                                       "})()")
                            .arg(QLatin1Char('\'') + address + QLatin1Char('\'')))
            .toList();
    }

    QString documentText()
    {
        return evaluate(QStringLiteral("document.body ? document.body.innerText : ''")).toString();
    }
};

// The engine's network error numbers for the two job errors the handler uses.
constexpr int fileNotFoundError = -6;
constexpr int accessDeniedError = -10;

} // namespace

class TestExternalContentHandler : public QObject
{
    Q_OBJECT

private slots:
    void registersSchemeWithHostSyntax();
    void refusesRequest_data();
    void refusesRequest();
    void servesFileWithItsType_data();
    void servesFileWithItsType();
    void servesPageForAnyHost();
    void refusesUnreadableFile();
    void secondRootMovesRequests();
    void readsOnlyWhatWasResolved_data();
    void readsOnlyWhatWasResolved();
};

void TestExternalContentHandler::registersSchemeWithHostSyntax()
{
    const QWebEngineUrlScheme scheme = QWebEngineUrlScheme::schemeByName(corvaneSchemeName);
    QCOMPARE(scheme.name(), QByteArrayLiteral("corvane"));
    QCOMPARE(scheme.syntax(), QWebEngineUrlScheme::Syntax::Host);
    QCOMPARE(scheme.defaultPort(), int(QWebEngineUrlScheme::PortUnspecified));
    // Secure, local, local access, CORS and fetch; nothing else.
    QCOMPARE(int(scheme.flags()), 0x187);
}

void TestExternalContentHandler::refusesRequest_data()
{
    QTest::addColumn<bool>("rootSet");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("engineError");
    QTest::addColumn<QString>("reason"); // "<root>" stands for the root directory

    const QString unsupported = QStringLiteral("The requested path is not supported");
    const QString denied
        = QStringLiteral("Access to a file outside the selected directory is denied");
    const QString notFound = QStringLiteral("File not found in the selected directory\n"
                                            "Directory: <root>\nRelative path: %1\n"
                                            "Resolved path: <root>%2");

    QTest::newRow("no root yet") << false << "corvane://content/mvp/index.html" << fileNotFoundError
                                 << unsupported;
    QTest::newRow("prefix in capitals")
        << true << "corvane://content/MVP/index.html" << fileNotFoundError << unsupported;
    QTest::newRow("another first segment")
        << true << "corvane://content/assets/index.html" << fileNotFoundError << unsupported;
    QTest::newRow("exactly the prefix") << true << "corvane://content/mvp/" << fileNotFoundError
                                        << notFound.arg(QString(), QString());
    QTest::newRow("sub-directory")
        << true << "corvane://content/mvp/sub" << fileNotFoundError << notFound.arg("sub", "/sub");
    QTest::newRow("missing file") << true << "corvane://content/mvp/none.html" << fileNotFoundError
                                  << notFound.arg("none.html", "/none.html");
    QTest::newRow("encoded dot-dot climbs out")
        << true << "corvane://content/mvp/sub%2F..%2F..%2Foutside%2Fsecret.txt" << accessDeniedError
        << denied;
    QTest::newRow("encoded leading slash")
        << true << "corvane://content/mvp/%2Fetc%2Fpasswd" << accessDeniedError << denied;
    QTest::newRow("link to a file outside")
        << true << "corvane://content/mvp/link-out.txt" << accessDeniedError << denied;
    QTest::newRow("file through a directory link outside")
        << true << "corvane://content/mvp/linkdir-out/secret.txt" << accessDeniedError << denied;
}

void TestExternalContentHandler::refusesRequest()
{
    QFETCH(bool, rootSet);
    QFETCH(QString, address);
    QFETCH(int, engineError);
    QFETCH(QString, reason);

    // base/root is served; base/outside is its sibling, reached only by climbing or links.
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString root = base.filePath(QStringLiteral("root"));
    const QString outside = base.filePath(QStringLiteral("outside"));
    QVERIFY(QDir().mkpath(root + QStringLiteral("/sub")) && QDir().mkpath(outside));
    QVERIFY(writeFile(root + QStringLiteral("/index.html"), "<p>inside</p>"));
    QVERIFY(writeFile(outside + QStringLiteral("/secret.txt"), secretText));
    QVERIFY(QFile::link(
        outside + QStringLiteral("/secret.txt"), root + QStringLiteral("/link-out.txt")));
    QVERIFY(QFile::link(outside, root + QStringLiteral("/linkdir-out")));

    Station station;
    if (rootSet)
        station.handler.setRootDirectory(root);
    const QUrl url(address);
    const LoadEnd info = station.load(url);
    QCOMPARE(info.status, int(QWebEngineLoadingInfo::LoadFailedStatus));
    QCOMPARE(info.errorCode, engineError);

    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(station.errors.at(0).at(0).toString(), url.toDisplayString());
    QCOMPARE(station.errors.at(0).at(1).toString(), QString(reason).replace("<root>", root));
    QVERIFY(!station.documentText().contains(QLatin1String(secretText)));
}

void TestExternalContentHandler::servesFileWithItsType_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("path"); // as written in the address
    QTest::addColumn<QStringList>("types"); // any of these

    const QByteArray png
        = QByteArray::fromHex("89504e470d0a1a0a0000000d49484452000000010000000108060000"
                              "001f15c4890000000a49444154789c6300010000050001");
    QTest::newRow("page") << "page.html" << QByteArray("<p>hello</p>") << "page.html"
                          << QStringList { "text/html" };
    QTest::newRow("script in sub-directory")
        << "assets/app.js" << QByteArray("console.log('x');") << "assets/app.js"
        << QStringList { "text/javascript", "application/javascript" };
    QTest::newRow("stylesheet") << "assets/app.css" << QByteArray("body { margin: 0; }")
                                << "assets/app.css" << QStringList { "text/css" };
    QTest::newRow("image") << "logo.png" << png << "logo.png" << QStringList { "image/png" };
    QTest::newRow("unknown binary") << "blob.zq9" << QByteArray("\x00\x01\x02\xff\xfe", 5)
                                    << "blob.zq9" << QStringList { "application/octet-stream" };
    QTest::newRow("blanks written as escapes")
        << "my file.txt" << QByteArray("blanks") << "my%20file.txt" << QStringList { "text/plain" };
    QTest::newRow("hash and percent written as escapes")
        << "a#b%c.txt" << QByteArray("odd") << "a%23b%25c.txt" << QStringList { "text/plain" };
}

void TestExternalContentHandler::servesFileWithItsType()
{
    QFETCH(QString, fileName);
    QFETCH(QByteArray, contents);
    QFETCH(QString, path);
    QFETCH(QStringList, types);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("assets")));
    QVERIFY(writeFile(root.filePath(QStringLiteral("index.html")), "<p>start</p>"));
    QVERIFY(writeFile(root.filePath(fileName), contents));

    Station station;
    station.handler.setRootDirectory(root.path());
    QCOMPARE(station.load(QUrl(QStringLiteral("corvane://content/mvp/index.html"))).status,
        int(QWebEngineLoadingInfo::LoadSucceededStatus));
    QCOMPARE(station.documentText(), QStringLiteral("start"));

    const QVariantList reply = station.request(QStringLiteral("/mvp/") + path);
    QCOMPARE(reply.size(), 3);
    QVERIFY2(reply.at(0).toInt() != 0, qPrintable(reply.at(2).toString()));
    const QString type = reply.at(1).toString().section(QLatin1Char(';'), 0, 0).trimmed();
    QVERIFY2(types.contains(type), qPrintable(type));
    if (!type.startsWith(QLatin1String("image/"))
        && type != QLatin1String("application/octet-stream"))
        QCOMPARE(reply.at(2).toString().toUtf8(), contents);
    QCOMPARE(station.errors.size(), 0);
}

void TestExternalContentHandler::servesPageForAnyHost()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(writeFile(root.filePath(QStringLiteral("index.html")), "<p>any host</p>"));

    Station station;
    station.handler.setRootDirectory(root.path());
    QCOMPARE(station.load(QUrl(QStringLiteral("corvane://elsewhere/mvp/index.html"))).status,
        int(QWebEngineLoadingInfo::LoadSucceededStatus));
    QCOMPARE(station.documentText(), QStringLiteral("any host"));
    QCOMPARE(station.errors.size(), 0);
}

void TestExternalContentHandler::refusesUnreadableFile()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString locked = root.filePath(QStringLiteral("locked.html"));
    QVERIFY(writeFile(locked, "<p>locked</p>"));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
    if (QFile probe(locked); probe.open(QIODevice::ReadOnly))
        QSKIP("this process reads the file despite its permissions (running as root, or a file "
              "system without read permissions), so it cannot be made unreadable");

    Station station;
    station.handler.setRootDirectory(root.path());
    const LoadEnd info = station.load(QUrl(QStringLiteral("corvane://content/mvp/locked.html")));
    QCOMPARE(info.status, int(QWebEngineLoadingInfo::LoadFailedStatus));
    QCOMPARE(info.errorCode, fileNotFoundError);
    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(
        station.errors.at(0).at(1).toString(), QStringLiteral("Could not open file for reading"));
}

void TestExternalContentHandler::secondRootMovesRequests()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(first.isValid() && second.isValid());
    QVERIFY(writeFile(first.filePath(QStringLiteral("index.html")), "<p>first</p>"));
    QVERIFY(writeFile(first.filePath(QStringLiteral("only-first.js")), "1"));
    QVERIFY(writeFile(second.filePath(QStringLiteral("index.html")), "<p>second</p>"));

    Station station;
    station.handler.setRootDirectory(first.path());
    QCOMPARE(station.load(QUrl(QStringLiteral("corvane://content/mvp/index.html"))).status,
        int(QWebEngineLoadingInfo::LoadSucceededStatus));
    QCOMPARE(station.request(QStringLiteral("/mvp/only-first.js")).value(2).toString(),
        QStringLiteral("1"));

    // The page of the first application stays; its further requests go to the second.
    station.handler.setRootDirectory(second.path());
    QCOMPARE(station.request(QStringLiteral("/mvp/index.html")).value(2).toString(),
        QStringLiteral("<p>second</p>"));
    QCOMPARE(station.request(QStringLiteral("/mvp/only-first.js")).value(0).toInt(), 0);
    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(station.errors.at(0).at(1).toString(),
        QStringLiteral("File not found in the selected directory\nDirectory: %1\n"
                       "Relative path: only-first.js\nResolved path: %1/only-first.js")
            .arg(second.path()));
}

void TestExternalContentHandler::readsOnlyWhatWasResolved_data()
{
    QTest::addColumn<QString>("swap");
    QTest::addColumn<QString>("reason");

    const QString link = QStringLiteral(
        "The file was replaced by a link since it was found; links are not followed");
    QTest::newRow("nothing changes") << QString() << QString();
    QTest::newRow("a folder on the way becomes a link out") << "folder" << link;
    QTest::newRow("the file becomes a link out") << "file" << link;
    QTest::newRow("the file becomes a FIFO") << "fifo" << QStringLiteral("Not a regular file");
}

void TestExternalContentHandler::readsOnlyWhatWasResolved()
{
#ifndef Q_OS_UNIX
    QSKIP("links and FIFOs are swapped in with POSIX calls");
#else
    QFETCH(QString, swap);
    QFETCH(QString, reason);

    QTemporaryDir root;
    QTemporaryDir outside;
    QVERIFY(root.isValid() && outside.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("data")));
    QVERIFY(writeFile(root.filePath(QStringLiteral("index.html")), "<p>app</p>"));
    QVERIFY(writeFile(root.filePath(QStringLiteral("data/points.json")), "own"));
    QVERIFY(writeFile(outside.filePath(QStringLiteral("points.json")), secretText));

    Station station;
    station.handler.setRootDirectory(root.path());
    QCOMPARE(station.load(QUrl(QStringLiteral("corvane://content/mvp/index.html"))).status,
        int(QWebEngineLoadingInfo::LoadSucceededStatus));

    // Between the resolution of the request and the opening of its file.
    const QString folder = root.filePath(QStringLiteral("data"));
    const QString file = root.filePath(QStringLiteral("data/points.json"));
    station.handler.setBeforeOpenHook([&](const QString &path) {
        if (!path.endsWith(QLatin1String("points.json")))
            return;
        if (swap == QLatin1String("folder")) {
            QDir(root.path()).rename(QStringLiteral("data"), QStringLiteral("data.old"));
            QFile::link(outside.path(), folder);
        } else if (swap == QLatin1String("file")) {
            QFile::remove(file);
            QFile::link(outside.filePath(QStringLiteral("points.json")), file);
        } else if (swap == QLatin1String("fifo")) {
            QFile::remove(file);
            ::mkfifo(QFile::encodeName(file).constData(), 0600);
        }
    });
    const QVariantList answer = station.request(QStringLiteral("/mvp/data/points.json"));
    if (reason.isEmpty()) {
        QCOMPARE(answer.value(2).toString(), QStringLiteral("own"));
        QCOMPARE(station.errors.size(), 0);
        return;
    }
    QCOMPARE(answer.value(0).toInt(), 0);
    QVERIFY(!answer.value(2).toString().contains(QLatin1String(secretText)));
    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(station.errors.at(0).at(1).toString(), reason);
#endif
}

int main(int argc, char **argv)
{
    // The scheme exists for the engine only when registered before the application.
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestExternalContentHandler test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_externalcontenthandler.moc"
