#ifndef RECORDEDREADING_H
#define RECORDEDREADING_H

#include "meter/meterreading.h"

#include <QDateTime>
#include <QtGlobal>

// One reading as it is recorded: numbered from 1 within its run (the table's
// serial number) and dated. The window's table and the recorder both hand
// these on to the journal.
struct RecordedReading {
    qint64 n = 0;
    QDateTime time;
    MeterReading reading;
};

#endif // RECORDEDREADING_H
