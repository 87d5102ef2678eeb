// How fast ravelo-record --replay decodes a capture.
//
// A capture of N frames (default 2,000,000) is written as the live recorder
// writes it: one frame received, then one poll tick, every 100 ms. It is then
// decoded twice through the recorder's own replay: with nothing written (the
// decode alone) and with the journal's CSV written to a file. Reported:
// frames per second of processor time of each, and the capture's size per
// frame.
//
// The idle cost of a live recorder is measured by bench/recorder/idle.sh.
//
// With --keep the capture stays in FOLDER as bench.cap (bench/recorder/influx.sh
// replays it into InfluxDB).
//
// Usage: recorderbench [--frames N] [--dir FOLDER] [--keep]
#include "benchtools.h"
#include "capturereplay.h"
#include "recordoutput.h"

#include "meter/frameencoder.h"
#include "capture/capturewriter.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

const qint64 FramePeriodMs = 100;

double decode(const QString &capture, const QString &csv, qint64 frames)
{
    RecordOutput output;
    if (!output.open(csv, RecorderOptions::Format::None, nullptr)) {
        std::fprintf(stderr, "%s\n", qPrintable(output.errorString()));
        return 0;
    }
    // Processor time: the machine may be busy with other work.
    const std::clock_t start = std::clock();
    QString error;
    if (CaptureReplay::run({capture, 0, 0, 0}, &output, &error) != CaptureReplay::Result::Done)
        std::fprintf(stderr, "%s\n", qPrintable(error));
    const double seconds = double(std::clock() - start) / CLOCKS_PER_SEC;
    if (output.summary().readings() != frames)
        std::fprintf(stderr, "decoded %lld readings of %lld frames\n",
                     output.summary().readings(), frames);
    return frames / seconds;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    qint64 frames = 2000000;
    QString folderPath;
    bool keep = false;
    for (int i = 1; i < arguments.size(); ++i) {
        if (arguments.at(i) == QLatin1String("--keep"))
            keep = true;
        else if (arguments.at(i) == QLatin1String("--frames") && i + 1 < arguments.size())
            frames = arguments.at(++i).toLongLong();
        else if (arguments.at(i) == QLatin1String("--dir") && i + 1 < arguments.size())
            folderPath = arguments.at(++i);
    }
    QTemporaryDir temporary;
    if (folderPath.isEmpty())
        folderPath = temporary.path();

    // Frames that differ, as a real session's do.
    QList<QByteArray> variety;
    for (int i = 0; i < 100; ++i) {
        MeterDisplay display;
        display.digits = QString::asprintf("%d.%03d", i % 6, (i * 37) % 1000);
        display.unit = QStringLiteral("V");
        display.dc = display.autoRange = true;
        QByteArray frame;
        encodeFrame(display, &frame);
        variety << frame;
    }

    const QString capture = folderPath + QStringLiteral("/bench.cap");
    QFile::remove(capture);
    writeBenchCapture(capture, frames, FramePeriodMs, variety);
    const qint64 size = QFileInfo(capture).size();
    std::printf("capture: %lld frames, %.1f MB, %.1f bytes per frame\n", frames, size / 1e6,
                double(size) / double(frames));

    const double alone = decode(capture, QString(), frames);
    std::printf("replay, decode alone:      %.0f frames/s\n", alone);
    const QString csv = folderPath + QStringLiteral("/bench.csv");
    QFile::remove(csv);
    const double withCsv = decode(capture, csv, frames);
    std::printf("replay, journal CSV written: %.0f frames/s (%.1f MB)\n", withCsv,
                QFileInfo(csv).size() / 1e6);
    QFile::remove(csv);
    if (!keep)
        QFile::remove(capture);
    return 0;
}
