// The serial port settings dialog and the sampling interval dialog: what they
// show, list and send, and the window opening them modally.

#include "mainwindow/mainwindow.h"

#include "dialogs/serialsetdlg.h"
#include "dialogs/timeintervaldlg.h"
#include "support/modaldialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

QStringList systemPorts()
{
    QStringList names;
    for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
        names << info.portName();
    return names;
}

template <typename T>
T *child(const QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QLatin1String(name));
}

void click(const QWidget *dialog, const char *button)
{
    QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton);
}

} // namespace

class tst_LinkDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init() { qunsetenv(SerialSetDlg::ExtraPortsVariable); }

    void serialSetDlgForm()
    {
        SerialSetDlg dialog(nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Serial port setting"));
        QVERIFY(dialog.minimumSize() == QSize(260, 120) && dialog.maximumSize() == QSize(260, 120));
        QCOMPARE(child<QLabel>(&dialog, "label_serialNo")->text(), QStringLiteral("String slogans"));
        QCOMPARE(child<QPushButton>(&dialog, "btnOk")->text(), QStringLiteral("OK"));
        QCOMPARE(child<QPushButton>(&dialog, "btnCancel")->text(), QStringLiteral("Cancel"));
    }

    void serialSetDlgLists_data()
    {
        QTest::addColumn<QString>("extraPorts"); // "<unset>" leaves the variable out
        QTest::addColumn<QStringList>("extraListed");
        const QString sep = QDir::listSeparator();
        const QStringList pts7{"/dev/pts/7"};
        QTest::newRow("no variable: the system's ports") << "<unset>" << QStringList();
        QTest::newRow("two ports, empty entries skipped")
            << sep + "/dev/pts/7" + sep + sep + "/dev/ttyV0" + sep << QStringList{"/dev/pts/7", "/dev/ttyV0"};
        QTest::newRow("a port named twice is listed once") << "/dev/pts/7" + sep + "/dev/pts/7" << pts7;
        QTest::newRow("spaces around an entry dropped") << " /dev/pts/7 " << pts7;
        const QStringList system = systemPorts();
        if (!system.isEmpty())
            QTest::newRow("system port not listed twice") << system.constFirst() + sep + "/dev/pts/7" << pts7;
    }

    void serialSetDlgLists()
    {
        QFETCH(QString, extraPorts);
        QFETCH(QStringList, extraListed);
        if (extraPorts != QLatin1String("<unset>"))
            qputenv(SerialSetDlg::ExtraPortsVariable, extraPorts.toLocal8Bit());

        SerialSetDlg dialog(nullptr);
        auto *combo = child<QComboBox>(&dialog, "cb_serialNo");
        QStringList items;
        for (int i = 0; i < combo->count(); ++i)
            items << combo->itemText(i);
        QCOMPARE(items, systemPorts() + extraListed);
        QCOMPARE(combo->currentText(), items.value(0));
    }

    void windowTakesThePortFromTheDialog_data()
    {
        QTest::addColumn<int>("index"); // entry chosen, -1 for typing
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("sent");
        const QStringList listed = systemPorts() + QStringList{"/dev/pts/7", "/dev/pts/8"};
        QTest::newRow("last entry chosen") << listed.size() - 1 << QString() << listed.constLast();
        QTest::newRow("typed path with spaces around") << -1 << "  /dev/ttyACM9 " << "/dev/ttyACM9";
    }

    void windowTakesThePortFromTheDialog()
    {
        QFETCH(int, index);
        QFETCH(QString, typed);
        QFETCH(QString, sent);
        const QString extra = QStringLiteral("/dev/pts/7") + QDir::listSeparator() + "/dev/pts/8";
        qputenv(SerialSetDlg::ExtraPortsVariable, extra.toLocal8Bit());

        MainWindow window;
        whenModal<SerialSetDlg>(this, [index, typed](SerialSetDlg *dialog) {
            auto *combo = child<QComboBox>(dialog, "cb_serialNo");
            if (index >= 0) {
                combo->setCurrentIndex(index);
            } else {
                combo->lineEdit()->selectAll();
                QTest::keyClicks(combo->lineEdit(), typed);
            }
            click(dialog, "btnOk");
        });
        window.showSerialSetDlg();
        QCOMPARE(window.m_portName, sent);
        QCOMPARE(window.m_serialPort->baudRate(), QSerialPort::Baud9600);
        QCOMPARE(window.m_serialPort->parity(), QSerialPort::NoParity);
        QCOMPARE(window.m_serialPort->dataBits(), QSerialPort::Data8);
        QCOMPARE(window.m_serialPort->stopBits(), QSerialPort::OneStop);

        // A fresh dialog every time, on the first entry; Cancel sends nothing.
        QString shownAtOpen;
        whenModal<SerialSetDlg>(this, [&shownAtOpen](SerialSetDlg *dialog) {
            shownAtOpen = child<QComboBox>(dialog, "cb_serialNo")->currentText();
            child<QComboBox>(dialog, "cb_serialNo")->setEditText(QStringLiteral("/dev/ttyOther"));
            click(dialog, "btnCancel");
        });
        window.showSerialSetDlg();
        QCOMPARE(shownAtOpen, (systemPorts() << "/dev/pts/7").constFirst());
        QCOMPARE(window.m_portName, sent);
    }

    void timeIntervalDlgForm()
    {
        TimeIntervalDlg dialog(nullptr, 1500); // shown in whole seconds
        QCOMPARE(dialog.windowTitle(), QStringLiteral("The time interval between data collection"));
        QCOMPARE(child<QGroupBox>(&dialog, "groupBox")->title(), QStringLiteral("Set it manually"));
        QCOMPARE(child<QLabel>(&dialog, "label_3")->text(),
                 QStringLiteral("Illustrate:The range of time intervals between sampled data（1~60 s）"));
        QCOMPARE(child<QLabel>(&dialog, "label")->text(),
                 QStringLiteral("The time interval between data collection："));
        QCOMPARE(child<QLabel>(&dialog, "label_2")->text(), QStringLiteral("S"));
        QCOMPARE(child<QPushButton>(&dialog, "btnOk")->text(), QStringLiteral("OK"));
        QCOMPARE(child<QPushButton>(&dialog, "btnExit")->text(), QStringLiteral("Cancel"));
        QCOMPARE(child<QLineEdit>(&dialog, "etTime")->text(), QStringLiteral("1"));
    }

    void timeIntervalOk_data()
    {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("text"); // what the field takes
        QTest::addColumn<int>("sent");     // -1: nothing sent, the dialog stays open
        QTest::newRow("1 s") << "1" << "1" << 1000;
        QTest::newRow("60 s") << "60" << "60" << 60000;
        QTest::newRow("a third digit is refused") << "123" << "12" << 12000;
        QTest::newRow("minus sign is refused") << "-5" << "5" << 5000;
        QTest::newRow("letters are refused") << "ab" << "" << -1;
        QTest::newRow("zero") << "0" << "0" << -1;
        QTest::newRow("00") << "00" << "00" << -1;
        // The validator lets 61 to 99 stand while editing: OK refuses them.
        QTest::newRow("61") << "61" << "61" << -1;
    }

    void timeIntervalOk()
    {
        QFETCH(QString, keys);
        QFETCH(QString, text);
        QFETCH(int, sent);

        TimeIntervalDlg dialog(nullptr, 4000);
        dialog.show();
        auto *edit = child<QLineEdit>(&dialog, "etTime");
        edit->clear();
        QTest::keyClicks(edit, keys);
        QCOMPARE(edit->text(), text);
        click(&dialog, "btnOk");
        QCOMPARE(dialog.intervalMs(), sent < 0 ? 4000 : sent);
        QCOMPARE(dialog.isVisible(), sent < 0);
        QCOMPARE(dialog.result(), sent < 0 ? int(QDialog::Rejected) : int(QDialog::Accepted));
    }

    // Cancel keeps the interval, OK sets it; the dialog opens on the current one.
    void windowTakesTheIntervalFromTheDialog()
    {
        MainWindow window;
        window.m_config.timeIntervalMs = 7000;
        for (const char *button : {"btnExit", "btnOk"}) {
            QString shownAtOpen;
            whenModal<TimeIntervalDlg>(this, [&shownAtOpen, button](TimeIntervalDlg *dialog) {
                auto *edit = child<QLineEdit>(dialog, "etTime");
                shownAtOpen = edit->text();
                edit->setText(QStringLiteral("60"));
                click(dialog, button);
            });
            window.showTimeIntervalDlg();
            QCOMPARE(shownAtOpen, QStringLiteral("7"));
        }
        QCOMPARE(window.m_config.timeIntervalMs, 60000);
    }
};

QTEST_MAIN(tst_LinkDialogs)
#include "tst_linkdialogs.moc"
