#ifndef LIVESTATE_H
#define LIVESTATE_H

#include "recordsink.h"

#include "history/readinghistory.h"
#include "history/readingstatistics.h"
#include "limits/limitwatch.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

// What the web server shows of a run, fed by the recorder as it records and
// read by the server's threads: the last reading, the link, the statistics,
// the limits, the events of the stream and the history of the chart.
//
// The recorder's side (the RecordSink calls, setLink, stop) only ever takes a
// short lock: it formats the event, appends it to a ring of fixed size and a
// reading to a small pending list, and updates the figures. The history the
// chart is decimated from is the server's own: the server moves the pending
// readings into it (updateHistory) and decimates it under a lock the recorder
// never takes, so a month's decimation never holds the recording up.
class LiveState : public RecordSink
{
public:
    // Events the stream can replay to a client that reconnects.
    static constexpr qint64 EventCapacity = 100000;
    // Readings the chart's history holds: a month at one a second, as the
    // window's history holds; beyond it the oldest quarter is dropped.
    static constexpr qsizetype HistoryCapacity = 31 * 24 * 3600;

    struct Run {
        QString meter;   // the meter's name
        QString port;    // the serial port, or the capture replayed
        QString version; // the program's
        int intervalMs = 1000;
        qsizetype historyCapacity = HistoryCapacity;
    };

    explicit LiveState(const Run &run, const LimitWatch &limits = LimitWatch());

    // --- The recorder's side.
    void setFile(const QString &path);
    void addReading(const RecordedReading &recorded) override;
    void addGap(const QDateTime &time, const QString &reason) override;
    void addLimitCrossing(qint64 n, const LimitCrossing &crossing) override;
    // "recording", "lost", "waiting" (the port open again, no data yet),
    // "stopped"; the reason is empty while recording.
    void setLink(const QString &state, const QDateTime &since, const QString &reason);
    // The run is over: a stop event, the link stopped.
    void stop(const QDateTime &time, const QString &reason);
    // Called after every event, on the thread that added it; must be quick.
    void setEventListener(std::function<void()> listener);

    // --- The server's side.
    // The id of the last event (0 before the first).
    qint64 lastEventId() const;
    // Appends the stream's text of the events from id `next` on to *out
    // (about `maxBytes` at most) and returns the id of the next one to send.
    // Events no longer held are announced by a "missed" event first; so is
    // an id beyond the last one (a client of an earlier run), after which
    // only events to come are sent.
    qint64 eventsFrom(qint64 next, QByteArray *out, int maxBytes) const;
    QByteArray statusJson();
    QByteArray metricsText() const;
    // The decimated history as JSON; times in milliseconds since the epoch,
    // the whole run when not given.
    QByteArray historyJson(std::optional<qint64> from, std::optional<qint64> to, int columns);
    // Moves the readings taken since the last call into the history.
    void updateHistory();
    QString filePath() const;
    // How many readings the history holds (after updateHistory).
    qsizetype historySize();

    // A reading as the stream and the status give it: the JSON-lines object
    // with "seq".
    static QByteArray readingJson(const RecordedReading &recorded);

private:
    struct Pending {
        qint64 ms = 0;
        QString function;
        QString unit;
        std::optional<double> number;
        bool gap = false;
    };

    void pushEvent(const char *name, const QByteArray &data);
    void notify();
    QByteArray linkJson() const;

    const Run m_run;

    mutable std::mutex m_mutex; // everything below up to the history
    std::function<void()> m_listener;
    std::deque<QByteArray> m_events; // the stream's text of each event held
    qint64 m_firstEventId = 1;       // the id of m_events.front()
    QString m_filePath;
    QByteArray m_lastReading; // its JSON; empty before one
    double m_lastValue = 0;
    bool m_lastHasValue = false;
    QString m_lastFunction, m_lastUnit;
    qint64 m_lastReadingMs = 0;
    qint64 m_readings = 0;
    qint64 m_gaps = 0;
    LiveStatistics m_statistics;
    LimitWatch m_limits;
    QDateTime m_limitSince;
    QString m_linkState = QStringLiteral("waiting");
    QDateTime m_linkSince;
    QString m_linkReason;
    std::vector<Pending> m_pending;

    std::mutex m_historyMutex; // the server's alone
    ReadingHistory m_history;
};

#endif // LIVESTATE_H
