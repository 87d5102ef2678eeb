// The recording journal in the window: the JournalKeeper writes what the
// table receives and the gaps where the link ended; the indicator in the
// status bar keeps its state in sight. A failure stops the journal until the
// port's next open and is said once in the status bar's message too; the
// table records on.
#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "mainwindow/windowtracing.h"
#include "widgets/failurenotice.h"
#include "widgets/statusstates.h"
#include "widgets/journalindicator.h"
#include "journal/journalkeeper.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QIcon>
#include <QMenu>
#include <QStatusBar>
#include <QUrl>

void MainWindow::initJournal()
{
    m_journalKeeper = new JournalKeeper(this);
    connect(this, &MainWindow::readingRecorded, m_journalKeeper, &JournalKeeper::addReading);
    connect(this, &MainWindow::linkDropped, m_journalKeeper, &JournalKeeper::addGap);
    connect(this, &MainWindow::linkOpened, m_journalKeeper, &JournalKeeper::beginRun);

    auto *indicator = new JournalIndicator(ui->statusbar);
    m_statusStates->insertState(-1, indicator);
    connect(m_journalKeeper, &JournalKeeper::recording, indicator, &JournalIndicator::showRecording);
    connect(m_journalKeeper, &JournalKeeper::stopped, indicator, &JournalIndicator::showStopped);
    connect(m_journalKeeper, &JournalKeeper::off, indicator, &JournalIndicator::showOff);
    // The indicator says why for as long as the journal is off, shortened
    // where the bar is narrow; the message says it whole first, in the
    // bar's full width.
    connect(m_journalKeeper, &JournalKeeper::stopped, this, [this](const QString &reason) {
        FailureNotice::show(ui->statusbar, tr("Journal stopped: %1").arg(reason));
    });

    m_actOpenRecordings = new QAction(QIcon(QStringLiteral(":/img/folder.png")),
                                      tr("Open the recordings folder"), this);
    m_actOpenRecordings->setObjectName(QStringLiteral("act_openRecordings"));
    ui->menu_file->insertAction(ui->act_exit, m_actOpenRecordings);
    connect(m_actOpenRecordings, &QAction::triggered, this, &MainWindow::openRecordingsFolder);
}

void MainWindow::readJournalConfig(const QString &configPath)
{
    bool usedDefault = false;
    const AppConfig::JournalSettings settings =
        AppConfig::readJournalSettings(configPath, AppConfig::defaultJournalFolder(), &usedDefault);
    if (usedDefault)
        qCDebug(lcOutput) << "config.ini: a [Journal] value is not usable, using the default";
    m_journalKeeper->setSettings(settings);
}

void MainWindow::openRecordingsFolder()
{
    const QString &folder = m_journalKeeper->settings().folder;
    if (!QDir().mkpath(folder)) {
        FailureNotice::show(ui->statusbar, tr("Cannot create the recordings folder %1")
                                               .arg(QDir::toNativeSeparators(folder)));
        return;
    }
    // Where nothing opens folders, the user can still go there by hand.
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(folder)))
        FailureNotice::show(ui->statusbar, tr("Could not open the recordings folder; it is %1")
                                               .arg(QDir::toNativeSeparators(folder)));
}
