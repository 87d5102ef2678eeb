#include "ticksampler.h"

#include "decoder/meterprotocol.h"
#include "link/framecut.h"

std::optional<RecordedReading> TickSampler::tick(qint64 ms)
{
    const QByteArray cut = cutFrame(m_buffer);
    m_buffer.clear();
    if (cut.size() != MeterProtocol::FrameLength)
        return std::nullopt;
    std::optional<MeterReading> reading = MeterReading::fromFrame(cut);
    if (!reading)
        return std::nullopt;
    return RecordedReading{++m_n, timeAt(ms), *reading};
}
