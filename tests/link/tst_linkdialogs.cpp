// The serial port settings dialog and the sampling interval dialog: their
// forms, what they list and send, and the window opening them modally.

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

QStringList g_messages;
QtMessageHandler g_previousHandler = nullptr;

void collectMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    g_messages << message;
    if (type != QtDebugMsg && g_previousHandler)
        g_previousHandler(type, context, message);
}

QStringList systemPorts()
{
    QStringList names;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        names << info.portName();
    return names;
}

QStringList comboItems(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
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
    void cleanupTestCase();
    void init();

    void serialSetDlgForm();
    void serialSetDlgLists_data();
    void serialSetDlgLists();
    void serialSetDlgOkSends_data();
    void serialSetDlgOkSends();
    void serialSetDlgCancelSendsNothing();
    void serialSetDlgEscapeRejectsQuietly();
    void windowTakesThePortFromTheDialog();

    void timeIntervalDlgForm();
    void timeIntervalShowsSeconds_data();
    void timeIntervalShowsSeconds();
    void timeIntervalTyping_data();
    void timeIntervalTyping();
    void timeIntervalOk_data();
    void timeIntervalOk();
    void timeIntervalCancelSendsNothing();
    void windowTakesTheIntervalFromTheDialog();
    void windowKeepsTheIntervalOnInvalidEntry();

private:
    std::unique_ptr<QWidget> m_parent;
};

void tst_LinkDialogs::initTestCase()
{
    qRegisterMetaType<QSerialPort::BaudRate>();
    qRegisterMetaType<QSerialPort::Parity>();
    qRegisterMetaType<QSerialPort::DataBits>();
    qRegisterMetaType<QSerialPort::StopBits>();
    g_previousHandler = qInstallMessageHandler(collectMessages);
}

void tst_LinkDialogs::cleanupTestCase()
{
    qInstallMessageHandler(g_previousHandler);
}

void tst_LinkDialogs::init()
{
    qunsetenv(SerialSetDlg::ExtraPortsVariable);
    timeInterval = 1000;
    g_messages.clear();
    m_parent = std::make_unique<QWidget>();
}

void tst_LinkDialogs::serialSetDlgForm()
{
    SerialSetDlg dialog(m_parent.get());
    QCOMPARE(dialog.objectName(), QStringLiteral("SerialSetDlg"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Serial port setting"));
    QCOMPARE(dialog.size(), QSize(260, 120));
    QCOMPARE(dialog.minimumSize(), QSize(260, 120));
    QCOMPARE(dialog.maximumSize(), QSize(260, 120)); // cannot be resized
    QCOMPARE(dialog.font().pointSize(), 12);

    auto *widget = dialog.findChild<QWidget *>(QStringLiteral("widget"));
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), QRect(22, 14, 217, 91));
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("label_serialNo"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("String slogans"));
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("cb_serialNo"));
    QVERIFY(combo);
    QCOMPARE(combo->minimumSize(), QSize(100, 26));
    QCOMPARE(combo->maximumSize(), QSize(100, 26));
    QVERIFY(combo->isEditable()); // a device path can be typed in
    auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("btnOk"));
    auto *cancel = dialog.findChild<QPushButton *>(QStringLiteral("btnCancel"));
    QVERIFY(ok && cancel);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
    // Widgets in the order the form creates them.
    const QList<QWidget *> children = widget->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QStringList names;
    for (QWidget *child : children)
        names << child->objectName();
    QCOMPARE(names, (QStringList{"label_serialNo", "cb_serialNo", "btnOk", "btnCancel"}));
}

void tst_LinkDialogs::serialSetDlgLists_data()
{
    QTest::addColumn<QString>("extraPorts"); // "<unset>" leaves the variable out
    QTest::addColumn<QStringList>("extraListed");

    const QString sep = QDir::listSeparator();
    QTest::newRow("no variable: the system's ports") << "<unset>" << QStringList();
    QTest::newRow("empty variable") << "" << QStringList();
    QTest::newRow("one pseudo-terminal") << "/dev/pts/7" << QStringList{"/dev/pts/7"};
    QTest::newRow("two ports, empty entries skipped")
        << sep + "/dev/pts/7" + sep + sep + "/dev/ttyV0" + sep
        << QStringList{"/dev/pts/7", "/dev/ttyV0"};
    QTest::newRow("a port named twice is listed once")
        << "/dev/pts/7" + sep + "/dev/pts/7" << QStringList{"/dev/pts/7"};
    QTest::newRow("spaces around an entry dropped") << " /dev/pts/7 " << QStringList{"/dev/pts/7"};
    const QStringList system = systemPorts();
    if (!system.isEmpty())
        QTest::newRow("a system port is not listed again")
            << system.constFirst() + sep + "/dev/pts/7" << QStringList{"/dev/pts/7"};
}

void tst_LinkDialogs::serialSetDlgLists()
{
    QFETCH(QString, extraPorts);
    QFETCH(QStringList, extraListed);
    if (extraPorts != QLatin1String("<unset>"))
        qputenv(SerialSetDlg::ExtraPortsVariable, extraPorts.toLocal8Bit());

    SerialSetDlg dialog(m_parent.get());
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("cb_serialNo"));
    const QStringList expected = systemPorts() + extraListed;
    QCOMPARE(comboItems(combo), expected);
    QCOMPARE(combo->currentIndex(), expected.isEmpty() ? -1 : 0);
    QCOMPARE(combo->currentText(), expected.value(0));
}

void tst_LinkDialogs::serialSetDlgOkSends_data()
{
    QTest::addColumn<int>("index"); // entry chosen, -1 for typing
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("sent");

    const QStringList listed = systemPorts() + QStringList{"/dev/pts/7", "/dev/pts/8"};
    QTest::newRow("first entry as it opened") << 0 << QString() << listed.at(0);
    QTest::newRow("last entry chosen") << listed.size() - 1 << QString() << listed.constLast();
    QTest::newRow("device path typed in") << -1 << "/dev/ttyACM9" << "/dev/ttyACM9";
    QTest::newRow("typed path with spaces around") << -1 << "  /dev/ttyACM9 " << "/dev/ttyACM9";
}

void tst_LinkDialogs::serialSetDlgOkSends()
{
    QFETCH(int, index);
    QFETCH(QString, typed);
    QFETCH(QString, sent);
    qputenv(SerialSetDlg::ExtraPortsVariable,
            QByteArray("/dev/pts/7") + QDir::listSeparator().toLatin1() + "/dev/pts/8");

    SerialSetDlg dialog(m_parent.get());
    QSignalSpy spy(&dialog, &SerialSetDlg::sendSerialInfo);
    QVERIFY(spy.isValid());
    dialog.show();
    auto *combo = dialog.findChild<QComboBox *>(QStringLiteral("cb_serialNo"));
    if (index >= 0) {
        combo->setCurrentIndex(index);
    } else {
        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo->lineEdit(), typed);
    }
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnOk")), Qt::LeftButton);

    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QVERIFY(dialog.isHidden());
    QCOMPARE(spy.size(), 1);
    const QList<QVariant> args = spy.constFirst();
    QCOMPARE(args.at(0).toString(), sent);
    QCOMPARE(args.at(1).value<QSerialPort::BaudRate>(), QSerialPort::Baud9600);
    QCOMPARE(args.at(2).value<QSerialPort::Parity>(), QSerialPort::NoParity);
    QCOMPARE(args.at(3).value<QSerialPort::DataBits>(), QSerialPort::Data8);
    QCOMPARE(args.at(4).value<QSerialPort::StopBits>(), QSerialPort::OneStop);
}

void tst_LinkDialogs::serialSetDlgCancelSendsNothing()
{
    SerialSetDlg dialog(m_parent.get());
    QSignalSpy spy(&dialog, &SerialSetDlg::sendSerialInfo);
    QVERIFY(spy.isValid());
    dialog.show();
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnCancel")), Qt::LeftButton);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QVERIFY(dialog.isHidden());
    QCOMPARE(spy.size(), 0);
    QCOMPARE(g_messages.count(QStringLiteral("串口设置界面点击了取消按钮")), 1);
}

void tst_LinkDialogs::serialSetDlgEscapeRejectsQuietly()
{
    SerialSetDlg dialog(m_parent.get());
    QSignalSpy spy(&dialog, &SerialSetDlg::sendSerialInfo);
    QVERIFY(spy.isValid());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClick(&dialog, Qt::Key_Escape);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(spy.size(), 0);
    QCOMPARE(g_messages.count(QStringLiteral("串口设置界面点击了取消按钮")), 0);
}

void tst_LinkDialogs::windowTakesThePortFromTheDialog()
{
    MainWindow window;
    whenModal<SerialSetDlg>(this, [](SerialSetDlg *dialog) {
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("cb_serialNo"));
        combo->setEditText(QStringLiteral("/dev/ttyRavelo0"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnOk")),
                          Qt::LeftButton);
    });
    window.showSerialSetDlg();
    QCOMPARE(window.m_portName, QStringLiteral("/dev/ttyRavelo0"));
    QCOMPARE(window.m_baudRate, QSerialPort::Baud9600);
    QCOMPARE(window.m_parity, QSerialPort::NoParity);
    QCOMPARE(window.m_dataBits, QSerialPort::Data8);
    QCOMPARE(window.m_stopBits, QSerialPort::OneStop);

    // A fresh dialog every time; Cancel keeps the stored settings.
    QString shownAtOpen;
    whenModal<SerialSetDlg>(this, [&shownAtOpen](SerialSetDlg *dialog) {
        auto *combo = dialog->findChild<QComboBox *>(QStringLiteral("cb_serialNo"));
        shownAtOpen = combo->currentText();
        combo->setEditText(QStringLiteral("/dev/ttyOther"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnCancel")),
                          Qt::LeftButton);
    });
    window.showSerialSetDlg();
    QVERIFY(shownAtOpen != QLatin1String("/dev/ttyRavelo0"));
    QCOMPARE(window.m_portName, QStringLiteral("/dev/ttyRavelo0"));
    QCOMPARE(window.findChildren<SerialSetDlg *>().size(), 2);
}

void tst_LinkDialogs::timeIntervalDlgForm()
{
    TimeIntervalDlg dialog(m_parent.get());
    QCOMPARE(dialog.objectName(), QStringLiteral("TimeIntervalDlg"));
    QCOMPARE(dialog.windowTitle(), QStringLiteral("The time interval between data collection"));
    QCOMPARE(dialog.size(), QSize(470, 170));
    QCOMPARE(dialog.minimumSize(), QSize(470, 170));
    QCOMPARE(dialog.maximumSize(), QSize(470, 200));

    auto *group = dialog.findChild<QGroupBox *>(QStringLiteral("groupBox"));
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Set it manually"));
    QCOMPARE(group->geometry(), QRect(10, 8, 451, 111));
    auto *note = dialog.findChild<QLabel *>(QStringLiteral("label_3"));
    QVERIFY(note);
    QCOMPARE(note->text(), QStringLiteral(
        "Illustrate:The range of time intervals between sampled data（1~60 s）"));
    QCOMPARE(note->geometry(), QRect(20, 70, 411, 20));
    auto *label = dialog.findChild<QLabel *>(QStringLiteral("label"));
    QVERIFY(label);
    QCOMPARE(label->text(), QStringLiteral("The time interval between data collection："));
    QCOMPARE(label->font().pointSize(), 12);
    QVERIFY(label->font().bold());
    auto *seconds = dialog.findChild<QLabel *>(QStringLiteral("label_2"));
    QVERIFY(seconds);
    QCOMPARE(seconds->text(), QStringLiteral("S"));
    QVERIFY(seconds->font().bold());
    QCOMPARE(dialog.findChild<QWidget *>(QStringLiteral("layoutWidget"))->geometry(),
             QRect(20, 30, 418, 42));
    QCOMPARE(dialog.findChild<QWidget *>(QStringLiteral("layoutWidget1"))->geometry(),
             QRect(20, 130, 421, 30));

    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("etTime"));
    QVERIFY(edit);
    QCOMPARE(edit->maximumWidth(), 30);
    QCOMPARE(edit->maxLength(), 2);
    QVERIFY(edit->inputMask().isEmpty());
    auto *validator = qobject_cast<const QIntValidator *>(edit->validator());
    QVERIFY(validator);
    QCOMPARE(validator->bottom(), 1);
    QCOMPARE(validator->top(), 60);
    QVERIFY(edit->styleSheet().startsWith(QLatin1String("QLineEdit{background-color : white;")));

    for (const char *name : {"btnOk", "btnExit"}) {
        auto *button = dialog.findChild<QPushButton *>(QLatin1String(name));
        QVERIFY(button);
        QCOMPARE(button->minimumSize(), QSize(75, 28));
        QCOMPARE(button->maximumSize(), QSize(75, 28));
        QCOMPARE(button->font().pointSize(), 12);
    }
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btnOk"))->text(), QStringLiteral("OK"));
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("btnExit"))->text(),
             QStringLiteral("Cancel"));
}

void tst_LinkDialogs::timeIntervalShowsSeconds_data()
{
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1000 ms") << 1000 << "1";
    QTest::newRow("1500 ms rounds down") << 1500 << "1";
    QTest::newRow("5000 ms") << 5000 << "5";
    QTest::newRow("60000 ms") << 60000 << "60";
}

void tst_LinkDialogs::timeIntervalShowsSeconds()
{
    QFETCH(int, interval);
    QFETCH(QString, shown);
    timeInterval = interval;
    TimeIntervalDlg dialog(m_parent.get());
    QCOMPARE(dialog.findChild<QLineEdit *>(QStringLiteral("etTime"))->text(), shown);
}

void tst_LinkDialogs::timeIntervalTyping_data()
{
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::newRow("two digits") << "45" << "45";
    QTest::newRow("60") << "60" << "60";
    QTest::newRow("a third digit is refused") << "123" << "12";
    // The validator lets 61 to 99 stand as not yet acceptable: OK refuses them.
    QTest::newRow("61 can stand while editing") << "61" << "61";
    QTest::newRow("99 can stand while editing") << "99" << "99";
    QTest::newRow("letters are refused") << "ab" << "";
    QTest::newRow("minus sign is refused") << "-5" << "5";
    QTest::newRow("zero can stand while editing") << "0" << "0";
}

void tst_LinkDialogs::timeIntervalTyping()
{
    QFETCH(QString, keys);
    QFETCH(QString, text);
    TimeIntervalDlg dialog(m_parent.get());
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("etTime"));
    edit->clear();
    QTest::keyClicks(edit, keys);
    QCOMPARE(edit->text(), text);
}

void tst_LinkDialogs::timeIntervalOk_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("sent"); // -1: nothing sent, the dialog stays open
    QTest::newRow("5 s") << "5" << 5000;
    QTest::newRow("1 s") << "1" << 1000;
    QTest::newRow("60 s") << "60" << 60000;
    QTest::newRow("empty field") << "" << -1;
    QTest::newRow("zero") << "0" << -1;
    QTest::newRow("00") << "00" << -1;
    QTest::newRow("61") << "61" << -1;
    QTest::newRow("99") << "99" << -1;
}

void tst_LinkDialogs::timeIntervalOk()
{
    QFETCH(QString, text);
    QFETCH(int, sent);

    TimeIntervalDlg dialog(m_parent.get());
    QSignalSpy spy(&dialog, &TimeIntervalDlg::sendTimeData);
    QVERIFY(spy.isValid());
    dialog.show();
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("etTime"));
    edit->clear();
    QTest::keyClicks(edit, text);
    QCOMPARE(edit->text(), text);
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnOk")), Qt::LeftButton);

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

void tst_LinkDialogs::timeIntervalCancelSendsNothing()
{
    TimeIntervalDlg dialog(m_parent.get());
    QSignalSpy spy(&dialog, &TimeIntervalDlg::sendTimeData);
    QVERIFY(spy.isValid());
    dialog.show();
    auto *edit = dialog.findChild<QLineEdit *>(QStringLiteral("etTime"));
    edit->setText(QStringLiteral("30"));
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnExit")), Qt::LeftButton);
    QCOMPARE(spy.size(), 0);
    QVERIFY(dialog.isHidden());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void tst_LinkDialogs::windowTakesTheIntervalFromTheDialog()
{
    MainWindow window;
    timeInterval = 1000;
    QString shownAtOpen;
    whenModal<TimeIntervalDlg>(this, [&shownAtOpen](TimeIntervalDlg *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("etTime"));
        shownAtOpen = edit->text();
        edit->clear();
        QTest::keyClicks(edit, QStringLiteral("60"));
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnOk")),
                          Qt::LeftButton);
    });
    window.showTimeIntervalDlg();
    QCOMPARE(shownAtOpen, QStringLiteral("1"));
    QCOMPARE(timeInterval, 60000);
}

void tst_LinkDialogs::windowKeepsTheIntervalOnInvalidEntry()
{
    MainWindow window;
    timeInterval = 7000;
    bool stayedOpen = false;
    whenModal<TimeIntervalDlg>(this, [&stayedOpen](TimeIntervalDlg *dialog) {
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("etTime"));
        edit->clear();
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnOk")),
                          Qt::LeftButton);
        stayedOpen = dialog->isVisible();
        QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("btnExit")),
                          Qt::LeftButton);
    });
    window.showTimeIntervalDlg();
    QVERIFY(stayedOpen);
    QCOMPARE(timeInterval, 7000);
}

QTEST_MAIN(tst_LinkDialogs)
#include "tst_linkdialogs.moc"
