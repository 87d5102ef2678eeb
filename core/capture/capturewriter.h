#ifndef CAPTUREWRITER_H
#define CAPTUREWRITER_H

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

// Writes a capture: every byte received from the meter with its arrival
// time, plus the poll ticks and the link's opens and losses, so that an
// offline decode takes exactly the readings the live run took.
//
// The format is text, one event a line, times in milliseconds since the
// start of the capture:
//
//   # ravelo capture 1
//   # start 2026-12-07T09:47:28.412+01:00
//   # interval-ms 1000
//   # port /dev/ttyUSB0
//   0 open /dev/ttyUSB0
//   12 rx a5021e1f...            bytes received, lower-case hex
//   1000 tick                    a poll tick took the cut
//   5000 lost link lost (no data for 3 intervals)   a gap begins
//   7000 close Input/output error   closed again while the gap lasts
//
// Lines starting with "#" are comments (the header is made of them); a reader
// ignores event words it does not know. Bytes received within the same
// millisecond share one line.
class CaptureWriter
{
public:
    CaptureWriter() = default;
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter &) = delete;
    CaptureWriter &operator=(const CaptureWriter &) = delete;

    // Creates the file (never over an existing one) and writes the header.
    bool open(const QString &path, const QDateTime &start, int intervalMs, const QString &port);
    bool isOpen() const { return m_file.isOpen(); }

    void received(qint64 ms, const QByteArray &bytes);
    void tick(qint64 ms);
    void opened(qint64 ms, const QString &port);
    void lost(qint64 ms, const QString &reason);
    void closed(qint64 ms, const QString &reason);

    // Hands everything written so far to the OS; false once a write failed.
    bool flush();
    void close();
    QString errorString() const { return m_error; }

private:
    void writeEvent(qint64 ms, const char *word, const QByteArray &rest);
    void writePendingBytes();

    QFile m_file;
    QByteArray m_out;
    qint64 m_pendingMs = -1;
    QByteArray m_pending;
    QString m_error;
};

#endif // CAPTUREWRITER_H
