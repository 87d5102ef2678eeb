// MainWindow's Excel export: the file dialog, the worker and its report.
#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "mainwindow/windowtracing.h"
#include "widgets/failurenotice.h"
#include "export/filesavethread.h"

#include <QDir>
#include <QMessageBox>
#include <QProgressDialog>
#include <QTableWidget>

namespace {
// Below this many rows an export is over before a progress dialog could help.
const int ExcelProgressMinRows = 2000;
} // namespace

void MainWindow::on_act_excel_triggered()
{
    m_filePath = askExportPath(tr(" (*.xlsx)"), QStringLiteral("xlsx"));
    if (m_filePath.isEmpty())
        return; // cancelled: no worker, no file, no message
    startExcelExport(m_filePath);
}

void MainWindow::startExcelExport(const QString &filePath)
{
    m_fileSaveThread = new FileSaveThread(this);
    FileSaveThread *worker = m_fileSaveThread;

    // The worker copies the readings' texts here, on the GUI thread, before
    // it starts.
    worker->setReadings(filePath, *m_tableWidget->model());

    connect(worker, &FileSaveThread::done, this, &MainWindow::onExcelSaveDone);
    connect(worker, &FileSaveThread::failed, this, [this, filePath](const QString &reason) {
        qCWarning(lcOutput) << "Excel export failed:" << filePath << reason;
        FailureNotice::show(ui->statusbar, tr("Could not save the Excel file %1: %2")
                                               .arg(QDir::toNativeSeparators(filePath), reason));
    });

    if (worker->rowCount() >= ExcelProgressMinRows) {
        // The dialog watches the worker; the window stays usable meanwhile.
        QProgressDialog *dialog =
            newProgressDialog(tr("Writing %1").arg(QDir::toNativeSeparators(filePath)),
                              tr("Export EXCEL"), worker->rowCount(), Qt::NonModal);
        dialog->setAutoClose(false);
        dialog->setAutoReset(false);
        connect(worker, &FileSaveThread::progress, dialog, &QProgressDialog::setValue);
        connect(worker, &QThread::finished, dialog, &QObject::deleteLater);
        connect(dialog, &QProgressDialog::canceled, worker, &QThread::requestInterruption);
    }

    worker->start(QThread::InheritPriority);
}

void MainWindow::onExcelSaveDone()
{
    // The message names the file that worker wrote, even when a later export
    // has already asked for another name.
    const auto *worker = qobject_cast<FileSaveThread *>(sender());
    const QString path = worker ? worker->filePath() : m_filePath;
    QMessageBox::information(this, tr("save"), tr("Save Excel file success！File path:") + path,
                             QMessageBox::Ok, QMessageBox::NoButton);
}
