#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QStringList>

class QDialogButtonBox;
class QPlainTextEdit;
class QPushButton;
class QTimer;

// The log window: time-stamped console messages and host reports.
class WebViewLogDialog : public QDialog
{
    Q_OBJECT

public:
    // The longest entry kept whole: a longer one is cut, and says by how much,
    // so that one page's megabyte line cannot stall the window's layout.
    static constexpr qsizetype maximumEntryLength = 16 * 1024;

    explicit WebViewLogDialog(QWidget *parent = nullptr);

    static QString cutEntry(const QString &message);

public slots:
    void appendMessage(const QString &message);

protected:
    void changeEvent(QEvent *event) override;

private:
    void retranslateUi();
    void flushPending();

    QPlainTextEdit *logView = nullptr;
    QDialogButtonBox *buttonBox = nullptr;
    QPushButton *clearButton = nullptr;

    // Entries wait here and reach the view at most every 100 ms, so a flood
    // of messages costs one layout per batch; those the view would push out
    // at once never reach it.
    QStringList pendingEntries;
    int pendingBlocks = 0;
    QTimer *flushTimer = nullptr;
    QElapsedTimer sinceFlush;
};
