#include "meter/meterprotocol.h"

#include <algorithm>
#include <cstring>

namespace MeterProtocol {

namespace {

// Value of one hexadecimal digit (either case), or -1.
inline int hexDigit(ushort c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Value of one lower-case hexadecimal digit, or -1.
inline int lowerHexDigit(ushort c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Value of two hex characters (either case), or 0 when they are not hex.
inline int pairValue(char high, char low)
{
    const int h = hexDigit(uchar(high));
    const int l = hexDigit(uchar(low));
    return (h < 0 || l < 0) ? 0 : h * 16 + l;
}

const char LowerHexDigits[] = "0123456789abcdef";

} // namespace

quint8 frameChecksum(const QByteArray &frame19or20Bytes)
{
    const int count = qMin(frame19or20Bytes.size(), FrameLength - 1);
    unsigned sum = 0;
    for (int i = 0; i < count; ++i)
        sum += uchar(frame19or20Bytes.at(i));
    return quint8(sum & 0xff);
}

bool readFrameText(const QByteArray &frameText, quint8 bytes[FrameLength],
                   quint32 *lowerHexFields)
{
    // Anything but 20 fields would leave the decoders reading fields that
    // are not there, so the length is part of the check.
    if (frameText.size() != FrameTextLength)
        return false;
    const char *text = frameText.constData();
    if ((text[0] != 'a' && text[0] != 'A') || text[1] != '5')
        return false;

    quint8 values[FrameLength];
    quint32 lowerHex = 0;
    unsigned sum = 0;
    for (int i = 0; i < FrameLength; ++i) {
        const char high = text[2 * i];
        const char low = text[2 * i + 1];
        values[i] = quint8(pairValue(high, low));
        if (lowerHexDigit(uchar(high)) >= 0 && lowerHexDigit(uchar(low)) >= 0)
            lowerHex |= 1u << i;
        if (i < ChecksumByte)
            sum += values[i];
    }
    const char expectedHigh = LowerHexDigits[(sum >> 4) & 0x0f];
    const char expectedLow = LowerHexDigits[sum & 0x0f];
    if (text[2 * ChecksumByte] != expectedHigh || text[2 * ChecksumByte + 1] != expectedLow)
        return false;

    std::copy(values, values + FrameLength, bytes);
    if (lowerHexFields)
        *lowerHexFields = lowerHex;
    return true;
}

QStringList frameFields(const QByteArray &frameText)
{
    QStringList list;
    const int count = frameText.size() / 2;
    list.reserve(count);
    for (int i = 0; i < count; ++i)
        list.append(QString::fromLatin1(frameText.constData() + 2 * i, 2));
    return list;
}

const DigitCode *findDigitCode(quint8 code)
{
    for (const DigitCode &digit : DigitTable) {
        if (digit.code == code)
            return &digit;
    }
    return nullptr;
}

const VersionEntry *findVersion(int value)
{
    for (const VersionEntry &entry : VersionTable) {
        if (entry.code == value)
            return &entry;
    }
    return nullptr;
}

quint32 applyFlagBits(const FlagBit *table, int count, int value, FunctionRule rule,
                      QString *unitWork, QString *functionWork)
{
    quint32 lit = 0;
    for (int i = 0; i < count; ++i) {
        const FlagBit &flag = table[i];
        if (!(value & flag.bit))
            continue;
        if (flag.annunciator != Annunciator::None)
            lit |= annunciatorMask(flag.annunciator);
        if (flag.unit && unitWork)
            unitWork->append(QString::fromUtf8(flag.unit));
        if (flag.function && functionWork) {
            if (rule == FunctionRule::Assign)
                *functionWork = QString::fromUtf8(flag.function);
            else
                functionWork->append(QString::fromUtf8(flag.function));
        }
    }
    return lit;
}

const UnitRewrite *applyUnitRewrite(const UnitRewrite *table, int count, QString *unitWork,
                                    QString *functionWork)
{
    if (!unitWork || unitWork->isEmpty())
        return nullptr;
    const QByteArray unit = unitWork->toUtf8();
    for (int i = 0; i < count; ++i) {
        const UnitRewrite &row = table[i];
        if (std::strcmp(unit.constData(), row.from) != 0)
            continue;
        *unitWork = QString::fromUtf8(row.to);
        if (row.function && functionWork)
            *functionWork = QString::fromUtf8(row.function);
        return &row;
    }
    return nullptr;
}

quint32 applyUnitBytes(quint8 mainUnit, quint8 subUnit, QString *unit, QString *function)
{
    applyFlagBits(MainUnitBits, mainUnit, FunctionRule::Assign, unit, function);
    applyUnitRewrite(FirstUnitRewrites, unit, function);
    const quint32 lit = applyFlagBits(SubUnitBits, subUnit, FunctionRule::Assign, unit, function);
    applyUnitRewrite(SecondUnitRewrites, unit, function);
    return lit;
}

QString unitText(quint8 mainUnit, quint8 subUnit)
{
    QString unit;
    QString function;
    applyUnitBytes(mainUnit, subUnit, &unit, &function);
    return unit;
}

} // namespace MeterProtocol
