#ifndef INFLUXOUTPUT_H
#define INFLUXOUTPUT_H

#include "httpposter.h"
#include "recordsink.h"
#include "link/ticksampler.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <deque>

// Writes the readings of a run to InfluxDB over HTTP, in batches: what came
// in during a second, or 5,000 lines, whichever is first. While the database
// cannot be reached (refused, timed out, 5xx, 429, or it does not know us or
// the database yet) the batch is tried again after 1 s, then 2, 4... up to
// 30 s, and new readings wait in memory, the oldest dropped once a day's
// worth at one a second waits. A batch that may have been written before
// its answer was lost is simply sent again: InfluxDB keeps one point per
// series and time stamp, so nothing is doubled.
class InfluxOutput : public QObject, public RecordSink
{
    Q_OBJECT
public:
    struct Settings {
        QUrl writeUrl;              // see InfluxLine::writeUrl()
        QByteArray authorization;   // the Authorization header; empty for none
        QString meter;              // the meter tag
        int maxQueued = MaxQueuedLines;
    };

    static constexpr int MaxBatchLines = 5000;
    static constexpr int BatchDelayMs = 1000;
    static constexpr int FirstRetryDelayMs = 1000;
    static constexpr int MaxRetryDelayMs = 30000;
    static constexpr int RequestTimeoutMs = 10000;
    static constexpr int MaxQueuedLines = 24 * 3600;
    static constexpr int FinishWaitMs = 5000;

    explicit InfluxOutput(const Settings &settings, QObject *parent = nullptr);
    ~InfluxOutput() override;

    void addReading(const RecordedReading &recorded) override;
    // The database holds readings only: gaps and limit crossings are the
    // journal's and the broker's events.
    void addGap(const QDateTime &, const QString &) override {}
    void addLimitCrossing(qint64, const LimitCrossing &) override {}
    // Paced (a replay, faster than the database): addReading() runs the
    // event loop while a full batch waits and the database takes writes.
    void setPaced(bool paced) { m_paced = paced; }
    // Writes what waits, for at most timeoutMs; afterwards nothing is sent.
    void finish(int timeoutMs = FinishWaitMs);

    qint64 written() const { return m_written; }
    // Readings that did not reach the database: dropped while it was away,
    // refused by it, or still waiting.
    qint64 notWritten() const;
    // The closing line for standard error.
    QString summaryText() const;

signals:
    // A line for standard error.
    void message(const QString &text);
    // A write was answered (or failed).
    void replied();

private:
    void waitForRoom();
    void send();
    void onReplied(int status, const QByteArray &body, const QString &error);
    void scheduleNext();
    qint64 waiting() const { return qint64(m_queue.size()) + m_batchLines; }

    Settings m_settings;
    HttpPoster m_poster;
    std::deque<QByteArray> m_queue;
    QByteArray m_batch; // being written or to be tried again
    int m_batchLines = 0;
    QTimer m_batchTimer;
    QTimer m_retryTimer;
    int m_retryDelayMs = FirstRetryDelayMs;
    QElapsedTimer m_awayClock;
    bool m_away = false;
    bool m_finishing = false;
    bool m_finished = false;
    bool m_paced = false;
    bool m_overflowTold = false;
    bool m_refusalTold = false;
    qint64 m_written = 0;
    qint64 m_dropped = 0;
    qint64 m_droppedToldAt = 0;
    qint64 m_refused = 0;
};

#endif // INFLUXOUTPUT_H
