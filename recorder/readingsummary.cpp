#include "readingsummary.h"

#include "history/readinghistory.h"
#include "journal/journalwriter.h"

#include <cmath>

namespace {

const char *const SummaryTimeFormat = "yyyy-MM-dd hh:mm:ss";

// The decimals of a value shown in `unitText` once written in `groupUnit`
// ("350.0" mV in V: 4).
int decimalsIn(const QString &text, const QString &unitText, const QString &groupUnit)
{
    const int point = text.indexOf(QLatin1Char('.'));
    const int decimals = point < 0 ? 0 : text.size() - point - 1;
    const double ratio = MeterReading::unitScale(unitText).factor
        / MeterReading::unitScale(groupUnit).factor;
    return qMax(0, decimals - int(std::lround(std::log10(ratio))));
}

} // namespace

void ReadingSummary::addReading(const RecordedReading &recorded)
{
    ++m_readings;
    if (!m_first.isValid())
        m_first = recorded.time;
    m_last = recorded.time;

    const MeterReading &reading = recorded.reading;
    const std::optional<double> number = reading.number();
    m_statistics.add(reading.functionText, reading.unitText, number);
    const size_t index = size_t(m_statistics.currentGroup());
    if (m_texts.size() <= index)
        m_texts.resize(index + 1);
    if (!number)
        return;
    const LiveStatistics::Group &group = m_statistics.groups()[index];
    Texts &texts = m_texts[index];
    const double value = ReadingHistory::inUnit(*number, reading.unitText, group.unit).value_or(*number);
    const int decimals = decimalsIn(reading.tableValueText(), reading.unitText, group.unit);
    const QString text = reading.unitText == group.unit
        ? JournalWriter::plainValueText(reading.tableValueText())
        : QString::number(value, 'f', decimals);
    const bool first = group.statistics.count() == 1;
    if (first || value < texts.min) {
        texts.min = value;
        texts.minText = text;
    }
    if (first || value > texts.max) {
        texts.max = value;
        texts.maxText = text;
    }
    texts.decimals = qMax(texts.decimals, decimals);
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

    const std::vector<LiveStatistics::Group> &groups = m_statistics.groups();
    const auto nameOf = [](const LiveStatistics::Group &group) {
        return (group.function + QLatin1Char(' ') + group.unit).trimmed();
    };
    int width = 0;
    for (const LiveStatistics::Group &group : groups)
        width = qMax(width, nameOf(group).size());
    for (size_t i = 0; i < groups.size(); ++i) {
        const LiveStatistics::Group &group = groups[i];
        const Texts &texts = m_texts[i];
        const qint64 numbers = group.statistics.count();
        const QString name = nameOf(group);
        out += QStringLiteral("  %1  %2 reading%3")
                   .arg(name.isEmpty() ? QStringLiteral("(none)") : name, -qMax(width, 6))
                   .arg(group.readings, 7).arg(group.readings == 1 ? " " : "s");
        if (numbers > 0) {
            out += QStringLiteral("  min %1  max %2  mean %3")
                       .arg(texts.minText, texts.maxText,
                            QString::number(group.statistics.mean(), 'f', texts.decimals + 1));
        }
        if (numbers < group.readings)
            out += QStringLiteral("  (%1 without a number)").arg(group.readings - numbers);
        out += QLatin1Char('\n');
    }
    return out;
}
