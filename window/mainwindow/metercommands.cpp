// The meter's front-panel keys: each button writes one command record.
// HOLD, RANGE and MAX/MIN send on release, the others on click.
#include "mainwindow/mainwindow.h"
#include "mainwindow/windowtracing.h"

#include "meter/commandrecord.h"


void MainWindow::sendMeterKey(quint8 keyCode)
{
    m_serialPort->write(commandRecord(keyCode));
}

void MainWindow::on_btnSelect_clicked()
{
    sendMeterKey(MeterKey::Select);
}

void MainWindow::on_btnMaxMin_pressed() {}

void MainWindow::on_btnMaxMin_released()
{
    qCDebug(lcLink) << "MaxMin按钮短按";
    sendMeterKey(MeterKey::MaxMin);
}

void MainWindow::on_btnExitMaxMin_clicked()
{
    sendMeterKey(MeterKey::ExitMaxMin);
}

void MainWindow::on_btnHzDuty_clicked()
{
    sendMeterKey(MeterKey::HzDuty);
}

void MainWindow::on_btnHold_pressed() {}

void MainWindow::on_btnHold_released()
{
    sendMeterKey(MeterKey::Hold);
}

void MainWindow::on_btnLight_clicked()
{
    qCDebug(lcLink) << "hold长按按钮";
    sendMeterKey(MeterKey::Light);
}

void MainWindow::on_btnExitRange_clicked()
{
    qCDebug(lcLink) << "range长按按钮";
    sendMeterKey(MeterKey::ExitRange);
}

void MainWindow::on_btnRange_pressed() {}

void MainWindow::on_btnRange_released()
{
    sendMeterKey(MeterKey::Range);
}

void MainWindow::on_btnSerialOrRel_clicked()
{
    sendMeterKey(MeterKey::Rel);
}
