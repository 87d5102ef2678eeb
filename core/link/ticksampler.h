#ifndef TICKSAMPLER_H
#define TICKSAMPLER_H

#include "meter/recordedreading.h"

#include <QByteArray>
#include <QDateTime>

#include <optional>

// The window's sampling rule without the window: bytes collect between poll
// ticks; each tick cuts one frame from the first 0xA5, decodes it when it is
// whole and passes the check, and empties the buffer. Readings are numbered
// from 1 on and dated from a wall-clock start plus the milliseconds since.
// The live recorder and the offline decode of a capture both use it, so they
// take the same readings from the same bytes and ticks.
class TickSampler
{
public:
    explicit TickSampler(const QDateTime &start) : m_start(start) {}

    void received(const QByteArray &bytes) { m_buffer.append(bytes); }
    // Drops what was received since the last tick (the link was lost).
    void clear() { m_buffer.clear(); }
    std::optional<RecordedReading> tick(qint64 ms);

    // Local time, with the offset from UTC in force then.
    QDateTime timeAt(qint64 ms) const;

private:
    QDateTime m_start;
    // The local offset found last, and the stretch of time (UTC milliseconds)
    // it certainly holds for: offsets change on quarter hours at most.
    mutable int m_offsetSeconds = 0;
    mutable qint64 m_offsetFromMs = 0, m_offsetUntilMs = -1;
    QByteArray m_buffer;
    qint64 m_n = 0;
};

#endif // TICKSAMPLER_H
