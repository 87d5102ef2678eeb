#ifndef STOPSIGNALS_H
#define STOPSIGNALS_H

#include <QObject>

class QSocketNotifier;
class QTimer;

// Turns the requests to stop from outside (SIGINT and SIGTERM on POSIX,
// Ctrl+C on a console elsewhere) into a queued Qt signal, so the run ends
// through the event loop with everything written. Only one may exist.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

signals:
    void stopRequested(const QString &signalName);

private:
    void deliver();

    QSocketNotifier *m_notifier = nullptr;
    QTimer *m_pollTimer = nullptr;
};

#endif // STOPSIGNALS_H
