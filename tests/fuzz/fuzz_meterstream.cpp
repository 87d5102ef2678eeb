// libFuzzer target: arbitrary bytes from the serial line, through everything
// the core does with them before the window sees a reading.
//
// The input is the line traffic. Its first byte chooses how the traffic is
// spread over poll ticks; every tick's bytes go through the frame cut, the
// Frame text conversion and the decoder the window uses (MeterReading), from
// the Frame text and from the raw bytes; the simulator's encoder is fed the
// same bytes and must produce only what reads back. Besides the sanitizers,
// the invariants below abort on any wrong result.

#include "meter/frameencoder.h"
#include "meter/meterprotocol.h"
#include "meter/meterreading.h"
#include "link/framecut.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace MeterProtocol;

namespace {

const int MaxStreamBytes = 4096;

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

bool isLowerHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// What a reading of a frame must hold, whatever the frame's bytes.
void checkReading(const MeterReading &reading, const QByteArray &bytes)
{
    require(bytes.size() == FrameLength, "a reading comes from 20 bytes");
    require(reading.valueText.size() <= 2 * DigitPositionCount, "at most four digits with points");
    require(reading.version.isEmpty() == reading.model.isEmpty(), "model and version come together");
    require(reading.version.isEmpty() || reading.version.startsWith(QLatin1Char('V')),
            "known versions read Vn.0");

    const int mode = quint8(bytes.at(ModeByte));
    const int subUnit = quint8(bytes.at(SubUnitByte));
    require(reading.negative == bool(mode & MinusBit), "the sign follows the minus bit");
    require(reading.isLit(Annunciator::Minus) == reading.negative, "minus label follows the minus bit");
    require(reading.isLit(Annunciator::Ac) == reading.isLit(Annunciator::Trms),
            "AC and T-RMS light together");
    require(reading.isLit(Annunciator::Hfe) == bool(subUnit & 0x02)
                && reading.isLit(Annunciator::Lightning) == bool(subUnit & 0x08),
            "byte 3 lights hFE and the lightning symbol");
    require(reading.annunciators < (1u << AnnunciatorCount)
                && !reading.isLit(Annunciator::None),
            "annunciators are in range");
    // Unit: at most every letter of bytes 2 and 3 ("Hz" and "Ω" are the long ones).
    require(reading.unitText.size() <= 16, "unit text bounded");

    // What the display derives.
    require((reading.kind == MeterReading::Kind::Blank) == reading.valueText.isEmpty(),
            "blank exactly when no digit shows");
    require(!reading.isDetector()
                || reading.functionText == QLatin1String(reading.kind == MeterReading::Kind::Live
                                                             ? "LIVE" : "NCV"),
            "detectors are named NCV or LIVE");
    require(!reading.number() || reading.kind == MeterReading::Kind::Ordinary,
            "only ordinary readings have a number");
    const std::optional<int> steps = reading.barSteps();
    // Four digits count at most 9999 (digits that are no number, such as
    // 8.8.8.8., still count their digits).
    require(!steps || (*steps >= 1 && *steps <= 100), "the bar counts the digits shown");
    require(steps || std::fabs(reading.curveValue()) > 0, "over range is off the zero line");
    require(reading.tableValueText().endsWith(reading.valueText), "the table keeps the digits");
}

// One poll tick: the bytes received since the last one.
void pollTick(const QByteArray &buffer)
{
    const QByteArray cut = cutFrame(buffer);
    require(cut.isEmpty() == buffer.isEmpty(), "cut empty exactly when the buffer is");
    require(cut.size() <= FrameLength, "cut at most one frame");
    const int start = buffer.indexOf(char(FrameStart));
    if (start < 0) {
        require(cut == buffer.left(FrameLength - 1), "no start byte: first 19 bytes");
    } else {
        require(cut == buffer.mid(start, FrameLength), "cut starts at the first 0xA5");
    }

    const QByteArray text = toFrameText(cut);
    require(text.size() == 2 * cut.size(), "two characters per byte");
    for (char c : text)
        require(isLowerHex(c), "Frame text is lower-case hex");
    require(QByteArray::fromHex(text) == cut, "Frame text converts back");

    const std::optional<MeterReading> reading = MeterReading::fromFrameText(text);
    const bool expected = cut.size() == FrameLength && quint8(cut.at(0)) == FrameStart
                          && frameChecksum(cut) == quint8(cut.at(ChecksumByte));
    require(bool(reading) == expected, "check agrees with the byte sum");
    require(MeterReading::fromFrame(cut) == reading, "bytes and Frame text read the same");
    if (reading)
        checkReading(*reading, cut);
}

// The reading of an encoded display, which the encoder must always build.
MeterReading readBack(const MeterDisplay &display)
{
    QByteArray frame;
    require(encodeFrame(display, &frame), "a showable display encodes");
    const std::optional<MeterReading> reading = MeterReading::fromFrame(frame);
    require(bool(reading), "an encoded frame passes the check");
    return *reading;
}

// The simulator's encoder must only send what the decoder reads back.
void encodeAndReadBack(const QByteArray &stream)
{
    MeterDisplay display;
    display.digits = QString::fromLatin1(stream.left(10));
    quint8 codes[DigitPositionCount];
    if (encodeDigits(display.digits, codes)) {
        QString expected = display.digits;
        expected.remove(QLatin1Char(' '));
        require(readBack(display).valueText == expected, "encoded digits read back");
    }

    display = MeterDisplay();
    display.unit = QString::fromUtf8(stream.mid(10, 8));
    quint8 mainUnit = 0;
    quint8 subUnit = 0;
    if (encodeUnit(display.unit, &mainUnit, &subUnit)) {
        require(readBack(display).unitText == display.unit, "encoded unit reads back");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int length = int(qMin<size_t>(size - 1, MaxStreamBytes));
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), length);

    // The first byte: how many bytes reach the window between two ticks
    // (0 means the whole stream in one tick).
    const int tickBytes = data[0];
    if (tickBytes == 0) {
        pollTick(stream);
    } else {
        for (int at = 0; at < stream.size(); at += tickBytes)
            pollTick(stream.mid(at, tickBytes));
    }

    encodeAndReadBack(stream);

    // The check and the lookups must also survive text that never came
    // through the cut: any characters, any length.
    if (const std::optional<MeterReading> reading = MeterReading::fromFrameText(stream)) {
        require(stream.size() == FrameTextLength, "only 40 characters pass");
        quint8 bytes[FrameLength];
        require(readFrameText(stream, bytes, nullptr), "the check passes it");
        checkReading(*reading, QByteArray(reinterpret_cast<const char *>(bytes), FrameLength));
    }
    return 0;
}
