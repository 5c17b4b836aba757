#include "datasourcesettings.h"

#include "loopback.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUrl>
#include <QWebEngineScript>

namespace {

QCommandLineOption brokerOption()
{
    return QCommandLineOption(QStringLiteral("broker"),
        QStringLiteral("Read the process values from the MQTT broker at <address> "
                       "(ws:// or wss://) instead of the built-in emulator."),
        QStringLiteral("address"));
}

QCommandLineOption topicPrefixOption()
{
    return QCommandLineOption(QStringLiteral("topic-prefix"),
        QStringLiteral("Topic prefix of the points at the broker (default %1).")
            .arg(defaultTopicPrefix),
        QStringLiteral("prefix"), defaultTopicPrefix);
}

QCommandLineOption brokerUserOption()
{
    return QCommandLineOption(QStringLiteral("broker-user"),
        QStringLiteral("User name at the broker; the password is read from the environment "
                       "variable %1.")
            .arg(QLatin1String(brokerPasswordVariable)),
        QStringLiteral("name"));
}

// The address for a message: never its user name or password.
QString shown(const QUrl &url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

} // namespace

void DataSourceSettings::addOptions(QCommandLineParser &parser)
{
    parser.addOption(brokerOption());
    parser.addOption(topicPrefixOption());
    parser.addOption(brokerUserOption());
}

DataSourceSettings::Parsed DataSourceSettings::fromArguments(
    const QStringList &arguments, const QString &password)
{
    Parsed parsed;
    const QString credentialsHint
        = QStringLiteral("give the user with --broker-user and the password in the environment "
                         "variable %1")
              .arg(QLatin1String(brokerPasswordVariable));

    // Only this class's options go to the parser: the engine takes options of
    // its own from the same command line.
    static const QStringList ownNames = { QStringLiteral("--broker"),
        QStringLiteral("--topic-prefix"), QStringLiteral("--broker-user") };
    static const QStringList passwordNames
        = { QStringLiteral("--broker-password"), QStringLiteral("--password") };
    QStringList own = { arguments.value(0) };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (passwordNames.contains(name)) {
            parsed.error = QStringLiteral("A password is never given on the command line: %1.")
                               .arg(QStringLiteral("set the environment variable %1")
                                        .arg(QLatin1String(brokerPasswordVariable)));
            return parsed;
        }
        if (!ownNames.contains(name))
            continue;
        own << argument;
        if (name.size() == argument.size() && i + 1 < arguments.size())
            own << arguments.at(++i);
    }

    QCommandLineParser parser;
    const QCommandLineOption broker = brokerOption();
    const QCommandLineOption topicPrefix = topicPrefixOption();
    const QCommandLineOption user = brokerUserOption();
    parser.addOptions({ broker, topicPrefix, user });
    if (!parser.parse(own)) {
        parsed.error = parser.errorText();
        return parsed;
    }

    if (!parser.isSet(broker)) {
        if (parser.isSet(topicPrefix) || parser.isSet(user))
            parsed.error = QStringLiteral("--topic-prefix and --broker-user need --broker.");
        return parsed;
    }

    const QString address = parser.value(broker).trimmed();
    const QUrl url(address, QUrl::StrictMode);
    if (!url.userInfo().isEmpty()) {
        parsed.error = QStringLiteral("The broker address must not hold a user name or "
                                      "password: %1.")
                           .arg(credentialsHint);
        return parsed;
    }
    if (!url.isValid()) {
        // An unreadable address may still hold a password: shown only without '@'.
        parsed.error = address.contains(QLatin1Char('@'))
            ? QStringLiteral("The broker address cannot be read.")
            : QStringLiteral("The broker address cannot be read: %1").arg(address);
        return parsed;
    }
    if (url.scheme() != QLatin1String("ws") && url.scheme() != QLatin1String("wss")) {
        parsed.error = QStringLiteral("The broker address must begin with ws:// or wss://: %1")
                           .arg(shown(url));
        return parsed;
    }
    if (url.host().isEmpty()) {
        parsed.error = QStringLiteral("The broker address names no host: %1").arg(shown(url));
        return parsed;
    }

    // Over an unencrypted connection a password crosses the network in clear:
    // only a broker on this machine may have it so.
    if (!password.isEmpty() && url.scheme() == QLatin1String("ws") && !isLoopbackHost(url.host())) {
        parsed.error = QStringLiteral("A password is sent only over an encrypted connection "
                                      "(wss://) or to a broker on this machine: %1")
                           .arg(shown(url));
        return parsed;
    }

    const QString prefix = parser.value(topicPrefix);
    if (prefix.trimmed().isEmpty() || prefix.contains(QLatin1Char('+'))
        || prefix.contains(QLatin1Char('#')) || prefix.contains(QChar(0))) {
        parsed.error
            = QStringLiteral("The topic prefix must not be empty or hold + or #: %1").arg(prefix);
        return parsed;
    }

    parsed.settings.broker = address;
    parsed.settings.topicPrefix = prefix;
    parsed.settings.user = parser.value(user);
    parsed.settings.password = password;
    return parsed;
}

QWebEngineScript DataSourceSettings::pageScript() const
{
    QJsonObject values { { QStringLiteral("broker"), broker },
        { QStringLiteral("topicPrefix"), topicPrefix } };
    if (!user.isEmpty())
        values.insert(QStringLiteral("user"), user);
    if (!password.isEmpty())
        values.insert(QStringLiteral("password"), password);

    // Every value a JSON string literal; the metadata block keeps the script
    // to the built-in application's pages, whatever the view shows next.
    QWebEngineScript script;
    script.setName(QStringLiteral("corvane-data-settings"));
    script.setSourceCode(
        QStringLiteral("// ==UserScript==\n"
                       "// @name corvane-data-settings\n"
                       "// @include qrc:/mvp/*\n"
                       "// ==/UserScript==\n"
                       "window.corvaneDataSettings = Object.freeze(%1);\n")
            .arg(QString::fromUtf8(QJsonDocument(values).toJson(QJsonDocument::Compact))));
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setRunsOnSubFrames(false);
    return script;
}
