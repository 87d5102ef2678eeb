#ifndef READINGSUMMARY_H
#define READINGSUMMARY_H

#include "ticksampler.h"

#include <QDateTime>
#include <QString>

#include <map>
#include <utility>
#include <vector>

// What a run recorded, told at its end: how many readings and gaps, the first
// and last time, and per function and unit the smallest, largest and mean
// value.
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
    struct Group {
        qint64 readings = 0;
        qint64 numbers = 0;
        double min = 0, max = 0, sum = 0;
        QString minText, maxText;
        int decimals = 0;
    };

    qint64 m_readings = 0;
    qint64 m_gaps = 0;
    QDateTime m_first, m_last;
    // Keyed by function and unit, in order of first appearance.
    std::map<std::pair<QString, QString>, int> m_groupIndex;
    std::vector<std::pair<std::pair<QString, QString>, Group>> m_groups;
    int m_lastGroup = -1;
};

#endif // READINGSUMMARY_H
