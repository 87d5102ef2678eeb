#include "influxoutput.h"

#include "influxline.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

const int HttpTooManyRequests = 429;

// What the server said about a write it did not take: its "error" text when
// it gave one; the connection's trouble when no answer came.
QString failureText(int status, const QByteArray &body, const QString &error)
{
    if (status <= 0)
        return error;
    QString text = QStringLiteral("HTTP %1").arg(status);
    const QString said = QJsonDocument::fromJson(body).object().value(QStringLiteral("error")).toString();
    if (!said.isEmpty())
        text += QStringLiteral(": ") + said;
    return text;
}

// Answers that say the batch itself is at fault: sending it again would be
// refused again, and would hold up every reading behind it. (Not 401, 403 and
// 404: a missing right or database can be put right while we wait.)
bool refusesTheBatch(int status)
{
    return status >= 400 && status < 500 && status != HttpTooManyRequests && status != 401
        && status != 403 && status != 404;
}

} // namespace

InfluxOutput::InfluxOutput(const Settings &settings, QObject *parent)
    : QObject(parent), m_settings(settings), m_poster(settings.writeUrl, settings.authorization)
{
    connect(&m_poster, &HttpPoster::finished, this, &InfluxOutput::onReplied);
    m_batchTimer.setSingleShot(true);
    m_batchTimer.setInterval(BatchDelayMs);
    m_retryTimer.setSingleShot(true);
    connect(&m_batchTimer, &QTimer::timeout, this, &InfluxOutput::send);
    connect(&m_retryTimer, &QTimer::timeout, this, &InfluxOutput::send);
}

InfluxOutput::~InfluxOutput()
{
    m_finished = true;
    m_poster.abort();
}

void InfluxOutput::addReading(const RecordedReading &recorded)
{
    if (m_finished)
        return;
    if (int(m_queue.size()) >= m_settings.maxQueued) {
        m_queue.pop_front();
        ++m_dropped;
        if (!m_overflowTold) {
            m_overflowTold = true;
            emit message(QStringLiteral("InfluxDB: %1 readings wait; the oldest are dropped from now on")
                             .arg(m_settings.maxQueued));
        }
    }
    m_queue.push_back(InfluxLine::line(recorded, m_settings.meter));
    scheduleNext();
    if (m_paced)
        waitForRoom();
}

void InfluxOutput::scheduleNext()
{
    if (m_poster.busy() || m_retryTimer.isActive() || m_finished)
        return;
    if (m_queue.size() >= size_t(MaxBatchLines) || m_finishing)
        send();
    else if (!m_queue.empty() && !m_batchTimer.isActive())
        m_batchTimer.start();
}

void InfluxOutput::send()
{
    if (m_poster.busy() || m_finished)
        return;
    m_batchTimer.stop();
    if (m_batch.isEmpty()) {
        const int lines = int(std::min(m_queue.size(), size_t(MaxBatchLines)));
        if (lines == 0)
            return;
        for (int i = 0; i < lines; ++i) {
            m_batch += m_queue.front();
            m_batch += '\n';
            m_queue.pop_front();
        }
        m_batchLines = lines;
    }
    m_poster.post(m_batch, RequestTimeoutMs);
}

void InfluxOutput::onReplied(int status, const QByteArray &body, const QString &error)
{
    if (m_finished)
        return;

    if (status >= 200 && status < 300) {
        m_written += m_batchLines;
        if (m_away) {
            m_away = false;
            QString text = QStringLiteral("InfluxDB takes writes again after %1 s")
                               .arg(QString::number(m_awayClock.elapsed() / 1000.0, 'f', 1));
            if (m_dropped > m_droppedToldAt)
                text += QStringLiteral("; %1 readings were dropped meanwhile").arg(m_dropped - m_droppedToldAt);
            m_droppedToldAt = m_dropped;
            emit message(text);
        }
        m_overflowTold = false;
        m_retryDelayMs = FirstRetryDelayMs;
    } else if (refusesTheBatch(status)) {
        // InfluxDB 1.x writes the good points of a partly bad batch and
        // names the first bad one; the others are not sent again.
        m_refused += m_batchLines;
        if (!m_refusalTold) {
            m_refusalTold = true;
            emit message(QStringLiteral("InfluxDB refused a batch of %1 readings (%2); "
                                        "batches it refuses are not sent again")
                             .arg(m_batchLines)
                             .arg(failureText(status, body, error)));
        }
    } else {
        if (!m_away) {
            m_away = true;
            m_awayClock.start();
            emit message(QStringLiteral("InfluxDB: cannot write to %1 (%2); trying again, readings wait")
                             .arg(m_settings.writeUrl.toDisplayString(QUrl::RemoveQuery),
                                  failureText(status, body, error)));
        }
        m_retryTimer.start(m_retryDelayMs);
        if (!m_finishing)
            m_retryDelayMs = std::min(2 * m_retryDelayMs, MaxRetryDelayMs);
        emit replied();
        return;
    }
    m_batch.clear();
    m_batchLines = 0;
    scheduleNext();
    emit replied();
}

void InfluxOutput::waitForRoom()
{
    if (m_away && m_queue.size() >= size_t(MaxBatchLines)) {
        // Not waiting for a database that is away, but letting the next try happen.
        QCoreApplication::processEvents();
        return;
    }
    while (!m_finished && !m_away && m_queue.size() >= size_t(MaxBatchLines)) {
        scheduleNext();
        if (!m_poster.busy())
            return;
        QEventLoop loop;
        connect(this, &InfluxOutput::replied, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void InfluxOutput::finish(int timeoutMs)
{
    if (m_finished)
        return;
    m_finishing = true;
    m_retryDelayMs = FirstRetryDelayMs;
    if (m_retryTimer.isActive())
        m_retryTimer.start(0);
    scheduleNext();
    if (waiting() > 0) {
        QEventLoop loop;
        QTimer deadline;
        deadline.setSingleShot(true);
        connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
        connect(this, &InfluxOutput::replied, &loop, [this, &loop] {
            if (waiting() == 0)
                loop.quit();
        });
        deadline.start(timeoutMs);
        loop.exec();
    }
    m_finished = true;
    m_batchTimer.stop();
    m_retryTimer.stop();
    m_poster.abort();
}

qint64 InfluxOutput::notWritten() const
{
    return m_dropped + m_refused + waiting();
}

QString InfluxOutput::summaryText() const
{
    QString text = QStringLiteral("InfluxDB: %1 readings written").arg(m_written);
    if (notWritten() == 0)
        return text;
    text += QStringLiteral("; %1 did not reach the database").arg(notWritten());
    QStringList parts;
    if (m_dropped > 0)
        parts << QStringLiteral("%1 dropped while it was away").arg(m_dropped);
    if (m_refused > 0)
        parts << QStringLiteral("%1 refused by it").arg(m_refused);
    if (waiting() > 0)
        parts << QStringLiteral("%1 left unsent").arg(waiting());
    return text + QStringLiteral(" (") + parts.join(QStringLiteral(", ")) + QLatin1Char(')');
}
