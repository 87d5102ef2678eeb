#include "jsonlines.h"

#include "journal/journalwriter.h"
#include "meter/meterreading.h"

#include <QLocale>

#include <cmath>

namespace {

QByteArray jsonString(const QString &text)
{
    QByteArray out;
    out.reserve(text.size() + 2);
    out += '"';
    const QByteArray utf8 = text.toUtf8();
    for (const char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (uchar(c) < 0x20)
                out += "\\u00" + QByteArray::number(uchar(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
    return out;
}

} // namespace

namespace JsonLines {

QByteArray jsonText(const QString &text)
{
    return jsonString(text);
}

QByteArray jsonLine(const RecordedReading &recorded)
{
    const MeterReading &reading = recorded.reading;
    QByteArray line = "{\"n\":" + QByteArray::number(recorded.n)
        + ",\"time\":" + jsonString(JournalWriter::isoTimeText(recorded.time))
        + ",\"function\":" + jsonString(reading.functionText)
        + ",\"text\":" + jsonString(reading.tableValueText()) + ",\"value\":";
    const std::optional<double> number = reading.number();
    if (number && std::isfinite(*number))
        line += QByteArray::number(*number, 'g', QLocale::FloatingPointShortest);
    else
        line += "null";
    line += ",\"unit\":" + jsonString(reading.unitText) + ",\"flags\":[";
    const QStringList words = reading.annunciatorWords();
    for (int i = 0; i < words.size(); ++i) {
        if (i > 0)
            line += ',';
        line += jsonString(words.at(i));
    }
    line += "]}";
    return line;
}

QByteArray baseFields(const MeterReading &reading)
{
    // Enough digits for any value the meter shows, none of the noise of the
    // multiplication (2.19 × 10⁶ is 2190000, not 2189999.9999999998).
    const int digits = 12;
    const std::optional<double> base = reading.baseValue();
    return ",\"base_value\":"
        + (base && std::isfinite(*base) ? QByteArray::number(*base, 'g', digits) : QByteArray("null"))
        + ",\"base_unit\":" + jsonString(MeterReading::unitScale(reading.unitText).baseUnit);
}

QByteArray jsonGapLine(const QDateTime &time, const QString &reason)
{
    return "{\"event\":\"gap\",\"time\":" + jsonString(JournalWriter::isoTimeText(time)) + ",\"reason\":"
        + jsonString(reason) + "}";
}

QByteArray jsonLimitLine(qint64 n, const LimitCrossing &crossing)
{
    return "{\"event\":\"limit\",\"n\":" + QByteArray::number(n)
        + ",\"time\":" + jsonString(JournalWriter::isoTimeText(crossing.time))
        + ",\"state\":" + jsonString(crossing.stateName())
        + ",\"value\":" + (crossing.value ? crossing.valueText.toUtf8() : QByteArray("null"))
        + ",\"unit\":" + jsonString(crossing.unit) + "}";
}

} // namespace JsonLines
