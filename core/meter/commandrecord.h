#ifndef COMMANDRECORD_H
#define COMMANDRECORD_H

#include <QByteArray>

// The keys of the meter's front panel, as the codes its command records carry.
namespace MeterKey {
const quint8 Select = 0x01;
const quint8 MaxMin = 0x02;
const quint8 ExitMaxMin = 0x03;
const quint8 HzDuty = 0x04;
const quint8 Hold = 0x05;
const quint8 Light = 0x06; // the HOLD key held down
const quint8 ExitRange = 0x07; // the RANGE key held down
const quint8 Range = 0x08;
const quint8 Rel = 0x09;
} // namespace MeterKey

const char CommandStartByte = char(0x5A);
const int CommandRecordLength = 4;

// The 4-byte record that presses one key of the meter:
// 0x5A, 0x00, the key code, and the sum of the first three bytes modulo 256.
QByteArray commandRecord(quint8 keyCode);

// Reads a record back: true when it is 4 bytes, starts with 0x5A and its
// checksum matches; the key code goes to *keyCode when given.
bool parseCommandRecord(const QByteArray &record, quint8 *keyCode);

#endif // COMMANDRECORD_H
