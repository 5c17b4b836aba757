#pragma once

#include <QString>
#include <QStringList>

class QCommandLineParser;

// Where the station reads its process values: the built-in application's own
// emulator (no broker, the default) or an MQTT broker, plain topics under a
// prefix or a Sparkplug B group, chosen on the command line. The password
// comes only from the environment or from a file of its owner's.
class PlantSettings
{
public:
    // The result of reading the command line: settings, or why they are refused.
    struct Parsed;

    QString broker; // mqtt://, mqtts://, ws:// or wss://, as given
    QString topicPrefix;
    QString user;
    QString password;
    // TLS: an authority added to the system's, and a client certificate.
    QString caFile;
    QString certFile;
    QString keyFile;
    // Sparkplug B: the group followed, and this station's host id.
    QString sparkplugGroup;
    QString hostId;

    bool usesBroker() const { return !broker.isEmpty(); }
    bool usesSparkplug() const { return !sparkplugGroup.isEmpty(); }
    bool encrypted() const;
    // The address the Paho client understands (tcp://, ssl://, ws://, wss://).
    QString clientAddress() const;

    // Lists the options (for --help).
    static void addOptions(QCommandLineParser &parser);

    // Reads the data-source options out of the whole command line, leaving
    // every other argument to the application and the engine; `password` is
    // the value of the password environment variable.
    static Parsed fromArguments(const QStringList &arguments, const QString &password);
};

struct PlantSettings::Parsed
{
    PlantSettings settings;
    // Empty when the settings can be used.
    QString error;
};

inline constexpr char brokerPasswordVariable[] = "CORVANE_BROKER_PASSWORD";
inline const QString defaultTopicPrefix = QStringLiteral("corvane/points");
