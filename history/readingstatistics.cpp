#include "readingstatistics.h"

#include "decoder/meterreading.h"

#include <algorithm>
#include <cmath>

void ReadingStatistics::add(double value)
{
    ++m_count;
    if (m_count == 1) {
        m_min = m_max = m_mean = value;
        m_squares = 0;
        return;
    }
    const double delta = value - m_mean;
    m_mean += delta / double(m_count);
    m_squares += delta * (value - m_mean);
    m_min = std::min(m_min, value);
    m_max = std::max(m_max, value);
}

void ReadingStatistics::add(const ReadingHistory &history, qsizetype first, qsizetype last)
{
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, history.size());
    const float *values = history.values();
    for (qsizetype i = first; i < last; ++i) {
        if (!std::isnan(values[i]))
            add(double(values[i]));
    }
}

double ReadingStatistics::standardDeviation() const
{
    return m_count < 2 ? 0.0 : std::sqrt(m_squares / double(m_count - 1));
}

ReadingStatistics ReadingStatistics::of(const ReadingHistory &history,
                                        const ReadingHistory::Range &range)
{
    ReadingStatistics statistics;
    statistics.add(history, range.first, range.last);
    return statistics;
}

QString LiveStatistics::key(const QString &function, const QString &unitText) const
{
    return function + QLatin1Char('\n') + MeterReading::unitScale(unitText).baseUnit;
}

void LiveStatistics::add(const QString &function, const QString &unitText,
                         std::optional<double> number)
{
    // A reading without a number says nothing of the unit: it keeps the
    // figures of its function as they are.
    if (!number && function == m_function)
        return;
    m_function = function;
    m_currentKey = key(function, unitText);
    if (!number)
        return;
    Figures &figures = m_figures[m_currentKey];
    if (figures.statistics.isEmpty())
        figures.unit = unitText;
    figures.statistics.add(ReadingHistory::inUnit(*number, unitText, figures.unit).value_or(*number));
}

void LiveStatistics::reset()
{
    m_figures.clear();
}

const ReadingStatistics &LiveStatistics::current() const
{
    static const ReadingStatistics none;
    const auto found = m_figures.constFind(m_currentKey);
    return found == m_figures.constEnd() ? none : found->statistics;
}

QString LiveStatistics::unit() const
{
    return m_figures.value(m_currentKey).unit;
}
