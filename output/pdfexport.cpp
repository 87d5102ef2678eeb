// MainWindow's PDF export and the cell texts it shares with printing.
#include "mainwindow.h"
#include "app/tracing.h"

#include "celltext.h"

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
const int FirstPageTableTop = 170;
const int LaterPageTableTop = 110;
const int PdfRowHeight = 100;
const int RowsPerPage = 30;           // a new page after painter rows 30, 60, 90, ...
const int PageProgressMinPages = 10;  // fewer pages are written before anyone notices
const int ProgressShowDelayMs = 400;

QFont pdfFont(int weight, int pixelSize)
{
    QFont font(QString::fromUtf8(CellFontFamily), BaseFontPointSize, weight, false);
    font.setPixelSize(pixelSize);
    return font;
}

// Pages needed for n painter rows: 31 on the first page, 30 on every other.
int pagesFor(int painterRows)
{
    const int firstPageRows = RowsPerPage + 1;
    if (painterRows <= firstPageRows)
        return 1;
    return 1 + (painterRows - firstPageRows + RowsPerPage - 1) / RowsPerPage;
}

} // namespace

QStringList MainWindow::tableTexts() const
{
    const int rows = m_tableWidget->rowCount();
    const int columns = m_tableWidget->columnCount();
    QStringList texts;
    texts.reserve(5 + rows * columns);
    texts << m_serialNumberTitle << m_functionTitle << m_valueTitle << m_unitTitle << m_timeTitle;
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c) {
            const QTableWidgetItem *item = m_tableWidget->item(r, c);
            texts.append(item ? item->text() : QString());
        }
    }
    return texts;
}

void MainWindow::on_act_pdf_triggered()
{
    const QString path = askExportPath(tr(" (*.pdf)"), QStringLiteral("pdf"));
    if (path.isEmpty())
        return;
    if (!exportPdf(path))
        return; // nothing was written; any file already there is untouched
    QMessageBox::information(this, tr("save"), tr("Save PDF file success！File path:") + path,
                             QMessageBox::Ok, QMessageBox::NoButton);
}

bool MainWindow::exportPdf(const QString &filePath)
{
    // The PDF goes to a file beside the target that replaces it only once it
    // is complete, so a failed export leaves the user's old file alone.
    QSaveFile file(filePath);
    if (!file.open(QIODevice::WriteOnly))
        return false;

    const int rows = m_tableWidget->rowCount();
    const int columns = m_tableWidget->columnCount();
    const QStringList texts = tableTexts(); // taken before any event can add a row

    std::unique_ptr<QProgressDialog> progress;
    const int pages = pagesFor(rows + 1);
    if (pages >= PageProgressMinPages) {
        progress.reset(new QProgressDialog(
            tr("Writing %1").arg(QDir::toNativeSeparators(filePath)), tr("Cancel"), 0, pages, this));
        progress->setWindowTitle(tr("Export PDF"));
        progress->setWindowModality(Qt::WindowModal);
        progress->setMinimumDuration(ProgressShowDelayMs);
        progress->setValue(0);
    }

    bool painted = false;
    bool cancelled = false;
    {
        QPdfWriter writer(&file);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(PdfResolutionDpi);
        writer.setPageMargins(PdfMarginsPt, QPageLayout::Point);

        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            return false;
        }
        const QFont titleFont = pdfFont(TitleFontWeight, TitleFontPixels);
        const QFont cellFont = pdfFont(QFont::Normal, CellFontPixels);

        qCDebug(lcOutput) << "PDF viewport" << painter.viewport();
        const int width = painter.viewport().width();

        painter.setFont(titleFont);
        painter.drawText(QRect(0, TitleTop, width, TitleHeight), Qt::AlignHCenter | Qt::AlignVCenter,
                         tr("Test Data"));

        m_pageProgress = progress.get();
        paintTable(&painter, FirstPageTableTop, 0, rows + 1, columns, PdfRowHeight, cellFont, texts,
                   &writer);
        m_pageProgress = nullptr;
        cancelled = progress && progress->wasCanceled();
        painted = painter.end();
    }
    if (!painted || cancelled || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

void MainWindow::paintTable(QPainter *painter, int top, int left, int rowCount, int columnCount,
                            int rowHeight, const QFont &font, const QStringList &texts,
                            QPdfWriter *writer)
{
    if (columnCount <= 0)
        return;
    painter->setFont(font);
    painter->setPen(QPen(QBrush(QColor(0, 0, 0, 255)), 2.0, Qt::SolidLine, Qt::SquareCap,
                         Qt::BevelJoin));

    const int cellWidth = (painter->viewport().width() - 2 * left) / columnCount;
    int y = top;
    int k = 0;
    int page = 1;
    for (int i = 0; i < rowCount; ++i) {
        int x = left;
        for (int j = 0; j < columnCount; ++j) {
            const QRect cell(x, y, cellWidth, rowHeight);
            drawCellText(painter, cell, texts.value(k + j));
            painter->drawRects(&cell, 1);
            x += cellWidth;
        }
        y += rowHeight;
        // A page is full after painter rows 30, 60, ...; no empty page at the end.
        if (i > 0 && i % RowsPerPage == 0 && i + 1 < rowCount) {
            writer->newPage();
            rowHeight = PdfRowHeight;
            y = LaterPageTableTop;
            if (!advancePageProgress(++page))
                return;
        }
        k += columnCount;
    }
}

// Moves the running page job's progress on; false when the user cancelled it.
bool MainWindow::advancePageProgress(int page)
{
    if (!m_pageProgress)
        return true;
    m_pageProgress->setValue(page);
    return !m_pageProgress->wasCanceled();
}
