#ifndef SAVEPATHQUEUE_H
#define SAVEPATHQUEUE_H

#include <QHash>
#include <QMutex>
#include <QSet>
#include <QString>
#include <QWaitCondition>

// Lets writers of the same file take turns, in the order they asked.
//
// A writer takes a ticket when its job is set up (on the GUI thread), waits
// for its turn on its own thread, and hands the turn on when it has finished
// or given up. Writers of different files never wait for each other.
class SavePathQueue
{
public:
    static SavePathQueue &instance();

    quint64 takeTicket(const QString &filePath);
    void waitForTurn(const QString &filePath, quint64 ticket);
    void release(const QString &filePath, quint64 ticket);

private:
    SavePathQueue() = default;
    static QString keyOf(const QString &filePath);

    struct Line
    {
        quint64 nextTicket = 1;
        QSet<quint64> waiting; // taken and not yet released
    };

    QMutex m_mutex;
    QWaitCondition m_turnChanged;
    QHash<QString, Line> m_lines;
};

#endif // SAVEPATHQUEUE_H
