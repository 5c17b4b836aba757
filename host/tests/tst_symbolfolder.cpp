// The folder of own symbols: what it lists, what it reports (once per
// contents), how it follows the disk, and how its handler serves the listing
// to the built-in application alone. A small page under "qrc:/mvp/" stands in
// for the built-in application.

#include "pagescript.h"

#include "externalcontenthandler.h"
#include "schemefolder.h"
#include "schemeregistration.h"
#include "svgsanitizer.h"
#include "symbolfolder.h"
#include "symbolfolderhandler.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>

namespace {

constexpr int engineTimeout = 30000;
const QUrl standInAddress(QStringLiteral("qrc:/mvp/index.html"));
const QByteArray pump = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 20 10">)"
                        R"(<circle data-part="fill" cx="5" cy="5" r="4"/></svg>)";
const QByteArray hostile = R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 1 1">)"
                           R"(<script>alert(1)</script></svg>)";

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QStringList namesOf(const QList<SymbolFileInfo> &symbols)
{
    QStringList names;
    for (const SymbolFileInfo &symbol : symbols)
        names.append(symbol.name);
    return names;
}

QStringList messagesOf(const QSignalSpy &spy)
{
    QStringList messages;
    for (const QList<QVariant> &call : spy)
        messages.append(call.at(0).toString());
    return messages;
}

QString notListed(const QString &reason, const QString &path)
{
    return QStringLiteral("Symbol file not listed: %1\n%2")
        .arg(reason, QDir::toNativeSeparators(path));
}

// A profile of its own with the handlers, and a page on it; the page goes first.
struct Station
{
    QWebEngineProfile profile;
    SymbolFolder folder;
    SymbolFolderHandler handler { &folder };
    ExternalContentHandler contentHandler;
    QWebEnginePage page { &profile };
    QSignalSpy errors { &handler, &SymbolFolderHandler::resourceError };

    Station()
    {
        profile.installUrlSchemeHandler(symbolFolderSchemeName, &handler);
        profile.installUrlSchemeHandler(corvaneSchemeName, &contentHandler);
    }

    bool load(const QUrl &url, const QString &html = QString())
    {
        bool finished = false;
        bool ok = false;
        QObject context;
        QObject::connect(&page, &QWebEnginePage::loadFinished, &context, [&](bool success) {
            finished = true;
            ok = success;
        });
        if (html.isEmpty())
            page.load(url);
        else
            page.setHtml(html, url);
        if (!QTest::qWaitFor([&finished] { return finished; }, engineTimeout))
            qWarning("no end of loading %s", qPrintable(url.toString()));
        return ok;
    }

    // A synchronous request from the page: [status, text]; status 0 when it failed.
    QVariantList request(const QString &address, const QString &method = QStringLiteral("GET"))
    {
        return evaluate(&page,
            QStringLiteral("(function () {"
                           "  const x = new XMLHttpRequest();"
                           "  try {"
                           "    x.open('%1', '%2', false);"
                           "    x.send();"
                           "    return [x.status, x.responseText];"
                           "  } catch (e) { return [0, String(e)]; }"
                           "})()")
                .arg(method, address),
            engineTimeout)
            .toList();
    }
};

} // namespace

class TestSymbolFolder : public QObject
{
    Q_OBJECT

private slots:
    void liesBesideTheSchemeFolder();
    void listsCleanSymbols();
    void reportsEachContentsOnce();
    void followsTheDisk();
    void servesTheListing();
    void refusesRequest_data();
    void refusesRequest();
    void refusesOtherPages_data();
    void refusesOtherPages();
};

void TestSymbolFolder::liesBesideTheSchemeFolder()
{
    QCOMPARE(SymbolFolder::besideSchemeFolder(QStringLiteral("/srv/plant/schemes")),
        QStringLiteral("/srv/plant/symbols"));
    QCOMPARE(SymbolFolder::besideSchemeFolder(QStringLiteral("/srv/plant/schemes/")),
        QStringLiteral("/srv/plant/symbols"));
    QCOMPARE(
        QFileInfo(SymbolFolder::defaultPath()).dir(), QFileInfo(SchemeFolder::defaultPath()).dir());
}

void TestSymbolFolder::listsCleanSymbols()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    const QString folderPath = base.filePath(QStringLiteral("symbols"));
    const QString outside = base.filePath(QStringLiteral("outside.svg"));
    QVERIFY(QDir().mkpath(folderPath + "/sub"));
    QVERIFY(writeFile(folderPath + "/pump.svg", pump));
    QVERIFY(writeFile(folderPath + "/Клапан 2.svg", pump));
    QVERIFY(writeFile(folderPath + "/tank.v2.SVG", pump));
    QVERIFY(writeFile(folderPath + "/evil.svg", hostile));
    QVERIFY(writeFile(folderPath + "/.hidden.svg", pump));
    QVERIFY(writeFile(folderPath + "/notes.txt", pump));
    QVERIFY(writeFile(folderPath + "/sub/nested.svg", pump));
    QVERIFY(writeFile(outside, pump));
    QVERIFY(QFile::link(outside, folderPath + "/link-out.svg"));
    QVERIFY(QFile::link(folderPath + "/pump.svg", folderPath + "/link-in.svg"));

    SymbolFolder folder;
    QSignalSpy problems(&folder, &SymbolFolder::problem);
    folder.setPath(folderPath);

    QCOMPARE(namesOf(folder.symbols()), QStringList({ "link-in", "pump", "tank.v2", "Клапан 2" }));
    QCOMPARE(messagesOf(problems),
        QStringList({ notListed("The element <script> is not allowed", folderPath + "/evil.svg"),
            notListed("it leads outside the symbol folder", folderPath + "/link-out.svg") }));

    const QJsonArray listed
        = QJsonDocument::fromJson(folder.listing()).object().value("symbols").toArray();
    QCOMPARE(listed.size(), 4);
    const QJsonObject first = listed.at(1).toObject();
    QCOMPARE(first.value("name").toString(), QStringLiteral("pump"));
    QCOMPARE(first.value("svg").toString().toUtf8(), SvgSanitizer::sanitize(pump).svg);
    QCOMPARE(first.value("width").toDouble(), 20.0);
    QCOMPARE(first.value("height").toDouble(), 10.0);
}

void TestSymbolFolder::reportsEachContentsOnce()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    SymbolFolder folder;
    QSignalSpy problems(&folder, &SymbolFolder::problem);
    folder.setPath(base.path());
    const QString path = base.filePath(QStringLiteral("valve.svg"));
    const QString path2 = base.filePath(QStringLiteral("valve.SVG"));

    QVERIFY(writeFile(path, hostile));
    QTRY_COMPARE_WITH_TIMEOUT(problems.size(), 1, 2000);
    // Touched with the same contents, or another file added: not again.
    QVERIFY(writeFile(path, hostile));
    QVERIFY(writeFile(base.filePath(QStringLiteral("other.svg")), pump));
    QTRY_COMPARE_WITH_TIMEOUT(namesOf(folder.symbols()), QStringList { "other" }, 2000);
    QTest::qWait(500);
    QCOMPARE(problems.size(), 1);

    // Other contents with another fault: reported again.
    QVERIFY(writeFile(path, "<svg"));
    QTRY_COMPARE_WITH_TIMEOUT(problems.size(), 2, 2000);
    QVERIFY(problems.at(1).at(0).toString().startsWith(
        QStringLiteral("Symbol file not listed: Not well-formed XML")));

    // Mended, then a second file of the same name in other letters.
    QVERIFY(writeFile(path, pump));
    QTRY_COMPARE_WITH_TIMEOUT(namesOf(folder.symbols()), QStringList({ "other", "valve" }), 2000);
    // Only where the disk tells letters apart.
    QVERIFY(writeFile(path2, pump));
    if (QDir(base.path()).entryList({ QStringLiteral("valve.*") }, QDir::Files).size() == 2) {
        QTRY_COMPARE_WITH_TIMEOUT(problems.size(), 3, 2000);
        QCOMPARE(problems.at(2).at(0).toString(),
            notListed("its name valve is already taken by valve.SVG", path));
        QCOMPARE(namesOf(folder.symbols()), QStringList({ "other", "valve" }));
    }
}

void TestSymbolFolder::followsTheDisk()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    SymbolFolder folder;
    folder.setPath(base.path());
    QSignalSpy changes(&folder, &SymbolFolder::changed);
    const QString path = base.filePath(QStringLiteral("new.svg"));

    QVERIFY(writeFile(path, pump));
    QTRY_COMPARE_WITH_TIMEOUT(namesOf(folder.symbols()), QStringList { "new" }, 2000);
    QCOMPARE(changes.size(), 1);

    const QByteArray wider = QByteArray(pump).replace("0 0 20 10", "0 0 40 10");
    QVERIFY(writeFile(path, wider));
    QTRY_COMPARE_WITH_TIMEOUT(folder.symbols().value(0).width, 40.0, 2000);
    QCOMPARE(changes.size(), 2);

    // Broken: it leaves the listing.
    QVERIFY(writeFile(path, hostile));
    QTRY_VERIFY_WITH_TIMEOUT(folder.symbols().isEmpty(), 2000);
    QCOMPARE(changes.size(), 3);

    QVERIFY(QFile::remove(path));
    QTest::qWait(500);
    QCOMPARE(changes.size(), 3); // nothing listed before, nothing listed now
}

void TestSymbolFolder::servesTheListing()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    QVERIFY(writeFile(base.filePath(QStringLiteral("pump.svg")), pump));
    Station station;
    station.folder.setPath(base.path());
    QVERIFY(station.load(standInAddress));

    const QVariantList reply = station.request(QStringLiteral("corvane-symbols://folder/"));
    QCOMPARE(reply.value(0).toInt(), 200);
    QCOMPARE(reply.value(1).toString().toUtf8(), station.folder.listing());
    QCOMPARE(station.errors.size(), 0);
}

void TestSymbolFolder::refusesRequest_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a file by its name") << "GET"
                                        << "pump.svg"
                                        << "Not an address of the symbol folder: /pump.svg";
    QTest::newRow("climbing out") << "GET"
                                  << "..%2F..%2Fetc%2Fpasswd"
                                  << "Not an address of the symbol folder: /../../etc/passwd";
    QTest::newRow("a post") << "POST"
                            << ""
                            << "The symbol folder is read-only";
}

void TestSymbolFolder::refusesRequest()
{
    QFETCH(QString, method);
    QFETCH(QString, path);
    QFETCH(QString, reason);

    QTemporaryDir base;
    QVERIFY(base.isValid());
    QVERIFY(writeFile(base.filePath(QStringLiteral("pump.svg")), pump));
    Station station;
    station.folder.setPath(base.path());
    QVERIFY(station.load(standInAddress));

    const QVariantList reply
        = station.request(QStringLiteral("corvane-symbols://folder/") + path, method);
    QCOMPARE(reply.value(0).toInt(), 0);
    QVERIFY(!reply.value(1).toString().contains(QLatin1String("circle")));
    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(station.errors.at(0).at(1).toString(), reason);
}

void TestSymbolFolder::refusesOtherPages_data()
{
    QTest::addColumn<QUrl>("pageAddress");
    QTest::addColumn<QString>("html");
    QTest::addColumn<QString>("requester");

    QTest::newRow("external application from a directory")
        << QUrl("corvane://content/mvp/index.html") << QString() << "corvane://content";
    QTest::newRow("web page") << QUrl("https://example.test/") << "<p>web</p>"
                              << "https://example.test";
    QTest::newRow("data page") << QUrl("data:text/html,<p>data</p>") << QString() << "null";
}

void TestSymbolFolder::refusesOtherPages()
{
    QFETCH(QUrl, pageAddress);
    QFETCH(QString, html);
    QFETCH(QString, requester);

    QTemporaryDir base;
    QVERIFY(base.isValid());
    QVERIFY(QDir().mkpath(base.filePath(QStringLiteral("app"))));
    QVERIFY(writeFile(base.filePath(QStringLiteral("app/index.html")), "<p>external</p>"));
    QVERIFY(writeFile(base.filePath(QStringLiteral("pump.svg")), pump));
    Station station;
    station.folder.setPath(base.path());
    station.contentHandler.setRootDirectory(base.filePath(QStringLiteral("app")));
    station.load(pageAddress, html);

    const QVariantList reply = station.request(QStringLiteral("corvane-symbols://folder/"));
    QCOMPARE(reply.value(0).toInt(), 0);
    QVERIFY(!reply.value(1).toString().contains(QLatin1String(R"("symbols")")));
    // The engine itself may refuse before asking; when it asks, the handler refuses.
    for (const QList<QVariant> &error : station.errors) {
        QCOMPARE(error.at(1).toString(),
            QStringLiteral("Only the built-in application may read the symbol folder\n"
                           "Requested by: %1")
                .arg(requester));
    }

    station.errors.clear();
    QVERIFY(!station.load(QUrl(QStringLiteral("corvane-symbols://folder/"))));
    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(station.errors.at(0).at(1).toString(),
        QStringLiteral("Only the built-in application may read the symbol folder\n"
                       "Requested by: a navigation"));
}

int main(int argc, char **argv)
{
    const QWebEngineUrlScheme corvane = registerCorvaneScheme();
    const QWebEngineUrlScheme symbols = registerSymbolFolderScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestSymbolFolder test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_symbolfolder.moc"
