#ifndef CAPTUREREPLAY_H
#define CAPTUREREPLAY_H

#include "link/ticksampler.h"

#include <QString>

#include <functional>

class RecordOutput;

// Decodes a capture offline, as fast as it goes, into a RecordOutput: the
// same readings the live run took, tick for tick. With an interval of its
// own the replay ticks at that interval from the first byte instead.
class CaptureReplay
{
public:
    struct Settings {
        QString path;
        int intervalMs = 0;    // 0: the capture's own ticks
        qint64 count = 0;      // 0: no limit
        qint64 durationMs = 0; // 0: no limit (capture time)
    };

    enum class Result { Done, CannotOpen, Failed };

    // CannotOpen when the capture will not open (nothing decoded); Failed
    // when a line of it is not understood or an output fails (what came
    // before is decoded). *error says why.
    static Result run(const Settings &settings, RecordOutput *output, QString *error);
};

#endif // CAPTUREREPLAY_H
