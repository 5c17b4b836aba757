#include "webconsolepage.h"

#include "builtinapplication.h"

#include <QCoreApplication>
#include <QWebEngineProfile>

WebConsolePage::WebConsolePage(QObject *parent)
    : QWebEnginePage(parent)
{
    clock.start();
}

WebConsolePage::WebConsolePage(QWebEngineProfile *profile, Content content, QObject *parent)
    : QWebEnginePage(profile, parent)
    , shown(content)
{
    clock.start();
}

void WebConsolePage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
    const QString &message, int lineNumber, const QString &sourceID)
{
    QString title;
    switch (level) {
    case WarningMessageLevel:
        title = tr("JavaScript warning");
        break;
    case ErrorMessageLevel:
        title = tr("JavaScript error");
        break;
    default:
        title = tr("JavaScript message");
        break;
    }
    // All placeholders in one pass: a "%1" inside the source address or the
    // message is text, never a placeholder for the next value.
    emit consoleMessage(QStringLiteral("%1\nSource: %2, line %3\n%4")
                            .arg(title, sourceID, QString::number(lineNumber), message));
}

bool WebConsolePage::acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame)
{
    if (shown == Content::External) {
        // The executable's resources belong to the built-in application's page.
        if (!isResourceUrl(url))
            return true;
        refuseOnce(url.toString(),
            tr("Navigation refused: only the built-in application may show %1")
                .arg(url.toDisplayString()));
        return false;
    }

    // The built-in application's page: its own documents as the host loads
    // or reloads them, nothing else, and never in a frame.
    if (isMainFrame && isBuiltInApplicationUrl(url)
        && (type == NavigationTypeTyped || type == NavigationTypeReload))
        return true;
    refuseOnce(url.toString(),
        isMainFrame
            ? tr("Navigation refused: the built-in application's page shows only what the "
                 "program opens in it\n%1")
                  .arg(url.toDisplayString())
            : tr("Frame refused in the built-in application\n%1").arg(url.toDisplayString()));
    return false;
}

void WebConsolePage::refuseOnce(const QString &key, const QString &message)
{
    if (refusedKeys.size() > 1000)
        refusedKeys.clear();
    if (!refusedKeys.contains(key)) {
        refusedKeys.insert(key);
        emit refused(message);
    }
}

bool WebConsolePage::allowDialog(const QUrl &origin)
{
    if (shown == Content::BuiltInApplication)
        return true;
    const qint64 now = clock.elapsed();
    while (!dialogTimes.isEmpty() && now - dialogTimes.first() >= dialogWindowMs)
        dialogTimes.removeFirst();
    if (dialogTimes.size() < maxDialogs) {
        dialogTimes.append(now);
        droppingDialogs = false;
        return true;
    }
    if (!droppingDialogs) {
        droppingDialogs = true;
        emit refused(tr("Dialogs of %1 dropped: more than %2 within %3 s")
                         .arg(origin.toDisplayString())
                         .arg(maxDialogs)
                         .arg(dialogWindowMs / 1000));
    }
    return false;
}

void WebConsolePage::javaScriptAlert(const QUrl &securityOrigin, const QString &msg)
{
    if (allowDialog(securityOrigin))
        QWebEnginePage::javaScriptAlert(securityOrigin, msg);
}

bool WebConsolePage::javaScriptConfirm(const QUrl &securityOrigin, const QString &msg)
{
    if (allowDialog(securityOrigin))
        return QWebEnginePage::javaScriptConfirm(securityOrigin, msg);
    // The engine asks its before-unload question here too: a dropped one lets
    // the page go, so that a flooding page cannot hold the window.
    static const char engineContext[] = "QWebEnginePage";
    static const char engineQuestion[]
        = "Are you sure you want to leave this page? Changes that you made may not be saved.";
    const QString unloadQuestion = QCoreApplication::translate(engineContext, engineQuestion);
    return msg == unloadQuestion;
}

bool WebConsolePage::javaScriptPrompt(
    const QUrl &securityOrigin, const QString &msg, const QString &defaultValue, QString *result)
{
    if (allowDialog(securityOrigin))
        return QWebEnginePage::javaScriptPrompt(securityOrigin, msg, defaultValue, result);
    return false;
}
