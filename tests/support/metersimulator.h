#ifndef METERSIMULATOR_H
#define METERSIMULATOR_H

// The meter simulator (RAVELO_METER_SIM, defined by the test's target) as a
// child process: it prints the terminal it serves on its first line.

#include "support/ownprogram.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

// Starts the simulator; returns its terminal's path, empty if it did not start.
inline QString startMeterSimulator(QProcess *simulator, const QStringList &arguments)
{
    startOwnProgram(simulator, QStringLiteral(RAVELO_METER_SIM), arguments);
    if (!simulator->waitForStarted(10000))
        return QString();
    const QDeadlineTimer deadline(10000);
    while (!simulator->canReadLine() && !deadline.hasExpired())
        simulator->waitForReadyRead(20);
    return QString::fromLocal8Bit(simulator->readLine()).trimmed();
}

#endif // METERSIMULATOR_H
