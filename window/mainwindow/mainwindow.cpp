#include "mainwindow/mainwindow.h"
#include "mainwindow/windowtracing.h"

#include "config/appconfig.h"
#include "widgets/textfit.h"
#include "widgets/windowfit.h"
#include "widgets/statusstates.h"
#include "tickgauge.h"
#include "ui_mainwindow.h"
#include "journal/tabletitles.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFontMetrics>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMetaType>
#include <QPixmap>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>

#include <cstdio>


namespace {
const int MinReadingPointSize = 40;
}

// The images live in the static library; without this they would be dropped.
static void initResources()
{
    Q_INIT_RESOURCE(ravelo);
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    initResources();
    qRegisterMetaType<QTableWidget *>("QTableWidget*");

    m_count = 0;

    ui->setupUi(this);
    setWindowIcon(QIcon(QStringLiteral(":/img/serial_logo.png")));
    // The form's size where the screen holds it (a 1366 × 768 laptop does not).
    // Where it cannot hold even the smallest, the window fits it all the same
    // and its central area scrolls.
    if (const QScreen *screen = this->screen()) {
        const QSize available = screen->availableGeometry().size();
        const QSize fitted = WindowFit::fittedMinimum(minimumSize(), available);
        if (fitted != minimumSize()) {
            auto *scrollArea = new QScrollArea(this);
            scrollArea->setObjectName(QStringLiteral("centralScrollArea"));
            scrollArea->setFrameShape(QFrame::NoFrame);
            scrollArea->setWidgetResizable(true);
            scrollArea->setWidget(takeCentralWidget());
            setCentralWidget(scrollArea);
            setMinimumSize(fitted);
        }
        resize(WindowFit::initialSize(size(), minimumSize(), available));
    }
    initUI();

    ui->tableWidget->setColumnCount(TableTitles::ColumnCount);
    ui->tableWidget->setHorizontalHeaderLabels(TableTitles::onScreen());
    ui->tableWidget->horizontalHeader()->setFixedHeight(30);
    ui->tableWidget->horizontalHeader()->setStyleSheet(
        QStringLiteral("QHeaderView::section{background: rgb(170, 255, 255); color: rgb(0, 0, 0);}"));
    ui->tableWidget->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    ui->tableWidget->horizontalHeader()->setSectionResizeMode(4, QHeaderView::ResizeToContents);
    ui->tableWidget->verticalHeader()->setHidden(true);
    ui->tableWidget->setAlternatingRowColors(true);
    ui->tableWidget->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ui->tableWidget->setSelectionMode(QAbstractItemView::SingleSelection);
    ui->tableWidget->setSelectionBehavior(QAbstractItemView::SelectRows);
    fitTexts();
    // However little room the window has, the table shows three whole rows
    // under its header.
    ui->tableWidget->setMinimumHeight(ui->tableWidget->horizontalHeader()->height()
                                      + 3 * ui->tableWidget->verticalHeader()->defaultSectionSize()
                                      + 2 * ui->tableWidget->frameWidth());

    m_serialPort = new QSerialPort(this);

    m_statusLabel = new QLabel(tr("UnConnected"), this);
    ui->statusbar->addWidget(m_statusLabel, 0);
    m_statusStates = new StatusStates(ui->statusbar);

    ui->tickGauge->setQtColor(QStringLiteral("white"));
    update();

    initChart();

    connect(ui->act_setSerial, &QAction::triggered, this, &MainWindow::showSerialSetDlg);
    connect(ui->act_openSerialPort, &QAction::triggered, this, &MainWindow::openSerialPort);
    connect(ui->act_closeSerialPort, &QAction::triggered, this, &MainWindow::closeSerialPort);
    connect(ui->act_setTimeInterval, &QAction::triggered, this, &MainWindow::showTimeIntervalDlg);
    connect(ui->act_exit, &QAction::triggered, this, &MainWindow::close);
    connect(m_serialPort, &QSerialPort::readyRead, this, &MainWindow::readSerialData);

    m_pollTimer = new QTimer(this);
    m_pollTimer->setTimerType(Qt::PreciseTimer);
    connect(m_pollTimer, &QTimer::timeout, this, &MainWindow::onPollTimeout);

    initJournal();
    initHistory();
    readConfig();
}

MainWindow::~MainWindow()
{
    delete ui;
    ui = nullptr;
    m_serialPort->close();
    m_serialPort = nullptr;
    saveConfig();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    const auto answer = QMessageBox::question(this, tr("Prompt"), tr("Are you sure to exit？"),
                                              QMessageBox::Yes | QMessageBox::No,
                                              QMessageBox::No);
    if (answer == QMessageBox::Yes)
        event->accept();
    else
        event->ignore();
}

void MainWindow::initUI()
{
    qCDebug(lcApp) << "初始化ui";
    ui->lbBat->setText(tr("BAT"));
    ui->lbDc->setText(tr("DC"));
    ui->lbMax->setText(tr("MAX"));
    ui->lbMin->setText(tr("MIN"));
    ui->lbRel->setText(tr("REL"));
    ui->lbRange->setText(tr("Range"));
    ui->lbMinus->setText(tr("-"));
    ui->lbApo->setText(tr("APO"));
    ui->lbHfe->setText(QString());
    ui->lbMinMinus->setText(QString());

    m_functionText.clear();
    mStrDataValue.clear();
    m_unitText.clear();
    curData = 0.0;
    m_axisSpan = 120;
    m_tableWidget = ui->tableWidget;
    m_overRangePlot = false;

    // The logo label becomes the cover over the whole panel until bytes arrive.
    const QSize panelSize(560, 340);
    ui->lbLogo->setMinimumSize(panelSize);
    ui->lbLogo->setMaximumSize(panelSize);
    ui->lbLogo->setFixedSize(panelSize);
    ui->lbLogo->raise();
    ui->lbLogo->setGeometry(0, 0, ui->widget->width(), ui->widget->height());
    QFont logoFont;
    logoFont.setPointSize(80);
    ui->lbLogo->setFont(logoFont);
    ui->lbLogo->setText(tr("DMM"));

    const QPixmap lightning(QStringLiteral(":/img/lightning.png"));
    ui->lbLightning->setPixmap(lightning.scaled(ui->lbLightning->size(), Qt::IgnoreAspectRatio,
                                                Qt::SmoothTransformation));
    ui->lbLightning->hide();
    m_overRangePlot = false;
}

// The fixed layout was drawn for narrower fonts than some platforms' default.
// Where a text would be cut, that widget's font steps down until it fits: the
// reading label for the meter's widest displays, the two annunciators placed
// outside the panel's layouts, and the sample table for its titles and the
// widest texts a reading puts in its cells.
void MainWindow::fitTexts()
{
    TextFit::fitLabel(ui->lbData, {"8.888", "88.88", "LIVE", "----"}, MinReadingPointSize);
    TextFit::fitLabel(ui->lbAc);
    TextFit::fitLabel(ui->lbAc_2);
    const QStringList widestCells{QStringLiteral("Capacitance"), QStringLiteral("Resistance"),
                                  QStringLiteral("Duty cycle"),  QStringLiteral("Frequency"),
                                  QStringLiteral("-88.88"),      QStringLiteral("-8.888"),
                                  QStringLiteral("MΩ"),          QStringLiteral("kHz"),
                                  QStringLiteral("100000")};
    TextFit::fitTable(ui->tableWidget, widestCells, QStringLiteral("0000/00/00 00:00:00"));
}

void MainWindow::readConfig()
{
    const QString path = AppConfig::configPathForReading();
    bool usedDefault = false;
    m_config.timeIntervalMs = AppConfig::readTimeInterval(path, &usedDefault);
    if (usedDefault)
        qCDebug(lcApp) << "config.ini: Time/timeInterval is not a positive whole number, using"
                 << m_config.timeIntervalMs;
    qCDebug(lcApp) << "配置文件的路径为：" << path << "时间间隔为：" << m_config.timeIntervalMs;
    readJournalConfig(path);
    readLimitConfig(path);
}

// Runs as the window goes away: a failure can only go to standard error.
void MainWindow::saveConfig()
{
    const QString path = AppConfig::configPathForWriting();
    QString error;
    if (AppConfig::writeTimeInterval(path, m_config.timeIntervalMs, &error))
        return;
    qCWarning(lcApp) << "config.ini not written:" << path << error;
    const QString line = QStringLiteral("ravelo: cannot write %1: %2\n")
                             .arg(QDir::toNativeSeparators(path), error);
    std::fputs(line.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}
