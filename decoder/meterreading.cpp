#include "meterreading.h"

#include <algorithm>
#include <climits>
#include <cmath>

using namespace MeterProtocol;

namespace {

// The digit table as a lookup by byte: nullptr for a pattern the meter's
// table does not know (the blank position included).
struct DigitLookup {
    const char *text[256] = {};
    DigitLookup()
    {
        for (const DigitCode &digit : DigitTable)
            text[digit.code] = digit.text;
    }
};

// The words of the lit annunciators of one flag byte, in bit order.
template <int N>
void appendWords(const FlagBit (&table)[N], quint32 lit, QStringList *words)
{
    for (const FlagBit &flag : table) {
        if (flag.word && (lit & annunciatorMask(flag.annunciator)))
            words->append(QString::fromUtf8(flag.word));
    }
}

bool isTemperatureUnit(const QString &unit)
{
    return unit == QStringLiteral("℃") || unit == QStringLiteral("℉");
}

// A text as the meter's single-precision number; 0 when it is not one.
float asNumber(const QString &text)
{
    const float x = text.toFloat();
    return std::isfinite(x) ? x : 0.0f;
}

} // namespace

std::optional<MeterReading> MeterReading::fromFrame(const QByteArray &frameBytes)
{
    if (frameBytes.size() != FrameLength || quint8(frameBytes.at(StartByte)) != FrameStart
        || frameChecksum(frameBytes) != quint8(frameBytes.at(ChecksumByte)))
        return std::nullopt;
    const bool allReadable[FrameLength] = {true, true, true, true, true, true, true, true, true, true,
                                           true, true, true, true, true, true, true, true, true, true};
    return decode(reinterpret_cast<const quint8 *>(frameBytes.constData()), allReadable);
}

std::optional<MeterReading> MeterReading::fromFrameText(const QByteArray &frameText)
{
    quint8 bytes[FrameLength];
    quint32 lowerHex = 0;
    if (!readFrameText(frameText, bytes, &lowerHex))
        return std::nullopt;
    // The digit table is matched against lower-case text: a digit field
    // written in upper case shows nothing.
    bool readable[FrameLength];
    for (int i = 0; i < FrameLength; ++i)
        readable[i] = lowerHex & (1u << i);
    return decode(bytes, readable);
}

MeterReading MeterReading::decode(const quint8 *bytes, const bool *digitReadable)
{
    static const DigitLookup digits;
    MeterReading reading;

    // Units and function names in the meter's order: byte 2, its rewrite,
    // byte 3, its rewrite, byte 4 (the last name assigned wins), then byte 9
    // appends DC and AC.
    QString unit;
    QString function;
    applyFlagBits(MainUnitBits, bytes[MainUnitByte], FunctionRule::Assign, &unit, &function);
    applyUnitRewrite(FirstUnitRewrites, &unit, &function);
    quint32 lit = applyFlagBits(SubUnitBits, bytes[SubUnitByte], FunctionRule::Assign, &unit,
                                &function);
    applyUnitRewrite(SecondUnitRewrites, &unit, &function);
    lit |= applyFlagBits(StatusBits, bytes[StatusByte], FunctionRule::Assign, nullptr, &function);
    lit |= applyFlagBits(ModeBits, bytes[ModeByte], FunctionRule::Append, nullptr, &function);

    QString value;
    value.reserve(2 * DigitPositionCount);
    for (int byte : DigitBytes) {
        if (!digitReadable[byte])
            continue;
        if (const char *text = digits.text[bytes[byte]])
            value.append(QLatin1String(text));
    }

    if (const VersionEntry *entry = findVersion(bytes[VersionByte])) {
        reading.model = QString::fromUtf8(ModelName);
        reading.version = QString::fromUtf8(entry->version);
        reading.withoutBarGraph = entry->hidesGauge;
    }

    reading.valueText = value;
    reading.negative = bytes[ModeByte] & MinusBit;
    reading.unitText = unit;
    reading.annunciators = lit;

    // The special displays. EF or dashes without the sign are the
    // non-contact voltage detector; with the sign they are taken as they
    // stand.
    const bool ncvDigits = value.contains(QLatin1String("EF")) || value.contains(QLatin1Char('-'));
    if (ncvDigits && !reading.negative) {
        reading.kind = value.contains(QLatin1String("EF")) ? Kind::NcvField : Kind::NcvDashes;
        function = QStringLiteral("NCV");
    } else if (!ncvDigits && value.contains(QLatin1String("LIVE"))) {
        reading.kind = Kind::Live;
        function = QStringLiteral("LIVE");
    } else if (value.contains(QLatin1Char('L')) || value.contains(QLatin1Char('E'))) {
        reading.kind = Kind::Overload;
    } else {
        reading.kind = value.isEmpty() ? Kind::Blank : Kind::Ordinary;
    }
    reading.functionText = function;
    return reading;
}

bool MeterReading::keepsBarGraphAsItWas() const
{
    return negative
        && (valueText.contains(QLatin1String("EF")) || valueText.contains(QLatin1Char('-')));
}

QString MeterReading::tableValueText() const
{
    return negative ? QLatin1Char('-') + valueText : valueText;
}

float MeterReading::digitsAsNumber() const
{
    return asNumber(valueText);
}

QString MeterReading::panelText() const
{
    if (kind == Kind::Overload || isDetector() || !isTemperatureUnit(unitText))
        return valueText;
    return QString::number(double(digitsAsNumber()), 'g', 6);
}

std::optional<double> MeterReading::number() const
{
    if (kind != Kind::Ordinary)
        return std::nullopt;
    bool ok = false;
    const double x = valueText.toDouble(&ok);
    if (!ok || !std::isfinite(x))
        return std::nullopt;
    return negative ? -x : x;
}

double MeterReading::curveValue() const
{
    if (kind == Kind::Overload || isDetector())
        return negative ? -OverRangeMark : OverRangeMark;
    const double x = double(digitsAsNumber());
    return negative ? -x : x;
}

std::optional<int> MeterReading::barSteps() const
{
    if (kind == Kind::Overload || isDetector()
        || std::fabs(double(digitsAsNumber())) > FullScaleCounts)
        return std::nullopt;
    QString counts = valueText;
    counts.remove(QLatin1Char('.'));
    const double steps = std::fabs(double(asNumber(counts))) / CountsPerBarStep + 1.0;
    return steps >= double(INT_MAX) ? INT_MAX : int(steps);
}

QStringList MeterReading::annunciatorWords() const
{
    // The status annunciators, hFE, then the mode annunciators.
    QStringList words;
    appendWords(StatusBits, annunciators, &words);
    appendWords(SubUnitBits, annunciators, &words);
    appendWords(ModeBits, annunciators, &words);
    return words;
}

bool MeterReading::operator==(const MeterReading &other) const
{
    return valueText == other.valueText && negative == other.negative
        && unitText == other.unitText && functionText == other.functionText
        && annunciators == other.annunciators && model == other.model
        && version == other.version && withoutBarGraph == other.withoutBarGraph
        && kind == other.kind;
}
