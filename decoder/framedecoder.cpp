// MainWindow's decoder members: frame check, digits, annunciators and units.
#include "mainwindow.h"

void MainWindow::decodeFrame(QByteArray) {}
bool MainWindow::checkFrame(QByteArray) { return false; }
void MainWindow::decodeMainUnit(QStringList) {}
void MainWindow::decodeSubUnit(QStringList) {}
void MainWindow::decodeStatusFlags(QStringList) {}
void MainWindow::decodeDigits(QStringList) {}
void MainWindow::decodeModeFlags(QStringList) {}
