// MainWindow's output members: Excel, PDF, printing, About and help.
#include "mainwindow.h"

void MainWindow::on_act_excel_triggered() {}
void MainWindow::on_act_pdf_triggered() {}
void MainWindow::on_act_print_triggered() {}
void MainWindow::on_act_useDoc_triggered() {}
void MainWindow::on_act_about_triggered() {}
void MainWindow::onExcelSaveDone() {}
void MainWindow::paintTable(QPainter *, int, int, int, int, int, const QFont &,
                            const QStringList &, QPdfWriter *) {}
