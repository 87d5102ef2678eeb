#ifndef SERIALSETDLG_H
#define SERIALSETDLG_H

#include <QDialog>
#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
namespace Ui {
class SerialSetDlg;
}
QT_END_NAMESPACE

// Picks the port the meter hangs on. Lists the system's serial ports, then the
// extra ports named in the environment variable RAVELO_EXTRA_PORTS (separated
// like PATH entries); a device path can also be typed into the box. The
// choice is read from portName() once exec() has returned Accepted; the line
// settings are the meter's, always the same (core/link/serialline.h).
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

    // The port picked or typed, as the user left it on OK.
    QString portName() const { return m_portName; }

private slots:
    void on_btnOk_clicked();
    void on_btnCancel_clicked();

private:
    void enumeratePorts();

    Ui::SerialSetDlg *ui = nullptr;
    QStringList m_portNameList;
    QString m_portName;
};

#endif // SERIALSETDLG_H
