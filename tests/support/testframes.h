#ifndef TESTFRAMES_H
#define TESTFRAMES_H

// Meter frames for the tests, byte by byte or from what the meter shows.

#include "meter/frameencoder.h"
#include "meter/meterprotocol.h"
#include "link/framecut.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>
#include <utility>

namespace TestFrames {

// 1.234 V, DC, AUTO, version 2.
const char WorkedExample[] = "a50004001072793dd002000000000000000002b5";

// The 20 bytes of an all-zero frame with start byte 0xA5 and version byte 2,
// the given bytes set over it, checksum computed.
inline QByteArray rawFrame(std::initializer_list<std::pair<int, int>> bytes)
{
    QByteArray raw(MeterProtocol::FrameLength, '\0');
    raw[0] = char(MeterProtocol::FrameStart);
    raw[MeterProtocol::VersionByte] = 0x02;
    for (const auto &byte : bytes)
        raw[byte.first] = char(byte.second);
    raw[MeterProtocol::ChecksumByte] = char(MeterProtocol::frameChecksum(raw));
    return raw;
}

// The same as Frame text.
inline QByteArray frame(std::initializer_list<std::pair<int, int>> bytes)
{
    return toFrameText(rawFrame(bytes));
}

// The flag bytes 2, 3, 4 and 9 set, as Frame text.
inline QByteArray flagFrame(int byte2, int byte3, int byte4, int byte9)
{
    return frame({{2, byte2}, {3, byte3}, {4, byte4}, {9, byte9}});
}

// The Frame text of a meter display: the digits, the sign, the unit, DC lit
// or not; empty when the meter cannot show it.
inline QByteArray displayFrame(const QString &digits, bool negative, const QString &unit, bool dc,
                               quint8 version = 2)
{
    MeterDisplay display;
    display.digits = digits;
    display.minus = negative;
    display.unit = unit;
    display.dc = dc;
    display.version = version;
    QByteArray raw;
    return encodeFrame(display, &raw) ? toFrameText(raw) : QByteArray();
}

} // namespace TestFrames

#endif // TESTFRAMES_H
