// MainWindow's PDF export, and the table pages and progress it shares with
// printing and the Excel export.
#include "mainwindow/mainwindow.h"
#include "mainwindow/windowtracing.h"

#include "journal/tabletitles.h"
#include "widgets/failurenotice.h"
#include "export/pagegrid.h"
#include "journal/wholefile.h"
#include "ui_mainwindow.h"

#include <QBuffer>
#include <QDir>
#include <QFont>
#include <QMessageBox>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPen>
#include <QProgressDialog>
#include <QSaveFile>
#include <QTableWidget>

#include <memory>

namespace {

const int PdfResolutionDpi = 300;
const QMarginsF PdfMarginsPt(30, 10, 30, 30);
const char CellFontFamily[] = "宋体";
const int BaseFontPointSize = 26;
const int TitleFontWeight = 60;
const int TitleFontPixels = 86;
const int CellFontPixels = 42;
const int TitleTop = 10;
const int TitleHeight = 100;
const PageGridGeometry PdfGrid{170, 110, 100, 0}; // first top, later tops, row height, shortfall
const int PageProgressMinPages = 10;  // fewer pages are written before anyone notices
const int ProgressShowDelayMs = 400;

QFont pdfFont(int weight, int pixelSize)
{
    QFont font(QString::fromUtf8(CellFontFamily), BaseFontPointSize, weight, false);
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

QStringList MainWindow::tableTexts() const
{
    const QAbstractItemModel &readings = *m_tableWidget->model();
    const int rows = readings.rowCount();
    const int columns = readings.columnCount();
    QStringList texts;
    texts.reserve(TableTitles::ColumnCount + rows * columns);
    texts << TableTitles::onScreen();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            texts.append(readings.index(r, c).data().toString());
    }
    return texts;
}

void MainWindow::on_act_pdf_triggered()
{
    const QString path = askExportPath(tr(" (*.pdf)"), QStringLiteral("pdf"));
    if (!path.isEmpty())
        savePdf(path);
}

void MainWindow::savePdf(const QString &filePath)
{
    QString error;
    if (exportPdf(filePath, &error)) {
        QMessageBox::information(this, tr("save"), tr("Save PDF file success！File path:") + filePath,
                                 QMessageBox::Ok, QMessageBox::NoButton);
        return;
    }
    // Nothing was written; any file already there is untouched.
    if (error.isEmpty())
        return; // the user cancelled
    qCWarning(lcOutput) << "PDF export failed:" << filePath << error;
    FailureNotice::show(ui->statusbar, tr("Could not save the PDF file %1: %2")
                                           .arg(QDir::toNativeSeparators(filePath), error));
}

bool MainWindow::exportPdf(const QString &filePath, QString *error)
{
    // The PDF replaces the file only once it is complete, so a failed export
    // leaves the user's old file alone. A target that cannot be written is
    // found before the pages are drawn.
    QString reason;
    QSaveFile file(filePath);
    if (!WholeFile::open(&file, &reason)) {
        if (error)
            *error = reason;
        return false;
    }

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    bool painted = false;
    bool cancelled = false;
    {
        QPdfWriter writer(&pdf);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(PdfResolutionDpi);
        writer.setPageMargins(PdfMarginsPt, QPageLayout::Point);

        QPainter painter;
        if (painter.begin(&writer)) {
            qCDebug(lcOutput) << "PDF viewport" << painter.viewport();
            painter.setFont(pdfFont(TitleFontWeight, TitleFontPixels));
            painter.drawText(QRect(0, TitleTop, painter.viewport().width(), TitleHeight),
                             Qt::AlignHCenter | Qt::AlignVCenter, tr("Test Data"));

            painter.setFont(pdfFont(QFont::Normal, CellFontPixels));
            painter.setPen(QPen(QBrush(QColor(0, 0, 0, 255)), 2.0, Qt::SolidLine, Qt::SquareCap,
                                Qt::BevelJoin));
            cancelled = !paintTable(&painter, &writer, PdfGrid,
                                    tr("Writing %1").arg(QDir::toNativeSeparators(filePath)),
                                    tr("Export PDF"));
            painted = painter.end();
        }
    }
    if (cancelled) {
        file.cancelWriting();
        return false;
    }
    if (!painted) {
        reason = tr("the PDF could not be drawn");
    } else if (WholeFile::writeAndCommit(&file, pdf.data(), &reason)) {
        return true;
    }
    file.cancelWriting();
    if (error)
        *error = reason;
    return false;
}

// The sample table's texts as a grid on the device's pages, with the
// painter's font and pen. Long jobs show their progress; false when the user
// cancelled one.
bool MainWindow::paintTable(QPainter *painter, QPagedPaintDevice *device,
                            const PageGridGeometry &geometry, const QString &progressLabel,
                            const QString &progressTitle)
{
    const QStringList texts = tableTexts(); // taken before any event can add a row
    const int columns = m_tableWidget->model()->columnCount();
    const int pages = PageGrid::pageCount(m_tableWidget->model()->rowCount() + 1);
    std::unique_ptr<QProgressDialog> progress;
    if (pages >= PageProgressMinPages)
        progress.reset(newProgressDialog(progressLabel, progressTitle, pages, Qt::WindowModal));
    return PageGrid::paint(painter, device, geometry, texts, columns, [&progress](int page) {
        if (!progress)
            return true;
        progress->setValue(page);
        return !progress->wasCanceled();
    });
}

// A progress dialog that shows itself only when the job takes a while.
QProgressDialog *MainWindow::newProgressDialog(const QString &label, const QString &title,
                                               int maximum, Qt::WindowModality modality)
{
    auto *dialog = new QProgressDialog(label, tr("Cancel"), 0, maximum, this);
    dialog->setWindowTitle(title);
    dialog->setWindowModality(modality);
    dialog->setMinimumDuration(ProgressShowDelayMs);
    dialog->setValue(0);
    return dialog;
}
