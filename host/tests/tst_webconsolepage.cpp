// Console messages of a page become one formatted text each.

#include "webconsolepage.h"

#include <QSignalSpy>
#include <QTest>
#include <QTranslator>

namespace {

// Reaches the engine's entry point directly, for levels and values the engine
// does not produce on demand.
class ProbePage : public WebConsolePage
{
public:
    using WebConsolePage::javaScriptConsoleMessage;
    using WebConsolePage::WebConsolePage;
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

QTEST_MAIN(TestWebConsolePage)
#include "tst_webconsolepage.moc"
