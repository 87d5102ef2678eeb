#include "history/readingstatistics.h"

#include "meter/meterreading.h"

#include <algorithm>
#include <cmath>
#include <limits>

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
    // Block by block, two passes each (the mean, then the squared differences
    // from it), each block merged into the figures: as exact as adding the
    // values one by one, without a division per value. A block stays in the
    // cache for its second pass.
    const qsizetype BlockSize = 4096;
    first = std::max<qsizetype>(first, 0);
    last = std::min(last, history.size());
    const float *values = history.values();
    for (qsizetype from = first; from < last; from += BlockSize) {
        const qsizetype to = std::min(last, from + BlockSize);
        qint64 count = 0;
        double sum = 0;
        float low = std::numeric_limits<float>::infinity();
        float high = -low;
        for (qsizetype i = from; i < to; ++i) {
            const float v = values[i];
            if (std::isnan(v))
                continue;
            ++count;
            sum += double(v);
            low = std::min(low, v);
            high = std::max(high, v);
        }
        if (count == 0)
            continue;
        const double mean = sum / double(count);
        double squares = 0;
        for (qsizetype i = from; i < to; ++i) {
            const float v = values[i];
            if (!std::isnan(v))
                squares += (double(v) - mean) * (double(v) - mean);
        }
        merge(count, mean, squares, double(low), double(high));
    }
}

void ReadingStatistics::merge(qint64 count, double mean, double squares, double low, double high)
{
    if (m_count == 0) {
        m_count = count;
        m_mean = mean;
        m_squares = squares;
        m_min = low;
        m_max = high;
        return;
    }
    const double total = double(m_count + count);
    const double delta = mean - m_mean;
    m_mean += delta * double(count) / total;
    m_squares += squares + delta * delta * double(m_count) * double(count) / total;
    m_count += count;
    m_min = std::min(m_min, low);
    m_max = std::max(m_max, high);
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
    // A reading without a number says nothing of the unit: it goes with the
    // figures of its function as they are.
    if (number || function != m_function || m_currentKey.isEmpty()) {
        m_function = function;
        m_currentKey = key(function, unitText);
    }
    auto found = m_index.constFind(m_currentKey);
    if (found == m_index.constEnd()) {
        found = m_index.insert(m_currentKey, int(m_groups.size()));
        m_groups.push_back({function, unitText, 0, ReadingStatistics()});
    }
    m_current = *found;
    Group &group = m_groups[size_t(m_current)];
    ++group.readings;
    if (!number)
        return;
    if (group.statistics.isEmpty())
        group.unit = unitText;
    group.statistics.add(ReadingHistory::inUnit(*number, unitText, group.unit).value_or(*number));
}

void LiveStatistics::reset()
{
    m_groups.clear();
    m_index.clear();
    m_current = -1;
}

const ReadingStatistics &LiveStatistics::current() const
{
    static const ReadingStatistics none;
    return m_current < 0 ? none : m_groups[size_t(m_current)].statistics;
}

QString LiveStatistics::unit() const
{
    if (m_current < 0 || m_groups[size_t(m_current)].statistics.isEmpty())
        return QString();
    return m_groups[size_t(m_current)].unit;
}
