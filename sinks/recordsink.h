#ifndef RECORDSINK_H
#define RECORDSINK_H

#include "limits/limitwatch.h"
#include "meter/recordedreading.h"

#include <QDateTime>
#include <QString>

// Another place the readings, gaps and limit crossings of a run go as they
// are taken (an MQTT broker, an InfluxDB database); it never fails the run.
class RecordSink
{
public:
    virtual ~RecordSink() = default;
    virtual void addReading(const RecordedReading &recorded) = 0;
    virtual void addGap(const QDateTime &time, const QString &reason) = 0;
    virtual void addLimitCrossing(qint64 n, const LimitCrossing &crossing) = 0;
};

#endif // RECORDSINK_H
