#include "export/filesavethread.h"

#include "export/savepathqueue.h"
#include "export/xlsxworkbook.h"

#include <QAbstractItemModel>

namespace {
// How often the worker reports: about every 1 % of the rows, at least every 500.
const int ProgressSteps = 100;
const int MinRowsPerReport = 500;
const int MaxHeaderColumns = 26; // A1 .. Z1
} // namespace

FileSaveThread::FileSaveThread(QObject *parent)
    : QThread(parent)
{
}

FileSaveThread::~FileSaveThread()
{
    // A worker still writing is waited for, so the file it writes is whole.
    wait();
    releaseTurn();
}

void FileSaveThread::setReadings(const QString &filePath, const QAbstractItemModel &readings)
{
    // A worker is set up once; later exports must not change a running one.
    if (isRunning() || isFinished())
        return;
    releaseTurn();
    m_filePath = filePath;
    m_rowCount = readings.rowCount();
    m_columnCount = readings.columnCount();
    m_header.clear();
    m_header.reserve(m_columnCount);
    for (int c = 0; c < m_columnCount; ++c)
        m_header.append(readings.headerData(c, Qt::Horizontal).toString());
    m_cells.clear();
    m_cells.reserve(m_rowCount * m_columnCount);
    for (int r = 0; r < m_rowCount; ++r) {
        for (int c = 0; c < m_columnCount; ++c)
            m_cells.append(readings.index(r, c).data().toString());
    }
    if (!m_filePath.isEmpty())
        m_ticket = SavePathQueue::instance().takeTicket(m_filePath);
}

void FileSaveThread::run()
{
    QString error;
    const bool saved = saveExcel(&error);
    releaseTurn();
    // The copy is no longer needed; the worker object may live on for a while.
    m_cells = QVector<QString>();
    m_header = QStringList();
    if (saved)
        emit done(m_rowCount);
    else if (!isInterruptionRequested())
        emit failed(error);
}

bool FileSaveThread::saveExcel(QString *error)
{
    if (m_filePath.isEmpty()) {
        *error = QStringLiteral("no file name");
        return false;
    }
    if (m_ticket != 0)
        SavePathQueue::instance().waitForTurn(m_filePath, m_ticket);
    if (isInterruptionRequested())
        return false;

    XlsxWorkbook workbook;
    if (!workbook.isValid()) {
        *error = workbook.errorString();
        return false;
    }

    const int headerColumns = qMin(m_columnCount, MaxHeaderColumns);
    for (int c = 0; c < headerColumns; ++c) {
        const QString reference = QChar(QLatin1Char('A').unicode() + c) + QStringLiteral("1");
        workbook.write(reference, m_header.at(c));
    }
    for (int c = headerColumns; c < m_columnCount; ++c) // past Z, by number
        workbook.write(1, c + 1, m_header.at(c));

    const int reportEvery = qMax(MinRowsPerReport, m_rowCount / ProgressSteps);
    int index = 0;
    for (int r = 0; r < m_rowCount; ++r) {
        for (int c = 0; c < m_columnCount; ++c)
            workbook.write(r + 2, c + 1, m_cells.at(index++));
        if ((r + 1) % reportEvery == 0) {
            if (isInterruptionRequested())
                return false;
            emit progress(r + 1, m_rowCount);
        }
    }
    if (isInterruptionRequested())
        return false;
    if (workbook.saveAs(m_filePath))
        return true;
    *error = workbook.errorString();
    return false;
}

void FileSaveThread::releaseTurn()
{
    if (m_ticket == 0)
        return;
    SavePathQueue::instance().release(m_filePath, m_ticket);
    m_ticket = 0;
}
