#include "meter/frameencoder.h"

#include "meter/meterprotocol.h"

using namespace MeterProtocol;

namespace {

const QChar BlankPosition = QLatin1Char(' ');

// The table entry drawing exactly `text`, or nullptr.
const DigitCode *digitForText(const QString &text)
{
    for (const DigitCode &digit : DigitTable) {
        if (text == QString::fromUtf8(digit.text))
            return &digit;
    }
    return nullptr;
}

// The bit of a flag byte that lights `annunciator`, or 0.
template <int N>
quint8 bitFor(const FlagBit (&table)[N], Annunciator annunciator)
{
    for (const FlagBit &flag : table) {
        if (flag.annunciator == annunciator)
            return flag.bit;
    }
    return 0;
}

// Takes the letters of `table`'s bits off the front of `letters`, in bit
// order as the meter sends them; returns the bits used.
template <int N>
quint8 takeUnitBits(const FlagBit (&table)[N], const QString &letters, int *pos)
{
    quint8 bits = 0;
    for (const FlagBit &flag : table) {
        if (!flag.unit)
            continue;
        const QString part = QString::fromUtf8(flag.unit);
        if (letters.midRef(*pos).startsWith(part)) {
            bits |= flag.bit;
            *pos += part.size();
        }
    }
    return bits;
}

// The letters in the order the meter sends them, before the decoder moves
// the prefix to the front.
QString sentLetters(const QString &unit)
{
    for (const UnitRewrite &row : SecondUnitRewrites) {
        if (unit == QString::fromUtf8(row.to))
            return QString::fromUtf8(row.from);
    }
    for (const UnitRewrite &row : FirstUnitRewrites) {
        if (unit == QString::fromUtf8(row.to))
            return QString::fromUtf8(row.from);
    }
    return unit;
}

} // namespace

bool encodeDigits(const QString &digits, quint8 codes[4])
{
    quint8 found[DigitPositionCount] = {0, 0, 0, 0};
    int count = 0;
    int pos = 0;
    while (pos < digits.size()) {
        if (count == DigitPositionCount)
            return false;
        if (digits.at(pos) == BlankPosition) {
            found[count++] = 0x00;
            ++pos;
            continue;
        }
        // A character with its point ("1.", "L.") fills one position.
        const DigitCode *digit = digitForText(digits.mid(pos, 2));
        if (digit && digits.mid(pos, 2).size() == 2) {
            pos += 2;
        } else {
            digit = digitForText(digits.mid(pos, 1));
            if (!digit)
                return false;
            pos += 1;
        }
        found[count++] = digit->code;
    }
    const int blanks = DigitPositionCount - count;
    for (int i = 0; i < DigitPositionCount; ++i)
        codes[i] = i < blanks ? quint8(0x00) : found[i - blanks];
    return true;
}

bool encodeUnit(const QString &unit, quint8 *mainUnitByte, quint8 *subUnitByte)
{
    const QString letters = sentLetters(unit);
    int pos = 0;
    const quint8 mainUnit = takeUnitBits(MainUnitBits, letters, &pos);
    const quint8 subUnit = takeUnitBits(SubUnitBits, letters, &pos);
    if (pos != letters.size() || MeterProtocol::unitText(mainUnit, subUnit) != unit)
        return false;
    *mainUnitByte = mainUnit;
    *subUnitByte = subUnit;
    return true;
}

bool encodeFrame(const MeterDisplay &display, QByteArray *frame)
{
    quint8 codes[DigitPositionCount];
    quint8 mainUnit = 0;
    quint8 subUnit = 0;
    if (!encodeDigits(display.digits, codes) || !encodeUnit(display.unit, &mainUnit, &subUnit))
        return false;

    if (display.hfe)
        subUnit |= bitFor(SubUnitBits, Annunciator::Hfe);
    if (display.lightning)
        subUnit |= bitFor(SubUnitBits, Annunciator::Lightning);

    const struct {
        bool on;
        Annunciator annunciator;
    } statusFlags[] = {
        {display.hold, Annunciator::Hold},   {display.rel, Annunciator::Rel},
        {display.dio, Annunciator::Dio},     {display.beep, Annunciator::Beep},
        {display.autoRange, Annunciator::Auto}, {display.apo, Annunciator::Apo},
        {display.range, Annunciator::Range}, {display.bat, Annunciator::Bat},
    };
    quint8 status = 0;
    for (const auto &flag : statusFlags) {
        if (flag.on)
            status |= bitFor(StatusBits, flag.annunciator);
    }

    const struct {
        bool on;
        Annunciator annunciator;
    } modeFlags[] = {
        {display.dc, Annunciator::Dc},   {display.ac, Annunciator::Ac},
        {display.minus, Annunciator::Minus}, {display.min, Annunciator::Min},
        {display.max, Annunciator::Max},
    };
    quint8 mode = 0;
    for (const auto &flag : modeFlags) {
        if (flag.on)
            mode |= bitFor(ModeBits, flag.annunciator);
    }

    QByteArray bytes(FrameLength, '\0');
    bytes[StartByte] = char(FrameStart);
    bytes[MainUnitByte] = char(mainUnit);
    bytes[SubUnitByte] = char(subUnit);
    bytes[StatusByte] = char(status);
    for (int i = 0; i < DigitPositionCount; ++i)
        bytes[DigitBytes[i]] = char(codes[i]);
    bytes[ModeByte] = char(mode);
    bytes[VersionByte] = char(display.version);
    bytes[ChecksumByte] = char(frameChecksum(bytes));
    *frame = bytes;
    return true;
}
