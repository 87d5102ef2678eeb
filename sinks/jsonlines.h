#ifndef JSONLINES_H
#define JSONLINES_H

#include "limits/limitwatch.h"
#include "meter/recordedreading.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The readings, gaps and limit crossings of a run as JSON objects, one line
// each: the recorder's standard output in its json format and the objects the
// MQTT output publishes.
namespace JsonLines {

QByteArray jsonLine(const RecordedReading &recorded);
// `,"base_value":…,"base_unit":"…"`: the reading's number in its unit without
// the prefix (2.19 MΩ gives 2190000 Ω; null without a number), to go at the
// end of an object.
QByteArray baseFields(const MeterReading &reading);
// `text` as a JSON string, quotes included.
QByteArray jsonText(const QString &text);
QByteArray jsonGapLine(const QDateTime &time, const QString &reason);
QByteArray jsonLimitLine(qint64 n, const LimitCrossing &crossing);

} // namespace JsonLines

#endif // JSONLINES_H
