#include "liverecorder.h"

#include "recordoutput.h"

#include "link/linkloss.h"
#include "link/portproblem.h"
#include "link/serialline.h"

#include <QSerialPortInfo>

LiveRecorder::LiveRecorder(const Settings &settings, RecordOutput *output, QObject *parent)
    : QObject(parent), m_settings(settings), m_output(output),
      m_sampler(QDateTime::currentDateTime())
{
    // Readings are dated from this moment on the monotonic clock.
    m_clock.start();
    m_sampler = TickSampler(QDateTime::currentDateTime());
    m_tickTimer.setTimerType(Qt::PreciseTimer);
    m_tickTimer.setInterval(m_settings.intervalMs);
    m_reopenTimer.setSingleShot(true);
    m_reopenTimer.setInterval(ReopenDelayMs);
    m_durationTimer.setSingleShot(true);
    m_durationTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_tickTimer, &QTimer::timeout, this, &LiveRecorder::onTick);
    connect(&m_reopenTimer, &QTimer::timeout, this, &LiveRecorder::onReopen);
    // Timers take int milliseconds: a long run waits in steps.
    connect(&m_durationTimer, &QTimer::timeout, this, [this] {
        const qint64 leftMs = m_settings.durationMs - nowMs();
        if (leftMs <= 0)
            stop(QStringLiteral("duration reached"));
        else
            m_durationTimer.start(int(qMin<qint64>(leftMs, MaxTimerMs)));
    });
    m_syncTimer.setInterval(SyncEveryMs);
    connect(&m_syncTimer, &QTimer::timeout, this, &LiveRecorder::sync);
    connect(&m_port, &QSerialPort::readyRead, this, &LiveRecorder::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &LiveRecorder::onPortError);
}

bool LiveRecorder::startCapture(const QString &path, QString *error)
{
    if (m_capture.open(path, m_sampler.timeAt(0), m_settings.intervalMs, m_settings.port)) {
        if (m_port.isOpen())
            m_capture.opened(m_openedAtMs, m_settings.port);
        return true;
    }
    *error = QStringLiteral("cannot write %1: %2").arg(path, m_capture.errorString());
    return false;
}

bool LiveRecorder::start(QStringList *error)
{
    QString serialError;
    if (!openPort(&serialError)) {
        *error = PortProblem::openFailure(m_settings.port, serialError);
        return false;
    }
    tellLink("recording");
    m_tickTimer.start();
    m_syncTimer.start();
    if (m_settings.durationMs > 0)
        m_durationTimer.start(int(qMin<qint64>(m_settings.durationMs, MaxTimerMs)));
    return true;
}

bool LiveRecorder::openPort(QString *serialError)
{
    m_port.setPortName(m_settings.port);
    const bool opened = m_port.open(QIODevice::ReadWrite) && SerialLine::configure(m_port);
    if (!opened) {
        *serialError = m_port.errorString();
        m_port.close();
        return false;
    }
    // Bytes that waited in the system's buffer are of unknown age.
    m_port.clear(QSerialPort::Input);
    m_lastByteMs = m_openedAtMs = nowMs();
    m_capture.opened(m_openedAtMs, m_settings.port);
    return true;
}

void LiveRecorder::closePort()
{
    if (m_port.isOpen())
        m_port.close();
    m_sampler.clear();
}

void LiveRecorder::onReadyRead()
{
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    m_lastByteMs = nowMs();
    m_capture.received(m_lastByteMs, bytes);
    m_sampler.received(bytes);
    if (m_inGap) {
        m_inGap = false;
        tellLink("recording");
        emit message(QStringLiteral("link back on %1 after %2 s")
                         .arg(m_settings.port)
                         .arg(QString::number((m_lastByteMs - m_lostAtMs) / 1000.0, 'f', 1)));
    }
}

int LiveRecorder::silenceLimitMs() const
{
    return qMax(SilentIntervals * m_settings.intervalMs, MinSilenceMs);
}

QString LiveRecorder::silenceReason() const
{
    if (SilentIntervals * m_settings.intervalMs >= MinSilenceMs)
        return LinkLoss::silentIntervals(SilentIntervals);
    return LinkLoss::silentSeconds(MinSilenceMs / 1000);
}

void LiveRecorder::onTick()
{
    if (m_stopped || !m_port.isOpen())
        return;
    const qint64 now = nowMs();
    m_capture.tick(now);
    if (std::optional<RecordedReading> recorded = m_sampler.tick(now)) {
        if (!m_output->addReading(*recorded)) {
            stop();
            return;
        }
        if (m_settings.count > 0 && recorded->n >= m_settings.count) {
            stop(QStringLiteral("count reached"));
            return;
        }
    }

    if (now - m_lastByteMs >= silenceLimitMs()) {
        if (!m_inGap) {
            loseLink(silenceReason());
        } else {
            // Still silent after a reopen: try the path again later (it may
            // now lead somewhere else).
            closePort();
            m_capture.closed(now, silenceReason());
            m_reopenTimer.start();
        }
    } else if (!portPresent()) {
        loseLink(LinkLoss::portGone(m_settings.port));
    }

    sync();
}

void LiveRecorder::sync()
{
    if (m_stopped)
        return;
    if (!m_output->sync() || !m_capture.flush())
        stop();
    else if (m_output->streamClosed())
        stop(QStringLiteral("standard output closed"));
}

bool LiveRecorder::portPresent() const
{
    return SerialLine::isPresent(m_settings.port, [] {
        QStringList names;
        const auto ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : ports)
            names << info.portName();
        return names;
    });
}

void LiveRecorder::onPortError(QSerialPort::SerialPortError error)
{
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError || !m_port.isOpen()
        || m_stopped)
        return;
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    const QString text = PortProblem::lossReason(error == QSerialPort::ResourceError
                                                     ? PortProblem::LinkEnd::PortGone
                                                     : PortProblem::LinkEnd::HungUp,
                                                 m_port.errorString());
    if (m_inGap) {
        closePort();
        m_capture.closed(nowMs(), text);
        m_reopenTimer.start();
        return;
    }
    loseLink(LinkLoss::lost(text));
}

void LiveRecorder::loseLink(const QString &reason)
{
    const qint64 now = nowMs();
    m_inGap = true;
    m_lostAtMs = now;
    m_reopenFailureTold = false;
    closePort();
    m_capture.lost(now, reason);
    emit message(QStringLiteral("%1 at %2; opening %3 again every %4 s")
                     .arg(reason, JournalWriter::isoTimeText(m_sampler.timeAt(now)), m_settings.port)
                     .arg(ReopenDelayMs / 1000));
    tellLink("lost", reason);
    if (!m_output->addGap(m_sampler.timeAt(now), reason) || !m_output->sync()) {
        stop();
        return;
    }
    m_reopenTimer.start();
}

void LiveRecorder::tellLink(const char *state, const QString &reason)
{
    emit linkChanged(QString::fromLatin1(state), m_sampler.timeAt(nowMs()), reason);
}

void LiveRecorder::onReopen()
{
    if (m_stopped)
        return;
    QString serialError;
    if (openPort(&serialError)) {
        const QString text = QStringLiteral("%1 open again, waiting for data").arg(m_settings.port);
        tellLink("waiting", text);
        emit message(text);
        return;
    }
    if (!m_reopenFailureTold) {
        m_reopenFailureTold = true;
        const QString text = QStringLiteral("cannot open %1 yet: %2")
                                 .arg(m_settings.port, PortProblem::reason(m_settings.port, serialError));
        tellLink("waiting", text);
        emit message(text);
    }
    m_reopenTimer.start();
}

void LiveRecorder::stop(const QString &why)
{
    if (m_stopped)
        return;
    m_stopped = true;
    m_stopReason = why;
    m_tickTimer.stop();
    m_reopenTimer.stop();
    m_durationTimer.stop();
    m_syncTimer.stop();
    closePort();
    m_capture.close();
    if (!why.isEmpty())
        emit message(why);
    bool ok = m_output->close();
    if (!m_capture.errorString().isEmpty())
        ok = false;
    emit finished(ok ? 0 : 1);
}
