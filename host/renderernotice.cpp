#include "renderernotice.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

RendererNotice::RendererNotice(QWidget *parent)
    : QWidget(parent)
{
    setAutoFillBackground(true);
    auto *layout = new QVBoxLayout(this);
    layout->addStretch();
    message = new QLabel(this);
    message->setAlignment(Qt::AlignCenter);
    message->setWordWrap(true);
    layout->addWidget(message);
    reloadButton = new QPushButton(this);
    layout->addWidget(reloadButton, 0, Qt::AlignHCenter);
    layout->addStretch();
    connect(reloadButton, &QAbstractButton::clicked, this, &RendererNotice::reloadRequested);

    // It covers the whole view, whatever the view's size.
    parent->installEventFilter(this);
    setGeometry(parent->rect());
    hide();
    retranslateUi();
}

void RendererNotice::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslateUi();
    QWidget::changeEvent(event);
}

bool RendererNotice::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return false;
}

void RendererNotice::retranslateUi()
{
    message->setText(tr("The page stopped working several times in a row and is no longer "
                        "reloaded by itself."));
    reloadButton->setText(tr("Load the page again"));
}
