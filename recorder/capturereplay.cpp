#include "capturereplay.h"

#include "recordoutput.h"
#include "link/ticksampler.h"

#include "capture/capturereader.h"

namespace {

const qint64 SyncEveryReadings = 4096;

} // namespace

CaptureReplay::Result CaptureReplay::run(const Settings &settings, RecordOutput *output, QString *error)
{
    CaptureReader reader;
    if (!reader.open(settings.path)) {
        *error = QStringLiteral("%1: %2").arg(settings.path, reader.errorString());
        return Result::CannotOpen;
    }
    TickSampler sampler(reader.start());
    const bool ownTicks = settings.intervalMs > 0;
    qint64 nextTickMs = -1; // with ticks of our own: the next one, once bytes came
    bool done = false;

    auto tickAt = [&](qint64 ms) {
        if (settings.durationMs > 0 && ms > settings.durationMs) {
            done = true;
            return true;
        }
        if (std::optional<RecordedReading> recorded = sampler.tick(ms)) {
            if (!output->addReading(*recorded))
                return false;
            if (recorded->n % SyncEveryReadings == 0 && !output->sync())
                return false;
            if (settings.count > 0 && recorded->n >= settings.count)
                done = true;
        }
        return true;
    };

    CaptureReader::Event event;
    while (!done && reader.next(&event)) {
        if (ownTicks) {
            while (!done && nextTickMs >= 0 && nextTickMs <= event.ms) {
                if (!tickAt(nextTickMs))
                    break;
                nextTickMs += settings.intervalMs;
            }
            if (!output->errorString().isEmpty() || done)
                break;
        }
        switch (event.type) {
        case CaptureReader::Event::Type::Received:
            sampler.received(event.bytes);
            if (ownTicks && nextTickMs < 0)
                nextTickMs = event.ms + settings.intervalMs;
            break;
        case CaptureReader::Event::Type::Tick:
            if (!ownTicks && !tickAt(event.ms))
                done = true;
            break;
        case CaptureReader::Event::Type::Lost:
            sampler.clear();
            nextTickMs = -1;
            if (!output->addGap(sampler.timeAt(event.ms), event.text))
                done = true;
            break;
        case CaptureReader::Event::Type::Closed:
            sampler.clear();
            nextTickMs = -1;
            break;
        case CaptureReader::Event::Type::Opened:
            break;
        }
    }
    // The bytes after the last tick of the capture: one last tick of our own.
    if (ownTicks && !done && nextTickMs >= 0 && output->errorString().isEmpty())
        tickAt(nextTickMs);

    if (reader.atError()) {
        *error = QStringLiteral("%1: %2").arg(settings.path, reader.errorString());
        output->close();
        return Result::Failed;
    }
    if (!output->close()) {
        *error = output->errorString();
        return Result::Failed;
    }
    return Result::Done;
}
