// The meter protocol's frame check and digit table, without any window.

#include "meter/meterprotocol.h"

#include <QTest>

using namespace MeterProtocol;

namespace {

// A Frame text of the given bytes over 0xA5 and zeros, checksum computed.
QByteArray frameText(std::initializer_list<std::pair<int, int>> set)
{
    QByteArray bytes(FrameLength, '\0');
    bytes[0] = char(FrameStart);
    for (const auto &byte : set)
        bytes[byte.first] = char(byte.second);
    bytes[ChecksumByte] = char(frameChecksum(bytes));
    return bytes.toHex();
}

QByteArray replaced(QByteArray text, int at, const char *with)
{
    return text.replace(at, int(qstrlen(with)), with);
}

const char WorkedExample[] = "a50004001072793dd002000000000000000002b5";

// Segment letter -> bit in a digit byte, as the meter wires them.
quint8 segments(const QString &letters)
{
    const QString order = QStringLiteral("afedbgc.");
    quint8 code = 0;
    for (const QChar c : letters)
        code |= quint8(1 << order.indexOf(c));
    return code;
}

} // namespace

class tst_MeterProtocol : public QObject
{
    Q_OBJECT

private slots:
    void checkFrameText_data();
    void checkFrameText();
    void digitPatterns_data();
    void digitPatterns();
};

void tst_MeterProtocol::checkFrameText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");

    const QByteArray example(WorkedExample);
    const QByteArray sum105 = frameText({{2, 0x60}}); // 0xa5 + 0x60 = 0x105
    QCOMPARE(sum105.right(2), QByteArray("05"));
    QTest::newRow("worked example") << example << true;
    QTest::newRow("upper-case A5 start passes") << replaced(example, 0, "A") << true;
    QTest::newRow("upper-case checksum letters fail") << replaced(example, 38, "B5") << false;
    QTest::newRow("checksum one low") << replaced(example, 38, "b4") << false;
    QTest::newRow("checksum one high") << replaced(example, 38, "b6") << false;
    QTest::newRow("upper-case data field still counts") << replaced(frameText({{10, 0xab}}), 20, "AB") << true;
    QTest::newRow("sum 0x105 with 05") << sum105 << true;
    QTest::newRow("sum 0x105 with 5 and a blank") << replaced(sum105, 38, "5 ") << false;
    QTest::newRow("all zero with checksum a5") << QByteArray("a5000000000000000000000000000000000000a5") << true;
    QTest::newRow("wrong start byte, right checksum") << frameText({{0, 0xa4}}) << false;
    QTest::newRow("command record start") << frameText({{0, 0x5a}}) << false;
    QTest::newRow("empty") << QByteArray() << false;
    // Its "checksum" is the start byte: a sum over the fields but the last would pass it.
    QTest::newRow("short text a5a5") << QByteArray("a5a5") << false;
    QTest::newRow("39 characters") << example.left(39) << false;
    QTest::newRow("41 characters") << example + "0" << false;
    QTest::newRow("two frames") << example + example << false;
    QTest::newRow("non-hex field zz counts 0") << replaced(example, 20, "zz") << true;
    QTest::newRow("non-ASCII field counts 0") << replaced(example, 20, "\xff\xfe") << true;
    QTest::newRow("real field 01 changes the sum") << replaced(example, 20, "01") << false;
}

void tst_MeterProtocol::checkFrameText()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);

    quint8 bytes[FrameLength] = {};
    QCOMPARE(MeterProtocol::readFrameText(text, bytes, nullptr), valid);
    if (!valid) {
        for (quint8 byte : bytes)
            QCOMPARE(byte, quint8(0)); // a failed check writes nothing
        return;
    }
    const QStringList fields = MeterProtocol::frameFields(text);
    QCOMPARE(fields.size(), FrameLength);
    for (int i = 0; i < FrameLength; ++i)
        QCOMPARE(fields.at(i), QString::fromLatin1(text.mid(2 * i, 2)));
}

// The digit table against how the meter draws each character, segment by
// segment; no other byte reads as anything.
void tst_MeterProtocol::digitPatterns_data()
{
    QTest::addColumn<QString>("segmentLetters");
    QTest::addColumn<QString>("text");

    const struct {
        const char *segments;
        const char *text;
    } drawn[] = {
        {"abcdef", "0"}, {"bc", "1"}, {"abged", "2"}, {"abgcd", "3"}, {"fgbc", "4"},
        {"afgcd", "5"}, {"afgedc", "6"}, {"abc", "7"}, {"abcdefg", "8"}, {"abcdfg", "9"},
        {"def", "L"}, {"adefg", "E"}, {"ef", "I"}, {"bcdef", "V"}, {"aefg", "F"}, {"g", "-"},
    };
    for (const auto &row : drawn) {
        QTest::newRow(row.text) << row.segments << row.text;
        if (QByteArray("0123456789L").contains(row.text))
            QTest::newRow(QByteArray(row.text) + " with point")
                << QString::fromLatin1(row.segments) + '.' << QString::fromLatin1(row.text) + '.';
    }
    QTest::newRow("point alone") << "." << ".";
}

void tst_MeterProtocol::digitPatterns()
{
    QFETCH(QString, segmentLetters);
    QFETCH(QString, text);

    const DigitCode *digit = findDigitCode(segments(segmentLetters));
    QVERIFY2(digit, qPrintable(QString::number(segments(segmentLetters), 16)));
    QCOMPARE(QString::fromUtf8(digit->text), text);

    int known = 0;
    for (int code = 0; code < 256; ++code)
        known += findDigitCode(quint8(code)) ? 1 : 0;
    QCOMPARE(known, 28); // the 28 rows above, nothing else
}

QTEST_GUILESS_MAIN(tst_MeterProtocol)
#include "tst_meterprotocol.moc"
