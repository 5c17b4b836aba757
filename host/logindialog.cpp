#include "logindialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

LoginDialog::LoginDialog(Check check, QWidget *parent)
    : QDialog(parent)
    , check(std::move(check))
    , name(new QLineEdit(this))
    , password(new QLineEdit(this))
    , message(new QLabel(this))
{
    setWindowTitle(tr("Log in to the station"));
    name->setObjectName(QStringLiteral("loginName"));
    password->setObjectName(QStringLiteral("loginPassword"));
    password->setEchoMode(QLineEdit::Password);
    message->setObjectName(QStringLiteral("loginMessage"));
    message->setWordWrap(true);
    message->setStyleSheet(QStringLiteral("color: #b00020"));
    message->hide();

    auto *form = new QFormLayout;
    form->addRow(tr("User"), name);
    form->addRow(tr("Password"), password);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(tr("Log in"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(message);
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &LoginDialog::tryLogin);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    name->setFocus();
}

void LoginDialog::tryLogin()
{
    QByteArray typed = password->text().toUtf8();
    password->clear();
    const QString problem = check(name->text().trimmed(), typed);
    typed.fill('\0');
    if (problem.isEmpty()) {
        accept();
        return;
    }
    message->setText(problem);
    message->show();
    password->setFocus();
}
