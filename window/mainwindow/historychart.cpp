// The whole recording beside the live curve: the history chart in the
// curve's place when the Set up menu's entry is checked, the figures of the
// function being measured in the status bar, the limits the readings are
// watched against, and journals opened again into the history chart.
#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "widgets/failurenotice.h"
#include "dialogs/limitsdialog.h"
#include "widgets/readablecolors.h"
#include "widgets/statusstates.h"
#include "mainwindow/windowtracing.h"
#include "limits/limitkeeper.h"
#include "widgets/historyview.h"
#include "widgets/statisticslabel.h"
#include "history/recordingloader.h"
#include "journal/journalkeeper.h"

#include <QAction>
#include <QApplication>
#include <QChart>
#include <QDateTimeAxis>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageWriter>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMenu>
#include <QPen>
#include <QStatusBar>
#include <QTableWidget>

#include <memory>

using namespace QtCharts;

namespace {

// A row whose reading is outside the limits.
const QColor OutsideRowColour(255, 190, 190);
// Its text, dark on that light red whatever the palette's text colour.
const QColor OutsideRowTextColour(Qt::black);
// How far the limit lines reach beyond the time axis on either side, in
// spans of it: the axis slides on with the next readings.
const int LimitLineReachSpans = 2;

void hideFromLegend(QChart *chart, QLineSeries *line)
{
    // A marker follows its series: shown again whenever the series is.
    for (QLegendMarker *marker : chart->legend()->markers(line))
        marker->setVisible(false);
}

QLineSeries *addLimitLine(QChart *chart, const QString &name)
{
    auto *line = new QLineSeries();
    line->setObjectName(name);
    line->setPen(QPen(QBrush(Qt::red), 1, Qt::DashLine));
    chart->addSeries(line);
    for (QAbstractAxis *axis : chart->axes())
        line->attachAxis(axis);
    line->hide();
    hideFromLegend(chart, line);
    return line;
}

} // namespace

void MainWindow::initHistory()
{
    // The history view takes the chart's cell when shown; hidden, the layout
    // passes over it and the window is as before.
    m_historyView = new HistoryView(ui->centralwidget);
    m_historyView->setSizePolicy(ui->chartView->sizePolicy());
    m_historyView->setMinimumSize(ui->chartView->minimumSize());
    m_historyView->setMaximumSize(ui->chartView->maximumSize());
    m_historyView->hide();
    ui->gridLayout->addWidget(m_historyView, 0, 1, 4, 1);
    connect(this, &MainWindow::readingRecorded, m_historyView, &HistoryView::addReading);
    connect(this, &MainWindow::linkDropped, m_historyView, [this] { m_historyView->addGap(); });
    // Like the table and the journal, the history goes on across reopened
    // ports, a gap where the link ended.

    // The status bar: [status] [limit state] [statistics] [journal].
    m_statisticsLabel = new StatisticsLabel(m_statusStates);
    m_statusStates->insertState(0, m_statisticsLabel, 1);
    connect(this, &MainWindow::readingRecorded, m_statisticsLabel, &StatisticsLabel::addReading);
    connect(this, &MainWindow::linkOpened, m_statisticsLabel, &StatisticsLabel::reset);
    auto *limitLabel = new QLabel(m_statusStates);
    limitLabel->setObjectName(QStringLiteral("limitLabel"));
    limitLabel->setStyleSheet(ReadableColors::alarmStyleSheet(limitLabel->palette()));
    limitLabel->hide();
    m_statusStates->insertState(0, limitLabel);

    auto *actHistory = new QAction(tr("History chart"), this);
    actHistory->setObjectName(QStringLiteral("act_historyChart"));
    actHistory->setCheckable(true);
    actHistory->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    auto *actLimits = new QAction(tr("Limits…"), this);
    actLimits->setObjectName(QStringLiteral("act_limits"));
    auto *actReset = new QAction(tr("Reset statistics"), this);
    actReset->setObjectName(QStringLiteral("act_resetStatistics"));
    ui->menu_setting->addActions({actHistory, actLimits, actReset});
    auto *actOpen = new QAction(QIcon(QStringLiteral(":/img/folder.png")),
                                tr("Open a recording…"), this);
    actOpen->setObjectName(QStringLiteral("act_openRecording"));
    ui->menu_file->insertAction(ui->act_exit, actOpen);
    auto *actPicture = new QAction(tr("Save the chart as a picture…"), this);
    actPicture->setObjectName(QStringLiteral("act_saveChartPicture"));
    ui->menu_file->insertAction(ui->act_exit, actPicture);
    connect(actPicture, &QAction::triggered, this, &MainWindow::saveChartPicture);

    // A recording is read on a thread of its own while the window goes on
    // recording; one that takes more than a moment shows its progress in
    // the history chart, which can cancel it.
    m_recordingLoader = new RecordingLoader(this);
    connect(m_recordingLoader, &RecordingLoader::progress, this, [this, actHistory](int percent) {
        if (!m_historyView->isShowingProgress())
            actHistory->setChecked(true);
        m_historyView->showProgress(
            tr("Opening %1").arg(QFileInfo(m_recordingLoader->path()).fileName()), percent);
    });
    connect(m_historyView, &HistoryView::cancelRequested, this, [this] {
        m_recordingLoader->cancel();
        m_historyView->hideProgress();
    });
    connect(m_recordingLoader, &RecordingLoader::failed, this,
            [this](const QString &path, const QString &reason) {
                m_historyView->hideProgress();
                qCDebug(lcDisplay) << "recording not read:" << path << reason;
                FailureNotice::show(ui->statusbar, tr("Cannot open the recording %1: %2")
                                                       .arg(QFileInfo(path).fileName(), reason));
            });
    connect(m_recordingLoader, &RecordingLoader::loaded, this, [this, actHistory](const QString &path) {
        m_historyView->hideProgress();
        m_historyView->showRecording(m_recordingLoader->takeHistory(), QFileInfo(path).fileName());
        RecordingLoader::releaseFreedMemory();
        actHistory->setChecked(true);
    });
    connect(m_historyView, &HistoryView::liveShown, this, &RecordingLoader::releaseFreedMemory);

    connect(actHistory, &QAction::toggled, this, [this](bool on) {
        ui->chartView->setVisible(!on);
        m_historyView->setVisible(on);
        if (on)
            m_historyView->setFocus();
    });
    connect(actReset, &QAction::triggered, m_statisticsLabel, &StatisticsLabel::reset);
    connect(actLimits, &QAction::triggered, this, &MainWindow::showLimitsDialog);
    connect(actOpen, &QAction::triggered, this, &MainWindow::openRecording);

    // Limits: the row of a reading outside stands out, the charts draw the
    // lines, the status bar says so, and leaving the range beeps once.
    m_limitKeeper = new LimitKeeper(this);
    connect(this, &MainWindow::readingRecorded, m_limitKeeper, &LimitKeeper::addReading);
    connect(this, &MainWindow::linkOpened, m_limitKeeper, &LimitKeeper::beginRun);
    connect(m_limitKeeper, &LimitKeeper::crossed, m_journalKeeper, &JournalKeeper::addLimitCrossing);
    connect(m_limitKeeper, &LimitKeeper::leftRange, this, [] { QApplication::beep(); });

    QLineSeries *lowLine = addLimitLine(m_chart, QStringLiteral("lowLimitLine"));
    QLineSeries *highLine = addLimitLine(m_chart, QStringLiteral("highLimitLine"));
    auto hideLimitState = [limitLabel, lowLine, highLine] {
        // Hidden, the lines' markers stay hidden too.
        limitLabel->hide();
        lowLine->hide();
        highLine->hide();
    };
    connect(m_limitKeeper, &LimitKeeper::crossed, this, [hideLimitState](const LimitCrossing &crossing) {
        if (crossing.state == LimitCrossing::State::Ok)
            hideLimitState();
    });
    connect(m_limitKeeper, &LimitKeeper::readingOutside, limitLabel,
            [limitLabel](qint64, const LimitCrossing &where) {
                // The latest reading outside, as the panel shows it.
                const QString reading = where.valueText
                    + (where.unit.isEmpty() ? QString() : QLatin1Char(' ') + where.unit);
                limitLabel->setText(where.state == LimitCrossing::State::High
                                        ? tr("Above the high limit: %1").arg(reading)
                                        : tr("Below the low limit: %1").arg(reading));
                limitLabel->show();
            });
    connect(m_limitKeeper, &LimitKeeper::readingOutside, this, [this, lowLine, highLine](qint64 n) {
        const int row = int(n - 1);
        if (row >= 0 && row < ui->tableWidget->rowCount()) {
            for (int column = 0; column < ui->tableWidget->columnCount(); ++column) {
                if (QTableWidgetItem *item = ui->tableWidget->item(row, column)) {
                    item->setBackground(OutsideRowColour);
                    item->setForeground(OutsideRowTextColour);
                }
            }
        }
        // The live curve plots in the unit of its function's first reading.
        const bool sameUnit = m_curveScale.baseUnit() == m_limitKeeper->unit();
        const auto timeAxes = m_chart->axes(Qt::Horizontal);
        const auto *timeAxis = timeAxes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis *>(timeAxes.first());
        if (!timeAxis)
            return;
        const double axisStart = double(timeAxis->min().toMSecsSinceEpoch());
        const double axisEnd = double(timeAxis->max().toMSecsSinceEpoch());
        const double reach = LimitLineReachSpans * (axisEnd - axisStart);
        const std::pair<QLineSeries *, std::optional<double>> lines[] = {
            {lowLine, m_limitKeeper->low()}, {highLine, m_limitKeeper->high()}};
        for (const auto &[line, limit] : lines) {
            if (!sameUnit || !limit) {
                line->hide();
                continue;
            }
            const double y = *limit / m_curveScale.factor();
            line->replace(QVector<QPointF>{{axisStart - reach, y}, {axisEnd + reach, y}});
            line->show();
            hideFromLegend(m_chart, line);
        }
    });
    connect(m_limitKeeper, &LimitKeeper::limitsChanged, this, [this, hideLimitState] {
        hideLimitState();
        m_historyView->setLimits(m_limitKeeper->low(), m_limitKeeper->high(), m_limitKeeper->unit());
    });
    connect(this, &MainWindow::linkOpened, this, hideLimitState);
}

void MainWindow::readLimitConfig(const QString &configPath)
{
    bool usedDefault = false;
    const AppConfig::LimitSettings limits = AppConfig::readLimitSettings(configPath, &usedDefault);
    if (usedDefault)
        qCDebug(lcApp) << "config.ini: a [Limits] value is not a number, left out";
    m_limitKeeper->setSettings(limits);
}

void MainWindow::showLimitsDialog()
{
    auto dialog = std::make_unique<LimitsDialog>(m_limitKeeper->settings(), m_reading.unitText, this);
    if (dialog->exec() != QDialog::Accepted)
        return;
    const AppConfig::LimitSettings limits = dialog->settings();
    dialog.reset();
    m_limitKeeper->setSettings(limits);
    QString error;
    const QString path = AppConfig::configPathForWriting();
    if (!AppConfig::writeLimitSettings(path, limits, &error)) {
        qCWarning(lcApp) << "config.ini not written:" << path << error;
        FailureNotice::show(ui->statusbar, tr("The limits apply but were not saved: cannot write %1: %2")
                                               .arg(QDir::toNativeSeparators(path), error));
    }
}

void MainWindow::openRecording()
{
    auto dialog = std::make_unique<QFileDialog>(this, tr("Open a recording"), dialogFolder(),
                                                tr("Recordings (*.csv);;All files (*)"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return;
    const QString path = dialog->selectedFiles().constFirst();
    dialog.reset();
    rememberFolder(path);
    loadRecording(path);
}

void MainWindow::loadRecording(const QString &path)
{
    m_recordingLoader->open(path);
}

void MainWindow::saveChartPicture()
{
    QWidget *chart = m_historyView->isVisible() ? static_cast<QWidget *>(m_historyView)
                                                : static_cast<QWidget *>(ui->chartView);
    const QString name = m_historyView->isVisible() ? tr("history-chart.png") : tr("curve.png");
    auto dialog = std::make_unique<QFileDialog>(this, tr("Save the chart as a picture"),
                                                QDir(dialogFolder()).filePath(name),
                                                tr("PNG pictures (*.png)"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setDefaultSuffix(QStringLiteral("png"));
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return;
    const QString path = dialog->selectedFiles().constFirst();
    dialog.reset();
    rememberFolder(path);
    QImageWriter writer(path, "png");
    if (!writer.write(chart->grab().toImage())) {
        qCWarning(lcDisplay) << "picture not saved:" << path << writer.errorString();
        FailureNotice::show(ui->statusbar, tr("The picture was not saved: cannot write %1: %2")
                                               .arg(QDir::toNativeSeparators(path), writer.errorString()));
    }
}
