// ravelo-record --mqtt end to end: a real mosquitto broker on a free port with
// a configuration of the test's own, mosquitto_sub listening, and the real
// recorder publishing a replayed capture or the simulator's readings.

#include "meter/frameencoder.h"
#include "capture/capturewriter.h"
#include "support/metersimulator.h"
#include "support/testfiles.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const int RunTimeoutMs = 60000;
const int BrokerStartMs = 10000;
const int BrokerOutageMs = 30000;
const char Password[] = "secret";
const int ProbeAttempts = 40;
const int ProbeWaitMs = 250;

// A port nothing listens on now.
int freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), length) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

// A mosquitto of the test's own: 127.0.0.1 only, its settings plus `extra`.
class Broker
{
public:
    Broker(const QString &folder, const QString &extra) : m_folder(folder), m_port(freePort())
    {
        // As root mosquitto would switch to its own user, who cannot read our folder.
        writeFile(folder + "/broker.conf",
                  QStringLiteral("listener %1 127.0.0.1\nuser root\n%2\n").arg(m_port).arg(extra).toUtf8());
    }
    ~Broker() { stop(); }

    int port() const { return m_port; }

    bool start()
    {
        m_log.clear();
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->start(QStringLiteral("mosquitto"), {"-c", m_folder + "/broker.conf"});
        if (!m_process->waitForStarted(BrokerStartMs))
            return false;
        const QDeadlineTimer deadline(BrokerStartMs);
        while (!m_log.contains(" running") && !deadline.hasExpired()) {
            m_process->waitForReadyRead(50);
            m_log += m_process->readAll();
            if (m_process->state() == QProcess::NotRunning)
                return false;
        }
        return m_log.contains(" running");
    }
    // SIGSTOP: the broker's sockets stay open, and nothing answers.
    void freeze() { ::kill(pid_t(m_process->processId()), SIGSTOP); }
    void thaw() { ::kill(pid_t(m_process->processId()), SIGCONT); }
    // kill -9: no goodbye to anyone.
    void kill()
    {
        if (m_process) {
            m_process->kill();
            m_process->waitForFinished(5000);
            m_process.reset();
        }
    }
    void stop()
    {
        if (m_process) {
            m_process->terminate();
            m_process->waitForFinished(5000);
            m_process.reset();
        }
    }
    QByteArray log() const { return m_log; }

private:
    QString m_folder;
    int m_port;
    std::unique_ptr<QProcess> m_process;
    QByteArray m_log;
};

struct Message {
    QString topic;
    QByteArray payload;
};

// mosquitto_sub on `topic` (QoS 1).
class Subscriber
{
public:
    // Returns once the subscription holds: a probe came through.
    // `connection`: TLS and login options of both clients; `extra`: mosquitto_sub's own.
    bool start(int port, const QString &topic, const QStringList &connection = {}, const QStringList &extra = {})
    {
        const QString probe = QStringLiteral("ravelo-test/probe");
        const QStringList broker = QStringList{"-h", "127.0.0.1", "-p", QString::number(port), "-q", "1"} + connection;
        m_arguments = broker + QStringList{"-v", "-t", topic, "-t", probe} + extra;
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(QStringLiteral("mosquitto_sub"), m_arguments);
        if (!m_process.waitForStarted(5000))
            return false;
        for (int attempt = 0; attempt < ProbeAttempts; ++attempt) {
            QProcess::execute(QStringLiteral("mosquitto_pub"), broker + QStringList{"-t", probe, "-m", "ready"});
            if (waitFor([&] { return m_output.contains(probe.toUtf8() + " ready"); }, ProbeWaitMs))
                return true;
        }
        return false;
    }
    ~Subscriber() { end(); }
    // SIGTERM, then SIGKILL: mosquitto_sub waiting out its reconnect delay
    // may take longer than that to go (its session stays with the broker).
    void end()
    {
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    // Starts mosquitto_sub again, as it was (it gives up on a TLS broker that
    // died); what came before stays.
    bool restart()
    {
        read();
        end();
        read();
        m_process.start(QStringLiteral("mosquitto_sub"), m_arguments);
        return m_process.waitForStarted(5000);
    }

    // Every message so far on topics under `prefix`, in order of arrival.
    QList<Message> messages(const QString &prefix)
    {
        read();
        QList<Message> result;
        for (const QByteArray &line : m_output.split('\n')) {
            const int space = line.indexOf(' ');
            if (space > 0 && line.startsWith(prefix.toUtf8()))
                result.append({QString::fromUtf8(line.left(space)), line.mid(space + 1)});
        }
        return result;
    }
    QByteArray raw() { read(); return m_output + m_pending; }
    QList<QJsonObject> objects(const QString &topic)
    {
        QList<QJsonObject> result;
        for (const Message &message : messages(topic)) {
            if (message.topic == topic)
                result << QJsonDocument::fromJson(message.payload).object();
        }
        return result;
    }
    QList<QByteArray> payloads(const QString &topic)
    {
        QList<QByteArray> result;
        for (const Message &message : messages(topic)) {
            if (message.topic == topic)
                result << message.payload;
        }
        return result;
    }

    template <typename Condition>
    bool waitFor(Condition done, int timeoutMs = RunTimeoutMs)
    {
        const QDeadlineTimer deadline(timeoutMs);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            if (!m_process.waitForReadyRead(50))
                QTest::qWait(10); // it may have ended
            read();
        }
        return true;
    }

private:
    void read()
    {
        // Whole lines only.
        m_pending += m_process.readAll();
        const int end = m_pending.lastIndexOf('\n');
        if (end >= 0) {
            m_output += m_pending.left(end + 1);
            m_pending.remove(0, end + 1);
        }
    }

    QProcess m_process;
    QStringList m_arguments;
    QByteArray m_output;
    QByteArray m_pending;
};

// What the replayed capture shows, reading by reading, over and over.
struct Shown {
    const char *digits;
    const char *unit;
    bool negative;
    double baseValue; // NaN: null
    const char *baseUnit;
};
const Shown ShownCycle[] = {
    {"3.446", "V", false, 3.446, "V"},
    {"512.3", "mV", true, -0.5123, "V"},
    {"2.190", "MΩ", false, 2190000, "Ω"},
    {"1.000", "kΩ", false, 1000, "Ω"},
    {"0.L", "MΩ", false, qQNaN(), "Ω"},
    {"25.00", "uA", false, 0.000025, "A"},
};
const int ShownCount = int(sizeof ShownCycle / sizeof ShownCycle[0]);

// A capture of `readings` frames, one a tick, as the live recorder writes it.
void writeReplayCapture(const QString &path, int readings)
{
    CaptureWriter writer;
    writer.open(path, QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::OffsetFromUTC, 3600), 100,
                QStringLiteral("/dev/ttyUSB0"));
    for (int i = 0; i < readings; ++i) {
        const Shown &shown = ShownCycle[i % ShownCount];
        MeterDisplay display;
        display.digits = QString::fromUtf8(shown.digits);
        display.unit = QString::fromUtf8(shown.unit);
        display.minus = shown.negative;
        display.dc = display.autoRange = true;
        QByteArray frame;
        encodeFrame(display, &frame);
        writer.received(i * 100 + 3, frame);
        writer.tick(i * 100 + 50);
    }
    writer.close();
}

// The reading numbers of a journal, in order.
QList<qint64> journalNumbers(const QString &path)
{
    QList<qint64> numbers;
    const QVector<QStringList> records = readCsvRecords(path);
    for (int i = 1; i < records.size(); ++i) {
        if (!records[i].value(0).startsWith('#'))
            numbers << records[i].value(0).toLongLong();
    }
    return numbers;
}

// The readings' numbers in order of first arrival, as a consumer that
// de-duplicates by run and number sees them.
QList<qint64> firstArrivals(const QList<QJsonObject> &readings)
{
    QList<qint64> numbers;
    QSet<QString> seen;
    for (const QJsonObject &reading : readings) {
        const QString key = reading["run"].toString() + '/' + QString::number(reading["seq"].toVariant().toLongLong());
        if (!seen.contains(key)) {
            seen.insert(key);
            numbers << reading["seq"].toVariant().toLongLong();
        }
    }
    return numbers;
}

// The readings a consumer keeps that drops every reading whose number is not
// above the last it kept: all of them only when nothing newer came first.
QList<qint64> keptInOrder(const QList<QJsonObject> &readings)
{
    QList<qint64> numbers;
    for (const QJsonObject &reading : readings) {
        const qint64 seq = reading["seq"].toVariant().toLongLong();
        if (numbers.isEmpty() || seq > numbers.last())
            numbers << seq;
    }
    return numbers;
}

// The processor time a running process has used, in seconds.
double cpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // After "(name) ": state is field 3, utime and stime fields 14 and 15.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(sysconf(_SC_CLK_TCK));
}

// Home Assistant's sensor device classes and the units it takes for each.
const QHash<QString, QStringList> &deviceClassUnits()
{
    static const QHash<QString, QStringList> units{
        {"voltage", {"V", "mV", "µV", "kV", "MV"}},
        {"current", {"A", "mA", "µA"}},
        {"frequency", {"Hz", "kHz", "MHz", "GHz"}},
        {"temperature", {"°C", "°F", "K"}},
    };
    return units;
}

bool run(const QString &program, const QStringList &arguments, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    return process.waitForFinished(RunTimeoutMs) && process.exitStatus() == QProcess::NormalExit
        && process.exitCode() == 0;
}

} // namespace

class tst_Mqtt : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_simulator;

    QString file(const QString &name) const { return m_folder.filePath(name); }

    // Runs the recorder to its end; its exit status (-1: it did not end), its standard error.
    static int record(const QStringList &arguments, QByteArray *err = nullptr,
                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        return runOwnProgram(QStringLiteral(RAVELO_RECORD), arguments, RunTimeoutMs, err, nullptr,
                             environment);
    }

    QString startSimulator()
    {
        m_simulator = std::make_unique<QProcess>();
        return startMeterSimulator(m_simulator.get(), {"--rate", "10"});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        // A certificate authority, the broker's certificate for 127.0.0.1 signed by it, a user with a password.
        const QString dir = m_folder.path();
        QVERIFY(run("openssl", {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key", "-out",
                                "ca.pem", "-days", "2", "-subj", "/CN=Ravelo test CA"}, dir));
        QVERIFY(run("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "server.key", "-out",
                                "server.csr", "-subj", "/CN=127.0.0.1"}, dir));
        QVERIFY(writeFile(file("san.cnf"), "subjectAltName=IP:127.0.0.1\n"));
        QVERIFY(run("openssl", {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                                "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "san.cnf"}, dir));
        // A certificate of the same authority for another host.
        QVERIFY(run("openssl", {"req", "-newkey", "rsa:2048", "-nodes", "-keyout", "other.key", "-out",
                                "other.csr", "-subj", "/CN=other.example"}, dir));
        QVERIFY(writeFile(file("other.cnf"), "subjectAltName=DNS:other.example\n"));
        QVERIFY(run("openssl", {"x509", "-req", "-in", "other.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
                                "-CAcreateserial", "-out", "other.pem", "-days", "2", "-extfile", "other.cnf"}, dir));
        QVERIFY(run("mosquitto_passwd", {"-b", "-c", "passwd", "lab", Password}, dir));
        QVERIFY(writeFile(file("wrong-password"), "not the password\n"));
        writeReplayCapture(file("replay.cap"), 240);
    }

    void cleanup()
    {
        if (m_simulator) {
            m_simulator->terminate();
            m_simulator->waitForFinished(5000);
            m_simulator.reset();
        }
        for (const char *name : {"run.csv", "broker.conf", "mosquitto.db"})
            QFile::remove(file(QString::fromLatin1(name)));
    }

    // Every reading of a replayed capture reaches the broker in order with
    // the JSON-lines fields, its number, the run and its value without prefix,
    // between the start and stop events and the online and offline status.
    void replayPublishesEveryReading()
    {
        Broker broker(m_folder.path(), "allow_anonymous true\npersistence false");
        QVERIFY2(broker.start(), broker.log().constData());
        Subscriber subscriber;
        QVERIFY(subscriber.start(broker.port(), "lab/#"));

        QByteArray err;
        QCOMPARE(record({"--replay", file("replay.cap"), "-o", file("run.csv"), "-q", "--name", "bench3",
                         "--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(broker.port())},
                        &err),
                 0);
        QVERIFY(subscriber.waitFor([&] { return subscriber.payloads("lab/bench3/status").contains("offline"); }));

        const QVector<QStringList> rows = readCsvRecords(file("run.csv"));
        QCOMPARE(rows.size(), 241);
        const QList<QJsonObject> readings = subscriber.objects("lab/bench3/reading");
        QCOMPARE(readings.size(), 240);
        const QString runId = readings.first()["run"].toString();
        QCOMPARE(runId.size(), 36);
        const QStringList keys{"base_unit", "base_value", "flags", "function", "n", "run",
                               "seq", "text", "time", "unit", "value"};
        for (int i = 0; i < readings.size(); ++i) {
            const QJsonObject &reading = readings[i];
            const QStringList &row = rows[i + 1];
            const Shown &shown = ShownCycle[i % ShownCount];
            QCOMPARE(reading.keys(), keys);
            QCOMPARE(reading["seq"].toVariant().toLongLong(), i + 1);
            QCOMPARE(reading["n"].toVariant().toLongLong(), i + 1);
            QCOMPARE(reading["run"].toString(), runId);
            QCOMPARE(QStringList({reading["function"].toString(), reading["text"].toString(),
                                  reading["unit"].toString()}),
                     row.mid(1, 3));
            QCOMPARE(reading["base_unit"].toString(), QString::fromUtf8(shown.baseUnit));
            if (qIsNaN(shown.baseValue))
                QVERIFY(reading["base_value"].isNull());
            else
                QCOMPARE(reading["base_value"].toDouble(), shown.baseValue);
        }
        QCOMPARE(subscriber.payloads("lab/bench3/status"), QList<QByteArray>({"online", "offline"}));
        const QList<QJsonObject> events = subscriber.objects("lab/bench3/event");
        QCOMPARE(events.size(), 2);
        QCOMPARE(events[0]["event"].toString(), QStringLiteral("start"));
        QCOMPARE(events[1]["event"].toString(), QStringLiteral("stop"));
        QCOMPARE(events[1]["readings"].toInt(), 240);
        QCOMPARE(events[1]["run"].toString(), runId);
        // The start before the first reading, the stop after the last.
        const QList<Message> all = subscriber.messages("lab/bench3/");
        QVERIFY(all.at(1).payload.contains("\"start\""));
        QVERIFY(all.at(all.size() - 2).payload.contains("\"stop\""));
    }

    // The broker away in the middle of a live run (killed, frozen with its
    // sockets open, or not there yet when the run starts), then back: the
    // readings wait and follow in order, nothing newer before an older one,
    // and a consumer that drops what came twice has every reading of the
    // journal. Over TLS too, where the client library's own loop gives up
    // after such a death. Meanwhile the recorder idles: its processor time
    // stays far below the outage's (a loose bound; the benchmark has figures).
    void brokerOutage_data()
    {
        QTest::addColumn<bool>("tls");
        QTest::addColumn<QString>("outage"); // killed, frozen, absent
        QTest::addColumn<int>("outageMs");
        QTest::addColumn<QString>("told");   // what standard error says of it
        QTest::newRow("killed for 30 s") << false << "killed" << BrokerOutageMs << "lost the MQTT broker";
        QTest::newRow("TLS with a login, killed for 3 s") << true << "killed" << 3000 << "lost the MQTT broker";
        QTest::newRow("TLS with a login, not there yet for 12 s")
            << true << "absent" << 12000 << "yet (the connection was refused)";
        // Past the 40 s of silence (two keep-alive periods) after which the
        // connection is given up and made again.
        QTest::newRow("TLS with a login, frozen for 50 s") << true << "frozen" << 50000 << "(no answer in 40 s)";
    }

    void brokerOutage()
    {
        QFETCH(bool, tls);
        QFETCH(QString, outage);
        QFETCH(int, outageMs);
        QFETCH(QString, told);
        // The subscriber's session survives the broker's death: what comes
        // while it reconnects waits for it.
        QString config = QStringLiteral("persistence true\npersistence_location %1/\nautosave_interval 1\n"
                                        "max_queued_messages 0\n")
                             .arg(m_folder.path());
        config += tls ? QStringLiteral("allow_anonymous false\npassword_file %1/passwd\ncafile %1/ca.pem\n"
                                       "certfile %1/server.pem\nkeyfile %1/server.key")
                            .arg(m_folder.path())
                      : QStringLiteral("allow_anonymous true");
        const QStringList login = tls ? QStringList{"--cafile", file("ca.pem"), "-u", "lab", "-P", Password}
                                      : QStringList();
        QFile::remove(m_folder.path() + "/mosquitto.db"); // an earlier row's
        Broker broker(m_folder.path(), config);
        QVERIFY2(broker.start(), broker.log().constData());
        Subscriber subscriber;
        QVERIFY(subscriber.start(broker.port(), "lab/#", login, {"-c", "-i", "ravelo-test-outage"}));
        // The broker saves the subscriber's session (autosave_interval 1)
        // before it goes down: a restarted broker that did not know it would
        // hand the readings sent while the subscriber reconnects to nobody.
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo(m_folder.path() + "/mosquitto.db").size() > 0, 15000);
        QTest::qWait(1500);
        if (outage == "absent")
            broker.kill();

        const QString port = startSimulator();
        QVERIFY(!port.isEmpty());
        QProcess recorder;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("RAVELO_MQTT_PASSWORD", Password);
        recorder.setProcessEnvironment(environment);
        startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD),
                                   QStringList{port, "-i", "0.2", "-o", file("run.csv"), "-q", "--name", "live", "--mqtt",
                                               tls ? QStringLiteral("mqtts://lab@127.0.0.1:%1/lab").arg(broker.port())
                                                   : QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(broker.port())}
                                       + (tls ? QStringList{"--mqtt-ca", file("ca.pem")} : QStringList()));
        if (outage != "absent") {
            QVERIFY(subscriber.waitFor([&] { return subscriber.objects("lab/live/reading").size() >= 10; }));
            if (outage == "frozen")
                broker.freeze();
            else
                broker.kill();
        } else {
            QVERIFY(recorder.waitForStarted());
        }
        const double cpuBefore = cpuSeconds(recorder.processId());
        QTest::qWait(outageMs);
        const double cpu = cpuSeconds(recorder.processId()) - cpuBefore;
        const int recordedDuringOutage = journalNumbers(file("run.csv")).size();
        if (outage == "frozen") {
            broker.thaw();
        } else {
            QVERIFY2(broker.start(), broker.log().constData());
            // The session kept what came for the subscriber meanwhile.
            QVERIFY(subscriber.restart());
        }
        QVERIFY2(subscriber.waitFor([&] {
            return firstArrivals(subscriber.objects("lab/live/reading")).size() >= recordedDuringOutage + 10;
        }), subscriber.raw().right(300).constData());

        recorder.terminate();
        QVERIFY(recorder.waitForFinished(RunTimeoutMs));
        const QByteArray err = recorder.readAllStandardError();
        QCOMPARE(recorder.exitCode(), 0);
        QVERIFY2(err.contains(told.toUtf8()), err.constData());
        QVERIFY2(err.contains(outage == "absent" ? "accepted the connection: publishing under lab/live/"
                                                 : "answers again"), err.constData());
        QVERIFY2(err.contains("MQTT: ") && !err.contains("did not reach"), err.constData());
        QVERIFY2(cpu < 0.2 * outageMs / 1000, qPrintable(QStringLiteral("%1 s of processor time").arg(cpu)));
        QVERIFY(subscriber.waitFor([&] { return !subscriber.objects("lab/live/event").isEmpty()
                && subscriber.objects("lab/live/event").last()["event"] == "stop"; }));

        const QList<qint64> journal = journalNumbers(file("run.csv"));
        QVERIFY(journal.size() > recordedDuringOutage);
        QCOMPARE(firstArrivals(subscriber.objects("lab/live/reading")), journal);
        QCOMPARE(keptInOrder(subscriber.objects("lab/live/reading")), journal);
    }

    // A recorder that dies leaves "offline" on its status through its last will.
    void killedRecorderGoesOffline()
    {
        Broker broker(m_folder.path(), "allow_anonymous true\npersistence false");
        QVERIFY2(broker.start(), broker.log().constData());
        Subscriber subscriber;
        QVERIFY(subscriber.start(broker.port(), "lab/k/status"));
        const QString port = startSimulator();
        QVERIFY(!port.isEmpty());
        QProcess recorder;
        startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD),
                                   {port, "-i", "0.2", "-q", "--name", "k", "--mqtt",
                                    QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(broker.port())});
        QVERIFY(subscriber.waitFor([&] { return subscriber.payloads("lab/k/status") == QList<QByteArray>{"online"}; }));
        recorder.kill();
        recorder.waitForFinished(5000);
        QVERIFY(subscriber.waitFor(
            [&] { return subscriber.payloads("lab/k/status") == QList<QByteArray>({"online", "offline"}); }, 10000));
        // Retained: a subscriber that comes later is told too.
        Subscriber later;
        QVERIFY(later.start(broker.port(), "lab/k/status"));
        QVERIFY(later.waitFor([&] { return later.payloads("lab/k/status") == QList<QByteArray>{"offline"}; }, 10000));
    }

    // A broker out of reach is tried again after 1, 2, 4, then 8 s.
    void reconnectBackOff()
    {
        // Takes each connection and closes it at once, without a word.
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QList<qint64> attempts;
        QElapsedTimer clock;
        QObject::connect(&server, &QTcpServer::newConnection, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                attempts << clock.elapsed();
                socket->abort();
                socket->deleteLater();
            }
        });
        const QString port = startSimulator();
        QVERIFY(!port.isEmpty());
        QProcess recorder;
        clock.start();
        startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD),
                        {port, "-q", "--name", "b", "--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(server.serverPort())});
        // The waits between attempts (a closer look may follow the first at once).
        QList<qint64> waits;
        const auto measure = [&] {
            waits.clear();
            for (int i = 1; i < attempts.size(); ++i) {
                if (attempts[i] - attempts[i - 1] > 500)
                    waits << attempts[i] - attempts[i - 1];
            }
            return waits.size() >= 4;
        };
        QTRY_VERIFY_WITH_TIMEOUT(measure(), 25000);
        recorder.kill();
        recorder.waitForFinished(5000);
        const QList<qint64> expected{1000, 2000, 4000, 8000};
        for (int i = 0; i < 4; ++i)
            QVERIFY2(qAbs(waits[i] - expected[i]) < 700, qPrintable(QStringLiteral("wait %1: %2 ms").arg(i).arg(waits[i])));
    }

    // Readings dropped from the full queue while the broker was away are
    // counted at the end, with the readings delivered, and the exit status is 1
    // though the broker took everything that was left.
    void queueOverflowFails()
    {
        const int readings = 270000; // beyond the queue's 259,200
        writeReplayCapture(file("long.cap"), readings);
        Broker broker(m_folder.path(), "allow_anonymous true\npersistence false\nmax_queued_messages 0");
        QProcess recorder;
        startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD),
                        {"--replay", file("long.cap"), "-q", "--name", "o", "--mqtt",
                         QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(broker.port())});
        // The broker starts once the whole capture waits for it.
        QByteArray err;
        const QDeadlineTimer deadline(RunTimeoutMs);
        while (!err.contains("waiting for the MQTT broker") && !deadline.hasExpired()) {
            recorder.waitForReadyRead(100);
            err += recorder.readAllStandardError();
        }
        QVERIFY2(err.contains("to take the 259198 readings and 1 event left"), err.constData());
        QVERIFY2(broker.start(), broker.log().constData());
        QVERIFY(recorder.waitForFinished(RunTimeoutMs));
        err += recorder.readAllStandardError();
        QCOMPARE(recorder.exitCode(), 1);
        // The start event and 10,802 readings made way for the note that says
        // so and for the stop event.
        QVERIFY2(err.contains("the MQTT queue is full (259200 readings)"), err.constData());
        QVERIFY2(err.endsWith("ravelo-record: MQTT: 259198 readings and 1 event published; 10802 readings and "
                              "1 event did not reach the broker 127.0.0.1:" + QByteArray::number(broker.port())
                              + " (10802 readings and 1 event dropped from the full queue)\n"),
                 err.constData());
    }

    // --mqtt-discovery: the configuration of each sensor, retained, as Home
    // Assistant's MQTT discovery reads it; the value's names the unit of the
    // readings that follow it, with a device class only where it fits.
    void homeAssistantDiscovery()
    {
        Broker broker(m_folder.path(), "allow_anonymous true\npersistence false");
        QVERIFY2(broker.start(), broker.log().constData());
        Subscriber subscriber;
        QVERIFY(subscriber.start(broker.port(), "#"));
        QByteArray err;
        QCOMPARE(record({"--replay", file("replay.cap"), "-n", "12", "-q", "--name", "bench.3", "--high", "5",
                         "--mqtt", QStringLiteral("mqtt://127.0.0.1:%1/lab").arg(broker.port()), "--mqtt-discovery"},
                        &err),
                 0);
        QVERIFY(subscriber.waitFor([&] { return subscriber.payloads("lab/bench.3/status").contains("offline"); }));

        // In order of arrival: each reading's unit is the one the value's last configuration named.
        QString unit;
        int readings = 0;
        QSet<QString> units;
        for (const Message &message : subscriber.messages("")) {
            const QJsonObject object = QJsonDocument::fromJson(message.payload).object();
            if (message.topic == "homeassistant/sensor/ravelo_bench_3_value/config") {
                unit = object["unit_of_measurement"].toString();
                units << unit;
            } else if (message.topic == "lab/bench.3/reading") {
                QCOMPARE(object["base_unit"].toString(), unit);
                ++readings;
            }
        }
        QCOMPARE(readings, 12);
        QCOMPARE(units, QSet<QString>({"V", "Ω", "A"}));

        // Retained: a consumer that comes later finds the sensors, valid.
        Subscriber later;
        QVERIFY(later.start(broker.port(), "homeassistant/#"));
        QVERIFY(later.waitFor([&] { return later.messages("homeassistant/").size() >= 3; }, 10000));
        QStringList topics;
        for (const Message &message : later.messages("homeassistant/")) {
            topics << message.topic;
            QJsonParseError error;
            const QJsonObject config = QJsonDocument::fromJson(message.payload, &error).object();
            QVERIFY2(error.error == QJsonParseError::NoError, message.payload.constData());
            for (const char *key : {"name", "unique_id", "state_topic", "availability_topic", "device"})
                QVERIFY2(config.contains(key), qPrintable(message.topic + ": no " + key));
            QVERIFY(message.topic.endsWith('/' + config["unique_id"].toString() + "/config"));
            QVERIFY(QRegularExpression("^[A-Za-z0-9_-]+$").match(config["unique_id"].toString()).hasMatch());
            QCOMPARE(config["availability_topic"].toString(), QStringLiteral("lab/bench.3/status"));
            QCOMPARE(config["payload_not_available"].toString(), QStringLiteral("offline"));
            QVERIFY(!config["device"].toObject()["identifiers"].toArray().isEmpty());
            const QString deviceClass = config["device_class"].toString();
            if (!deviceClass.isEmpty())
                QVERIFY2(deviceClassUnits().value(deviceClass).contains(config["unit_of_measurement"].toString()),
                         message.payload.constData());
        }
        topics.sort();
        QCOMPARE(topics, QStringList({"homeassistant/sensor/ravelo_bench_3_function/config",
                                      "homeassistant/sensor/ravelo_bench_3_limit/config",
                                      "homeassistant/sensor/ravelo_bench_3_value/config"}));
    }

    // TLS with the test's own authority and a user with a password: the
    // right password publishes, anything else ends the start with a clear
    // message, exit status 1 and no journal.
    void tlsAndLogin_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("password"); // in the environment; empty: unset
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("certificate"); // the broker's

        QTest::newRow("the password from the environment")
            << QStringList{"--mqtt-ca", "@/ca.pem"} << Password << 0 << "" << "server";
        QTest::newRow("a wrong password from a file")
            << QStringList{"--mqtt-ca", "@/ca.pem", "--mqtt-password-file", "@/wrong-password"} << Password << 1
            << "ravelo-record: the MQTT broker 127.0.0.1:%1 refused the login of lab: not authorised\n" << "server";
        QTest::newRow("no password") << QStringList{"--mqtt-ca", "@/ca.pem"} << "" << 1
                                     << "refused the login of lab" << "server";
        QTest::newRow("a certificate from an unknown authority")
            << QStringList{} << Password << 1
            << "TLS with the MQTT broker 127.0.0.1:%1 failed: its certificate is not signed by an authority this "
               "system trusts" << "server";
        QTest::newRow("a certificate for another host")
            << QStringList{"--mqtt-ca", "@/ca.pem"} << Password << 1
            << "TLS with the MQTT broker 127.0.0.1:%1 failed: its certificate is for another host, not 127.0.0.1\n"
            << "other";
        QTest::newRow("plain MQTT to the TLS port")
            << QStringList{"--mqtt", "mqtt://127.0.0.1:%1/lab"} << Password << 1
            << "the MQTT broker 127.0.0.1:%1 speaks TLS on this port: use mqtts://\n" << "server";
    }

    void tlsAndLogin()
    {
        QFETCH(QStringList, options);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QString, message);
        QFETCH(QString, certificate);

        Broker broker(m_folder.path(), QStringLiteral("allow_anonymous false\npersistence false\n"
                                                      "password_file %1/passwd\ncafile %1/ca.pem\n"
                                                      "certfile %1/%2.pem\nkeyfile %1/%2.key")
                                           .arg(m_folder.path(), certificate));
        QVERIFY2(broker.start(), broker.log().constData());
        options.replaceInStrings("@", m_folder.path());
        options.replaceInStrings("%1", QString::number(broker.port()));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("RAVELO_MQTT_PASSWORD");
        if (!password.isEmpty())
            environment.insert("RAVELO_MQTT_PASSWORD", password);
        QByteArray err;
        QCOMPARE(record(QStringList{"--replay", file("replay.cap"), "-n", "12", "-o", file("run.csv"), "-q",
                                    "--name", "tls", "--mqtt",
                                    QStringLiteral("mqtts://lab@127.0.0.1:%1/lab").arg(broker.port())}
                            + options,
                        &err, environment),
                 status);
        if (message.contains("%1"))
            message = message.arg(broker.port());
        QVERIFY2(err.contains(message.toUtf8()), err.constData());
        QCOMPARE(QFile::exists(file("run.csv")), status == 0);
        if (status == 0)
            QVERIFY2(err.contains("12 readings"), err.constData());
    }
};

QTEST_GUILESS_MAIN(tst_Mqtt)
#include "tst_mqtt.moc"
