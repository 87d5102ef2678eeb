#include "livestate.h"

#include "jsonlines.h"
#include "history/historydecimation.h"
#include "journal/journalwriter.h"
#include "meter/meterreading.h"

#include <QFileInfo>
#include <QHash>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

QByteArray number(double value)
{
    if (!std::isfinite(value))
        return "null";
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

// A value held as a float, with the digits a float holds.
QByteArray floatNumber(double value)
{
    return QByteArray::number(value, 'g', 7);
}

QByteArray text(const QString &value)
{
    return JsonLines::jsonText(value);
}

QByteArray timeText(const QDateTime &time)
{
    return time.isValid() ? text(JournalWriter::isoTimeText(time)) : QByteArray("null");
}

// A label's value in the Prometheus text format.
QByteArray labelValue(const QString &value)
{
    QByteArray out;
    for (const char c : value.toUtf8()) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

QByteArray metricNumber(double value)
{
    if (std::isnan(value))
        return "NaN";
    if (std::isinf(value))
        return value > 0 ? "+Inf" : "-Inf";
    return QByteArray::number(value, 'g', QLocale::FloatingPointShortest);
}

// The readings [first, end) of `history` in a new one: segments, gaps and
// values as they were (values are in their segment's unit already).
ReadingHistory tail(const ReadingHistory &history, qsizetype first)
{
    ReadingHistory kept;
    kept.reserve(history.size() - first);
    const auto &segments = history.segments();
    int s = history.segmentOf(first);
    for (qsizetype i = first; i < history.size(); ++i) {
        while (s + 1 < int(segments.size()) && segments[size_t(s) + 1].start <= i)
            ++s;
        if (i > first && history.gapBefore(i))
            kept.addGap();
        const float value = history.valueAt(i);
        const ReadingHistory::Segment &segment = segments[size_t(s)];
        kept.append(history.timeAt(i), segment.function, segment.unit,
                    std::isnan(value) ? std::nullopt : std::optional<double>(value));
    }
    return kept;
}

} // namespace

LiveState::LiveState(const Run &run, const LimitWatch &limits) : m_run(run), m_limits(limits) {}

QByteArray LiveState::readingJson(const RecordedReading &recorded)
{
    QByteArray line = JsonLines::jsonLine(recorded);
    line.chop(1);
    return line + ",\"seq\":" + QByteArray::number(recorded.n) + JsonLines::baseFields(recorded.reading) + '}';
}

void LiveState::setEventListener(std::function<void()> listener)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_listener = std::move(listener);
}

void LiveState::notify()
{
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        listener = m_listener;
    }
    if (listener)
        listener();
}

// Called with m_mutex held.
void LiveState::pushEvent(const char *name, const QByteArray &data)
{
    const qint64 id = m_firstEventId + qint64(m_events.size());
    m_events.push_back("id: " + QByteArray::number(id) + "\nevent: " + name + "\ndata: " + data + "\n\n");
    if (qint64(m_events.size()) > EventCapacity) {
        m_events.pop_front();
        ++m_firstEventId;
    }
}

void LiveState::setFile(const QString &path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_filePath = path;
}

QString LiveState::filePath() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_filePath;
}

void LiveState::addReading(const RecordedReading &recorded)
{
    const MeterReading &reading = recorded.reading;
    const QByteArray json = readingJson(recorded);
    const std::optional<double> value = reading.number();
    const qint64 ms = recorded.time.toMSecsSinceEpoch();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_lastReading = json;
        m_lastHasValue = value && std::isfinite(*value);
        m_lastValue = m_lastHasValue ? *value : 0;
        m_lastFunction = reading.functionText;
        m_lastUnit = reading.unitText;
        m_lastReadingMs = ms;
        ++m_readings;
        m_statistics.add(reading.functionText, reading.unitText, value);
        if (m_limits.isActive() && m_limits.check(reading, recorded.time))
            m_limitSince = recorded.time;
        m_pending.push_back({ms, reading.functionText, reading.unitText, value, false});
        pushEvent("reading", json);
    }
    notify();
}

void LiveState::addGap(const QDateTime &time, const QString &reason)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_gaps;
        Pending gap;
        gap.gap = true;
        m_pending.push_back(gap);
        pushEvent("gap", JsonLines::jsonGapLine(time, reason));
    }
    notify();
}

void LiveState::addLimitCrossing(qint64 n, const LimitCrossing &crossing)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pushEvent("limit", JsonLines::jsonLimitLine(n, crossing));
    }
    notify();
}

// Called with m_mutex held.
QByteArray LiveState::linkJson() const
{
    return "{\"state\":" + text(m_linkState) + ",\"since\":" + timeText(m_linkSince)
        + ",\"reason\":" + (m_linkReason.isEmpty() ? QByteArray("null") : text(m_linkReason)) + '}';
}

void LiveState::setLink(const QString &state, const QDateTime &since, const QString &reason)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (state == m_linkState && reason == m_linkReason)
            return;
        m_linkState = state;
        m_linkSince = since;
        m_linkReason = reason;
        pushEvent("link", linkJson());
    }
    notify();
}

void LiveState::stop(const QDateTime &time, const QString &reason)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pushEvent("stop", "{\"event\":\"stop\",\"time\":" + timeText(time) + ",\"reason\":"
                              + (reason.isEmpty() ? QByteArray("null") : text(reason)) + '}');
        m_linkState = QStringLiteral("stopped");
        m_linkSince = time;
        m_linkReason = reason;
        pushEvent("link", linkJson());
    }
    notify();
}

qint64 LiveState::lastEventId() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_firstEventId + qint64(m_events.size()) - 1;
}

qint64 LiveState::eventsFrom(qint64 next, QByteArray *out, int maxBytes) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const qint64 end = m_firstEventId + qint64(m_events.size()); // the id of the next event to come
    qint64 resume = next;
    if (next < m_firstEventId)
        resume = m_firstEventId;
    else if (next > end)
        resume = end;
    if (resume != next) {
        *out += "event: missed\ndata: {\"after\":" + QByteArray::number(next - 1)
            + ",\"next\":" + QByteArray::number(resume) + "}\n\n";
    }
    for (next = resume; next < end && out->size() < maxBytes; ++next)
        *out += m_events[size_t(next - m_firstEventId)];
    return next;
}

void LiveState::updateHistory()
{
    std::vector<Pending> pending;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        pending.swap(m_pending);
    }
    if (pending.empty())
        return;
    std::lock_guard<std::mutex> lock(m_historyMutex);
    for (const Pending &reading : pending) {
        if (reading.gap)
            m_history.addGap();
        else
            m_history.append(reading.ms, reading.function, reading.unit, reading.number);
    }
    const qsizetype capacity = std::max<qsizetype>(m_run.historyCapacity, 4);
    if (m_history.size() > capacity)
        m_history = tail(m_history, m_history.size() - capacity * 3 / 4);
}

qsizetype LiveState::historySize()
{
    updateHistory();
    std::lock_guard<std::mutex> lock(m_historyMutex);
    return m_history.size();
}

QByteArray LiveState::statusJson()
{
    QByteArray json;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        json = "{\"meter\":" + text(m_run.meter) + ",\"port\":" + text(m_run.port)
            + ",\"version\":" + text(m_run.version)
            + ",\"interval\":" + number(m_run.intervalMs / 1000.0)
            + ",\"link\":" + linkJson()
            + ",\"file\":" + (m_filePath.isEmpty() ? QByteArray("null") : text(QFileInfo(m_filePath).fileName()))
            + ",\"reading\":" + (m_lastReading.isEmpty() ? QByteArray("null") : m_lastReading)
            + ",\"readings\":" + QByteArray::number(m_readings) + ",\"gaps\":" + QByteArray::number(m_gaps)
            + ",\"statistics\":";
        if (m_statistics.currentGroup() < 0) {
            json += "null";
        } else {
            const LiveStatistics::Group &group = m_statistics.groups()[size_t(m_statistics.currentGroup())];
            const ReadingStatistics &figures = group.statistics;
            const bool any = !figures.isEmpty();
            json += "{\"function\":" + text(group.function) + ",\"unit\":" + text(group.unit)
                + ",\"n\":" + QByteArray::number(figures.count())
                + ",\"min\":" + (any ? number(figures.minimum()) : "null")
                + ",\"max\":" + (any ? number(figures.maximum()) : "null")
                + ",\"mean\":" + (any ? number(figures.mean()) : "null")
                + ",\"sd\":" + (any && figures.count() > 1 ? number(figures.standardDeviation()) : "null") + '}';
        }
        json += ",\"limits\":";
        if (!m_limits.isActive()) {
            json += "null";
        } else {
            json += "{\"low\":" + (m_limits.low() ? number(*m_limits.low()) : "null")
                + ",\"high\":" + (m_limits.high() ? number(*m_limits.high()) : "null")
                + ",\"unit\":" + (m_limits.unit().isEmpty() ? QByteArray("null") : text(m_limits.unit()))
                + ",\"state\":" + text(LimitCrossing::stateName(m_limits.state()))
                + ",\"since\":" + timeText(m_limitSince) + '}';
        }
    }
    updateHistory();
    std::lock_guard<std::mutex> lock(m_historyMutex);
    json += ",\"range\":";
    if (m_history.isEmpty())
        json += "null";
    else
        json += "{\"first\":" + QByteArray::number(m_history.timeAt(0))
            + ",\"last\":" + QByteArray::number(m_history.timeAt(m_history.size() - 1)) + '}';
    return json + '}';
}

QByteArray LiveState::metricsText() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QByteArray meter = "meter=\"" + labelValue(m_run.meter) + '"';
    QByteArray out;
    auto family = [&out](const char *name, const char *type, const char *help) {
        out += QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
    };
    family("ravelo_reading", "gauge",
           "The last reading in its unit (NaN when it shows no number), its function and unit as labels.");
    if (!m_lastReading.isEmpty()) {
        out += "ravelo_reading{" + meter + ",function=\"" + labelValue(m_lastFunction) + "\",unit=\""
            + labelValue(m_lastUnit) + "\"} "
            + metricNumber(m_lastHasValue ? m_lastValue : std::nan("")) + '\n';
        family("ravelo_reading_timestamp_seconds", "gauge", "When the last reading was taken.");
        out += "ravelo_reading_timestamp_seconds{" + meter + "} " + metricNumber(m_lastReadingMs / 1000.0) + '\n';
    }
    family("ravelo_readings_total", "counter", "Readings recorded in this run.");
    out += "ravelo_readings_total{" + meter + "} " + QByteArray::number(m_readings) + '\n';
    family("ravelo_gaps_total", "counter", "Times the link to the meter was lost in this run.");
    out += "ravelo_gaps_total{" + meter + "} " + QByteArray::number(m_gaps) + '\n';
    family("ravelo_link_up", "gauge", "1 while readings come in, 0 while the link is lost or the run is over.");
    out += "ravelo_link_up{" + meter + "} " + (m_linkState == QLatin1String("recording") ? "1" : "0") + '\n';
    if (m_limits.isActive()) {
        family("ravelo_limit_state", "gauge", "1 for the state the readings are in against --low and --high.");
        for (const LimitCrossing::State state :
             {LimitCrossing::State::Ok, LimitCrossing::State::Low, LimitCrossing::State::High}) {
            out += "ravelo_limit_state{" + meter + ",state=\"" + LimitCrossing::stateName(state).toUtf8()
                + "\"} " + (state == m_limits.state() ? "1" : "0") + '\n';
        }
        const QByteArray unit = ",unit=\"" + labelValue(m_limits.unit()) + "\"} ";
        if (m_limits.low()) {
            family("ravelo_limit_low", "gauge", "The low limit, in the unit without its prefix.");
            out += "ravelo_limit_low{" + meter + unit + metricNumber(*m_limits.low()) + '\n';
        }
        if (m_limits.high()) {
            family("ravelo_limit_high", "gauge", "The high limit, in the unit without its prefix.");
            out += "ravelo_limit_high{" + meter + unit + metricNumber(*m_limits.high()) + '\n';
        }
    }
    return out;
}

QByteArray LiveState::historyJson(std::optional<qint64> from, std::optional<qint64> to, int columns)
{
    updateHistory();
    std::lock_guard<std::mutex> lock(m_historyMutex);
    const bool empty = m_history.isEmpty();
    const qint64 t0 = from.value_or(empty ? 0 : m_history.timeAt(0));
    const qint64 t1 = to.value_or(empty ? 0 : m_history.timeAt(m_history.size() - 1));
    QByteArray json = "{\"from\":" + QByteArray::number(t0) + ",\"to\":" + QByteArray::number(t1)
        + ",\"columns\":" + QByteArray::number(columns) + ",\"range\":";
    if (empty)
        json += "null";
    else
        json += "{\"first\":" + QByteArray::number(m_history.timeAt(0))
            + ",\"last\":" + QByteArray::number(m_history.timeAt(m_history.size() - 1)) + '}';

    // Segments of one function and unit without its prefix are one series,
    // in the unit of the first of them (the dial turned back to DC in the mA
    // range after DC in A: one line in A), as the statistics count them; in
    // the order of their first reading in the range.
    struct Series {
        QString function, unit, baseUnit;
        double factor; // of the series' unit to the unit without its prefix
        QByteArray runs, marks;
    };
    std::vector<Series> series;
    QHash<QString, size_t> index;
    if (!empty) {
        const std::vector<DecimatedSegment> decimated = decimateHistory(m_history, t0, t1, columns);
        for (const DecimatedSegment &part : decimated) {
            const ReadingHistory::Segment &segment = m_history.segments()[size_t(part.segment)];
            const MeterReading::UnitScale scale = MeterReading::unitScale(segment.unit);
            const QString key = segment.function + QChar(0x1f) + scale.baseUnit;
            auto found = index.constFind(key);
            if (found == index.constEnd()) {
                found = index.insert(key, series.size());
                series.push_back({segment.function, segment.unit, scale.baseUnit, scale.factor, QByteArray(), QByteArray()});
            }
            Series &into = series[*found];
            const double factor = scale.factor / into.factor;
            for (const QVector<QPointF> &run : part.runs) {
                if (run.isEmpty())
                    continue;
                QByteArray t, v;
                t.reserve(run.size() * 14);
                v.reserve(run.size() * 8);
                for (const QPointF &point : run) {
                    if (!t.isEmpty()) {
                        t += ',';
                        v += ',';
                    }
                    t += QByteArray::number(qint64(point.x()));
                    v += floatNumber(point.y() * factor);
                }
                if (!into.runs.isEmpty())
                    into.runs += ',';
                into.runs += "{\"t\":[" + t + "],\"v\":[" + v + "]}";
            }
            for (const qint64 mark : part.marks) {
                if (!into.marks.isEmpty())
                    into.marks += ',';
                into.marks += QByteArray::number(mark);
            }
        }
    }
    json += ",\"series\":[";
    for (size_t i = 0; i < series.size(); ++i) {
        if (i > 0)
            json += ',';
        json += "{\"function\":" + text(series[i].function) + ",\"unit\":" + text(series[i].unit)
            + ",\"base_unit\":" + text(series[i].baseUnit) + ",\"factor\":"
            + QByteArray::number(series[i].factor, 'g', QLocale::FloatingPointShortest) + ",\"runs\":[" + series[i].runs + "],\"marks\":[" + series[i].marks + "]}";
    }
    return json + "]}";
}
