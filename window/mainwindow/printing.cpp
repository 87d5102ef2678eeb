// MainWindow's printing: the print dialog and the grid on the printer's pages.
#include "mainwindow/mainwindow.h"
#include "mainwindow/windowtracing.h"

#include "widgets/failurenotice.h"
#include "export/pagegrid.h"
#include "ui_mainwindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace {

const qreal PrintMarginAllSides = 30;
// Smaller rows than the PDF's, and the grid stops 50 pixels short of the right edge.
const PageGridGeometry PrintGrid{10, 40, 30, 50}; // first top, later tops, row height, shortfall

// Why the printer would not start, for the status bar: a file to print into
// that cannot be written says so with the system's reason.
QString printFailureText(const QPrinter &printer)
{
    const QString fileName = printer.outputFileName();
    if (fileName.isEmpty())
        return MainWindow::tr("Could not print on %1: the printer did not take the job")
            .arg(printer.printerName());
    QString reason = MainWindow::tr("the file could not be written");
    const bool existed = QFileInfo::exists(fileName);
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        reason = file.errorString();
    else if (!existed)
        file.remove();
    return MainWindow::tr("Could not print to %1: %2").arg(QDir::toNativeSeparators(fileName), reason);
}

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
    if (!painter.begin(printer)) {
        const QString text = printFailureText(*printer);
        qCWarning(lcOutput) << "printing failed:" << text;
        FailureNotice::show(ui->statusbar, text);
        return;
    }
    qCDebug(lcOutput) << "print viewport" << painter.viewport();

    printer->setPageSize(QPageSize(QPageSize::A4));
    printer->setPageMargins(QMarginsF(PrintMarginAllSides, PrintMarginAllSides,
                                      PrintMarginAllSides, PrintMarginAllSides),
                            printer->pageLayout().units());
    printer->setPageOrientation(QPageLayout::Portrait);

    // The painter's own font and pen.
    const bool complete = paintTable(&painter, printer, PrintGrid, tr("Printing"), tr("Print"));
    if (!complete)
        printer->abort(); // cancelled by the user
    if (!painter.end() && complete) {
        const QString text = printFailureText(*printer);
        qCWarning(lcOutput) << "printing failed:" << text;
        FailureNotice::show(ui->statusbar, text);
    }
}
