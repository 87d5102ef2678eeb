// How long one frame takes to become a reading, without a window.
//
// The frames are what the simulator's tour sends (every scenario the meter
// shows: volts, ohms, overloads, NCV, LIVE, temperatures...), decoded from
// their Frame text as the window does and from the raw bytes as the recorder
// does. Each figure is the best of several rounds over all the frames, so a
// busy machine shows as a slower round, not a slower result.
//
// Usage: decoderbench [--frames N] [--rounds R]

#include "meter/meterreading.h"
#include "link/framecut.h"
#include "metersimulator.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

template <class Decode>
double bestNsPerFrame(const std::vector<QByteArray> &frames, int rounds, Decode decode)
{
    double best = 1e300;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        int decoded = 0;
        timer.start();
        for (const QByteArray &frame : frames)
            decoded += decode(frame) ? 1 : 0;
        const double ns = double(timer.nsecsElapsed()) / double(frames.size());
        if (decoded != int(frames.size())) {
            std::fprintf(stderr, "decoderbench: %d of %zu frames refused\n",
                         int(frames.size()) - decoded, frames.size());
            return -1.0;
        }
        best = std::min(best, ns);
    }
    return best;
}

void report(const char *what, double ns)
{
    std::printf("%-28s %8.0f ns per frame  %10.0f frames/s\n", what, ns, 1e9 / ns);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    int frameCount = 20000;
    int rounds = 7;
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--frames"))
            frameCount = std::max(1, args.at(++i).toInt());
        else if (args.at(i) == QLatin1String("--rounds"))
            rounds = std::max(1, args.at(++i).toInt());
    }

    MeterSimulator meter(3);
    meter.setScenario(QStringLiteral("tour"));
    meter.setTourFrames(25);
    std::vector<QByteArray> bytes;
    std::vector<QByteArray> texts;
    for (int i = 0; i < frameCount; ++i) {
        bytes.push_back(meter.nextFrame());
        texts.push_back(toFrameText(bytes.back()));
    }

    std::printf("%d frames of the simulator's tour, best of %d rounds\n", frameCount, rounds);
    const double fromText = bestNsPerFrame(texts, rounds, [](const QByteArray &text) {
        return MeterReading::fromFrameText(text).has_value();
    });
    const double fromBytes = bestNsPerFrame(bytes, rounds, [](const QByteArray &frame) {
        return MeterReading::fromFrame(frame).has_value();
    });
    if (fromText < 0 || fromBytes < 0)
        return 1;
    report("from Frame text (window)", fromText);
    report("from raw bytes (recorder)", fromBytes);
    return 0;
}
