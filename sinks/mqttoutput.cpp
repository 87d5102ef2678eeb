#include "mqttoutput.h"

#include "journal/journalwriter.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QUuid>

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>

#ifdef Q_OS_WIN
#include <winsock2.h>
#else
#include <poll.h>
#include <sys/socket.h>
#endif

namespace {

const int Qos = 1;
const char Online[] = "online";
const char Offline[] = "offline";
// How long finish() waits for the broker to take "offline".
const int StatusWaitMs = 2000;
// How long stopClient() waits for the DISCONNECT to go out.
const int DisconnectWaitMs = 2000;
// How long abandon() waits for the broker.
const int AbandonWaitMs = 1000;

// How long a closer look at a failed start (a second handshake) may take.
const int ProbeWaitMs = 3000;

using Clock = std::chrono::steady_clock;

// How a connection that the library began without waiting stands. A failed
// one makes the socket readable and writable for good, without a peer; the
// library's TLS handshake takes that for "try again" and would spin on it.
enum class SocketState { Pending, Connected, Failed };

SocketState socketState(int fd, int *error)
{
    *error = 0;
    if (fd < 0)
        return SocketState::Pending; // the library closed it: its loop says why
#ifdef Q_OS_WIN
    const SOCKET socket = SOCKET(fd);
    int length = int(sizeof *error);
    getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char *>(error), &length);
    sockaddr_storage peer{};
    int peerLength = int(sizeof peer);
    const bool connected = getpeername(socket, reinterpret_cast<sockaddr *>(&peer), &peerLength) == 0;
    WSAPOLLFD poll{};
    poll.fd = socket;
    poll.events = POLLRDNORM | POLLWRNORM;
    const bool ready = WSAPoll(&poll, 1, 0) > 0 && poll.revents != 0;
#else
    socklen_t length = sizeof *error;
    getsockopt(fd, SOL_SOCKET, SO_ERROR, error, &length);
    sockaddr_storage peer{};
    socklen_t peerLength = sizeof peer;
    const bool connected = getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &peerLength) == 0;
    pollfd poll{fd, POLLIN | POLLOUT, 0};
    const bool ready = ::poll(&poll, 1, 0) > 0 && poll.revents != 0;
#endif
    if (*error != 0)
        return SocketState::Failed;
    if (connected)
        return SocketState::Connected;
    return ready ? SocketState::Failed : SocketState::Pending;
}

// A broker that has not answered the connection for a while.
QString noAnswerText(int ms)
{
    return QStringLiteral("no answer in %1 s").arg(ms / 1000);
}

// "2 readings and 1 event", without the parts that are 0 (but never empty).
QString countsText(qint64 readings, qint64 events)
{
    QStringList parts;
    if (readings > 0 || events == 0)
        parts << (readings == 1 ? QStringLiteral("1 reading") : QStringLiteral("%1 readings").arg(readings));
    if (events > 0)
        parts << (events == 1 ? QStringLiteral("1 event") : QStringLiteral("%1 events").arg(events));
    return parts.join(QStringLiteral(" and "));
}

// What a TLS handshake with another client came to (see MqttOutput::tlsFailureText()).
struct ProbeState {
    std::atomic<bool> answered{false};
    std::atomic<bool> tlsError{false};
    std::mutex mutex;
    QString error;
};

void probeOnConnect(mosquitto *, void *self, int)
{
    static_cast<ProbeState *>(self)->answered = true;
}

void probeOnLog(mosquitto *, void *self, int level, const char *text)
{
    auto *state = static_cast<ProbeState *>(self);
    if ((level & MOSQ_LOG_ERR) && QByteArray(text).startsWith("OpenSSL Error")) {
        state->tlsError = true;
        std::lock_guard<std::mutex> lock(state->mutex);
        if (state->error.isEmpty())
            state->error = QString::fromUtf8(text);
    }
}

// A plain MQTT connection with `host`:`port`, by another client of our own:
// true when the broker answered it.
bool probePlain(const QByteArray &host, int port)
{
    ProbeState state;
    mosquitto *mosq = mosquitto_new(nullptr, true, &state);
    if (!mosq)
        return false;
    mosquitto_connect_callback_set(mosq, probeOnConnect);
    if (mosquitto_connect_async(mosq, host.constData(), port, 10) == MOSQ_ERR_SUCCESS) {
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ProbeWaitMs);
        while (!state.answered && Clock::now() < end && mosquitto_loop(mosq, 100, 1) == MOSQ_ERR_SUCCESS) {
        }
        mosquitto_disconnect(mosq);
    }
    mosquitto_destroy(mosq);
    return state.answered;
}

// A TLS handshake with `host`:`port`, another client of our own: true when
// the broker's certificate verified (with `caFile`, or the system's
// authorities; without checking its host name if `anyHost`), or failed
// verification only, when `verifyFailedCounts`.
bool probeTls(const QByteArray &host, int port, const QString &caFile, bool anyHost, bool verifyFailedCounts)
{
    ProbeState state;
    mosquitto *mosq = mosquitto_new(nullptr, true, &state);
    if (!mosq)
        return false;
    mosquitto_connect_callback_set(mosq, probeOnConnect);
    mosquitto_log_callback_set(mosq, probeOnLog);
    const QByteArray ca = caFile.toLocal8Bit();
    int rc = caFile.isEmpty() ? mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                              : mosquitto_tls_set(mosq, ca.constData(), nullptr, nullptr, nullptr, nullptr);
    if (rc == MOSQ_ERR_SUCCESS && anyHost)
        rc = mosquitto_tls_insecure_set(mosq, true);
    // The handshake may end within the connect call already.
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_connect_async(mosq, host.constData(), port, 10) == MOSQ_ERR_SUCCESS) {
        const Clock::time_point end = Clock::now() + std::chrono::milliseconds(ProbeWaitMs);
        while (!state.answered && !state.tlsError && Clock::now() < end) {
            const Clock::time_point turn = Clock::now();
            int error = 0;
            if (mosquitto_loop(mosq, 100, 1) != MOSQ_ERR_SUCCESS
                || socketState(mosquitto_socket(mosq), &error) == SocketState::Failed)
                break;
            std::this_thread::sleep_until(turn + std::chrono::milliseconds(MqttOutput::MinTurnMs));
        }
        mosquitto_disconnect(mosq);
    }
    mosquitto_destroy(mosq);
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.answered
        || (verifyFailedCounts && state.error.contains(QLatin1String("certificate verify failed")));
}

void initLibrary()
{
    static const int done = mosquitto_lib_init();
    Q_UNUSED(done)
}

QByteArray withRun(QByteArray json, const QByteArray &run)
{
    json.chop(1);
    return json + ",\"run\":\"" + run + "\"}";
}

// "The connection was lost." as "the connection was lost".
QString libraryText(int rc)
{
    QString text = QString::fromUtf8(mosquitto_strerror(rc));
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.size() > 1 && text.at(1).isLower())
        text[0] = text.at(0).toLower();
    return text;
}

QByteArray nowText()
{
    return JournalWriter::isoTimeText(QDateTime::currentDateTime()).toUtf8();
}

} // namespace

MqttOutput::MqttOutput(const MqttTarget &target, const QString &password, qint64 capacity, QObject *parent)
    : QObject(parent), m_target(target), m_password(password),
      m_run(QUuid::createUuid().toByteArray(QUuid::WithoutBraces)),
      m_readingTopic(target.topic("reading").toUtf8()),
      m_eventTopic(target.topic("event").toUtf8()),
      m_statusTopic(target.topic("status").toUtf8()),
      m_queue(capacity)
{
}

MqttOutput::~MqttOutput()
{
    if (!m_mosq)
        return;
    stopClient();
    mosquitto_destroy(m_mosq);
}

void MqttOutput::stopClient()
{
    if (!m_thread.joinable())
        return;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_connected) {
            // A DISCONNECT first, so that the broker forgets the last will.
            mosquitto_disconnect(m_mosq);
            m_changed.wait_for(lock, std::chrono::milliseconds(DisconnectWaitMs), [this] { return !m_connected; });
        }
        m_stopRequested = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

bool MqttOutput::waitBeforeRetry(unsigned seconds)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return !m_changed.wait_for(lock, std::chrono::seconds(seconds), [this] { return m_stopRequested.load(); });
}

mosquitto *MqttOutput::newClient(QString *error)
{
    const QByteArray clientId = "ravelo-record-" + m_run.left(8);
    mosquitto *mosq = mosquitto_new(clientId.constData(), true, this);
    if (!mosq) {
        *error = QStringLiteral("cannot set up the MQTT client: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return nullptr;
    }
    mosquitto_connect_callback_set(mosq, onConnect);
    mosquitto_disconnect_callback_set(mosq, onDisconnect);
    mosquitto_publish_callback_set(mosq, onPublish);
    mosquitto_log_callback_set(mosq, onLog);
    // Room beyond the queue's own window for the status and discovery
    // messages: the library never holds a reading back itself.
    mosquitto_int_option(mosq, MOSQ_OPT_SEND_MAXIMUM, InFlightMax + 16);
    mosquitto_will_set(mosq, m_statusTopic.constData(), int(sizeof Offline - 1), Offline, Qos, true);
    if (!m_target.user.isEmpty()) {
        const QByteArray user = m_target.user.toUtf8();
        const QByteArray password = m_password.toUtf8();
        mosquitto_username_pw_set(mosq, user.constData(), m_password.isNull() ? nullptr : password.constData());
    }
    if (m_target.tls) {
        int rc = MOSQ_ERR_SUCCESS;
        if (m_target.caFile.isEmpty()) {
            rc = mosquitto_int_option(mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            const QByteArray caFile = m_target.caFile.toLocal8Bit();
            rc = mosquitto_tls_set(mosq, caFile.constData(), nullptr, nullptr, nullptr, nullptr);
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = m_target.caFile.isEmpty()
                ? QStringLiteral("cannot set up TLS: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)))
                : QStringLiteral("cannot use the certificate authority %1: not a readable file").arg(m_target.caFile);
            mosquitto_destroy(mosq);
            return nullptr;
        }
    }
    mosquitto_threaded_set(mosq, true);
    return mosq;
}

void MqttOutput::run()
{
    const QByteArray host = m_target.host.toUtf8();
    unsigned delaySeconds = ReconnectMinSeconds;
    bool fresh = true; // start() made the client for the first attempt
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopRequested)
                return;
            if (!fresh) {
                // A client of its own for each connection: the library would
                // send its unacknowledged messages again after newer ones.
                // The queue hands them out again instead, in order.
                QString error;
                if (mosquitto *mosq = newClient(&error)) {
                    mosquitto_destroy(m_mosq);
                    m_mosq = mosq;
                }
                m_inFlight.clear();
                m_queue.resend();
            }
            fresh = false;
        }
        errno = 0;
        int rc = mosquitto_connect_async(m_mosq, host.constData(), m_target.port, KeepAliveSeconds);
        int savedErrno = errno;
        bool unanswered = false;
        bool closedUnanswered = false;
        if (rc == MOSQ_ERR_SUCCESS) {
            // The library notices a connection that never came about only
            // when the keep-alive runs out: an attempt has ConnectTimeoutMs.
            m_answered = false;
            const Clock::time_point attemptEnd = Clock::now() + std::chrono::milliseconds(ConnectTimeoutMs);
            bool hadPeer = false;
            // A connection made after stopClient()'s DISCONNECT ends here.
            while (!m_stopRequested) {
                const Clock::time_point turn = Clock::now();
                rc = mosquitto_loop(m_mosq, LoopWaitMs, 1);
                savedErrno = errno;
                if (rc != MOSQ_ERR_SUCCESS) {
                    closedUnanswered = !m_answered
                        && (rc == MOSQ_ERR_CONN_LOST || rc == MOSQ_ERR_PROTOCOL);
                    break;
                }
                if (m_answered)
                    continue;
                int error = 0;
                const SocketState state = socketState(mosquitto_socket(m_mosq), &error);
                if (state == SocketState::Failed) {
                    // The connection failed while the library kept trying.
                    rc = MOSQ_ERR_ERRNO;
                    savedErrno = error != 0 ? error : hadPeer ? ECONNRESET : ECONNREFUSED;
                    // Without a reason (the handshake took it), perhaps closed too.
                    closedUnanswered = hadPeer || savedErrno == ECONNRESET || error == 0;
                    break;
                }
                hadPeer = hadPeer || state == SocketState::Connected;
                if (Clock::now() > attemptEnd) {
                    unanswered = true;
                    break;
                }
                // Whatever else the socket does: no busy loop before an answer.
                std::this_thread::sleep_until(turn + std::chrono::milliseconds(MinTurnMs));
            }
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopRequested)
                return;
            if (!m_everConnected && m_firstFailure.isEmpty() && (rc != MOSQ_ERR_SUCCESS || unanswered)) {
                m_closedUnanswered = closedUnanswered;
                m_firstFailure = unanswered ? noAnswerText(ConnectTimeoutMs)
                    : rc == MOSQ_ERR_ERRNO && savedErrno == ECONNREFUSED ? QStringLiteral("the connection was refused")
                    : closedUnanswered ? QStringLiteral("it closed the connection without an answer")
                    : rc == MOSQ_ERR_ERRNO && savedErrno == ECONNREFUSED ? QStringLiteral("the connection was refused")
                    : rc == MOSQ_ERR_ERRNO ? QString::fromLocal8Bit(std::strerror(savedErrno))
                                           : libraryText(rc);
            }
            if (rc == MOSQ_ERR_TLS)
                m_tlsFailed = true;
            // The loop may end without the library telling.
            m_connected = false;
            // After a connection that held, the first try comes soon.
            if (m_connectedSinceRetry)
                delaySeconds = ReconnectMinSeconds;
            m_connectedSinceRetry = false;
        }
        m_changed.notify_all();
        if (!waitBeforeRetry(delaySeconds))
            return;
        delaySeconds = qMin(delaySeconds * 2, ReconnectMaxSeconds);
    }
}

QByteArray MqttOutput::readingJson(const RecordedReading &recorded, const QByteArray &run)
{
    QByteArray json = JsonLines::jsonLine(recorded);
    json.chop(1);
    return json + ",\"seq\":" + QByteArray::number(recorded.n) + ",\"run\":\"" + run + '"'
        + JsonLines::baseFields(recorded.reading) + '}';
}

QByteArray MqttOutput::droppedJson(const PublishQueue::Dropped &dropped, const QDateTime &time)
{
    return "{\"event\":\"dropped\",\"time\":" + JsonLines::jsonText(JournalWriter::isoTimeText(time))
        + ",\"readings\":" + QByteArray::number(dropped.readings)
        + ",\"events\":" + QByteArray::number(dropped.events)
        + ",\"first_seq\":" + QByteArray::number(dropped.firstSeq)
        + ",\"last_seq\":" + QByteArray::number(dropped.lastSeq) + '}';
}

QString MqttOutput::refusalText(int rc) const
{
    QString reason = QString::fromUtf8(mosquitto_connack_string(rc));
    reason.remove(QStringLiteral("Connection Refused: "));
    if (reason.endsWith(QLatin1Char('.')))
        reason.chop(1);
    if (m_target.user.isEmpty())
        return QStringLiteral("the MQTT broker %1 refused the connection: %2").arg(m_target.address(), reason);
    return QStringLiteral("the MQTT broker %1 refused the login of %2: %3")
        .arg(m_target.address(), m_target.user, reason);
}

QString MqttOutput::lastLibraryError() const
{
    std::lock_guard<std::mutex> lock(m_logMutex);
    return m_lastLibraryError;
}

bool MqttOutput::start(QString *error)
{
    initLibrary();
#ifdef Q_OS_UNIX
    // A write to a socket the broker closed must fail, not end the program.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    m_mosq = newClient(error);
    if (!m_mosq)
        return false;
    m_clientStarted = true;
    m_thread = std::thread([this] { run(); });

    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(StartWaitMs), [this] {
        return m_connected || m_refused != 0 || m_tlsFailed || !m_firstFailure.isEmpty();
    });
    QString failure;
    if (m_refused != 0) {
        failure = refusalText(m_refused);
    } else if (!m_connected && m_tlsFailed) {
        lock.unlock();
        failure = tlsFailureText();
        lock.lock();
    } else if (!m_connected && m_closedUnanswered) {
        // Closed before any answer: the other protocol's port?
        lock.unlock();
        const QByteArray host = m_target.host.toUtf8();
        if (!m_target.tls && probeTls(host, m_target.port, QString(), true, true))
            failure = QStringLiteral("the MQTT broker %1 speaks TLS on this port: use mqtts://").arg(m_target.address());
        else if (m_target.tls && probePlain(host, m_target.port))
            failure = QStringLiteral("the MQTT broker %1 does not speak TLS on this port: use mqtt://")
                          .arg(m_target.address());
        lock.lock();
    }
    if (!failure.isEmpty()) {
        lock.unlock();
        stopClient();
        *error = failure;
        return false;
    }
    const bool connected = m_connected;
    const QString unreachable = m_firstFailure.isEmpty() ? noAnswerText(StartWaitMs) : m_firstFailure;
    m_connectionTold = !connected;
    m_started = true;
    lock.unlock();
    if (connected) {
        emit message(QStringLiteral("publishing to the MQTT broker %1 under %2").arg(m_target.address(), topicPrefix()));
    } else {
        emit message(QStringLiteral("cannot reach the MQTT broker %1 yet (%2); readings wait for it")
                         .arg(m_target.address(), unreachable));
    }
    return true;
}

QString MqttOutput::tlsFailureText()
{
    QString reason = lastLibraryError();
    const QByteArray host = m_target.host.toUtf8();
    if (reason.contains(QLatin1String("certificate verify failed"))
        && probeTls(host, m_target.port, m_target.caFile, true, false)) {
        reason = QStringLiteral("its certificate is for another host, not %1").arg(m_target.host);
    } else if (reason.contains(QLatin1String("certificate verify failed"))) {
        reason = m_target.caFile.isEmpty()
            ? QStringLiteral("its certificate is not signed by an authority this system trusts (--mqtt-ca names another)")
            : QStringLiteral("its certificate is not signed by the authority in %1").arg(m_target.caFile);
    } else if (probePlain(host, m_target.port)) {
        return QStringLiteral("the MQTT broker %1 does not speak TLS on this port: use mqtt://").arg(m_target.address());
    }
    return QStringLiteral("TLS with the MQTT broker %1 failed: %2").arg(m_target.address(), reason);
}

void MqttOutput::publishRetained(const Discovery &discovery)
{
    mosquitto_publish(m_mosq, nullptr, discovery.topic.constData(), discovery.config.size(),
                      discovery.config.constData(), Qos, true);
}

void MqttOutput::publishDiscovery()
{
    if (m_target.discoveryPrefix.isEmpty())
        return;
    publishRetained(discovery(m_target, Sensor::Function));
    if (m_withLimits)
        publishRetained(discovery(m_target, Sensor::Limit));
    // The value's with the first reading handed out, in its unit.
    m_valueConfigKey.clear();
}

QString MqttOutput::deviceClass(const QString &baseUnit)
{
    // Home Assistant's sensor device classes and the units it allows for them.
    static const QHash<QString, QString> classes{
        {QStringLiteral("V"), QStringLiteral("voltage")},
        {QStringLiteral("A"), QStringLiteral("current")},
        {QStringLiteral("Hz"), QStringLiteral("frequency")},
        {QStringLiteral("°C"), QStringLiteral("temperature")},
        {QStringLiteral("°F"), QStringLiteral("temperature")},
    };
    return classes.value(baseUnit);
}

MqttOutput::Discovery MqttOutput::discovery(const MqttTarget &target, Sensor sensor, const QString &baseUnit)
{
    // An object id of letters, digits, '_' and '-' only.
    QString id = QStringLiteral("ravelo_") + target.meter;
    id.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    const char *leaf = sensor == Sensor::Value ? "value" : sensor == Sensor::Function ? "function" : "limit";
    id += QLatin1Char('_') + QLatin1String(leaf);

    QJsonObject config;
    config[QStringLiteral("unique_id")] = id;
    config[QStringLiteral("availability_topic")] = target.topic("status");
    config[QStringLiteral("payload_available")] = QString::fromLatin1(Online);
    config[QStringLiteral("payload_not_available")] = QString::fromLatin1(Offline);
    config[QStringLiteral("device")] = QJsonObject{
        {QStringLiteral("identifiers"), QJsonArray{QStringLiteral("ravelo_") + target.meter}},
        {QStringLiteral("name"), target.meter},
        {QStringLiteral("model"), QStringLiteral("multimeter")},
        {QStringLiteral("sw_version"), QStringLiteral("ravelo-record ") + QCoreApplication::applicationVersion()},
    };
    switch (sensor) {
    case Sensor::Value: {
        config[QStringLiteral("name")] = QStringLiteral("Reading");
        config[QStringLiteral("state_topic")] = target.topic("reading");
        // null (an overload, a blank display) renders as None: unknown.
        config[QStringLiteral("value_template")] = QStringLiteral("{{ value_json.base_value }}");
        config[QStringLiteral("state_class")] = QStringLiteral("measurement");
        if (!baseUnit.isEmpty())
            config[QStringLiteral("unit_of_measurement")] = baseUnit;
        const QString deviceClassName = deviceClass(baseUnit);
        if (!deviceClassName.isEmpty())
            config[QStringLiteral("device_class")] = deviceClassName;
        // The reading's other fields (the text shown, the unit with its prefix, seq) as attributes.
        config[QStringLiteral("json_attributes_topic")] = target.topic("reading");
        break;
    }
    case Sensor::Function:
        config[QStringLiteral("name")] = QStringLiteral("Function");
        config[QStringLiteral("state_topic")] = target.topic("reading");
        config[QStringLiteral("value_template")] = QStringLiteral("{{ value_json.function }}");
        config[QStringLiteral("icon")] = QStringLiteral("mdi:multimeter");
        break;
    case Sensor::Limit:
        config[QStringLiteral("name")] = QStringLiteral("Limit");
        config[QStringLiteral("state_topic")] = target.topic("event");
        // Only limit events change it: high, low or ok.
        config[QStringLiteral("value_template")] = QStringLiteral(
            "{{ value_json.state if value_json.event == 'limit' else this.state }}");
        config[QStringLiteral("icon")] = QStringLiteral("mdi:car-speed-limiter");
        break;
    }
    const QString topic = QStringLiteral("%1/sensor/%2/config").arg(target.discoveryPrefix, id);
    return {topic.toUtf8(), QJsonDocument(config).toJson(QJsonDocument::Compact)};
}

void MqttOutput::pump()
{
    while (m_connected && m_inFlight.size() < InFlightMax) {
        const std::optional<PublishQueue::Item> item = m_queue.takeNext();
        if (!item)
            return;
        QByteArray payload;
        const QByteArray *topic = &m_eventTopic;
        switch (item->kind) {
        case PublishQueue::Item::Kind::Reading: {
            payload = readingJson(item->reading, m_run);
            topic = &m_readingTopic;
            if (m_target.discoveryPrefix.isEmpty())
                break;
            // The value's configuration goes before the first reading in a new unit.
            const QString baseUnit = MeterReading::unitScale(item->reading.reading.unitText).baseUnit;
            const QByteArray key = (item->reading.reading.functionText + QLatin1Char('\n') + baseUnit).toUtf8();
            if (key != m_valueConfigKey) {
                publishRetained(discovery(m_target, Sensor::Value, baseUnit));
                m_valueConfigKey = key;
            }
            break;
        }
        case PublishQueue::Item::Kind::Event:
            payload = withRun(item->event, m_run);
            break;
        case PublishQueue::Item::Kind::Dropped:
            payload = withRun(droppedJson(item->dropped, QDateTime::currentDateTime()), m_run);
            break;
        }
        int mid = 0;
        if (mosquitto_publish(m_mosq, &mid, topic->constData(), payload.size(), payload.constData(), Qos,
                              false) != MOSQ_ERR_SUCCESS) {
            // Again with the next acknowledgement or connection.
            m_queue.untake();
            return;
        }
        m_inFlight.insert(mid, {item->ticket, item->kind});
    }
}

void MqttOutput::addReading(const RecordedReading &recorded)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const qint64 droppedBefore = m_queue.droppedTotal();
    m_queue.pushReading(recorded);
    pump();
    if (m_paced) {
        m_changed.wait(lock, [this] { return !m_connected || m_queue.waiting() <= PacedBacklog; });
    }
    const bool firstDrop = droppedBefore == 0 && m_queue.droppedTotal() > 0;
    const qint64 capacity = m_queue.capacity();
    lock.unlock();
    if (firstDrop)
        emit message(QStringLiteral("the MQTT queue is full (%1 readings): the oldest make way until the broker is back")
                         .arg(capacity));
}

void MqttOutput::addEvent(const QByteArray &json)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queue.pushEvent(json);
    pump();
}

void MqttOutput::addGap(const QDateTime &time, const QString &reason)
{
    addEvent(JsonLines::jsonGapLine(time, reason));
}

void MqttOutput::addLimitCrossing(qint64 n, const LimitCrossing &crossing)
{
    addEvent(JsonLines::jsonLimitLine(n, crossing));
}

void MqttOutput::addStart(const QString &source, int intervalMs)
{
    QByteArray json = "{\"event\":\"start\",\"time\":" + JsonLines::jsonText(QString::fromUtf8(nowText()))
        + ",\"source\":" + JsonLines::jsonText(source);
    if (intervalMs > 0)
        json += ",\"interval\":" + QByteArray::number(intervalMs / 1000.0, 'g', 12);
    addEvent(json + '}');
}

void MqttOutput::abandon(const QString &why)
{
    QString error;
    finish(why, 0, 0, &error, AbandonWaitMs);
}

QString MqttOutput::topicPrefix() const
{
    return m_target.topic("");
}

bool MqttOutput::finish(const QString &why, qint64 readings, qint64 gaps, QString *error, int stallMs)
{
    if (!m_clientStarted)
        return true;
    m_clientStarted = false;
    addEvent("{\"event\":\"stop\",\"time\":" + JsonLines::jsonText(QString::fromUtf8(nowText()))
             + ",\"reason\":" + JsonLines::jsonText(why) + ",\"readings\":" + QByteArray::number(readings)
             + ",\"gaps\":" + QByteArray::number(gaps) + '}');

    std::unique_lock<std::mutex> lock(m_mutex);
    m_finishing = true;
    if (stallMs == DrainStallMs && (!m_connected || m_queue.size() > InFlightMax)) {
        const QString counts = countsText(m_queue.readingsLeft(), m_queue.eventsLeft());
        lock.unlock();
        emit message(QStringLiteral("waiting for the MQTT broker %1 to take the %2 left").arg(m_target.address(), counts));
        lock.lock();
    }
    // Wait while the queue shrinks.
    qint64 left = m_queue.size();
    Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(stallMs);
    while (left > 0) {
        m_changed.wait_until(lock, deadline);
        if (m_queue.size() < left) {
            left = m_queue.size();
            deadline = Clock::now() + std::chrono::milliseconds(stallMs);
        } else if (Clock::now() >= deadline) {
            break;
        }
    }
    if (m_connected) {
        int mid = 0;
        if (mosquitto_publish(m_mosq, &mid, m_statusTopic.constData(), int(sizeof Offline - 1), Offline, Qos,
                              true) == MOSQ_ERR_SUCCESS) {
            m_statusMid = mid;
            m_changed.wait_for(lock, std::chrono::milliseconds(StatusWaitMs),
                               [this] { return m_statusAcked || !m_connected; });
        }
    }
    m_readingsLeft = m_queue.readingsLeft();
    m_eventsLeft = m_queue.eventsLeft();
    const bool complete = m_readingsLeft + m_eventsLeft + m_queue.droppedTotal() == 0;
    lock.unlock();
    stopClient();
    if (!complete) {
        *error = summaryText();
        return false;
    }
    return true;
}

qint64 MqttOutput::eventsPublished() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_eventsPublished;
}

qint64 MqttOutput::notDelivered() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_readingsLeft + m_eventsLeft + m_queue.droppedTotal();
}

QString MqttOutput::summaryText() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const qint64 droppedReadings = m_queue.droppedReadings(), droppedEvents = m_queue.droppedEvents();
    QString text = QStringLiteral("MQTT: %1 published").arg(countsText(m_published, m_eventsPublished));
    const qint64 readingsLost = droppedReadings + m_readingsLeft, eventsLost = droppedEvents + m_eventsLeft;
    if (readingsLost + eventsLost == 0)
        return text;
    QStringList parts;
    if (droppedReadings + droppedEvents > 0)
        parts << QStringLiteral("%1 dropped from the full queue").arg(countsText(droppedReadings, droppedEvents));
    if (m_readingsLeft + m_eventsLeft > 0)
        parts << QStringLiteral("%1 left unsent").arg(countsText(m_readingsLeft, m_eventsLeft));
    return text + QStringLiteral("; %1 did not reach the broker %2 (%3)")
                      .arg(countsText(readingsLost, eventsLost), m_target.address(), parts.join(QStringLiteral(", ")));
}

qint64 MqttOutput::published() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_published;
}

qint64 MqttOutput::queued() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_queue.size();
}

void MqttOutput::onConnect(mosquitto *, void *self, int rc)
{
    auto *output = static_cast<MqttOutput *>(self);
    output->m_answered = true;
    QString text;
    {
        std::lock_guard<std::mutex> lock(output->m_mutex);
        if (rc == 0) {
            if (output->m_connectionTold && output->m_started) {
                const QString waiting = countsText(output->m_queue.readingsLeft(), output->m_queue.eventsLeft());
                text = output->m_everConnected
                    ? QStringLiteral("the MQTT broker %1 answers again; %2 to publish")
                          .arg(output->m_target.address(), waiting)
                    : QStringLiteral("the MQTT broker %1 accepted the connection: publishing under %2; %3 to publish")
                          .arg(output->m_target.address(), output->topicPrefix(), waiting);
            }
            output->m_connectionTold = false;
            output->m_connected = true;
            output->m_everConnected = true;
            output->m_connectedSinceRetry = true;
            output->m_refused = 0;
            mosquitto_publish(output->m_mosq, nullptr, output->m_statusTopic.constData(),
                              int(sizeof Online - 1), Online, Qos, true);
            output->publishDiscovery();
            output->pump();
        } else {
            if (output->m_refused != rc && output->m_started)
                text = output->refusalText(rc) + QStringLiteral("; trying again");
            output->m_refused = rc;
        }
    }
    output->m_changed.notify_all();
    if (!text.isEmpty())
        emit output->message(text);
}

void MqttOutput::onDisconnect(mosquitto *, void *self, int rc)
{
    auto *output = static_cast<MqttOutput *>(self);
    QString text;
    {
        std::lock_guard<std::mutex> lock(output->m_mutex);
        if (output->m_connected && rc != 0 && output->m_started && !output->m_finishing) {
            // Silent for a keep-alive period, then for another after its ping.
            const QString why = rc == MOSQ_ERR_KEEPALIVE ? noAnswerText(KeepAliveSeconds * 2000)
                : rc == MOSQ_ERR_CONN_LOST               ? QStringLiteral("it closed the connection")
                                                         : libraryText(rc);
            text = QStringLiteral("lost the MQTT broker %1 (%2); readings wait for it")
                       .arg(output->m_target.address(), why);
            output->m_connectionTold = true;
        }
        output->m_connected = false;
    }
    output->m_changed.notify_all();
    if (!text.isEmpty())
        emit output->message(text);
}

void MqttOutput::onPublish(mosquitto *, void *self, int mid)
{
    auto *output = static_cast<MqttOutput *>(self);
    {
        std::lock_guard<std::mutex> lock(output->m_mutex);
        if (mid == output->m_statusMid)
            output->m_statusAcked = true;
        const auto found = output->m_inFlight.find(mid);
        if (found != output->m_inFlight.end()) {
            output->m_queue.acknowledge(found->ticket);
            if (found->kind == PublishQueue::Item::Kind::Reading)
                ++output->m_published;
            else if (found->kind == PublishQueue::Item::Kind::Event)
                ++output->m_eventsPublished;
            output->m_inFlight.erase(found);
            output->pump();
        }
    }
    output->m_changed.notify_all();
}

// Only a note of the last error: the library calls this with its own locks held.
void MqttOutput::onLog(mosquitto *, void *self, int level, const char *text)
{
    if (!(level & (MOSQ_LOG_ERR | MOSQ_LOG_WARNING)))
        return;
    auto *output = static_cast<MqttOutput *>(self);
    QString line = QString::fromUtf8(text);
    // "OpenSSL Error[0]: error:0A000086:SSL routines::certificate verify failed"
    const int detail = line.lastIndexOf(QLatin1String("::"));
    if (line.startsWith(QLatin1String("OpenSSL")) && detail > 0)
        line = line.mid(detail + 2);
    const bool openSsl = QByteArray(text).startsWith("OpenSSL Error");
    {
        // The first of OpenSSL's lines says most.
        std::lock_guard<std::mutex> lock(output->m_logMutex);
        if (!(openSsl && output->m_tlsFailed))
            output->m_lastLibraryError = line;
    }
    if (openSsl) {
        // Not under m_mutex: the waiter may sleep until its time is up.
        output->m_tlsFailed = true;
        output->m_changed.notify_all();
    }
}
