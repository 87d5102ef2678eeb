#ifndef READINGSTATISTICS_H
#define READINGSTATISTICS_H

#include "history/readinghistory.h"

#include <QHash>
#include <QString>
#include <QtGlobal>

#include <optional>

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

// The figures of the function being measured since the port was opened (or
// since they were reset): one set per function and quantity, each in the unit
// of its first reading (as the history keeps segments), so turning the dial
// away and back carries on where the figures were.
class LiveStatistics
{
public:
    void add(const QString &function, const QString &unitText, std::optional<double> number);
    void reset();

    // Those of the function of the last reading added.
    const ReadingStatistics &current() const;
    QString function() const { return m_function; }
    // The unit of the current figures; empty before a reading with a number.
    QString unit() const;

private:
    struct Figures {
        QString unit;
        ReadingStatistics statistics;
    };
    QString key(const QString &function, const QString &unitText) const;

    QHash<QString, Figures> m_figures;
    QString m_function;
    QString m_currentKey;
};

#endif // READINGSTATISTICS_H
