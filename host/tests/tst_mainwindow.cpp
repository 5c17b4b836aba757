// The main window without the resource collection: English texts, the menu,
// the address dialog, load-failure reports and opening an application file.

#include "externalcontenthandler.h"
#include "mainwindow.h"
#include "schemeregistration.h"
#include "webconsolepage.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QWebEngineLoadingInfo>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

namespace {

constexpr int engineTimeout = 30000;
const QUrl builtInAddress(QStringLiteral("qrc:/mvp/index.html"));

// Any lookup answers with a marked text, so a language change is visible.
class MarkingTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *, const char *sourceText, const char *, int) const override
    {
        return QStringLiteral("<%1>").arg(QString::fromUtf8(sourceText));
    }
};

QMenu *appMenuOf(MainWindow &window)
{
    const QList<QAction *> menus = window.menuBar()->actions();
    return menus.size() == 1 ? menus.first()->menu() : nullptr;
}

// The menu's entries as texts, "-" for a separator.
QStringList entriesOf(MainWindow &window)
{
    QStringList entries;
    const QList<QAction *> actions = appMenuOf(window)->actions();
    for (const QAction *action : actions)
        entries << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return entries;
}

QAction *entryNamed(MainWindow &window, const QString &text)
{
    const QList<QAction *> actions = appMenuOf(window)->actions();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

WebConsolePage *externalPageOf(MainWindow &window)
{
    const QList<WebConsolePage *> pages = window.findChildren<WebConsolePage *>();
    for (WebConsolePage *page : pages) {
        if (page->content() == WebConsolePage::Content::External)
            return page;
    }
    return nullptr;
}

QString logOf(MainWindow &window)
{
    return window.findChild<QPlainTextEdit *>()->toPlainText();
}

QWebEngineView *viewOf(MainWindow &window)
{
    return window.findChild<QWebEngineView *>();
}

// Runs `drive` on the modal dialog that `open` brings up, once it is shown.
template<typename Dialog, typename Drive>
void whenModalShown(QObject *context, Drive drive)
{
    QTimer::singleShot(0, context, [drive] {
        auto *dialog = qobject_cast<Dialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        drive(dialog);
    });
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startsWithBuiltInApplicationAndFixedTitle();
    void menuKeepsFourEntriesThroughLanguageChanges();
    void openUrl_data();
    void openUrl();
    void logsFailedLoadOnly();
    void opensApplicationFileWithOddName();
    void cancelledFileDialogChangesNothing();

private:
    std::unique_ptr<MainWindow> window;
};

void TestMainWindow::init()
{
    window = std::make_unique<MainWindow>();
    // Without the resource collection the built-in page cannot load: that
    // failure is the first line of every fresh window's log.
    QTRY_VERIFY_WITH_TIMEOUT(
        logOf(*window).contains(QStringLiteral("Page loading error\nqrc:/mvp/index.html\nCode ")),
        engineTimeout);
}

void TestMainWindow::cleanup()
{
    window.reset();
    // The engine keeps the scheme taken after its handler is gone, which would
    // refuse the next window's handler: free it for the next test.
    QWebEngineProfile::defaultProfile()->removeUrlScheme(corvaneSchemeName);
}

void TestMainWindow::startsWithBuiltInApplicationAndFixedTitle()
{
    QCOMPARE(viewOf(*window)->url(), builtInAddress);
    QCOMPARE(window->centralWidget(), viewOf(*window));
    QCOMPARE(window->size(), QSize(1280, 800));
    QCOMPARE(window->windowTitle(), QStringLiteral("corvane-ui  v0.0.0 build 1"));
    QCOMPARE(appMenuOf(*window)->title(), QStringLiteral("Application"));

    // The built-in application's page and the page of external content, each
    // on a profile of its own, off the record; only the latter serves
    // "corvane" requests through the window's handler. The log starts hidden.
    auto *page = qobject_cast<WebConsolePage *>(viewOf(*window)->page());
    QVERIFY(page);
    QCOMPARE(page->content(), WebConsolePage::Content::BuiltInApplication);
    WebConsolePage *external = externalPageOf(*window);
    QVERIFY(external);
    QVERIFY(page->profile() != external->profile());
    QVERIFY(page->profile() != QWebEngineProfile::defaultProfile());
    QVERIFY(page->profile()->isOffTheRecord());
    QVERIFY(external->profile()->isOffTheRecord());
    const QWebEngineUrlSchemeHandler *handler = window->findChild<ExternalContentHandler *>();
    QVERIFY(handler);
    QCOMPARE(external->profile()->urlSchemeHandler(corvaneSchemeName), handler);
    QCOMPARE(page->profile()->urlSchemeHandler(corvaneSchemeName), nullptr);
    QVERIFY(!window->findChild<QDialog *>()->isVisible());

    // The failed built-in page is reported with the engine's code and text.
    static const QRegularExpression report(
        QStringLiteral("(^|\\n)\\[[^\\]]+\\] Page loading error\\nqrc:/mvp/index.html\\n"
                       "Code -?\\d+: [^\\n]+\\n(\\n|$)"));
    const QString log = logOf(*window);
    QVERIFY2(report.match(log).hasMatch(), qPrintable(log));
}

void TestMainWindow::menuKeepsFourEntriesThroughLanguageChanges()
{
    const QStringList english { "Open application file...", "Open URL...",
        "Use bundled application", "-", "WebView log" };
    const QStringList marked { "<Open application file...>", "<Open URL...>",
        "<Use bundled application>", "-", "<WebView log>" };
    QCOMPARE(entriesOf(*window), english);

    MarkingTranslator translator;
    for (int round = 0; round < 3; ++round) {
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QTRY_COMPARE_WITH_TIMEOUT(entriesOf(*window), marked, 5000);
        QCOMPARE(appMenuOf(*window)->title(), QStringLiteral("<Application>"));
        QCOMPARE(window->windowTitle(), QStringLiteral("corvane-ui  v0.0.0 build 1"));
        QVERIFY(QCoreApplication::removeTranslator(&translator));
        QTRY_COMPARE_WITH_TIMEOUT(entriesOf(*window), english, 5000);
    }
    QCOMPARE(window->menuBar()->actions().size(), 1);

    // The rebuilt entries still reach the window: "WebView log" shows the log.
    auto *log = window->findChild<QDialog *>();
    QVERIFY(!log->isVisible());
    entryNamed(*window, QStringLiteral("WebView log"))->trigger();
    QVERIFY(log->isVisible());
    entryNamed(*window, QStringLiteral("WebView log"))->trigger();
    QVERIFY(log->isVisible());
    QCOMPARE(window->findChildren<QDialog *>().size(), 1);
}

void TestMainWindow::openUrl_data()
{
    QTest::addColumn<QString>("typed"); // null: the dialog is cancelled
    QTest::addColumn<QUrl>("loaded"); // empty: nothing is loaded
    QTest::addColumn<bool>("reported");

    QTest::newRow("bare host with blanks")
        << "  example.invalid  " << QUrl("http://example.invalid/") << false;
    QTest::newRow("scheme in capitals")
        << "HTTPS://Example.INVALID/Path" << QUrl("https://example.invalid/Path") << false;
    QTest::newRow("http address with port")
        << "http://127.0.0.1:1/a?b=c" << QUrl("http://127.0.0.1:1/a?b=c") << false;
    QTest::newRow("ftp") << " ftp://example.invalid/file.txt " << QUrl() << true;
    QTest::newRow("file path") << "/tmp/page.html" << QUrl() << true;
    QTest::newRow("file address") << "file:///etc/passwd" << QUrl() << true;
    QTest::newRow("qrc") << "qrc:/mvp/index.html" << QUrl() << true;
    QTest::newRow("corvane") << "corvane://content/mvp/index.html" << QUrl() << true;
    QTest::newRow("blanks only") << "   " << QUrl() << false;
    QTest::newRow("cancelled") << QString() << QUrl() << false;
}

void TestMainWindow::openUrl()
{
    QFETCH(QString, typed);
    QFETCH(QUrl, loaded);
    QFETCH(bool, reported);

    const QString logBefore = logOf(*window);
    QSignalSpy loading(viewOf(*window)->page(), &QWebEnginePage::loadingChanged);
    bool checked = false;
    whenModalShown<QInputDialog>(window.get(), [&](QInputDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Open URL"));
        QCOMPARE(dialog->labelText(), QStringLiteral("Website address:"));
        QVERIFY(dialog->textValue().isEmpty());
        QCOMPARE(dialog->textEchoMode(), QLineEdit::Normal);
        checked = true;
        if (typed.isNull()) {
            dialog->reject();
        } else {
            dialog->setTextValue(typed);
            dialog->accept();
        }
    });
    window->openUrl();
    QVERIFY(checked);

    if (!loaded.isEmpty()) {
        QTRY_COMPARE_WITH_TIMEOUT(viewOf(*window)->url(), loaded, engineTimeout);
        QVERIFY(!logOf(*window).contains(QStringLiteral("Could not open URL")));
        return;
    }

    // Give a wrongly started load the chance to show up before checking for none.
    QTest::qWait(300);
    QCOMPARE(loading.size(), 0);
    QCOMPARE(viewOf(*window)->url(), builtInAddress);
    const QString added = logOf(*window).mid(logBefore.size());
    if (reported) {
        const QString line = QStringLiteral("] Could not open URL\n%1\n").arg(typed.trimmed());
        QVERIFY2(added.endsWith(line), qPrintable(added));
        QCOMPARE(added.count(QLatin1Char('\n')), 3); // two lines and the empty block
    } else {
        QCOMPARE(added, QString());
    }
}

void TestMainWindow::logsFailedLoadOnly()
{
    // External content, on its own page as the menu opens it.
    QWebEnginePage *view = externalPageOf(*window);
    int status = -1;
    connect(view, &QWebEnginePage::loadingChanged, this,
        [&status](const QWebEngineLoadingInfo &info) { status = int(info.status()); });
    const auto lastStatus = [&status] { return status; };

    // A successful load writes nothing.
    QString log = logOf(*window);
    view->setHtml(QStringLiteral("<p>fine</p>"));
    QTRY_COMPARE_WITH_TIMEOUT(
        lastStatus(), int(QWebEngineLoadingInfo::LoadSucceededStatus), engineTimeout);
    QCOMPARE(logOf(*window), log);

    // A load stopped while the server keeps silent writes nothing.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    const QUrl slow(QStringLiteral("http://127.0.0.1:%1/slow").arg(silent.serverPort()));
    view->load(slow);
    QTRY_VERIFY_WITH_TIMEOUT(silent.hasPendingConnections(), engineTimeout);
    view->triggerAction(QWebEnginePage::Stop);
    QTRY_VERIFY_WITH_TIMEOUT(lastStatus() == int(QWebEngineLoadingInfo::LoadStoppedStatus)
            || lastStatus() == int(QWebEngineLoadingInfo::LoadFailedStatus),
        engineTimeout);
    QCOMPARE(lastStatus(), int(QWebEngineLoadingInfo::LoadStoppedStatus));
    QCOMPARE(logOf(*window), log);

    // A refused connection writes the address and the engine's code and text.
    view->load(QUrl(QStringLiteral("http://127.0.0.1:1/missing?x=%25")));
    QTRY_VERIFY_WITH_TIMEOUT(
        logOf(*window).mid(log.size()).contains(QStringLiteral("Page loading error")),
        engineTimeout);
    const QString added = logOf(*window).mid(log.size());
    static const QRegularExpression report(
        QStringLiteral("\\n\\[[^\\]]+\\] Page loading error\\nhttp://127.0.0.1:1/missing\\?x=%25\\n"
                       "Code -?\\d+: [^\\n]+\\n(\\n|$)"));
    QVERIFY2(report.match(added).hasMatch(), qPrintable(added));
}

void TestMainWindow::opensApplicationFileWithOddName()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString name = QStringLiteral("a#b%20c.html");
    QVERIFY(writeFile(root.filePath(name),
        "<title>odd name</title><script src=\"/mvp/missing.js\"></script><p>served</p>"));

    auto *handler = window->findChild<ExternalContentHandler *>();
    whenModalShown<QFileDialog>(window.get(), [&](QFileDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Select application file"));
        QCOMPARE(dialog->nameFilters(), QStringList { QStringLiteral("All files (*)") });
        dialog->setDirectory(root.path());
        dialog->selectFile(name);
        static_cast<QDialog *>(dialog)->accept();
    });
    window->openApplicationFile();

    QCOMPARE(handler->currentRootDirectory(), root.path());
    const QUrl address(QStringLiteral("corvane://content/mvp/a%23b%2520c.html"));
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(*window)->title(), QStringLiteral("odd name"), engineTimeout);
    QCOMPARE(viewOf(*window)->url(), address);

    QTRY_VERIFY2_WITH_TIMEOUT(logOf(*window).contains(QStringLiteral(
                                  "] Opening external file\nFile: %1\nResource directory: %2\n")
                                                          .arg(root.filePath(name), root.path())),
        qPrintable(logOf(*window)), engineTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(
        logOf(*window).contains(QStringLiteral("] Resource loading error\n"
                                               "corvane://content/mvp/missing.js\n"
                                               "File not found in the selected directory\n"
                                               "Directory: %1\nRelative path: missing.js\n")
                                    .arg(root.path())),
        engineTimeout);
    QVERIFY(!logOf(*window).contains(QStringLiteral("Page loading error\ncorvane:")));

    // Back to the built-in page; the root stays.
    entryNamed(*window, QStringLiteral("Use bundled application"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(*window)->url(), builtInAddress, engineTimeout);
    QCOMPARE(handler->currentRootDirectory(), root.path());
}

void TestMainWindow::cancelledFileDialogChangesNothing()
{
    const QString log = logOf(*window);
    whenModalShown<QFileDialog>(window.get(), [](QFileDialog *dialog) { dialog->reject(); });
    window->openApplicationFile();
    QCOMPARE(window->findChild<ExternalContentHandler *>()->currentRootDirectory(), QString());
    QCOMPARE(logOf(*window), log);
    QCOMPARE(viewOf(*window)->url(), builtInAddress);
}

int main(int argc, char **argv)
{
    // The scheme exists for the engine only when registered before the application.
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestMainWindow test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mainwindow.moc"
