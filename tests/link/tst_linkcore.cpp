// The link's pure pieces: cutting a frame out of the received bytes, the
// Frame text, the command records, and the frame encoder the simulator uses,
// checked against the decoder's tables and the cutter.

#include "decoder/frameencoder.h"
#include "decoder/meterprotocol.h"
#include "link/commandrecord.h"
#include "link/framecut.h"
#include "metersimulator.h"

#include <QTest>

namespace {

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray filler(int count, char byte = 0x11)
{
    return QByteArray(count, byte);
}

// What the window's decoder makes of a frame's digit bytes.
QString decodedDigits(const QByteArray &frame)
{
    QString text;
    for (int byte : MeterProtocol::DigitBytes) {
        if (const MeterProtocol::DigitCode *digit =
                MeterProtocol::findDigitCode(quint8(frame.at(byte))))
            text += QString::fromUtf8(digit->text);
    }
    return text;
}

QString decodedUnit(const QByteArray &frame)
{
    using namespace MeterProtocol;
    QString unit;
    QString function;
    applyFlagBits(MainUnitBits, quint8(frame.at(MainUnitByte)), FunctionRule::Assign, &unit,
                  &function);
    applyUnitRewrite(FirstUnitRewrites, &unit, &function);
    applyFlagBits(SubUnitBits, quint8(frame.at(SubUnitByte)), FunctionRule::Assign, &unit,
                  &function);
    applyUnitRewrite(SecondUnitRewrites, &unit, &function);
    return unit;
}

} // namespace

class tst_LinkCore : public QObject
{
    Q_OBJECT

private slots:
    void cutFrame_data();
    void cutFrame();
    void frameText();
    void commandRecord_data();
    void commandRecord();
    void parseCommandRecord_data();
    void parseCommandRecord();
    void encodeUnit_data();
    void encodeUnit();
    void encodeDigits_data();
    void encodeDigits();
    void encodeFrameAnnunciators_data();
    void encodeFrameAnnunciators();
    void simulatorStreamThroughCutter_data();
    void simulatorStreamThroughCutter();
};

void tst_LinkCore::cutFrame_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArray>("cut");

    const QByteArray frame = bytes("a50004001072793dd002000000000000000002b5");
    const QByteArray other = bytes("a5000c001072793dd002000000000000000002bd");
    QTest::newRow("empty buffer") << QByteArray() << QByteArray();
    QTest::newRow("one whole frame") << frame << frame;
    QTest::newRow("two frames and a partial third: the first")
        << frame + other + other.left(7) << frame;
    QTest::newRow("garbage before the frame") << filler(9) + frame << frame;
    QTest::newRow("ten bytes without a start byte: all ten") << filler(10) << filler(10);
    QTest::newRow("25 bytes without a start byte: the first 19") << filler(25) << filler(19);
    QTest::newRow("exactly 19 bytes without a start byte") << filler(19) << filler(19);
    QTest::newRow("exactly 20 bytes without a start byte: 19") << filler(20) << filler(19);
    QTest::newRow("start byte fifth from the end: 5 bytes")
        << filler(10) + bytes("a501020304") << bytes("a501020304");
    QTest::newRow("start byte as the last byte") << filler(3) + bytes("a5") << bytes("a5");
    QTest::newRow("start byte alone") << bytes("a5") << bytes("a5");
    QTest::newRow("19 bytes from the start byte: short")
        << filler(2) + frame.left(19) << frame.left(19);
    QTest::newRow("start byte inside the data: cut from the first")
        << bytes("a5a5") + frame << bytes("a5a5") + frame.left(18);
}

void tst_LinkCore::cutFrame()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArray, cut);
    QCOMPARE(::cutFrame(buffer), cut);
}

void tst_LinkCore::frameText()
{
    QCOMPARE(toFrameText(bytes("a50004001072793dd002000000000000000002b5")),
             QByteArray("a50004001072793dd002000000000000000002b5"));
    QCOMPARE(toFrameText(bytes("a5ff0a")), QByteArray("a5ff0a")); // lower case
    QCOMPARE(toFrameText(QByteArray()), QByteArray());
}

void tst_LinkCore::commandRecord_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QByteArray>("record");
    QTest::newRow("SELECT") << int(MeterKey::Select) << bytes("5a00015b");
    QTest::newRow("MAX/MIN") << int(MeterKey::MaxMin) << bytes("5a00025c");
    QTest::newRow("EXIT MAX/MIN") << int(MeterKey::ExitMaxMin) << bytes("5a00035d");
    QTest::newRow("Hz/DUTY") << int(MeterKey::HzDuty) << bytes("5a00045e");
    QTest::newRow("HOLD") << int(MeterKey::Hold) << bytes("5a00055f");
    QTest::newRow("LIGHT") << int(MeterKey::Light) << bytes("5a000660");
    QTest::newRow("EXIT RANGE") << int(MeterKey::ExitRange) << bytes("5a000761");
    QTest::newRow("RANGE") << int(MeterKey::Range) << bytes("5a000862");
    QTest::newRow("REL") << int(MeterKey::Rel) << bytes("5a000963");
    QTest::newRow("checksum wraps past 0xff") << 0xb0 << bytes("5a00b00a");
}

void tst_LinkCore::commandRecord()
{
    QFETCH(int, key);
    QFETCH(QByteArray, record);
    QCOMPARE(::commandRecord(quint8(key)), record);
}

void tst_LinkCore::parseCommandRecord_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("key");
    QTest::newRow("HOLD") << bytes("5a00055f") << true << 5;
    QTest::newRow("wrong checksum") << bytes("5a000560") << false << 0;
    QTest::newRow("wrong start byte") << bytes("a500055f") << false << 0;
    QTest::newRow("three bytes") << bytes("5a0005") << false << 0;
    QTest::newRow("five bytes") << bytes("5a00055f00") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
}

void tst_LinkCore::parseCommandRecord()
{
    QFETCH(QByteArray, record);
    QFETCH(bool, valid);
    QFETCH(int, key);
    quint8 parsed = 0;
    QCOMPARE(::parseCommandRecord(record, &parsed), valid);
    QCOMPARE(int(parsed), key);
}

void tst_LinkCore::encodeUnit_data()
{
    QTest::addColumn<QString>("unit");
    QTest::addColumn<int>("byte2");
    QTest::addColumn<int>("byte3");
    // The meter's ranges, as the decoder reads them.
    QTest::newRow("V") << "V" << 0x04 << 0x00;
    QTest::newRow("mV") << "mV" << 0x0c << 0x00;
    QTest::newRow("A") << "A" << 0x02 << 0x00;
    QTest::newRow("mA") << "mA" << 0x0a << 0x00;
    QTest::newRow("uA") << "uA" << 0x02 << 0x80;
    QTest::newRow("Ω") << QString::fromUtf8("Ω") << 0x20 << 0x00;
    QTest::newRow("kΩ") << QString::fromUtf8("kΩ") << 0x60 << 0x00;
    QTest::newRow("MΩ") << QString::fromUtf8("MΩ") << 0xa0 << 0x00;
    QTest::newRow("F") << "F" << 0x01 << 0x00;
    QTest::newRow("mF") << "mF" << 0x09 << 0x00;
    QTest::newRow("nF") << "nF" << 0x01 << 0x40;
    QTest::newRow("uF") << "uF" << 0x01 << 0x80;
    QTest::newRow("Hz") << "Hz" << 0x10 << 0x00;
    QTest::newRow("kHz") << "kHz" << 0x50 << 0x00;
    QTest::newRow("MHz") << "MHz" << 0x90 << 0x00;
    QTest::newRow("%") << "%" << 0x00 << 0x04;
    QTest::newRow("℃") << QString::fromUtf8("℃") << 0x00 << 0x20;
    QTest::newRow("℉") << QString::fromUtf8("℉") << 0x00 << 0x10;
    QTest::newRow("no unit") << QString() << 0x00 << 0x00;
    // Texts the meter cannot show.
    QTest::newRow("unknown letters") << "W" << -1 << -1;
    QTest::newRow("prefix behind the letter") << "Vm" << -1 << -1;
    QTest::newRow("trailing junk") << "Vx" << -1 << -1;
}

void tst_LinkCore::encodeUnit()
{
    QFETCH(QString, unit);
    QFETCH(int, byte2);
    QFETCH(int, byte3);
    quint8 main = 0xee;
    quint8 sub = 0xee;
    const bool ok = ::encodeUnit(unit, &main, &sub);
    QCOMPARE(ok, byte2 >= 0);
    if (!ok)
        return;
    QCOMPARE(int(main), byte2);
    QCOMPARE(int(sub), byte3);

    MeterDisplay display;
    display.unit = unit;
    QByteArray frame;
    QVERIFY(encodeFrame(display, &frame));
    QCOMPARE(decodedUnit(frame), unit);
}

void tst_LinkCore::encodeDigits_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QByteArray>("codes"); // positions 1 to 4
    QTest::addColumn<QString>("decoded");
    QTest::newRow("1.234") << "1.234" << bytes("d03d7972") << "1.234";
    QTest::newRow("leading zero stays") << "01.34" << bytes("5fd07972") << "01.34";
    QTest::newRow("no point") << "1234" << bytes("503d7972") << "1234";
    QTest::newRow("overload with its blanks") << " 0.L " << bytes("00df0e00") << "0.L";
    QTest::newRow("overload right-aligned") << "0.L" << bytes("0000df0e") << "0.L";
    QTest::newRow("EF") << "EF" << bytes("00002f27") << "EF";
    QTest::newRow("four dashes") << "----" << bytes("20202020") << "----";
    QTest::newRow("LIVE") << "LIVE" << bytes("0e065e2f") << "LIVE";
    QTest::newRow("blank display") << "" << bytes("00000000") << "";
    QTest::newRow("lone point") << "." << bytes("00000080") << ".";
    QTest::newRow("L with its point") << "L." << bytes("0000008e") << "L.";
    QTest::newRow("five digits do not fit") << "12345" << QByteArray() << QString();
    QTest::newRow("a letter the meter cannot draw") << "1.2X" << QByteArray() << QString();
}

void tst_LinkCore::encodeDigits()
{
    QFETCH(QString, digits);
    QFETCH(QByteArray, codes);
    QFETCH(QString, decoded);
    quint8 out[4] = {0xee, 0xee, 0xee, 0xee};
    const bool ok = ::encodeDigits(digits, out);
    QCOMPARE(ok, !codes.isEmpty());
    if (!ok)
        return;
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(out), 4), codes);

    MeterDisplay display;
    display.digits = digits;
    QByteArray frame;
    QVERIFY(encodeFrame(display, &frame));
    QCOMPARE(decodedDigits(frame), decoded);
}

void tst_LinkCore::encodeFrameAnnunciators_data()
{
    QTest::addColumn<QString>("flag");
    QTest::addColumn<int>("byte");
    QTest::addColumn<int>("bit");
    QTest::newRow("hFE") << "hfe" << 3 << 0x02;
    QTest::newRow("lightning") << "lightning" << 3 << 0x08;
    QTest::newRow("HOLD") << "hold" << 4 << 0x01;
    QTest::newRow("REL") << "rel" << 4 << 0x02;
    QTest::newRow("DIO") << "dio" << 4 << 0x04;
    QTest::newRow("BEEP") << "beep" << 4 << 0x08;
    QTest::newRow("AUTO") << "autoRange" << 4 << 0x10;
    QTest::newRow("APO") << "apo" << 4 << 0x20;
    QTest::newRow("Range") << "range" << 4 << 0x40;
    QTest::newRow("BAT") << "bat" << 4 << 0x80;
    QTest::newRow("DC") << "dc" << 9 << 0x02;
    QTest::newRow("minus") << "minus" << 9 << 0x04;
    QTest::newRow("AC") << "ac" << 9 << 0x08;
    QTest::newRow("MIN") << "min" << 9 << 0x10;
    QTest::newRow("MAX") << "max" << 9 << 0x20;
}

void tst_LinkCore::encodeFrameAnnunciators()
{
    QFETCH(QString, flag);
    QFETCH(int, byte);
    QFETCH(int, bit);

    MeterDisplay display;
    display.digits = QStringLiteral("1.234");
    display.unit = QStringLiteral("V");
    display.version = 8;
    bool *flags[] = {&display.hfe, &display.lightning, &display.hold, &display.rel,
                     &display.dio, &display.beep, &display.autoRange, &display.apo,
                     &display.range, &display.bat, &display.dc, &display.minus,
                     &display.ac, &display.min, &display.max};
    const char *names[] = {"hfe", "lightning", "hold", "rel", "dio", "beep", "autoRange", "apo",
                           "range", "bat", "dc", "minus", "ac", "min", "max"};
    for (int i = 0; i < int(sizeof(names) / sizeof(names[0])); ++i) {
        if (flag == QLatin1String(names[i]))
            *flags[i] = true;
    }

    QByteArray frame;
    QVERIFY(encodeFrame(display, &frame));
    QCOMPARE(frame.size(), MeterProtocol::FrameLength);
    QCOMPARE(quint8(frame.at(0)), MeterProtocol::FrameStart);
    QCOMPARE(int(quint8(frame.at(18))), 8);
    // Only this flag's bit is set among the flag bytes (V's own bit aside).
    QCOMPARE(int(quint8(frame.at(byte))) & bit, bit);
    const int expected3 = byte == 3 ? bit : 0;
    const int expected4 = byte == 4 ? bit : 0;
    const int expected9 = byte == 9 ? bit : 0;
    QCOMPARE(int(quint8(frame.at(3))), expected3);
    QCOMPARE(int(quint8(frame.at(4))), expected4);
    QCOMPARE(int(quint8(frame.at(9))), expected9);
    QVERIFY(MeterProtocol::checkFrameText(toFrameText(frame), nullptr));
}

void tst_LinkCore::simulatorStreamThroughCutter_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("garbage");
    QTest::addColumn<bool>("split");
    for (const QString &name : MeterSimulator::scenarioNames()) {
        QTest::addRow("%s, clean", qPrintable(name)) << name << 0 << false;
        QTest::addRow("%s, garbage and split frames", qPrintable(name)) << name << 12 << true;
    }
}

// Every scenario's frames are valid, and whatever the faults around them the
// cutter finds the frame the simulator encoded.
void tst_LinkCore::simulatorStreamThroughCutter()
{
    QFETCH(QString, scenario);
    QFETCH(int, garbage);
    QFETCH(bool, split);

    MeterSimulator meter(7);
    QVERIFY(meter.setScenario(scenario));
    meter.setTourFrames(2);
    MeterSimulator::Faults faults;
    faults.garbageMaxBytes = garbage;
    faults.split = split;
    meter.setFaults(faults);

    QByteArray leftover; // the garbage that followed the previous frame
    const int frames = scenario == QLatin1String("tour") ? 100 : 12;
    for (int i = 0; i < frames; ++i) {
        const QList<QByteArray> writes = meter.nextWrites();
        if (split)
            QVERIFY(writes.size() >= 2 + (garbage > 0 ? 1 : 0));
        QByteArray line = leftover;
        for (const QByteArray &piece : writes)
            line += piece;
        const QByteArray frame = meter.lastFrame();
        QCOMPARE(frame.size(), MeterProtocol::FrameLength);
        QVERIFY2(MeterProtocol::checkFrameText(toFrameText(frame), nullptr),
                 toFrameText(frame).constData());
        QCOMPARE(::cutFrame(line), frame);
        leftover = garbage > 0 ? writes.constLast() : QByteArray();
        QVERIFY(!leftover.contains(char(MeterProtocol::FrameStart)));
    }
}

QTEST_GUILESS_MAIN(tst_LinkCore)
#include "tst_linkcore.moc"
