// The web server against a month of readings (2,678,400 at one a second,
// with a gap and a change of function), in one process:
// - the time to fill the live state, per reading (the recorder's cost);
// - GET /api/history over loopback for the whole month and for a zoomed day
//   at 1440 columns, and the decimation alone;
// - the longest time a reading took to add (what the recording thread
//   waits) with nobody asking, and while a client asks for the month's
//   history without a pause and another reads the event stream; the longest the server's calls that share the
//   recorder's lock take (what a reading can wait for at most, besides the
//   scheduler).
// Usage: bench/web/webbench [--readings N] [--runs N]
#include "benchtools.h"
#include "livestate.h"
#include "webserver.h"

#include "meter/frameencoder.h"
#include "meter/meterreading.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

const qint64 Start = 1793491200000; // 2026-11-01

MeterReading readingFor(double volts, bool resistance)
{
    MeterDisplay display;
    display.digits = QString::asprintf("%.3f", volts);
    display.unit = resistance ? QStringLiteral("kΩ") : QStringLiteral("V");
    display.dc = !resistance;
    QByteArray frame;
    encodeFrame(display, &frame);
    return *MeterReading::fromFrame(frame);
}

// GET path; the milliseconds until the whole answer came, -1 on failure.
double timedGet(quint16 port, const QByteArray &path, qint64 *bytes)
{
    QElapsedTimer timer;
    timer.start();
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(10000))
        return -1;
    socket.write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    QByteArray answer;
    while (socket.state() == QAbstractSocket::ConnectedState) {
        socket.waitForReadyRead(1000);
        answer += socket.readAll();
    }
    answer += socket.readAll();
    *bytes = answer.size();
    return answer.startsWith("HTTP/1.1 200") ? double(timer.nsecsElapsed()) / 1e6 : -1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Adds `count` readings from n on, a second apart; the time each took, in µs.
std::vector<double> addReadings(LiveState *state, qint64 n, qint64 count)
{
    std::vector<double> micros;
    micros.reserve(size_t(count));
    // A few hundred displays, in turn: building frames is not what is measured.
    static std::vector<MeterReading> volts, ohms;
    if (volts.empty()) {
        for (int i = 0; i < 500; ++i) {
            volts.push_back(readingFor(5.0 + 1.5 * std::sin(i / 80.0), false));
            ohms.push_back(readingFor(4.7 + 0.3 * std::sin(i / 50.0), true));
        }
    }
    QElapsedTimer timer;
    for (qint64 i = n; i < n + count; ++i) {
        RecordedReading recorded;
        recorded.n = i;
        recorded.time = QDateTime::fromMSecsSinceEpoch(Start + i * 1000, Qt::UTC);
        const bool resistance = (i / 86400) % 7 == 3 && (i % 86400) > 46800 && (i % 86400) < 61200;
        recorded.reading = resistance ? ohms[size_t(i % 500)] : volts[size_t(i % 500)];
        if (i == 1339200)
            state->addGap(recorded.time, QStringLiteral("link lost (no data for 3 intervals)"));
        timer.start();
        state->addReading(recorded);
        micros.push_back(double(timer.nsecsElapsed()) / 1e3);
    }
    return micros;
}

void printLatency(const char *what, std::vector<double> micros)
{
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[std::min(micros.size() - 1, size_t(q * double(micros.size())))]; };
    double sum = 0;
    for (const double m : micros)
        sum += m;
    std::printf("%s: mean %.2f µs, median %.2f µs, 99.9%% %.1f µs, max %.1f µs (%zu readings)\n", what,
                sum / double(micros.size()), at(0.5), at(0.999), micros.back(), micros.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qint64 readings = 2678400;
    int runs = 7;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--readings"))
            readings = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }

    LiveState::Run run;
    run.meter = QStringLiteral("bench3");
    LiveState state(run);
    WebServer server(&state);
    WebServer::Settings settings;
    QString error;
    if (!server.start(settings, &error)) {
        std::fprintf(stderr, "webbench: %s\n", qPrintable(error));
        return 1;
    }
    const long before = residentBytes();
    QElapsedTimer fill;
    fill.start();
    const std::vector<double> filling = addReadings(&state, 1, readings);
    const double fillMs = double(fill.nsecsElapsed()) / 1e6;
    state.updateHistory();
    std::printf("month: %lld readings added in %.0f ms; resident memory +%.0f MB (events ring, history)\n",
                qlonglong(readings), fillMs, double(residentBytes() - before) / 1048576.0);
    printLatency("adding a reading, nobody asking", filling);

    const qint64 last = Start + readings * 1000;
    const QByteArray day = "/api/history?from=" + QByteArray::number(last - 86400000) + "&to="
        + QByteArray::number(last) + "&columns=1440";
    struct Case {
        const char *name;
        QByteArray path;
    } cases[] = {{"whole month, 1440 columns", "/api/history?columns=1440"}, {"last day, 1440 columns", day}};
    for (const Case &c : cases) {
        std::vector<double> times;
        qint64 bytes = 0;
        for (int r = 0; r < runs; ++r)
            times.push_back(timedGet(server.port(), c.path, &bytes));
        std::printf("GET %s: median %.1f ms, min %.1f ms, %lld bytes (%d runs)\n", c.name, median(times),
                    *std::min_element(times.begin(), times.end()), qlonglong(bytes), runs);
    }
    {
        std::vector<double> times;
        for (int r = 0; r < runs; ++r) {
            QElapsedTimer timer;
            timer.start();
            const QByteArray json = state.historyJson(std::nullopt, std::nullopt, 1440);
            times.push_back(double(timer.nsecsElapsed()) / 1e6);
        }
        std::printf("decimation and JSON alone, whole month: median %.1f ms\n", median(times));
    }

    // The server's calls that take the lock the recorder takes: the longest
    // each took in all (an upper bound of the time it held the lock).
    {
        double events = 0, status = 0, metrics = 0;
        for (int r = 0; r < 200; ++r) {
            QElapsedTimer timer;
            QByteArray batch;
            timer.start();
            state.eventsFrom(state.lastEventId() - 2000, &batch, 64 * 1024);
            events = std::max(events, double(timer.nsecsElapsed()) / 1e3);
            timer.start();
            state.statusJson();
            status = std::max(status, double(timer.nsecsElapsed()) / 1e3);
            timer.start();
            state.metricsText();
            metrics = std::max(metrics, double(timer.nsecsElapsed()) / 1e3);
        }
        std::printf("longest server call under the recorder's lock: a 64 KB batch of events %.0f µs, "
                    "status %.0f µs, metrics %.0f µs (200 runs)\n", events, status, metrics);
    }

    // The recording thread while a client asks for the month without a pause.
    std::atomic<bool> asking{true};
    std::atomic<int> asked{0};
    std::thread client([&] {
        while (asking) {
            qint64 bytes = 0;
            timedGet(server.port(), "/api/history?columns=1440", &bytes);
            ++asked;
        }
    });
    // And a stream client reading every event.
    std::atomic<qint64> streamed{0};
    const qint64 lastBefore = state.lastEventId();
    std::thread listener([&] {
        QTcpSocket socket;
        socket.connectToHost(QStringLiteral("127.0.0.1"), server.port());
        if (!socket.waitForConnected(10000))
            return;
        // From the phase's first reading on, whenever this thread gets to connect.
        socket.write("GET /events HTTP/1.0\r\nHost: 127.0.0.1\r\nLast-Event-ID: " + QByteArray::number(lastBefore)
                     + "\r\n\r\n");
        QByteArray tail;
        while (asking) {
            socket.waitForReadyRead(100);
            tail += socket.readAll();
            // Whole events only; the rest waits for its end.
            const int end = tail.lastIndexOf("\n\n");
            if (end < 0)
                continue;
            streamed += tail.left(end).count("event: reading\n");
            tail = tail.mid(end + 2);
        }
    });
    const qint64 more = std::min<qint64>(readings, 200000);
    // At the pace of a fast meter, not flat out: 5,000 a second.
    std::vector<double> busy;
    busy.reserve(size_t(more));
    for (qint64 i = 0; i < more; i += 500) {
        const std::vector<double> part = addReadings(&state, readings + 1 + i, 500);
        busy.insert(busy.end(), part.begin(), part.end());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    // The stream catches up with the last readings.
    for (int wait = 0; wait < 50 && streamed < more; ++wait)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    asking = false;
    client.join();
    listener.join();
    printLatency("adding a reading while the month's history is asked for and a stream is read", busy);
    std::printf("  (%d history requests answered meanwhile; %lld of %lld readings streamed)\n", asked.load(),
                qlonglong(streamed.load()), qlonglong(more));
    server.stop();
    return 0;
}
