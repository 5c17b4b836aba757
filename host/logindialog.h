#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;

// The station's own login dialog: the password is typed here and handed to
// `check`, never to a page. `check` answers what to say when the login
// failed, or nothing when it succeeded (the dialog then closes).
class LoginDialog : public QDialog
{
    Q_OBJECT

public:
    using Check = std::function<QString(const QString &name, const QByteArray &password)>;

    explicit LoginDialog(Check check, QWidget *parent = nullptr);

private:
    void tryLogin();

    Check check;
    QLineEdit *name;
    QLineEdit *password;
    QLabel *message;
};
