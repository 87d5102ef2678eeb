// The window's meter link over a real pseudo-terminal: what the poll tick cuts
// and hands on, when the link drops, opening and closing, and the bytes the
// meter keys put on the line.

#include "mainwindow.h"
#include "mainwindowform.h"

#include "decoder/frameencoder.h"
#include "link/framecut.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Long enough that the poll timer never fires on its own during a test that
// ticks by hand.
const int ManualTicksIntervalMs = 600000;
const int FastIntervalMs = 50;

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void collectMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_messages << message;
    if (type != QtDebugMsg && g_previousHandler)
        g_previousHandler(type, context, message);
}

QByteArray frameShowing(const char *digits)
{
    MeterDisplay display;
    display.digits = QString::fromUtf8(digits);
    display.unit = QStringLiteral("V");
    display.dc = true;
    QByteArray frame;
    encodeFrame(display, &frame);
    return frame;
}

// The meter's end of a pseudo-terminal; the window opens the other end by its path.
class MeterEnd
{
public:
    MeterEnd()
    {
        int slave = -1;
        char name[256] = {};
        if (openpty(&m_master, &slave, name, nullptr, nullptr) != 0)
            return;
        termios raw {};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        ::close(slave);
        fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_path = QString::fromLocal8Bit(name);
    }
    ~MeterEnd() { hangUp(); }
    MeterEnd(const MeterEnd &) = delete;
    MeterEnd &operator=(const MeterEnd &) = delete;

    bool isOpen() const { return m_master >= 0; }
    QString path() const { return m_path; }
    bool send(const QByteArray &bytes)
    {
        return ::write(m_master, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // What the window wrote so far, without waiting.
    QByteArray received()
    {
        QByteArray bytes;
        char buffer[256];
        for (ssize_t n; (n = ::read(m_master, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, int(n));
        return bytes;
    }
    void hangUp()
    {
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

private:
    int m_master = -1;
    QString m_path;
};

} // namespace

class tst_SerialLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qRegisterMetaType<QSerialPort::SerialPortError>();
        g_previousHandler = qInstallMessageHandler(collectMessages);
    }
    void cleanupTestCase() { qInstallMessageHandler(g_previousHandler); }
    void init();
    void cleanup();

    void tickTakesOneCut_data();
    void tickTakesOneCut();
    void thirdMissSinceLastDropDrops();
    void silentMeterDropsOnTheTimer();
    void portPresence_data();
    void portPresence();
    void hangUpDropsAtOnceAndGoesIdle();
    void withoutPortNothingHappens();
    void openTwiceThenCloseKeepsBytes();
    void buttonSendsItsRecord_data();
    void buttonSendsItsRecord();
    void liveWithTheSimulator();

private:
    void connectWindow();
    bool deliver(const QByteArray &bytes);
    QByteArray readLine(int want);
    void verifyConnectedScreen();
    void verifyDroppedScreen();

    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<MeterEnd> m_meter;
};

void tst_SerialLink::init()
{
    m_meter = std::make_unique<MeterEnd>();
    QVERIFY(m_meter->isOpen());
    m_window = std::make_unique<MainWindow>();
    timeInterval = ManualTicksIntervalMs;
    g_messages.clear();
}

void tst_SerialLink::cleanup()
{
    m_window.reset();
    m_meter.reset();
}

void tst_SerialLink::connectWindow()
{
    m_window->getSerialInfo(m_meter->path(), QSerialPort::Baud9600, QSerialPort::NoParity,
                            QSerialPort::Data8, QSerialPort::OneStop);
    m_window->openSerialPort();
    QVERIFY(m_window->m_serialPort->isOpen());
    QCOMPARE(m_window->m_statusLabel->text(), QStringLiteral("Connected"));
    QVERIFY(!m_window->ui->act_setSerial->isEnabled());
    QVERIFY(!m_window->ui->act_setTimeInterval->isEnabled());
    QVERIFY(!m_window->ui->lbLogo->isHidden()); // the cover waits for bytes
    QVERIFY(!m_window->m_pollTimer->isActive());
}

// Writes bytes on the meter's end and waits until the window has them all.
bool tst_SerialLink::deliver(const QByteArray &bytes)
{
    const int expected = m_window->m_rxBuffer.size() + bytes.size();
    return m_meter->send(bytes)
        && QTest::qWaitFor([&] { return m_window->m_rxBuffer.size() >= expected; }, 5000)
        && m_window->m_rxBuffer.size() == expected;
}

// Reads what the window wrote to the line until `want` bytes are there (or 5 s).
QByteArray tst_SerialLink::readLine(int want)
{
    QByteArray bytes;
    const bool complete = QTest::qWaitFor([&] { return (bytes += m_meter->received()).size() >= want; }, 5000);
    Q_UNUSED(complete) // the caller compares what came
    return bytes;
}

void tst_SerialLink::verifyConnectedScreen()
{
    QCOMPARE(m_window->m_statusLabel->text(), QStringLiteral("Connected"));
    QVERIFY(m_window->ui->lbLogo->isHidden());
    QVERIFY(!m_window->ui->act_setSerial->isEnabled());
    QVERIFY(!m_window->ui->act_setTimeInterval->isEnabled());
}

void tst_SerialLink::verifyDroppedScreen()
{
    QVERIFY(!m_window->m_serialPort->isOpen());
    QVERIFY(!m_window->m_pollTimer->isActive());
    QCOMPARE(m_window->m_statusLabel->text(), QStringLiteral("UnConnected"));
    QVERIFY(!m_window->ui->lbLogo->isHidden());
    QVERIFY(m_window->ui->act_setSerial->isEnabled());
    QVERIFY(m_window->ui->act_setTimeInterval->isEnabled());
    QCOMPARE(m_window->m_count, 0);
}

void tst_SerialLink::tickTakesOneCut_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QByteArray>("cut");
    QTest::addColumn<QString>("value"); // the reading decoded, empty for none

    // The cutting rules themselves are checked in tst_linkcore.
    const QByteArray first = frameShowing("1.234");
    const QByteArray junk(10, char(0x3c));
    QByteArray badChecksum = first;
    badChecksum[19] = char(badChecksum.at(19) + 1);
    QTest::newRow("two frames and a partial third: the first decoded") << first + frameShowing("5.678") + first.left(7) << first << "1.234";
    QTest::newRow("garbage without a start byte: alive, nothing decoded") << junk << junk << QString();
    QTest::newRow("start byte fifth from the end: a short cut") << junk + first.left(5) << first.left(5) << QString();
    QTest::newRow("bad checksum: handed on, refused by the decoder") << badChecksum << badChecksum << QString();
}

void tst_SerialLink::tickTakesOneCut()
{
    QFETCH(QByteArray, sent);
    QFETCH(QByteArray, cut);
    QFETCH(QString, value);

    connectWindow();
    QVERIFY(deliver(sent));
    QVERIFY(m_window->m_pollTimer->isActive()); // started by the first bytes
    QCOMPARE(m_window->m_pollTimer->interval(), ManualTicksIntervalMs);

    g_messages.clear();
    m_window->onPollTimeout();

    verifyConnectedScreen();
    QCOMPARE(m_window->m_count, 0);
    QVERIFY(m_window->m_rxBuffer.isEmpty()); // the rest is thrown away
    const QStringList lines = g_messages.filter(QStringLiteral("获取数据为："));
    QCOMPARE(lines.size(), 1);
    QVERIFY2(lines.constFirst().contains(QString::fromLatin1(toFrameText(cut))), qPrintable(lines.constFirst()));
    QCOMPARE(m_window->mStrDataValue, value);
    QCOMPARE(m_window->ui->tableWidget->rowCount(), value.isEmpty() ? 0 : 1);
}

// Empty, good, empty, good, empty: three misses since the last drop end the
// link although no two came in a row.
void tst_SerialLink::thirdMissSinceLastDropDrops()
{
    connectWindow();
    QVERIFY(deliver(frameShowing("1.111")));
    m_window->onPollTimeout();

    const QByteArray good = frameShowing("2.222");
    for (int miss = 1; miss <= 2; ++miss) {
        m_window->onPollTimeout();
        QCOMPARE(m_window->m_count, miss);
        QVERIFY(m_window->m_serialPort->isOpen()); // the pty's path counts as present
        QVERIFY(deliver(good));
        m_window->onPollTimeout();
        QCOMPARE(m_window->m_count, miss);
        verifyConnectedScreen();
    }
    g_messages.clear();
    m_window->onPollTimeout();
    verifyDroppedScreen();
    QCOMPARE(g_messages.filter(QStringLiteral("m_count=")), QStringList{"m_count= 3"});
}

void tst_SerialLink::silentMeterDropsOnTheTimer()
{
    timeInterval = FastIntervalMs;
    connectWindow();
    QVERIFY(deliver(frameShowing("3.333")));
    QCOMPARE(m_window->m_pollTimer->interval(), FastIntervalMs);
    QTRY_COMPARE_WITH_TIMEOUT(m_window->m_statusLabel->text(), QStringLiteral("UnConnected"), 10000);
    verifyDroppedScreen();
    QCOMPARE(m_window->mStrDataValue, QStringLiteral("3.333"));
}

void tst_SerialLink::portPresence_data()
{
    QTest::addColumn<QString>("portName");
    QTest::addColumn<bool>("present");

    QTest::newRow("pseudo-terminal path the system does not list") << "<pty>" << true;
    QTest::newRow("device path that does not exist") << "/dev/ravelo-no-such-port" << false;
    QTest::newRow("no port chosen") << QString() << false;
    QTest::newRow("bare name the system does not list") << "ravelo-no-such-port" << false;
    const auto ports = QSerialPortInfo::availablePorts();
    if (!ports.isEmpty()) {
        const QString listed = ports.constFirst().portName();
        QTest::newRow("listed name") << listed << true;
        if (listed.toUpper() != listed)
            QTest::newRow("listed name in other letter case") << listed.toUpper() << false;
    }
}

void tst_SerialLink::portPresence()
{
    QFETCH(QString, portName);
    QFETCH(bool, present);
    if (portName == QLatin1String("<pty>"))
        portName = m_meter->path();
    m_window->m_portName = portName;
    QCOMPARE(m_window->isPortPresent(), present);
}

// The far end closes: the port reports a read error over and over; the link
// drops at once, without waiting for a tick, and the window goes quiet.
void tst_SerialLink::hangUpDropsAtOnceAndGoesIdle()
{
    connectWindow();
    QVERIFY(deliver(frameShowing("4.444")));
    QSignalSpy errors(m_window->m_serialPort, &QSerialPort::errorOccurred);
    QVERIFY(errors.isValid());

    m_meter->hangUp();
    QTRY_VERIFY(!m_window->m_serialPort->isOpen());
    verifyDroppedScreen();
    bool fatalSeen = false;
    for (const QList<QVariant> &emitted : qAsConst(errors)) {
        const auto error = emitted.constFirst().value<QSerialPort::SerialPortError>();
        fatalSeen |= error == QSerialPort::ReadError || error == QSerialPort::ResourceError;
    }
    QVERIFY(fatalSeen);
    QCOMPARE(g_messages.filter(QStringLiteral("串口已断开")).size(), 1);
    QVERIFY(g_messages.filter(QStringLiteral("m_count=")).isEmpty()); // no tick needed

    const int seen = errors.size();
    QTest::qWait(200);
    QCOMPARE(errors.size(), seen);
    QVERIFY(seen < 100);
    // Received bytes stay for the next open.
    QCOMPARE(m_window->m_rxBuffer, frameShowing("4.444"));
}

// Open with no port chosen, a meter key and close while closed: no link,
// the closed screen (close resets it whatever it showed).
void tst_SerialLink::withoutPortNothingHappens()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->openSerialPort();
    verifyDroppedScreen();
    QTest::mouseClick(m_window->ui->btnSelect, Qt::LeftButton);
    verifyDroppedScreen();
    m_window->ui->lbLogo->hide();
    m_window->m_statusLabel->setText(QStringLiteral("Connected"));
    m_window->ui->act_setSerial->setEnabled(false);
    m_window->ui->act_setTimeInterval->setEnabled(false);
    m_window->m_count = 2;
    m_window->closeSerialPort();
    verifyDroppedScreen();
}

// Opening again keeps the link, closing keeps the bytes received: reopened,
// they come first.
void tst_SerialLink::openTwiceThenCloseKeepsBytes()
{
    connectWindow();
    const QByteArray frame = frameShowing("5.555");
    QVERIFY(deliver(frame));
    m_window->openSerialPort();
    QVERIFY(m_window->m_serialPort->isOpen());
    QCOMPARE(m_window->m_statusLabel->text(), QStringLiteral("Connected"));
    m_window->closeSerialPort();
    verifyDroppedScreen();
    QCOMPARE(m_window->m_rxBuffer, frame);
    m_window->openSerialPort();
    QVERIFY(deliver(frameShowing("6.666")));
    m_window->onPollTimeout();
    verifyConnectedScreen();
    QCOMPARE(m_window->mStrDataValue, QStringLiteral("5.555"));
}

void tst_SerialLink::buttonSendsItsRecord_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("gesture"); // click, hold (down, wait, up) or drag off the button
    QTest::addColumn<QByteArray>("record"); // empty: nothing on the line
    QTest::newRow("SELECT") << "btnSelect" << "click" << QByteArray::fromHex("5a00015b");
    QTest::newRow("MAX/MIN") << "btnMaxMin" << "click" << QByteArray::fromHex("5a00025c");
    QTest::newRow("EXIT MAX/MIN") << "btnExitMaxMin" << "click" << QByteArray::fromHex("5a00035d");
    QTest::newRow("Hz/DUTY") << "btnHzDuty" << "click" << QByteArray::fromHex("5a00045e");
    QTest::newRow("HOLD") << "btnHold" << "click" << QByteArray::fromHex("5a00055f");
    QTest::newRow("LIGHT") << "btnLight" << "click" << QByteArray::fromHex("5a000660");
    QTest::newRow("EXIT RANGE") << "btnExitRange" << "click" << QByteArray::fromHex("5a000761");
    QTest::newRow("RANGE") << "btnRange" << "click" << QByteArray::fromHex("5a000862");
    QTest::newRow("REL") << "btnSerialOrRel" << "click" << QByteArray::fromHex("5a000963");
    QTest::newRow("HOLD held sends on release") << "btnHold" << "hold" << QByteArray::fromHex("5a00055f");
    QTest::newRow("RANGE held sends on release") << "btnRange" << "hold" << QByteArray::fromHex("5a000862");
    QTest::newRow("MAX/MIN held sends on release") << "btnMaxMin" << "hold" << QByteArray::fromHex("5a00025c");
    QTest::newRow("RANGE dragged off still sends") << "btnRange" << "drag" << QByteArray::fromHex("5a000862");
    QTest::newRow("SELECT dragged off sends nothing") << "btnSelect" << "drag" << QByteArray();
}

void tst_SerialLink::buttonSendsItsRecord()
{
    QFETCH(QString, button);
    QFETCH(QString, gesture);
    QFETCH(QByteArray, record);

    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    connectWindow();
    auto *pushButton = m_window->findChild<QPushButton *>(button);
    QVERIFY(pushButton);
    g_messages.clear();
    if (gesture == QLatin1String("click")) {
        QTest::mouseClick(pushButton, Qt::LeftButton);
    } else if (gesture == QLatin1String("hold")) {
        QTest::mousePress(pushButton, Qt::LeftButton);
        QTest::qWait(200);
        QVERIFY(m_meter->received().isEmpty()); // nothing until the button comes up
        QTest::mouseRelease(pushButton, Qt::LeftButton);
    } else {
        const QPoint outside(pushButton->width() + 40, pushButton->height() + 40);
        QTest::mousePress(pushButton, Qt::LeftButton);
        // The move carries the held button (QTest::mouseMove does not).
        QMouseEvent drag(QEvent::MouseMove, outside, pushButton->mapToGlobal(outside), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(pushButton, &drag);
        QTest::mouseRelease(pushButton, Qt::LeftButton, Qt::NoModifier, outside);
    }
    if (!record.isEmpty())
        QCOMPARE(readLine(record.size()), record);
    QTest::qWait(100);
    QVERIFY(m_meter->received().isEmpty()); // one record at most
    if (button == QLatin1String("btnLight"))
        QCOMPARE(g_messages.filter(QStringLiteral("hold长按按钮")).size(), 1);
}

// The whole road with the simulator program: readings arrive, a key reaches
// the meter, and the meter's hang-up drops the link.
void tst_SerialLink::liveWithTheSimulator()
{
    QProcess simulator;
    simulator.start(QStringLiteral(RAVELO_METER_SIM),
                    QStringLiteral("--rate 20 --garbage 5 --split --split-gap-ms 5").split(QLatin1Char(' ')));
    QVERIFY(simulator.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(simulator.canReadLine(), 10000);
    const QString path = QString::fromLocal8Bit(simulator.readLine()).trimmed();
    QVERIFY2(path.startsWith(QLatin1String("/dev/")), qPrintable(path));

    timeInterval = FastIntervalMs;
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    m_window->getSerialInfo(path, QSerialPort::Baud9600, QSerialPort::NoParity,
                            QSerialPort::Data8, QSerialPort::OneStop);
    m_window->openSerialPort();
    QVERIFY(m_window->m_serialPort->isOpen());
    QTRY_VERIFY_WITH_TIMEOUT(m_window->ui->tableWidget->rowCount() >= 3, 10000);
    QCOMPARE(m_window->m_unitText, QStringLiteral("V"));
    QVERIFY(!m_window->mStrDataValue.isEmpty());
    verifyConnectedScreen();

    QTest::mouseClick(m_window->ui->btnHold, Qt::LeftButton);
    QByteArray log;
    QTRY_VERIFY_WITH_TIMEOUT((log += simulator.readAllStandardError()).contains("HOLD on"), 10000);

    simulator.terminate();
    QVERIFY(simulator.waitForFinished(5000));
    QCOMPARE(simulator.exitStatus(), QProcess::NormalExit);
    QCOMPARE(simulator.exitCode(), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->m_serialPort->isOpen(), 10000);
    verifyDroppedScreen();
}

QTEST_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
