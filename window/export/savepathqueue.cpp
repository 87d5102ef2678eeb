#include "export/savepathqueue.h"

#include <QFileInfo>
#include <QMutexLocker>

#include <algorithm>

SavePathQueue &SavePathQueue::instance()
{
    static SavePathQueue queue;
    return queue;
}

QString SavePathQueue::keyOf(const QString &filePath)
{
    const QString absolute = QFileInfo(filePath).absoluteFilePath();
#ifdef Q_OS_WIN
    return absolute.toLower(); // one file, however the user typed its name
#else
    return absolute;
#endif
}

quint64 SavePathQueue::takeTicket(const QString &filePath)
{
    QMutexLocker locker(&m_mutex);
    Line &line = m_lines[keyOf(filePath)];
    const quint64 ticket = line.nextTicket++;
    line.waiting.insert(ticket);
    return ticket;
}

void SavePathQueue::waitForTurn(const QString &filePath, quint64 ticket)
{
    const QString key = keyOf(filePath);
    QMutexLocker locker(&m_mutex);
    for (;;) {
        const auto it = m_lines.constFind(key);
        if (it == m_lines.constEnd() || !it->waiting.contains(ticket))
            return; // not queued: nothing to wait for
        const quint64 first = *std::min_element(it->waiting.cbegin(), it->waiting.cend());
        if (first == ticket)
            return;
        m_turnChanged.wait(&m_mutex);
    }
}

void SavePathQueue::release(const QString &filePath, quint64 ticket)
{
    const QString key = keyOf(filePath);
    QMutexLocker locker(&m_mutex);
    const auto it = m_lines.find(key);
    if (it == m_lines.end())
        return;
    it->waiting.remove(ticket);
    if (it->waiting.isEmpty())
        m_lines.erase(it);
    m_turnChanged.wakeAll();
}
