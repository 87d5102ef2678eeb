// The sample table: one row per reading, kept for the life of the window.
#include "mainwindow/mainwindow.h"

#include "ui_mainwindow.h"
#include "widgets/sampleitem.h"

#include <QHeaderView>
#include <QTableWidget>

namespace {

// A recording session can run to hundreds of thousands of rows. Texts that
// repeat from row to row (function, unit, a steady value, the same second)
// are stored once: the new cell shares the previous row's string.
QString shared(QString &previous, const QString &text)
{
    if (text != previous)
        previous = text;
    return previous;
}

// The time column fits its texts, and every time text has the same width.
// Left in ResizeToContents mode, the header would measure the texts of up to
// a thousand rows again after every new row (several milliseconds per
// reading); so once the first row is in, the column takes that row's width
// and keeps it.
void fixTimeColumnWidth(QTableWidget *table)
{
    const int timeColumn = 4;
    QHeaderView *header = table->horizontalHeader();
    if (header->sectionResizeMode(timeColumn) != QHeaderView::ResizeToContents)
        return;
    header->setSectionResizeMode(timeColumn, QHeaderView::Fixed);
    table->resizeColumnToContents(timeColumn);
}

} // namespace

void MainWindow::addTableRow(QString functionText, QString valueText, QString unitText,
                             QString timeText)
{
    QTableWidget *table = ui->tableWidget;
    const int row = table->rowCount();
    table->setRowCount(row + 1);

    const QString cells[] = {
        QString::number(row + 1),
        shared(m_lastFunctionCell, functionText),
        shared(m_lastValueCell, valueText),
        shared(m_lastUnitCell, unitText),
        shared(m_lastTimeCell, timeText),
    };
    int column = 0;
    for (const QString &text : cells)
        table->setItem(row, column++, new SampleItem(text));
    if (row == 0)
        fixTimeColumnWidth(table);
    table->scrollToBottom();
}
