#pragma once

#include "plantlayout.h"
#include "plantsettings.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonValue>
#include <QMutex>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

class PointTable;

// The station's connection to the plant's MQTT broker (Eclipse Paho C, its
// asynchronous client): it follows the layout's topics, writes what the
// layout makes of them into the point table, keeps reconnecting with back-off
// while the broker is away, and sends commands. It lives in the host, so that
// the plant stays connected and recorded whatever becomes of the page.
//
// Paho delivers on threads of its own; messages are only queued there and
// taken in batches on the client's thread, where the layout and the point
// table live.
class PlantClient : public QObject
{
    Q_OBJECT

public:
    enum class State { Connecting, Online, Offline, LoginRefused, CertificateRefused };

    PlantClient(const PlantSettings &settings, std::unique_ptr<PlantLayout> layout,
        PointTable *table, QObject *parent = nullptr);
    ~PlantClient() override;

    // Connects, and keeps connecting until stop().
    void start();
    // Disconnects; the points keep their last values, turned "bad".
    void stop();

    State state() const { return currentState; }
    // The address as the user gave it (never with a password).
    QString address() const { return settings.broker; }
    // The points to list: the published catalogue or those heard of.
    QList<PointInfo> catalogue() const { return layout->catalogue(); }
    // Publishes a command to a point; false and why not when it cannot be
    // sent now. A command is never kept for later: a late one is worse than none.
    bool write(
        const QString &id, const QJsonValue &value, const CommandOrigin &origin, QString &problem);

    // Topics of the station's own (alarms shared between stations), followed
    // at QoS 1 beside the layout's from the next connection on; their
    // messages come as `sideMessage`, never to the layout. Set before start().
    void setSideTopics(const QList<QByteArray> &filters);
    // Publishes on such a topic; false while not connected.
    bool publishSide(const PlantPublish &message);
    // Whether an MQTT topic filter (with + and #) matches `topic`.
    static bool topicMatches(const QByteArray &filter, const QByteArray &topic);

    // The delay before reconnection attempt `attempt` (from 0): doubling from
    // 0.5 s up to 3 s, each shortened at random by up to a quarter.
    static int reconnectDelay(int attempt, double random);

    static QString stateName(State state);

signals:
    void stateChanged(PlantClient::State state);
    // A line for the log window: "Data server <address>: …".
    void report(const QString &line);
    void sideMessage(const QByteArray &topic, const QByteArray &payload, bool retained);

private:
    struct Shared; // what Paho's threads and this object share

    void connectNow();
    void connected();
    void connectFailed(int code, const QString &message);
    void connectionLost();
    void drain();
    void apply(PlantOutput &out);
    void publish(const PlantPublish &message);
    void setState(State state);
    void scheduleReconnect();
    void probeCertificate();
    void scheduleTick();
    void say(const QString &text);
    bool isSideTopic(const QByteArray &topic) const;

    PlantSettings settings;
    std::unique_ptr<PlantLayout> layout;
    PointTable *table;
    std::shared_ptr<Shared> shared;
    void *client = nullptr; // MQTTAsync
    State currentState = State::Connecting;
    bool stopped = true;
    bool connecting = false;
    int attempt = 0;
    std::optional<PlantPublish> lastWill;
    // Why the broker's certificate was refused, as a handshake of our own found.
    QString certificateProblem;
    bool probing = false;
    QList<QByteArray> sideFilters;
    QTimer reconnectTimer;
    QTimer tickTimer;
};
