#include "readingsummary.h"

#include "output/journalwriter.h"

namespace {

const char *const SummaryTimeFormat = "yyyy-MM-dd hh:mm:ss";

int decimalsOf(const QString &text)
{
    const int point = text.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : text.size() - point - 1;
}

} // namespace

void ReadingSummary::addReading(const RecordedReading &recorded)
{
    ++m_readings;
    if (!m_first.isValid())
        m_first = recorded.time;
    m_last = recorded.time;

    const MeterReading &reading = recorded.reading;
    // Readings come in long runs of one function: the last group first.
    if (m_lastGroup < 0 || m_groups[size_t(m_lastGroup)].first.first != reading.functionText
        || m_groups[size_t(m_lastGroup)].first.second != reading.unitText) {
        const auto key = std::make_pair(reading.functionText, reading.unitText);
        auto found = m_groupIndex.find(key);
        if (found == m_groupIndex.end()) {
            found = m_groupIndex.emplace(key, int(m_groups.size())).first;
            m_groups.push_back({key, Group()});
        }
        m_lastGroup = found->second;
    }
    Group &group = m_groups[size_t(m_lastGroup)].second;
    ++group.readings;
    const std::optional<double> number = reading.number();
    if (!number)
        return;
    const QString text = reading.tableValueText();
    if (group.numbers == 0 || *number < group.min) {
        group.min = *number;
        group.minText = text;
    }
    if (group.numbers == 0 || *number > group.max) {
        group.max = *number;
        group.maxText = text;
    }
    group.sum += *number;
    group.decimals = qMax(group.decimals, decimalsOf(text));
    ++group.numbers;
}

QString ReadingSummary::text() const
{
    QString out = QStringLiteral("%1 reading%2, %3 gap%4")
                      .arg(m_readings).arg(m_readings == 1 ? "" : "s")
                      .arg(m_gaps).arg(m_gaps == 1 ? "" : "s");
    if (m_first.isValid())
        out += QStringLiteral(", %1 to %2")
                   .arg(m_first.toString(QLatin1String(SummaryTimeFormat)),
                        m_last.toString(QLatin1String(SummaryTimeFormat)));
    out += QLatin1Char('\n');

    int width = 0;
    for (const auto &entry : m_groups)
        width = qMax(width, (entry.first.first + QLatin1Char(' ') + entry.first.second).trimmed().size());
    for (const auto &entry : m_groups) {
        const Group &group = entry.second;
        const QString name = (entry.first.first + QLatin1Char(' ') + entry.first.second).trimmed();
        out += QStringLiteral("  %1  %2 reading%3")
                   .arg(name.isEmpty() ? QStringLiteral("(none)") : name, -qMax(width, 6))
                   .arg(group.readings, 7).arg(group.readings == 1 ? " " : "s");
        if (group.numbers > 0) {
            out += QStringLiteral("  min %1  max %2  mean %3")
                       .arg(JournalWriter::plainValueText(group.minText),
                            JournalWriter::plainValueText(group.maxText),
                            QString::number(group.sum / group.numbers, 'f', group.decimals + 1));
        }
        if (group.numbers < group.readings)
            out += QStringLiteral("  (%1 without a number)").arg(group.readings - group.numbers);
        out += QLatin1Char('\n');
    }
    return out;
}
