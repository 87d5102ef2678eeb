// MainWindow's printing: the print dialog and the grid on the printer's pages.
#include "mainwindow.h"
#include "app/tracing.h"

#include "celltext.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QProgressDialog>
#include <QTableWidget>

#include <memory>

namespace {

const qreal PrintMarginAllSides = 30;
const int PrintGridShortfall = 50; // the grid stops this short of the right edge
const int PrintColumns = 5;
const int PrintRowHeight = 30;
const int FirstPageTop = 10;
const int LaterPageTop = 40;
const int RowsPerPage = 30;
const int PageProgressMinPages = 10;
const int ProgressShowDelayMs = 400;

} // namespace

void MainWindow::on_act_print_triggered()
{
    QPrinter printer(QPrinter::ScreenResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    printTable(&printer);
}

void MainWindow::printTable(QPrinter *printer)
{
    QPainter painter;
    if (!painter.begin(printer))
        return;
    qCDebug(lcOutput) << "print viewport" << painter.viewport();

    const int rows = m_tableWidget->rowCount();
    const int columns = m_tableWidget->columnCount();
    const QStringList texts = tableTexts();

    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(QMarginsF(PrintMarginAllSides, PrintMarginAllSides,
                                      PrintMarginAllSides, PrintMarginAllSides),
                            printer->pageLayout().units());
    printer->setPageOrientation(QPageLayout::Portrait);

    const int cellWidth = (painter.viewport().width() - PrintGridShortfall) / PrintColumns;

    std::unique_ptr<QProgressDialog> progress;
    const int painterRows = rows + 1;
    const int pages = painterRows <= RowsPerPage + 1
                          ? 1
                          : 1 + (painterRows - RowsPerPage - 1 + RowsPerPage - 1) / RowsPerPage;
    if (pages >= PageProgressMinPages) {
        progress.reset(new QProgressDialog(tr("Printing"), tr("Cancel"), 0, pages, this));
        progress->setWindowTitle(tr("Print"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(ProgressShowDelayMs);
        progress->setValue(0);
    }
    m_pageProgress = progress.get();

    int y = FirstPageTop;
    int k = 0;
    int page = 1;
    for (int i = 0; i < painterRows; ++i) {
        int x = 0;
        for (int j = 0; j < columns; ++j) {
            const QRect cell(x, y, cellWidth, PrintRowHeight);
            drawCellText(&painter, cell, texts.value(k + j));
            painter.drawRects(&cell, 1);
            x += cellWidth;
        }
        y += PrintRowHeight;
        // A page is full after painter rows 30, 60, ...; no empty page at the end.
        if (i > 0 && i % RowsPerPage == 0 && i + 1 < painterRows) {
            printer->newPage();
            y = LaterPageTop;
            if (!advancePageProgress(++page)) {
                printer->abort();
                break;
            }
        }
        k += columns;
    }
    m_pageProgress = nullptr;
    painter.end();
}
