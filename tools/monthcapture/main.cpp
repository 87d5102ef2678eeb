// ravelo-month-capture OUT [--days D] [--interval-ms MS] [--start ISO]: writes
// a capture of a meter read for D days (default 31) at one reading per MS
// milliseconds (default 1000: 2,678,400 readings), as ravelo-record --raw
// would have written it:
// DC volts following a daily swing with noise, an afternoon of resistance
// (kΩ, with a range change to MΩ and an overload), and one hour-long gap
// (the link lost) in the middle. `ravelo-record --replay OUT` decodes it.
#include "capture/capturewriter.h"
#include "meter/frameencoder.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>

namespace {

const qint64 DayMs = 24 * 3600 * 1000LL;

// What the meter shows at `ms` into the run.
MeterDisplay displayAt(qint64 ms, qint64 totalMs, QRandomGenerator *noise)
{
    MeterDisplay display;
    display.autoRange = true;
    const qint64 dayMs = ms % DayMs;
    const bool resistance = (ms / DayMs) % 7 == 3 && dayMs >= 13 * 3600 * 1000LL && dayMs < 17 * 3600 * 1000LL;
    if (resistance) {
        const double kohm = 4.7 + 0.4 * std::sin(double(dayMs) / 600000.0) + 0.01 * noise->generateDouble();
        if (dayMs < 13 * 3600 * 1000LL + 60000) {
            display.digits = QStringLiteral(" 0.L ");
            display.unit = QStringLiteral("MΩ");
        } else if (dayMs > 16 * 3600 * 1000LL) {
            display.digits = QString::asprintf("%.3f", kohm / 1000.0 + 1.0);
            display.unit = QStringLiteral("MΩ");
        } else {
            display.digits = QString::asprintf("%.3f", kohm);
            display.unit = QStringLiteral("kΩ");
        }
        return display;
    }
    display.dc = true;
    const double phase = 2 * M_PI * double(dayMs) / double(DayMs);
    const double drift = 0.2 * double(ms) / double(std::max<qint64>(totalMs, 1));
    double volts = 5.0 + 1.5 * std::sin(phase) + drift + 0.05 * (noise->generateDouble() - 0.5);
    if (ms % (6 * 3600 * 1000LL) < 2000)
        volts += 2.0; // a short spike four times a day
    display.digits = QString::asprintf("%.3f", volts);
    display.unit = QStringLiteral("V");
    return display;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes a month-long capture for ravelo-record --replay."));
    parser.addHelpOption();
    const QCommandLineOption days(QStringLiteral("days"), QStringLiteral("Days of readings (default 31)."),
                                  QStringLiteral("d"), QStringLiteral("31"));
    const QCommandLineOption interval(QStringLiteral("interval-ms"),
                                      QStringLiteral("Milliseconds between readings (default 1000)."),
                                      QStringLiteral("ms"), QStringLiteral("1000"));
    const QCommandLineOption start(QStringLiteral("start"),
                                   QStringLiteral("When the run starts (default 2026-11-01T00:00:00Z)."),
                                   QStringLiteral("iso"), QStringLiteral("2026-11-01T00:00:00Z"));
    parser.addOptions({days, interval, start});
    parser.addPositionalArgument(QStringLiteral("OUT"), QStringLiteral("The capture to write (must not exist)."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const double dayCount = parser.value(days).toDouble();
    const qint64 intervalMs = parser.value(interval).toLongLong();
    const QDateTime startTime = QDateTime::fromString(parser.value(start), Qt::ISODate);
    if (!(dayCount > 0) || intervalMs < 100 || !startTime.isValid()) {
        std::fprintf(stderr, "ravelo-month-capture: --days above 0, --interval-ms from 100, --start an ISO time\n");
        return 2;
    }
    const qint64 totalMs = qint64(dayCount * double(DayMs));
    // The link is lost for an hour in the middle of the run (from the middle
    // of the 15th day in a month): no bytes, then the port opened again.
    const qint64 lostAt = totalMs / 2;
    const qint64 backAt = lostAt + 3600 * 1000LL;

    const QString port = QStringLiteral("/dev/ttyUSB0");
    CaptureWriter capture;
    if (!capture.open(parser.positionalArguments().first(), startTime, int(intervalMs), port)) {
        std::fprintf(stderr, "ravelo-month-capture: %s\n", capture.errorString().toLocal8Bit().constData());
        return 1;
    }
    capture.opened(0, port);
    QRandomGenerator noise(26);
    bool lost = false;
    qint64 readings = 0;
    // As many readings as the days hold, the hour of the gap added at the end.
    const qint64 wanted = totalMs / intervalMs;
    for (qint64 tick = intervalMs; readings < wanted; tick += intervalMs) {
        if (!lost && tick >= lostAt && tick < backAt) {
            lost = true;
            capture.lost(tick, QStringLiteral("link lost (no data for 3 intervals)"));
            continue;
        }
        if (lost) {
            if (tick < backAt)
                continue;
            lost = false;
            capture.opened(tick - intervalMs / 2, port);
        }
        QByteArray frame;
        if (!encodeFrame(displayAt(tick, totalMs, &noise), &frame)) {
            std::fprintf(stderr, "ravelo-month-capture: a display the meter cannot show at %lld ms\n", tick);
            return 1;
        }
        capture.received(tick - intervalMs / 3, frame);
        capture.tick(tick);
        ++readings;
    }
    if (!capture.flush()) {
        std::fprintf(stderr, "ravelo-month-capture: %s\n", capture.errorString().toLocal8Bit().constData());
        return 1;
    }
    capture.close();
    std::fprintf(stderr, "ravelo-month-capture: %lld readings, one gap of an hour\n", readings);
    return 0;
}
