// The link's pure pieces: cutting a frame out of the received bytes, the
// command records, the encoder's digit positions, and the simulator's stream
// through the cutter; the words for a link that ended.

#include "meter/frameencoder.h"
#include "meter/meterprotocol.h"
#include "meter/meterreading.h"
#include "meter/commandrecord.h"
#include "link/framecut.h"
#include "link/portproblem.h"
#include "link/serialline.h"
#include "metersimulator.h"

#include <QTest>

namespace {

QByteArray bytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray filler(int count)
{
    return QByteArray(count, char(0x11));
}

} // namespace

class tst_LinkCore : public QObject
{
    Q_OBJECT

private slots:
    void cutFrame_data();
    void cutFrame();
    void commandRecord_data();
    void commandRecord();
    void encodeDigits_data();
    void encodeDigits();
    void simulatorStreamThroughCutter_data();
    void simulatorStreamThroughCutter();
    void lossReason_data();
    void lossReason();
    void portPresence_data();
    void portPresence();
};

void tst_LinkCore::cutFrame_data()
{
    QTest::addColumn<QByteArray>("buffer");
    QTest::addColumn<QByteArray>("cut");

    const QByteArray frame = bytes("a50004001072793dd002000000000000000002b5");
    const QByteArray other = bytes("a5000c001072793dd002000000000000000002bd");
    QTest::newRow("empty buffer") << QByteArray() << QByteArray();
    QTest::newRow("one whole frame") << frame << frame;
    QTest::newRow("two frames and a partial third: the first") << frame + other + other.left(7) << frame;
    QTest::newRow("garbage before the frame") << filler(9) + frame << frame;
    QTest::newRow("ten bytes without a start byte: all ten") << filler(10) << filler(10);
    QTest::newRow("25 bytes without a start byte: the first 19") << filler(25) << filler(19);
    QTest::newRow("20 bytes without a start byte: never a whole frame") << filler(20) << filler(19);
    QTest::newRow("start byte fifth from the end: 5 bytes") << filler(10) + bytes("a501020304") << bytes("a501020304");
    QTest::newRow("start byte as the last byte") << filler(3) + bytes("a5") << bytes("a5");
    QTest::newRow("19 bytes from the start byte: short") << filler(2) + frame.left(19) << frame.left(19);
    QTest::newRow("start byte inside the data: cut from the first") << bytes("a5a5") + frame << bytes("a5a5") + frame.left(18);
}

void tst_LinkCore::cutFrame()
{
    QFETCH(QByteArray, buffer);
    QFETCH(QByteArray, cut);
    QCOMPARE(::cutFrame(buffer), cut);
}

void tst_LinkCore::commandRecord_data()
{
    QTest::addColumn<QByteArray>("record");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("key");
    QTest::newRow("HOLD") << bytes("5a00055f") << true << int(MeterKey::Hold);
    QTest::newRow("checksum wraps past 0xff") << bytes("5a00b00a") << true << 0xb0;
    QTest::newRow("wrong checksum") << bytes("5a000560") << false << 0;
    QTest::newRow("wrong start byte") << bytes("a500055f") << false << 0;
    QTest::newRow("three bytes") << bytes("5a0005") << false << 0;
    QTest::newRow("five bytes") << bytes("5a00055f00") << false << 0;
    QTest::newRow("empty") << QByteArray() << false << 0;
}

// Built and read back: the window builds the records, the simulator reads them.
void tst_LinkCore::commandRecord()
{
    QFETCH(QByteArray, record);
    QFETCH(bool, valid);
    QFETCH(int, key);
    if (valid)
        QCOMPARE(::commandRecord(quint8(key)), record);
    quint8 parsed = 0;
    QCOMPARE(::parseCommandRecord(record, &parsed), valid);
    QCOMPARE(int(parsed), key);
}

// Where the encoder puts the digits; the decoder's round trip checks the rest.
void tst_LinkCore::encodeDigits_data()
{
    QTest::addColumn<QString>("digits");
    QTest::addColumn<QByteArray>("codes"); // positions 1 to 4
    QTest::newRow("1.234") << "1.234" << bytes("d03d7972");
    QTest::newRow("leading zero stays") << "01.34" << bytes("5fd07972");
    QTest::newRow("overload with its blanks") << " 0.L " << bytes("00df0e00");
    QTest::newRow("overload right-aligned") << "0.L" << bytes("0000df0e");
    QTest::newRow("EF right-aligned") << "EF" << bytes("00002f27");
    QTest::newRow("blank display") << "" << bytes("00000000");
}

void tst_LinkCore::encodeDigits()
{
    QFETCH(QString, digits);
    QFETCH(QByteArray, codes);
    quint8 out[4] = {0xee, 0xee, 0xee, 0xee};
    QVERIFY(::encodeDigits(digits, out));
    QCOMPARE(QByteArray(reinterpret_cast<const char *>(out), 4), codes);
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
        // It reads back as the window reads it, from the bytes or their Frame text.
        const std::optional<MeterReading> reading = MeterReading::fromFrame(frame);
        QVERIFY2(reading, toFrameText(frame).constData());
        QCOMPARE(MeterReading::fromFrameText(toFrameText(frame)), reading);
        QCOMPARE(::cutFrame(line), frame);
        leftover = garbage > 0 ? writes.constLast() : QByteArray();
        QVERIFY(!leftover.contains(char(MeterProtocol::FrameStart)));
    }
}

void tst_LinkCore::lossReason_data()
{
    QTest::addColumn<bool>("hungUp");
    QTest::addColumn<QString>("serialError");
    QTest::addColumn<QString>("reason");
    QTest::newRow("the system's reason") << false << "Input/output error" << "port gone: Input/output error";
    QTest::newRow("no reason given") << false << "" << "port gone";
    QTest::newRow("a reason that says nothing is left out") << false << "Unknown error" << "port gone";
    QTest::newRow("a hang-up, whatever the last error was") << true << "Resource busy" << "the device hung up";
}

void tst_LinkCore::lossReason()
{
    QFETCH(bool, hungUp);
    QFETCH(QString, serialError);
    QFETCH(QString, reason);
    QCOMPARE(PortProblem::lossReason(hungUp ? PortProblem::LinkEnd::HungUp : PortProblem::LinkEnd::PortGone,
                                     serialError),
             reason);
}


void tst_LinkCore::portPresence_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("systemPorts");
    QTest::addColumn<bool>("present");
    QTest::newRow("no port chosen") << QString() << QStringList{QString()} << false;
    QTest::newRow("device path that exists") << "/dev/null" << QStringList() << true;
    QTest::newRow("device path that does not exist") << "/dev/ravelo-no-such-port" << QStringList() << false;
    QTest::newRow("plain name of a device file") << "null" << QStringList() << true;
    QTest::newRow("plain name the system lists") << "COM7" << QStringList{"COM1", "COM7"} << true;
    QTest::newRow("listed in another letter case") << "com7" << QStringList{"COM7"} << false;
    QTest::newRow("neither") << "ravelo-no-such-port" << QStringList{"ttyS0"} << false;
}

void tst_LinkCore::portPresence()
{
    QFETCH(QString, name);
    QFETCH(QStringList, systemPorts);
    QFETCH(bool, present);
    QCOMPARE(SerialLine::isPresent(name, [&systemPorts] { return systemPorts; }), present);
}

QTEST_GUILESS_MAIN(tst_LinkCore)
#include "tst_linkcore.moc"
