#ifndef LIVERECORDER_H
#define LIVERECORDER_H

#include "link/ticksampler.h"

#include "capture/capturewriter.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>

class RecordOutput;

// Reads the meter on a serial port and takes one reading per interval, as the
// window does, into a RecordOutput; unlike the window it keeps going: when
// the meter falls silent or the port fails or disappears, it marks a gap and
// opens the port again every 2 s until bytes flow again.
class LiveRecorder : public QObject
{
    Q_OBJECT
public:
    struct Settings {
        QString port;
        int intervalMs = 1000;
        qint64 count = 0;      // 0: no limit
        qint64 durationMs = 0; // 0: no limit
    };

    static constexpr int ReopenDelayMs = 2000;
    static constexpr int MinSilenceMs = 3000;
    static constexpr int SilentIntervals = 3;
    static constexpr int MaxTimerMs = 1 << 30;
    // Files and standard output are handed on at least this often, whatever
    // the interval.
    static constexpr int SyncEveryMs = 1000;

    LiveRecorder(const Settings &settings, RecordOutput *output, QObject *parent = nullptr);

    // Captures what the port receives to `path` (a new file), from the start
    // of the run; call before the event loop runs.
    bool startCapture(const QString &path, QString *error);
    // Opens the port and starts; false with the lines that tell why
    // ("cannot open ...", perhaps "hint: ...") when the port will not open.
    bool start(QStringList *error);
    // Ends the run: everything written, the port closed; finished() follows.
    void stop(const QString &why = QString());
    // Why the run ended ("count reached", "SIGTERM received"); empty when an output failed.
    QString stopReason() const { return m_stopReason; }

signals:
    // The run is over; exitCode 0 unless an output failed.
    void finished(int exitCode);
    // A line for standard error.
    void message(const QString &text);
    // The link changed: "recording" (readings come in), "lost" (a gap began),
    // "waiting" (the port is being opened again, or is open with no data
    // yet); `reason` says why, empty while recording.
    void linkChanged(const QString &state, const QDateTime &since, const QString &reason);

private:
    // False, with the serial port's error text, when the port will not open.
    bool openPort(QString *serialError);
    void closePort();
    void onReadyRead();
    void onTick();
    void onPortError(QSerialPort::SerialPortError error);
    void onReopen();
    void sync();
    void loseLink(const QString &reason);
    bool portPresent() const;
    qint64 nowMs() const { return m_clock.elapsed(); }
    int silenceLimitMs() const;
    QString silenceReason() const;
    void tellLink(const char *state, const QString &reason = QString());

    Settings m_settings;
    RecordOutput *m_output = nullptr;
    QSerialPort m_port;
    QTimer m_tickTimer;
    QTimer m_reopenTimer;
    QTimer m_durationTimer;
    QTimer m_syncTimer;
    QElapsedTimer m_clock;
    TickSampler m_sampler;
    CaptureWriter m_capture;
    qint64 m_lastByteMs = 0;
    qint64 m_openedAtMs = 0;
    qint64 m_lostAtMs = 0;
    bool m_inGap = false;
    bool m_stopped = false;
    bool m_reopenFailureTold = false;
    QString m_stopReason;
};

#endif // LIVERECORDER_H
