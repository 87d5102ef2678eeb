#ifndef READINGHISTORY_H
#define READINGHISTORY_H

#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

class MeterReading;

// Every reading of a run, in the order taken, for the history chart and its
// statistics: a time (milliseconds since the epoch) and a value per reading,
// kept in two parallel arrays; the function segments and the gaps in small
// tables of their own.
//
// - A segment begins with the first reading, whenever the function changes,
//   and when a reading with a number comes in a unit of another quantity
//   (a function that shows both Hz and %). A segment's values are all in the
//   unit of its first reading: 4.68 kΩ then 2.19 MΩ is kept as 4.68 and 2190
//   in a kΩ segment.
// - A reading without a number (overload, the detectors, a blank display) is
//   kept with a NaN value: the chart may skip it or mark it.
// - A gap (the link was lost) breaks the line before the next reading.
// - Times never go back: a reading dated before the one before it (the clock
//   was set back) is kept at that earlier reading's time, so the times stay
//   sorted for the range queries.
//
// Memory: 12 bytes per reading (qint64 time, float value: the meter shows
// at most four significant digits, a float holds seven), arrays grown by half
// their size, so at most 18 bytes per reading held.
class ReadingHistory
{
public:
    struct Segment {
        QString function; // "DC", "Resistance"
        QString unit;     // the unit every value of the segment is in: "kΩ"
        qsizetype start = 0; // index of its first reading
    };
    // The readings [first, last) of one segment.
    struct Range {
        int segment = 0;
        qsizetype first = 0;
        qsizetype last = 0;
        qsizetype size() const { return last - first; }
    };

    void append(qint64 timeMs, const QString &function, const QString &unitText,
                std::optional<double> number);
    void append(qint64 timeMs, const MeterReading &reading);
    // The line breaks before the next reading (nothing before the first one).
    void addGap();
    void clear();
    void reserve(qsizetype readings);

    qsizetype size() const { return qsizetype(m_times.size()); }
    bool isEmpty() const { return m_times.empty(); }
    qint64 timeAt(qsizetype i) const { return m_times[size_t(i)]; }
    // NaN for a reading without a number.
    float valueAt(qsizetype i) const { return m_values[size_t(i)]; }
    const qint64 *times() const { return m_times.data(); }
    const float *values() const { return m_values.data(); }

    const std::vector<Segment> &segments() const { return m_segments; }
    int segmentOf(qsizetype i) const;
    // Indices of the readings a gap comes before, ascending.
    const std::vector<qsizetype> &gaps() const { return m_gaps; }
    bool gapBefore(qsizetype i) const;

    // Per segment with readings in [t0, t1] (both included), in time order.
    std::vector<Range> rangesIn(qint64 t0, qint64 t1) const;
    // The readings [first, last) of every segment.
    std::vector<Range> allRanges() const;

    // Bytes held for the readings and the tables (capacity, not size).
    qint64 bytesHeld() const;

    // A number in unitText expressed in segmentUnit, when both measure the
    // same quantity ("2.19", "MΩ", "kΩ" gives 2190); empty otherwise. The one
    // conversion between units: the history, the curve, the statistics and
    // the limits all go through it.
    static std::optional<double> inUnit(double number, const QString &unitText,
                                        const QString &segmentUnit);

private:
    template <typename T>
    static void grow(std::vector<T> &array);

    std::vector<qint64> m_times;
    std::vector<float> m_values;
    std::vector<Segment> m_segments;
    std::vector<qsizetype> m_gaps;
    bool m_gapPending = false;
    bool m_segmentHasNumber = false; // the last segment has a reading with a number
};

#endif // READINGHISTORY_H
