// The window's decoder: Frame texts in, reading members and panel labels out.

#include "mainwindow.h"
#include "mainwindowform.h"
#include "gauge/tickgauge.h"
#include "decoder/frameencoder.h"
#include "link/framecut.h"

#include <QLabel>
#include <QTableWidget>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(QList<int>)

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
    quint8 sum = 0;
    for (int i = 0; i < 19; ++i)
        sum = quint8(sum + quint8(raw.at(i)));
    raw[19] = char(sum);
    return toFrameText(raw);
}

QByteArray flagFrame(int byte2, int byte3, int byte4, int byte9)
{
    return frame({{2, byte2}, {3, byte3}, {4, byte4}, {9, byte9}});
}

const char WorkedExample[] = "a50004001072793dd002000000000000000002b5";

// Every text annunciator of the panel with the word it shows when lit.
struct LabelWord {
    const char *name;
    const char *word;
};
const LabelWord AnnunciatorLabels[] = {
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

    void workedExample();
    void flags_data();
    void flags();
    void sameShowAsInAFreshWindow_data();
    void sameShowAsInAFreshWindow();
    void digits_data();
    void digits();
    void version_data();
    void version();
    void failedFrameChangesNothing_data();
    void failedFrameChangesNothing();
    void roundTrip_data();
    void roundTrip();
    void encoderRefusesWhatTheMeterCannotShow_data();
    void encoderRefusesWhatTheMeterCannotShow();

private:
    QLabel *label(const char *name) const
    {
        return m_window->findChild<QLabel *>(QLatin1String(name));
    }
    // Checks that exactly the labels in `lit` show their word, the rest blank;
    // "lbLightning" in `lit` for the picture, and lbMinus goes with a negative reading.
    void checkLabels(const QStringList &lit) const
    {
        QCOMPARE(!m_window->ui->lbLightning->isHidden(), lit.contains(QLatin1String("lbLightning")));
        QCOMPARE(m_window->m_isNegative, lit.contains(QLatin1String("lbMinus")));
        for (const LabelWord &entry : AnnunciatorLabels) {
            const QString expected = lit.contains(QLatin1String(entry.name)) ? QString::fromUtf8(entry.word) : QString();
            QVERIFY2(label(entry.name)->text() == expected,
                     qPrintable(QStringLiteral("%1 shows \"%2\", expected \"%3\"")
                                    .arg(QLatin1String(entry.name), label(entry.name)->text(), expected)));
        }
    }
    // What a frame shows: the fields first, then the reading and the panel.
    QStringList snapshot() const
    {
        QStringList s{m_window->m_fieldList.join(QLatin1Char(' ')), m_window->mStrDataValue,
                      m_window->m_unitText, m_window->m_functionText, m_window->ui->lbSymbol->text(),
                      QString::number(m_window->m_isNegative), QString::number(m_window->ui->lbLightning->isHidden())};
        for (const LabelWord &entry : AnnunciatorLabels)
            s << label(entry.name)->text();
        return s;
    }

    std::unique_ptr<MainWindow> m_window;
};

void tst_FrameDecoder::workedExample()
{
    m_window->decodeFrame(WorkedExample);
    QCOMPARE(m_window->mStrDataValue, QStringLiteral("1.234"));
    QCOMPARE(m_window->m_unitText, QStringLiteral("V"));
    QCOMPARE(m_window->ui->lbSymbol->text(), QStringLiteral("V"));
    QCOMPARE(m_window->m_functionText, QStringLiteral("DC"));
    QCOMPARE(m_window->m_appName, QStringLiteral("DMM"));
    QCOMPARE(m_window->m_appVersion, QStringLiteral("V2.0"));
    QCOMPARE(m_window->m_fieldList.size(), 20);
    QCOMPARE(m_window->m_fieldList.at(8), QStringLiteral("d0"));
    checkLabels({"lbAuto", "lbDc"});
    // The working strings are empty between frames.
    QVERIFY(m_window->m_unitWork.isEmpty() && m_window->m_digitWork.isEmpty() && m_window->m_functionWork.isEmpty());
}

// Each annunciator bit alone, then the tie-breaks between bits.
void tst_FrameDecoder::flags_data()
{
    QTest::addColumn<int>("byte2");
    QTest::addColumn<int>("byte3");
    QTest::addColumn<int>("byte4");
    QTest::addColumn<int>("byte9");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QStringList>("lit");

    QTest::newRow("hFE") << 0 << 0x02 << 0 << 0 << "" << "hFE" << QStringList{"lbHfe"};
    QTest::newRow("lightning") << 0 << 0x08 << 0 << 0 << "" << "" << QStringList{"lbLightning"};
    QTest::newRow("HOLD") << 0 << 0 << 0x01 << 0 << "" << "" << QStringList{"lbHold"};
    QTest::newRow("REL") << 0 << 0 << 0x02 << 0 << "" << "" << QStringList{"lbRel"};
    QTest::newRow("DIO") << 0 << 0 << 0x04 << 0 << "" << "DIO" << QStringList{"lbDio"};
    QTest::newRow("BEEP") << 0 << 0 << 0x08 << 0 << "" << "BEEP" << QStringList{"lbBeep"};
    QTest::newRow("AUTO") << 0 << 0 << 0x10 << 0 << "" << "" << QStringList{"lbAuto"};
    QTest::newRow("APO") << 0 << 0 << 0x20 << 0 << "" << "" << QStringList{"lbApo"};
    QTest::newRow("Range") << 0 << 0 << 0x40 << 0 << "" << "" << QStringList{"lbRange"};
    QTest::newRow("BAT") << 0 << 0 << 0x80 << 0 << "" << "" << QStringList{"lbBat"};
    QTest::newRow("DC") << 0 << 0 << 0 << 0x02 << "" << "DC" << QStringList{"lbDc"};
    QTest::newRow("minus") << 0 << 0 << 0 << 0x04 << "" << "" << QStringList{"lbMinus"};
    QTest::newRow("AC with T-RMS") << 0 << 0 << 0 << 0x08 << "" << "AC" << QStringList{"lbAc", "lbAc_2"};
    QTest::newRow("MIN") << 0 << 0 << 0 << 0x10 << "" << "" << QStringList{"lbMin"};
    QTest::newRow("MAX") << 0 << 0 << 0 << 0x20 << "" << "" << QStringList{"lbMax"};
    // Function names: the last one assigned up to byte 4 wins.
    QTest::newRow("kΩ with BEEP") << 0x60 << 0 << 0x08 << 0 << "kΩ" << "BEEP" << QStringList{"lbBeep"};
    QTest::newRow("DIO on resistance") << 0x20 << 0 << 0x04 << 0 << "Ω" << "DIO" << QStringList{"lbDio"};
    QTest::newRow("DIO and BEEP give BEEP") << 0 << 0 << 0x0c << 0 << "" << "BEEP" << QStringList{"lbDio", "lbBeep"};
    QTest::newRow("hFE then ℃ gives TEMP") << 0 << 0x22 << 0 << 0 << "℃" << "TEMP" << QStringList{"lbHfe"};
    QTest::newRow("hFE with uA") << 0x02 << 0x82 << 0 << 0 << "uA" << "hFE" << QStringList{"lbHfe"};
    QTest::newRow("frequency then duty cycle") << 0x10 << 0x04 << 0 << 0 << "Hz%" << "Duty cycle" << QStringList{};
    // Unit letters: bit order, only the whole-text rewrites reorder them.
    QTest::newRow("V then u") << 0x04 << 0x80 << 0 << 0 << "Vu" << "" << QStringList{};
    QTest::newRow("Hz then Ω") << 0x30 << 0 << 0 << 0 << "HzΩ" << "Resistance" << QStringList{};
    QTest::newRow("mF then n") << 0x09 << 0x40 << 0 << 0 << "mFn" << "Capacitance" << QStringList{};
    QTest::newRow("kΩ with M") << 0xe0 << 0 << 0 << 0 << "ΩkM" << "Resistance" << QStringList{};
    // DC and AC are appended to whatever name is left.
    QTest::newRow("DC and AC together") << 0 << 0 << 0 << 0x0a << "" << "DCAC" << QStringList{"lbDc", "lbAc", "lbAc_2"};
    QTest::newRow("resistance then DC") << 0x20 << 0 << 0 << 0x02 << "Ω" << "ResistanceDC" << QStringList{"lbDc"};
    QTest::newRow("BEEP then AC") << 0 << 0 << 0x08 << 0x08 << "" << "BEEPAC" << QStringList{"lbBeep", "lbAc", "lbAc_2"};
    QTest::newRow("every byte 9 bit") << 0 << 0 << 0 << 0xff << "" << "DCAC"
                                      << QStringList{"lbDc", "lbMinus", "lbAc", "lbAc_2", "lbMin", "lbMax"};
    // Bits that mean nothing.
    QTest::newRow("unused bits alone") << 0 << 0x01 << 0 << 0xc1 << "" << "" << QStringList{};
    QTest::newRow("unused bits on a reading") << 0x04 << 0x01 << 0x10 << 0xc3 << "V" << "DC" << QStringList{"lbAuto", "lbDc"};
}

void tst_FrameDecoder::flags()
{
    QFETCH(int, byte2);
    QFETCH(int, byte3);
    QFETCH(int, byte4);
    QFETCH(int, byte9);
    QFETCH(QString, unit);
    QFETCH(QString, function);
    QFETCH(QStringList, lit);

    m_window->decodeFrame(flagFrame(byte2, byte3, byte4, byte9));
    QCOMPARE(m_window->m_unitText, unit);
    QCOMPARE(m_window->ui->lbSymbol->text(), unit);
    QCOMPARE(m_window->m_functionText, function);
    checkLabels(lit);
}

// A frame shows the same whatever came before it, and whatever bytes the
// decoder does not read carry: compared with `reference` in a fresh window.
void tst_FrameDecoder::sameShowAsInAFreshWindow_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QByteArray>("reference");
    const QByteArray volts = flagFrame(0x04, 0, 0, 0x02);
    QTest::newRow("minus set then cleared") << flagFrame(0x04, 0, 0, 0x06) << volts << volts;
    QTest::newRow("lightning shown then hidden") << flagFrame(0x04, 0x08, 0, 0x08) << flagFrame(0x04, 0, 0, 0x08) << flagFrame(0x04, 0, 0, 0x08);
    QTest::newRow("everything then nothing") << flagFrame(0xff, 0xff, 0xff, 0xff) << flagFrame(0, 0, 0, 0) << flagFrame(0, 0, 0, 0);
    QTest::newRow("hFE then volts") << flagFrame(0, 0x02, 0, 0) << volts << volts;
    const QByteArray allZero("a5000000000000000000000000000000000000a5");
    QTest::newRow("worked example then the all-zero frame") << QByteArray(WorkedExample) << allZero << allZero;
    QTest::newRow("bytes the decoder does not read")
        << QByteArray() << frame({{1, 0xff}, {2, 0x04}, {4, 0x10}, {8, 0xd0}, {7, 0x3d}, {6, 0x79}, {5, 0x72}, {9, 0x02}, {10, 0x12},
                                  {11, 0xa5}, {12, 0x5f}, {13, 0x80}, {14, 0x01}, {15, 0xfe}, {16, 0x77}, {17, 0x33}})
        << QByteArray(WorkedExample);
}

void tst_FrameDecoder::sameShowAsInAFreshWindow()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QByteArray, reference);

    m_window->decodeFrame(reference);
    const QStringList expected = snapshot().mid(1); // all but the fields
    m_window = std::make_unique<MainWindow>();
    if (!first.isEmpty()) {
        m_window->decodeFrame(first);
        QVERIFY(snapshot().mid(1) != expected);
    }
    m_window->decodeFrame(second);
    QCOMPARE(m_window->m_fieldList.join(QString()).toLatin1(), second);
    QCOMPARE(snapshot().mid(1), expected);
}

// The round trip shows every display; these are the codes the encoder never sends.
void tst_FrameDecoder::digits_data()
{
    QTest::addColumn<QList<int>>("codes"); // bytes 8, 7, 6, 5
    QTest::addColumn<QString>("value");
    QTest::newRow("overload 0.L") << QList<int>{0x00, 0xdf, 0x0e, 0x00} << "0.L";
    QTest::newRow("LIVE") << QList<int>{0x0e, 0x06, 0x5e, 0x2f} << "LIVE";
    QTest::newRow("all blank") << QList<int>{0, 0, 0, 0} << "";
    QTest::newRow("unknown codes skipped") << QList<int>{0xa0, 0x50, 0x01, 0x7b} << "19";
    QTest::newRow("point alone") << QList<int>{0, 0, 0x80, 0} << ".";
    QTest::newRow("digits 7 and 4 in order") << QList<int>{0x51, 0x00, 0x72, 0x00} << "74";
}

void tst_FrameDecoder::digits()
{
    QFETCH(QList<int>, codes);
    QFETCH(QString, value);
    m_window->decodeFrame(frame({{8, codes[0]}, {7, codes[1]}, {6, codes[2]}, {5, codes[3]}}));
    QCOMPARE(m_window->mStrDataValue, value);
    QVERIFY(m_window->m_digitWork.isEmpty());
}

void tst_FrameDecoder::version_data()
{
    QTest::addColumn<QList<int>>("versionBytes"); // decoded in this order
    QTest::addColumn<QString>("appVersion");
    QTest::addColumn<bool>("gaugeHidden");
    QTest::newRow("1 hides the bar graph") << QList<int>{1} << "V1.0" << true;
    QTest::newRow("unknown before any known") << QList<int>{3} << "" << false;
    QTest::newRow("2 then 0 keeps V2.0") << QList<int>{2, 0} << "V2.0" << false;
    QTest::newRow("1 then 0xff keeps V1.0") << QList<int>{1, 0xff} << "V1.0" << true;
}

void tst_FrameDecoder::version()
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
void tst_FrameDecoder::failedFrameChangesNothing_data()
{
    QTest::addColumn<QByteArray>("bad");

    const QByteArray good = frame({{2, 0x60}, {3, 0x08}, {4, 0x08}, {9, 0x3c}, {8, 0x7f}, {7, 0xd1}, {6, 0x5f}, {5, 0x50}});
    QByteArray wrongSum = good;
    wrongSum[39] = wrongSum[39] == '0' ? '1' : '0';
    QByteArray upperSum = flagFrame(0x04, 0, 0, 0x02);
    QCOMPARE(upperSum.right(2), QByteArray("ad"));
    QTest::newRow("checksum off") << wrongSum;
    QTest::newRow("upper-case checksum") << upperSum.replace(38, 2, "AD");
    QTest::newRow("too short") << good.left(38);
    QTest::newRow("a5a5") << QByteArray("a5a5");
}

void tst_FrameDecoder::failedFrameChangesNothing()
{
    QFETCH(QByteArray, bad);

    m_window->ui->tickGauge->show();
    m_window->decodeFrame(WorkedExample);
    m_window->decodeFrame(frame({{3, 0x08}, {4, 0xff}, {9, 0x3c}, {8, 0xd0}, {18, 0x08}}));
    const QStringList before = snapshot();
    const int rows = m_window->ui->tableWidget->rowCount();
    m_window->decodeFrame(bad);
    QCOMPARE(snapshot(), before);
    QCOMPARE(m_window->m_appVersion, QStringLiteral("V4.0"));
    QCOMPARE(m_window->ui->tableWidget->rowCount(), rows);
    QVERIFY(!m_window->ui->tickGauge->isHidden());
}

// Each unit from its bytes, then every display the encoder can build for it
// decoded back.
void tst_FrameDecoder::roundTrip_data()
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

void tst_FrameDecoder::roundTrip()
{
    QFETCH(int, byte2);
    QFETCH(int, byte3);
    QFETCH(QString, unit);
    QFETCH(QString, function);

    m_window->decodeFrame(flagFrame(byte2, byte3, 0, 0));
    QCOMPARE(m_window->m_unitText, unit);
    QCOMPARE(m_window->ui->lbSymbol->text(), unit);
    QCOMPARE(m_window->m_functionText, function);
    checkLabels({});
    quint8 mainUnit = 0, subUnit = 0;
    QVERIFY(encodeUnit(unit, &mainUnit, &subUnit));
    QCOMPARE(int(mainUnit), byte2);
    QCOMPARE(int(subUnit), byte3);

    // The display's flags and the labels each one lights.
    struct Flag {
        bool MeterDisplay::*member;
        QStringList labels;
    };
    const QList<Flag> flags = {
        {&MeterDisplay::hfe, {"lbHfe"}}, {&MeterDisplay::hold, {"lbHold"}}, {&MeterDisplay::rel, {"lbRel"}},
        {&MeterDisplay::dio, {"lbDio"}}, {&MeterDisplay::beep, {"lbBeep"}}, {&MeterDisplay::autoRange, {"lbAuto"}},
        {&MeterDisplay::apo, {"lbApo"}}, {&MeterDisplay::range, {"lbRange"}}, {&MeterDisplay::bat, {"lbBat"}},
        {&MeterDisplay::dc, {"lbDc"}}, {&MeterDisplay::ac, {"lbAc", "lbAc_2"}}, {&MeterDisplay::minus, {"lbMinus"}},
        {&MeterDisplay::min, {"lbMin"}}, {&MeterDisplay::max, {"lbMax"}}, {&MeterDisplay::lightning, {"lbLightning"}},
    };
    // Flag sets: none, each alone, the pairs that compete (DIO and BEEP, DC
    // and AC, hFE with DC and minus), all of them.
    QList<QList<int>> flagSets = {{}, {3, 4}, {9, 10}, {0, 9, 11}};
    QList<int> all;
    for (int i = 0; i < flags.size(); ++i) {
        flagSets.append({i});
        all << i;
    }
    flagSets.append(all);
    const QStringList values = {"1.234", "01.34", "0.000", "6543", "8.8.8.8.", " 0.L ", "0.L", "  EF", "----",
                                "LIVE", "", "1.", "-1", "I", "L.", ".", "9  1"};
    const QList<QPair<int, QString>> versions = {{1, "V1.0"}, {2, "V2.0"}, {4, "V3.0"}, {8, "V4.0"}, {3, QString()}};

    int frames = 0;
    QString lastVersion;
    for (const QString &value : values) {
        for (const QList<int> &flagSet : flagSets) {
            MeterDisplay display;
            display.digits = value;
            display.unit = unit;
            const QPair<int, QString> version = versions.at(frames % versions.size());
            display.version = quint8(version.first);
            QStringList lit;
            for (int i : flagSet) {
                display.*(flags.at(i).member) = true;
                lit << flags.at(i).labels;
            }
            const QByteArray description = QStringLiteral("value \"%1\", flags %2, version %3")
                                               .arg(value, lit.join(QLatin1Char(' ')))
                                               .arg(display.version).toUtf8();
            QByteArray raw;
            QVERIFY2(encodeFrame(display, &raw), description.constData());
            m_window->decodeFrame(toFrameText(raw));
            ++frames;

            QVERIFY2(m_window->mStrDataValue == QString(value).remove(QLatin1Char(' ')), description.constData());
            QVERIFY2(m_window->m_unitText == unit && m_window->ui->lbSymbol->text() == unit, description.constData());
            checkLabels(lit);
            if (QTest::currentTestFailed()) {
                qWarning("%s", description.constData());
                return;
            }
            if (!version.second.isEmpty()) // an unknown version keeps the last
                lastVersion = version.second;
            QVERIFY2(m_window->m_appVersion == lastVersion, description.constData());

            // The function name: hFE is overridden by %, temperatures and
            // the capacitance prefixes of byte 3, then DIO, then BEEP; DC
            // and AC are appended. The display renames the non-contact and
            // live-wire readings, so those are left out here.
            if (value.contains(QLatin1String("EF")) || value.contains(QLatin1Char('-')) || value.contains(QLatin1String("LIVE")))
                continue;
            QString expected = function;
            if (display.hfe && !QStringList{"%", "℃", "℉", "nF", "uF"}.contains(unit))
                expected = QStringLiteral("hFE");
            if (display.dio)
                expected = QStringLiteral("DIO");
            if (display.beep)
                expected = QStringLiteral("BEEP");
            if (display.dc)
                expected += QLatin1String("DC");
            if (display.ac)
                expected += QLatin1String("AC");
            QVERIFY2(m_window->m_functionText == expected, (description + " function " + m_window->m_functionText.toUtf8()).constData());
        }
    }
}

void tst_FrameDecoder::encoderRefusesWhatTheMeterCannotShow_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QString>("unit");
    QTest::newRow("five digits") << "12345" << "V";
    QTest::newRow("letter the meter cannot draw") << "1.2A" << "V";
    QTest::newRow("unknown unit") << "1.234" << "kV";
    QTest::newRow("prefix in sent order") << "1.234" << "Ωk";
}

void tst_FrameDecoder::encoderRefusesWhatTheMeterCannotShow()
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

QTEST_MAIN(tst_FrameDecoder)
#include "tst_framedecoder.moc"
