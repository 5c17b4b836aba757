// Request path resolution without the web engine: every outcome, the lexical
// climbs and the ones that only symbolic links reveal.

#include "pathresolver.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

namespace {

constexpr char rootMark[] = "<root>";
constexpr char outsideMark[] = "<outside>";

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

// root/ holds a page, a file with blanks, a sub-directory and links that stay
// inside or lead out to a sibling directory holding a secret.
bool buildTree(const QString &root, const QString &outside)
{
    QDir dir(root);
    return dir.mkdir(QStringLiteral("sub"))
        && writeFile(root + QStringLiteral("/index.html"), "<p>page</p>")
        && writeFile(root + QStringLiteral("/my file.txt"), "blanks")
        && writeFile(root + QStringLiteral("/a#b%c.html"), "odd")
        && writeFile(root + QStringLiteral("/sub/app.js"), "console.log(1);")
        && writeFile(outside + QStringLiteral("/secret.txt"), "secret")
        && QFile::link(root + QStringLiteral("/index.html"), root + QStringLiteral("/link-in.html"))
        && QFile::link(root + QStringLiteral("/sub"), root + QStringLiteral("/linkdir-in"))
        && QFile::link(
            outside + QStringLiteral("/secret.txt"), root + QStringLiteral("/link-out.txt"))
        && QFile::link(outside, root + QStringLiteral("/linkdir-out"))
        && QFile::link(QStringLiteral(".."), root + QStringLiteral("/up"))
        && QFile::link(
            outside + QStringLiteral("/none.txt"), root + QStringLiteral("/dangling-out"))
        && QFile::link(root + QStringLiteral("/none.txt"), root + QStringLiteral("/dangling-in"));
}

QString expand(QString text, const QString &root, const QString &outside)
{
    return text.replace(QLatin1String(rootMark), root).replace(QLatin1String(outsideMark), outside);
}

} // namespace

Q_DECLARE_METATYPE(ResolvedRequest::Outcome)

class TestPathResolver : public QObject
{
    Q_OBJECT

private slots:
    void resolvesDecodedPath_data();
    void resolvesDecodedPath();
    void resolvesEncodedAddress_data();
    void resolvesEncodedAddress();
    void rootWithoutFilesystemEntry_data();
    void rootWithoutFilesystemEntry();
};

void TestPathResolver::resolvesDecodedPath_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<ResolvedRequest::Outcome>("outcome");
    QTest::addColumn<QString>("relative");
    QTest::addColumn<QString>("absolute");
    QTest::addColumn<QString>("canonical");

    const QString r = QLatin1String(rootMark);
    using R = ResolvedRequest;
    QTest::newRow("start page") << "/mvp/index.html" << R::File << "index.html" << r + "/index.html"
                                << r + "/index.html";
    QTest::newRow("file in sub-directory")
        << "/mvp/sub/app.js" << R::File << "sub/app.js" << r + "/sub/app.js" << r + "/sub/app.js";
    QTest::newRow("blanks in name") << "/mvp/my file.txt" << R::File << "my file.txt"
                                    << r + "/my file.txt" << r + "/my file.txt";
    QTest::newRow("hash and percent in name")
        << "/mvp/a#b%c.html" << R::File << "a#b%c.html" << r + "/a#b%c.html" << r + "/a#b%c.html";
    QTest::newRow("dot segments staying inside")
        << "/mvp/./sub/../index.html" << R::File << "index.html" << r + "/index.html"
        << r + "/index.html";
    QTest::newRow("repeated separators")
        << "/mvp/sub//app.js" << R::File << "sub/app.js" << r + "/sub/app.js" << r + "/sub/app.js";
    QTest::newRow("link to a file inside opens its target")
        << "/mvp/link-in.html" << R::File << "link-in.html" << r + "/link-in.html"
        << r + "/index.html";
    QTest::newRow("link to a directory inside")
        << "/mvp/linkdir-in/app.js" << R::File << "linkdir-in/app.js" << r + "/linkdir-in/app.js"
        << r + "/sub/app.js";

    QTest::newRow("prefix in capitals")
        << "/MVP/index.html" << R::Unsupported << QString() << QString() << QString();
    QTest::newRow("another first segment")
        << "/assets/index.html" << R::Unsupported << QString() << QString() << QString();
    QTest::newRow("prefix without its slash")
        << "/mvp" << R::Unsupported << QString() << QString() << QString();
    QTest::newRow("relative request path")
        << "mvp/index.html" << R::Unsupported << QString() << QString() << QString();
    QTest::newRow("empty path") << QString() << R::Unsupported << QString() << QString()
                                << QString();

    QTest::newRow("exactly the prefix is the root")
        << "/mvp/" << R::NotFound << QString() << r << QString();
    QTest::newRow("sub-directory") << "/mvp/sub" << R::NotFound << "sub" << r + "/sub" << QString();
    QTest::newRow("missing file") << "/mvp/none.txt" << R::NotFound << "none.txt" << r + "/none.txt"
                                  << QString();
    QTest::newRow("name starting with two dots")
        << "/mvp/..hidden" << R::NotFound << "..hidden" << r + "/..hidden" << QString();
    QTest::newRow("dangling link inside")
        << "/mvp/dangling-in" << R::NotFound << "dangling-in" << r + "/dangling-in" << QString();
    QTest::newRow("dangling link pointing out")
        << "/mvp/dangling-out" << R::NotFound << "dangling-out" << r + "/dangling-out" << QString();

    QTest::newRow("dot-dot alone") << "/mvp/.." << R::Denied << ".." << QString() << QString();
    QTest::newRow("dot-dot climbs out")
        << "/mvp/sub/../../secret.txt" << R::Denied << "../secret.txt" << QString() << QString();
    QTest::newRow("leading slash after prefix")
        << "/mvp//etc/passwd" << R::Denied << "/etc/passwd" << QString() << QString();
    QTest::newRow("NUL inside name")
        << QStringLiteral("/mvp/index.html") + QChar(0) + ".png" << R::Denied
        << QStringLiteral("index.html") + QChar(0) + ".png" << QString() << QString();
    QTest::newRow("link to a file outside")
        << "/mvp/link-out.txt" << R::Denied << "link-out.txt" << r + "/link-out.txt" << QString();
    QTest::newRow("file through a directory link outside")
        << "/mvp/linkdir-out/secret.txt" << R::Denied << "linkdir-out/secret.txt"
        << r + "/linkdir-out/secret.txt" << QString();
    QTest::newRow("missing file through a directory link outside")
        << "/mvp/linkdir-out/none.txt" << R::Denied << "linkdir-out/none.txt"
        << r + "/linkdir-out/none.txt" << QString();
    QTest::newRow("directory link to the parent")
        << "/mvp/up/index.html" << R::Denied << "up/index.html" << r + "/up/index.html"
        << QString();
}

void TestPathResolver::resolvesDecodedPath()
{
    QFETCH(QString, path);
    QFETCH(ResolvedRequest::Outcome, outcome);
    QFETCH(QString, relative);
    QFETCH(QString, absolute);
    QFETCH(QString, canonical);

    QTemporaryDir rootDir;
    QTemporaryDir outsideDir;
    QVERIFY(rootDir.isValid() && outsideDir.isValid());
    const QString root = QFileInfo(rootDir.path()).canonicalFilePath();
    const QString outside = QFileInfo(outsideDir.path()).canonicalFilePath();
    QVERIFY(buildTree(root, outside));

    const ResolvedRequest result = resolveRequestPath(root, path);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.relativePath, relative);
    QCOMPARE(result.absoluteFilePath, expand(absolute, root, outside));
    QCOMPARE(result.canonicalFilePath, expand(canonical, root, outside));

    // Nothing outside the root is ever handed out for opening, whatever the row.
    if (result.outcome == ResolvedRequest::File)
        QVERIFY(result.canonicalFilePath.startsWith(root + QLatin1Char('/')));
    else
        QVERIFY(result.canonicalFilePath.isEmpty());
}

void TestPathResolver::resolvesEncodedAddress_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<ResolvedRequest::Outcome>("outcome");
    QTest::addColumn<QString>("relative");

    using R = ResolvedRequest;
    QTest::newRow("escaped blanks")
        << "corvane://content/mvp/my%20file.txt" << R::File << "my file.txt";
    QTest::newRow("escaped hash and percent")
        << "corvane://content/mvp/a%23b%25c.html" << R::File << "a#b%c.html";
    QTest::newRow("another host") << "corvane://elsewhere/mvp/index.html" << R::File
                                  << "index.html";
    QTest::newRow("escaped separators and dots climb out")
        << "corvane://content/mvp/sub%2F..%2F..%2Fsecret.txt" << R::Denied << "../secret.txt";
    QTest::newRow("escaped dots climb out")
        << "corvane://content/mvp/sub/%2E%2E/%2e%2e/secret.txt" << R::Denied << "../secret.txt";
    QTest::newRow("escaped leading slash")
        << "corvane://content/mvp/%2Fetc%2Fpasswd" << R::Denied << "/etc/passwd";
    QTest::newRow("escaped prefix letters")
        << "corvane://content/%6Dvp/index.html" << R::File << "index.html";
    QTest::newRow("escaped separator inside prefix")
        << "corvane://content/mvp%2Findex.html" << R::File << "index.html";
    QTest::newRow("prefix in capitals")
        << "corvane://content/MVP/index.html" << R::Unsupported << QString();
}

void TestPathResolver::resolvesEncodedAddress()
{
    QFETCH(QString, address);
    QFETCH(ResolvedRequest::Outcome, outcome);
    QFETCH(QString, relative);

    QTemporaryDir rootDir;
    QTemporaryDir outsideDir;
    QVERIFY(rootDir.isValid() && outsideDir.isValid());
    const QString root = QFileInfo(rootDir.path()).canonicalFilePath();
    QVERIFY(buildTree(root, QFileInfo(outsideDir.path()).canonicalFilePath()));

    const QUrl url(address, QUrl::StrictMode);
    QVERIFY2(url.isValid(), qPrintable(url.errorString()));
    const ResolvedRequest result = resolveRequest(root, url);
    QCOMPARE(result.outcome, outcome);
    QCOMPARE(result.relativePath, relative);
}

void TestPathResolver::rootWithoutFilesystemEntry_data()
{
    QTest::addColumn<bool>("rootSet");
    QTest::addColumn<ResolvedRequest::Outcome>("outcome");

    QTest::newRow("no application opened yet") << false << ResolvedRequest::Unsupported;
    QTest::newRow("root directory removed") << true << ResolvedRequest::NotFound;
}

void TestPathResolver::rootWithoutFilesystemEntry()
{
    QFETCH(bool, rootSet);
    QFETCH(ResolvedRequest::Outcome, outcome);

    QTemporaryDir parent;
    QVERIFY(parent.isValid());
    const QString root = rootSet ? parent.filePath(QStringLiteral("gone")) : QString();
    const ResolvedRequest result = resolveRequestPath(root, QStringLiteral("/mvp/index.html"));
    QCOMPARE(result.outcome, outcome);
    QVERIFY(result.canonicalFilePath.isEmpty());
}

QTEST_GUILESS_MAIN(TestPathResolver)
#include "tst_pathresolver.moc"
