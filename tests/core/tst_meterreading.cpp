// One frame into one reading: the decoding rules, without a window.

#include "meter/meterreading.h"
#include "support/testframes.h"

#include <QTest>


using namespace TestFrames;
using MeterProtocol::Annunciator;
using Kind = MeterReading::Kind;
Q_DECLARE_METATYPE(MeterReading::Kind)

namespace {

// An all-zero Frame text (version byte 2) with the given fields written in, as text, and
// the checksum the check expects: fields that are not hexadecimal count 0.
QByteArray withFields(std::initializer_list<std::pair<int, const char *>> fields)
{
    QByteArray text = frame({});
    for (const auto &[index, field] : fields)
        text.replace(2 * index, 2, field);
    int sum = 0;
    for (int i = 0; i < 19; ++i) {
        bool ok = false;
        const int value = text.mid(2 * i, 2).toInt(&ok, 16);
        sum += ok && value >= 0 ? value : 0;
    }
    return text.replace(38, 2, QByteArray::number(sum & 0xff, 16).rightJustified(2, '0'));
}

// What a reading shows: value|unit|function|the lit annunciators' words
// (and "lightning" for the picture).
QString shown(const MeterReading &reading)
{
    QStringList lit = reading.annunciatorWords();
    if (reading.isLit(Annunciator::Lightning))
        lit << QStringLiteral("lightning");
    return QStringList({reading.valueText, reading.unitText, reading.functionText, lit.join(' ')})
        .join('|');
}

} // namespace

class tst_MeterReading : public QObject
{
    Q_OBJECT

private slots:
    // The worked example, each annunciator bit alone, the tie-breaks between bits, and the
    // digit codes the encoder never sends (the round trip shows every other display).
    void shows_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("lit"); // as shown() tells it

        QTest::newRow("worked example") << QByteArray(WorkedExample) << "1.234" << "V" << "DC" << "AUTO DC";
        QTest::newRow("hFE") << flagFrame(0, 0x02, 0, 0) << "" << "" << "hFE" << "hFE";
        QTest::newRow("lightning") << flagFrame(0, 0x08, 0, 0) << "" << "" << "" << "lightning";
        QTest::newRow("HOLD") << flagFrame(0, 0, 0x01, 0) << "" << "" << "" << "HOLD";
        QTest::newRow("REL") << flagFrame(0, 0, 0x02, 0) << "" << "" << "" << "REL";
        QTest::newRow("DIO") << flagFrame(0, 0, 0x04, 0) << "" << "" << "DIO" << "DIO";
        QTest::newRow("BEEP") << flagFrame(0, 0, 0x08, 0) << "" << "" << "BEEP" << "BEEP";
        QTest::newRow("AUTO") << flagFrame(0, 0, 0x10, 0) << "" << "" << "" << "AUTO";
        QTest::newRow("APO") << flagFrame(0, 0, 0x20, 0) << "" << "" << "" << "APO";
        QTest::newRow("Range") << flagFrame(0, 0, 0x40, 0) << "" << "" << "" << "Range";
        QTest::newRow("BAT") << flagFrame(0, 0, 0x80, 0) << "" << "" << "" << "BAT";
        QTest::newRow("DC") << flagFrame(0, 0, 0, 0x02) << "" << "" << "DC" << "DC";
        QTest::newRow("minus") << flagFrame(0, 0, 0, 0x04) << "" << "" << "" << "-";
        QTest::newRow("AC with T-RMS") << flagFrame(0, 0, 0, 0x08) << "" << "" << "AC" << "AC T-RMS";
        QTest::newRow("MIN") << flagFrame(0, 0, 0, 0x10) << "" << "" << "" << "MIN";
        QTest::newRow("MAX") << flagFrame(0, 0, 0, 0x20) << "" << "" << "" << "MAX";
        // Function names: the last one assigned up to byte 4 wins.
        QTest::newRow("DIO and BEEP: BEEP") << flagFrame(0, 0, 0x0c, 0) << "" << "" << "BEEP" << "DIO BEEP";
        QTest::newRow("hFE then ℃ gives TEMP") << flagFrame(0, 0x22, 0, 0) << "" << "℃" << "TEMP" << "hFE";
        QTest::newRow("Hz then %") << flagFrame(0x10, 0x04, 0, 0) << "" << "Hz%" << "Duty cycle" << "";
        QTest::newRow("kΩ, then BEEP") << flagFrame(0x60, 0, 0x08, 0) << "" << "kΩ" << "BEEP" << "BEEP";
        // Unit letters: bit order, only the whole-text rewrites reorder them.
        QTest::newRow("V then u") << flagFrame(0x04, 0x80, 0, 0) << "" << "Vu" << "" << "";
        QTest::newRow("Hz then Ω") << flagFrame(0x30, 0, 0, 0) << "" << "HzΩ" << "Resistance" << "";
        QTest::newRow("mF then n") << flagFrame(0x09, 0x40, 0, 0) << "" << "mFn" << "Capacitance" << "";
        QTest::newRow("kΩ with M") << flagFrame(0xe0, 0, 0, 0) << "" << "ΩkM" << "Resistance" << "";
        // DC and AC are appended to whatever name is left.
        QTest::newRow("BEEP, AC") << flagFrame(0, 0, 0x08, 0x08) << "" << "" << "BEEPAC" << "BEEP AC T-RMS";
        QTest::newRow("every byte 9 bit")
            << flagFrame(0, 0, 0, 0xff) << "" << "" << "DCAC" << "DC - AC T-RMS MIN MAX";
        QTest::newRow("every flag bit")
            << flagFrame(0xff, 0xff, 0xff, 0xff) << "" << "FAVmHzΩkM%℉℃nu" << "BEEPDCAC"
            << "HOLD REL DIO BEEP AUTO APO Range BAT hFE DC - AC T-RMS MIN MAX lightning";
        // Bits that mean nothing.
        QTest::newRow("unused bits alone") << flagFrame(0, 0x01, 0, 0xc1) << "" << "" << "" << "";
        QTest::newRow("unused bits on a reading")
            << flagFrame(0x04, 0x01, 0x10, 0xc3) << "" << "V" << "DC" << "AUTO DC";
        QTest::newRow("bytes nobody reads")
            << frame({{1, 0xff}, {2, 0x04}, {4, 0x10}, {8, 0xd0}, {7, 0x3d}, {6, 0x79}, {5, 0x72}, {9, 0x02},
                      {10, 0x12}, {11, 0xa5}, {12, 0x5f}, {13, 0x80}, {14, 0x01}, {15, 0xfe}, {16, 0x77},
                      {17, 0x33}})
            << "1.234" << "V" << "DC" << "AUTO DC";
        // Digit codes, bytes 8, 7, 6, 5.
        const auto digits = [](int b8, int b7, int b6, int b5) {
            return frame({{8, b8}, {7, b7}, {6, b6}, {5, b5}});
        };
        QTest::newRow("overload 0.L") << digits(0x00, 0xdf, 0x0e, 0x00) << "0.L" << "" << "" << "";
        QTest::newRow("LIVE") << digits(0x0e, 0x06, 0x5e, 0x2f) << "LIVE" << "" << "LIVE" << "";
        QTest::newRow("unknown codes skipped") << digits(0xa0, 0x50, 0x01, 0x7b) << "19" << "" << "" << "";
        QTest::newRow("point alone") << digits(0, 0, 0x80, 0) << "." << "" << "" << "";
        QTest::newRow("digits 7 and 4 in order") << digits(0x51, 0x00, 0x72, 0x00) << "74" << "" << "" << "";
    }

    void shows()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, value);
        QFETCH(QString, unit);
        QFETCH(QString, function);
        QFETCH(QString, lit);

        const std::optional<MeterReading> reading = MeterReading::fromFrameText(frame);
        QVERIFY(reading);
        QCOMPARE(shown(*reading), QStringList({value, unit, function, lit}).join('|'));
        QCOMPARE(reading->negative, reading->isLit(Annunciator::Minus));
        // The raw bytes read the same as their Frame text.
        QCOMPARE(MeterReading::fromFrame(QByteArray::fromHex(frame)), reading);
    }

    // The Frame text as written: the check and the flag bytes take either case, the digit
    // table only lower case; a field that is not hexadecimal counts 0.
    void frameTextLetterCase_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("shows"); // as shown() tells it

        QTest::newRow("A5 in upper case") << QByteArray("A50004001072793dd002000000000000000002b5")
                                          << "1.234|V|DC|AUTO DC";
        QTest::newRow("an upper-case digit field shows nothing")
            << QByteArray("a50004001072793dD002000000000000000002b5") << "234|V|DC|AUTO DC";
        // A digit field (byte 5) and a flag field (byte 4) as the text may carry them.
        QTest::newRow("digit 5f is 0") << withFields({{5, "5f"}}) << "0|||";
        QTest::newRow("digit 8e is L.") << withFields({{5, "8e"}}) << "L.|||";
        QTest::newRow("digit 5F in upper case is nothing") << withFields({{5, "5F"}}) << "|||";
        QTest::newRow("digit a0 is not in the table") << withFields({{5, "a0"}}) << "|||";
        QTest::newRow("digit zz is not hexadecimal") << withFields({{5, "zz"}}) << "|||";
        QTest::newRow("flags 0a light REL and BEEP") << withFields({{4, "0a"}}) << "||BEEP|REL BEEP";
        QTest::newRow("flags 0A the same") << withFields({{4, "0A"}}) << "||BEEP|REL BEEP";
        QTest::newRow("flags 1g, half hexadecimal, count 0") << withFields({{4, "1g"}}) << "|||";
        QTest::newRow("flags -1 count 0") << withFields({{4, "-1"}}) << "|||";
        QByteArray milliamps = flagFrame(0x0a, 0, 0x1a, 0x0a);
        QTest::newRow("upper-case flag fields still count")
            << milliamps.replace(4, 2, "0A").replace(8, 2, "1A").replace(18, 2, "0A") << "|mA|BEEPDCAC|REL BEEP AUTO DC AC T-RMS";
    }

    void frameTextLetterCase()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QString, shows);
        const std::optional<MeterReading> reading = MeterReading::fromFrameText(frame);
        QVERIFY(reading);
        QCOMPARE(shown(*reading), shows);
    }

    void version_data()
    {
        QTest::addColumn<int>("versionByte");
        QTest::addColumn<QString>("version"); // empty: the byte says nothing about the meter
        QTest::addColumn<bool>("withoutBarGraph");
        QTest::newRow("1 is V1.0, the meter without a bar graph") << 1 << "V1.0" << true;
        QTest::newRow("2 is V2.0") << 2 << "V2.0" << false;
        QTest::newRow("4 is V3.0") << 4 << "V3.0" << false;
        QTest::newRow("8 is V4.0") << 8 << "V4.0" << false;
        QTest::newRow("3 is unknown") << 3 << "" << false;
        QTest::newRow("0x10 is unknown") << 0x10 << "" << false;
        QTest::newRow("0 is unknown") << 0 << "" << false;
    }

    void version()
    {
        QFETCH(int, versionByte);
        QFETCH(QString, version);
        QFETCH(bool, withoutBarGraph);
        const std::optional<MeterReading> reading = MeterReading::fromFrame(rawFrame({{18, versionByte}}));
        QVERIFY(reading);
        QCOMPARE(reading->model, version.isEmpty() ? QString() : QStringLiteral("DMM"));
        QCOMPARE(reading->version, version);
        QCOMPARE(reading->withoutBarGraph, withoutBarGraph);
    }

    // Each way a Frame text fails is in tst_meterprotocol; here, that both doors refuse.
    void rejected_data()
    {
        QTest::addColumn<QByteArray>("raw");
        const QByteArray good = rawFrame({{2, 0x60}, {4, 0x08}, {8, 0x7f}, {7, 0xd1}});
        QByteArray sumOff = good;
        sumOff[19] = char(sumOff.at(19) + 1);
        QByteArray wrongStart = good;
        wrongStart[0] = char(0x5a);
        wrongStart[19] = char(quint8(wrongStart.at(19)) + 0x5a - 0xa5); // the sum is right
        QTest::newRow("checksum off by one") << sumOff;
        QTest::newRow("start byte 0x5A") << wrongStart;
        QTest::newRow("19 bytes") << good.left(19);
        QTest::newRow("21 bytes") << good + char(0);
        QTest::newRow("nothing") << QByteArray();
    }

    void rejected()
    {
        QFETCH(QByteArray, raw);
        QVERIFY(!MeterReading::fromFrame(raw));
        QVERIFY(!MeterReading::fromFrameText(toFrameText(raw)));
    }

    // What the program makes of the digits: the kind of display, the panel's text, the
    // table's value, the curve's value and the bar. tst_readingdisplay walks the common
    // readings through the window; here, one of each kind and the cases it does not show.
    void displayRules_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<bool>("negative");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("function"); // DC is lit on every frame
        QTest::addColumn<QString>("panel");
        QTest::addColumn<QString>("tableValue");
        QTest::addColumn<double>("curve");
        QTest::addColumn<int>("bar");         // -1: over range, a full bar more
        QTest::addColumn<QString>("number");  // empty: none

        QTest::newRow("6000 counts, full bar") << "6000" << false << "V" << Kind::Ordinary << "DC" << "6000" << "6000"
                                               << 6000.0 << 61 << "6000";
        QTest::newRow("-098.6 ℉") << "098.6" << true << "℉" << Kind::Ordinary << "TEMPDC" << "98.6" << "-098.6"
                                  << -98.6 << 10 << "-98.6";
        QTest::newRow("blank digits with the sign") << "" << true << "V" << Kind::Blank << "DC" << "" << "-"
                                                    << 0.0 << 1 << "";
        QTest::newRow("LIVE with the sign") << "LIVE" << true << "" << Kind::Live << "LIVE" << "LIVE" << "-LIVE"
                                            << -7000.0 << -1 << "";
        QTest::newRow("EF is the NCV detector") << "EF" << false << "" << Kind::NcvField << "NCV" << "EF" << "EF"
                                                << 7000.0 << -1 << "";
        QTest::newRow("a dash among digits is the detector") << "-1.2" << false << "V" << Kind::NcvDashes << "NCV"
                                                             << "-1.2" << "-1.2" << 7000.0 << -1 << "";
        QTest::newRow("1E5 is an overload, not a power of ten") << "1E5" << false << "V" << Kind::Overload
                                                                << "DC" << "1E5" << "1E5" << 7000.0 << -1 << "";
        QTest::newRow("an overload in ℃ keeps its letters") << "0.L" << false << "℃" << Kind::Overload << "TEMPDC"
                                                            << "0.L" << "0.L" << 7000.0 << -1 << "";
    }

    void displayRules()
    {
        QFETCH(QString, digits);
        QFETCH(bool, negative);
        QFETCH(QString, unit);
        QFETCH(Kind, kind);
        QFETCH(QString, function);
        QFETCH(QString, panel);
        QFETCH(QString, tableValue);
        QFETCH(double, curve);
        QFETCH(int, bar);
        QFETCH(QString, number);

        const QByteArray frameText = displayFrame(digits, negative, unit, true);
        QVERIFY(!frameText.isEmpty());
        const std::optional<MeterReading> reading = MeterReading::fromFrameText(frameText);
        QVERIFY(reading);
        QCOMPARE(reading->valueText, digits);
        QCOMPARE(reading->negative, negative);
        QCOMPARE(reading->kind, kind);
        QCOMPARE(reading->functionText, function);
        QCOMPARE(reading->panelText(), panel);
        QCOMPARE(reading->tableValueText(), tableValue);
        // The curve gets the reading as the meter's single-precision number.
        QCOMPARE(float(reading->curveValue()), float(curve));
        QCOMPARE(reading->barSteps(), bar < 0 ? std::nullopt : std::optional<int>(bar));
        QCOMPARE(reading->number(), number.isEmpty() ? std::nullopt : std::optional<double>(number.toDouble()));
    }

    // Each unit from its bytes, then every display the encoder can build for it decoded back.
    void roundTrip_data()
    {
        QTest::addColumn<int>("byte2");
        QTest::addColumn<int>("byte3");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("function");    // what the unit bytes alone name
        QTest::addColumn<QString>("withHfe");     // the name when hFE is lit too

        QTest::newRow("V") << 0x04 << 0x00 << "V" << "" << "hFE";
        QTest::newRow("mV") << 0x0c << 0x00 << "mV" << "" << "hFE";
        QTest::newRow("A") << 0x02 << 0x00 << "A" << "" << "hFE";
        QTest::newRow("mA") << 0x0a << 0x00 << "mA" << "" << "hFE";
        QTest::newRow("uA") << 0x02 << 0x80 << "uA" << "" << "hFE";
        QTest::newRow("ohm") << 0x20 << 0x00 << "Ω" << "Resistance" << "hFE";
        QTest::newRow("kilo-ohm") << 0x60 << 0x00 << "kΩ" << "Resistance" << "hFE";
        QTest::newRow("mega-ohm") << 0xa0 << 0x00 << "MΩ" << "Resistance" << "hFE";
        QTest::newRow("F") << 0x01 << 0x00 << "F" << "" << "hFE";
        QTest::newRow("mF") << 0x09 << 0x00 << "mF" << "Capacitance" << "hFE";
        QTest::newRow("nF") << 0x01 << 0x40 << "nF" << "Capacitance" << "Capacitance";
        QTest::newRow("uF") << 0x01 << 0x80 << "uF" << "Capacitance" << "Capacitance";
        QTest::newRow("Hz") << 0x10 << 0x00 << "Hz" << "Frequency" << "hFE";
        QTest::newRow("kHz") << 0x50 << 0x00 << "kHz" << "Frequency" << "hFE";
        QTest::newRow("MHz") << 0x90 << 0x00 << "MHz" << "Frequency" << "hFE";
        QTest::newRow("duty cycle") << 0x00 << 0x04 << "%" << "Duty cycle" << "Duty cycle";
        QTest::newRow("celsius") << 0x00 << 0x20 << "℃" << "TEMP" << "TEMP";
        QTest::newRow("fahrenheit") << 0x00 << 0x10 << "℉" << "TEMP" << "TEMP";
        QTest::newRow("no unit") << 0x00 << 0x00 << "" << "" << "hFE";
    }

    void roundTrip()
    {
        QFETCH(int, byte2);
        QFETCH(int, byte3);
        QFETCH(QString, unit);
        QFETCH(QString, function);
        QFETCH(QString, withHfe);

        const std::optional<MeterReading> unitOnly = MeterReading::fromFrameText(flagFrame(byte2, byte3, 0, 0));
        QVERIFY(unitOnly);
        QCOMPARE(shown(*unitOnly), QStringList({"", unit, function, ""}).join('|'));
        quint8 mainUnit = 0, subUnit = 0;
        QVERIFY(encodeUnit(unit, &mainUnit, &subUnit));
        QCOMPARE(QList<int>({mainUnit, subUnit}), QList<int>({byte2, byte3}));

        // The display's flags with the words each one lights, in shown() order.
        using D = MeterDisplay;
        const QList<QPair<bool D::*, QString>> flags = {
            {&D::hold, "HOLD"}, {&D::rel, "REL"}, {&D::dio, "DIO"}, {&D::beep, "BEEP"},
            {&D::autoRange, "AUTO"}, {&D::apo, "APO"}, {&D::range, "Range"}, {&D::bat, "BAT"},
            {&D::hfe, "hFE"}, {&D::dc, "DC"}, {&D::minus, "-"}, {&D::ac, "AC T-RMS"},
            {&D::min, "MIN"}, {&D::max, "MAX"}, {&D::lightning, "lightning"}};
        // Flag sets as bit masks over `flags`, with the function name each gives (%1 the unit's
        // own name, %2 its name with hFE lit): none, the pairs that compete (DIO and BEEP, DC
        // and AC, hFE with DC and minus), all of them, then each alone.
        QList<QPair<int, QString>> flagSets = {
            {0, "%1"}, {0x000c, "BEEP"}, {0x0a00, "%1DCAC"}, {0x0700, "%2DC"}, {0x7fff, "BEEPDCAC"}};
        const QStringList aloneNames = {"%1", "%1", "DIO", "BEEP", "%1", "%1", "%1", "%1",
                                        "%2", "%1DC", "%1", "%1AC", "%1", "%1", "%1"};
        for (int i = 0; i < flags.size(); ++i)
            flagSets.append({1 << i, aloneNames.at(i)});
        const QStringList values = {"1.234", "01.34", "0.000", "6543", "8.8.8.8.", " 0.L ", "0.L", "  EF",
                                    "----", "LIVE", "", "1.", "-1", "I", "L.", ".", "9  1"};

        for (const QString &value : values) {
            for (const auto &[flagSet, name] : flagSets) {
                MeterDisplay display;
                display.digits = value;
                display.unit = unit;
                QStringList lit;
                for (int i = 0; i < flags.size(); ++i) {
                    if (flagSet & (1 << i)) {
                        display.*(flags.at(i).first) = true;
                        lit << flags.at(i).second;
                    }
                }
                QByteArray raw;
                QVERIFY2(encodeFrame(display, &raw), qPrintable(value + '|' + lit.join(' ')));
                const std::optional<MeterReading> reading = MeterReading::fromFrame(raw);
                QVERIFY(reading);

                // EF or a dash without the minus sign is the NCV detector, LIVE the live-wire
                // detector: the table names those instead.
                QString expectedFunction = QString(name).replace("%1", function).replace("%2", withHfe);
                if ((value.contains(QLatin1String("EF")) || value.contains('-')) && !display.minus)
                    expectedFunction = QStringLiteral("NCV");
                else if (value == QLatin1String("LIVE"))
                    expectedFunction = QStringLiteral("LIVE");
                const QString expected =
                    QStringList({QString(value).remove(' '), unit, expectedFunction, lit.join(' ')}).join('|');
                QCOMPARE(shown(*reading), expected);
                QCOMPARE(MeterReading::fromFrameText(toFrameText(raw)), reading);
            }
        }
    }

    // The value in the unit without its prefix, as read from a decoded frame.
    void baseValue_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<bool>("negative");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("baseUnit");
        QTest::addColumn<double>("baseValue");
        QTest::newRow("2.19 MΩ is 2190000 Ω") << "2.190" << false << "MΩ" << "Ω" << 2190000.0;
        QTest::newRow("4.68 kΩ is 4680 Ω") << "4.680" << false << "kΩ" << "Ω" << 4680.0;
        QTest::newRow("-12.5 mV is -0.0125 V") << "12.50" << true << "mV" << "V" << -0.0125;
        QTest::newRow("33.5 uA is 0.0000335 A") << "33.50" << false << "uA" << "A" << 0.0000335;
        QTest::newRow("47.0 nF is 4.7e-8 F") << "47.00" << false << "nF" << "F" << 4.7e-8;
        QTest::newRow("32.83 kHz is 32830 Hz") << "32.83" << false << "kHz" << "Hz" << 32830.0;
        QTest::newRow("3.336 V stays") << "3.336" << false << "V" << "V" << 3.336;
        QTest::newRow("a temperature has no prefix") << "0023" << false << "℃" << "℃" << 23.0;
        QTest::newRow("a duty cycle has no prefix") << "50.0" << false << "%" << "%" << 50.0;
    }

    void baseValue()
    {
        QFETCH(QString, digits);
        QFETCH(bool, negative);
        QFETCH(QString, unit);
        QFETCH(QString, baseUnit);
        QFETCH(double, baseValue);
        const std::optional<MeterReading> reading =
            MeterReading::fromFrameText(displayFrame(digits, negative, unit, false));
        QVERIFY(reading);
        QCOMPARE(MeterReading::unitScale(reading->unitText).baseUnit, baseUnit);
        QVERIFY(reading->baseValue());
        QVERIFY(qFuzzyCompare(*reading->baseValue(), baseValue));
    }

    void encoderRefusesWhatTheMeterCannotShow_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("unit");
        QTest::newRow("five digits") << "12345" << "V";
        QTest::newRow("letter the meter cannot draw") << "1.2A" << "V";
        QTest::newRow("unknown unit") << "1.234" << "kV";
        QTest::newRow("prefix in sent order") << "1.234" << "Ωk";
    }

    void encoderRefusesWhatTheMeterCannotShow()
    {
        QFETCH(QString, digits);
        QFETCH(QString, unit);
        MeterDisplay display;
        display.digits = digits;
        display.unit = unit;
        QByteArray raw("untouched");
        QVERIFY(!encodeFrame(display, &raw));
        QCOMPARE(raw, QByteArray("untouched"));
    }
};

QTEST_GUILESS_MAIN(tst_MeterReading)
#include "tst_meterreading.moc"
