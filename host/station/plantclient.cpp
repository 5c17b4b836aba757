#include "plantclient.h"

#include "pointtable.h"
#include "stationlogging.h"

#include <MQTTAsync.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QRandomGenerator>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QThread>
#include <QUrl>

#include <algorithm>

namespace {

// MQTT 3.1.1 refuses a login with the CONNACK codes 4 and 5 (5.0: 134, 135).
bool isLoginRefusal(int code)
{
    return code == 4 || code == 5 || code == 134 || code == 135;
}

// Messages waiting while the client's thread is busy; beyond this many the
// newest are dropped rather than memory exhausted.
constexpr std::size_t maxWaiting = 2000000;

constexpr int keepAliveSeconds = 10;

// The log's words for a refused certificate, as OpenSSL's own are English.
QString reasonOf(const QSslError &error)
{
    switch (error.error()) {
    case QSslError::HostNameMismatch:
        return QStringLiteral("the certificate is not for this host name");
    case QSslError::CertificateExpired:
        return QStringLiteral("the certificate has expired");
    case QSslError::CertificateNotYetValid:
        return QStringLiteral("the certificate is not valid yet");
    case QSslError::SelfSignedCertificate:
    case QSslError::SelfSignedCertificateInChain:
    case QSslError::UnableToGetLocalIssuerCertificate:
    case QSslError::UnableToGetIssuerCertificate:
    case QSslError::CertificateUntrusted:
        return QStringLiteral("certificate verify failed");
    default:
        return error.errorString();
    }
}

MQTTAsync handleOf(void *client)
{
    return static_cast<MQTTAsync>(client);
}

} // namespace

struct PlantClient::Shared
{
    struct Incoming
    {
        QByteArray topic;
        QByteArray payload;
        bool retained = false;
    };

    QMutex mutex;
    PlantClient *owner = nullptr; // null once the client is going
    std::vector<Incoming> waiting;
    bool wakePosted = false;
    bool overflowed = false;
    QString tlsError; // OpenSSL's last words during a connection attempt

    // The connection's strings, kept alive for as long as Paho may read them.
    QByteArray user, password, ca, caPath, cert, key, willTopic, willPayload;
    std::vector<QByteArray> topics;

    // Runs `call(owner)` on the owner's thread, if there still is an owner.
    template<typename Call>
    void post(Call call)
    {
        QMutexLocker lock(&mutex);
        if (PlantClient *client = owner)
            QMetaObject::invokeMethod(
                client, [client, call] { call(client); }, Qt::QueuedConnection);
    }
};

PlantClient::PlantClient(const PlantSettings &settings, std::unique_ptr<PlantLayout> layout,
    PointTable *table, QObject *parent)
    : QObject(parent)
    , settings(settings)
    , layout(std::move(layout))
    , table(table)
    , shared(std::make_shared<Shared>())
{
    shared->owner = this;
    reconnectTimer.setSingleShot(true);
    connect(&reconnectTimer, &QTimer::timeout, this, &PlantClient::connectNow);
    tickTimer.setSingleShot(true);
    connect(&tickTimer, &QTimer::timeout, this, [this] {
        PlantOutput out;
        this->layout->tick(QDateTime::currentMSecsSinceEpoch(), out);
        apply(out);
    });
}

PlantClient::~PlantClient()
{
    stop();
    {
        QMutexLocker lock(&shared->mutex);
        shared->owner = nullptr;
    }
    if (client) {
        MQTTAsync handle = handleOf(client);
        MQTTAsync_destroy(&handle);
        client = nullptr;
    }
}

QString PlantClient::stateName(State state)
{
    switch (state) {
    case State::Connecting:
        return QStringLiteral("connecting");
    case State::Online:
        return QStringLiteral("online");
    case State::Offline:
        return QStringLiteral("offline");
    case State::LoginRefused:
        return QStringLiteral("login-refused");
    case State::CertificateRefused:
        return QStringLiteral("certificate-refused");
    }
    return QStringLiteral("offline");
}

int PlantClient::reconnectDelay(int attempt, double random)
{
    const int full = std::min(3000, 500 << std::min(attempt, 16));
    return int(full * (1 - 0.25 * random));
}

void PlantClient::say(const QString &text)
{
    const QString line = QStringLiteral("Data server %1: %2").arg(settings.broker, text);
    // On the terminal as well, for whoever runs the station from one.
    qCInfo(lcPlant).noquote() << line;
    emit report(line);
}

void PlantClient::setState(State state)
{
    if (state == currentState)
        return;
    currentState = state;
    emit stateChanged(state);
}

void PlantClient::start()
{
    if (!stopped)
        return;
    stopped = false;
    if (!client) {
        // Paho keeps a trace of its own in memory, formatting a line for every
        // packet at its default level: only errors are worth that.
        MQTTAsync_setTraceLevel(MQTTASYNC_TRACE_ERROR);
        const QByteArray address = settings.clientAddress().toUtf8();
        const QByteArray id
            = QStringLiteral("corvane-ui-%1-%2")
                  .arg(QCoreApplication::applicationPid())
                  .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'))
                  .toUtf8();
        MQTTAsync handle = nullptr;
        const int created = MQTTAsync_create(
            &handle, address.constData(), id.constData(), MQTTCLIENT_PERSISTENCE_NONE, nullptr);
        if (created != MQTTASYNC_SUCCESS) {
            say(QStringLiteral("cannot connect: the address cannot be used (%1).")
                    .arg(QString::fromUtf8(MQTTAsync_strerror(created))));
            setState(State::Offline);
            return;
        }
        client = handle;
        MQTTAsync_setCallbacks(
            handle, shared.get(),
            [](void *context, char *) {
                auto *shared = static_cast<Shared *>(context);
                shared->post([](PlantClient *owner) { owner->connectionLost(); });
            },
            [](void *context, char *topic, int topicLength, MQTTAsync_message *message) -> int {
                auto *shared = static_cast<Shared *>(context);
                Shared::Incoming incoming { topicLength > 0 ? QByteArray(topic, topicLength)
                                                            : QByteArray(topic),
                    QByteArray(static_cast<const char *>(message->payload), message->payloadlen),
                    message->retained != 0 };
                MQTTAsync_freeMessage(&message);
                MQTTAsync_free(topic);
                QMutexLocker lock(&shared->mutex);
                if (!shared->owner)
                    return 1;
                if (shared->waiting.size() >= maxWaiting) {
                    shared->overflowed = true;
                    return 1;
                }
                shared->waiting.push_back(std::move(incoming));
                if (!shared->wakePosted) {
                    shared->wakePosted = true;
                    PlantClient *owner = shared->owner;
                    QMetaObject::invokeMethod(
                        owner, [owner] { owner->drain(); }, Qt::QueuedConnection);
                }
                return 1;
            },
            nullptr);
    }
    attempt = 0;
    connectNow();
}

void PlantClient::connectNow()
{
    if (stopped || connecting || !client)
        return;
    connecting = true;
    {
        QMutexLocker lock(&shared->mutex);
        shared->tlsError.clear();
    }
    MQTTAsync_connectOptions options = MQTTAsync_connectOptions_initializer;
    options.keepAliveInterval = keepAliveSeconds;
    options.cleansession = 1;
    options.connectTimeout = 10;
    options.MQTTVersion = MQTTVERSION_3_1_1;
    options.automaticReconnect = 0;
    options.context = shared.get();
    options.onSuccess = [](void *context, MQTTAsync_successData *) {
        auto *shared = static_cast<Shared *>(context);
        shared->post([](PlantClient *owner) { owner->connected(); });
    };
    options.onFailure = [](void *context, MQTTAsync_failureData *response) {
        auto *shared = static_cast<Shared *>(context);
        const int code = response ? response->code : MQTTASYNC_FAILURE;
        const QString message = response && response->message
            ? QString::fromUtf8(response->message)
            : QString::fromUtf8(MQTTAsync_strerror(code));
        shared->post([code, message](PlantClient *owner) { owner->connectFailed(code, message); });
    };

    shared->user = settings.user.toUtf8();
    shared->password = settings.password.toUtf8();
    if (!settings.user.isEmpty())
        options.username = shared->user.constData();
    if (!settings.password.isEmpty()) {
        options.binarypwd.data = shared->password.constData();
        options.binarypwd.len = int(shared->password.size());
    }

    MQTTAsync_willOptions will = MQTTAsync_willOptions_initializer;
    lastWill = layout->will(QDateTime::currentMSecsSinceEpoch());
    if (const std::optional<PlantPublish> &last = lastWill) {
        shared->willTopic = last->topic;
        shared->willPayload = last->payload;
        will.topicName = shared->willTopic.constData();
        will.payload.data = shared->willPayload.constData();
        will.payload.len = int(shared->willPayload.size());
        will.qos = last->qos;
        will.retained = last->retained ? 1 : 0;
        options.will = &will;
    }

    MQTTAsync_SSLOptions tls = MQTTAsync_SSLOptions_initializer;
    if (settings.encrypted()) {
        tls.enableServerCertAuth = 1;
        tls.verify = 1; // the certificate must name the host
        tls.ssl_error_context = shared.get();
        tls.ssl_error_cb = [](const char *text, size_t length, void *context) -> int {
            auto *shared = static_cast<Shared *>(context);
            QMutexLocker lock(&shared->mutex);
            // "<thread>:error:<code>:<library>:<function>:<reason>:<file>:…": the reason.
            const QStringList parts
                = QString::fromUtf8(text, qsizetype(length)).trimmed().split(QLatin1Char(':'));
            if (shared->tlsError.isEmpty())
                shared->tlsError = parts.size() > 5 && parts.at(1) == QLatin1String("error")
                    ? parts.at(5)
                    : parts.join(QLatin1Char(':'));
            return 1;
        };
        if (!settings.caFile.isEmpty()) {
            // An authority of one's own, besides the system's.
            shared->ca = QFile::encodeName(settings.caFile);
            tls.trustStore = shared->ca.constData();
#ifdef Q_OS_UNIX
            if (QFileInfo(QStringLiteral("/etc/ssl/certs")).isDir()) {
                shared->caPath = QByteArrayLiteral("/etc/ssl/certs");
                tls.CApath = shared->caPath.constData();
            }
#endif
        }
        if (!settings.certFile.isEmpty()) {
            shared->cert = QFile::encodeName(settings.certFile);
            shared->key = QFile::encodeName(settings.keyFile);
            tls.keyStore = shared->cert.constData();
            tls.privateKey = shared->key.constData();
        }
        options.ssl = &tls;
    }

    const int started = MQTTAsync_connect(handleOf(client), &options);
    if (started != MQTTASYNC_SUCCESS) {
        connecting = false;
        connectFailed(started, QString::fromUtf8(MQTTAsync_strerror(started)));
    }
}

void PlantClient::connected()
{
    connecting = false;
    if (stopped)
        return;
    attempt = 0;
    certificateProblem.clear();
    setState(State::Online);
    say(QStringLiteral("connected."));

    const QList<QByteArray> filters = layout->subscriptions() + sideFilters;
    shared->topics.assign(filters.begin(), filters.end());
    std::vector<char *> topics;
    std::vector<int> qos(filters.size(), 0);
    // The station's own topics go at QoS 1: an acknowledgement must not be lost.
    std::fill(qos.end() - sideFilters.size(), qos.end(), 1);
    for (QByteArray &topic : shared->topics)
        topics.push_back(topic.data());
    MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
    response.context = shared.get();
    response.onFailure = [](void *context, MQTTAsync_failureData *failure) {
        auto *shared = static_cast<Shared *>(context);
        const QString message = failure && failure->message ? QString::fromUtf8(failure->message)
                                                            : QStringLiteral("no reason given");
        shared->post([message](PlantClient *owner) {
            owner->say(QStringLiteral("subscription refused: %1").arg(message));
        });
    };
    MQTTAsync_subscribeMany(
        handleOf(client), int(topics.size()), topics.data(), qos.data(), &response);

    PlantOutput out;
    layout->connected(QDateTime::currentMSecsSinceEpoch(), out);
    apply(out);
}

void PlantClient::connectFailed(int code, const QString &message)
{
    connecting = false;
    if (stopped)
        return;
    QString tlsError;
    {
        QMutexLocker lock(&shared->mutex);
        tlsError = shared->tlsError;
    }
    State next = State::Offline;
    QString text;
    if (isLoginRefusal(code)) {
        next = State::LoginRefused;
        text = settings.user.isEmpty() ? QStringLiteral("the login was refused: %1").arg(message)
                                       : QStringLiteral("the login of user \"%1\" was refused: %2")
                                             .arg(settings.user, message);
    } else if (!tlsError.isEmpty() || !certificateProblem.isEmpty()) {
        next = State::CertificateRefused;
        text = QStringLiteral("the encrypted connection was refused (%1); not connected, "
                              "retrying.")
                   .arg(tlsError.isEmpty() ? certificateProblem : tlsError);
    } else {
        text = QStringLiteral("cannot connect: %1; retrying.").arg(message);
        // Paho says no more of a certificate refused after the handshake (one
        // for another host): a handshake of our own tells why.
        if (settings.encrypted())
            probeCertificate();
    }
    if (next != currentState)
        say(text);
    setState(next);
    scheduleReconnect();
}

void PlantClient::probeCertificate()
{
    if (probing || !QSslSocket::supportsSsl())
        return;
    const QUrl url(settings.broker);
    const int port = url.port(url.scheme() == QLatin1String("wss") ? 443 : 8883);
    QSslConfiguration configuration = QSslConfiguration::defaultConfiguration();
    if (!settings.caFile.isEmpty())
        configuration.addCaCertificates(settings.caFile, QSsl::Pem);
    configuration.setPeerVerifyMode(QSslSocket::VerifyPeer);
    auto *socket = new QSslSocket(this);
    socket->setSslConfiguration(configuration);
    probing = true;
    const auto done = [this, socket] {
        if (!probing)
            return;
        probing = false;
        socket->abort();
        socket->deleteLater();
    };
    connect(socket, &QSslSocket::sslErrors, this, [this, done](const QList<QSslError> &errors) {
        if (errors.isEmpty())
            return;
        certificateProblem = reasonOf(errors.constFirst());
        done();
        if (!stopped && currentState == State::Offline) {
            say(QStringLiteral("the encrypted connection was refused (%1); not connected, "
                               "retrying.")
                    .arg(certificateProblem));
            setState(State::CertificateRefused);
        }
    });
    connect(socket, &QSslSocket::encrypted, this, done);
    connect(socket, &QSslSocket::errorOccurred, this, done);
    QTimer::singleShot(5000, socket, done);
    socket->connectToHostEncrypted(url.host(), quint16(port));
}

void PlantClient::connectionLost()
{
    if (stopped)
        return;
    PlantOutput out;
    layout->lost(QDateTime::currentMSecsSinceEpoch(), out);
    apply(out);
    say(QStringLiteral("connection lost; reconnecting."));
    setState(State::Offline);
    scheduleReconnect();
}

void PlantClient::scheduleReconnect()
{
    if (stopped || reconnectTimer.isActive())
        return;
    reconnectTimer.start(reconnectDelay(attempt++, QRandomGenerator::global()->generateDouble()));
}

void PlantClient::drain()
{
    std::vector<Shared::Incoming> batch;
    bool overflowed = false;
    {
        QMutexLocker lock(&shared->mutex);
        batch.swap(shared->waiting);
        shared->wakePosted = false;
        std::swap(overflowed, shared->overflowed);
    }
    if (overflowed)
        say(QStringLiteral("messages arrive faster than the station takes them: some were "
                           "dropped."));
    PlantOutput out;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (const Shared::Incoming &incoming : batch) {
        if (isSideTopic(incoming.topic))
            emit sideMessage(incoming.topic, incoming.payload, incoming.retained);
        else
            layout->receive(incoming.topic, incoming.payload, now, out);
    }
    apply(out);
}

void PlantClient::apply(PlantOutput &out)
{
    if (out.catalogue)
        table->setCatalogue(*out.catalogue);
    table->update(out.samples);
    for (const QString &line : std::as_const(out.reports))
        say(line);
    for (const PlantPublish &message : std::as_const(out.publishes))
        publish(message);
    scheduleTick();
}

void PlantClient::scheduleTick()
{
    const qint64 deadline = layout->nextDeadline();
    if (deadline <= 0) {
        tickTimer.stop();
        return;
    }
    const qint64 wait = std::max<qint64>(0, deadline - QDateTime::currentMSecsSinceEpoch());
    if (!tickTimer.isActive() || tickTimer.remainingTime() > wait)
        tickTimer.start(int(std::min<qint64>(wait, 24 * 3600 * 1000)));
}

void PlantClient::publish(const PlantPublish &message)
{
    if (!client || currentState != State::Online)
        return;
    MQTTAsync_message outgoing = MQTTAsync_message_initializer;
    outgoing.payload = const_cast<char *>(message.payload.constData());
    outgoing.payloadlen = int(message.payload.size());
    outgoing.qos = message.qos;
    outgoing.retained = message.retained ? 1 : 0;
    MQTTAsync_responseOptions response = MQTTAsync_responseOptions_initializer;
    response.context = shared.get();
    response.onFailure = [](void *context, MQTTAsync_failureData *failure) {
        auto *shared = static_cast<Shared *>(context);
        const int code = failure ? failure->code : MQTTASYNC_FAILURE;
        shared->post([code](PlantClient *owner) {
            owner->say(QStringLiteral("a message could not be sent: %1")
                           .arg(QString::fromUtf8(MQTTAsync_strerror(code))));
        });
    };
    const int sent
        = MQTTAsync_sendMessage(handleOf(client), message.topic.constData(), &outgoing, &response);
    if (sent != MQTTASYNC_SUCCESS)
        say(QStringLiteral("a message to %1 could not be sent: %2")
                .arg(
                    QString::fromUtf8(message.topic), QString::fromUtf8(MQTTAsync_strerror(sent))));
}

void PlantClient::setSideTopics(const QList<QByteArray> &filters)
{
    sideFilters = filters;
}

bool PlantClient::publishSide(const PlantPublish &message)
{
    if (!client || currentState != State::Online)
        return false;
    publish(message);
    return true;
}

bool PlantClient::topicMatches(const QByteArray &filter, const QByteArray &topic)
{
    const QList<QByteArray> wanted = filter.split('/');
    const QList<QByteArray> levels = topic.split('/');
    for (qsizetype i = 0; i < wanted.size(); ++i) {
        if (wanted.at(i) == "#")
            return true;
        if (i >= levels.size())
            return false;
        if (wanted.at(i) != "+" && wanted.at(i) != levels.at(i))
            return false;
    }
    return wanted.size() == levels.size();
}

bool PlantClient::isSideTopic(const QByteArray &topic) const
{
    return std::any_of(sideFilters.begin(), sideFilters.end(),
        [&topic](const QByteArray &filter) { return topicMatches(filter, topic); });
}

bool PlantClient::write(
    const QString &id, const QJsonValue &value, const CommandOrigin &origin, QString &problem)
{
    PlantPublish message;
    if (!layout->command(
            id, value, origin, QDateTime::currentMSecsSinceEpoch(), message, problem)) {
        say(QStringLiteral("a command to %1 was not sent: %2.").arg(id, problem));
        return false;
    }
    if (currentState != State::Online) {
        problem = QStringLiteral("no connection");
        say(QStringLiteral("a command to %1 was not sent: no connection.").arg(id));
        return false;
    }
    publish(message);
    return true;
}

void PlantClient::stop()
{
    if (stopped)
        return;
    stopped = true;
    reconnectTimer.stop();
    tickTimer.stop();
    if (!client || !MQTTAsync_isConnected(handleOf(client)))
        return;
    // A clean goodbye sends no will: what it says is said before leaving.
    if (lastWill)
        publish(*lastWill);
    MQTTAsync_disconnectOptions options = MQTTAsync_disconnectOptions_initializer;
    options.timeout = 1000;
    MQTTAsync_disconnect(handleOf(client), &options);
    // Give the goodbye and the disconnect their moment.
    for (int waited = 0; waited < 1500 && MQTTAsync_isConnected(handleOf(client)); waited += 20)
        QThread::msleep(20);
}
