// The log window: entry format, block accounting, the block limit, and the
// Clear and Close buttons.

#include "webviewlogdialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTranslator>

namespace {

QPlainTextEdit *logViewOf(WebViewLogDialog &dialog)
{
    return dialog.findChild<QPlainTextEdit *>();
}

QAbstractButton *buttonWithRole(WebViewLogDialog &dialog, QDialogButtonBox::ButtonRole role)
{
    auto *box = dialog.findChild<QDialogButtonBox *>();
    const QList<QAbstractButton *> buttons = box->buttons();
    for (QAbstractButton *button : buttons) {
        if (box->buttonRole(button) == role)
            return button;
    }
    return nullptr;
}

// Entries reach the view in batches at most every 100 ms.
void waitForFlush()
{
    QTest::qWait(250);
}

QStringList blocksOf(const QTextDocument *document)
{
    QStringList blocks;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        blocks << block.text();
    return blocks;
}

// Any lookup answers with its context and source text, so a language change
// and the context of each text can be seen.
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

class TestWebViewLogDialog : public QObject
{
    Q_OBJECT

private slots:
    void startsHiddenWithEnglishTexts();
    void entryTakesOneBlockPerLinePlusSeparator_data();
    void entryTakesOneBlockPerLinePlusSeparator();
    void stampsEntryWithLocalTime();
    void cutsAnOverlongEntry_data();
    void cutsAnOverlongEntry();
    void aMegabyteLineCostsLittle();
    void keepsNewestTwoThousandBlocks();
    void floodKeepsTheNewestEntriesInOrder();
    void clearEmptiesViewAndNextEntryStartsAtTop();
    void closeHidesAndEntriesSurvive();
    void followsLanguageChanges();
};

void TestWebViewLogDialog::startsHiddenWithEnglishTexts()
{
    WebViewLogDialog dialog;
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.size(), QSize(760, 440));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("WebView log"));
    QVERIFY(logViewOf(dialog)->isReadOnly());
    QCOMPARE(logViewOf(dialog)->document()->maximumBlockCount(), 2000);
    QCOMPARE(buttonWithRole(dialog, QDialogButtonBox::ResetRole)->text(), QStringLiteral("Clear"));
    QCOMPARE(buttonWithRole(dialog, QDialogButtonBox::RejectRole)->text(), QStringLiteral("Close"));
}

void TestWebViewLogDialog::entryTakesOneBlockPerLinePlusSeparator_data()
{
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("blocks");

    QTest::newRow("one line") << QStringList { "hello" } << QStringList { "hello", "" };
    QTest::newRow("rejected address report") << QStringList { "Could not open URL\nftp://x" }
                                             << QStringList { "Could not open URL", "ftp://x", "" };
    QTest::newRow("console message")
        << QStringList { "JavaScript warning\nSource: qrc:/a.js, line 12\nlow" }
        << QStringList { "JavaScript warning", "Source: qrc:/a.js, line 12", "low", "" };
    QTest::newRow("two entries separated by an empty block") << QStringList { "first",
        "second\nline" } << QStringList { "first", "", "second", "line", "" };
    QTest::newRow("placeholders in the text stay literal")
        << QStringList { "%1 and %2" } << QStringList { "%1 and %2", "" };
    QTest::newRow("empty message") << QStringList { QString() } << QStringList { "", "" };
}

void TestWebViewLogDialog::entryTakesOneBlockPerLinePlusSeparator()
{
    QFETCH(QStringList, messages);
    QFETCH(QStringList, blocks);

    WebViewLogDialog dialog;
    for (const QString &message : std::as_const(messages))
        dialog.appendMessage(message);
    waitForFlush();

    // Each entry's first block starts with the time stamp; strip it to compare.
    static const QRegularExpression stamp(
        QStringLiteral("^\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\] "));
    QStringList actual = blocksOf(logViewOf(dialog)->document());
    QCOMPARE(actual.size(), blocks.size());
    int stamped = 0;
    for (QString &block : actual) {
        if (stamp.match(block).hasMatch()) {
            block.remove(stamp);
            ++stamped;
        }
    }
    QCOMPARE(stamped, messages.size());
    QCOMPARE(actual, blocks);
}

void TestWebViewLogDialog::stampsEntryWithLocalTime()
{
    WebViewLogDialog dialog;
    const QDateTime before = QDateTime::currentDateTime();
    dialog.appendMessage(QStringLiteral("tick"));
    const QDateTime after = QDateTime::currentDateTime();

    const QString first = logViewOf(dialog)->document()->firstBlock().text();
    QVERIFY2(first.startsWith(QLatin1Char('[')) && first.endsWith(QStringLiteral("] tick")),
        qPrintable(first));
    const QDateTime stamped
        = QDateTime::fromString(first.mid(1, 19), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QVERIFY2(stamped.isValid(), qPrintable(first));
    QVERIFY(stamped >= before.addMSecs(-before.time().msec()));
    QVERIFY(stamped <= after);
}

void TestWebViewLogDialog::cutsAnOverlongEntry_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("expected");

    const qsizetype limit = WebViewLogDialog::maximumEntryLength;
    const QString full(limit, QLatin1Char('a'));
    QTest::newRow("exactly the limit") << full << full;
    QTest::newRow("one over") << full + QLatin1Char('b') << full + "… (1 more characters)";
    QTest::newRow("a megabyte") << QString(1 << 20, QLatin1Char('a'))
                                << full + "… (1032192 more characters)";
    // A character outside the basic plane straddling the cut goes whole.
    const QString pair = QString::fromUtf8("\xF0\x9F\x94\xA5");
    const QString straddling = QString(limit - 1, QLatin1Char('a')) + pair + "zz";
    QTest::newRow("a surrogate pair at the cut")
        << straddling << QString(limit - 1, QLatin1Char('a')) + "… (4 more characters)";
    QTest::newRow("placeholders stay text") << QString(limit, QLatin1Char('%'))
            + "%1" << QString(limit, QLatin1Char('%')) + "… (2 more characters)";
}

void TestWebViewLogDialog::cutsAnOverlongEntry()
{
    QFETCH(QString, message);
    QFETCH(QString, expected);
    QCOMPARE(WebViewLogDialog::cutEntry(message), expected);

    WebViewLogDialog dialog;
    dialog.appendMessage(message);
    const QString first = logViewOf(dialog)->document()->firstBlock().text();
    QCOMPARE(first.mid(first.indexOf(QStringLiteral("] ")) + 2), expected);
}

void TestWebViewLogDialog::aMegabyteLineCostsLittle()
{
    WebViewLogDialog dialog;
    dialog.show();
    for (int i = 0; i < 20; ++i)
        dialog.appendMessage(QString(1 << 20, QLatin1Char('x')));
    waitForFlush();
    // Twenty entries, each kept to the limit: the view holds about 320 KiB, not 20 MiB.
    QVERIFY(logViewOf(dialog)->document()->characterCount()
        < 21 * (WebViewLogDialog::maximumEntryLength + 64));
}

void TestWebViewLogDialog::keepsNewestTwoThousandBlocks()
{
    WebViewLogDialog dialog;
    // 1001 one-line entries are 2002 blocks: the first entry's two blocks go.
    for (int i = 0; i < 1001; ++i)
        dialog.appendMessage(QStringLiteral("entry %1").arg(i));
    waitForFlush();

    const QTextDocument *document = logViewOf(dialog)->document();
    QCOMPARE(document->blockCount(), 2000);
    QVERIFY2(document->firstBlock().text().endsWith(QStringLiteral("] entry 1")),
        qPrintable(document->firstBlock().text()));
    QVERIFY(document->lastBlock().text().isEmpty());
    QVERIFY(document->lastBlock().previous().text().endsWith(QStringLiteral("] entry 1000")));
    QVERIFY(!document->toPlainText().contains(QStringLiteral("] entry 0\n")));
}

void TestWebViewLogDialog::floodKeepsTheNewestEntriesInOrder()
{
    WebViewLogDialog dialog;
    dialog.appendMessage(QStringLiteral("before the flood"));
    // Multi-line entries of four blocks each: 500 of them fill the view.
    constexpr int flood = 100000;
    for (int i = 0; i < flood; ++i)
        dialog.appendMessage(
            QStringLiteral("JavaScript message\nSource: f.js, line 1\nm%1").arg(i));
    waitForFlush();

    const QTextDocument *document = logViewOf(dialog)->document();
    QCOMPARE(document->blockCount(), 2000);
    const QStringList blocks = blocksOf(document);
    static const QRegularExpression stamp(
        QStringLiteral("^\\[\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2}\\] "));
    for (int entry = 0; entry < 500; ++entry) {
        const int at = entry * 4;
        QVERIFY2(stamp.match(blocks.at(at)).hasMatch(), qPrintable(blocks.at(at)));
        QVERIFY(blocks.at(at).endsWith(QStringLiteral("] JavaScript message")));
        QCOMPARE(blocks.at(at + 1), QStringLiteral("Source: f.js, line 1"));
        QCOMPARE(blocks.at(at + 2), QStringLiteral("m%1").arg(flood - 500 + entry));
        QCOMPARE(blocks.at(at + 3), QString());
    }

    // The next entry pushes out the oldest lines, as with single appends.
    dialog.appendMessage(QStringLiteral("after"));
    waitForFlush();
    QCOMPARE(document->blockCount(), 2000);
    QCOMPARE(blocksOf(document).first(), QStringLiteral("m%1").arg(flood - 500));
    QVERIFY(document->lastBlock().previous().text().endsWith(QStringLiteral("] after")));
}

void TestWebViewLogDialog::clearEmptiesViewAndNextEntryStartsAtTop()
{
    WebViewLogDialog dialog;
    dialog.appendMessage(QStringLiteral("old"));
    dialog.appendMessage(QStringLiteral("older"));

    // Entries still waiting for the view go as well.
    buttonWithRole(dialog, QDialogButtonBox::ResetRole)->click();
    QPlainTextEdit *view = logViewOf(dialog);
    QVERIFY(view->toPlainText().isEmpty());
    waitForFlush();
    QVERIFY(view->toPlainText().isEmpty());

    dialog.appendMessage(QStringLiteral("fresh"));
    waitForFlush();
    QCOMPARE(view->document()->blockCount(), 2);
    QVERIFY(view->document()->firstBlock().text().endsWith(QStringLiteral("] fresh")));
}

void TestWebViewLogDialog::closeHidesAndEntriesSurvive()
{
    QWidget owner;
    auto *dialog = new WebViewLogDialog(&owner);
    QPointer<WebViewLogDialog> guard(dialog);
    dialog->appendMessage(QStringLiteral("before"));
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));

    buttonWithRole(*dialog, QDialogButtonBox::RejectRole)->click();
    QVERIFY(!dialog->isVisible());
    QCoreApplication::processEvents();
    QVERIFY(guard);

    dialog->appendMessage(QStringLiteral("while hidden"));
    waitForFlush();
    dialog->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const QString text = logViewOf(*dialog)->toPlainText();
    QVERIFY(text.contains(QStringLiteral("] before\n")));
    QVERIFY(text.contains(QStringLiteral("] while hidden\n")));

    // Escape dismisses the dialog the same way.
    QTest::keyClick(dialog, Qt::Key_Escape);
    QVERIFY(!dialog->isVisible());
    QVERIFY(guard);
    QCOMPARE(logViewOf(*dialog)->document()->blockCount(), 4);
}

void TestWebViewLogDialog::followsLanguageChanges()
{
    WebViewLogDialog dialog;
    dialog.appendMessage(QStringLiteral("written before"));
    const QString log = logViewOf(dialog)->toPlainText();
    QAbstractButton *clear = buttonWithRole(dialog, QDialogButtonBox::ResetRole);
    QAbstractButton *close = buttonWithRole(dialog, QDialogButtonBox::RejectRole);

    MarkingTranslator translator;
    for (int round = 0; round < 2; ++round) {
        QVERIFY(QCoreApplication::installTranslator(&translator));
        QTRY_COMPARE(dialog.windowTitle(), QStringLiteral("<WebViewLogDialog:WebView log>"));
        QCOMPARE(clear->text(), QStringLiteral("<WebViewLogDialog:Clear>"));
        QCOMPARE(close->text(), QStringLiteral("<WebViewLogDialog:Close>"));

        QVERIFY(QCoreApplication::removeTranslator(&translator));
        QTRY_COMPARE(dialog.windowTitle(), QStringLiteral("WebView log"));
        QCOMPARE(clear->text(), QStringLiteral("Clear"));
        QCOMPARE(close->text(), QStringLiteral("Close"));
    }
    QCOMPARE(dialog.findChild<QDialogButtonBox *>()->buttons().size(), 2);
    QCOMPARE(logViewOf(dialog)->toPlainText(), log);
}

QTEST_MAIN(TestWebViewLogDialog)
#include "tst_webviewlogdialog.moc"
