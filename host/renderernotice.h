#pragma once

#include <QWidget>

class QLabel;
class QPushButton;

// Shown over the web view in place of a page whose process keeps ending: a
// plain notice and a button that loads the page again.
class RendererNotice : public QWidget
{
    Q_OBJECT

public:
    explicit RendererNotice(QWidget *parent);

signals:
    void reloadRequested();

protected:
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void retranslateUi();

    QLabel *message = nullptr;
    QPushButton *reloadButton = nullptr;
};
