// The serial port settings dialog and the sampling interval dialog: what they
// show, list and send, and the window opening them modally.

#include "mainwindow.h"

#include "link/serialsetdlg.h"
#include "link/timeintervaldlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(QSerialPort::BaudRate)
Q_DECLARE_METATYPE(QSerialPort::Parity)
Q_DECLARE_METATYPE(QSerialPort::DataBits)
Q_DECLARE_METATYPE(QSerialPort::StopBits)

namespace {

QStringList systemPorts()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
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

// Runs `act` on the modal dialog of type T once it is up, from the event
// loop that the dialog's exec() runs.
template <typename T>
void whenModal(QObject *context, std::function<void(T *)> act)
{
    auto *timer = new QTimer(context);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, context, [timer, act] {
        if (auto *dialog = qobject_cast<T *>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(dialog);
        }
    });
    timer->start();
}

} // namespace

class tst_LinkDialogs : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void serialSetDlgForm();
    void serialSetDlgLists_data();
    void serialSetDlgLists();
    void serialSetDlgOkSends_data();
    void serialSetDlgOkSends();
    void windowTakesThePortFromTheDialog();

    void timeIntervalDlgForm();
    void timeIntervalOk_data();
    void timeIntervalOk();
    void windowTakesTheIntervalFromTheDialog_data();
    void windowTakesTheIntervalFromTheDialog();

private:
    std::unique_ptr<QWidget> m_parent;
};

void tst_LinkDialogs::initTestCase()
{
    qRegisterMetaType<QSerialPort::BaudRate>();
    qRegisterMetaType<QSerialPort::Parity>();
    qRegisterMetaType<QSerialPort::DataBits>();
    qRegisterMetaType<QSerialPort::StopBits>();
}

void tst_LinkDialogs::init()
{
    qunsetenv(SerialSetDlg::ExtraPortsVariable);
    timeInterval = 1000;
    m_parent = std::make_unique<QWidget>();
}

void tst_LinkDialogs::serialSetDlgForm()
{
    SerialSetDlg dialog(m_parent.get());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Serial port setting"));
    QCOMPARE(dialog.minimumSize(), QSize(260, 120));
    QCOMPARE(dialog.maximumSize(), QSize(260, 120)); // cannot be resized
    QCOMPARE(child<QLabel>(&dialog, "label_serialNo")->text(), QStringLiteral("String slogans"));
    QVERIFY(child<QComboBox>(&dialog, "cb_serialNo")->isEditable()); // a device path can be typed in
    QCOMPARE(child<QPushButton>(&dialog, "btnOk")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(&dialog, "btnCancel")->text(), QStringLiteral("Cancel"));
}

void tst_LinkDialogs::serialSetDlgLists_data()
{
    QTest::addColumn<QString>("extraPorts"); // "<unset>" leaves the variable out
    QTest::addColumn<QStringList>("extraListed");

    const QString sep = QDir::listSeparator();
    QTest::newRow("no variable: the system's ports") << "<unset>" << QStringList();
    QTest::newRow("two ports, empty entries skipped") << sep + "/dev/pts/7" + sep + sep + "/dev/ttyV0" + sep << QStringList{"/dev/pts/7", "/dev/ttyV0"};
    QTest::newRow("a port named twice is listed once") << "/dev/pts/7" + sep + "/dev/pts/7" << QStringList{"/dev/pts/7"};
    QTest::newRow("spaces around an entry dropped") << " /dev/pts/7 " << QStringList{"/dev/pts/7"};
    const QStringList system = systemPorts();
    if (!system.isEmpty())
        QTest::newRow("a system port is not listed again") << system.constFirst() + sep + "/dev/pts/7" << QStringList{"/dev/pts/7"};
}

void tst_LinkDialogs::serialSetDlgLists()
{
    QFETCH(QString, extraPorts);
    QFETCH(QStringList, extraListed);
    if (extraPorts != QLatin1String("<unset>"))
        qputenv(SerialSetDlg::ExtraPortsVariable, extraPorts.toLocal8Bit());

    SerialSetDlg dialog(m_parent.get());
    auto *combo = child<QComboBox>(&dialog, "cb_serialNo");
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    QCOMPARE(items, systemPorts() + extraListed);
    QCOMPARE(combo->currentText(), items.value(0));
}

void tst_LinkDialogs::serialSetDlgOkSends_data()
{
    QTest::addColumn<int>("index"); // entry chosen, -1 for typing
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");
    const QStringList listed = systemPorts() + QStringList{"/dev/pts/7", "/dev/pts/8"};
    QTest::newRow("first entry as it opened") << 0 << QString() << listed.at(0);
    QTest::newRow("last entry chosen") << listed.size() - 1 << QString() << listed.constLast();
    QTest::newRow("typed path with spaces around") << -1 << "  /dev/ttyACM9 " << "/dev/ttyACM9";
}

void tst_LinkDialogs::serialSetDlgOkSends()
{
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    qputenv(SerialSetDlg::ExtraPortsVariable, QByteArray("/dev/pts/7") + QDir::listSeparator().toLatin1() + "/dev/pts/8");

    SerialSetDlg dialog(m_parent.get());
    QSignalSpy spy(&dialog, &SerialSetDlg::sendSerialInfo);
    QVERIFY(spy.isValid());
    dialog.show();
    auto *combo = child<QComboBox>(&dialog, "cb_serialNo");
    if (index >= 0) {
        combo->setCurrentIndex(index);
    } else {
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), typed);
    }
    click(&dialog, "btnOk");

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.isHidden());
    QCOMPARE(spy.size(), 1);
    QCOMPARE(spy.constFirst().constFirst().toString(), sent); // the line settings: see the window's test
}

void tst_LinkDialogs::windowTakesThePortFromTheDialog()
{
    MainWindow window;
    whenModal<SerialSetDlg>(this, [](SerialSetDlg *dialog) {
        child<QComboBox>(dialog, "cb_serialNo")->setEditText(QStringLiteral("/dev/ttyRavelo0"));
        click(dialog, "btnOk");
    });
    window.showSerialSetDlg();
    QCOMPARE(window.m_portName, QStringLiteral("/dev/ttyRavelo0"));
    QCOMPARE(window.m_baudRate, QSerialPort::Baud9600);
    QCOMPARE(window.m_parity, QSerialPort::NoParity);
    QCOMPARE(window.m_dataBits, QSerialPort::Data8);
    QCOMPARE(window.m_stopBits, QSerialPort::OneStop);

    // A fresh dialog every time; Cancel sends nothing, the stored settings stay.
    QString shownAtOpen;
    whenModal<SerialSetDlg>(this, [&shownAtOpen](SerialSetDlg *dialog) {
        auto *combo = child<QComboBox>(dialog, "cb_serialNo");
        shownAtOpen = combo->currentText();
        combo->setEditText(QStringLiteral("/dev/ttyOther"));
        click(dialog, "btnCancel");
    });
    window.showSerialSetDlg();
    QVERIFY(shownAtOpen != QLatin1String("/dev/ttyRavelo0"));
    QCOMPARE(window.m_portName, QStringLiteral("/dev/ttyRavelo0"));
}

void tst_LinkDialogs::timeIntervalDlgForm()
{
    timeInterval = 1500; // shown in whole seconds
    TimeIntervalDlg dialog(m_parent.get());
    QCOMPARE(dialog.windowTitle(), QStringLiteral("The time interval between data collection"));
    QCOMPARE(child<QGroupBox>(&dialog, "groupBox")->title(), QStringLiteral("Set it manually"));
    QCOMPARE(child<QLabel>(&dialog, "label_3")->text(),
             QStringLiteral("Illustrate:The range of time intervals between sampled data（1~60 s）"));
    QCOMPARE(child<QLabel>(&dialog, "label")->text(), QStringLiteral("The time interval between data collection："));
    QCOMPARE(child<QLabel>(&dialog, "label_2")->text(), QStringLiteral("S"));
    QCOMPARE(child<QPushButton>(&dialog, "btnOk")->text(), QStringLiteral("OK"));
    QCOMPARE(child<QPushButton>(&dialog, "btnExit")->text(), QStringLiteral("Cancel"));
    auto *edit = child<QLineEdit>(&dialog, "etTime");
    QCOMPARE(edit->text(), QStringLiteral("1"));
    QCOMPARE(edit->maxLength(), 2);
    auto *validator = qobject_cast<const QIntValidator *>(edit->validator());
    QVERIFY(validator);
    QCOMPARE(validator->bottom(), 1);
    QCOMPARE(validator->top(), 60);
}

void tst_LinkDialogs::timeIntervalOk_data()
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
    QTest::newRow("99") << "99" << "99" << -1;
}

void tst_LinkDialogs::timeIntervalOk()
{
    QFETCH(QString, keys);
    QFETCH(QString, text);
    QFETCH(int, sent);

    TimeIntervalDlg dialog(m_parent.get());
    QSignalSpy spy(&dialog, &TimeIntervalDlg::sendTimeData);
    QVERIFY(spy.isValid());
    dialog.show();
    auto *edit = child<QLineEdit>(&dialog, "etTime");
    edit->clear();
    QTest::keyClicks(edit, keys);
    QCOMPARE(edit->text(), text);
    click(&dialog, "btnOk");
    if (sent < 0) {
        QCOMPARE(spy.size(), 0);
        QVERIFY(dialog.isVisible());
    } else {
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.constFirst().constFirst().toInt(), sent);
        QVERIFY(dialog.isHidden());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
}

void tst_LinkDialogs::windowTakesTheIntervalFromTheDialog_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("interval"); // timeInterval afterwards, from 7000
    QTest::newRow("60 s") << "60" << "btnOk" << 60000;
    QTest::newRow("empty entry: stays open, Cancel keeps it") << "" << "btnOk" << 7000;
    QTest::newRow("Cancel sends nothing") << "30" << "btnExit" << 7000;
}

void tst_LinkDialogs::windowTakesTheIntervalFromTheDialog()
{
    QFETCH(QString, typed);
    QFETCH(QString, button);
    QFETCH(int, interval);

    MainWindow window;
    timeInterval = 7000;
    QString shownAtOpen;
    whenModal<TimeIntervalDlg>(this, [&shownAtOpen, typed, button](TimeIntervalDlg *dialog) {
        auto *edit = child<QLineEdit>(dialog, "etTime");
        shownAtOpen = edit->text();
        edit->clear();
        QTest::keyClicks(edit, typed);
        click(dialog, button.toLatin1().constData());
        if (dialog->isVisible())
            click(dialog, "btnExit");
    });
    window.showTimeIntervalDlg();
    QCOMPARE(shownAtOpen, QStringLiteral("7"));
    QCOMPARE(timeInterval, interval);
}

QTEST_MAIN(tst_LinkDialogs)
#include "tst_linkdialogs.moc"
