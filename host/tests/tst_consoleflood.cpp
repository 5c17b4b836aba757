// A page that writes 100,000 console messages into the main window, with no
// debugger attached: the log ends with exactly the newest entries, in order,
// with their time stamps, and the GUI thread keeps serving its timers. The
// worst lateness of a 10 ms timer and the host's memory are printed.

#include "mainwindow.h"
#include "schemeregistration.h"
#include "webconsolepage.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>
#include <QWebEngineProfile>
#include <QWebEngineUrlScheme>
#include <QWebEngineView>

#include <functional>
#include <memory>

namespace {

constexpr int engineTimeout = 30000;
constexpr int floodSize = 100000;
constexpr int maximumBlocks = 2000;
// A console entry is four blocks: title, source, text and the separator.
constexpr int entryBlocks = 4;
const QString pageAddress = QStringLiteral("qrc:/mvp/index.html");

// Runs the event loop (no sleeping between rounds, unlike QTest::qWaitFor)
// until `done` holds or the time is up.
bool runUntil(const std::function<bool()> &done, int timeoutMs)
{
    QEventLoop loop;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done() || clock.elapsed() > timeoutMs)
            loop.quit();
    });
    poll.start();
    if (!done())
        loop.exec();
    return done();
}

// A 10 ms timer on the GUI thread; each tick records how much later than its
// interval it came.
class LatenessProbe : public QObject
{
public:
    explicit LatenessProbe(QObject *parent = nullptr)
        : QObject(parent)
    {
        timer.setTimerType(Qt::PreciseTimer);
        timer.setInterval(intervalMs);
        connect(&timer, &QTimer::timeout, this, [this] {
            const qint64 now = clock.nsecsElapsed();
            const double late = double(now - last) / 1e6 - intervalMs;
            last = now;
            ++ticks;
            worstMs = qMax(worstMs, late);
            if (late > 100)
                ++over100;
        });
        clock.start();
        last = 0;
        timer.start();
    }

    void stop() { timer.stop(); }

    static constexpr int intervalMs = 10;
    int ticks = 0;
    int over100 = 0;
    double worstMs = 0;

private:
    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
};

qint64 residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    static const QRegularExpression rss(QStringLiteral("VmRSS:\\s+(\\d+) kB"));
    const QRegularExpressionMatch match = rss.match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() / 1024 : -1;
}

QStringList blocksOf(const QTextDocument *document)
{
    QStringList blocks;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        blocks << block.text();
    return blocks;
}

// The line of the fixture page that writes the given level's messages.
int lineOf(const QString &call)
{
    QFile page(QStringLiteral(":/mvp/index.html"));
    if (!page.open(QIODevice::ReadOnly))
        return -1;
    const QStringList lines = QString::fromUtf8(page.readAll()).split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        if (lines.at(i).contains(call))
            return i + 1;
    }
    return -1;
}

} // namespace

class TestConsoleFlood : public QObject
{
    Q_OBJECT

private slots:
    void floodKeepsTheNewestEntriesAndTheWindowAnswering_data();
    void floodKeepsTheNewestEntriesAndTheWindowAnswering();
    void cleanup();

private:
    std::unique_ptr<MainWindow> window;
};

void TestConsoleFlood::floodKeepsTheNewestEntriesAndTheWindowAnswering_data()
{
    QTest::addColumn<bool>("logShown");
    QTest::newRow("log window hidden") << false;
    QTest::newRow("log window shown") << true;
}

void TestConsoleFlood::floodKeepsTheNewestEntriesAndTheWindowAnswering()
{
    QFETCH(bool, logShown);

    window = std::make_unique<MainWindow>();
    window->show();
    if (logShown)
        window->showLog();
    auto *view = window->findChild<QWebEngineView *>();
    auto *page = window->findChild<WebConsolePage *>();
    QVERIFY(view && page);
    QVERIFY(runUntil([&] { return view->title() == QStringLiteral("flood"); }, engineTimeout));

    int arrived = 0;
    QObject counter;
    connect(page, &WebConsolePage::consoleMessage, &counter, [&arrived](const QString &message) {
        if (message.contains(QStringLiteral("\nflood ")))
            ++arrived;
    });

    // Let the start-up settle before measuring.
    runUntil([] { return false; }, 500);
    const qint64 memoryBefore = residentMb();
    const QDateTime started = QDateTime::currentDateTime();
    QElapsedTimer floodClock;
    floodClock.start();
    LatenessProbe probe;
    page->runJavaScript(QStringLiteral("flood(%1)").arg(floodSize));
    QVERIFY2(runUntil([&] { return arrived == floodSize; }, 120000),
        qPrintable(QStringLiteral("%1 of %2 messages arrived").arg(arrived).arg(floodSize)));
    const qint64 floodMs = floodClock.elapsed();
    // The last batch reaches the view within the flush interval.
    runUntil([] { return false; }, 1000);
    probe.stop();
    const QDateTime finished = QDateTime::currentDateTime();
    const qint64 memoryAfter = residentMb();

    qInfo().noquote() << QStringLiteral(
        "console flood, %1: %2 messages in %3 ms; 10 ms timer: %4 ticks, worst lateness "
        "%5 ms, %6 over 100 ms; host memory %7 MB before, %8 MB after")
                             .arg(QLatin1String(QTest::currentDataTag()))
                             .arg(floodSize)
                             .arg(floodMs)
                             .arg(probe.ticks)
                             .arg(probe.worstMs, 0, 'f', 1)
                             .arg(probe.over100)
                             .arg(memoryBefore)
                             .arg(memoryAfter);

    // The view holds exactly the newest 500 entries, in the order written.
    const QTextDocument *document = window->findChild<QPlainTextEdit *>()->document();
    const QStringList blocks = blocksOf(document);
    QCOMPARE(blocks.size(), maximumBlocks);
    static const QRegularExpression stamped(
        QStringLiteral("^\\[(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2})\\] (.*)$"));
    const QString titles[] = { QStringLiteral("JavaScript message"),
        QStringLiteral("JavaScript warning"), QStringLiteral("JavaScript error") };
    const int lines[] = { lineOf(QStringLiteral("console.log(")),
        lineOf(QStringLiteral("console.warn(")), lineOf(QStringLiteral("console.error(")) };
    const QDateTime earliest = started.addMSecs(-started.time().msec());
    QDateTime previous = earliest;
    const int entries = maximumBlocks / entryBlocks;
    for (int entry = 0; entry < entries; ++entry) {
        const int number = floodSize - entries + entry;
        const int at = entry * entryBlocks;
        const QRegularExpressionMatch head = stamped.match(blocks.at(at));
        QVERIFY2(head.hasMatch(), qPrintable(blocks.at(at)));
        QCOMPARE(head.captured(2), titles[number % 3]);
        QCOMPARE(blocks.at(at + 1),
            QStringLiteral("Source: %1, line %2").arg(pageAddress).arg(lines[number % 3]));
        QCOMPARE(blocks.at(at + 2), QStringLiteral("flood %1").arg(number));
        QCOMPARE(blocks.at(at + 3), QString());

        const QDateTime stamp
            = QDateTime::fromString(head.captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        QVERIFY2(stamp >= previous && stamp <= finished, qPrintable(blocks.at(at)));
        previous = stamp;
    }

    // A window that stops for seconds is frozen; finer figures are printed above.
    QVERIFY2(probe.worstMs < 2000, qPrintable(QString::number(probe.worstMs)));
}

void TestConsoleFlood::cleanup()
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
    TestConsoleFlood test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_consoleflood.moc"
