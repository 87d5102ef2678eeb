#ifndef READINGSUMMARY_H
#define READINGSUMMARY_H

#include "link/ticksampler.h"

#include "history/readingstatistics.h"

#include <QDateTime>
#include <QString>

#include <vector>

// What a run recorded, told at its end: how many readings and gaps, the first
// and last time, and per function and quantity (as the window's statistics
// keep them apart, in the unit of the first reading) the smallest, largest
// and mean value.
class ReadingSummary
{
public:
    void addReading(const RecordedReading &recorded);
    void addGap() { ++m_gaps; }

    qint64 readings() const { return m_readings; }
    qint64 gaps() const { return m_gaps; }
    // A few lines for standard error, each ending in a newline.
    QString text() const;

private:
    // How the smallest and largest value of a group are written: as the
    // meter showed them when it showed them in the group's unit.
    struct Texts {
        double min = 0, max = 0;
        QString minText, maxText;
        int decimals = 0; // the most any value had, in the group's unit
    };

    qint64 m_readings = 0;
    qint64 m_gaps = 0;
    QDateTime m_first, m_last;
    LiveStatistics m_statistics;
    std::vector<Texts> m_texts; // one per group of m_statistics
};

#endif // READINGSUMMARY_H
