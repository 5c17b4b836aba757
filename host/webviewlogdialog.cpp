#include "webviewlogdialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

#include <functional>

namespace {

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
    logView->document()->setMaximumBlockCount(2000);
    layout->addWidget(logView);

    buttonBox = new QDialogButtonBox(QDialogButtonBox::Close, this);
    QPushButton *closeButton = buttonBox->button(QDialogButtonBox::Close);
    closeButton->installEventFilter(new LanguageChangeFilter(
        closeButton, [closeButton] { closeButton->setText(tr("Close")); }));
    clearButton = buttonBox->addButton(QString(), QDialogButtonBox::ResetRole);
    connect(clearButton, &QAbstractButton::clicked, logView, &QPlainTextEdit::clear);
    connect(buttonBox, &QDialogButtonBox::rejected, this, &QWidget::hide);
    layout->addWidget(buttonBox);

    retranslateUi();
}

void WebViewLogDialog::appendMessage(const QString &message)
{
    const QString stamp
        = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    logView->appendPlainText(QStringLiteral("[%1] %2\n").arg(stamp, message));
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
