#include "history/readinghistory.h"

#include "meter/meterreading.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The arrays grow by half their size (and at least this many readings).
const size_t MinimumGrowth = 1024;

} // namespace

template <typename T>
void ReadingHistory::grow(std::vector<T> &array)
{
    if (array.size() == array.capacity())
        array.reserve(array.capacity() + std::max(array.capacity() / 2, MinimumGrowth));
}

std::optional<double> ReadingHistory::inUnit(double number, const QString &unitText,
                                             const QString &segmentUnit)
{
    if (unitText == segmentUnit)
        return number;
    const MeterReading::UnitScale from = MeterReading::unitScale(unitText);
    const MeterReading::UnitScale to = MeterReading::unitScale(segmentUnit);
    if (from.baseUnit != to.baseUnit)
        return std::nullopt;
    return number * from.factor / to.factor;
}

void ReadingHistory::append(qint64 timeMs, const MeterReading &reading)
{
    append(timeMs, reading.functionText, reading.unitText, reading.number());
}

void ReadingHistory::append(qint64 timeMs, const QString &function, const QString &unitText,
                            std::optional<double> number)
{
    bool newSegment = m_segments.empty() || function != m_segments.back().function;
    std::optional<double> value = number;
    if (!newSegment && number) {
        Segment &segment = m_segments.back();
        // A segment that has no number yet takes the unit of its first one.
        if (!m_segmentHasNumber)
            segment.unit = unitText;
        value = inUnit(*number, unitText, segment.unit);
        newSegment = !value;
        if (!value)
            value = number;
    }
    if (newSegment) {
        m_segments.push_back({function, unitText, size()});
        m_segmentHasNumber = false;
    }
    if (m_gapPending) {
        m_gaps.push_back(size());
        m_gapPending = false;
    }

    if (!m_times.empty())
        timeMs = std::max(timeMs, m_times.back());
    float stored = std::numeric_limits<float>::quiet_NaN();
    if (value && std::fabs(*value) <= double(std::numeric_limits<float>::max())) {
        stored = float(*value);
        m_segmentHasNumber = true;
    }
    grow(m_times);
    grow(m_values);
    m_times.push_back(timeMs);
    m_values.push_back(stored);
}

void ReadingHistory::addGap()
{
    m_gapPending = !m_times.empty();
}

void ReadingHistory::clear()
{
    *this = ReadingHistory();
}

void ReadingHistory::reserve(qsizetype readings)
{
    m_times.reserve(size_t(readings));
    m_values.reserve(size_t(readings));
}

int ReadingHistory::segmentOf(qsizetype i) const
{
    const auto after = std::upper_bound(m_segments.begin(), m_segments.end(), i,
                                        [](qsizetype index, const Segment &segment) {
                                            return index < segment.start;
                                        });
    return int(after - m_segments.begin()) - 1;
}

bool ReadingHistory::gapBefore(qsizetype i) const
{
    return std::binary_search(m_gaps.begin(), m_gaps.end(), i);
}

std::vector<ReadingHistory::Range> ReadingHistory::rangesIn(qint64 t0, qint64 t1) const
{
    std::vector<Range> ranges;
    if (t1 < t0)
        return ranges;
    const qsizetype first = std::lower_bound(m_times.begin(), m_times.end(), t0) - m_times.begin();
    const qsizetype last = std::upper_bound(m_times.begin(), m_times.end(), t1) - m_times.begin();
    if (first >= last)
        return ranges;
    for (int s = segmentOf(first); s < int(m_segments.size()) && m_segments[size_t(s)].start < last; ++s) {
        const qsizetype end = s + 1 < int(m_segments.size()) ? m_segments[size_t(s) + 1].start : size();
        ranges.push_back({s, std::max(first, m_segments[size_t(s)].start), std::min(last, end)});
    }
    return ranges;
}

std::vector<ReadingHistory::Range> ReadingHistory::allRanges() const
{
    std::vector<Range> ranges;
    for (size_t s = 0; s < m_segments.size(); ++s) {
        const qsizetype end = s + 1 < m_segments.size() ? m_segments[s + 1].start : size();
        ranges.push_back({int(s), m_segments[s].start, end});
    }
    return ranges;
}

qint64 ReadingHistory::bytesHeld() const
{
    qint64 bytes = qint64(m_times.capacity() * sizeof(qint64) + m_values.capacity() * sizeof(float)
                          + m_gaps.capacity() * sizeof(qsizetype)
                          + m_segments.capacity() * sizeof(Segment));
    for (const Segment &segment : m_segments)
        bytes += (segment.function.capacity() + segment.unit.capacity()) * qint64(sizeof(QChar));
    return bytes;
}
