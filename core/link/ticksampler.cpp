#include "link/ticksampler.h"

#include "link/framecut.h"

namespace {

const qint64 QuarterHourMs = 15 * 60 * 1000;

} // namespace

QDateTime TickSampler::timeAt(qint64 ms) const
{
    const qint64 utcMs = m_start.toMSecsSinceEpoch() + ms;
    if (utcMs < m_offsetFromMs || utcMs >= m_offsetUntilMs) {
        // Working out the local offset is slow; a replay asks millions of times.
        m_offsetSeconds = QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime).offsetFromUtc();
        m_offsetFromMs = utcMs - utcMs % QuarterHourMs;
        m_offsetUntilMs = m_offsetFromMs + QuarterHourMs;
    }
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::OffsetFromUTC, m_offsetSeconds);
}

std::optional<RecordedReading> TickSampler::tick(qint64 ms)
{
    const QByteArray cut = takeTickFrame(&m_buffer);
    if (!isWholeFrame(cut))
        return std::nullopt;
    std::optional<MeterReading> reading = MeterReading::fromFrame(cut);
    if (!reading)
        return std::nullopt;
    return RecordedReading{++m_n, timeAt(ms), *reading};
}
