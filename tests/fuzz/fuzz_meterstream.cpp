// libFuzzer target: arbitrary bytes from the serial line, through everything
// the core does with them before the window sees a reading.
//
// The input is the line traffic. Its first byte chooses how the traffic is
// spread over poll ticks; every tick's bytes go through the frame cut, the
// Frame text conversion, the check and (for frames that pass) the decoding
// tables, in the order the window's decoder uses them; the simulator's
// encoder is fed the same bytes and must produce only what reads back.
// Besides the sanitizers, the invariants below abort on any wrong result.

#include "decoder/frameencoder.h"
#include "decoder/meterprotocol.h"
#include "link/framecut.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

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

// What the window's decoder makes of the fields of a checked frame, using
// the same tables and helpers in the same order.
void decodeFields(const QStringList &fields)
{
    require(fields.size() == FrameLength, "checked frame has 20 fields");

    QString unitWork;
    QString functionWork;
    applyFlagBits(MainUnitBits, fieldValue(fields.at(MainUnitByte)), FunctionRule::Assign,
                  &unitWork, &functionWork);
    applyUnitRewrite(FirstUnitRewrites, &unitWork, &functionWork);
    const quint32 subLit = applyFlagBits(SubUnitBits, fieldValue(fields.at(SubUnitByte)),
                                         FunctionRule::Assign, &unitWork, &functionWork);
    applyUnitRewrite(SecondUnitRewrites, &unitWork, &functionWork);
    const quint32 statusLit = applyFlagBits(StatusBits, fieldValue(fields.at(StatusByte)),
                                            FunctionRule::Assign, nullptr, &functionWork);

    QString digitWork;
    for (int byte : DigitBytes) {
        if (const DigitCode *digit = findDigit(fields.at(byte)))
            digitWork.append(QLatin1String(digit->text));
    }
    require(digitWork.size() <= 2 * DigitPositionCount, "at most four digits with points");

    const int version = fieldValue(fields.at(VersionByte));
    const VersionEntry *entry = findVersion(version);
    require(!entry || QString::fromUtf8(entry->version).startsWith(QLatin1Char('V')),
            "known versions read Vn.0");

    const int mode = fieldValue(fields.at(ModeByte));
    const quint32 modeLit = applyFlagBits(ModeBits, mode, FunctionRule::Append, nullptr,
                                          &functionWork);
    require(bool(modeLit & annunciatorMask(Annunciator::Minus)) == bool(mode & MinusBit),
            "minus label follows the minus bit");
    require(bool(modeLit & annunciatorMask(Annunciator::Ac))
                == bool(modeLit & annunciatorMask(Annunciator::Trms)),
            "AC and T-RMS light together");
    require(!(subLit & ~(annunciatorMask(Annunciator::Hfe) | annunciatorMask(Annunciator::Lightning))),
            "byte 3 lights only hFE and the lightning symbol");
    require(statusLit < (1u << AnnunciatorCount), "annunciators are in range");
    // Unit: at most every letter of bytes 2 and 3 ("Hz" and "Ω" are the long ones).
    require(unitWork.size() <= 16, "unit text bounded");
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

    QStringList fields;
    const bool valid = checkFrameText(text, &fields);
    const bool expected = cut.size() == FrameLength && quint8(cut.at(0)) == FrameStart
                          && frameChecksum(cut) == quint8(cut.at(ChecksumByte));
    require(valid == expected, "check agrees with the byte sum");
    if (valid)
        decodeFields(fields);
    else
        require(fields.isEmpty(), "a failed check leaves the fields alone");
}

// The simulator's encoder must only send what the decoder reads back.
void encodeAndReadBack(const QByteArray &stream)
{
    const QString digits = QString::fromLatin1(stream.left(10));
    quint8 codes[DigitPositionCount];
    if (encodeDigits(digits, codes)) {
        QString shown;
        for (quint8 code : codes) {
            if (const DigitCode *digit = findDigitCode(code))
                shown.append(QLatin1String(digit->text));
        }
        QString expected = digits;
        expected.remove(QLatin1Char(' '));
        require(shown == expected, "encoded digits read back");
    }

    const QString unit = QString::fromUtf8(stream.mid(10, 8));
    quint8 mainUnit = 0;
    quint8 subUnit = 0;
    if (encodeUnit(unit, &mainUnit, &subUnit)) {
        require(MeterProtocol::unitText(mainUnit, subUnit) == unit, "encoded unit reads back");
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
    QStringList fields;
    if (checkFrameText(stream, &fields))
        decodeFields(fields);
    const QString asLatin1 = QString::fromLatin1(stream.left(3));
    const QString asUtf8 = QString::fromUtf8(stream.left(8));
    for (const QString &field : {asLatin1, asUtf8, asLatin1.left(2), asUtf8.left(2)}) {
        const int value = fieldValue(field);
        require(value >= 0 && value <= 0xff, "field values are bytes");
        if (const DigitCode *digit = findDigit(field))
            require(findDigitCode(digit->code) == digit, "digit lookups agree");
    }
    return 0;
}
