// The window's decoder: Frame texts in, reading members and panel labels out.

#include "mainwindow.h"
#include "ui_mainwindow.h"
#include "gauge/tickgauge.h"
#include "decoder/frameencoder.h"
#include "link/framecut.h"

#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <memory>
#include <numeric>

namespace {

// A frame of the given bytes over an all-zero frame with start byte 0xA5 and
// version byte 2, checksum computed, as Frame text.
QByteArray frame(std::initializer_list<std::pair<int, int>> bytes)
{
    QByteArray raw(20, '\0');
    raw[0] = char(0xa5);
    raw[18] = 0x02;
    for (const auto &byte : bytes)
        raw[byte.first] = char(byte.second);
    const auto add = [](int sum, char byte) { return sum + quint8(byte); };
    raw[19] = char(std::accumulate(raw.cbegin(), raw.cbegin() + 19, 0, add));
    return toFrameText(raw);
}

QByteArray flagFrame(int byte2, int byte3, int byte4, int byte9)
{
    return frame({{2, byte2}, {3, byte3}, {4, byte4}, {9, byte9}});
}

const char WorkedExample[] = "a50004001072793dd002000000000000000002b5";

// Every text annunciator of the panel with the word it shows when lit, in panel() order.
const std::pair<const char *, const char *> AnnunciatorLabels[] = {
    {"lbHold", "HOLD"}, {"lbRel", "REL"}, {"lbDio", "DIO"}, {"lbBeep", "BEEP"}, {"lbAuto", "AUTO"},
    {"lbApo", "APO"}, {"lbRange", "Range"}, {"lbBat", "BAT"}, {"lbHfe", "hFE"}, {"lbDc", "DC"},
    {"lbMinus", "-"}, {"lbAc", "AC"}, {"lbAc_2", "T-RMS"}, {"lbMin", "MIN"}, {"lbMax", "MAX"},
};

} // namespace

class tst_FrameDecoder : public QObject
{
    Q_OBJECT

private slots:
    void init() { m_window = std::make_unique<MainWindow>(); }
    void cleanup() { m_window.reset(); }

    // The worked example, each annunciator bit alone, the tie-breaks between bits, and the
    // digit codes the encoder never sends (the round trip shows every other display).
    void shows_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("function");
        QTest::addColumn<QString>("lit"); // as panel() tells it

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
        // Unit letters: bit order, only the whole-text rewrites reorder them.
        QTest::newRow("V then u") << flagFrame(0x04, 0x80, 0, 0) << "" << "Vu" << "" << "";
        QTest::newRow("Hz then Ω") << flagFrame(0x30, 0, 0, 0) << "" << "HzΩ" << "Resistance" << "";
        QTest::newRow("mF then n") << flagFrame(0x09, 0x40, 0, 0) << "" << "mFn" << "Capacitance" << "";
        QTest::newRow("kΩ with M") << flagFrame(0xe0, 0, 0, 0) << "" << "ΩkM" << "Resistance" << "";
        // DC and AC are appended to whatever name is left.
        QTest::newRow("BEEP, AC") << flagFrame(0, 0, 0x08, 0x08) << "" << "" << "BEEPAC" << "BEEP AC T-RMS";
        QTest::newRow("every byte 9 bit")
            << flagFrame(0, 0, 0, 0xff) << "" << "" << "DCAC" << "DC - AC T-RMS MIN MAX";
        // Bits that mean nothing.
        QTest::newRow("unused bits alone") << flagFrame(0, 0x01, 0, 0xc1) << "" << "" << "" << "";
        QTest::newRow("unused bits on a reading")
            << flagFrame(0x04, 0x01, 0x10, 0xc3) << "" << "V" << "DC" << "AUTO DC";
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

        m_window->decodeFrame(frame);
        QCOMPARE(snapshot(), QStringList({value, unit, function, unit, lit}).join('|'));
        // The working strings are empty between frames.
        QVERIFY(m_window->m_unitWork.isEmpty() && m_window->m_digitWork.isEmpty()
                && m_window->m_functionWork.isEmpty());
    }

    // A frame shows the same whatever came before it, and whatever bytes the
    // decoder does not read carry: compared with `reference` in a fresh window.
    void sameShowAsInAFreshWindow_data()
    {
        QTest::addColumn<QByteArray>("first");
        QTest::addColumn<QByteArray>("second");
        QTest::addColumn<QByteArray>("reference");
        const QByteArray volts = flagFrame(0x04, 0, 0, 0x02);
        const QByteArray ac = flagFrame(0x04, 0, 0, 0x08);
        const QByteArray none = flagFrame(0, 0, 0, 0);
        const QByteArray allZero("a5000000000000000000000000000000000000a5");
        QTest::newRow("minus set then cleared") << flagFrame(0x04, 0, 0, 0x06) << volts << volts;
        QTest::newRow("lightning shown then hidden") << flagFrame(0x04, 0x08, 0, 0x08) << ac << ac;
        QTest::newRow("everything then nothing") << flagFrame(0xff, 0xff, 0xff, 0xff) << none << none;
        QTest::newRow("hFE then volts") << flagFrame(0, 0x02, 0, 0) << volts << volts;
        QTest::newRow("worked example then all-zero") << QByteArray(WorkedExample) << allZero << allZero;
        QTest::newRow("bytes the decoder does not read")
            << QByteArray()
            << frame({{1, 0xff}, {2, 0x04}, {4, 0x10}, {8, 0xd0}, {7, 0x3d}, {6, 0x79}, {5, 0x72}, {9, 0x02},
                      {10, 0x12}, {11, 0xa5}, {12, 0x5f}, {13, 0x80}, {14, 0x01}, {15, 0xfe}, {16, 0x77},
                      {17, 0x33}})
            << QByteArray(WorkedExample);
    }

    void sameShowAsInAFreshWindow()
    {
        QFETCH(QByteArray, first);
        QFETCH(QByteArray, second);
        QFETCH(QByteArray, reference);

        m_window->decodeFrame(reference);
        const QString expected = snapshot();
        m_window = std::make_unique<MainWindow>();
        if (!first.isEmpty()) {
            m_window->decodeFrame(first);
            QVERIFY(snapshot() != expected);
        }
        m_window->decodeFrame(second);
        QCOMPARE(m_window->m_fieldList.join(QString()).toLatin1(), second);
        QCOMPARE(snapshot(), expected);
    }

    void version_data()
    {
        QTest::addColumn<QList<int>>("versionBytes"); // decoded in this order
        QTest::addColumn<QString>("appVersion");
        QTest::addColumn<bool>("gaugeHidden");
        QTest::newRow("1 hides the bar graph") << QList<int>{1} << "V1.0" << true;
        QTest::newRow("4 is V3.0") << QList<int>{4} << "V3.0" << false;
        QTest::newRow("8 is V4.0") << QList<int>{8} << "V4.0" << false;
        QTest::newRow("unknown before any known") << QList<int>{3} << "" << false;
        QTest::newRow("2 then 0 keeps V2.0") << QList<int>{2, 0} << "V2.0" << false;
        QTest::newRow("1 then 0xff keeps V1.0") << QList<int>{1, 0xff} << "V1.0" << true;
    }

    void version()
    {
        QFETCH(QList<int>, versionBytes);
        QFETCH(QString, appVersion);
        QFETCH(bool, gaugeHidden);

        // A negative EF: the display leaves the bar graph as the decoder left it.
        m_window->ui->tickGauge->show();
        for (int versionByte : versionBytes)
            m_window->decodeFrame(frame({{6, 0x2f}, {5, 0x27}, {9, 0x04}, {18, versionByte}}));
        QCOMPARE(m_window->mStrDataValue, QStringLiteral("EF")); // the frames were decoded
        QCOMPARE(m_window->m_appName, appVersion.isEmpty() ? QString() : QStringLiteral("DMM"));
        QCOMPARE(m_window->m_appVersion, appVersion);
        QCOMPARE(m_window->ui->tickGauge->isHidden(), gaugeHidden);
    }

    // Each way the check fails is in tst_meterprotocol; here, that the window keeps what it showed.
    void failedFrameChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("bad");
        const QByteArray good =
            frame({{2, 0x60}, {3, 0x08}, {4, 0x08}, {9, 0x3c}, {8, 0x7f}, {7, 0xd1}, {6, 0x5f}, {5, 0x50}});
        QByteArray wrongSum = good;
        wrongSum[39] = wrongSum[39] == '0' ? '1' : '0';
        QByteArray upperSum = flagFrame(0x04, 0, 0, 0x02);
        QCOMPARE(upperSum.right(2), QByteArray("ad"));
        QTest::newRow("checksum off") << wrongSum;
        QTest::newRow("upper-case checksum") << upperSum.replace(38, 2, "AD");
        QTest::newRow("too short") << good.left(38);
        QTest::newRow("a5a5") << QByteArray("a5a5");
    }

    void failedFrameChangesNothing()
    {
        QFETCH(QByteArray, bad);

        m_window->ui->tickGauge->show();
        m_window->decodeFrame(WorkedExample);
        m_window->decodeFrame(frame({{3, 0x08}, {4, 0xff}, {9, 0x3c}, {8, 0xd0}, {18, 0x08}}));
        const QString before = snapshot();
        const QStringList fields = m_window->m_fieldList;
        const int rows = m_window->ui->tableWidget->rowCount();
        m_window->decodeFrame(bad);
        QCOMPARE(snapshot(), before);
        QCOMPARE(m_window->m_fieldList, fields);
        QCOMPARE(m_window->m_appVersion, QStringLiteral("V4.0"));
        QCOMPARE(m_window->ui->tableWidget->rowCount(), rows);
        QVERIFY(!m_window->ui->tickGauge->isHidden());
    }

    // Each unit from its bytes, then every display the encoder can build for it decoded back.
    void roundTrip_data()
    {
        QTest::addColumn<int>("byte2");
        QTest::addColumn<int>("byte3");
        QTest::addColumn<QString>("unit");
        QTest::addColumn<QString>("function"); // what the unit bytes alone name

        QTest::newRow("V") << 0x04 << 0x00 << "V" << "";
        QTest::newRow("mV") << 0x0c << 0x00 << "mV" << "";
        QTest::newRow("A") << 0x02 << 0x00 << "A" << "";
        QTest::newRow("mA") << 0x0a << 0x00 << "mA" << "";
        QTest::newRow("uA") << 0x02 << 0x80 << "uA" << "";
        QTest::newRow("ohm") << 0x20 << 0x00 << "Ω" << "Resistance";
        QTest::newRow("kilo-ohm") << 0x60 << 0x00 << "kΩ" << "Resistance";
        QTest::newRow("mega-ohm") << 0xa0 << 0x00 << "MΩ" << "Resistance";
        QTest::newRow("F") << 0x01 << 0x00 << "F" << "";
        QTest::newRow("mF") << 0x09 << 0x00 << "mF" << "Capacitance";
        QTest::newRow("nF") << 0x01 << 0x40 << "nF" << "Capacitance";
        QTest::newRow("uF") << 0x01 << 0x80 << "uF" << "Capacitance";
        QTest::newRow("Hz") << 0x10 << 0x00 << "Hz" << "Frequency";
        QTest::newRow("kHz") << 0x50 << 0x00 << "kHz" << "Frequency";
        QTest::newRow("MHz") << 0x90 << 0x00 << "MHz" << "Frequency";
        QTest::newRow("duty cycle") << 0x00 << 0x04 << "%" << "Duty cycle";
        QTest::newRow("celsius") << 0x00 << 0x20 << "℃" << "TEMP";
        QTest::newRow("fahrenheit") << 0x00 << 0x10 << "℉" << "TEMP";
        QTest::newRow("no unit") << 0x00 << 0x00 << "" << "";
    }

    void roundTrip()
    {
        QFETCH(int, byte2);
        QFETCH(int, byte3);
        QFETCH(QString, unit);
        QFETCH(QString, function);

        m_window->decodeFrame(flagFrame(byte2, byte3, 0, 0));
        QCOMPARE(snapshot(), QStringList({"", unit, function, unit, ""}).join('|'));
        quint8 mainUnit = 0, subUnit = 0;
        QVERIFY(encodeUnit(unit, &mainUnit, &subUnit));
        QCOMPARE(QList<int>({mainUnit, subUnit}), QList<int>({byte2, byte3}));

        // The display's flags with the words each one lights, in panel() order.
        using D = MeterDisplay;
        const QList<QPair<bool D::*, QString>> flags = {
            {&D::hold, "HOLD"}, {&D::rel, "REL"}, {&D::dio, "DIO"}, {&D::beep, "BEEP"},
            {&D::autoRange, "AUTO"}, {&D::apo, "APO"}, {&D::range, "Range"}, {&D::bat, "BAT"},
            {&D::hfe, "hFE"}, {&D::dc, "DC"}, {&D::minus, "-"}, {&D::ac, "AC T-RMS"},
            {&D::min, "MIN"}, {&D::max, "MAX"}, {&D::lightning, "lightning"}};
        // Flag sets as bit masks over `flags`: none, the pairs that compete (DIO and BEEP, DC and
        // AC, hFE with DC and minus), all of them, then each alone.
        QList<int> flagSets = {0, 0x000c, 0x0a00, 0x0700, 0x7fff};
        for (int i = 0; i < flags.size(); ++i)
            flagSets << (1 << i);
        const QStringList values = {"1.234", "01.34", "0.000", "6543", "8.8.8.8.", " 0.L ", "0.L", "  EF",
                                    "----", "LIVE", "", "1.", "-1", "I", "L.", ".", "9  1"};

        for (const QString &value : values) {
            for (int flagSet : flagSets) {
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
                m_window->decodeFrame(toFrameText(raw));

                // The function name: hFE is overridden by %, temperatures and the capacitance
                // prefixes of byte 3, then DIO, then BEEP; DC and AC are appended. The display
                // renames the non-contact and live-wire readings, so those are not compared.
                QString expectedFunction = function;
                if (display.hfe && !QStringList{"%", "℃", "℉", "nF", "uF"}.contains(unit))
                    expectedFunction = QStringLiteral("hFE");
                if (display.dio || display.beep)
                    expectedFunction = QLatin1String(display.beep ? "BEEP" : "DIO");
                expectedFunction += QLatin1String(display.dc ? "DC" : "");
                expectedFunction += QLatin1String(display.ac ? "AC" : "");
                if (value.contains(QLatin1String("EF")) || value.contains(QLatin1Char('-'))
                    || value.contains(QLatin1String("LIVE")))
                    expectedFunction = m_window->m_functionText;
                const QString expected = QStringList({QString(value).remove(' '), unit, expectedFunction,
                                                      unit, lit.join(' ')}).join('|');
                QCOMPARE(snapshot(), expected);
            }
        }
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

private:
    // The words the panel shows, in the labels' order, "lightning" for the picture. A label
    // with another text shows as name=text; a negative reading without "-" (or the reverse)
    // adds "negative?".
    QString panel() const
    {
        QStringList shown;
        for (const auto &[name, word] : AnnunciatorLabels) {
            const QString text = m_window->findChild<QLabel *>(QLatin1String(name))->text();
            if (!text.isEmpty())
                shown << (text == QLatin1String(word) ? text : QString::fromLatin1(name) + '=' + text);
        }
        if (m_window->m_isNegative != shown.contains(QLatin1String("-")))
            shown << QStringLiteral("negative?");
        if (!m_window->ui->lbLightning->isHidden())
            shown << QStringLiteral("lightning");
        return shown.join(QLatin1Char(' '));
    }
    // What a frame shows: value|unit|function|symbol|panel.
    QString snapshot() const
    {
        return QStringList({m_window->mStrDataValue, m_window->m_unitText, m_window->m_functionText,
                            m_window->ui->lbSymbol->text(), panel()}).join('|');
    }

    std::unique_ptr<MainWindow> m_window;
};

QTEST_MAIN(tst_FrameDecoder)
#include "tst_framedecoder.moc"
