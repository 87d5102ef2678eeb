#ifndef HISTORYDECIMATION_H
#define HISTORYDECIMATION_H

#include "history/readinghistory.h"

#include <QPointF>
#include <QVector>

#include <vector>

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
// Linear in the readings of the range.
std::vector<DecimatedSegment> decimateHistory(const ReadingHistory &history, qint64 t0, qint64 t1,
                                              int columns);

#endif // HISTORYDECIMATION_H
