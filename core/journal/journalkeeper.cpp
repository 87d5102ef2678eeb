#include "journal/journalkeeper.h"

#include "config/tracing.h"

JournalKeeper::JournalKeeper(QObject *parent)
    : QObject(parent)
{
    m_settings.folder = AppConfig::defaultJournalFolder();
    m_syncTimer.setInterval(JournalWriter::SyncCheckMs);
    connect(&m_syncTimer, &QTimer::timeout, this, &JournalKeeper::syncIfDue);
}

void JournalKeeper::setSettings(const AppConfig::JournalSettings &settings)
{
    m_settings = settings;
    qCDebug(lcOutput) << "journal" << (m_settings.enabled ? "on, folder" : "off, folder")
                      << m_settings.folder;
    if (!m_settings.enabled) {
        m_syncTimer.stop();
        m_writer.close();
        emit off();
    }
}

void JournalKeeper::addReading(const RecordedReading &recorded)
{
    if (!m_settings.enabled || m_stopped)
        return;
    if (!m_writer.isOpen()) {
        if (!m_writer.openInFolder(m_settings.folder, recorded.time)) {
            stop(m_writer.errorString());
            return;
        }
        m_path = m_writer.filePath();
        qCDebug(lcOutput) << "journal:" << m_path;
        m_syncTimer.start();
        emit recording(m_path);
    }
    if (!m_writer.append(JournalWriter::rowFor(recorded)))
        stop(m_writer.errorString());
}

void JournalKeeper::addGap(const QDateTime &time, const QString &reason)
{
    if (m_writer.isOpen() && !m_writer.appendComment(JournalWriter::gapComment(time, reason)))
        stop(m_writer.errorString());
}

void JournalKeeper::addLimitCrossing(const LimitCrossing &crossing)
{
    if (m_writer.isOpen() && !m_writer.appendComment(JournalWriter::limitComment(crossing)))
        stop(m_writer.errorString());
}

void JournalKeeper::beginRun()
{
    if (!m_stopped)
        return;
    m_stopped = false;
    m_path.clear();
}

void JournalKeeper::syncIfDue()
{
    if (!m_writer.syncIfDue())
        stop(m_writer.errorString());
}

void JournalKeeper::stop(const QString &reason)
{
    const QString path = m_path.isEmpty() ? m_settings.folder : m_path;
    m_stopped = true;
    m_syncTimer.stop();
    m_writer.close();
    qCWarning(lcOutput) << "journal stopped:" << reason;
    emit stopped(reason, path);
}
