#include "mqttoutput.h"

#include "journal/journalwriter.h"

#include <QUuid>

#include <mosquitto.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>

namespace {

const int Qos = 1;
const char Online[] = "online";
const char Offline[] = "offline";
// The value without prefix: enough digits for any the meter shows, none of
// the noise of the multiplication (2.19 × 10⁶ is 2190000, not 2189999.9999999998).
const int BaseValueDigits = 12;
// How long finish() waits for the broker to take "offline".
const int StatusWaitMs = 2000;
// How long stopClient() waits for the DISCONNECT to go out.
const int DisconnectWaitMs = 2000;
// How long abandon() waits for the broker.
const int AbandonWaitMs = 1000;

using Clock = std::chrono::steady_clock;

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
            lock.unlock();
            mosquitto_disconnect(m_mosq);
            lock.lock();
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

void MqttOutput::run()
{
    const QByteArray host = m_target.host.toUtf8();
    unsigned delaySeconds = ReconnectMinSeconds;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopRequested)
                return;
        }
        errno = 0;
        int rc = mosquitto_connect_async(m_mosq, host.constData(), m_target.port, KeepAliveSeconds);
        int savedErrno = errno;
        bool unanswered = false;
        if (rc == MOSQ_ERR_SUCCESS) {
            // The library notices a connection that never came about only
            // when the keep-alive runs out: an attempt has ConnectTimeoutMs.
            m_answered = false;
            const Clock::time_point attemptEnd = Clock::now() + std::chrono::milliseconds(ConnectTimeoutMs);
            // A connection made after stopClient()'s DISCONNECT ends here.
            while (!m_stopRequested && (rc = mosquitto_loop(m_mosq, LoopWaitMs, 1)) == MOSQ_ERR_SUCCESS) {
                if (!m_answered && Clock::now() > attemptEnd) {
                    unanswered = true;
                    break;
                }
            }
            savedErrno = errno;
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_stopRequested)
                return;
            if (!m_everConnected && m_firstFailure.isEmpty() && (rc != MOSQ_ERR_SUCCESS || unanswered))
                m_firstFailure = unanswered ? QStringLiteral("no answer")
                    : rc == MOSQ_ERR_ERRNO  ? QString::fromLocal8Bit(std::strerror(savedErrno))
                                            : libraryText(rc);
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
    json += ",\"seq\":" + QByteArray::number(recorded.n) + ",\"run\":\"" + run + "\",\"base_value\":";
    const std::optional<double> base = recorded.reading.baseValue();
    json += base && std::isfinite(*base) ? QByteArray::number(*base, 'g', BaseValueDigits)
                                         : QByteArray("null");
    json += ",\"base_unit\":"
        + JsonLines::jsonText(MeterReading::unitScale(recorded.reading.unitText).baseUnit) + '}';
    return json;
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
    const QByteArray clientId = "ravelo-record-" + m_run.left(8);
    m_mosq = mosquitto_new(clientId.constData(), true, this);
    if (!m_mosq) {
        *error = QStringLiteral("cannot set up the MQTT client: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    mosquitto_connect_callback_set(m_mosq, onConnect);
    mosquitto_disconnect_callback_set(m_mosq, onDisconnect);
    mosquitto_publish_callback_set(m_mosq, onPublish);
    mosquitto_log_callback_set(m_mosq, onLog);
    mosquitto_int_option(m_mosq, MOSQ_OPT_SEND_MAXIMUM, InFlightMax);
    mosquitto_will_set(m_mosq, m_statusTopic.constData(), int(sizeof Offline - 1), Offline, Qos, true);
    if (!m_target.user.isEmpty()) {
        const QByteArray user = m_target.user.toUtf8();
        const QByteArray password = m_password.toUtf8();
        mosquitto_username_pw_set(m_mosq, user.constData(), m_password.isNull() ? nullptr : password.constData());
    }
    if (m_target.tls) {
        int rc = MOSQ_ERR_SUCCESS;
        if (m_target.caFile.isEmpty()) {
            rc = mosquitto_int_option(m_mosq, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
        } else {
            const QByteArray caFile = m_target.caFile.toLocal8Bit();
            rc = mosquitto_tls_set(m_mosq, caFile.constData(), nullptr, nullptr, nullptr, nullptr);
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            *error = m_target.caFile.isEmpty()
                ? QStringLiteral("cannot set up TLS: %1").arg(QString::fromUtf8(mosquitto_strerror(rc)))
                : QStringLiteral("cannot use the certificate authority %1: not a readable file").arg(m_target.caFile);
            return false;
        }
    }
    mosquitto_threaded_set(m_mosq, true);
    m_clientStarted = true;
    m_thread = std::thread([this] { run(); });

    std::unique_lock<std::mutex> lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(StartWaitMs), [this] {
        return m_connected || m_refused != 0 || m_tlsFailed || !m_firstFailure.isEmpty();
    });
    QString failure;
    if (m_refused != 0)
        failure = refusalText(m_refused);
    else if (!m_connected && m_tlsFailed)
        failure = QStringLiteral("TLS with the MQTT broker %1 failed: %2").arg(m_target.address(), lastLibraryError());
    if (!failure.isEmpty()) {
        lock.unlock();
        stopClient();
        *error = failure;
        return false;
    }
    const bool connected = m_connected;
    const QString unreachable = m_firstFailure.isEmpty() ? QStringLiteral("no answer") : m_firstFailure;
    m_connectionTold = !connected;
    m_started = true;
    lock.unlock();
    if (!connected) {
        emit message(QStringLiteral("cannot reach the MQTT broker %1 yet (%2); readings wait for it")
                         .arg(m_target.address(), unreachable));
    }
    return true;
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
        case PublishQueue::Item::Kind::Reading:
            payload = readingJson(item->reading, m_run);
            topic = &m_readingTopic;
            break;
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
        m_inFlight.insert(mid, {item->ticket, item->kind == PublishQueue::Item::Kind::Reading});
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
        const qint64 size = m_queue.size();
        lock.unlock();
        emit message(QStringLiteral("waiting for the MQTT broker %1 to take %2 more readings and events")
                         .arg(m_target.address())
                         .arg(size));
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
    lock.unlock();
    stopClient();
    if (left > 0) {
        *error = QStringLiteral("%1 readings and events were not published: the MQTT broker %2 did not take them")
                     .arg(left)
                     .arg(m_target.address());
        return false;
    }
    return true;
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
            if (output->m_connectionTold && output->m_started)
                text = QStringLiteral("the MQTT broker %1 answers again; %2 readings and events to publish")
                           .arg(output->m_target.address())
                           .arg(output->m_queue.size());
            output->m_connectionTold = false;
            output->m_connected = true;
            output->m_everConnected = true;
            output->m_connectedSinceRetry = true;
            output->m_refused = 0;
            mosquitto_publish(output->m_mosq, nullptr, output->m_statusTopic.constData(),
                              int(sizeof Online - 1), Online, Qos, true);
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
            text = QStringLiteral("lost the MQTT broker %1 (%2); readings wait for it")
                       .arg(output->m_target.address(), libraryText(rc));
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
            if (found->reading)
                ++output->m_published;
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
