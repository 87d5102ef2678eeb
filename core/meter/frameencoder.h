#ifndef FRAMEENCODER_H
#define FRAMEENCODER_H

// Building meter frames from what the meter's display shows: the inverse of
// the window's decoder, for the meter simulator and the tests.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

struct MeterDisplay {
    // The digits as the meter's four positions show them: "1.234", "01.34",
    // "0.L", "EF", "----", "LIVE", "". A space stands for a blank position
    // (" 0.L " is the overload display); shorter texts are right-aligned.
    QString digits;
    // "V", "mV", "A", "mA", "uA", "Ω", "kΩ", "MΩ", "F", "nF", "uF", "mF",
    // "Hz", "kHz", "MHz", "%", "℃", "℉" or "" (no unit).
    QString unit;
    bool hfe = false, lightning = false;
    bool hold = false, rel = false, dio = false, beep = false, autoRange = false,
         apo = false, range = false, bat = false;
    bool dc = false, ac = false, minus = false, min = false, max = false;
    quint8 version = 2; // byte 18 as sent: 1, 2, 4 and 8 are the known meters
};

// The segment codes of the four digit positions, left to right, for a digit
// text. False when the text needs more than four positions or holds a
// character the meter cannot draw.
bool encodeDigits(const QString &digits, quint8 codes[4]);

// Bytes 2 and 3 for a unit text. False when the meter has no such unit.
bool encodeUnit(const QString &unit, quint8 *mainUnitByte, quint8 *subUnitByte);

// The 20 bytes of a frame showing `display`, checksum included. False (and
// *frame untouched) when the digits or the unit cannot be shown.
bool encodeFrame(const MeterDisplay &display, QByteArray *frame);

#endif // FRAMEENCODER_H
