#ifndef SERIALSETDLG_H
#define SERIALSETDLG_H

#include <QDialog>
#include <QSerialPort>
#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
namespace Ui {
class SerialSetDlg;
}
QT_END_NAMESPACE

// Picks the port the meter hangs on. Lists the system's serial ports, then the
// extra ports named in the environment variable RAVELO_EXTRA_PORTS (separated
// like PATH entries); a device path can also be typed into the box.
class SerialSetDlg : public QDialog
{
    Q_OBJECT

public:
    explicit SerialSetDlg(QWidget *parent);
    ~SerialSetDlg() override;

    // The environment variable with extra ports to list after the system's.
    static const char ExtraPortsVariable[];
    // The extra ports it names, in order, empty entries skipped.
    static QStringList extraPorts();

signals:
    void sendSerialInfo(QString strSerialPort, QSerialPort::BaudRate baudRate,
                        QSerialPort::Parity parity, QSerialPort::DataBits dataBits,
                        QSerialPort::StopBits stopBits);

private slots:
    void on_btnOk_clicked();
    void on_btnCancel_clicked();

private:
    void enumeratePorts();

    Ui::SerialSetDlg *ui = nullptr;
    QStringList m_portNameList;
};

#endif // SERIALSETDLG_H
