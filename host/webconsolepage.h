#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QSet>
#include <QWebEnginePage>

// A page of the main view: turns every console message of its scripts into
// one formatted text for the log, and keeps what it shows within its trust.
// The built-in application's page shows that application only; the page of
// external content never reaches the executable's resources, and its
// JavaScript dialogs are rationed so that no page can bury the window in them.
class WebConsolePage : public QWebEnginePage
{
    Q_OBJECT

public:
    enum class Content { BuiltInApplication, External };

    // Dialogs of external content: at most this many within the window.
    static constexpr int maxDialogs = 3;
    static constexpr qint64 dialogWindowMs = 10 * 1000;

    explicit WebConsolePage(QObject *parent = nullptr);
    WebConsolePage(QWebEngineProfile *profile, Content content, QObject *parent = nullptr);

    Content content() const { return shown; }

signals:
    void consoleMessage(const QString &message);
    // A navigation or frame this page refuses, or dialogs it drops; once per
    // address for the page's life.
    void refused(const QString &message);

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
        int lineNumber, const QString &sourceID) override;
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
        const QString &defaultValue, QString *result) override;

private:
    void refuseOnce(const QString &key, const QString &message);
    // Whether one more dialog may be shown now; reports the first one dropped.
    bool allowDialog(const QUrl &origin);

    Content shown = Content::External;
    QSet<QString> refusedKeys;
    QElapsedTimer clock;
    QList<qint64> dialogTimes;
    bool droppingDialogs = false;
};
