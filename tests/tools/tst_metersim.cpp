// The meter simulator's logic: what each scenario shows and how the meter
// answers the keys, without a terminal.

#include "meter/commandrecord.h"
#include "metersimulator.h"

#include <QTest>

namespace {

QString litFlags(const MeterDisplay &d)
{
    const QList<QPair<bool, QString>> flags = {
        {d.hfe, "hFE"}, {d.lightning, "lightning"}, {d.hold, "HOLD"}, {d.rel, "REL"}, {d.dio, "DIO"},
        {d.beep, "BEEP"}, {d.autoRange, "AUTO"}, {d.apo, "APO"}, {d.range, "Range"}, {d.bat, "BAT"},
        {d.ac, "AC"}, {d.dc, "DC"}, {d.minus, "minus"}, {d.min, "MIN"}, {d.max, "MAX"}};
    QStringList lit;
    for (const auto &flag : flags)
        if (flag.first)
            lit << flag.second;
    return lit.join(QLatin1Char(' '));
}

QSet<QString> digitsSeen(MeterSimulator &meter, int frames)
{
    QSet<QString> seen;
    for (int i = 0; i < frames; ++i)
        seen.insert(meter.nextDisplay().digits);
    return seen;
}

} // namespace

class tst_MeterSim : public QObject
{
    Q_OBJECT

private slots:
    // A sample of the scenarios, by name; every scenario's frames are checked valid in tst_linkcore.
    void scenarioShows_data()
    {
        QTest::addColumn<QString>("shown"); // unit|flags lit, in litFlags' order|version
        QTest::newRow("dcv") << "V|AUTO DC|2";
        QTest::newRow("negative") << "V|AUTO DC minus|2";
        QTest::newRow("acv") << "V|lightning AUTO AC|2";
        QTest::newRow("overload") << "MΩ|AUTO|2";
        QTest::newRow("hfe") << "|hFE|2";
        QTest::newRow("live") << "||2";
        QTest::newRow("range") << "V|Range DC|2";
        QTest::newRow("v1") << "V|AUTO DC|1";
    }

    void scenarioShows()
    {
        QFETCH(QString, shown);
        const QString scenario = QString::fromLatin1(QTest::currentDataTag());
        MeterSimulator meter;
        QVERIFY(meter.setScenario(scenario));
        for (int i = 0; i < 5; ++i) {
            const MeterDisplay display = meter.nextDisplay();
            QCOMPARE(display.unit + '|' + litFlags(display) + '|' + QString::number(display.version), shown);
            if (scenario == QLatin1String("overload") || scenario == QLatin1String("live"))
                QCOMPARE(display.digits, QLatin1String(scenario == QLatin1String("live") ? "LIVE" : " 0.L "));
            else
                QVERIFY2(QList<int>({4, 5}).contains(display.digits.size()), qPrintable(display.digits));
        }
    }

    void holdFreezesTheReading()
    {
        MeterSimulator meter;
        const MeterDisplay before = meter.nextDisplay();
        QCOMPARE(meter.pressKey(MeterKey::Hold), QStringLiteral("HOLD on"));
        QVERIFY(!before.hold && meter.nextDisplay().hold);
        QCOMPARE(digitsSeen(meter, 20), QSet<QString>{before.digits});
        // Other keys wait for HOLD to be released.
        QCOMPARE(meter.pressKey(MeterKey::Select), QStringLiteral("SELECT ignored while HOLD is on"));
        QCOMPARE(meter.functionName(), QStringLiteral("DCV"));
        QCOMPARE(meter.pressKey(MeterKey::Hold), QStringLiteral("HOLD off"));
        QVERIFY(digitsSeen(meter, 20).size() > 1); // the noise moves the reading again
    }

    void rangeLeavesAutoAndSteps()
    {
        MeterSimulator meter;
        QCOMPARE(meter.nextDisplay().digits.indexOf(QLatin1Char('.')), 1); // 3.3 V in the 6.000 V range
        meter.pressKey(MeterKey::Range); // manual, same range
        MeterDisplay display = meter.nextDisplay();
        QVERIFY(!display.autoRange && display.range);
        QCOMPARE(display.digits.indexOf(QLatin1Char('.')), 1);
        meter.pressKey(MeterKey::Range); // next range up: 60.00 V
        QCOMPARE(meter.nextDisplay().digits.indexOf(QLatin1Char('.')), 2);
        for (int i = 0; i < 3; ++i) // 600.0 V, 1000 V, then round to 600.0 mV: overload
            meter.pressKey(MeterKey::Range);
        display = meter.nextDisplay();
        QCOMPARE(display.unit + display.digits, QStringLiteral("mV 0.L "));
        QCOMPARE(meter.pressKey(MeterKey::ExitRange), QStringLiteral("EXIT RANGE: AUTO"));
        display = meter.nextDisplay();
        QVERIFY(display.autoRange && !display.range);
        QCOMPARE(display.unit, QStringLiteral("V"));
    }

    void relFunctionKeysAndMaxMin()
    {
        MeterSimulator meter;
        meter.nextDisplay(); // the reading REL takes as its reference
        QCOMPARE(meter.pressKey(MeterKey::Rel), QStringLiteral("REL on"));
        MeterDisplay display = meter.nextDisplay();
        QVERIFY(display.rel);
        QCOMPARE(display.unit, QStringLiteral("mV")); // 3.3 V against about 3.3 V
        QCOMPARE(meter.pressKey(MeterKey::Rel), QStringLiteral("REL off"));
        QVERIFY(!meter.nextDisplay().rel);

        QCOMPARE(meter.pressKey(MeterKey::Select), QStringLiteral("SELECT: DCV -> ACV"));
        display = meter.nextDisplay();
        QVERIFY(display.ac && !display.dc);
        for (const char *unit : {"Hz", "%", "V"}) { // Hz/DUTY steps round
            meter.pressKey(MeterKey::HzDuty);
            QCOMPARE(meter.nextDisplay().unit, QString::fromLatin1(unit));
        }
        const QString before = litFlags(meter.nextDisplay());
        QCOMPARE(meter.pressKey(MeterKey::Light), QStringLiteral("LIGHT: backlight on"));
        QVERIFY(meter.isBacklightOn());
        QCOMPARE(litFlags(meter.nextDisplay()), before);
        for (bool max : {true, false, true}) {
            meter.pressKey(MeterKey::MaxMin);
            display = meter.nextDisplay();
            QVERIFY(display.max == max && display.min == !max);
        }
        meter.pressKey(MeterKey::ExitMaxMin);
        display = meter.nextDisplay();
        QVERIFY(!display.min && !display.max);
    }

    void receiveChecksRecords_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QStringList>("log");
        QTest::addColumn<bool>("holding");
        using Chunks = QList<QByteArray>;
        const QByteArray hold = commandRecord(MeterKey::Hold);
        const QString holdOn = QStringLiteral("received 5a 00 05 5f: HOLD on");
        const QString holdOff = QStringLiteral("received 5a 00 05 5f: HOLD off");
        QTest::newRow("record split over three reads")
            << Chunks{hold.left(1), hold.mid(1, 2), hold.mid(3)} << QStringList{holdOn} << true;
        QTest::newRow("two in one read") << Chunks{hold + hold} << QStringList{holdOn, holdOff} << false;
        QTest::newRow("wrong checksum") << Chunks{QByteArray::fromHex("5a000560")}
                                        << QStringList{"bad record 5a 00 05 60 (wrong checksum), skipped",
                                                       "stray bytes: 00 05 60"} << false;
        QTest::newRow("unknown key") << Chunks{commandRecord(0x0a)}
                                     << QStringList{"received 5a 00 0a 64: unknown key 0x0a"} << false;
        QTest::newRow("stray bytes first") << Chunks{QByteArray::fromHex("0102") + hold}
                                           << QStringList{"stray bytes: 01 02", holdOn} << true;
    }

    void receiveChecksRecords()
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

    void ncvWalksThroughEfAndDashes()
    {
        MeterSimulator meter(3);
        QVERIFY(meter.setScenario(QStringLiteral("ncv")));
        QCOMPARE(digitsSeen(meter, 400), (QSet<QString>{"EF", "-", "--", "---", "----"}));
    }
};

QTEST_GUILESS_MAIN(tst_MeterSim)
#include "tst_metersim.moc"
