#include "decoder/meterreading.h"
using namespace MeterProtocol;
std::optional<MeterReading> MeterReading::fromFrame(const QByteArray &frameBytes)
{
    QStringList fields;
    if (!checkFrameText(frameBytes.toHex(), &fields))
        return std::nullopt;
    MeterReading r;
    QString unit, function;
    r.annunciators |= applyFlagBits(MainUnitBits, fieldValue(fields[2]), FunctionRule::Assign, &unit, &function);
    applyUnitRewrite(FirstUnitRewrites, &unit, &function);
    r.annunciators |= applyFlagBits(SubUnitBits, fieldValue(fields[3]), FunctionRule::Assign, &unit, &function);
    applyUnitRewrite(SecondUnitRewrites, &unit, &function);
    r.annunciators |= applyFlagBits(StatusBits, fieldValue(fields[4]), FunctionRule::Assign, nullptr, &function);
    for (int byte : DigitBytes)
        if (const DigitCode *d = findDigit(fields[byte]))
            r.valueText += QLatin1String(d->text);
    r.annunciators |= applyFlagBits(ModeBits, fieldValue(fields[9]), FunctionRule::Append, nullptr, &function);
    r.negative = fieldValue(fields[9]) & MinusBit;
    r.unitText = unit;
    r.functionText = function;
    r.kind = r.valueText.isEmpty() ? Kind::Blank : r.valueText.contains('L') ? Kind::Overload : Kind::Ordinary;
    return r;
}
QString MeterReading::tableValueText() const { return (negative ? "-" : "") + valueText; }
std::optional<double> MeterReading::number() const
{
    bool ok = false;
    const double v = tableValueText().toDouble(&ok);
    if (kind != Kind::Ordinary || !ok) return std::nullopt;
    return v;
}
QStringList MeterReading::annunciatorWords() const
{
    QStringList words;
    for (const FlagBit &f : StatusBits) if (annunciators & annunciatorMask(f.annunciator)) words << f.word;
    for (const FlagBit &f : ModeBits) if (annunciators & annunciatorMask(f.annunciator)) words << f.word;
    return words;
}
