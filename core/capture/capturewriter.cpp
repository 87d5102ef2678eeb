#include "capture/capturewriter.h"

#include "journal/journalwriter.h"

namespace {

const int FlushAboveBytes = 64 * 1024;

} // namespace

CaptureWriter::~CaptureWriter()
{
    close();
}

bool CaptureWriter::open(const QString &path, const QDateTime &start, int intervalMs,
                         const QString &port)
{
    close();
    m_error.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        m_error = m_file.errorString();
        return false;
    }
    m_out = "# ravelo capture 1\n# start "
        + JournalWriter::isoTimeText(start).toUtf8()
        + "\n# interval-ms " + QByteArray::number(intervalMs) + "\n# port " + port.toUtf8()
        + "\n";
    return flush();
}

void CaptureWriter::received(qint64 ms, const QByteArray &bytes)
{
    if (!isOpen() || bytes.isEmpty())
        return;
    if (ms != m_pendingMs)
        writePendingBytes();
    m_pendingMs = ms;
    m_pending.append(bytes);
}

void CaptureWriter::tick(qint64 ms)
{
    writeEvent(ms, "tick", QByteArray());
}

void CaptureWriter::opened(qint64 ms, const QString &port)
{
    writeEvent(ms, "open", port.toUtf8());
}

void CaptureWriter::lost(qint64 ms, const QString &reason)
{
    writeEvent(ms, "lost", reason.toUtf8());
}

void CaptureWriter::closed(qint64 ms, const QString &reason)
{
    writeEvent(ms, "close", reason.toUtf8());
}

void CaptureWriter::writePendingBytes()
{
    if (m_pending.isEmpty())
        return;
    m_out += QByteArray::number(m_pendingMs) + " rx " + m_pending.toHex() + '\n';
    m_pending.clear();
}

void CaptureWriter::writeEvent(qint64 ms, const char *word, const QByteArray &rest)
{
    if (!isOpen())
        return;
    writePendingBytes();
    m_out += QByteArray::number(ms) + ' ' + word;
    if (!rest.isEmpty())
        m_out += ' ' + rest;
    m_out += '\n';
    if (m_out.size() > FlushAboveBytes)
        flush();
}

bool CaptureWriter::flush()
{
    if (!isOpen())
        return m_error.isEmpty();
    writePendingBytes();
    if (!m_out.isEmpty() && m_error.isEmpty()) {
        if (m_file.write(m_out) != m_out.size() || !m_file.flush())
            m_error = m_file.errorString();
    }
    m_out.clear();
    return m_error.isEmpty();
}

void CaptureWriter::close()
{
    if (!isOpen())
        return;
    flush();
    m_file.close();
}
