// Frame acquisition: bytes from the meter are collected as they arrive, and
// every poll tick takes at most one frame out of them and watches the link.
#include "mainwindow.h"
#include "app/tracing.h"
#include "ui_mainwindow.h"

#include "link/framecut.h"
#include "link/linkloss.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QSerialPortInfo>
#include <QTimer>

namespace {

const int FrameLengthBytes = 20;
// Empty ticks since the last drop after which the meter counts as gone.
const int MissLimit = 3;

} // namespace

void MainWindow::readSerialData()
{
    if (!m_pollTimer->isActive()) {
        m_pollTimer->setInterval(timeInterval);
        m_pollTimer->start();
    }
    m_rxBuffer.append(m_serialPort->readAll());
}

void MainWindow::onPollTimeout()
{
    QByteArray cut = cutFrame(m_rxBuffer);

    if (!cut.isEmpty()) {
        ui->lbLogo->hide();
        m_statusLabel->setText(tr("Connected"));
        ui->act_setSerial->setEnabled(false);
        ui->act_setTimeInterval->setEnabled(false);
    } else {
        ++m_count;
        qCDebug(lcLink) << "m_count=" << m_count;
        if (m_count == MissLimit)
            dropLink(LinkLoss::missedPolls(MissLimit));
        if (!isPortPresent()) {
            qCDebug(lcLink) << "串口已断开";
            dropLink(LinkLoss::portGone(m_portName));
        }
    }

    const QByteArray frameText = toFrameText(cut);
    qCDebug(lcLink) << "获取数据为：" << frameText << "数据长度为：" << cut.size();

    if (cut.size() == FrameLengthBytes)
        decodeFrame(frameText);

    cut.clear();
    m_rxBuffer.clear();
}

// The port counts as present while the system lists its name (exactly as
// typed). A port given as a device path the system does not list, such as a
// pseudo-terminal or a typed path, counts as present while its device exists.
bool MainWindow::isPortPresent()
{
    QStringList strSerialList;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        strSerialList << info.portName();
    qCDebug(lcLink) << "strSerialList=" << strSerialList << "serialPort=" << m_portName;

    if (strSerialList.contains(m_portName, Qt::CaseSensitive))
        return true;
    return !m_portName.isEmpty() && QDir::isAbsolutePath(m_portName)
        && QFileInfo::exists(m_portName);
}

// A fatal error of the port (adapter unplugged, far end of the line gone)
// ends the link at once: the port would otherwise keep reporting it.
void MainWindow::onSerialError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!m_serialPort->isOpen())
        return;
    qCDebug(lcLink) << "串口已断开" << "error=" << error;
    dropLink(LinkLoss::lost(LinkLoss::portErrorText(error == QSerialPort::ResourceError,
                                                    m_serialPort->errorString())));
}

// The one way the link ends: the miss limit, a vanished port, a fatal port
// error and the user's close all come here. The receive buffer is left as
// it is; the next open empties it. Only a link that was up is reported as
// dropped (a second cause in the same tick finds the port closed).
void MainWindow::dropLink(const QString &reason)
{
    const bool wasOpen = m_serialPort->isOpen();
    m_pollTimer->stop();
    m_serialPort->close();
    m_statusLabel->setText(tr("UnConnected"));
    ui->lbLogo->show();
    ui->act_setSerial->setEnabled(true);
    ui->act_setTimeInterval->setEnabled(true);
    m_count = 0;
    if (wasOpen) {
        qCDebug(lcLink) << "link dropped:" << reason;
        emit linkDropped(currentDateTime(), reason);
    }
}
