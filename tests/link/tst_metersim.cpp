// The meter simulator's logic: what each scenario shows and how the meter
// answers the keys, without a terminal.

#include "link/commandrecord.h"
#include "metersimulator.h"

#include <QTest>

namespace {

QString litFlags(const MeterDisplay &d)
{
    QStringList lit;
    const struct {
        bool on;
        const char *name;
    } flags[] = {{d.hfe, "hFE"}, {d.lightning, "lightning"}, {d.hold, "HOLD"}, {d.rel, "REL"},
                 {d.dio, "DIO"}, {d.beep, "BEEP"}, {d.autoRange, "AUTO"}, {d.apo, "APO"},
                 {d.range, "Range"}, {d.bat, "BAT"}, {d.ac, "AC"}, {d.dc, "DC"},
                 {d.minus, "minus"}, {d.min, "MIN"}, {d.max, "MAX"}};
    for (const auto &flag : flags) {
        if (flag.on)
            lit << QString::fromLatin1(flag.name);
    }
    return lit.join(QLatin1Char(' '));
}

} // namespace

class tst_MeterSim : public QObject
{
    Q_OBJECT

private slots:
    void scenarioShows_data();
    void scenarioShows();
    void holdFreezesTheReading();
    void relShowsTheDifference();
    void rangeLeavesAutoAndSteps();
    void functionKeysAndMaxMin();
    void receiveChecksRecords_data();
    void receiveChecksRecords();
    void ncvWalksThroughEfAndDashes();
};

// A sample of the scenarios; every scenario's frames are checked valid in tst_linkcore.
void tst_MeterSim::scenarioShows_data()
{
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("flags"); // the flags lit, in litFlags' order
    QTest::addColumn<int>("version");
    QTest::newRow("dcv") << "dcv" << "V" << "AUTO DC" << 2;
    QTest::newRow("negative") << "negative" << "V" << "AUTO DC minus" << 2;
    QTest::newRow("acv") << "acv" << "V" << "lightning AUTO AC" << 2;
    QTest::newRow("kohm") << "kohm" << QString::fromUtf8("kΩ") << "AUTO" << 2;
    QTest::newRow("overload") << "overload" << QString::fromUtf8("MΩ") << "AUTO" << 2;
    QTest::newRow("tempc") << "tempc" << QString::fromUtf8("℃") << "" << 2;
    QTest::newRow("hfe") << "hfe" << "" << "hFE" << 2;
    QTest::newRow("beep") << "beep" << QString::fromUtf8("Ω") << "BEEP" << 2;
    QTest::newRow("live") << "live" << "" << "" << 2;
    QTest::newRow("range") << "range" << "V" << "Range DC" << 2;
    QTest::newRow("v1") << "v1" << "V" << "AUTO DC" << 1;
    QTest::newRow("v8") << "v8" << "V" << "AUTO DC" << 8;
}

void tst_MeterSim::scenarioShows()
{
    QFETCH(QString, scenario);
    QFETCH(QString, unit);
    QFETCH(QString, flags);
    QFETCH(int, version);

    MeterSimulator meter;
    QVERIFY(meter.setScenario(scenario));
    for (int i = 0; i < 5; ++i) {
        const MeterDisplay display = meter.nextDisplay();
        QCOMPARE(display.unit, unit);
        QCOMPARE(litFlags(display), flags);
        QCOMPARE(int(display.version), version);
        if (scenario == QLatin1String("overload"))
            QCOMPARE(display.digits, QStringLiteral(" 0.L "));
        else if (scenario == QLatin1String("live"))
            QCOMPARE(display.digits, QStringLiteral("LIVE"));
        else
            QVERIFY2(display.digits.size() == 4 || display.digits.size() == 5, qPrintable(display.digits));
    }
}

void tst_MeterSim::holdFreezesTheReading()
{
    MeterSimulator meter;
    const MeterDisplay before = meter.nextDisplay();
    QVERIFY(!before.hold);
    QCOMPARE(meter.pressKey(MeterKey::Hold), QStringLiteral("HOLD on"));
    QStringList held;
    for (int i = 0; i < 20; ++i) {
        const MeterDisplay display = meter.nextDisplay();
        QVERIFY(display.hold);
        held << display.digits;
    }
    QCOMPARE(held.removeDuplicates(), 19);
    QCOMPARE(held.constFirst(), before.digits);
    // Other keys wait for HOLD to be released.
    QCOMPARE(meter.pressKey(MeterKey::Select), QStringLiteral("SELECT ignored while HOLD is on"));
    QCOMPARE(meter.functionName(), QStringLiteral("DCV"));

    QCOMPARE(meter.pressKey(MeterKey::Hold), QStringLiteral("HOLD off"));
    QStringList live;
    for (int i = 0; i < 20; ++i)
        live << meter.nextDisplay().digits;
    QVERIFY(live.removeDuplicates() < 19); // the noise moves the reading again
}

void tst_MeterSim::relShowsTheDifference()
{
    MeterSimulator meter;
    QCOMPARE(meter.nextDisplay().unit, QStringLiteral("V"));
    QCOMPARE(meter.pressKey(MeterKey::Rel), QStringLiteral("REL on"));
    const MeterDisplay display = meter.nextDisplay();
    QVERIFY(display.rel);
    QCOMPARE(display.unit, QStringLiteral("mV")); // 3.3 V against about 3.3 V
    QCOMPARE(meter.pressKey(MeterKey::Rel), QStringLiteral("REL off"));
    QVERIFY(!meter.nextDisplay().rel);
}

void tst_MeterSim::rangeLeavesAutoAndSteps()
{
    MeterSimulator meter;
    MeterDisplay display = meter.nextDisplay();
    QVERIFY(display.autoRange);
    QCOMPARE(display.digits.indexOf(QLatin1Char('.')), 1); // 3.3 V in the 6.000 V range

    meter.pressKey(MeterKey::Range); // manual, same range
    display = meter.nextDisplay();
    QVERIFY(!display.autoRange && display.range);
    QCOMPARE(display.digits.indexOf(QLatin1Char('.')), 1);

    meter.pressKey(MeterKey::Range); // next range up: 60.00 V
    QCOMPARE(meter.nextDisplay().digits.indexOf(QLatin1Char('.')), 2);

    for (int i = 0; i < 3; ++i) // 600.0 V, 1000 V, then round to 600.0 mV: overload
        meter.pressKey(MeterKey::Range);
    display = meter.nextDisplay();
    QCOMPARE(display.unit, QStringLiteral("mV"));
    QCOMPARE(display.digits, QStringLiteral(" 0.L "));

    QCOMPARE(meter.pressKey(MeterKey::ExitRange), QStringLiteral("EXIT RANGE: AUTO"));
    display = meter.nextDisplay();
    QVERIFY(display.autoRange && !display.range);
    QCOMPARE(display.unit, QStringLiteral("V"));
}

void tst_MeterSim::functionKeysAndMaxMin()
{
    MeterSimulator meter;
    QVERIFY(meter.nextDisplay().dc);
    QCOMPARE(meter.pressKey(MeterKey::Select), QStringLiteral("SELECT: DCV -> ACV"));
    MeterDisplay display = meter.nextDisplay();
    QVERIFY(display.ac && !display.dc);
    for (const char *unit : {"Hz", "%", "V"}) { // Hz/DUTY steps round
        meter.pressKey(MeterKey::HzDuty);
        QCOMPARE(meter.nextDisplay().unit, QString::fromLatin1(unit));
    }

    const QString before = litFlags(meter.nextDisplay());
    QCOMPARE(meter.pressKey(MeterKey::Light), QStringLiteral("LIGHT: backlight on"));
    QVERIFY(meter.isBacklightOn());
    QCOMPARE(litFlags(meter.nextDisplay()), before);

    meter.pressKey(MeterKey::MaxMin);
    display = meter.nextDisplay();
    QVERIFY(display.max && !display.min);
    meter.pressKey(MeterKey::MaxMin);
    display = meter.nextDisplay();
    QVERIFY(display.min && !display.max);
    meter.pressKey(MeterKey::MaxMin);
    QVERIFY(meter.nextDisplay().max);
    meter.pressKey(MeterKey::ExitMaxMin);
    display = meter.nextDisplay();
    QVERIFY(!display.min && !display.max);
}

void tst_MeterSim::receiveChecksRecords_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("holding");

    const QByteArray hold = commandRecord(MeterKey::Hold);
    const QString holdOn = QStringLiteral("received 5a 00 05 5f: HOLD on");
    QTest::newRow("record split over three reads") << QList<QByteArray>{hold.left(1), hold.mid(1, 2), hold.mid(3)} << QStringList{holdOn} << true;
    QTest::newRow("two records in one read") << QList<QByteArray>{hold + hold} << QStringList{holdOn, "received 5a 00 05 5f: HOLD off"} << false;
    QTest::newRow("wrong checksum") << QList<QByteArray>{QByteArray::fromHex("5a000560")}
                                    << QStringList{"bad record 5a 00 05 60 (wrong checksum), skipped", "stray bytes: 00 05 60"} << false;
    QTest::newRow("a key the meter does not have") << QList<QByteArray>{commandRecord(0x0a)} << QStringList{"received 5a 00 0a 64: unknown key 0x0a"} << false;
    QTest::newRow("stray bytes before a record") << QList<QByteArray>{QByteArray::fromHex("0102") + hold} << QStringList{"stray bytes: 01 02", holdOn} << true;
}

void tst_MeterSim::receiveChecksRecords()
{
    QFETCH(QList<QByteArray>, chunks);
    QFETCH(QStringList, log);
    QFETCH(bool, holding);

    MeterSimulator meter;
    meter.nextDisplay();
    QStringList lines;
    for (const QByteArray &chunk : chunks)
        lines << meter.receive(chunk);
    QCOMPARE(lines, log);
    QCOMPARE(meter.isHolding(), holding);
}

void tst_MeterSim::ncvWalksThroughEfAndDashes()
{
    MeterSimulator meter(3);
    QVERIFY(meter.setScenario(QStringLiteral("ncv")));
    QSet<QString> seen;
    for (int i = 0; i < 400; ++i)
        seen.insert(meter.nextDisplay().digits);
    QCOMPARE(seen, (QSet<QString>{"EF", "-", "--", "---", "----"}));
}

QTEST_GUILESS_MAIN(tst_MeterSim)
#include "tst_metersim.moc"
