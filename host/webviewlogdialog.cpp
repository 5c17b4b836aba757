#include "webviewlogdialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace {

constexpr int maximumBlocks = 2000;
constexpr int flushIntervalMs = 100;

// One block per line, plus the empty block after the entry's final line break.
int blocksOf(const QString &entry)
{
    return int(entry.count(QLatin1Char('\n'))) + 1;
}

// On a language change QDialogButtonBox puts the platform's own texts back on
// its standard buttons, after the dialog's changeEvent has set its own; then it
// passes the change on to those buttons. A filter on the button therefore sees
// the change last and can set the dialog's text again.
class LanguageChangeFilter : public QObject
{
public:
    LanguageChangeFilter(QObject *parent, std::function<void()> react)
        : QObject(parent)
        , react(std::move(react))
    { }

    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::LanguageChange)
            react();
        return false;
    }

private:
    std::function<void()> react;
};

} // namespace

WebViewLogDialog::WebViewLogDialog(QWidget *parent)
    : QDialog(parent)
{
    resize(760, 440);
    auto *layout = new QVBoxLayout(this);

    logView = new QPlainTextEdit(this);
    logView->setReadOnly(true);
    logView->document()->setMaximumBlockCount(maximumBlocks);
    // A log is never edited: no undo history to grow with every entry.
    logView->setUndoRedoEnabled(false);
    layout->addWidget(logView);

    buttonBox = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *closeButton = buttonBox->button(QDialogButtonBox::Close);
    closeButton->installEventFilter(new LanguageChangeFilter(
        closeButton, [closeButton] { closeButton->setText(tr("Close")); }));
    clearButton = buttonBox->addButton(QString(), QDialogButtonBox::ResetRole);
    connect(clearButton, &QAbstractButton::clicked, this, [this] {
        pendingEntries.clear();
        pendingBlocks = 0;
    });
    connect(clearButton, &QAbstractButton::clicked, logView, &QPlainTextEdit::clear);

    flushTimer = new QTimer(this);
    flushTimer->setSingleShot(true);
    connect(flushTimer, &QTimer::timeout, this, &WebViewLogDialog::flushPending);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QWidget::hide);
    layout->addWidget(buttonBox);

    retranslateUi();
}

QString WebViewLogDialog::cutEntry(const QString &message)
{
    if (message.size() <= maximumEntryLength)
        return message;
    qsizetype kept = maximumEntryLength;
    // Never half a character: a surrogate pair stays whole or goes whole.
    if (message.at(kept - 1).isHighSurrogate())
        --kept;
    return tr("%1… (%2 more characters)")
        .arg(message.left(kept), QString::number(message.size() - kept));
}

void WebViewLogDialog::appendMessage(const QString &message)
{
    const QString stamp
        = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const QString entry = QStringLiteral("[%1] %2\n").arg(stamp, cutEntry(message));
    pendingEntries.append(entry);
    pendingBlocks += blocksOf(entry);
    while (pendingEntries.size() > 1
        && pendingBlocks - blocksOf(pendingEntries.first()) >= maximumBlocks) {
        pendingBlocks -= blocksOf(pendingEntries.takeFirst());
    }

    if (flushTimer->isActive())
        return;
    const qint64 since = sinceFlush.isValid() ? sinceFlush.elapsed() : flushIntervalMs;
    if (since >= flushIntervalMs)
        flushPending();
    else
        flushTimer->start(int(flushIntervalMs - since));
}

void WebViewLogDialog::flushPending()
{
    if (pendingEntries.isEmpty())
        return;
    // Consecutive paragraphs, exactly as one append per entry would leave them.
    logView->appendPlainText(pendingEntries.join(QLatin1Char('\n')));
    pendingEntries.clear();
    pendingBlocks = 0;
    sinceFlush.start();
}

void WebViewLogDialog::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QDialog::changeEvent(event);
}

void WebViewLogDialog::retranslateUi()
{
    setWindowTitle(tr("WebView log"));
    clearButton->setText(tr("Clear"));
    buttonBox->button(QDialogButtonBox::Close)->setText(tr("Close"));
}
