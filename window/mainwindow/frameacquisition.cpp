// Frame acquisition: bytes from the meter are collected as they arrive, and
// every poll tick takes at most one frame out of them and watches the link.
#include "mainwindow/mainwindow.h"
#include "mainwindow/windowtracing.h"
#include "ui_mainwindow.h"

#include "widgets/failurenotice.h"
#include "link/framecut.h"
#include "link/linkloss.h"
#include "link/portproblem.h"
#include "link/serialline.h"

#include <QAction>
#include <QLabel>
#include <QSerialPortInfo>
#include <QTimer>

namespace {

// Empty ticks since the last drop after which the meter counts as gone.
const int MissLimit = 3;

} // namespace

void MainWindow::readSerialData()
{
    if (!m_pollTimer->isActive()) {
        m_pollTimer->setInterval(m_config.timeIntervalMs);
        m_pollTimer->start();
    }
    m_rxBuffer.append(m_serialPort->readAll());
}

void MainWindow::onPollTimeout()
{
    const QByteArray cut = takeTickFrame(&m_rxBuffer);

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

    if (isWholeFrame(cut))
        decodeFrame(frameText);
}

bool MainWindow::isPortPresent()
{
    return SerialLine::isPresent(m_portName, [this] {
        QStringList strSerialList;
        const auto ports = QSerialPortInfo::availablePorts();
        for (const QSerialPortInfo &info : ports)
            strSerialList << info.portName();
        qCDebug(lcLink) << "strSerialList=" << strSerialList << "serialPort=" << m_portName;
        return strSerialList;
    });
}

// A fatal error of the port (adapter unplugged, far end of the line gone)
// ends the link at once: the port would otherwise keep reporting it. The
// status bar says why.
void MainWindow::onSerialError(QSerialPort::SerialPortError error)
{
    if (error != QSerialPort::ResourceError && error != QSerialPort::ReadError)
        return;
    if (!m_serialPort->isOpen())
        return;
    qCDebug(lcLink) << "串口已断开" << "error=" << error << m_serialPort->errorString();
    const QString reason = PortProblem::lossReason(error == QSerialPort::ResourceError
                                                       ? PortProblem::LinkEnd::PortGone
                                                       : PortProblem::LinkEnd::HungUp,
                                                   m_serialPort->errorString());
    const QString path = PortProblem::devicePath(m_serialPort->portName());
    dropLink(LinkLoss::lost(reason));
    FailureNotice::show(ui->statusbar, tr("Link lost on %1: %2").arg(path, reason));
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
