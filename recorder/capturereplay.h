#ifndef CAPTUREREPLAY_H
#define CAPTUREREPLAY_H

#include <QString>

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

    // False with *error when the capture cannot be read or an output fails.
    static bool run(const Settings &settings, RecordOutput *output, QString *error);
};

#endif // CAPTUREREPLAY_H
