#pragma once

#include <QString>
#include <QTest>
#include <QVariant>
#include <QWebEnginePage>

#include <memory>
#include <optional>

// Runs a script in the page's main world and waits for its result; "<no
// answer>" when none comes in time. The answer is shared with the callback,
// because a page that dies answers late, or at its destruction.
inline QVariant evaluate(QWebEnginePage *page, const QString &script, int timeoutMs = 30000)
{
    auto answer = std::make_shared<std::optional<QVariant>>();
    page->runJavaScript(script, [answer](const QVariant &value) { *answer = value; });
    if (!QTest::qWaitFor([&] { return answer->has_value(); }, timeoutMs))
        return QStringLiteral("<no answer>");
    return **answer;
}
