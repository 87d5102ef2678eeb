#ifndef MQTTOUTPUT_H
#define MQTTOUTPUT_H

#include "jsonlines.h"
#include "mqtttarget.h"
#include "publishqueue.h"
#include "recordsink.h"

#include <QHash>
#include <QObject>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

struct mosquitto;

// Publishes a run to an MQTT broker: each reading (QoS 1) on PREFIX/METER/reading
// as the JSON-lines object plus its number, the run's id and the value in the
// unit without prefix; gaps, limit crossings, start, stop and dropped readings on
// .../event;
// "online"/"offline" retained on .../status, "offline" also as the last will;
// with a discovery prefix, the Home Assistant discovery configuration of the
// meter's sensors, retained.
// Readings wait in a PublishQueue while the broker is away and leave it only
// once the broker acknowledged them; after a new connection they go again
// from the oldest not acknowledged, in order. A thread of the client's own
// talks to the broker, so the run never waits for it.
class MqttOutput : public QObject, public RecordSink
{
    Q_OBJECT
public:
    static constexpr int KeepAliveSeconds = 20;
    static constexpr unsigned ReconnectMinSeconds = 1;
    static constexpr unsigned ReconnectMaxSeconds = 8;
    // While the broker has not answered, the client's loop turns at most this
    // often, whatever the socket does.
    static constexpr int MinTurnMs = 20;
    // How long the client's thread waits for the socket at most.
    static constexpr int LoopWaitMs = 1000;
    // An attempt to connect that the broker has not answered by then is given up.
    static constexpr int ConnectTimeoutMs = 10000;
    // Messages handed to the client library and not yet acknowledged.
    static constexpr int InFlightMax = 256;
    // How long start() waits for the broker's first answer.
    static constexpr int StartWaitMs = 5000;
    // finish() gives up when the queue has not shrunk for this long.
    static constexpr int DrainStallMs = 10000;
    // Paced (a replay): addReading() waits while this many readings wait.
    static constexpr qint64 PacedBacklog = 20000;

    MqttOutput(const MqttTarget &target, const QString &password,
               qint64 capacity = PublishQueue::DefaultCapacity, QObject *parent = nullptr);
    ~MqttOutput() override;

    // Connects in the background and waits up to StartWaitMs for the broker's
    // answer. False with *error when the broker refuses the login or TLS
    // fails; a broker out of reach is no error: the readings wait for it.
    bool start(QString *error);
    // Readings come faster than any broker takes them (a replay): wait for it.
    void setPaced(bool paced) { m_paced = paced; }

    void addReading(const RecordedReading &recorded) override;
    void addGap(const QDateTime &time, const QString &reason) override;
    void addLimitCrossing(qint64 n, const LimitCrossing &crossing) override;
    // The run began (or ended): the event with what it says.
    void addStart(const QString &source, int intervalMs);
    // Waits until the broker has everything (giving up after stallMs
    // without progress), publishes "offline" and disconnects. False with
    // *error when readings were left unpublished.
    bool finish(const QString &why, qint64 readings, qint64 gaps, QString *error, int stallMs = DrainStallMs);
    // The limit state is among the sensors discovery announces.
    void setLimitsWatched(bool watched) { m_withLimits = watched; }
    // A run that could not start: the stop event and "offline" if the broker
    // takes them at once.
    void abandon(const QString &why);
    // "PREFIX/METER/", for messages.
    QString topicPrefix() const;

    QString runId() const { return m_run; }
    // Readings the broker acknowledged.
    qint64 published() const;
    qint64 queued() const;

    // Events the broker acknowledged.
    qint64 eventsPublished() const;
    // Readings and events that did not reach the broker by the end: dropped
    // from the full queue or left in it.
    qint64 notDelivered() const;
    // The closing line for standard error: delivered, dropped, left.
    QString summaryText() const;

    // The broker's object for a reading: JsonLines::jsonLine's fields, then
    // "seq", "run", "base_value", "base_unit".
    static QByteArray readingJson(const RecordedReading &recorded, const QByteArray &run);
    static QByteArray droppedJson(const PublishQueue::Dropped &dropped, const QDateTime &time);

    // Home Assistant's MQTT discovery: what PREFIX/sensor/OBJECT/config holds.
    enum class Sensor { Value, Function, Limit };
    struct Discovery {
        QByteArray topic;
        QByteArray config; // JSON
    };
    // The value's configuration names the unit without prefix (`baseUnit`)
    // and its device class where one fits.
    static Discovery discovery(const MqttTarget &target, Sensor sensor, const QString &baseUnit = QString());
    // Home Assistant's device class of a unit, or nothing.
    static QString deviceClass(const QString &baseUnit);

signals:
    // A line for standard error; emitted from the client library's thread too.
    void message(const QString &text);

private:
    static void onConnect(mosquitto *, void *self, int rc);
    static void onDisconnect(mosquitto *, void *self, int rc);
    static void onPublish(mosquitto *, void *self, int mid);
    static void onLog(mosquitto *, void *self, int level, const char *text);

    // The client's thread: connects, runs the library's loop, and after any
    // failure (TLS ones included, after which the library's own thread would
    // give up) waits and connects again, until stopClient().
    void run();
    // A client set up with the target's login, TLS and last will.
    mosquitto *newClient(QString *error);
    bool waitBeforeRetry(unsigned seconds);
    void stopClient();
    void addEvent(const QByteArray &json);
    // Hands waiting items to the client library; m_mutex held.
    void pump();
    // The discovery configurations of the function and the limit state; m_mutex held.
    void publishDiscovery();
    void publishRetained(const Discovery &discovery);
    QString refusalText(int rc) const;
    QString lastLibraryError() const;
    // Why start() failed, in words a user can act on, after a closer look.
    QString tlsFailureText();

    MqttTarget m_target;
    QString m_password;
    QByteArray m_run;
    QByteArray m_readingTopic, m_eventTopic, m_statusTopic;
    mosquitto *m_mosq = nullptr;
    bool m_clientStarted = false;  // start() set the client up
    std::atomic<bool> m_stopRequested{false}; // set under m_mutex
    std::atomic<bool> m_answered{false};      // the broker answered this attempt
    std::thread m_thread;
    bool m_paced = false;
    bool m_withLimits = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    PublishQueue m_queue;
    struct InFlight {
        qint64 ticket;
        PublishQueue::Item::Kind kind;
    };
    QHash<int, InFlight> m_inFlight; // by message id
    bool m_connected = false;
    bool m_everConnected = false;
    bool m_connectedSinceRetry = false;
    bool m_connectionTold = false; // a loss or an unreachable broker was told
    bool m_started = false;        // start() is over: news go to message()
    bool m_finishing = false;
    int m_refused = 0;             // the broker's last refusal (CONNACK code)
    QString m_firstFailure;        // why the first attempts did not connect
    bool m_closedUnanswered = false; // the first attempt's connection closed before any answer
    QByteArray m_valueConfigKey;   // the function and unit the value's configuration was published for
    int m_statusMid = -1;          // the "offline" being published
    bool m_statusAcked = false;
    qint64 m_published = 0;
    qint64 m_eventsPublished = 0;
    qint64 m_readingsLeft = 0, m_eventsLeft = 0; // at the end

    // The library told of a TLS failure (its thread then ends).
    std::atomic<bool> m_tlsFailed{false};
    mutable std::mutex m_logMutex;
    QString m_lastLibraryError;
};

#endif // MQTTOUTPUT_H
