// MainWindow's meter-link members: frame acquisition, the serial connection,
// the settings and interval dialogs, and the meter keys.
#include "mainwindow.h"

void MainWindow::showSerialSetDlg() {}
void MainWindow::openSerialPort() {}
void MainWindow::closeSerialPort() {}
void MainWindow::showTimeIntervalDlg() {}
void MainWindow::readSerialData() {}
void MainWindow::onPollTimeout() {}
void MainWindow::getSerialInfo(QString, QSerialPort::BaudRate, QSerialPort::Parity,
                               QSerialPort::DataBits, QSerialPort::StopBits) {}
void MainWindow::getTimeData(int) {}

void MainWindow::on_btnSelect_clicked() {}
void MainWindow::on_btnHzDuty_clicked() {}
void MainWindow::on_btnSerialOrRel_clicked() {}
void MainWindow::on_btnMaxMin_pressed() {}
void MainWindow::on_btnMaxMin_released() {}
void MainWindow::on_btnRange_pressed() {}
void MainWindow::on_btnRange_released() {}
void MainWindow::on_btnHold_pressed() {}
void MainWindow::on_btnHold_released() {}
void MainWindow::on_btnExitMaxMin_clicked() {}
void MainWindow::on_btnLight_clicked() {}
void MainWindow::on_btnExitRange_clicked() {}
