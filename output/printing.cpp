// MainWindow's printing: the print dialog and the grid on the printer's pages.
#include "mainwindow.h"
#include "app/tracing.h"

#include "pagegrid.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace {

const qreal PrintMarginAllSides = 30;
// Smaller rows than the PDF's, and the grid stops 50 pixels short of the right edge.
const PageGridGeometry PrintGrid{10, 40, 30, 50}; // first top, later tops, row height, shortfall

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

    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(QMarginsF(PrintMarginAllSides, PrintMarginAllSides,
                                      PrintMarginAllSides, PrintMarginAllSides),
                            printer->pageLayout().units());
    printer->setPageOrientation(QPageLayout::Portrait);

    // The painter's own font and pen.
    if (!paintTable(&painter, printer, PrintGrid, tr("Printing"), tr("Print")))
        printer->abort();
    painter.end();
}
