#include "historydecimation.h"

#include <algorithm>
#include <cmath>

namespace {

// Collects the readings of one run, column by column.
class RunBuilder
{
public:
    RunBuilder(const ReadingHistory &history, DecimatedSegment *out)
        : m_times(history.times()), m_values(history.values()), m_out(out)
    {
    }

    void add(qsizetype i, int column)
    {
        if (m_open && column == m_column) {
            if (m_values[i] < m_values[m_min])
                m_min = i;
            if (m_values[i] > m_values[m_max])
                m_max = i;
            m_last = i;
            return;
        }
        flushColumn();
        m_open = true;
        m_column = column;
        m_first = m_min = m_max = m_last = i;
    }

    void endRun()
    {
        flushColumn();
        if (!m_run.isEmpty()) {
            m_out->runs.append(m_run);
            m_run.clear();
        }
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
    DecimatedSegment *m_out;
    QVector<QPointF> m_run;
    bool m_open = false;
    int m_column = 0;
    qsizetype m_first = 0, m_min = 0, m_max = 0, m_last = 0;
};

} // namespace

std::vector<DecimatedSegment> decimateHistory(const ReadingHistory &history, qint64 t0, qint64 t1,
                                              int columns)
{
    std::vector<DecimatedSegment> result;
    if (columns < 1 || t1 < t0 || history.isEmpty())
        return result;
    const qint64 *times = history.times();
    const float *values = history.values();
    // Column of a time: -1 before t0, `columns` after t1.
    const double columnsPerMs = double(columns) / (double(t1) - double(t0) + 1.0);
    auto columnOf = [&](qint64 t) {
        const double column = std::floor((double(t) - double(t0)) * columnsPerMs);
        return int(std::clamp(column, -1.0, double(columns)));
    };
    const std::vector<qsizetype> &gaps = history.gaps();
    const auto &segments = history.segments();

    // The segments reaching into the range, and the readings on either side of it.
    const qsizetype firstIn = std::lower_bound(times, times + history.size(), t0) - times;
    const qsizetype lastIn = std::upper_bound(times, times + history.size(), t1) - times;
    const qsizetype from = std::max<qsizetype>(firstIn - 1, 0);
    const qsizetype to = std::min(lastIn + 1, history.size());
    if (firstIn >= lastIn && (firstIn == 0 || lastIn == history.size()))
        return result; // the range lies before or after every reading

    auto gap = std::lower_bound(gaps.begin(), gaps.end(), from + 1);
    for (int s = history.segmentOf(from); s < int(segments.size()) && segments[size_t(s)].start < to; ++s) {
        const qsizetype segmentEnd = s + 1 < int(segments.size()) ? segments[size_t(s) + 1].start : history.size();
        const qsizetype first = std::max(from, segments[size_t(s)].start);
        const qsizetype last = std::min(to, segmentEnd);
        DecimatedSegment out;
        out.segment = s;
        RunBuilder run(history, &out);
        int markColumn = -2;
        for (qsizetype i = first; i < last; ++i) {
            while (gap != gaps.end() && *gap < i)
                ++gap;
            if (gap != gaps.end() && *gap == i)
                run.endRun();
            const int column = columnOf(times[i]);
            if (std::isnan(values[i])) {
                run.endRun();
                if (column != markColumn)
                    out.marks.append(times[i]);
                markColumn = column;
                continue;
            }
            run.add(i, column);
        }
        run.endRun();
        if (!out.runs.isEmpty() || !out.marks.isEmpty())
            result.push_back(std::move(out));
    }
    return result;
}
