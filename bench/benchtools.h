#ifndef BENCHTOOLS_H
#define BENCHTOOLS_H

// Helpers the benchmarks share.

#include "capture/capturewriter.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QList>
#include <QString>

// Resident memory from /proc (Linux); 0 elsewhere.
inline long residentBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly | QIODevice::Text))
        return 0;
    // Files under /proc report no size: read them whole, not up to atEnd().
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray &line : lines) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong() * 1024;
    }
    return 0;
}

// A capture of `frames` frames taken in turn from `variety`, one per poll
// tick of periodMs, as a live run on /dev/ttyUSB0 would write it.
inline void writeBenchCapture(const QString &path, qint64 frames, qint64 periodMs,
                              const QList<QByteArray> &variety)
{
    CaptureWriter writer;
    writer.open(path, QDateTime::currentDateTime(), int(periodMs), QStringLiteral("/dev/ttyUSB0"));
    for (qint64 i = 0; i < frames; ++i) {
        writer.received(i * periodMs + 3, variety.at(int(i % variety.size())));
        writer.tick(i * periodMs + 50);
    }
    writer.close();
}

#endif // BENCHTOOLS_H
