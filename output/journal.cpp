// The recording journal: from the first recorded row of a run, every row the
// table receives also goes to a CSV file in the recordings folder, so a
// crash, a power cut or a hasty exit never loses a reading. A failure stops
// the journal for the run and says why once; the table records on.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "app/tracing.h"
#include "failurenotice.h"
#include "output/journalwriter.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QIcon>
#include <QMenu>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>

namespace {

// How long a journal failure stays in the status bar.
const int FailureMessageMs = 10000;
} // namespace

void MainWindow::initJournal()
{
    m_journal = std::make_unique<JournalWriter>();
    m_journalSettings.folder = AppConfig::defaultJournalFolder();

    m_journalSyncTimer = new QTimer(this);
    m_journalSyncTimer->setInterval(JournalWriter::SyncCheckMs);
    connect(m_journalSyncTimer, &QTimer::timeout, this, &MainWindow::syncJournal);

    m_actOpenRecordings = new QAction(QIcon(QStringLiteral(":/img/folder.png")),
                                      tr("Open the recordings folder"), this);
    m_actOpenRecordings->setObjectName(QStringLiteral("act_openRecordings"));
    ui->menu_file->insertAction(ui->act_exit, m_actOpenRecordings);
    connect(m_actOpenRecordings, &QAction::triggered, this, &MainWindow::openRecordingsFolder);
}

void MainWindow::readJournalConfig(const QString &configPath)
{
    bool usedDefault = false;
    m_journalSettings =
        AppConfig::readJournalSettings(configPath, AppConfig::defaultJournalFolder(), &usedDefault);
    if (usedDefault)
        qCDebug(lcOutput) << "config.ini: a [Journal] value is not usable, using the default";
    qCDebug(lcOutput) << "journal" << (m_journalSettings.enabled ? "on, folder" : "off, folder")
                       << m_journalSettings.folder;
}

void MainWindow::journalRow(const QStringList &cells)
{
    if (!m_journalSettings.enabled || m_journalStopped)
        return;
    if (!m_journal->isOpen()) {
        if (!m_journal->openInFolder(m_journalSettings.folder, m_rowTime)) {
            stopJournal(m_journal->errorString());
            return;
        }
        qCDebug(lcOutput) << "journal:" << m_journal->filePath();
        m_journalSyncTimer->start();
    }
    const JournalRow row{cells, m_rowTime, JournalWriter::plainValueText(cells.value(2))};
    if (!m_journal->append(row))
        stopJournal(m_journal->errorString());
}

void MainWindow::syncJournal()
{
    if (!m_journal->syncIfDue())
        stopJournal(m_journal->errorString());
}

void MainWindow::stopJournal(const QString &reason)
{
    m_journalStopped = true;
    m_journalSyncTimer->stop();
    m_journal->close();
    qCWarning(lcOutput) << "journal stopped:" << reason;
    ui->statusbar->showMessage(tr("The recording journal stopped: %1").arg(reason),
                               FailureMessageMs);
}

void MainWindow::openRecordingsFolder()
{
    const QString &folder = m_journalSettings.folder;
    if (!QDir().mkpath(folder)) {
        ui->statusbar->showMessage(
            tr("Cannot create the recordings folder %1").arg(QDir::toNativeSeparators(folder)),
            FailureMessageMs);
        return;
    }
    // Where nothing opens folders, the user can still go there by hand.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        FailureNotice::show(ui->statusbar, tr("Could not open the recordings folder; it is %1")
                                               .arg(QDir::toNativeSeparators(folder)));
}
