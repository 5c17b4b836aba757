// The scheme folder: what it lists, how it follows the disk, and how its
// handler serves it to the built-in application alone, confined to the folder.
// A small page under "qrc:/mvp/" stands in for the built-in application.

#include "pagescript.h"

#include "externalcontenthandler.h"
#include "schemefolder.h"
#include "schemefolderhandler.h"
#include "schemeregistration.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>

namespace {

constexpr int engineTimeout = 30000;
constexpr char secretText[] = "outside secret";
const QUrl standInAddress(QStringLiteral("qrc:/mvp/index.html"));

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

QStringList namesOf(const QList<SchemeFileInfo> &files)
{
    QStringList names;
    for (const SchemeFileInfo &file : files)
        names.append(file.fileName);
    return names;
}

// base/schemes is the folder; base/outside its sibling, reached only by
// climbing or by links.
struct Layout
{
    QTemporaryDir base;
    QString folder = base.filePath(QStringLiteral("schemes"));
    QString outside = base.filePath(QStringLiteral("outside"));

    bool make()
    {
        return base.isValid() && QDir().mkpath(folder + QStringLiteral("/sub"))
            && QDir().mkpath(outside) && writeFile(folder + "/alpha.json", R"({"a":1})")
            && writeFile(folder + "/beta.json", "[]") && writeFile(folder + "/.hidden.json", "{}")
            && writeFile(folder + "/notes.txt", "x") && writeFile(folder + "/sub/nested.json", "{}")
            && writeFile(outside + "/secret.json", secretText)
            && QFile::link(folder + "/alpha.json", folder + "/link-in.json")
            && QFile::link(outside + "/secret.json", folder + "/link-out.json")
            && QFile::link(outside, folder + "/linkdir-out");
    }
};

// A profile of its own with both handlers, and a page on it. Members are
// destroyed in reverse order: the page before its profile.
struct Station
{
    QWebEngineProfile profile;
    SchemeFolder folder;
    SchemeFolderHandler handler { &folder };
    ExternalContentHandler contentHandler;
    QWebEnginePage page { &profile };
    QSignalSpy errors { &handler, &SchemeFolderHandler::resourceError };

    Station()
    {
        profile.installUrlSchemeHandler(schemeFolderSchemeName, &handler);
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

    QVariant evaluate(const QString &script) { return ::evaluate(&page, script, engineTimeout); }

    // A synchronous request from the page: [status, text]; status 0 when it failed.
    QVariantList request(const QString &address)
    {
        return evaluate(QStringLiteral("(function () {"
                                       "  const x = new XMLHttpRequest();"
                                       "  try {"
                                       "    x.open('GET', %1, false);"
                                       "    x.send();"
                                       "    return [x.status, x.responseText];"
                                       "  } catch (e) { return [0, String(e)]; }"
                                       "})()")
                            .arg(QLatin1Char('\'') + address + QLatin1Char('\'')))
            .toList();
    }
};

constexpr int fileNotFoundError = -6;
constexpr int accessDeniedError = -10;

} // namespace

class TestSchemeFolder : public QObject
{
    Q_OBJECT

private slots:
    void createsMissingFolder();
    void listsSchemeFilesInsideOnly();
    void followsTheDisk();
    void servesListingAndFiles();
    void refusesRequest_data();
    void refusesRequest();
    void refusesOtherPages_data();
    void refusesOtherPages();
    void readsOnlyWhatWasResolved_data();
    void readsOnlyWhatWasResolved();
};

void TestSchemeFolder::createsMissingFolder()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    SchemeFolder folder;
    QSignalSpy problems(&folder, &SchemeFolder::problem);
    folder.setPath(base.filePath(QStringLiteral("a/b/schemes")));
    QVERIFY(QFileInfo(base.filePath(QStringLiteral("a/b/schemes"))).isDir());
    QCOMPARE(folder.path(), base.filePath(QStringLiteral("a/b/schemes")));
    QCOMPARE(problems.size(), 0);

    // A folder that cannot be made is reported, and nothing is listed.
    QVERIFY(writeFile(base.filePath(QStringLiteral("plain")), "x"));
    folder.setPath(base.filePath(QStringLiteral("plain/schemes")));
    QCOMPARE(problems.size(), 1);
    QVERIFY(problems.at(0).at(0).toString().startsWith(
        QStringLiteral("Could not create the scheme folder\n")));
    QVERIFY(folder.files().isEmpty());
}

void TestSchemeFolder::listsSchemeFilesInsideOnly()
{
    Layout layout;
    QVERIFY(layout.make());
    SchemeFolder folder;
    QSignalSpy problems(&folder, &SchemeFolder::problem);
    folder.setPath(layout.folder);

    // Neither other files, nor hidden ones, nor sub-folders, nor links that lead out.
    const QList<SchemeFileInfo> files = folder.files();
    QCOMPARE(namesOf(files), QStringList({ "alpha.json", "beta.json", "link-in.json" }));
    QCOMPARE(files.at(0).size, 7);
    QCOMPARE(files.at(2).size, 7); // the file the link leads to
    QCOMPARE(files.at(0).modified,
        QFileInfo(layout.folder + "/alpha.json").lastModified().toMSecsSinceEpoch());

    QCOMPARE(problems.size(), 1);
    QCOMPARE(problems.at(0).at(0).toString(),
        QStringLiteral("Scheme file not listed: it leads outside the scheme folder\n%1")
            .arg(QDir::toNativeSeparators(layout.folder + "/link-out.json")));

    const QJsonArray listed
        = QJsonDocument::fromJson(folder.listing()).object().value("files").toArray();
    QCOMPARE(listed.size(), 3);
    QCOMPARE(listed.at(1).toObject().value("name").toString(), QStringLiteral("beta.json"));
    QCOMPARE(listed.at(1).toObject().value("size").toInt(), 2);

    // Once reported is enough while the link stays as it is.
    QVERIFY(writeFile(layout.folder + "/gamma.json", "{}"));
    QTRY_COMPARE_WITH_TIMEOUT(folder.files().size(), 4, 2000);
    QCOMPARE(problems.size(), 1);
}

void TestSchemeFolder::followsTheDisk()
{
    QTemporaryDir base;
    QVERIFY(base.isValid());
    SchemeFolder folder;
    folder.setPath(base.path());
    QSignalSpy changes(&folder, &SchemeFolder::changed);
    const QString path = base.filePath(QStringLiteral("new.json"));

    // Each within the 2 s the station promises.
    QVERIFY(writeFile(path, "{}"));
    QTRY_COMPARE_WITH_TIMEOUT(namesOf(folder.files()), QStringList { "new.json" }, 2000);
    QCOMPARE(changes.size(), 1);

    QVERIFY(writeFile(path, R"({"changed": true})"));
    QTRY_COMPARE_WITH_TIMEOUT(folder.files().value(0).size, 17, 2000);
    QCOMPARE(changes.size(), 2);

    QVERIFY(QFile::remove(path));
    QTRY_VERIFY_WITH_TIMEOUT(folder.files().isEmpty(), 2000);
    QCOMPARE(changes.size(), 3);

    // A folder removed and made again, as when it is replaced by another, is followed still.
    QVERIFY(QDir(base.path()).removeRecursively());
    QTest::qWait(500);
    QVERIFY(QDir().mkpath(base.path()));
    QVERIFY(writeFile(path, "{}"));
    QTRY_COMPARE_WITH_TIMEOUT(namesOf(folder.files()), QStringList { "new.json" }, 3000);
}

void TestSchemeFolder::servesListingAndFiles()
{
    Layout layout;
    QVERIFY(layout.make());
    const QByteArray odd = R"({"name":"Схема № 1"})";
    QVERIFY(writeFile(layout.folder + "/odd #name%.json", odd));
    Station station;
    station.folder.setPath(layout.folder);
    QVERIFY(station.load(standInAddress));

    const QVariantList listing = station.request(QStringLiteral("corvane-schemes://folder/"));
    QCOMPARE(listing.value(0).toInt(), 200);
    QCOMPARE(listing.value(1).toString().toUtf8(), station.folder.listing());

    QCOMPARE(station.request(QStringLiteral("corvane-schemes://folder/alpha.json")).value(1),
        QVariant(QStringLiteral(R"({"a":1})")));
    QCOMPARE(station.request(QStringLiteral("corvane-schemes://folder/link-in.json")).value(1),
        QVariant(QStringLiteral(R"({"a":1})")));
    QCOMPARE(station.request(QStringLiteral("corvane-schemes://folder/odd%20%23name%25.json"))
                 .value(1)
                 .toString()
                 .toUtf8(),
        odd);
    QCOMPARE(station.errors.size(), 0);

    // Read-only: the built-in application itself cannot post to it.
    QCOMPARE(station
                 .evaluate(QStringLiteral(
                     "(function () { const x = new XMLHttpRequest();"
                     " x.open('POST', 'corvane-schemes://folder/alpha.json', false);"
                     " try { x.send('{}'); } catch (e) { return -1; } return x.status; })()"))
                 .toInt(),
        -1);
    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(
        station.errors.at(0).at(1).toString(), QStringLiteral("The scheme folder is read-only"));
}

void TestSchemeFolder::refusesRequest_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason"); // "<folder>" stands for the folder

    const QString denied = QStringLiteral("Access to a file outside the scheme folder is denied");
    QTest::newRow("missing file") << "none.json"
                                  << "Scheme file not found\nFolder: <folder>\nFile: none.json";
    // The address itself resolves plain dot segments: what is left lies inside.
    QTest::newRow("plain dot-dot stays inside")
        << "sub/../../outside/secret.json"
        << "Scheme file not found\nFolder: <folder>\nFile: outside/secret.json";
    QTest::newRow("encoded dot-dot climbs out")
        << "sub%2F..%2F..%2Foutside%2Fsecret.json" << denied;
    QTest::newRow("encoded leading slash") << "%2Fetc%2Fpasswd" << denied;
    QTest::newRow("link to a file outside") << "link-out.json" << denied;
    QTest::newRow("file through a directory link outside") << "linkdir-out/secret.json" << denied;
    QTest::newRow("file in a sub-folder")
        << "sub/nested.json"
        << "Not a scheme file of the scheme folder: sub/nested.json";
    QTest::newRow("hidden file, left out of the listing")
        << ".hidden.json"
        << "Not a scheme file of the scheme folder: .hidden.json";
    QTest::newRow("not a scheme file") << "notes.txt"
                                       << "Not a scheme file of the scheme folder: notes.txt";
    QTest::newRow("larger than the limit") << "big.json"
                                           << "The scheme file is larger than 10 MiB";
}

void TestSchemeFolder::refusesRequest()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);

    Layout layout;
    QVERIFY(layout.make());
    QVERIFY(writeFile(layout.folder + "/big.json", QByteArray(SchemeFolder::maxFileSize + 1, ' ')));
    Station station;
    station.folder.setPath(layout.folder);
    QVERIFY(station.load(standInAddress));

    const QString address = QStringLiteral("corvane-schemes://folder/") + path;
    const QVariantList reply = station.request(address);
    QCOMPARE(reply.value(0).toInt(), 0);
    QVERIFY(!reply.value(1).toString().contains(QLatin1String(secretText)));
    QCOMPARE(station.errors.size(), 1);
    // The engine resolves plain dot segments before asking.
    QCOMPARE(station.errors.at(0).at(0).toString(),
        QUrl(address).adjusted(QUrl::NormalizePathSegments).toDisplayString());
    QCOMPARE(station.errors.at(0).at(1).toString(),
        QString(reason).replace("<folder>", QDir::toNativeSeparators(layout.folder)));

    // A file of exactly the limit is still served.
    QVERIFY(writeFile(layout.folder + "/limit.json", QByteArray(SchemeFolder::maxFileSize, ' ')));
    QCOMPARE(station
                 .evaluate(QStringLiteral(
                     "(function () { const x = new XMLHttpRequest();"
                     " x.open('GET', 'corvane-schemes://folder/limit.json', false); x.send();"
                     " return x.responseText.length; })()"))
                 .toInt(),
        int(SchemeFolder::maxFileSize));
}

void TestSchemeFolder::refusesOtherPages_data()
{
    QTest::addColumn<QUrl>("pageAddress");
    QTest::addColumn<QString>("html"); // set as the page's content when not empty
    QTest::addColumn<QString>("requester"); // the refusal's "Requested by", when it is reached

    QTest::newRow("external application from a directory")
        << QUrl("corvane://content/mvp/index.html") << QString() << "corvane://content";
    QTest::newRow("web page") << QUrl("https://example.test/") << "<p>web</p>"
                              << "https://example.test";
    QTest::newRow("blank page") << QUrl("about:blank") << QString() << "null";
    QTest::newRow("data page") << QUrl("data:text/html,<p>data</p>") << QString() << "null";
}

void TestSchemeFolder::refusesOtherPages()
{
    QFETCH(QUrl, pageAddress);
    QFETCH(QString, html);
    QFETCH(QString, requester);

    Layout layout;
    QVERIFY(layout.make());
    QVERIFY(writeFile(layout.outside + "/index.html", "<p>external</p>"));
    Station station;
    station.folder.setPath(layout.folder);
    station.contentHandler.setRootDirectory(layout.outside);
    station.load(pageAddress, html);

    for (const QString &address : { QStringLiteral("corvane-schemes://folder/"),
             QStringLiteral("corvane-schemes://folder/alpha.json") }) {
        const QVariantList reply = station.request(address);
        QCOMPARE(reply.value(0).toInt(), 0);
        QVERIFY(!reply.value(1).toString().contains(QLatin1String(R"("a":1)")));
        QVERIFY(!reply.value(1).toString().contains(QLatin1String(R"("files")")));
    }
    // The engine itself may refuse before asking; when it asks, the handler refuses.
    for (const QList<QVariant> &error : station.errors) {
        QCOMPARE(error.at(1).toString(),
            QStringLiteral("Only the built-in application may read the scheme folder\n"
                           "Requested by: %1")
                .arg(requester));
    }

    // Nor can a page simply be opened at the folder's address.
    station.errors.clear();
    QVERIFY(!station.load(QUrl(QStringLiteral("corvane-schemes://folder/alpha.json"))));
    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(station.errors.at(0).at(1).toString(),
        QStringLiteral("Only the built-in application may read the scheme folder\n"
                       "Requested by: a navigation"));
}

void TestSchemeFolder::readsOnlyWhatWasResolved_data()
{
    QTest::addColumn<bool>("fifo");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the file becomes a link out")
        << false
        << "The scheme file was replaced by a link since it was found; links are not followed";
    QTest::newRow("the file becomes a FIFO") << true << "Not a regular file";
}

void TestSchemeFolder::readsOnlyWhatWasResolved()
{
#ifndef Q_OS_UNIX
    QSKIP("links and FIFOs are swapped in with POSIX calls");
#else
    QFETCH(bool, fifo);
    QFETCH(QString, reason);

    Layout layout;
    QVERIFY(layout.make());
    Station station;
    station.folder.setPath(layout.folder);
    QVERIFY(station.load(standInAddress));
    const QString file = layout.folder + QStringLiteral("/beta.json");
    // Between the resolution of the request and the opening of its file.
    station.handler.setBeforeOpenHook([&](const QString &) {
        QFile::remove(file);
        if (fifo)
            ::mkfifo(QFile::encodeName(file).constData(), 0600);
        else
            QFile::link(layout.outside + QStringLiteral("/secret.json"), file);
    });
    const QVariantList reply
        = station.request(QStringLiteral("corvane-schemes://folder/beta.json"));
    QCOMPARE(reply.value(0).toInt(), 0);
    QVERIFY(!reply.value(1).toString().contains(QLatin1String(secretText)));
    QCOMPARE(station.errors.size(), 1);
    QCOMPARE(station.errors.at(0).at(1).toString(), reason);
#endif
}

int main(int argc, char **argv)
{
    // Both schemes exist for the engine only when registered before the application.
    const QWebEngineUrlScheme corvane = registerCorvaneScheme();
    const QWebEngineUrlScheme folder = registerSchemeFolderScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestSchemeFolder test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_schemefolder.moc"
