#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;
class QWebEngineScript;

// Where the built-in application reads its process values: its own emulator
// (no broker, the default) or an MQTT broker reached over WebSocket, chosen on
// the command line. The password comes only from the environment.
class DataSourceSettings
{
public:
    // The result of reading the command line: settings, or why they are refused.
    struct Parsed;

    QString broker;
    QString topicPrefix;
    QString user;
    QString password;

    bool usesBroker() const { return !broker.isEmpty(); }

    // The script that hands the settings to the built-in page: it defines the
    // frozen global `corvaneDataSettings` before the page's own scripts run,
    // in the main frame of "qrc:/mvp/" pages only.
    QWebEngineScript pageScript() const;

    // Lists the options (for --help).
    static void addOptions(QCommandLineParser &parser);

    // Reads the data-source options out of the whole command line, leaving
    // every other argument to the application and the engine; `password` is
    // the value of the password environment variable.
    static Parsed fromArguments(const QStringList &arguments, const QString &password);
};

struct DataSourceSettings::Parsed
{
    DataSourceSettings settings;
    // Empty when the settings can be used.
    QString error;
};

inline constexpr char brokerPasswordVariable[] = "CORVANE_BROKER_PASSWORD";
inline const QString defaultTopicPrefix = QStringLiteral("corvane/points");
