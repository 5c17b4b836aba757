#include "webviewlogdialog.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextDocument>
#include <QVBoxLayout>

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
