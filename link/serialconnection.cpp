// The serial connection: the line settings, opening and closing the port, and
// the two settings dialogs that feed it.
#include "mainwindow.h"
#include "app/tracing.h"
#include "ui_mainwindow.h"

#include "link/linkloss.h"
#include "link/serialsetdlg.h"
#include "link/timeintervaldlg.h"

#include <QAction>
#include <QLabel>

void MainWindow::getSerialInfo(QString strSerialPort, QSerialPort::BaudRate baudRate,
                               QSerialPort::Parity parity, QSerialPort::DataBits dataBits,
                               QSerialPort::StopBits stopBits)
{
    m_portName = strSerialPort;
    m_baudRate = baudRate;
    m_parity = parity;
    m_dataBits = dataBits;
    m_stopBits = stopBits;
}

void MainWindow::openSerialPort()
{
    m_serialPort->setPortName(m_portName);
    m_serialPort->setBaudRate(m_baudRate, QSerialPort::AllDirections);
    m_serialPort->setParity(m_parity);
    m_serialPort->setDataBits(m_dataBits);
    m_serialPort->setStopBits(m_stopBits);
    connect(m_serialPort, &QSerialPort::errorOccurred, this, &MainWindow::onSerialError,
            Qt::UniqueConnection);

    // A port that does not open changes nothing on screen; why it failed is
    // only traced.
    if (!m_serialPort->open(QIODevice::ReadWrite)) {
        qCDebug(lcLink) << "open failed:" << m_portName << m_serialPort->errorString();
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
    getSerialInfo(portName, QSerialPort::Baud9600, QSerialPort::NoParity, QSerialPort::Data8,
                  QSerialPort::OneStop);
    openSerialPort();
}

void MainWindow::closeSerialPort()
{
    dropLink(LinkLoss::closedByUser());
}

void MainWindow::showSerialSetDlg()
{
    auto *dialog = new SerialSetDlg(this);
    connect(dialog, &SerialSetDlg::sendSerialInfo, this, &MainWindow::getSerialInfo);
    dialog->exec();
}

void MainWindow::showTimeIntervalDlg()
{
    auto *dialog = new TimeIntervalDlg(this);
    connect(dialog, &TimeIntervalDlg::sendTimeData, this, &MainWindow::getTimeData);
    dialog->exec();
}

void MainWindow::getTimeData(int data)
{
    timeInterval = data;
}
