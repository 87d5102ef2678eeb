// MainWindow's display members: the panel, the sample table and the curve.
#include "mainwindow.h"

void MainWindow::updateDisplay() {}
void MainWindow::addTableRow(QString, QString, QString, QString) {}
void MainWindow::initChart() {}
void MainWindow::updateChart(double, QString) {}
