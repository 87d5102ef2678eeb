// The window's meter link over a real pseudo-terminal: the poll tick, drops,
// opening and closing, and the bytes the meter keys put on the line.

#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "meter/frameencoder.h"
#include "link/framecut.h"
#include "support/ownprogram.h"
#include "support/withoutoverride.h"
#include "link/ticksampler.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <memory>
#include <utility>

#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Long enough that the poll timer never fires on its own while a test ticks by hand.
const int ManualTicksIntervalMs = 600000;
const int FastIntervalMs = 50;

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

} // namespace

class tst_SerialLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qRegisterMetaType<QSerialPort::SerialPortError>(); }

    void init()
    {
        QVERIFY(openMeter());
        m_window = std::make_unique<MainWindow>();
        m_window->m_config.timeIntervalMs = ManualTicksIntervalMs;
    }

    void cleanup()
    {
        m_window.reset();
        if (m_meter >= 0)
            ::close(std::exchange(m_meter, -1));
    }

    void tickTakesOneCut_data()
    {
        QTest::addColumn<QByteArray>("sent");
        QTest::addColumn<QByteArray>("cut");
        QTest::addColumn<QString>("value"); // the reading decoded, empty for none

        // The cutting rules themselves are checked in tst_linkcore.
        const QByteArray first = frameShowing("1.234");
        const QByteArray junk(10, char(0x3c));
        QByteArray badSum = first;
        badSum[19] = char(badSum.at(19) + 1);
        QTest::newRow("two frames and part of a third: the first decoded")
            << first + frameShowing("5.678") + first.left(7) << first << "1.234";
        QTest::newRow("garbage without a start byte: alive, nothing decoded") << junk << junk << QString();
        QTest::newRow("start byte near the end: short cut") << junk + first.left(5) << first.left(5) << "";
        QTest::newRow("bad checksum: handed on, refused by the decoder") << badSum << badSum << QString();
    }

    void tickTakesOneCut()
    {
        QFETCH(QByteArray, sent);
        QFETCH(QByteArray, cut);
        QFETCH(QString, value);

        connectWindow(m_meterPath);
        QVERIFY(deliver(sent));
        QVERIFY(m_window->m_pollTimer->isActive()); // started by the first bytes
        QCOMPARE(m_window->m_pollTimer->interval(), ManualTicksIntervalMs);
        m_window->onPollTimeout();

        verifyScreen(true, false);
        QCOMPARE(m_window->m_count, 0);
        QVERIFY(m_window->m_rxBuffer.isEmpty()); // the rest is thrown away
        // The frame the decoder took is the one cut; a refused frame leaves nothing.
        QCOMPARE(m_window->m_fieldList.join(QString()).toLatin1(),
                 value.isEmpty() ? QByteArray() : toFrameText(cut));
        QCOMPARE(m_window->mStrDataValue, value);
        QCOMPARE(m_window->ui->tableWidget->rowCount(), value.isEmpty() ? 0 : 1);
    }

    // The window's poll tick and the recorder's sampler take the same readings
    // from the same bytes arriving between the same ticks.
    void windowAndRecorderSampleAlike_data()
    {
        QTest::addColumn<QByteArrayList>("ticks"); // the bytes before each tick
        QTest::addColumn<QStringList>("values");

        const QByteArray a = frameShowing("1.111");
        const QByteArray b = frameShowing("2.222");
        QByteArray badSum = b;
        badSum[19] = char(badSum.at(19) + 1);
        QTest::newRow("one frame a tick") << QByteArrayList{a, b} << QStringList{"1.111", "2.222"};
        QTest::newRow("two frames in a tick: the first, the other dropped")
            << QByteArrayList{a + b, b} << QStringList{"1.111", "2.222"};
        QTest::newRow("garbage first, a silent tick between")
            << QByteArrayList{QByteArray(7, char(0x3c)) + b, QByteArray(), a} << QStringList{"2.222", "1.111"};
        QTest::newRow("a frame split across two ticks is lost")
            << QByteArrayList{a.left(12), a.mid(12), b} << QStringList{"2.222"};
        QTest::newRow("a bad checksum is no reading") << QByteArrayList{badSum, a} << QStringList{"1.111"};
    }

    void windowAndRecorderSampleAlike()
    {
        QFETCH(QByteArrayList, ticks);
        QFETCH(QStringList, values);

        connectWindow(m_meterPath);
        QStringList window;
        connect(m_window.get(), &MainWindow::readingRecorded, this,
                [&window](const RecordedReading &recorded) { window << recorded.reading.tableValueText(); });
        TickSampler sampler(QDateTime::currentDateTime());
        QStringList recorder;
        qint64 ms = 0;
        for (const QByteArray &bytes : ticks) {
            QVERIFY(bytes.isEmpty() || deliver(bytes));
            m_window->onPollTimeout();
            sampler.received(bytes);
            if (const std::optional<RecordedReading> recorded = sampler.tick(ms += 1000))
                recorder << recorded->reading.tableValueText();
        }
        QCOMPARE(window, values);
        QCOMPARE(recorder, values);
    }

    // Empty, good, empty, good, empty: the third miss since the last drop ends the link.
    void thirdMissSinceLastDropDrops()
    {
        connectWindow(m_meterPath);
        QVERIFY(deliver(frameShowing("1.111")));
        m_window->onPollTimeout();
        for (int miss = 1; miss <= 2; ++miss) {
            m_window->onPollTimeout();
            QCOMPARE(m_window->m_count, miss);
            QVERIFY(deliver(frameShowing("2.222")));
            m_window->onPollTimeout();
            QCOMPARE(m_window->m_count, miss);
            verifyScreen(true, false); // the pty's path counts as present
        }
        m_window->onPollTimeout();
        verifyScreen(false, true);
    }

    void silentMeterDropsOnTheTimer()
    {
        m_window->m_config.timeIntervalMs = FastIntervalMs;
        connectWindow(m_meterPath);
        QVERIFY(deliver(frameShowing("3.333")));
        QTRY_COMPARE_WITH_TIMEOUT(m_window->m_statusLabel->text(), QStringLiteral("UnConnected"), 10000);
        verifyScreen(false, true);
        QCOMPARE(m_window->mStrDataValue, QStringLiteral("3.333"));
    }

    void portPresence_data()
    {
        QTest::addColumn<QString>("portName");
        QTest::addColumn<bool>("present");
        QTest::newRow("pseudo-terminal path the system does not list") << "<pty>" << true;
        QTest::newRow("device path that does not exist") << "/dev/ravelo-no-such-port" << false;
        QTest::newRow("no port chosen") << QString() << false;
        QTest::newRow("bare name the system does not list") << "ravelo-no-such-port" << false;
        const auto ports = QSerialPortInfo::availablePorts();
        const QString listed = ports.isEmpty() ? QString() : ports.constFirst().portName();
        if (!listed.isEmpty())
            QTest::newRow("listed name") << listed << true;
        if (listed.toUpper() != listed)
            QTest::newRow("listed name in other letter case") << listed.toUpper() << false;
    }

    void portPresence()
    {
        QFETCH(QString, portName);
        QFETCH(bool, present);
        m_window->m_portName = portName == QLatin1String("<pty>") ? m_meterPath : portName;
        QCOMPARE(m_window->isPortPresent(), present);
    }

    void openFailureShown_data()
    {
        QTest::addColumn<QString>("portName"); // <pty>: the meter's terminal
        QTest::addColumn<QString>("holder");   // what holds the terminal meanwhile
        QTest::addColumn<QString>("shown");    // <pty>, <pid>, <group> replaced

        const QString file = QCoreApplication::applicationFilePath();
        QTest::newRow("no port chosen") << QString() << ""
                                        << "No serial port chosen: choose one in Set up → Serial port settings";
        QTest::newRow("a device that is not there")
            << "/dev/ravelo-no-such-port" << "" << "Cannot open /dev/ravelo-no-such-port: No such file or directory";
        QTest::newRow("a bare name is a device in /dev")
            << "ravelo-no-such-port" << "" << "Cannot open /dev/ravelo-no-such-port: No such file or directory";
        QTest::newRow("a path below a file") << file + "/ttyUSB0" << ""
                                             << "Cannot open " + file + "/ttyUSB0: Not a directory";
        QTest::newRow("a device that is no terminal") << "/dev/null" << "" << "Cannot open /dev/null: not a serial port";
        QTest::newRow("held by the recorder")
            << "<pty>" << "recorder"
            << "Cannot open <pty>: locked by another program, ravelo-record (process <pid>); lock file ";
        QTest::newRow("a device of a group the user is not in")
            << "<pty>" << "group"
            << "Cannot open <pty>: Permission denied; hint: <pty> belongs to the group '<group>': join it with "
               "'sudo usermod -aG <group> $USER', then log out and back in";
    }

    // The reason is shown in the status bar; nothing else changes.
    void openFailureShown()
    {
        QFETCH(QString, portName);
        QFETCH(QString, holder);
        QFETCH(QString, shown);
        portName.replace("<pty>", m_meterPath);
        shown.replace("<pty>", m_meterPath);

        QProcess recorder;
        std::unique_ptr<WithoutOverride> asAnyone;
        if (holder == QLatin1String("recorder")) {
            startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD), {m_meterPath});
            QVERIFY(recorder.waitForStarted());
            QByteArray said;
            QTRY_VERIFY((said += recorder.readAllStandardError()).contains("recording")); // the port is open
            shown.replace("<pid>", QString::number(recorder.processId()));
        } else if (holder == QLatin1String("group")) {
            // Owned by nobody (65534) and group 20 (dialout on Debian), as an adapter's device.
            const QByteArray local = QFile::encodeName(m_meterPath);
            if (::geteuid() != 0 || ::chown(local.constData(), 65534, 20) != 0)
                QSKIP("needs root to give the terminal away");
            QCOMPARE(::chmod(local.constData(), 0660), 0);
            const group *dialout = ::getgrgid(20);
            shown.replace("<group>", dialout ? QString::fromLocal8Bit(dialout->gr_name) : QStringLiteral("20"));
            asAnyone = std::make_unique<WithoutOverride>();
        }
        m_window->openPortNamed(portName);
        asAnyone.reset();
        if (recorder.state() != QProcess::NotRunning) {
            recorder.terminate();
            QVERIFY(recorder.waitForFinished(10000));
        }

        verifyScreen(false, true);
        if (holder == QLatin1String("recorder")) {
            const QString lockFile = shownMessage().mid(shown.size());
            QVERIFY2(shownMessage().startsWith(shown), qPrintable(shownMessage()));
            QVERIFY2(lockFile.endsWith("/LCK.." + m_meterPath.mid(5).replace('/', '_')), qPrintable(lockFile));
            QVERIFY(!QFile::exists(lockFile)); // the recorder's, gone with it
        } else {
            QCOMPARE(shownMessage(), shown);
        }
    }

    // The meter hangs up: the link drops at once, without a tick, and the error storm stops.
    void hangUpDropsAtOnceAndGoesIdle()
    {
        connectWindow(m_meterPath);
        QVERIFY(deliver(frameShowing("4.444")));
        QSignalSpy errors(m_window->m_serialPort, &QSerialPort::errorOccurred);
        QVERIFY(errors.isValid());

        ::close(std::exchange(m_meter, -1));
        QTRY_VERIFY(!m_window->m_serialPort->isOpen());
        verifyScreen(false, true);
        QCOMPARE(shownMessage(), "Link lost on " + m_meterPath + ": the device hung up");
        QCOMPARE(m_window->ui->tableWidget->rowCount(), 0); // no tick came
        const int seen = errors.size();
        QTest::qWait(200);
        QCOMPARE(errors.size(), seen);
        QVERIFY(seen > 0 && seen < 100);
        QCOMPARE(m_window->m_rxBuffer, frameShowing("4.444")); // until the next open
    }

    // Open without a port, a key, and close while closed: the closed screen, whatever it showed.
    void withoutPortNothingHappens()
    {
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->openSerialPort();
        verifyScreen(false, true);
        QTest::mouseClick(m_window->ui->btnSelect, Qt::LeftButton);
        verifyScreen(false, true);
        m_window->ui->lbLogo->hide();
        m_window->m_statusLabel->setText(QStringLiteral("Connected"));
        m_window->ui->act_setSerial->setEnabled(false);
        m_window->ui->act_setTimeInterval->setEnabled(false);
        m_window->m_count = 2;
        m_window->closeSerialPort();
        verifyScreen(false, true);
    }

    // Opening again keeps the link and what it received; after a close, the
    // next open starts with nothing received.
    void openTwiceThenReopenStartsEmpty()
    {
        connectWindow(m_meterPath);
        QVERIFY(deliver(frameShowing("5.555")));
        m_window->openSerialPort();
        verifyScreen(true, true);
        QCOMPARE(shownMessage(), m_meterPath + " is already open");
        QCOMPARE(m_window->m_rxBuffer, frameShowing("5.555"));
        m_window->closeSerialPort();
        verifyScreen(false, true);
        m_window->openSerialPort();
        QVERIFY(m_window->m_rxBuffer.isEmpty());
        QVERIFY(deliver(frameShowing("6.666")));
        m_window->onPollTimeout();
        verifyScreen(true, false);
        QCOMPARE(m_window->mStrDataValue, QStringLiteral("6.666"));
    }

    void reopenedLinkRecordsOnlyTheNewMeter_data()
    {
        QTest::addColumn<bool>("unplugged"); // else the user closes the port
        QTest::newRow("old meter unplugged, another plugged in and opened") << true;
        QTest::newRow("port closed by the user, another meter opened") << false;
    }

    // A resistance reading of the old meter is still waiting for its tick when
    // the link ends; a voltmeter on another port is opened next.
    void reopenedLinkRecordsOnlyTheNewMeter()
    {
        QFETCH(bool, unplugged);

        connectWindow(m_meterPath);
        MeterDisplay ohms;
        ohms.digits = QStringLiteral("4.700");
        ohms.unit = QStringLiteral("kΩ");
        QByteArray oldReading;
        QVERIFY(encodeFrame(ohms, &oldReading));
        QVERIFY(deliver(oldReading));
        if (unplugged) {
            ::close(std::exchange(m_meter, -1));
            QTRY_VERIFY(!m_window->m_serialPort->isOpen());
        } else {
            m_window->closeSerialPort();
        }
        verifyScreen(false, true);

        QVERIFY(openMeter());
        connectWindow(m_meterPath);
        QVERIFY(deliver(frameShowing("1.234")));
        m_window->onPollTimeout();
        verifyScreen(true, false);
        const QTableWidget *table = m_window->ui->tableWidget;
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 2)->text() + ' ' + table->item(0, 3)->text(), QStringLiteral("1.234 V"));
    }

    void buttonSendsItsRecord_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("gesture"); // click, hold (down, wait, up) or drag off the button
        QTest::addColumn<QByteArray>("record"); // empty: nothing on the line
        const auto record = [](int key) { return QByteArray("\x5a\x00", 2) + char(key) + char(0x5a + key); };
        const char *const keys[] = {"btnSelect", "btnMaxMin", "btnExitMaxMin", "btnHzDuty", "btnHold",
                                    "btnLight", "btnExitRange", "btnRange", "btnSerialOrRel"};
        for (int key = 1; key <= 9; ++key)
            QTest::newRow(keys[key - 1]) << keys[key - 1] << "click" << record(key);
        QTest::newRow("HOLD held sends on release") << "btnHold" << "hold" << record(5);
        QTest::newRow("RANGE held sends on release") << "btnRange" << "hold" << record(8);
        QTest::newRow("MAX/MIN held sends on release") << "btnMaxMin" << "hold" << record(2);
        QTest::newRow("RANGE dragged off still sends") << "btnRange" << "drag" << record(8);
        QTest::newRow("SELECT dragged off sends nothing") << "btnSelect" << "drag" << QByteArray();
    }

    void buttonSendsItsRecord()
    {
        QFETCH(QString, button);
        QFETCH(QString, gesture);
        QFETCH(QByteArray, record);

        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        connectWindow(m_meterPath);
        auto *pushButton = m_window->findChild<QPushButton *>(button);
        QVERIFY(pushButton);
        if (gesture == QLatin1String("click")) {
            QTest::mouseClick(pushButton, Qt::LeftButton);
        } else if (gesture == QLatin1String("hold")) {
            QTest::mousePress(pushButton, Qt::LeftButton);
            QTest::qWait(200);
            QVERIFY(received().isEmpty()); // nothing until the button comes up
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
        QByteArray line; // gathers what the window writes until the record is there (or 5 s)
        QTRY_COMPARE(line += received(), record);
        QTest::qWait(100);
        QCOMPARE(line + received(), record); // one record at most
    }

    // The simulator program end to end: readings arrive, a key reaches it, its hang-up drops the link.
    void liveWithTheSimulator()
    {
        QProcess simulator;
        startOwnProgram(&simulator, QStringLiteral(RAVELO_METER_SIM), {"--rate", "20", "--garbage", "5", "--split",
                                                           "--split-gap-ms", "5"});
        QVERIFY(simulator.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(simulator.canReadLine(), 10000);
        const QString path = QString::fromLocal8Bit(simulator.readLine()).trimmed();

        m_window->m_config.timeIntervalMs = FastIntervalMs;
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        connectWindow(path);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->ui->tableWidget->rowCount() >= 3, 10000);
        QCOMPARE(m_window->m_unitText, QStringLiteral("V"));
        verifyScreen(true, false);

        QTest::mouseClick(m_window->ui->btnHold, Qt::LeftButton);
        QByteArray log;
        QTRY_VERIFY_WITH_TIMEOUT((log += simulator.readAllStandardError()).contains("HOLD on"), 10000);
        simulator.terminate();
        QVERIFY(simulator.waitForFinished(5000));
        QVERIFY(simulator.exitStatus() == QProcess::NormalExit && simulator.exitCode() == 0);
        QTRY_VERIFY_WITH_TIMEOUT(!m_window->m_serialPort->isOpen(), 10000);
        verifyScreen(false, true);
    }

private:
    // A new pseudo-terminal for the meter, in place of any earlier one.
    bool openMeter()
    {
        if (m_meter >= 0)
            ::close(std::exchange(m_meter, -1));
        int slave = -1;
        char name[256] = {};
        if (openpty(&m_meter, &slave, name, nullptr, nullptr) != 0)
            return false;
        termios raw {};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        ::close(slave);
        fcntl(m_meter, F_SETFL, fcntl(m_meter, F_GETFL) | O_NONBLOCK);
        m_meterPath = QString::fromLocal8Bit(name);
        return true;
    }

    void connectWindow(const QString &path)
    {
        m_window->openPortNamed(path);
        verifyScreen(true, true); // the cover waits for bytes
        QVERIFY(!m_window->m_pollTimer->isActive());
    }

    void verifyScreen(bool linked, bool coverShown)
    {
        QCOMPARE(m_window->m_serialPort->isOpen(), linked);
        QCOMPARE(m_window->m_statusLabel->text(), QLatin1String(linked ? "Connected" : "UnConnected"));
        QCOMPARE(m_window->ui->lbLogo->isHidden(), !coverShown);
        QCOMPARE(m_window->ui->act_setSerial->isEnabled(), !linked);
        QCOMPARE(m_window->ui->act_setTimeInterval->isEnabled(), !linked);
        if (!linked) {
            QVERIFY(!m_window->m_pollTimer->isActive());
            QCOMPARE(m_window->m_count, 0);
        }
    }

    // Writes bytes on the meter's end and waits until the window has them all.
    bool deliver(const QByteArray &bytes)
    {
        const int expected = m_window->m_rxBuffer.size() + bytes.size();
        return ::write(m_meter, bytes.constData(), size_t(bytes.size())) == bytes.size()
            && QTest::qWaitFor([&] { return m_window->m_rxBuffer.size() >= expected; }, 5000)
            && m_window->m_rxBuffer.size() == expected;
    }

    QString shownMessage() const { return m_window->ui->statusbar->currentMessage(); }

    // What the window wrote to the line so far, without waiting.
    QByteArray received()
    {
        QByteArray bytes;
        char buffer[256];
        for (ssize_t n; (n = ::read(m_meter, buffer, sizeof buffer)) > 0;)
            bytes.append(buffer, int(n));
        return bytes;
    }

    std::unique_ptr<MainWindow> m_window;
    int m_meter = -1; // the meter's end of a pseudo-terminal; the window opens the other end
    QString m_meterPath;
};

QTEST_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
