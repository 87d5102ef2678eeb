#ifndef READINGSTATISTICS_H
#define READINGSTATISTICS_H

#include "history/readinghistory.h"

#include <QHash>
#include <QString>
#include <QtGlobal>

#include <optional>
#include <vector>

// Count, minimum, maximum, mean and standard deviation of a run of values,
// added one by one (Welford's method) or a stretch of the history at once
// (two passes per block, blocks merged): never a plain sum of squares, which
// loses the spread of values far from zero. Readings without a number are
// not counted.
class ReadingStatistics
{
public:
    void add(double value);
    // The numbered readings [first, last) of the history.
    void add(const ReadingHistory &history, qsizetype first, qsizetype last);
    void reset() { *this = ReadingStatistics(); }

    qint64 count() const { return m_count; }
    bool isEmpty() const { return m_count == 0; }
    // 0 while empty.
    double minimum() const { return m_min; }
    double maximum() const { return m_max; }
    double mean() const { return m_mean; }
    // The sample standard deviation (n - 1); 0 below two values.
    double standardDeviation() const;

    // Over the readings of one range of the history.
    static ReadingStatistics of(const ReadingHistory &history, const ReadingHistory::Range &range);

private:
    // Adds the figures of other values (Chan's combination).
    void merge(qint64 count, double mean, double squares, double low, double high);

    qint64 m_count = 0;
    double m_min = 0, m_max = 0, m_mean = 0;
    double m_squares = 0; // sum of squared differences from the mean
};

// The figures of a run of readings, kept apart per function and quantity:
// one set per function and unit without its prefix (DC mV and DC V together,
// DC V and Resistance Ω apart), each in the unit of its first reading with a
// number (as the history keeps segments and the curve plots), so that the
// meter changing its range by itself does not split a measurement, and
// turning the dial away and back carries on where the figures were. The
// window's statistics and the recorder's summary both count this way.
class LiveStatistics
{
public:
    struct Group {
        QString function;
        // The unit the figures are in: that of the first reading with a
        // number; that of the first reading before one.
        QString unit;
        qint64 readings = 0; // with a number or not
        ReadingStatistics statistics;
    };

    void add(const QString &function, const QString &unitText, std::optional<double> number);
    void reset();

    // Those of the function of the last reading added.
    const ReadingStatistics &current() const;
    QString function() const { return m_function; }
    // The unit of the current figures; empty before a reading with a number.
    QString unit() const;

    // Every group, in the order of its first reading, and the one the last
    // reading went into (-1 before one).
    const std::vector<Group> &groups() const { return m_groups; }
    int currentGroup() const { return m_current; }

private:
    QString key(const QString &function, const QString &unitText) const;

    std::vector<Group> m_groups;
    QHash<QString, int> m_index;
    QString m_function;
    QString m_currentKey;
    int m_current = -1;
};

#endif // READINGSTATISTICS_H
