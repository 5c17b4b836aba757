#pragma once

#include <QWebEnginePage>

// The page of the main view: turns every console message of its scripts into
// one formatted text for the log.
class WebConsolePage : public QWebEnginePage
{
    Q_OBJECT

public:
    explicit WebConsolePage(QObject *parent = nullptr);

signals:
    void consoleMessage(const QString &message);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
        int lineNumber, const QString &sourceID) override;
};
