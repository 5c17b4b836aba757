// Console messages of a page become one formatted text each.

#include "webconsolepage.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QWebEngineProfile>
#include <QWebEngineView>

namespace {

// Reaches the engine's entry point directly, for levels and values the engine
// does not produce on demand.
class ProbePage : public WebConsolePage
{
public:
    using WebConsolePage::acceptNavigationRequest;
    using WebConsolePage::javaScriptAlert;
    using WebConsolePage::javaScriptConfirm;
    using WebConsolePage::javaScriptConsoleMessage;
    using WebConsolePage::WebConsolePage;
};

// Closes every modal dialog as soon as it shows, and counts them.
class DialogCloser : public QObject
{
public:
    DialogCloser()
    {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, this, [this] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                ++closed;
                modal->close();
            }
        });
        timer.start();
    }
    int closed = 0;

private:
    QTimer timer;
};

// Any lookup answers with a marked text, so the level titles can be seen
// following the installed catalogue.
class MarkingTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *sourceText, const char *, int) const override
    {
        return QStringLiteral("<%1:%2>").arg(
            QString::fromLatin1(context), QString::fromUtf8(sourceText));
    }
};

} // namespace

class TestWebConsolePage : public QObject
{
    Q_OBJECT

private slots:
    void formatsConsoleMessagesOfRealPage();
    void titlesLevelsAndKeepsValuesLiteral_data();
    void titlesLevelsAndKeepsValuesLiteral();
    void looksTitleUpForEveryMessage();
    void keepsEachPageToItsOwnContent_data();
    void keepsEachPageToItsOwnContent();
    void reportsARefusedAddressOnce();
    void rationsDialogsOfExternalContent();
};

void TestWebConsolePage::formatsConsoleMessagesOfRealPage()
{
    WebConsolePage page;
    QSignalSpy messages(&page, &WebConsolePage::consoleMessage);
    const QUrl base(QStringLiteral("https://console.invalid/page.html"));
    // The calls sit on lines 3 to 6 of the document.
    page.setHtml(QStringLiteral("<!DOCTYPE html>\n"
                                "<script>\n"
                                "console.log('plain text');\n"
                                "console.info('info', 5);\n"
                                "console.warn('careful');\n"
                                "console.error('broken %1');\n"
                                "</script>\n"),
        base);
    QTRY_COMPARE_WITH_TIMEOUT(messages.size(), 4, 30000);

    QStringList texts;
    for (const QList<QVariant> &arguments : std::as_const(messages))
        texts << arguments.at(0).toString();
    const QString source = base.toString();
    QCOMPARE(texts,
        QStringList({
            "JavaScript message\nSource: " + source + ", line 3\nplain text",
            "JavaScript message\nSource: " + source + ", line 4\ninfo 5",
            "JavaScript warning\nSource: " + source + ", line 5\ncareful",
            "JavaScript error\nSource: " + source + ", line 6\nbroken %1",
        }));
}

void TestWebConsolePage::titlesLevelsAndKeepsValuesLiteral_data()
{
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("info") << 0 << "ready" << 7 << "qrc:/mvp/assets/index.js"
                          << "JavaScript message\nSource: qrc:/mvp/assets/index.js, line 7\nready";
    QTest::newRow("warning") << 1 << "low" << 12 << "qrc:/a.js"
                             << "JavaScript warning\nSource: qrc:/a.js, line 12\nlow";
    QTest::newRow("error") << 2 << "bad" << 1 << "corvane://content/mvp/app.js"
                           << "JavaScript error\nSource: corvane://content/mvp/app.js, line 1\nbad";
    QTest::newRow("unknown level") << 7 << "odd" << 3 << "x.js"
                                   << "JavaScript message\nSource: x.js, line 3\nodd";
    QTest::newRow("negative level") << -1 << "odd" << 3 << "x.js"
                                    << "JavaScript message\nSource: x.js, line 3\nodd";
    QTest::newRow("empty source and line 0")
        << 2 << "Uncaught" << 0 << QString() << "JavaScript error\nSource: , line 0\nUncaught";
    QTest::newRow("placeholders in source and message")
        << 0 << "50%1 %2 %3 done" << 4 << "https://h.invalid/%1%2.js"
        << "JavaScript message\nSource: https://h.invalid/%1%2.js, line 4\n50%1 %2 %3 done";
    QTest::newRow("multi-line message") << 1 << "a\nb" << 2 << "s.js"
                                        << "JavaScript warning\nSource: s.js, line 2\na\nb";
}

void TestWebConsolePage::titlesLevelsAndKeepsValuesLiteral()
{
    QFETCH(int, level);
    QFETCH(QString, message);
    QFETCH(int, line);
    QFETCH(QString, source);
    QFETCH(QString, expected);

    ProbePage page;
    QSignalSpy messages(&page, &WebConsolePage::consoleMessage);
    page.javaScriptConsoleMessage(
        QWebEnginePage::JavaScriptConsoleMessageLevel(level), message, line, source);
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.at(0).at(0).toString(), expected);
}

void TestWebConsolePage::looksTitleUpForEveryMessage()
{
    ProbePage page;
    QSignalSpy messages(&page, &WebConsolePage::consoleMessage);
    MarkingTranslator translator;

    QVERIFY(QCoreApplication::installTranslator(&translator));
    page.javaScriptConsoleMessage(
        QWebEnginePage::ErrorMessageLevel, QStringLiteral("m"), 1, QStringLiteral("s"));
    QCoreApplication::removeTranslator(&translator);
    page.javaScriptConsoleMessage(
        QWebEnginePage::ErrorMessageLevel, QStringLiteral("m"), 1, QStringLiteral("s"));

    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages.at(0).at(0).toString(),
        QStringLiteral("<WebConsolePage:JavaScript error>\nSource: s, line 1\nm"));
    QCOMPARE(
        messages.at(1).at(0).toString(), QStringLiteral("JavaScript error\nSource: s, line 1\nm"));
}

void TestWebConsolePage::keepsEachPageToItsOwnContent_data()
{
    QTest::addColumn<bool>("builtIn");
    QTest::addColumn<QUrl>("url");
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("mainFrame");
    QTest::addColumn<bool>("accepted");

    const QUrl app(QStringLiteral("qrc:/mvp/index.html"));
    const QUrl web(QStringLiteral("https://plant.invalid/"));
    const int typed = QWebEnginePage::NavigationTypeTyped;
    const int link = QWebEnginePage::NavigationTypeLinkClicked;
    const int reload = QWebEnginePage::NavigationTypeReload;
    const int other = QWebEnginePage::NavigationTypeOther;
    QTest::newRow("built-in: loaded by the host") << true << app << typed << true << true;
    QTest::newRow("built-in: reloaded") << true << app << reload << true << true;
    QTest::newRow("built-in: navigated by a script") << true << app << link << true << false;
    QTest::newRow("built-in: itself in a frame") << true << app << typed << false << false;
    QTest::newRow("built-in: a web address") << true << web << typed << true << false;
    QTest::newRow("built-in: a web frame") << true << web << other << false << false;
    QTest::newRow("built-in: other resources")
        << true << QUrl(QStringLiteral("qrc:/tr/corvane-ui-tr.qm")) << typed << true << false;
    QTest::newRow("external: a web address") << false << web << typed << true << true;
    QTest::newRow("external: an application file")
        << false << QUrl(QStringLiteral("corvane://content/mvp/index.html")) << typed << true
        << true;
    QTest::newRow("external: a web frame") << false << web << other << false << true;
    QTest::newRow("external: the built-in application") << false << app << link << true << false;
    QTest::newRow("external: even when typed") << false << app << typed << true << false;
    QTest::newRow("external: the built-in application framed")
        << false << app << other << false << false;
    QTest::newRow("external: any resource")
        << false << QUrl(QStringLiteral("qrc:/mvp/assets/index.js")) << other << false << false;
}

void TestWebConsolePage::keepsEachPageToItsOwnContent()
{
    QFETCH(bool, builtIn);
    QFETCH(QUrl, url);
    QFETCH(int, type);
    QFETCH(bool, mainFrame);
    QFETCH(bool, accepted);

    QWebEngineProfile profile;
    ProbePage page(&profile,
        builtIn ? WebConsolePage::Content::BuiltInApplication : WebConsolePage::Content::External);
    QSignalSpy refused(&page, &WebConsolePage::refused);
    QCOMPARE(page.acceptNavigationRequest(url, QWebEnginePage::NavigationType(type), mainFrame),
        accepted);
    QCOMPARE(refused.size(), accepted ? 0 : 1);
    if (!accepted)
        QVERIFY(refused.at(0).at(0).toString().contains(url.toDisplayString()));
}

void TestWebConsolePage::reportsARefusedAddressOnce()
{
    QWebEngineProfile profile;
    ProbePage page(&profile, WebConsolePage::Content::External);
    QSignalSpy refused(&page, &WebConsolePage::refused);
    const QUrl app(QStringLiteral("qrc:/mvp/index.html"));
    for (int i = 0; i < 50; ++i)
        QVERIFY(!page.acceptNavigationRequest(app, QWebEnginePage::NavigationTypeOther, false));
    QVERIFY(!page.acceptNavigationRequest(
        QUrl(QStringLiteral("qrc:/mvp/other.html")), QWebEnginePage::NavigationTypeOther, true));
    QCOMPARE(refused.size(), 2);
    QCOMPARE(refused.at(0).at(0).toString(),
        QStringLiteral("Navigation refused: only the built-in application may show "
                       "qrc:/mvp/index.html"));
}

void TestWebConsolePage::rationsDialogsOfExternalContent()
{
    QWebEngineProfile profile;
    const QUrl origin(QStringLiteral("https://plant.invalid"));
    const QString unloadQuestion = QStringLiteral(
        "Are you sure you want to leave this page? Changes that you made may not be saved.");
    {
        ProbePage page(&profile, WebConsolePage::Content::External);
        // The engine shows a page's dialogs over its view.
        QWebEngineView view;
        view.setPage(&page);
        QSignalSpy refused(&page, &WebConsolePage::refused);
        DialogCloser closer;
        for (int i = 0; i < 12; ++i)
            page.javaScriptAlert(origin, QStringLiteral("again"));
        QCOMPARE(closer.closed, WebConsolePage::maxDialogs);
        // Dropped questions: a page's own confirm is declined, while the
        // engine's before-unload question lets the page go.
        QVERIFY(!page.javaScriptConfirm(origin, QStringLiteral("sure?")));
        QVERIFY(page.javaScriptConfirm(origin, unloadQuestion));
        QCOMPARE(closer.closed, WebConsolePage::maxDialogs);
        QCOMPARE(refused.size(), 1);
        QCOMPARE(refused.at(0).at(0).toString(),
            QStringLiteral("Dialogs of https://plant.invalid dropped: more than 3 within 10 s"));
    }
    {
        // The built-in application's own questions are never rationed.
        ProbePage page(&profile, WebConsolePage::Content::BuiltInApplication);
        QWebEngineView view;
        view.setPage(&page);
        QSignalSpy refused(&page, &WebConsolePage::refused);
        DialogCloser closer;
        for (int i = 0; i < 6; ++i)
            page.javaScriptAlert(origin, QStringLiteral("again"));
        QCOMPARE(closer.closed, 6);
        QCOMPARE(refused.size(), 0);
    }
}

QTEST_MAIN(TestWebConsolePage)
#include "tst_webconsolepage.moc"
