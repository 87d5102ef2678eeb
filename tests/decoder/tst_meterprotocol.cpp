// The meter protocol tables and the frame check, without any window.

#include "decoder/meterprotocol.h"

#include <QSet>
#include <QTest>

using namespace MeterProtocol;

namespace {

// A Frame text of the given bytes (byte 0 = 0xA5 unless overridden), with
// the checksum computed over bytes 0..18.
QByteArray frameText(QByteArray bytes)
{
    bytes.resize(FrameLength);
    bytes[ChecksumByte] = char(frameChecksum(bytes));
    return bytes.toHex();
}

QByteArray startFrame()
{
    QByteArray bytes(FrameLength, '\0');
    bytes[0] = char(FrameStart);
    return bytes;
}

const char WorkedExample[] = "a50004001072793dd002000000000000000002b5";

// Segment letter -> bit in a digit byte, as the meter wires them.
quint8 segments(const char *letters)
{
    quint8 code = 0;
    for (const char *c = letters; *c; ++c) {
        switch (*c) {
        case 'a': code |= 0x01; break;
        case 'f': code |= 0x02; break;
        case 'e': code |= 0x04; break;
        case 'd': code |= 0x08; break;
        case 'b': code |= 0x10; break;
        case 'g': code |= 0x20; break;
        case 'c': code |= 0x40; break;
        case '.': code |= 0x80; break;
        }
    }
    return code;
}

} // namespace

class tst_MeterProtocol : public QObject
{
    Q_OBJECT

private slots:
    void checkFrameText_data();
    void checkFrameText();
    void failedCheckLeavesFields();
    void frameChecksum_data();
    void frameChecksum();
    void fieldValue_data();
    void fieldValue();
    void digitPatterns_data();
    void digitPatterns();
    void digitTableIsExactlyTheDrawnPatterns();
    void findDigitText_data();
    void findDigitText();
    void versionTable();
    void unitRewrites_data();
    void unitRewrites();
};

void tst_MeterProtocol::checkFrameText_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<bool>("valid");

    const QByteArray example(WorkedExample);
    QTest::newRow("worked example") << example << true;

    QByteArray upperStart = example;
    upperStart[0] = 'A';
    QTest::newRow("upper-case A5 start passes") << upperStart << true;

    QTest::newRow("upper-case checksum letters fail") << example.left(38) + "B5" << false;
    QTest::newRow("checksum one low") << example.left(38) + "b4" << false;
    QTest::newRow("checksum one high") << example.left(38) + "b6" << false;

    QByteArray bytes = startFrame();
    bytes[10] = char(0xab);
    QByteArray upperField = frameText(bytes);
    upperField.replace(20, 2, "AB");
    QTest::newRow("upper-case data field still counts") << upperField << true;

    // 0xA5 + 0x60 = 0x105: the low byte 05 is written with its leading zero.
    bytes = startFrame();
    bytes[2] = char(0x60);
    const QByteArray sum105 = frameText(bytes);
    QCOMPARE(sum105.right(2), QByteArray("05"));
    QTest::newRow("sum 0x105 with 05") << sum105 << true;
    QTest::newRow("sum 0x105 with 5 and a blank") << sum105.left(38) + "5 " << false;
    QTest::newRow("sum 0x105 with 15") << sum105.left(38) + "15" << false;

    QTest::newRow("all zero with checksum a5")
        << QByteArray("a5000000000000000000000000000000000000a5") << true;
    QTest::newRow("all zero with checksum 00")
        << QByteArray("a500000000000000000000000000000000000000") << false;

    bytes = startFrame();
    bytes[0] = char(0xa4);
    QTest::newRow("wrong start byte, right checksum") << frameText(bytes) << false;
    bytes[0] = char(0x5a);
    QTest::newRow("command record start") << frameText(bytes) << false;

    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("one character") << QByteArray("a") << false;
    QTest::newRow("a5 alone") << QByteArray("a5") << false;
    // Two fields whose "checksum" is the start byte: a sum over 0..n-2 would
    // accept it and leave the decoders without fields.
    QTest::newRow("short text a5a5") << QByteArray("a5a5") << false;
    QTest::newRow("38 characters") << example.left(38) << false;
    QTest::newRow("39 characters") << example.left(39) << false;
    QTest::newRow("41 characters") << example + "0" << false;
    QTest::newRow("42 characters") << example + "00" << false;
    QTest::newRow("two frames") << example + example << false;

    // Fields that are not hexadecimal count 0 towards the sum.
    QByteArray garbage = example;
    garbage.replace(20, 2, "zz");
    QTest::newRow("non-hex field zz counts 0") << garbage << true;
    garbage.replace(20, 2, " 1");
    QTest::newRow("field with a blank counts 0") << garbage << true;
    garbage.replace(20, 2, "+1");
    QTest::newRow("field +1 counts 0") << garbage << true;
    garbage.replace(20, 2, "\xff\xfe");
    QTest::newRow("non-ASCII field counts 0") << garbage << true;
    garbage.replace(20, 2, "01");
    QTest::newRow("real field 01 changes the sum") << garbage << false;
}

void tst_MeterProtocol::checkFrameText()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, valid);

    QStringList fields;
    QCOMPARE(MeterProtocol::checkFrameText(text, &fields), valid);
    QCOMPARE(MeterProtocol::checkFrameText(text, nullptr), valid);
    if (valid) {
        QCOMPARE(fields.size(), FrameLength);
        for (int i = 0; i < FrameLength; ++i)
            QCOMPARE(fields.at(i), QString::fromLatin1(text.mid(2 * i, 2)));
    }
}

void tst_MeterProtocol::failedCheckLeavesFields()
{
    QStringList fields;
    QVERIFY(MeterProtocol::checkFrameText(WorkedExample, &fields));
    const QStringList before = fields;
    QVERIFY(!MeterProtocol::checkFrameText("a5000000000000000000000000000000000000a6", &fields));
    QCOMPARE(fields, before);
    QVERIFY(!MeterProtocol::checkFrameText("a5a5", &fields));
    QCOMPARE(fields, before);
}

void tst_MeterProtocol::frameChecksum_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("checksum");

    QTest::newRow("worked example, checksum byte ignored")
        << QByteArray::fromHex(WorkedExample) << 0xb5;
    QTest::newRow("19 bytes") << QByteArray::fromHex(WorkedExample).left(19) << 0xb5;
    QTest::newRow("all bytes ff wrap") << QByteArray(20, char(0xff)) << ((19 * 0xff) & 0xff);
    QTest::newRow("start byte only") << QByteArray(1, char(0xa5)) << 0xa5;
    QTest::newRow("empty") << QByteArray() << 0;
}

void tst_MeterProtocol::frameChecksum()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, checksum);
    QCOMPARE(int(MeterProtocol::frameChecksum(bytes)), checksum);
}

void tst_MeterProtocol::fieldValue_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("value");

    QTest::newRow("00") << "00" << 0;
    QTest::newRow("0a") << "0a" << 10;
    QTest::newRow("upper 0A") << "0A" << 10;
    QTest::newRow("ff") << "ff" << 255;
    QTest::newRow("a5") << "a5" << 0xa5;
    QTest::newRow("not hex") << "zz" << 0;
    QTest::newRow("half hex") << "1g" << 0;
    QTest::newRow("one char") << "1" << 0;
    QTest::newRow("three chars") << "123" << 0;
    QTest::newRow("empty") << "" << 0;
    QTest::newRow("minus") << "-1" << 0;
}

void tst_MeterProtocol::fieldValue()
{
    QFETCH(QString, field);
    QFETCH(int, value);
    QCOMPARE(MeterProtocol::fieldValue(field), value);
}

void tst_MeterProtocol::digitPatterns_data()
{
    QTest::addColumn<QString>("segmentLetters");
    QTest::addColumn<QString>("text");

    // How the meter draws each character, segment by segment.
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

    const quint8 code = segments(segmentLetters.toLatin1().constData());
    const DigitCode *digit = findDigitCode(code);
    QVERIFY2(digit, qPrintable(QString::number(code, 16)));
    QCOMPARE(QString::fromUtf8(digit->text), text);
    // The same lookup by the field's lower-case text.
    const QString field = QString::number(code, 16).rightJustified(2, '0');
    QCOMPARE(findDigit(field), digit);
}

void tst_MeterProtocol::digitTableIsExactlyTheDrawnPatterns()
{
    QCOMPARE(DigitCodeCount, 28);
    QSet<int> codes;
    for (const DigitCode &digit : DigitTable)
        codes.insert(digit.code);
    QCOMPARE(codes.size(), DigitCodeCount); // all different

    int found = 0;
    for (int code = 0; code < 256; ++code) {
        const DigitCode *digit = findDigitCode(quint8(code));
        QCOMPARE(digit != nullptr, codes.contains(code));
        if (digit)
            ++found;
    }
    QCOMPARE(found, 28);
    QVERIFY(!findDigitCode(0x00)); // blank
    QVERIFY(!findDigitCode(0xa0)); // middle bar with point
    QVERIFY(!findDigitCode(0x01)); // top bar alone
}

void tst_MeterProtocol::findDigitText_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text"); // "<none>": not in the table

    QTest::newRow("5f") << "5f" << "0";
    QTest::newRow("8e") << "8e" << "L.";
    QTest::newRow("upper-case 5F") << "5F" << "<none>";
    QTest::newRow("upper-case 8E") << "8E" << "<none>";
    QTest::newRow("blank 00") << "00" << "<none>";
    QTest::newRow("unknown a0") << "a0" << "<none>";
    QTest::newRow("unknown 01") << "01" << "<none>";
    QTest::newRow("not hex") << "zz" << "<none>";
    QTest::newRow("one char") << "5" << "<none>";
    QTest::newRow("three chars") << "5f0" << "<none>";
}

void tst_MeterProtocol::findDigitText()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    const DigitCode *digit = findDigit(field);
    QCOMPARE(digit ? QString::fromUtf8(digit->text) : QStringLiteral("<none>"), text);
}

void tst_MeterProtocol::versionTable()
{
    QCOMPARE(QString::fromUtf8(ModelName), QStringLiteral("DMM"));
    const QStringList expected = {"", "V1.0", "V2.0", "", "V3.0", "", "", "", "V4.0"};
    for (int value = -1; value < 300; ++value) {
        const VersionEntry *entry = findVersion(value);
        const QString want = expected.value(value);
        QCOMPARE(entry ? QString::fromUtf8(entry->version) : QString(), want);
        if (entry)
            QCOMPARE(entry->hidesGauge, value == 1);
    }
}

void tst_MeterProtocol::unitRewrites_data()
{
    QTest::addColumn<int>("table"); // 1 first, 2 second
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("rewritten");
    QTest::addColumn<QString>("function"); // starting from "old"

    QTest::newRow("Fm") << 1 << "Fm" << "mF" << "Capacitance";
    QTest::newRow("Hzk") << 1 << "Hzk" << "kHz" << "Frequency";
    QTest::newRow("HzM") << 1 << "HzM" << "MHz" << "Frequency";
    QTest::newRow("ΩM") << 1 << "ΩM" << "MΩ" << "Resistance";
    QTest::newRow("Ωk") << 1 << "Ωk" << "kΩ" << "Resistance";
    QTest::newRow("Am keeps function") << 1 << "Am" << "mA" << "old";
    QTest::newRow("Vm keeps function") << 1 << "Vm" << "mV" << "old";
    QTest::newRow("Au keeps function") << 2 << "Au" << "uA" << "old";
    QTest::newRow("Fn") << 2 << "Fn" << "nF" << "Capacitance";
    QTest::newRow("Fu") << 2 << "Fu" << "uF" << "Capacitance";
    QTest::newRow("only whole texts") << 1 << "Fmk" << "Fmk" << "old";
    QTest::newRow("second table not applied first") << 1 << "Au" << "Au" << "old";
    QTest::newRow("first table not applied second") << 2 << "Fm" << "Fm" << "old";
    QTest::newRow("empty") << 1 << "" << "" << "old";
    QTest::newRow("Vu stays") << 2 << "Vu" << "Vu" << "old";
}

void tst_MeterProtocol::unitRewrites()
{
    QFETCH(int, table);
    QFETCH(QString, unit);
    QFETCH(QString, rewritten);
    QFETCH(QString, function);

    QString work = unit;
    QString functionWork = QStringLiteral("old");
    if (table == 1)
        applyUnitRewrite(FirstUnitRewrites, &work, &functionWork);
    else
        applyUnitRewrite(SecondUnitRewrites, &work, &functionWork);
    QCOMPARE(work, rewritten);
    QCOMPARE(functionWork, function);
}

QTEST_GUILESS_MAIN(tst_MeterProtocol)
#include "tst_meterprotocol.moc"
