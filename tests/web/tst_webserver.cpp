// ravelo-record --http end to end: the real program recording the meter
// simulator on a pseudo-terminal, or replaying a capture, asked over
// loopback as a browser, a scraper and misbehaving clients ask it.

#include "support/metersimulator.h"
#include "support/testfiles.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

#include <signal.h>
#include <sys/resource.h>

namespace {

const int WaitMs = 30000;

struct Answer {
    int status = 0;                          // 0: no answer (closed)
    QMap<QByteArray, QByteArray> headers;    // names in lower case
    QByteArray body;
};

// Sends `request` as it is and reads the answer to the end of the connection.
Answer exchange(quint16 port, const QByteArray &request)
{
    Answer answer;
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(WaitMs))
        return answer;
    socket.write(request);
    QByteArray bytes;
    const QDeadlineTimer deadline(WaitMs);
    while (socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
        socket.waitForReadyRead(100);
        bytes += socket.readAll();
    }
    bytes += socket.readAll();
    const int end = bytes.indexOf("\r\n\r\n");
    if (end < 0)
        return answer;
    const QList<QByteArray> lines = bytes.left(end).split('\n');
    answer.status = lines.first().split(' ').value(1).toInt();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        answer.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    answer.body = bytes.mid(end + 4);
    return answer;
}

Answer get(quint16 port, const QByteArray &path, const QByteArray &headers = QByteArray(),
           const QByteArray &method = "GET")
{
    return exchange(port, method + ' ' + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n");
}

QJsonObject json(const QByteArray &text)
{
    return QJsonDocument::fromJson(text).object();
}

struct Event {
    qint64 id = -1;
    QByteArray name;
    QJsonObject data;
};

// A client of /events: reads the stream as it comes.
class EventClient
{
public:
    bool open(quint16 port, qint64 lastEventId = -1)
    {
        m_socket.connectToHost(QStringLiteral("127.0.0.1"), port);
        if (!m_socket.waitForConnected(WaitMs))
            return false;
        QByteArray request = "GET /events HTTP/1.0\r\nHost: 127.0.0.1\r\nAccept: text/event-stream\r\n";
        if (lastEventId >= 0)
            request += "Last-Event-ID: " + QByteArray::number(lastEventId) + "\r\n";
        m_socket.write(request + "\r\n");
        return true;
    }
    void close() { m_socket.abort(); }
    bool closed() const { return m_socket.state() != QAbstractSocket::ConnectedState; }

    // Reads until `done` holds for what came, the stream ends or WaitMs pass.
    template <typename Done>
    bool readUntil(Done done)
    {
        const QDeadlineTimer deadline(WaitMs);
        while (!done(events)) {
            if (deadline.hasExpired() || (closed() && m_socket.bytesAvailable() == 0))
                return false;
            m_socket.waitForReadyRead(50);
            m_buffer += m_socket.readAll();
            parse();
        }
        return true;
    }

    QVector<Event> events;
    QByteArray headers;

private:
    void parse()
    {
        if (headers.isEmpty()) {
            const int end = m_buffer.indexOf("\r\n\r\n");
            if (end < 0)
                return;
            headers = m_buffer.left(end);
            m_buffer.remove(0, end + 4);
        }
        for (int end; (end = m_buffer.indexOf("\n\n")) >= 0; m_buffer.remove(0, end + 2)) {
            Event event;
            for (const QByteArray &line : m_buffer.left(end).split('\n')) {
                if (line.startsWith("id: "))
                    event.id = line.mid(4).toLongLong();
                else if (line.startsWith("event: "))
                    event.name = line.mid(7);
                else if (line.startsWith("data: "))
                    event.data = json(line.mid(6));
            }
            if (!event.name.isEmpty())
                events << event;
        }
    }

    QTcpSocket m_socket;
    QByteArray m_buffer;
};

bool hasEvent(const QVector<Event> &events, const QByteArray &name)
{
    for (const Event &event : events) {
        if (event.name == name)
            return true;
    }
    return false;
}

// The families of a Prometheus text as Python's Prometheus client parses
// them (it refuses what breaks the format's rules): {sample name: value}
// with the labels in the name; *error when it refused.
QMap<QString, double> parseMetrics(const QByteArray &text, QString *error)
{
    static const char script[] =
        "import sys, json\n"
        "from prometheus_client.parser import text_string_to_metric_families\n"
        "out = {}\n"
        "for family in text_string_to_metric_families(sys.stdin.read()):\n"
        "    for s in family.samples:\n"
        "        labels = ','.join('%s=%s' % kv for kv in sorted(s.labels.items()) if kv[0] != 'meter')\n"
        "        out['%s{%s}' % (s.name, labels)] = s.value\n"
        "print(json.dumps(out))\n";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script)});
    python.write(text);
    python.closeWriteChannel();
    python.waitForFinished(WaitMs);
    QMap<QString, double> samples;
    if (python.exitCode() != 0) {
        *error = QString::fromUtf8(python.readAllStandardError());
        return samples;
    }
    const QJsonObject parsed = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    for (auto it = parsed.begin(); it != parsed.end(); ++it)
        samples.insert(it.key(), it.value().toDouble());
    return samples;
}

} // namespace

class tst_WebServer : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    std::unique_ptr<QProcess> m_simulator;
    // Replays of one capture kept serving: without and with a token.
    QProcess m_open, m_guarded;
    quint16 m_openPort = 0, m_guardedPort = 0;

    QString file(const QString &name) const { return m_folder.filePath(name); }

    // Starts the recorder with --http on a free port; the port it says, 0
    // when it did not say one.
    static quint16 startRecorder(QProcess *recorder, const QStringList &arguments)
    {
        recorder->setReadChannel(QProcess::StandardError);
        startOwnProgram(recorder, QStringLiteral(RAVELO_RECORD), arguments + QStringList{"--http", "127.0.0.1:0"});
        const QRegularExpression said(QStringLiteral("the live page is at http://127\\.0\\.0\\.1:(\\d+)/"));
        QByteArray err;
        const QDeadlineTimer deadline(WaitMs);
        while (!deadline.hasExpired() && recorder->state() != QProcess::NotRunning) {
            recorder->waitForReadyRead(50);
            err += recorder->readAllStandardError();
            const QRegularExpressionMatch match = said.match(QString::fromUtf8(err));
            if (match.hasMatch())
                return quint16(match.captured(1).toUInt());
        }
        qWarning() << "recorder said:" << err;
        return 0;
    }

    // Waits for the replay's "decoded" line.
    static bool waitForDecoded(QProcess *recorder)
    {
        QByteArray err;
        const QDeadlineTimer deadline(WaitMs);
        while (!err.contains("the capture is decoded") && !deadline.hasExpired()
               && recorder->state() == QProcess::Running) {
            recorder->waitForReadyRead(50);
            err += recorder->readAllStandardError();
        }
        return err.contains("the capture is decoded");
    }

    static int endRun(QProcess *recorder)
    {
        if (recorder->state() == QProcess::Running)
            ::kill(pid_t(recorder->processId()), SIGTERM);
        if (!recorder->waitForFinished(WaitMs)) {
            recorder->kill();
            recorder->waitForFinished();
            return -1;
        }
        return recorder->exitStatus() == QProcess::NormalExit ? recorder->exitCode() : -1;
    }

    QString startSimulator(const QStringList &arguments)
    {
        m_simulator = std::make_unique<QProcess>();
        return startMeterSimulator(m_simulator.get(), arguments);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_folder.isValid());
        // Half an hour of readings at one a second with a gap, replayed.
        QCOMPARE(runOwnProgram(QStringLiteral(RAVELO_MONTH_CAPTURE), {"--days", "0.02", file("run.cap")}, WaitMs),
                 0);
        QVERIFY(writeFile(file("token"), "s3cret-Token_42\n"));
        m_openPort = startRecorder(&m_open, {"--replay", file("run.cap"), "-o", file("Messung Gerät.csv"), "-q",
                                             "--low", "4", "--high", "6"});
        QVERIFY(m_openPort);
        m_guardedPort = startRecorder(&m_guarded, {"--replay", file("run.cap"), "-q",
                                                   "--http-token-file", file("token")});
        QVERIFY(m_guardedPort);
        QVERIFY(waitForDecoded(&m_open));
        QVERIFY(waitForDecoded(&m_guarded));
    }

    void cleanupTestCase()
    {
        // A replay keeps serving until told to stop, then ends well.
        QCOMPARE(endRun(&m_open), 0);
        QCOMPARE(endRun(&m_guarded), 0);
    }

    void cleanup()
    {
        if (m_simulator) {
            m_simulator->terminate();
            m_simulator->waitForFinished(5000);
            m_simulator.reset();
        }
    }

    // Every reading of the run reaches the stream once, in order, numbered
    // as the journal numbers it, also across a reconnect that sends the last
    // event's id: the ones taken meanwhile come from memory.
    void streamMatchesTheJournal_data()
    {
        QTest::addColumn<int>("reconnectAfter"); // the reading after which the client goes away; 0: never
        QTest::newRow("one connection") << 0;
        QTest::newRow("a reconnect with Last-Event-ID") << 10;
    }

    void streamMatchesTheJournal()
    {
        QFETCH(int, reconnectAfter);
        const QString port = startSimulator({"--rate", "20"});
        QVERIFY(!port.isEmpty());
        const QString csv = file(QStringLiteral("stream-%1.csv").arg(reconnectAfter));
        QProcess recorder;
        const quint16 http = startRecorder(&recorder, {port, "-i", "0.1", "-n", "40", "-o", csv, "-q"});
        QVERIFY(http);

        QVector<Event> events;
        auto client = std::make_unique<EventClient>();
        QVERIFY(client->open(http, 0));
        if (reconnectAfter > 0) {
            QVERIFY(client->readUntil([&](const QVector<Event> &seen) {
                return !seen.isEmpty() && seen.last().data.value("seq").toInt() >= reconnectAfter;
            }));
            events = client->events;
            client.reset();
            // Readings go on meanwhile.
            QTest::qWait(500);
            client = std::make_unique<EventClient>();
            QVERIFY(client->open(http, events.last().id));
        }
        QVERIFY(client->readUntil([](const QVector<Event> &seen) { return hasEvent(seen, "stop"); }));
        QVERIFY2(client->headers.contains("Content-Type: text/event-stream"), client->headers.constData());
        events += client->events;
        QCOMPARE(endRun(&recorder), 0);

        QStringList streamed;
        for (int i = 0; i < events.size(); ++i) {
            QCOMPARE(events[i].id, qint64(i + 1)); // every event once, in order
            if (events[i].name == "reading")
                streamed << QStringLiteral("%1 %2").arg(events[i].data.value("seq").toInt())
                                .arg(events[i].data.value("time").toString());
        }
        QStringList journal;
        const QVector<QStringList> records = readCsvRecords(csv);
        for (int i = 1; i < records.size(); ++i)
            journal << records[i][0] + ' ' + records[i][5];
        QCOMPARE(journal.size(), 40);
        QCOMPARE(streamed, journal);
    }

    // The link as the page sees it: recording, lost at a hang-up (with the
    // gap), waiting while the port is opened again, recording once data
    // flows; the stop at the end.
    void linkChangesAreEvents()
    {
        const QString port = startSimulator({"--rate", "20", "--hangup-after", "1", "--reopen-after", "0.5",
                                             "--link", file("meter")});
        QVERIFY(!port.isEmpty());
        QProcess recorder;
        const quint16 http = startRecorder(&recorder, {file("meter"), "-i", "0.1", "-q"});
        QVERIFY(http);
        EventClient client;
        QVERIFY(client.open(http, 0));
        const auto readingAfterGap = [](const QVector<Event> &seen) {
            bool gap = false;
            for (const Event &event : seen) {
                gap = gap || event.name == "gap";
                if (gap && event.name == "reading")
                    return true;
            }
            return false;
        };
        QVERIFY(client.readUntil(readingAfterGap));
        QCOMPARE(json(get(http, "/api/status").body).value("gaps").toInt(), 1);
        QCOMPARE(endRun(&recorder), 0);
        QVERIFY(client.readUntil([](const QVector<Event> &seen) { return hasEvent(seen, "stop"); }));

        QStringList changes; // the link's states and the gap, in order
        for (const Event &event : client.events) {
            if (event.name == "link")
                changes << event.data.value("state").toString();
            else if (event.name == "gap" || event.name == "stop")
                changes << QString::fromLatin1(event.name);
        }
        QCOMPARE(changes.join(' '), QStringLiteral("recording lost gap waiting recording stop stopped"));
    }

    // What each address answers: the page's files, the API, the journal,
    // and a clean refusal for anything else.
    void requests_data()
    {
        QTest::addColumn<QByteArray>("request"); // "METHOD PATH" and extra header lines
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QByteArray>("words"); // in the body
        QTest::newRow("the page") << QByteArray("GET /") << 200 << QByteArray("text/html; charset=utf-8") << QByteArray("<!DOCTYPE html>");
        QTest::newRow("its script") << QByteArray("GET /app.js") << 200 << QByteArray("text/javascript; charset=utf-8") << QByteArray();
        QTest::newRow("its style") << QByteArray("GET /style.css") << 200 << QByteArray("text/css; charset=utf-8") << QByteArray();
        QTest::newRow("the chart library") << QByteArray("GET /vendor/uPlot.iife.min.js") << 200 << QByteArray("text/javascript; charset=utf-8") << QByteArray();
        QTest::newRow("the status") << QByteArray("GET /api/status") << 200 << QByteArray("application/json") << QByteArray("\"readings\":1728,");
        QTest::newRow("HEAD") << QByteArray("HEAD /api/status") << 200 << QByteArray("application/json") << QByteArray();
        QTest::newRow("an unknown path") << QByteArray("GET /admin") << 404 << QByteArray("text/plain; charset=utf-8") << QByteArray("nothing at /admin");
        QTest::newRow("a path out of the page's folder") << QByteArray("GET /../../etc/passwd") << 404 << QByteArray("text/plain; charset=utf-8") << QByteArray();
        QTest::newRow("POST") << QByteArray("POST /api/status\r\nContent-Length: 5\r\n\r\nhello") << 405 << QByteArray("text/plain; charset=utf-8") << QByteArray("GET and HEAD");
        QTest::newRow("DELETE") << QByteArray("DELETE /recording.csv") << 405 << QByteArray("text/plain; charset=utf-8") << QByteArray("not DELETE");
        QTest::newRow("history: columns out of range") << QByteArray("GET /api/history?columns=0") << 400 << QByteArray("text/plain; charset=utf-8") << QByteArray("from 1 to 10000");
        QTest::newRow("history: not a number") << QByteArray("GET /api/history?from=yesterday") << 400 << QByteArray("text/plain; charset=utf-8") << QByteArray("whole numbers");
        QTest::newRow("history: backwards") << QByteArray("GET /api/history?from=20&to=10") << 400 << QByteArray("text/plain; charset=utf-8") << QByteArray("before");
        QTest::newRow("an oversized header") << QByteArray("GET /\r\nX-Padding: " + QByteArray(64 * 1024, 'a')) << 431 << QByteArray() << QByteArray();
    }

    void requests()
    {
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        QFETCH(QByteArray, type);
        QFETCH(QByteArray, words);
        const int firstEnd = request.indexOf("\r\n");
        const QByteArray first = firstEnd < 0 ? request : request.left(firstEnd);
        QByteArray rest = firstEnd < 0 ? QByteArray() : request.mid(firstEnd + 2);
        QByteArray body;
        if (rest.contains("\r\n\r\n")) {
            body = rest.mid(rest.indexOf("\r\n\r\n") + 4);
            rest = rest.left(rest.indexOf("\r\n\r\n"));
        }
        const Answer answer = exchange(m_openPort, first + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n"
                                                       + (rest.isEmpty() ? QByteArray() : rest + "\r\n") + "\r\n" + body);
        QCOMPARE(answer.status, status);
        if (type.isEmpty())
            return;
        QCOMPARE(answer.headers.value("content-type"), type);
        QVERIFY(answer.body.contains(words));
        QCOMPARE(answer.headers.value("cache-control"), QByteArray("no-cache"));
        QVERIFY(answer.headers.value("content-security-policy").startsWith("default-src 'self'"));
        if (status == 405)
            QCOMPARE(answer.headers.value("allow"), QByteArray("GET, HEAD"));
        if (first.startsWith("HEAD"))
            QVERIFY(answer.body.isEmpty());
    }

    // The journal as written, under its own name; the run's history, whole
    // and decimated; the metrics by the rules of their format.
    void servesTheRun()
    {
        const Answer journal = get(m_openPort, "/recording.csv");
        QCOMPARE(journal.status, 200);
        QCOMPARE(journal.headers.value("content-type"), QByteArray("text/csv; charset=utf-8"));
        // Its own name, and a stand-in in ASCII for clients that want one.
        QCOMPARE(journal.headers.value("content-disposition"),
                 QByteArray("attachment; filename=\"Messung Ger_t.csv\"; filename*=UTF-8''Messung%20Ger%C3%A4t.csv"));
        QCOMPARE(journal.body, readFile(file("Messung Gerät.csv")));

        const QJsonObject status = json(get(m_openPort, "/api/status").body);
        QCOMPARE(status.value("readings").toInt(), 1728);
        QCOMPARE(status.value("gaps").toInt(), 1);
        QCOMPARE(status.value("file").toString(), QStringLiteral("Messung Gerät.csv"));
        QCOMPARE(status.value("link").toObject().value("state").toString(), QStringLiteral("stopped"));
        QCOMPARE(status.value("reading").toObject().value("seq").toInt(), 1728);
        const QJsonObject range = status.value("range").toObject();

        const QJsonObject history = json(get(m_openPort, "/api/history?columns=1440").body);
        QCOMPARE(history.value("range").toObject(), range);
        const QJsonArray series = history.value("series").toArray();
        QCOMPARE(series.size(), 1);
        QCOMPARE(series[0].toObject().value("unit").toString(), QStringLiteral("V"));
        const QJsonArray runs = series[0].toObject().value("runs").toArray();
        QCOMPARE(runs.size(), 2); // broken at the gap
        int points = 0;
        for (const QJsonValue &run : runs)
            points += run.toObject().value("t").toArray().size();
        // First, lowest, highest and last per column: fewer than the readings.
        QVERIFY2(points > 2 && points < 1728, qPrintable(QString::number(points)));
        // A zoom: the readings of ten minutes, every one of them (fewer than the columns).
        const qint64 first = qint64(range.value("first").toDouble());
        const QJsonObject zoom = json(get(m_openPort, QStringLiteral("/api/history?from=%1&to=%2&columns=1000")
                                                         .arg(first).arg(first + 599999).toUtf8()).body);
        QCOMPARE(zoom.value("series").toArray()[0].toObject().value("runs").toArray()[0].toObject()
                     .value("t").toArray().size(), 601); // and the one after, for the line to the edge

        QString error;
        const QMap<QString, double> metrics = parseMetrics(get(m_openPort, "/metrics").body, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(metrics.value("ravelo_readings_total{}"), 1728.0);
        QCOMPARE(metrics.value("ravelo_gaps_total{}"), 1.0);
        QCOMPARE(metrics.value("ravelo_link_up{}", -1), 0.0);
        QCOMPARE(metrics.value("ravelo_limit_high{unit=V}"), 6.0);
        double states = 0;
        for (const char *state : {"ok", "low", "high"})
            states += metrics.value(QStringLiteral("ravelo_limit_state{state=%1}").arg(state), -1);
        QCOMPARE(states, 1.0);
        QVERIFY(metrics.contains("ravelo_reading{function=DC,unit=V}"));
    }

    // With a token, nothing without it: as a bearer, as the cookie the
    // page's first load sets, compared whole.
    void tokens_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("headers");
        QTest::addColumn<int>("status");
        QTest::newRow("none") << QByteArray("/api/status") << QByteArray() << 401;
        QTest::newRow("none, the page") << QByteArray("/") << QByteArray() << 401;
        QTest::newRow("none, the stream") << QByteArray("/events") << QByteArray() << 401;
        QTest::newRow("a wrong bearer") << QByteArray("/api/status") << QByteArray("Authorization: Bearer s3cret-Token_41\r\n") << 401;
        QTest::newRow("a prefix of it") << QByteArray("/api/status") << QByteArray("Authorization: Bearer s3cret\r\n") << 401;
        QTest::newRow("longer") << QByteArray("/api/status") << QByteArray("Authorization: Bearer s3cret-Token_42x\r\n") << 401;
        QTest::newRow("the right bearer") << QByteArray("/api/status") << QByteArray("Authorization: Bearer s3cret-Token_42\r\n") << 200;
        QTest::newRow("the right cookie") << QByteArray("/metrics") << QByteArray("Cookie: theme=dark; ravelo_token=s3cret-Token_42\r\n") << 200;
        QTest::newRow("a wrong cookie") << QByteArray("/metrics") << QByteArray("Cookie: ravelo_token=s3cret-Token_4\r\n") << 401;
        QTest::newRow("the right token in the address") << QByteArray("/?token=s3cret-Token_42") << QByteArray() << 303;
        QTest::newRow("a wrong token in the address") << QByteArray("/?token=guess") << QByteArray() << 401;
    }

    void tokens()
    {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, headers);
        QFETCH(int, status);
        const Answer answer = get(m_guardedPort, path, headers);
        QCOMPARE(answer.status, status);
        if (status == 401) {
            QCOMPARE(answer.headers.value("www-authenticate").left(6), QByteArray("Bearer"));
            QVERIFY(!answer.body.contains("s3cret"));
        }
        if (status == 303) {
            QCOMPARE(answer.headers.value("location"), QByteArray("./")); // "/" here
            const QByteArray cookie = answer.headers.value("set-cookie");
            QCOMPARE(cookie, QByteArray("ravelo_token=s3cret-Token_42; HttpOnly; SameSite=Strict; Path=/"));
            // The cookie opens the page it leads to.
            QCOMPARE(get(m_guardedPort, "/", "Cookie: " + cookie.left(cookie.indexOf(';')) + "\r\n").status, 200);
        }
    }

    // A thousand idle connections, a hundred clients sending their headers a
    // byte at a time and a stream: the recording goes on tick for tick, no
    // gap, and the server still answers.
    void crowdsLeaveTheRecordingOnTime()
    {
        rlimit files {};
        getrlimit(RLIMIT_NOFILE, &files);
        if (files.rlim_cur < 4096) {
            files.rlim_cur = std::min<rlim_t>(files.rlim_max, 4096);
            setrlimit(RLIMIT_NOFILE, &files);
        }
        if (files.rlim_cur < 2400)
            QSKIP("fewer than 2400 open files allowed");

        // Under an emulator (another architecture's build) the ticks are
        // further apart: its slowness is not what is tested.
        const int intervalMs = qEnvironmentVariableIsEmpty("RAVELO_TEST_EMULATOR") ? 200 : 500;
        const QString port = startSimulator({"--rate", "20"});
        QVERIFY(!port.isEmpty());
        const QString csv = file("crowd.csv");
        QProcess recorder;
        const quint16 http = startRecorder(&recorder, {port, "-i", QString::number(intervalMs / 1000.0), "-o", csv, "-q"});
        QVERIFY(http);
        EventClient stream;
        QVERIFY(stream.open(http));

        std::vector<std::unique_ptr<QTcpSocket>> idle, slow;
        for (int i = 0; i < 1100; ++i) {
            auto socket = std::make_unique<QTcpSocket>();
            socket->connectToHost(QStringLiteral("127.0.0.1"), http);
            (i < 1000 ? idle : slow).push_back(std::move(socket));
        }
        for (auto &socket : slow) {
            QVERIFY(socket->waitForConnected(WaitMs));
            socket->write("GET / HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
        }
        int connected = 0;
        for (auto &socket : idle)
            connected += socket->waitForConnected(WaitMs) ? 1 : 0;
        QCOMPARE(connected, 1000);
        // Five seconds of slow headers, a byte per client every half second.
        for (int round = 0; round < 10; ++round) {
            for (auto &socket : slow)
                socket->write("a");
            for (auto &socket : slow)
                socket->flush();
            QTest::qWait(500);
        }
        const Answer status = get(http, "/api/status");
        QCOMPARE(status.status, 200);
        QVERIFY(stream.readUntil([](const QVector<Event> &seen) { return seen.size() >= 5; }));
        idle.clear();
        slow.clear();
        QCOMPARE(endRun(&recorder), 0);

        const QVector<QStringList> records = readCsvRecords(csv);
        QVERIFY(records.size() > 5000 / intervalMs);
        QDateTime before;
        for (int i = 1; i < records.size(); ++i) {
            QVERIFY2(!records[i][0].startsWith('#'), qPrintable(records[i].join(','))); // no gap
            QCOMPARE(records[i][0], QString::number(i));
            // A tick lost would leave twice the interval between two rows.
            const QDateTime time = QDateTime::fromString(records[i][5], Qt::ISODateWithMs);
            if (before.isValid())
                QVERIFY2(before.msecsTo(time) < 2 * intervalMs - 20, qPrintable(records[i].join(',')));
            before = time;
        }
    }

    // Refused before anything is recorded: a wrong --http, a port taken, a
    // token file that will not do.
    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("words");
        QTest::newRow("a port out of range") << QStringList{"--http", "70000"} << 2 << "from 0 to 65535";
        QTest::newRow("a host name") << QStringList{"--http", "bench:8080"} << 2 << "not an IP address";
        QTest::newRow("a token without --http") << QStringList{"--http-token-file", "@token"} << 2 << "--http-token-file goes with --http";
        QTest::newRow("the port taken") << QStringList{"--http", "127.0.0.1:@taken"} << 1 << "another program uses that port";
        QTest::newRow("an address not this machine's") << QStringList{"--http", "192.0.2.7:0"} << 1 << "not an address of this machine";
        QTest::newRow("no token file") << QStringList{"--http", "0", "--http-token-file", "@none"} << 1 << "cannot read";
        QTest::newRow("a token with a space") << QStringList{"--http", "0", "--http-token-file", "@spaced"} << 2 << "not a usable token";
    }

    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, words);
        QVERIFY(writeFile(file("spaced"), "two words\n"));
        arguments.replaceInStrings("@taken", QString::number(m_openPort));
        arguments.replaceInStrings("@", m_folder.path() + '/');
        const QString port = startSimulator({"--rate", "10"});
        const QString csv = file("refused.csv");
        QByteArray err;
        QCOMPARE(runOwnProgram(QStringLiteral(RAVELO_RECORD), QStringList{port, "-o", csv, "-q"} + arguments,
                               WaitMs, &err), status);
        QVERIFY2(err.contains(words.toUtf8()), err.constData());
        QVERIFY(!err.contains("s3cret"));
        QVERIFY(!QFile::exists(csv));
    }
};

QTEST_GUILESS_MAIN(tst_WebServer)
#include "tst_webserver.moc"
