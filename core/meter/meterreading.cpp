#include "meter/meterreading.h"

#include <algorithm>
#include <climits>
#include <cmath>

using namespace MeterProtocol;

namespace {

// The words of the lit annunciators of one flag byte, in bit order.
template <int N>
void appendWords(const FlagBit (&table)[N], quint32 lit, QStringList *words)
{
    for (const FlagBit &flag : table) {
        if (flag.word && (lit & annunciatorMask(flag.annunciator)))
            words->append(QString::fromUtf8(flag.word));
    }
}

// EF or a dash: what the non-contact voltage detector shows.
bool hasNcvDigits(const QString &value)
{
    return value.contains(QLatin1String("EF")) || value.contains(QLatin1Char('-'));
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
    return decode(reinterpret_cast<const quint8 *>(frameBytes.constData()), ~0u);
}

std::optional<MeterReading> MeterReading::fromFrameText(const QByteArray &frameText)
{
    quint8 bytes[FrameLength];
    quint32 lowerHexFields = 0;
    if (!readFrameText(frameText, bytes, &lowerHexFields))
        return std::nullopt;
    // The digit table is matched against lower-case text: a digit field
    // written in upper case shows nothing.
    return decode(bytes, lowerHexFields);
}

MeterReading MeterReading::decode(const quint8 *bytes, quint32 readableDigitBytes)
{
    MeterReading reading;

    // Units and function names in the meter's order: bytes 2 and 3, byte 4
    // (the last name assigned wins), then byte 9 appends DC and AC.
    QString unit;
    QString function;
    quint32 lit = applyUnitBytes(bytes[MainUnitByte], bytes[SubUnitByte], &unit, &function);
    lit |= applyFlagBits(StatusBits, bytes[StatusByte], FunctionRule::Assign, nullptr, &function);
    lit |= applyFlagBits(ModeBits, bytes[ModeByte], FunctionRule::Append, nullptr, &function);

    QString value;
    value.reserve(2 * DigitPositionCount);
    for (int byte : DigitBytes) {
        if (!(readableDigitBytes & (1u << byte)))
            continue;
        if (const DigitCode *digit = findDigitCode(bytes[byte]))
            value.append(QLatin1String(digit->text));
    }

    if (const VersionEntry *entry = findVersion(bytes[VersionByte])) {
        reading.model = QString::fromUtf8(ModelName);
        reading.version = QString::fromUtf8(entry->version);
        reading.withoutBarGraph = entry->hidesGauge;
    }

    reading.valueText = value;
    reading.negative = (bytes[ModeByte] & MinusBit) != 0;
    reading.unitText = unit;
    reading.annunciators = lit;

    // The special displays. EF or dashes without the sign are the
    // non-contact voltage detector; with the sign lit they are read as any
    // other digits (EF as an overload, dashes as no number).
    const bool ncvDigits = hasNcvDigits(value);
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
    return negative && hasNcvDigits(valueText);
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

MeterReading::UnitScale MeterReading::unitScale(const QString &unitText)
{
    struct Prefix {
        QChar letter;
        double factor;
    };
    static const Prefix prefixes[] = {{QLatin1Char('n'), 1e-9}, {QLatin1Char('u'), 1e-6},
                                      {QLatin1Char('m'), 1e-3}, {QLatin1Char('k'), 1e3},
                                      {QLatin1Char('M'), 1e6}};
    static const QStringList prefixedUnits{QStringLiteral("F"), QStringLiteral("A"),
                                           QStringLiteral("V"), QStringLiteral("Hz"),
                                           QStringLiteral("Ω")};
    if (unitText.size() >= 2 && prefixedUnits.contains(unitText.mid(1))) {
        for (const Prefix &prefix : prefixes) {
            if (unitText.at(0) == prefix.letter)
                return {unitText.mid(1), prefix.factor};
        }
    }
    return {unitText, 1.0};
}

std::optional<double> MeterReading::baseValue() const
{
    const std::optional<double> x = number();
    if (!x)
        return std::nullopt;
    return *x * unitScale(unitText).factor;
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
