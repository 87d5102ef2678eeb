#include "history/historydecimation.h"

#include <algorithm>
#include <cmath>
#include <limits>

ChartColumns::ChartColumns(qint64 t0, qint64 t1, int count)
    : m_t0(t0), m_count(std::clamp(count, 1, MaxCount))
{
    // Differences taken unsigned: t1 - t0 may not fit a qint64.
    const quint64 span = t1 > t0 ? quint64(t1) - quint64(t0) : 0;
    m_span = qint64(std::min(span, MaxSpanMs - 1)) + 1;
}

qint64 ChartColumns::start(int c) const
{
    // t0 + ceil(c * span / count), without the product overflowing.
    const qint64 whole = m_span / m_count;
    const qint64 rest = m_span % m_count;
    return m_t0 + whole * c + (rest * c + m_count - 1) / m_count;
}

int ChartColumns::columnOf(qint64 t) const
{
    if (t < m_t0)
        return -1;
    const quint64 offset = quint64(t) - quint64(m_t0);
    if (offset >= quint64(m_span))
        return m_count;
    // A close guess, then set right against the exact starts.
    int c = int(std::clamp(std::floor(double(offset) * double(m_count) / double(m_span)), 0.0,
                           double(m_count - 1)));
    while (c > 0 && start(c) > t)
        --c;
    while (c + 1 < m_count && start(c + 1) <= t)
        ++c;
    return c;
}

namespace {

// Builds the runs of one segment, a column at a time.
class SegmentBuilder
{
public:
    SegmentBuilder(const ReadingHistory &history, int segment)
        : m_times(history.times()), m_values(history.values())
    {
        m_out.segment = segment;
    }

    // The readings [from, to) of one column; a gap before any of them
    // (gapAt: the next gap's index) or one without a number breaks the run.
    void addColumn(qsizetype from, qsizetype to, const qsizetype *&gapAt, const qsizetype *gapsEnd)
    {
        bool marked = false;
        qsizetype i = from;
        while (i < to) {
            while (gapAt != gapsEnd && *gapAt < i)
                ++gapAt;
            if (gapAt != gapsEnd && *gapAt == i) {
                endRun();
                ++gapAt;
            }
            const qsizetype stretchEnd = gapAt != gapsEnd ? std::min(to, *gapAt) : to;
            // The readings up to the next gap, without a break but for a
            // reading without a number.
            for (; i < stretchEnd; ++i) {
                const float v = m_values[i];
                if (std::isnan(v)) {
                    endRun();
                    if (!marked)
                        m_out.marks.append(m_times[i]);
                    marked = true;
                    continue;
                }
                if (!m_open) {
                    m_open = true;
                    m_first = m_min = m_max = i;
                } else if (v < m_values[m_min]) {
                    m_min = i;
                } else if (v > m_values[m_max]) {
                    m_max = i;
                }
                m_last = i;
            }
        }
        flushColumn();
    }

    void endRun()
    {
        flushColumn();
        if (!m_run.isEmpty()) {
            m_out.runs.append(m_run);
            m_run.clear();
        }
    }

    DecimatedSegment take()
    {
        endRun();
        return std::move(m_out);
    }

private:
    void flushColumn()
    {
        if (!m_open)
            return;
        m_open = false;
        qsizetype points[4] = {m_first, m_min, m_max, m_last};
        std::sort(points, points + 4);
        const qsizetype *end = std::unique(points, points + 4);
        for (const qsizetype *p = points; p != end; ++p)
            m_run.append(QPointF(double(m_times[*p]), double(m_values[*p])));
    }

    const qint64 *m_times;
    const float *m_values;
    DecimatedSegment m_out;
    QVector<QPointF> m_run;
    bool m_open = false; // the column has a reading in the current run
    qsizetype m_first = 0, m_min = 0, m_max = 0, m_last = 0;
};

} // namespace

std::vector<DecimatedSegment> decimateHistory(const ReadingHistory &history, qint64 t0, qint64 t1,
                                              int columns)
{
    std::vector<DecimatedSegment> result;
    t1 = std::min(t1, std::numeric_limits<qint64>::max() - 1); // its column ends at t1 + 1
    if (columns < 1 || t1 < t0 || history.isEmpty())
        return result;
    const ChartColumns chart(t0, t1, columns);
    const qint64 *times = history.times();
    const qint64 *timesEnd = times + history.size();
    const std::vector<qsizetype> &gaps = history.gaps();
    const auto &segments = history.segments();

    // The readings in the range, and the one on either side of it.
    const qsizetype firstIn = std::lower_bound(times, timesEnd, t0) - times;
    const qsizetype lastIn = std::upper_bound(times, timesEnd, t1) - times;
    if (firstIn >= lastIn && (firstIn == 0 || lastIn == history.size()))
        return result; // the range lies before or after every reading
    const qsizetype from = std::max<qsizetype>(firstIn - 1, 0);
    const qsizetype to = std::min(lastIn + 1, history.size());

    const qsizetype *gapAt = gaps.data() + (std::lower_bound(gaps.begin(), gaps.end(), from + 1) - gaps.begin());
    const qsizetype *gapsEnd = gaps.data() + gaps.size();
    for (int s = history.segmentOf(from); s < int(segments.size()) && segments[size_t(s)].start < to; ++s) {
        const qsizetype segmentEnd = s + 1 < int(segments.size()) ? segments[size_t(s) + 1].start : history.size();
        const qsizetype last = std::min(to, segmentEnd);
        SegmentBuilder builder(history, s);
        for (qsizetype i = std::max(from, segments[size_t(s)].start); i < last;) {
            // The readings of the column of reading i (before t0: only the
            // neighbour; after t1: only the other).
            const int column = chart.columnOf(times[i]);
            qsizetype columnEnd = last;
            if (column < chart.count())
                columnEnd = std::lower_bound(times + i, times + last, chart.start(column + 1)) - times;
            builder.addColumn(i, columnEnd, gapAt, gapsEnd);
            i = columnEnd;
        }
        DecimatedSegment out = builder.take();
        if (!out.runs.isEmpty() || !out.marks.isEmpty())
            result.push_back(std::move(out));
    }
    return result;
}
