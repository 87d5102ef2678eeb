// How fast ravelo-record --mqtt publishes, and what a reading costs while the
// broker is away.
//
// 1. A capture of N frames (default 200,000) is replayed, as
//    `ravelo-record --replay CAPTURE --mqtt ...` does, to a mosquitto of the
//    bench's own on 127.0.0.1; the clock stops when the broker has
//    acknowledged every reading. Reported: readings per second (wall clock,
//    the broker on the same machine) and the processor time of the recorder.
// 2. M readings (default 500,000) go to a broker nobody answers for; the
//    growth of the resident memory divided by M is the cost of one queued
//    reading.
//
// Needs the mosquitto program. Usage: mqttbench [--frames N] [--queued M]
#include "benchtools.h"
#include "capturereplay.h"
#include "mqttoutput.h"
#include "recordoutput.h"

#include "meter/frameencoder.h"
#include "capture/capturewriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

const qint64 FramePeriodMs = 100;
const int FirstBrokerPort = 28830;
const int BrokerPortsTried = 50;

QList<QByteArray> someFrames()
{
    QList<QByteArray> frames;
    const char *const units[] = {"V", "mV", "kΩ", "MΩ", "uA"};
    for (int i = 0; i < 100; ++i) {
        MeterDisplay display;
        display.digits = QString::asprintf("%d.%03d", i % 6, (i * 37) % 1000);
        display.unit = QString::fromUtf8(units[i % 5]);
        display.dc = display.autoRange = true;
        QByteArray frame;
        encodeFrame(display, &frame);
        frames << frame;
    }
    return frames;
}

// Resident memory in kB, from Linux's /proc; 0 elsewhere.
qint64 residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

// A broker of our own; its port, or 0.
int startBroker(QProcess *broker, const QString &folder)
{
    for (int port = FirstBrokerPort; port < FirstBrokerPort + BrokerPortsTried; ++port) {
        QFile config(folder + QStringLiteral("/broker.conf"));
        if (!config.open(QIODevice::WriteOnly))
            return 0;
        config.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\nuser root\n"
                                    "log_type error\n")
                         .arg(port)
                         .toUtf8());
        config.close();
        broker->start(QStringLiteral("mosquitto"), {"-c", config.fileName()});
        if (!broker->waitForStarted(5000))
            return 0;
        if (!broker->waitForFinished(500))
            return port; // still running: it listens
    }
    return 0;
}

void publishRate(const QString &folder, qint64 frames)
{
    QProcess broker;
    const int port = startBroker(&broker, folder);
    if (port == 0) {
        std::fprintf(stderr, "cannot start mosquitto\n");
        return;
    }
    const QString capture = folder + QStringLiteral("/bench.cap");
    writeBenchCapture(capture, frames, FramePeriodMs, someFrames());

    MqttTarget target;
    target.host = QStringLiteral("127.0.0.1");
    target.port = port;
    target.prefix = QStringLiteral("bench");
    target.meter = QStringLiteral("m");
    MqttOutput mqtt(target, QString());
    QString error;
    QElapsedTimer wall;
    wall.start();
    const std::clock_t processor = std::clock();
    if (!mqtt.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }
    mqtt.setPaced(true);
    RecordOutput output;
    output.open(QString(), RecorderOptions::Format::None, nullptr);
    output.addSink(&mqtt);
    CaptureReplay::Settings settings;
    settings.path = capture;
    if (CaptureReplay::run(settings, &output, &error) != CaptureReplay::Result::Done)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    if (!mqtt.finish(QStringLiteral("bench"), output.summary().readings(), 0, &error))
        std::fprintf(stderr, "%s\n", qPrintable(error));
    const double seconds = wall.elapsed() / 1000.0;
    const double processorSeconds = double(std::clock() - processor) / CLOCKS_PER_SEC;
    std::printf("published and acknowledged: %lld of %lld readings in %.2f s: %.0f readings/s "
                "(recorder's processor time %.2f s)\n",
                mqtt.published(), frames, seconds, mqtt.published() / seconds, processorSeconds);
    broker.terminate();
    broker.waitForFinished(5000);
    QFile::remove(capture);
}

void queuedMemory(qint64 readings)
{
    MqttTarget target;
    target.host = QStringLiteral("127.0.0.1");
    target.port = 1; // nobody answers
    target.meter = QStringLiteral("m");
    MqttOutput mqtt(target, QString(), readings + 10);
    QString error;
    if (!mqtt.start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return;
    }
    const QList<QByteArray> variety = someFrames();
    QList<MeterReading> meterReadings;
    for (const QByteArray &frame : variety)
        meterReadings << *MeterReading::fromFrame(frame);
    // Dated as the recorder dates them: with a fixed offset from UTC.
    const QDateTime now = QDateTime::currentDateTime();
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(now.toMSecsSinceEpoch(), Qt::OffsetFromUTC,
                                                           now.offsetFromUtc());
    const qint64 before = residentKb();
    for (qint64 n = 1; n <= readings; ++n)
        mqtt.addReading({n, start.addMSecs(n * 1000), meterReadings.at(int(n % meterReadings.size()))});
    const qint64 after = residentKb();
    std::printf("queued while the broker is away: %lld readings, %.1f MB more resident, %.0f bytes each\n",
                mqtt.queued(), (after - before) / 1024.0, (after - before) * 1024.0 / double(readings));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    qint64 frames = 200000;
    qint64 queued = 500000;
    for (int i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments.at(i) == QLatin1String("--frames"))
            frames = arguments.at(i + 1).toLongLong();
        else if (arguments.at(i) == QLatin1String("--queued"))
            queued = arguments.at(i + 1).toLongLong();
    }
    QTemporaryDir folder;
    publishRate(folder.path(), frames);
    queuedMemory(queued);
    return 0;
}
