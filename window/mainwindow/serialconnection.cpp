// The serial connection: the line settings, opening and closing the port, and
// the two settings dialogs that feed it.
#include "mainwindow/mainwindow.h"
#include "mainwindow/windowtracing.h"
#include "ui_mainwindow.h"

#include "widgets/failurenotice.h"
#include "link/linkloss.h"
#include "link/portproblem.h"
#include "link/serialline.h"
#include "dialogs/serialsetdlg.h"
#include "dialogs/timeintervaldlg.h"

#include <QAction>
#include <QLabel>

namespace {

// Why the port did not open, for the status bar.
QString openFailureText(const QString &portName, const QSerialPort &port)
{
    if (portName.isEmpty())
        return MainWindow::tr("No serial port chosen: choose one in Set up → Serial port settings");
    if (port.error() == QSerialPort::OpenError)
        return MainWindow::tr("%1 is already open").arg(PortProblem::devicePath(portName));
    // The command-line recorder's words, on one line.
    QString text = PortProblem::openFailure(portName, port.errorString()).join(QStringLiteral("; "));
    text[0] = text.at(0).toUpper();
    return text;
}

} // namespace

void MainWindow::openSerialPort()
{
    m_serialPort->setPortName(m_portName);
    SerialLine::configure(*m_serialPort);
    connect(m_serialPort, &QSerialPort::errorOccurred, this, &MainWindow::onSerialError,
            Qt::UniqueConnection);

    // A port that does not open leaves the link as it was; the status bar
    // says why for a while.
    if (!m_serialPort->open(QIODevice::ReadWrite)) {
        qCDebug(lcLink) << "open failed:" << m_portName << m_serialPort->errorString();
        FailureNotice::show(ui->statusbar, openFailureText(m_portName, *m_serialPort));
        return;
    }

    m_statusLabel->setText(tr("Connected"));
    ui->act_setSerial->setEnabled(false);
    ui->act_setTimeInterval->setEnabled(false);
    // Bytes left from an earlier connection belong to whatever meter was on
    // the line then: decoded now they would be recorded with this moment's
    // time, perhaps as a reading of another meter.
    m_rxBuffer.clear();
    emit linkOpened();
}

void MainWindow::openPortNamed(const QString &portName)
{
    m_portName = portName;
    openSerialPort();
}

void MainWindow::closeSerialPort()
{
    dropLink(LinkLoss::closedByUser());
}

void MainWindow::showSerialSetDlg()
{
    SerialSetDlg dialog(this);
    if (dialog.exec() == QDialog::Accepted)
        m_portName = dialog.portName();
}

void MainWindow::showTimeIntervalDlg()
{
    TimeIntervalDlg dialog(this, m_config.timeIntervalMs);
    if (dialog.exec() == QDialog::Accepted)
        m_config.timeIntervalMs = dialog.intervalMs();
}
