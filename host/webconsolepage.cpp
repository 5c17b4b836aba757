#include "webconsolepage.h"

WebConsolePage::WebConsolePage(QObject *parent)
    : QWebEnginePage(parent)
{ }

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
