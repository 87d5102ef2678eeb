#ifndef HISTORYDECIMATION_H
#define HISTORYDECIMATION_H

#include "history/readinghistory.h"

#include <QPointF>
#include <QVector>

#include <vector>

// The pixel columns of a chart: the times [t0, t1] cut into `count`
// stretches of whole milliseconds, as near equal as they go.
class ChartColumns
{
public:
    static constexpr int MaxCount = 1 << 20;
    // Over a hundred million years: a wider range is cut at its end.
    static constexpr quint64 MaxSpanMs = quint64(1) << 62;

    // count is taken between 1 and MaxCount; t1 below t0 is taken as t0.
    ChartColumns(qint64 t0, qint64 t1, int count);

    int count() const { return m_count; }
    // The first time of column c, for 0 <= c <= count (start(count) is t1 + 1).
    qint64 start(int c) const;
    // The column of a time: -1 before t0, count after t1.
    int columnOf(qint64 t) const;

private:
    qint64 m_t0;
    qint64 m_span; // milliseconds from t0 to t1, both included
    int m_count;
};

// What the history chart draws of one segment in a time range.
struct DecimatedSegment {
    int segment = 0; // index into ReadingHistory::segments()
    // Polylines of (time in ms since the epoch, value): the line breaks at a
    // gap and at a reading without a number.
    QVector<QVector<QPointF>> runs;
    // Times of the readings without a number (overload, detectors), at most
    // one per pixel column.
    QVector<qint64> marks;
};

// The readings of [t0, t1] reduced for a chart `columns` pixels wide: per
// segment, per run and per pixel column, the first, lowest, highest and last
// reading in time order, so a polyline through them shows every peak and
// joins the columns where the readings do. The reading just before t0 and
// just after t1 are kept too, so the line runs on to the edges of the view.
// Linear in the readings of the range, with a tight loop per column.
std::vector<DecimatedSegment> decimateHistory(const ReadingHistory &history, qint64 t0, qint64 t1,
                                              int columns);

#endif // HISTORYDECIMATION_H
