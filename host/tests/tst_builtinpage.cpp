// What the host grants the built-in application and no other page: saving
// its downloads through the save dialog and script clipboard access; and
// closing, reloading and leaving through the page's before-unload question.
// A small page under "qrc:/mvp/" stands in for the built-in application.

#include "pagescript.h"

#include "mainwindow.h"
#include "schemeregistration.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <optional>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/types.h>
#endif

namespace {

constexpr int engineTimeout = 30000;
const QUrl standInAddress(QStringLiteral("qrc:/mvp/index.html"));

QWebEngineView *viewOf(MainWindow &window)
{
    return window.findChild<QWebEngineView *>();
}

QString logOf(MainWindow &window)
{
    return window.findChild<QPlainTextEdit *>()->toPlainText();
}

QAction *entryNamed(MainWindow &window, const QString &text)
{
    const QList<QAction *> actions = window.menuBar()->actions().first()->menu()->actions();
    for (QAction *action : actions) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// Resolves a promise-returning script into the page title, the one channel
// that outlives the synchronous result of runJavaScript.
QString settle(QWebEngineView *view, const QString &promise)
{
    static int round = 0;
    const QString marker = QStringLiteral("settled %1:").arg(++round);
    view->page()->runJavaScript(QStringLiteral("Promise.resolve().then(() => %1).then("
                                               "(v) => { document.title = '%2' + v; },"
                                               "(e) => { document.title = '%2' + e.name; })")
                                    .arg(promise, marker));
    if (!QTest::qWaitFor([&] { return view->title().startsWith(marker); }, engineTimeout))
        return QStringLiteral("<no answer>");
    return view->title().mid(marker.size());
}

// Watches for modal dialogs shown while the engine or a window function runs
// its own event loop, and hands each to the next of the given answers. The
// answer is queued: a dialog may open inside a timer or engine callback that
// keeps timers from firing until it closes.
class ModalAnswerer : public QObject
{
public:
    using Answer = std::function<void(QWidget *)>;

    explicit ModalAnswerer(QList<Answer> answers)
        : answers(std::move(answers))
    {
        qApp->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *dialog = qobject_cast<QDialog *>(watched);
        if (event->type() != QEvent::Show || !dialog || !dialog->isModal())
            return false;
        ++seen;
        if (!answers.isEmpty()) {
            QPointer<QDialog> guard(dialog);
            QMetaObject::invokeMethod(
                this,
                [guard, answer = answers.takeFirst()] {
                    if (guard)
                        answer(guard);
                },
                Qt::QueuedConnection);
        }
        return false;
    }

    int seen = 0;

private:
    QList<Answer> answers;
};

// Answers the engine's before-unload question: leave the page or stay.
ModalAnswerer::Answer answerLeave(bool leave, QString *question = nullptr)
{
    return [leave, question](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        QVERIFY2(box, qPrintable(modal->metaObject()->className()));
        if (question)
            *question = box->text();
        for (QAbstractButton *button : box->buttons()) {
            const QMessageBox::ButtonRole role = box->buttonRole(button);
            const bool leaves = role == QMessageBox::AcceptRole || role == QMessageBox::YesRole;
            const bool stays = role == QMessageBox::RejectRole || role == QMessageBox::NoRole;
            if ((leave && leaves) || (!leave && stays)) {
                button->click();
                return;
            }
        }
        QFAIL("the question has no button for the answer");
    };
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool writeFile(const QString &path, const QByteArray &contents)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}

} // namespace

class TestBuiltInPage : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void savesDownload_data();
    void savesDownload();
    void proposesTheSchemeFolderForSchemesOnly_data();
    void proposesTheSchemeFolderForSchemesOnly();
    void otherPagesSaveNothing();
    void clipboardOnlyForBuiltInApplication();
    void closesAtOnceWithoutQuestion();
    void closeAsksWhileThePageHasUnsavedEdits();
    void reloadAndMenuAskToo();
    void reloadsPageAfterItsProcessIsKilled();
    void crashLoopShowsNoticeInsteadOfReloading();
    void closesAtOnceWhileThePageIsGone();
    void externalApplicationFetchesItsOwnFiles();

private:
    // Opens a page from a directory through the menu's file dialog.
    void openFromDirectory(const QString &directory, const QString &name);
    // A click in the page: the engine asks before-unload questions only of
    // pages the user has interacted with.
    void clickPage();
    // Ends the page's renderer as a crash or the system would; false where
    // the platform offers no way.
    bool killRenderer();

    std::unique_ptr<MainWindow> window;
};

void TestBuiltInPage::init()
{
    window = std::make_unique<MainWindow>();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(*window)->title(), QStringLiteral("stand-in"), engineTimeout);
}

void TestBuiltInPage::cleanup()
{
    // Destroying the window asks nothing, whatever the page holds.
    window.reset();
    QWebEngineProfile::defaultProfile()->removeUrlScheme(corvaneSchemeName);
}

void TestBuiltInPage::openFromDirectory(const QString &directory, const QString &name)
{
    QTimer::singleShot(0, this, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        dialog->setDirectory(directory);
        dialog->selectFile(name);
        static_cast<QDialog *>(dialog)->accept();
    });
    window->openApplicationFile();
    QTRY_COMPARE_WITH_TIMEOUT(
        viewOf(*window)->url().scheme(), QStringLiteral("corvane"), engineTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(*window)->title(), QStringLiteral("stand-in"), engineTimeout);
}

void TestBuiltInPage::clickPage()
{
    QWebEngineView *view = viewOf(*window);
    QTRY_VERIFY_WITH_TIMEOUT(view->focusProxy(), engineTimeout);
    QTest::mouseClick(view->focusProxy(), Qt::LeftButton, {}, QPoint(100, 100));
    QTRY_COMPARE_WITH_TIMEOUT(view->title(), QStringLiteral("clicked"), engineTimeout);
}

void TestBuiltInPage::savesDownload_data()
{
    QTest::addColumn<QString>("chosen"); // relative to a fresh directory; empty: cancelled
    QTest::addColumn<bool>("existing"); // the chosen file exists and is replaced
    QTest::addColumn<bool>("written");

    QTest::newRow("new file") << "saved/pump.json" << false << true;
    QTest::newRow("existing file replaced") << "pump.json" << true << true;
    QTest::newRow("cancelled") << QString() << false << false;
    QTest::newRow("folder is a file") << "blocker/pump.json" << false << false;
}

void TestBuiltInPage::savesDownload()
{
    QFETCH(QString, chosen);
    QFETCH(bool, existing);
    QFETCH(bool, written);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkdir(QStringLiteral("saved")));
    QVERIFY(writeFile(root.filePath(QStringLiteral("blocker")), "a file, not a folder"));
    const QString target = chosen.isEmpty() ? QString() : root.filePath(chosen);
    if (existing)
        QVERIFY(writeFile(target, "older contents that are longer than the new ones"));

    QString proposed;
    QString caption;
    QList<ModalAnswerer::Answer> answers { [&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        caption = dialog->windowTitle();
        QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
        proposed = dialog->selectedFiles().value(0);
        if (target.isEmpty()) {
            dialog->reject();
            return;
        }
        // As a user types it: the whole path into the name field.
        auto *nameField = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        QVERIFY(nameField);
        nameField->setText(target);
        // Queued: accepting may ask about replacing, in a loop of its own.
        QMetaObject::invokeMethod(dialog, &QDialog::accept, Qt::QueuedConnection);
    } };
    if (existing)
        answers << answerLeave(true); // yes, replace it
    ModalAnswerer answerer(answers);

    const QString log = logOf(*window);
    const QByteArray contents = R"({"schemaVersion":1,"id":"pump"})";
    viewOf(*window)->page()->runJavaScript(
        QStringLiteral("save('pump-station.json', '%1')").arg(QString::fromLatin1(contents)));
    QTRY_VERIFY_WITH_TIMEOUT(answerer.seen >= 1, engineTimeout);
    QCOMPARE(caption, QStringLiteral("Save file"));
    QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("pump-station.json"));

    // The page learns what became of its save, by the address it made.
    const auto reported = [&] {
        return evaluate(viewOf(*window)->page(),
            QStringLiteral("JSON.stringify(window.saveResults.filter((r) => r.url === "
                           "window.lastSave).map((r) => r.outcome))"))
            .toString();
    };
    const QString outcome = written ? QStringLiteral("written")
        : target.isEmpty()          ? QStringLiteral("cancelled")
                                    : QStringLiteral("failed");
    QTRY_COMPARE_WITH_TIMEOUT(reported(), QStringLiteral("[\"%1\"]").arg(outcome), engineTimeout);

    if (written) {
        QTRY_COMPARE_WITH_TIMEOUT(readFile(target), contents, engineTimeout);
        QCOMPARE(answerer.seen, existing ? 2 : 1);
        // Written in place, not beside the chosen file under another name.
        const QStringList saved = QDir(QFileInfo(target).absolutePath())
                                      .entryList({ QStringLiteral("pump*") }, QDir::Files);
        QCOMPARE(saved, QStringList { QStringLiteral("pump.json") });
        QTest::qWait(300);
        QCOMPARE(logOf(*window), log);
        return;
    }
    if (target.isEmpty()) {
        // Nothing lands in the proposed place either, and nothing is reported.
        QTest::qWait(1000);
        QVERIFY(!QFile::exists(proposed));
        QCOMPARE(logOf(*window), log);
        return;
    }
    const QString report
        = QStringLiteral("] Could not save file\n%1\n").arg(QDir::toNativeSeparators(target));
    QTest::qWaitFor([&] { return logOf(*window).size() > log.size(); }, engineTimeout);
    QString added = logOf(*window).mid(log.size());
    QVERIFY2(
        added.contains(report), qPrintable(added.replace(QLatin1Char('\n'), QLatin1Char('|'))));
}

void TestBuiltInPage::proposesTheSchemeFolderForSchemesOnly_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("inFolder");
    QTest::newRow("a scheme file") << "pump-station.json" << true;
    QTest::newRow("a scheme file in capitals") << "PUMP.JSON" << true;
    QTest::newRow("a trend's values") << "trend.csv" << false;
}

void TestBuiltInPage::proposesTheSchemeFolderForSchemesOnly()
{
    QFETCH(QString, name);
    QFETCH(bool, inFolder);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    window->setSchemeFolder(folder.path());

    QString proposed;
    ModalAnswerer answerer({ [&](QWidget *modal) {
        auto *dialog = qobject_cast<QFileDialog *>(modal);
        QVERIFY(dialog);
        proposed = dialog->selectedFiles().value(0);
        dialog->reject();
    } });
    viewOf(*window)->page()->runJavaScript(QStringLiteral("save('%1', 'x')").arg(name));
    QTRY_VERIFY_WITH_TIMEOUT(answerer.seen >= 1, engineTimeout);
    QCOMPARE(QFileInfo(proposed).fileName(), name);
    QCOMPARE(QFileInfo(proposed).absolutePath() == QDir(folder.path()).absolutePath(), inFolder);
}

void TestBuiltInPage::otherPagesSaveNothing()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(writeFile(root.filePath("page.html"), readFile(QStringLiteral(":/mvp/index.html"))));
    openFromDirectory(root.path(), QStringLiteral("page.html"));

    ModalAnswerer watcher({});
    const QString log = logOf(*window);
    viewOf(*window)->page()->runJavaScript(QStringLiteral("save('other.json', '{}')"));
    QTRY_VERIFY_WITH_TIMEOUT(
        logOf(*window)
            .mid(log.size())
            .contains(
                QStringLiteral("] Download refused: only the built-in application saves files\n"
                               "blob:corvane://content/")),
        engineTimeout);
    QCOMPARE(watcher.seen, 0);
}

void TestBuiltInPage::clipboardOnlyForBuiltInApplication()
{
    QClipboard *clipboard = QGuiApplication::clipboard();
    QWebEngineView *view = viewOf(*window);
    view->setFocus();
    clickPage();

    // Copy and paste through the asynchronous clipboard interface.
    clipboard->setText(QStringLiteral("from the system"));
    QCOMPARE(settle(view, QStringLiteral("navigator.clipboard.readText()")),
        QStringLiteral("from the system"));
    QCOMPARE(settle(view, QStringLiteral("navigator.clipboard.writeText('from the page')")),
        QStringLiteral("undefined"));
    QTRY_COMPARE_WITH_TIMEOUT(clipboard->text(), QStringLiteral("from the page"), 5000);

    // A page from a directory is refused both ways.
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(writeFile(root.filePath("page.html"), readFile(QStringLiteral(":/mvp/index.html"))));
    openFromDirectory(root.path(), QStringLiteral("page.html"));
    clickPage();
    clipboard->setText(QStringLiteral("secret"));
    QCOMPARE(settle(view, QStringLiteral("navigator.clipboard.readText()")),
        QStringLiteral("NotAllowedError"));
    QCOMPARE(settle(view, QStringLiteral("navigator.clipboard.writeText('planted')")),
        QStringLiteral("NotAllowedError"));
    QCOMPARE(clipboard->text(), QStringLiteral("secret"));

    // Back in the built-in application, as it was left, the access returns.
    entryNamed(*window, QStringLiteral("Use bundled application"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(view->url(), standInAddress, engineTimeout);
    clickPage();
    QCOMPARE(
        settle(view, QStringLiteral("navigator.clipboard.readText()")), QStringLiteral("secret"));
}

void TestBuiltInPage::closesAtOnceWithoutQuestion()
{
    clickPage();
    ModalAnswerer watcher({});

    // The page itself cannot close the window.
    evaluate(viewOf(*window)->page(), QStringLiteral("window.close()"));
    QTest::qWait(500);
    QVERIFY(window->isVisible());

    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 5000);
    QCOMPARE(watcher.seen, 0);
}

void TestBuiltInPage::closeAsksWhileThePageHasUnsavedEdits()
{
    clickPage();
    QWebEnginePage *page = viewOf(*window)->page();
    evaluate(page, QStringLiteral("window.unsaved = true"));

    QString question;
    {
        ModalAnswerer stay({ answerLeave(false, &question) });
        window->close();
        QTRY_COMPARE_WITH_TIMEOUT(stay.seen, 1, engineTimeout);
        QTest::qWait(500);
        QVERIFY(window->isVisible());
        QVERIFY(!question.isEmpty());
        QCOMPARE(evaluate(page, QStringLiteral("window.unsaved")), QVariant(true));
    }

    ModalAnswerer leave({ answerLeave(true) });
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), engineTimeout);
    QCOMPARE(leave.seen, 1);
}

void TestBuiltInPage::reloadAndMenuAskToo()
{
    clickPage();
    QWebEnginePage *page = viewOf(*window)->page();
    evaluate(page, QStringLiteral("window.unsaved = true"));
    const QVariant loadedAt = evaluate(page, QStringLiteral("window.loadedAt"));

    {
        ModalAnswerer stay({ answerLeave(false) });
        page->triggerAction(QWebEnginePage::Reload);
        QTRY_COMPARE_WITH_TIMEOUT(stay.seen, 1, engineTimeout);
    }
    {
        ModalAnswerer stay({ answerLeave(false) });
        entryNamed(*window, QStringLiteral("Use bundled application"))->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(stay.seen, 1, engineTimeout);
    }
    QTest::qWait(500);
    QCOMPARE(evaluate(page, QStringLiteral("window.loadedAt")), loadedAt);

    ModalAnswerer leave({ answerLeave(true) });
    entryNamed(*window, QStringLiteral("Use bundled application"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(leave.seen, 1, engineTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(
        evaluate(page, QStringLiteral("window.loadedAt")) != loadedAt, engineTimeout);
    QVERIFY(window->isVisible());
}

bool TestBuiltInPage::killRenderer()
{
#ifdef Q_OS_UNIX
    const qint64 pid = viewOf(*window)->page()->renderProcessPid();
    return pid > 0 && ::kill(pid_t(pid), SIGKILL) == 0;
#else
    return false;
#endif
}

void TestBuiltInPage::reloadsPageAfterItsProcessIsKilled()
{
    QWebEnginePage *page = viewOf(*window)->page();
    const QVariant loadedAt = evaluate(page, QStringLiteral("window.loadedAt"));
    const QString log = logOf(*window);
    int loaded = 0;
    QList<QWebEnginePage::RenderProcessTerminationStatus> ended;
    QObject counting; // ends the connections before the counters go
    connect(page, &QWebEnginePage::loadFinished, &counting, [&loaded](bool ok) { loaded += ok; });
    connect(page, &QWebEnginePage::renderProcessTerminated, &counting,
        [&ended](QWebEnginePage::RenderProcessTerminationStatus status) { ended << status; });
    if (!killRenderer())
        QSKIP("no way to end the renderer here");

    QTRY_COMPARE_WITH_TIMEOUT(ended.size(), 1, engineTimeout);
    QCOMPARE(ended.first(), QWebEnginePage::KilledTerminationStatus);
    static const QRegularExpression report(
        QStringLiteral("^\\[[^\\]]+\\] The page's process ended: killed, exit code -?\\d+\\n"
                       "qrc:/mvp/index.html\\n$"));
    QTRY_VERIFY_WITH_TIMEOUT(logOf(*window).size() > log.size(), 5000);
    const QString added = logOf(*window).mid(log.size() + (log.isEmpty() ? 0 : 1));
    QVERIFY2(report.match(added).hasMatch(), qPrintable(added));

    // Back and running again, in a new process.
    QTRY_COMPARE_WITH_TIMEOUT(loaded, 1, 5000);
    QVERIFY(evaluate(page, QStringLiteral("window.loadedAt")) != loadedAt);
    QCOMPARE(viewOf(*window)->url(), standInAddress);
}

void TestBuiltInPage::crashLoopShowsNoticeInsteadOfReloading()
{
    QWebEnginePage *page = viewOf(*window)->page();
    int ended = 0;
    int loaded = 0;
    QObject counting; // ends the connections before the counters go
    connect(page, &QWebEnginePage::renderProcessTerminated, &counting, [&ended] { ++ended; });
    connect(page, &QWebEnginePage::loadFinished, &counting, [&loaded](bool ok) { loaded += ok; });
    for (int round = 1; round <= 3; ++round) {
        if (!killRenderer())
            QSKIP("no way to end the renderer here");
        QTRY_COMPARE_WITH_TIMEOUT(ended, round, engineTimeout);
        QTRY_COMPARE_WITH_TIMEOUT(loaded, round, engineTimeout);
    }
    QWidget *notice = nullptr;
    for (QWidget *child : viewOf(*window)->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->findChild<QPushButton *>())
            notice = child;
    }
    QVERIFY(notice);
    QVERIFY(!notice->isVisible());

    // The fourth end within a minute: no reload, the notice instead.
    QVERIFY(killRenderer());
    QTRY_COMPARE_WITH_TIMEOUT(ended, 4, engineTimeout);
    QTRY_VERIFY_WITH_TIMEOUT(notice->isVisible(), 5000);
    QCOMPARE(notice->geometry(), viewOf(*window)->rect());
    QCOMPARE(notice->findChild<QLabel *>()->text(),
        QStringLiteral("The page stopped working several times in a row and is no longer "
                       "reloaded by itself."));
    auto *button = notice->findChild<QPushButton *>();
    QCOMPARE(button->text(), QStringLiteral("Load the page again"));
    QTRY_VERIFY_WITH_TIMEOUT(logOf(*window).contains(QStringLiteral(
                                 "] The page is not reloaded again: its process ended 4 times "
                                 "within a minute\n")),
        5000);
    QTest::qWait(1500);
    QCOMPARE(loaded, 3);

    button->click();
    QTRY_VERIFY_WITH_TIMEOUT(!notice->isVisible(), 5000);
    QTRY_COMPARE_WITH_TIMEOUT(loaded, 4, engineTimeout);
    QCOMPARE(evaluate(page, QStringLiteral("typeof window.loadedAt")).toString(),
        QStringLiteral("number"));
    QCOMPARE(viewOf(*window)->url(), standInAddress);
}

void TestBuiltInPage::closesAtOnceWhileThePageIsGone()
{
    QWebEnginePage *page = viewOf(*window)->page();
    clickPage();
    evaluate(page, QStringLiteral("window.unsaved = true"));
    bool ended = false;
    QObject counting; // ends the connection before the flag goes
    connect(page, &QWebEnginePage::renderProcessTerminated, &counting, [&ended] { ended = true; });
    if (!killRenderer())
        QSKIP("no way to end the renderer here");
    QTRY_VERIFY_WITH_TIMEOUT(ended, engineTimeout);

    // Before the automatic reload: nothing is left to ask.
    ModalAnswerer watcher({});
    window->close();
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 5000);
    QCOMPARE(watcher.seen, 0);
}

void TestBuiltInPage::externalApplicationFetchesItsOwnFiles()
{
    QTemporaryDir root;
    QVERIFY(root.isValid());
    QVERIFY(QDir(root.path()).mkpath(QStringLiteral("app/data")));
    QVERIFY(writeFile(root.filePath("app/data/points.json"), R"({"LT-101": 42.5})"));
    QVERIFY(writeFile(root.filePath("secret.json"), R"({"outside": true})"));
    QVERIFY(writeFile(root.filePath("app/index.html"), R"(<!doctype html>
<title>stand-in</title>
<script>
  window.results = {};
  fetch('data/points.json')
    .then((r) => r.json().then((body) => ({ ok: r.ok, status: r.status, type: r.headers.get('content-type'), body })))
    .then((v) => { window.results.own = v; }, (e) => { window.results.own = String(e); });
  fetch('../secret.json').then(() => { window.results.outside = 'served'; }, (e) => { window.results.outside = e.name; });
</script>)"));
    openFromDirectory(root.filePath(QStringLiteral("app")), QStringLiteral("index.html"));

    QWebEnginePage *page = viewOf(*window)->page();
    QTRY_COMPARE_WITH_TIMEOUT(
        evaluate(page, QStringLiteral("Object.keys(window.results).length")).toInt(), 2,
        engineTimeout);
    const QVariantMap own = evaluate(page, QStringLiteral("window.results.own")).toMap();
    QCOMPARE(own.value("ok").toBool(), true);
    QCOMPARE(own.value("status").toInt(), 200);
    QCOMPARE(own.value("type").toString(), QStringLiteral("application/json"));
    QCOMPARE(own.value("body").toMap().value("LT-101").toDouble(), 42.5);
    QCOMPARE(evaluate(page, QStringLiteral("window.results.outside")).toString(),
        QStringLiteral("TypeError"));

    // The built-in application keeps the engine's own fetch().
    entryNamed(*window, QStringLiteral("Use bundled application"))->trigger();
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(*window)->url(), standInAddress, engineTimeout);
    QTRY_COMPARE_WITH_TIMEOUT(viewOf(*window)->title(), QStringLiteral("stand-in"), engineTimeout);
    QVERIFY(evaluate(viewOf(*window)->page(), QStringLiteral("String(window.fetch)"))
                .toString()
                .contains(QStringLiteral("[native code]")));
}

int main(int argc, char **argv)
{
    // The scheme exists for the engine only when registered before the application.
    const QWebEngineUrlScheme scheme = registerCorvaneScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    TestBuiltInPage test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_builtinpage.moc"
