// ravelo-record writing to a real InfluxDB 1.x (influxd), which the test
// starts on free loopback ports with a data folder of its own, stops and
// starts again; what arrived is read back over HTTP.

#include "influxline.h"
#include "influxoutput.h"

#include "meter/frameencoder.h"
#include "meter/meterreading.h"
#include "capture/capturewriter.h"
#include "support/metersimulator.h"
#include "support/testfiles.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const int RunTimeoutMs = 60000;
const int HttpTimeoutMs = 10000;
const QDateTime CaptureStart(QDate(2026, 12, 7), QTime(9, 0), Qt::OffsetFromUTC, 3600);
const qint64 FramePeriodMs = 100;
const qint64 TickAfterMs = 50;

// A loopback port nobody listens on (at the moment of asking).
quint16 freePort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

// One influxd with its own configuration, data folder and ports, which stay
// the same across stops and starts.
class InfluxServer
{
public:
    // `auth`: every request but /ping needs a user; the first, an
    // administrator, is made by login().
    explicit InfluxServer(const QString &folder, bool auth = false) : m_folder(folder), m_auth(auth) {}
    ~InfluxServer() { stop(); }

    bool start()
    {
        if (m_httpPort == 0) {
            m_httpPort = freePort();
            const quint16 rpcPort = freePort();
            const QString config = QStringLiteral(
                "reporting-disabled = true\n"
                "bind-address = \"127.0.0.1:%1\"\n"
                "[meta]\n  dir = \"%2/meta\"\n"
                "[data]\n  dir = \"%2/data\"\n  wal-dir = \"%2/wal\"\n"
                "[http]\n  bind-address = \"127.0.0.1:%3\"\n  auth-enabled = %4\n  log-enabled = false\n")
                .arg(rpcPort).arg(m_folder).arg(m_httpPort).arg(m_auth ? "true" : "false");
            if (!writeFile(m_folder + QStringLiteral("/influxdb.conf"), config.toUtf8()))
                return false;
        }
        m_process = std::make_unique<QProcess>();
        m_process->setStandardOutputFile(QProcess::nullDevice());
        m_process->setStandardErrorFile(m_folder + QStringLiteral("/influxd.log"), QIODevice::Append);
        m_process->start(QStringLiteral("influxd"), {"-config", m_folder + QStringLiteral("/influxdb.conf")});
        if (!m_process->waitForStarted(10000))
            return false;
        const QDeadlineTimer deadline(20000);
        while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
            int status = 0;
            request("/ping", QByteArray(), &status);
            if (status == 204)
                return true;
            QTest::qWait(100);
        }
        return false;
    }

    void stop()
    {
        if (!m_process)
            return;
        m_process->terminate();
        if (!m_process->waitForFinished(15000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
        m_process.reset();
    }

    QString url(const QString &database) const
    {
        return QStringLiteral("http://127.0.0.1:%1/%2").arg(m_httpPort).arg(database);
    }

    // Makes the administrator `user` (only the first user may be made
    // without one), who makes the requests from now on.
    bool login(const QString &user, const QString &password)
    {
        if (!execute(QStringLiteral("CREATE USER \"%1\" WITH PASSWORD '%2' WITH ALL PRIVILEGES").arg(user, password)))
            return false;
        m_login = "Basic " + (user + ':' + password).toUtf8().toBase64();
        return true;
    }

    bool execute(const QString &statement)
    {
        int status = 0;
        request("/query", "q=" + QUrl::toPercentEncoding(statement), &status);
        return status == 200;
    }

    // Line protocol written as curl or Telegraf would write it; the HTTP status.
    int write(const QString &database, const QByteArray &lines)
    {
        int status = 0;
        request("/write?precision=ms&db=" + QUrl::toPercentEncoding(database), lines, &status);
        return status;
    }

    // The rows of the query's first series, times in milliseconds, each row
    // as an object by column name.
    QList<QJsonObject> select(const QString &database, const QString &query)
    {
        int status = 0;
        const QByteArray answer = request("/query", "epoch=ms&db=" + QUrl::toPercentEncoding(database)
                                              + "&q=" + QUrl::toPercentEncoding(query), &status);
        const QJsonObject series = QJsonDocument::fromJson(answer)
                                       .object()["results"].toArray().at(0)
                                       .toObject()["series"].toArray().at(0).toObject();
        const QJsonArray columns = series["columns"].toArray();
        QList<QJsonObject> rows;
        for (const QJsonValue &values : series["values"].toArray()) {
            QJsonObject row;
            for (int i = 0; i < columns.size(); ++i)
                row[columns.at(i).toString()] = values.toArray().at(i);
            rows << row;
        }
        return rows;
    }

private:
    // A GET without a body, else a POST; the answer's body.
    QByteArray request(const QByteArray &pathAndQuery, const QByteArray &body, int *status)
    {
        QNetworkRequest request(QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_httpPort) + pathAndQuery));
        request.setTransferTimeout(HttpTimeoutMs);
        if (!m_login.isEmpty())
            request.setRawHeader("Authorization", m_login);
        request.setHeader(QNetworkRequest::ContentTypeHeader,
                          pathAndQuery.startsWith("/query") ? "application/x-www-form-urlencoded" : "text/plain");
        QNetworkReply *reply = body.isNull() ? m_network.get(request) : m_network.post(request, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        *status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        const QByteArray answer = reply->readAll();
        reply->deleteLater();
        return answer;
    }

    QString m_folder;
    bool m_auth = false;
    QByteArray m_login;
    quint16 m_httpPort = 0;
    std::unique_ptr<QProcess> m_process;
    QNetworkAccessManager m_network;
};

// Frames of every kind the database sees: plain, negative, prefixed units
// in UTF-8, a unit-less function with a space in its name, an overload.
QList<QByteArray> varietyOfFrames()
{
    struct Shown {
        const char *digits, *unit;
        bool minus, dc;
    };
    const Shown shown[] = {{"3.446", "V", false, true},  {"0.512", "V", true, true},
                           {"2.190", "MΩ", false, false}, {"0.L", "kΩ", false, false},
                           {"1.234", "nF", false, false}, {"50.0", "%", false, false},
                           {"44.27", "mA", true, true}};
    QList<QByteArray> frames;
    for (const Shown &s : shown) {
        MeterDisplay display;
        display.digits = QString::fromUtf8(s.digits);
        display.unit = QString::fromUtf8(s.unit);
        display.minus = s.minus;
        display.dc = s.dc;
        display.autoRange = true;
        QByteArray frame;
        encodeFrame(display, &frame);
        frames << frame;
    }
    return frames;
}

// A capture of `count` frames as the live recorder writes it: one frame, then
// a poll tick, every 100 ms; frame i is frames[i % size].
QString writeCapture(const QString &path, const QList<QByteArray> &frames, int count)
{
    CaptureWriter writer;
    writer.open(path, CaptureStart, int(FramePeriodMs), QStringLiteral("/dev/ttyUSB0"));
    for (int i = 0; i < count; ++i) {
        writer.received(i * FramePeriodMs + 3, frames.at(i % frames.size()));
        writer.tick(i * FramePeriodMs + TickAfterMs);
    }
    writer.close();
    return path;
}

// The seq fields of the rows.
QList<qint64> seqs(const QList<QJsonObject> &rows)
{
    QList<qint64> out;
    for (const QJsonObject &row : rows)
        out << qint64(row["seq"].toDouble());
    return out;
}

QList<qint64> range(qint64 first, qint64 last)
{
    QList<qint64> out;
    for (qint64 i = first; i <= last; ++i)
        out << i;
    return out;
}

} // namespace

class tst_Influx : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_folder;
    std::unique_ptr<InfluxServer> m_server;

    QString file(const QString &name) const { return m_folder.filePath(name); }

    // Runs the recorder to its end; its exit status, standard error and output.
    static int record(const QStringList &arguments, QByteArray *err, QByteArray *out = nullptr,
                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
    {
        return runOwnProgram(QStringLiteral(RAVELO_RECORD), arguments, RunTimeoutMs, err, out, environment);
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("influxd")).isEmpty())
            QSKIP("influxd is not installed (Debian's influxdb)");
    }

    void init()
    {
        const bool auth = QTest::currentTestFunction() == QByteArray("loginFromOutside");
        m_server = std::make_unique<InfluxServer>(m_folder.path() + QStringLiteral("/influx-")
                                                  + QTest::currentTestFunction() + QTest::currentDataTag(), auth);
        QVERIFY(m_server->start());
        QVERIFY(!auth || m_server->login("admin", "s3cret: x"));
        QVERIFY(m_server->execute("CREATE DATABASE lab"));
    }

    void cleanup() { m_server.reset(); }

    // A replayed capture, more than two batches long: every reading arrives
    // with its own time, tags and fields; its --format influx output, posted
    // as curl would, writes the same points.
    void replayedCaptureArrivesWhole()
    {
        const QList<QByteArray> frames = varietyOfFrames();
        const int count = 2 * InfluxOutput::MaxBatchLines + 321;
        const QString capture = writeCapture(file("whole.cap"), frames, count);
        QByteArray err, out;
        QCOMPARE(record({"--replay", capture, "--influx", m_server->url("lab"), "--name", "bench 3",
                         "--format", "influx"}, &err, &out), 0);
        QVERIFY2(err.contains(QStringLiteral("InfluxDB: %1 readings written\n").arg(count).toUtf8()),
                 err.constData());

        const QList<QJsonObject> rows = m_server->select("lab", "SELECT * FROM ravelo ORDER BY time");
        QCOMPARE(rows.size(), count);
        for (int i = 0; i < count; ++i) {
            const MeterReading reading = *MeterReading::fromFrame(frames.at(i % frames.size()));
            const QJsonObject &row = rows.at(i);
            const auto where = [&] { return QStringLiteral("row %1: %2").arg(i).arg(
                                         QString::fromUtf8(QJsonDocument(row).toJson(QJsonDocument::Compact))); };
            QVERIFY2(row["time"].toDouble() == CaptureStart.toMSecsSinceEpoch() + i * FramePeriodMs + TickAfterMs,
                     qPrintable(where()));
            QVERIFY2(row["seq"].toDouble() == i + 1 && row["meter"].toString() == "bench 3"
                         && row["function"].toString() == reading.functionText
                         && row["unit"].toString() == reading.unitText
                         && row["flags"].toString() == reading.annunciatorWords().join(' '),
                     qPrintable(where()));
            const std::optional<double> value = reading.number();
            QVERIFY2(value ? row["value"].toDouble() == *value : row["value"].isNull(), qPrintable(where()));
            QVERIFY2(value ? qFuzzyCompare(row["base_value"].toDouble(), *reading.baseValue())
                           : row["base_value"].isNull(),
                     qPrintable(where()));
        }

        QVERIFY(m_server->execute("CREATE DATABASE piped"));
        QCOMPARE(m_server->write("piped", out), 204);
        QCOMPARE(m_server->select("piped", "SELECT * FROM ravelo ORDER BY time"), rows);
    }

    // The database away for a while in the middle of a live run: the
    // readings wait and arrive later, each once.
    void databaseAwayMidRun_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QByteArray>("message"); // when it went away
        QTest::newRow("the server stopped and started again") << "lab" << QByteArray("InfluxDB: cannot write to");
        QTest::newRow("the database made 1.5 s into the run")
            << "late" << QByteArray("(HTTP 404: database not found: \"late\"); trying again, readings wait");
    }

    void databaseAwayMidRun()
    {
        QFETCH(QString, database);
        QFETCH(QByteArray, message);
        QProcess simulator;
        const QString port = startMeterSimulator(&simulator, {"--rate", "10"});
        QVERIFY(!port.isEmpty());
        const int count = 80;
        QProcess recorder;
        startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD),
                       {port, "-i", "0.1", "-n", QString::number(count), "--influx", m_server->url(database), "-q"});
        QVERIFY(recorder.waitForStarted());
        QByteArray err;
        if (database == "lab") {
            QTRY_VERIFY_WITH_TIMEOUT(m_server->select("lab", "SELECT seq FROM ravelo").size() >= 5, 20000);
            m_server->stop();
            QTest::qWait(2500);
            QVERIFY(m_server->start());
        } else {
            QTRY_VERIFY_WITH_TIMEOUT((err += recorder.readAllStandardError()).contains(message), 20000);
            QVERIFY(m_server->execute("CREATE DATABASE " + database));
        }
        QVERIFY(recorder.waitForFinished(RunTimeoutMs));
        simulator.terminate();
        simulator.waitForFinished(5000);

        err += recorder.readAllStandardError();
        QCOMPARE(recorder.exitCode(), 0);
        QVERIFY2(err.contains(message) && err.contains("InfluxDB takes writes again")
                     && err.contains(QStringLiteral("InfluxDB: %1 readings written\n").arg(count).toUtf8()),
                 err.constData());
        QCOMPARE(seqs(m_server->select(database, "SELECT seq FROM ravelo ORDER BY time")), range(1, count));
    }

    // While the database is away, the oldest readings make room for new ones.
    void aFullQueueDropsTheOldest()
    {
        m_server->stop();
        QString error;
        InfluxOutput::Settings settings;
        settings.writeUrl = *InfluxLine::writeUrl(m_server->url("lab"), &error);
        settings.meter = QStringLiteral("m");
        settings.maxQueued = 5;
        InfluxOutput output(settings);
        QStringList messages;
        connect(&output, &InfluxOutput::message, this, [&messages](const QString &text) { messages << text; });
        const MeterReading reading = *MeterReading::fromFrame(varietyOfFrames().first());
        for (int n = 1; n <= 12; ++n)
            output.addReading({n, CaptureStart.addMSecs(n * FramePeriodMs), reading});
        QTRY_VERIFY_WITH_TIMEOUT(messages.join('\n').contains("cannot write"), 10000);

        QVERIFY(m_server->start());
        output.finish();
        QCOMPARE(output.written(), 5);
        QCOMPARE(output.notWritten(), 7);
        QVERIFY2(output.summaryText().contains("7 dropped while it was away"), qPrintable(output.summaryText()));
        QVERIFY2(messages.join('\n').contains("the oldest are dropped"), qPrintable(messages.join('\n')));
        QCOMPARE(seqs(m_server->select("lab", "SELECT seq FROM ravelo ORDER BY time")), range(8, 12));
    }

    // Readings that never reach the database are counted, and the run fails.
    void whatDoesNotArriveIsSaid_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QByteArray>("before");  // written to the database first, @ the capture's start
        QTest::addColumn<QByteArray>("message"); // on standard error
        QTest::addColumn<QByteArray>("summary");

        QTest::newRow("nothing listens")
            << "@" << QByteArray() << QByteArray("InfluxDB: cannot write to")
            << QByteArray("InfluxDB: 0 readings written; 12 did not reach the database (12 left unsent)");
        QTest::newRow("a field of another type in the database")
            << "lab" << QByteArray("ravelo,meter=x seq=\"text\" @")
            << QByteArray("InfluxDB refused a batch of 12 readings (HTTP 400: partial write: field type conflict")
            << QByteArray("InfluxDB: 0 readings written; 12 did not reach the database (12 refused by it)");
    }

    void whatDoesNotArriveIsSaid()
    {
        QFETCH(QString, database);
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, message);
        QFETCH(QByteArray, summary);
        QString url = m_server->url(database);
        if (database == "@")
            url = QStringLiteral("http://127.0.0.1:%1/lab").arg(freePort());
        before.replace('@', QByteArray::number(CaptureStart.toMSecsSinceEpoch()));
        if (!before.isEmpty())
            QCOMPARE(m_server->write(database, before), 204);

        const QString capture = writeCapture(file("short.cap"), varietyOfFrames(), 12);
        QByteArray err;
        QCOMPARE(record({"--replay", capture, "--influx", url, "-q"}, &err), 1);
        QVERIFY2(err.contains(message) && err.contains(summary), err.constData());
    }

    // An influxd that wants a login: the user and password come from the
    // environment or a file, never the command line.
    void loginFromOutside_data()
    {
        QTest::addColumn<QString>("user"); // "@": in the address; "" none
        QTest::addColumn<QString>("password"); // ">" first: in a file
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("message");
        const QByteArray written = "InfluxDB: 12 readings written\n";
        QTest::newRow("the user in the address, the password from a file")
            << "@admin" << ">s3cret: x" << 0 << written;
        QTest::newRow("user and password from the environment") << "admin" << "s3cret: x" << 0 << written;
        QTest::newRow("a wrong password") << "admin" << ">wrong" << 1
            << QByteArray("(HTTP 401: authorization failed); trying again, readings wait");
        QTest::newRow("no login") << "" << "" << 1 << QByteArray("(HTTP 401: unable to parse authentication credentials)");
        QTest::newRow("a password in the address") << "@admin:s3cret" << "" << 2
            << QByteArray("--influx takes no password: set RAVELO_INFLUX_PASSWORD or use --influx-password-file\n");
    }

    void loginFromOutside()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(int, status);
        QFETCH(QByteArray, message);
        QString url = m_server->url("lab");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"RAVELO_INFLUX_USER", "RAVELO_INFLUX_PASSWORD", "RAVELO_INFLUX_TOKEN"})
            environment.remove(name);
        if (user.startsWith('@'))
            url.replace("http://", "http://" + user.mid(1) + '@');
        else if (!user.isEmpty())
            environment.insert("RAVELO_INFLUX_USER", user);
        QStringList arguments{"--replay", writeCapture(file("login.cap"), varietyOfFrames(), 12), "--influx", url, "-q"};
        if (password.startsWith('>')) {
            QVERIFY(writeFile(file("password"), password.mid(1).toUtf8() + "\nnot this line\n"));
            arguments << "--influx-password-file" << file("password");
        } else if (!password.isEmpty()) {
            environment.insert("RAVELO_INFLUX_PASSWORD", password);
        }

        QByteArray err;
        QCOMPARE(record(arguments, &err, nullptr, environment), status);
        QVERIFY2(err.contains(message), err.constData());
        QVERIFY2(!err.contains("s3cret"), err.constData());
        QCOMPARE(m_server->select("lab", "SELECT seq FROM ravelo").size(), status == 0 ? 12 : 0);
    }
};

QTEST_GUILESS_MAIN(tst_Influx)
#include "tst_influx.moc"
