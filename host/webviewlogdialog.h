#pragma once

#include <QDialog>

class QDialogButtonBox;
class QPlainTextEdit;
class QPushButton;

// The log window: time-stamped console messages and host reports.
class WebViewLogDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WebViewLogDialog(QWidget *parent = nullptr);

public slots:
    void appendMessage(const QString &message);

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslateUi();

    QPlainTextEdit *logView = nullptr;
    QDialogButtonBox *buttonBox = nullptr;
    QPushButton *clearButton = nullptr;
};
