#ifndef METERPROTOCOL_H
#define METERPROTOCOL_H

// What the meter's 20-byte frame means, byte by byte and bit by bit.
//
// Every table of the protocol lives here, once, as plain data: MeterReading
// reads it forwards to decode a frame, the simulator's encoder walks it backwards.
// Texts are UTF-8 C strings (Ω, ℃ and ℉ are not Latin-1).

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace MeterProtocol {

const quint8 FrameStart = 0xA5;
const int FrameLength = 20;              // bytes
const int FrameTextLength = 2 * FrameLength; // lower-case hex characters

// Byte numbers inside a frame (= field numbers of the Frame text).
const int StartByte = 0;
const int MainUnitByte = 2;
const int SubUnitByte = 3;
const int StatusByte = 4;
const int ModeByte = 9;
const int VersionByte = 18;
const int ChecksumByte = 19;

// The four digit positions, left to right as the meter shows them.
const int DigitPositionCount = 4;
constexpr int DigitBytes[DigitPositionCount] = {8, 7, 6, 5};

// A digit byte with this bit set carries the point after the digit.
const quint8 DecimalPointBit = 0x80;

// The 28 seven-segment patterns the meter draws (bit 0x01 a, 0x02 f, 0x04 e,
// 0x08 d, 0x10 b, 0x20 g, 0x40 c, 0x80 point). Any other pattern, the blank
// position 0x00 included, shows nothing we can read.
struct DigitCode {
    quint8 code;
    const char *text;
};

constexpr DigitCode DigitTable[] = {
    {0x5f, "0"}, {0xdf, "0."},
    {0x50, "1"}, {0xd0, "1."},
    {0x3d, "2"}, {0xbd, "2."},
    {0x79, "3"}, {0xf9, "3."},
    {0x72, "4"}, {0xf2, "4."},
    {0x6b, "5"}, {0xeb, "5."},
    {0x6f, "6"}, {0xef, "6."},
    {0x51, "7"}, {0xd1, "7."},
    {0x7f, "8"}, {0xff, "8."},
    {0x7b, "9"}, {0xfb, "9."},
    {0x80, "."}, {0x8e, "L."},
    {0x0e, "L"}, {0x2f, "E"},
    {0x06, "I"}, {0x5e, "V"},
    {0x27, "F"}, {0x20, "-"},
};
const int DigitCodeCount = int(sizeof(DigitTable) / sizeof(DigitTable[0]));

// The annunciators of the meter's display, one per label of the panel
// (T-RMS has a label of its own but shares AC's bit).
enum class Annunciator {
    None,
    Hfe,
    Lightning, // the high-voltage picture: shown or hidden, no text
    Hold,
    Rel,
    Dio,
    Beep,
    Auto,
    Apo,
    Range,
    Bat,
    Dc,
    Minus,
    Ac,
    Trms,
    Min,
    Max,
};
const int AnnunciatorCount = int(Annunciator::Max) + 1;

constexpr quint32 annunciatorMask(Annunciator annunciator)
{
    return 1u << int(annunciator);
}

// One bit of a flag byte (bytes 2, 3, 4 and 9) and everything it does.
struct FlagBit {
    quint8 bit;
    Annunciator annunciator; // label lit by the bit, Annunciator::None for none
    const char *word;        // the label's text (nullptr for the picture or no label)
    const char *unit;        // letters appended to the unit (nullptr for none)
    const char *function;    // function name: assigned in bytes 2-4, appended in byte 9
};

// Byte 2: base units and the large prefixes, bit 0x01 first.
constexpr FlagBit MainUnitBits[] = {
    {0x01, Annunciator::None, nullptr, "F", nullptr},
    {0x02, Annunciator::None, nullptr, "A", nullptr},
    {0x04, Annunciator::None, nullptr, "V", nullptr},
    {0x08, Annunciator::None, nullptr, "m", nullptr},
    {0x10, Annunciator::None, nullptr, "Hz", "Frequency"},
    {0x20, Annunciator::None, nullptr, "Ω", "Resistance"},
    {0x40, Annunciator::None, nullptr, "k", nullptr},
    {0x80, Annunciator::None, nullptr, "M", nullptr},
};

// Byte 3: hFE, %, temperatures, the small prefixes and the lightning
// symbol, bit 0x02 first (0x01 means nothing).
constexpr FlagBit SubUnitBits[] = {
    {0x02, Annunciator::Hfe, "hFE", nullptr, "hFE"},
    {0x04, Annunciator::None, nullptr, "%", "Duty cycle"},
    {0x08, Annunciator::Lightning, nullptr, nullptr, nullptr},
    {0x10, Annunciator::None, nullptr, "℉", "TEMP"},
    {0x20, Annunciator::None, nullptr, "℃", "TEMP"},
    {0x40, Annunciator::None, nullptr, "n", nullptr},
    {0x80, Annunciator::None, nullptr, "u", nullptr},
};

// Byte 4: status annunciators, bit 0x01 first.
constexpr FlagBit StatusBits[] = {
    {0x01, Annunciator::Hold, "HOLD", nullptr, nullptr},
    {0x02, Annunciator::Rel, "REL", nullptr, nullptr},
    {0x04, Annunciator::Dio, "DIO", nullptr, "DIO"},
    {0x08, Annunciator::Beep, "BEEP", nullptr, "BEEP"},
    {0x10, Annunciator::Auto, "AUTO", nullptr, nullptr},
    {0x20, Annunciator::Apo, "APO", nullptr, nullptr},
    {0x40, Annunciator::Range, "Range", nullptr, nullptr},
    {0x80, Annunciator::Bat, "BAT", nullptr, nullptr},
};

// Byte 9: mode annunciators and the minus sign, bit 0x02 first (0x01, 0x40
// and 0x80 mean nothing). The function names here are appended.
constexpr FlagBit ModeBits[] = {
    {0x02, Annunciator::Dc, "DC", nullptr, "DC"},
    {0x04, Annunciator::Minus, "-", nullptr, nullptr},
    {0x08, Annunciator::Ac, "AC", nullptr, "AC"},
    {0x08, Annunciator::Trms, "T-RMS", nullptr, nullptr},
    {0x10, Annunciator::Min, "MIN", nullptr, nullptr},
    {0x20, Annunciator::Max, "MAX", nullptr, nullptr},
};
const quint8 MinusBit = 0x04; // byte 9: the reading is negative

// Whole-text rewrites of the unit: the meter sends the letters in bit order,
// these put the prefix in front. `function` is nullptr when the rewrite
// leaves the function name alone.
struct UnitRewrite {
    const char *from;
    const char *to;
    const char *function;
};

// After byte 2.
constexpr UnitRewrite FirstUnitRewrites[] = {
    {"Fm", "mF", "Capacitance"},
    {"Hzk", "kHz", "Frequency"},
    {"HzM", "MHz", "Frequency"},
    {"ΩM", "MΩ", "Resistance"},
    {"Ωk", "kΩ", "Resistance"},
    {"Am", "mA", nullptr},
    {"Vm", "mV", nullptr},
};

// After byte 3.
constexpr UnitRewrite SecondUnitRewrites[] = {
    {"Au", "uA", nullptr},
    {"Fn", "nF", "Capacitance"},
    {"Fu", "uF", "Capacitance"},
};

// Byte 18: the meter's version. Other values say nothing about the meter.
struct VersionEntry {
    quint8 code;
    const char *version;
    bool hidesGauge; // the version-1 meter has no bar graph
};

constexpr VersionEntry VersionTable[] = {
    {1, "V1.0", true},
    {2, "V2.0", false},
    {4, "V3.0", false},
    {8, "V4.0", false},
};
constexpr const char *ModelName = "DMM";

// --- Pure helpers over the tables -------------------------------------------

// The low byte of the sum of bytes 0..18 (of as many as there are).
quint8 frameChecksum(const QByteArray &frame19or20Bytes);

// Checks a Frame text: exactly 40 characters, starting with "a5" in either
// case, whose last field equals, exactly and in lower case, the low byte of
// the sum of fields 0..18 written as two hex digits (fields that are not
// hexadecimal count 0). On success bytes[i] holds the value of field i (either
// case; 0 when not hexadecimal) and bit i of *lowerHexFields is set when the
// field is two lower-case hexadecimal digits, the only form the digit table
// matches. On failure nothing is written.
bool readFrameText(const QByteArray &frameText, quint8 bytes[FrameLength],
                   quint32 *lowerHexFields);

// The two-character fields of a Frame text, field i at characters 2i, 2i+1.
QStringList frameFields(const QByteArray &frameText);

// The digit table entry for a byte, or nullptr.
const DigitCode *findDigitCode(quint8 code);

// The version entry for byte 18's value, or nullptr.
const VersionEntry *findVersion(int value);

// How a flag byte's function names combine with what came before.
enum class FunctionRule { Assign, Append };

// Applies the set bits of one flag byte in table order: unit letters are
// appended to *unitWork, function names assigned to or appended to
// *functionWork. Returns the lit annunciators as annunciatorMask bits.
quint32 applyFlagBits(const FlagBit *table, int count, int value, FunctionRule rule,
                      QString *unitWork, QString *functionWork);

template <int N>
inline quint32 applyFlagBits(const FlagBit (&table)[N], int value, FunctionRule rule,
                             QString *unitWork, QString *functionWork)
{
    return applyFlagBits(table, N, value, rule, unitWork, functionWork);
}

// Rewrites *unitWork when it equals one row's `from` exactly, assigning that
// row's function name (if any) to *functionWork. Returns the row or nullptr.
const UnitRewrite *applyUnitRewrite(const UnitRewrite *table, int count, QString *unitWork,
                                    QString *functionWork);

template <int N>
inline const UnitRewrite *applyUnitRewrite(const UnitRewrite (&table)[N], QString *unitWork,
                                           QString *functionWork)
{
    return applyUnitRewrite(table, N, unitWork, functionWork);
}

// Bytes 2 and 3 in the meter's order: byte 2, its rewrite, byte 3, its
// rewrite. Fills *unit and assigns *function; returns byte 3's annunciators.
quint32 applyUnitBytes(quint8 mainUnit, quint8 subUnit, QString *unit, QString *function);

// The unit text bytes 2 and 3 give.
QString unitText(quint8 mainUnit, quint8 subUnit);

} // namespace MeterProtocol

#endif // METERPROTOCOL_H
