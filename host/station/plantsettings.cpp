#include "plantsettings.h"

#include "loopback.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QUrl>

namespace {

QCommandLineOption brokerOption()
{
    return QCommandLineOption(QStringLiteral("broker"),
        QStringLiteral("Read the process values from the MQTT broker at <address> (mqtt://, "
                       "mqtts://, ws:// or wss://) instead of the built-in emulator."),
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
                       "variable %1 or from --broker-password-file.")
            .arg(QLatin1String(brokerPasswordVariable)),
        QStringLiteral("name"));
}

QCommandLineOption passwordFileOption()
{
    return QCommandLineOption(QStringLiteral("broker-password-file"),
        QStringLiteral("Read the broker password from the first line of <file>, which only its "
                       "owner may read."),
        QStringLiteral("file"));
}

QCommandLineOption caOption()
{
    return QCommandLineOption(QStringLiteral("broker-ca"),
        QStringLiteral("Trust the certificate authority in <file> (PEM) besides the system's, "
                       "for mqtts:// and wss://."),
        QStringLiteral("file"));
}

QCommandLineOption certOption()
{
    return QCommandLineOption(QStringLiteral("broker-cert"),
        QStringLiteral("Log in to the broker with the client certificate in <file> (PEM)."),
        QStringLiteral("file"));
}

QCommandLineOption keyOption()
{
    return QCommandLineOption(QStringLiteral("broker-key"),
        QStringLiteral("The private key (PEM) of the client certificate."), QStringLiteral("file"));
}

QCommandLineOption sparkplugOption()
{
    return QCommandLineOption(QStringLiteral("sparkplug"),
        QStringLiteral("Follow the Sparkplug B group <group> as a host application instead of "
                       "the plain topics."),
        QStringLiteral("group"));
}

QCommandLineOption hostIdOption()
{
    return QCommandLineOption(QStringLiteral("host-id"),
        QStringLiteral("This station's Sparkplug host id (default corvane-<machine name>)."),
        QStringLiteral("id"));
}

QList<QCommandLineOption> allOptions()
{
    return { brokerOption(), topicPrefixOption(), brokerUserOption(), passwordFileOption(),
        caOption(), certOption(), keyOption(), sparkplugOption(), hostIdOption() };
}

// The address for a message: never its user name or password.
QString shown(const QUrl &url)
{
    return url.toDisplayString(QUrl::RemoveUserInfo);
}

// A topic level of one's own: not empty, no separator, no wildcard.
bool isTopicLevel(const QString &text)
{
    return !text.isEmpty() && !text.contains(QLatin1Char('/')) && !text.contains(QLatin1Char('+'))
        && !text.contains(QLatin1Char('#')) && !text.contains(QChar(0));
}

// The password of a file only its owner may read or write, or why not.
QString passwordFromFile(const QString &path, QString &error)
{
    const QFileInfo info(path);
    if (!info.isFile()) {
        error = QStringLiteral("The password file %1 is not a file.").arg(path);
        return {};
    }
#ifdef Q_OS_UNIX
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup
        | QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    if (info.permissions() & others) {
        error = QStringLiteral("The password file %1 may be read by others than its owner: "
                               "chmod 600 it.")
                    .arg(path);
        return {};
    }
#endif
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("The password file %1 cannot be read: %2.")
                    .arg(path, file.errorString());
        return {};
    }
    const QByteArray line = file.readLine(4096);
    QByteArray password = line;
    while (password.endsWith('\n') || password.endsWith('\r'))
        password.chop(1);
    if (password.isEmpty())
        error
            = QStringLiteral("The password file %1 holds no password on its first line.").arg(path);
    return QString::fromUtf8(password);
}

} // namespace

bool PlantSettings::encrypted() const
{
    return broker.startsWith(QLatin1String("mqtts://"))
        || broker.startsWith(QLatin1String("wss://"));
}

QString PlantSettings::clientAddress() const
{
    // Paho takes tcp:// and ssl:// for the plain MQTT ports.
    if (broker.startsWith(QLatin1String("mqtt://")))
        return QStringLiteral("tcp://") + broker.mid(7);
    if (broker.startsWith(QLatin1String("mqtts://")))
        return QStringLiteral("ssl://") + broker.mid(8);
    return broker;
}

void PlantSettings::addOptions(QCommandLineParser &parser)
{
    parser.addOptions(allOptions());
}

PlantSettings::Parsed PlantSettings::fromArguments(
    const QStringList &arguments, const QString &environmentPassword)
{
    Parsed parsed;
    const QString credentialsHint
        = QStringLiteral("give the user with --broker-user and the password in the environment "
                         "variable %1 or in --broker-password-file")
              .arg(QLatin1String(brokerPasswordVariable));

    // Only this class's options go to the parser: the engine takes options of
    // its own from the same command line.
    QStringList ownNames;
    for (const QCommandLineOption &option : allOptions())
        ownNames << QStringLiteral("--") + option.names().constFirst();
    static const QStringList passwordNames
        = { QStringLiteral("--broker-password"), QStringLiteral("--password") };
    QStringList own = { arguments.value(0) };
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (passwordNames.contains(name)) {
            parsed.error = QStringLiteral("A password is never given on the command line: %1.")
                               .arg(QStringLiteral("set the environment variable %1 or use "
                                                   "--broker-password-file")
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
    parser.addOptions(allOptions());
    if (!parser.parse(own)) {
        parsed.error = parser.errorText();
        return parsed;
    }
    const auto given = [&parser](const char *name) { return parser.isSet(QLatin1String(name)); };
    const auto value = [&parser](const char *name) { return parser.value(QLatin1String(name)); };

    if (!given("broker")) {
        for (const char *name : { "topic-prefix", "broker-user", "broker-password-file",
                 "broker-ca", "broker-cert", "broker-key", "sparkplug", "host-id" }) {
            if (given(name)) {
                parsed.error = QStringLiteral("--%1 needs --broker.").arg(QLatin1String(name));
                return parsed;
            }
        }
        return parsed;
    }

    const QString address = value("broker").trimmed();
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
    static const QStringList schemes = { QStringLiteral("mqtt"), QStringLiteral("mqtts"),
        QStringLiteral("ws"), QStringLiteral("wss") };
    if (!schemes.contains(url.scheme())) {
        parsed.error = QStringLiteral("The broker address must begin with mqtt://, mqtts://, "
                                      "ws:// or wss://: %1")
                           .arg(shown(url));
        return parsed;
    }
    if (url.host().isEmpty()) {
        parsed.error = QStringLiteral("The broker address names no host: %1").arg(shown(url));
        return parsed;
    }
    const bool tls = url.scheme() == QLatin1String("mqtts") || url.scheme() == QLatin1String("wss");

    QString password = environmentPassword;
    if (given("broker-password-file")) {
        if (!environmentPassword.isEmpty()) {
            parsed.error = QStringLiteral("The password is given twice, in %1 and in "
                                          "--broker-password-file: give it in one place.")
                               .arg(QLatin1String(brokerPasswordVariable));
            return parsed;
        }
        password = passwordFromFile(value("broker-password-file"), parsed.error);
        if (!parsed.error.isEmpty())
            return parsed;
    }

    // Over an unencrypted connection a password crosses the network in clear:
    // only a broker on this machine may have it so.
    if (!password.isEmpty() && !tls && !isLoopbackHost(url.host())) {
        parsed.error = QStringLiteral("A password is sent only over an encrypted connection "
                                      "(mqtts:// or wss://) or to a broker on this machine: %1")
                           .arg(shown(url));
        return parsed;
    }

    for (const char *name : { "broker-ca", "broker-cert", "broker-key" }) {
        if (!given(name))
            continue;
        if (!tls) {
            parsed.error = QStringLiteral("--%1 needs an encrypted broker address (mqtts:// or "
                                          "wss://): %2")
                               .arg(QLatin1String(name), shown(url));
            return parsed;
        }
        const QFileInfo file(value(name));
        if (!file.isFile() || !file.isReadable()) {
            parsed.error = QStringLiteral("--%1: %2 is not a file that can be read.")
                               .arg(QLatin1String(name), value(name));
            return parsed;
        }
    }
    if (given("broker-cert") != given("broker-key")) {
        parsed.error = QStringLiteral("--broker-cert and --broker-key go together.");
        return parsed;
    }

    if (given("sparkplug")) {
        if (given("topic-prefix")) {
            parsed.error = QStringLiteral("--topic-prefix is for the plain topics: a Sparkplug B "
                                          "group has topics of its own.");
            return parsed;
        }
        if (!isTopicLevel(value("sparkplug"))) {
            parsed.error = QStringLiteral("The Sparkplug group must be one topic level, without "
                                          "/, + or #: %1")
                               .arg(value("sparkplug"));
            return parsed;
        }
        parsed.settings.sparkplugGroup = value("sparkplug");
        parsed.settings.hostId = given("host-id")
            ? value("host-id")
            : QStringLiteral("corvane-") + QSysInfo::machineHostName();
        if (!isTopicLevel(parsed.settings.hostId)) {
            parsed.error = QStringLiteral("The Sparkplug host id must be one topic level, "
                                          "without /, + or #: %1")
                               .arg(parsed.settings.hostId);
            return parsed;
        }
    } else if (given("host-id")) {
        parsed.error = QStringLiteral("--host-id needs --sparkplug.");
        return parsed;
    }

    QString prefix = value("topic-prefix");
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    if (prefix.trimmed().isEmpty() || prefix.contains(QLatin1Char('+'))
        || prefix.contains(QLatin1Char('#')) || prefix.contains(QChar(0))) {
        parsed.error = QStringLiteral("The topic prefix must not be empty or hold + or #: %1")
                           .arg(value("topic-prefix"));
        return parsed;
    }

    parsed.settings.broker = address;
    parsed.settings.topicPrefix = prefix;
    parsed.settings.user = value("broker-user");
    parsed.settings.password = password;
    parsed.settings.caFile = value("broker-ca");
    parsed.settings.certFile = value("broker-cert");
    parsed.settings.keyFile = value("broker-key");
    return parsed;
}
