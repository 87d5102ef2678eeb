#include "mainwindowform.h"

#include "formparts.h"

#include "gauge/tickgauge.h"

#include <QAction>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtCharts/QChartView>

namespace {

const char WhiteText[] = "color: rgb(255, 255, 255);";

QAction *makeAction(QMainWindow *window, const char *objectName, const char *iconPath)
{
    auto *action = new QAction(window);
    action->setObjectName(QString::fromLatin1(objectName));
    QIcon icon;
    icon.addFile(QString::fromLatin1(iconPath), QSize(), QIcon::Normal, QIcon::Off);
    action->setIcon(icon);
    return action;
}

// A white annunciator label of the display panel.
QLabel *makePanelLabel(QWidget *parent, const char *objectName, int pointSize = 16)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFont(FormParts::font(pointSize, true));
    label->setStyleSheet(QString::fromLatin1(WhiteText));
    return label;
}

QPushButton *makeMeterButton(QWidget *parent, const char *objectName)
{
    auto *button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(objectName));
    button->setMinimumSize(QSize(5, 0));
    button->setFont(FormParts::font(10, true));
    button->setStyleSheet(QStringLiteral("background-color: #F0F0F0;"));
    button->setAutoRepeat(false);
    return button;
}

} // namespace

namespace Ui {

void MainWindow::setupUi(QMainWindow *MainWindow)
{
    if (MainWindow->objectName().isEmpty())
        MainWindow->setObjectName(QStringLiteral("MainWindow"));
    MainWindow->resize(1440, 900);
    MainWindow->setMinimumSize(QSize(1024, 668));
    MainWindow->setMaximumSize(QSize(1440, 900));
    MainWindow->setFont(FormParts::font(12, false));

    act_exit = makeAction(MainWindow, "act_exit", ":/img/exit.png");
    act_setSerial = makeAction(MainWindow, "act_setSerial", ":/img/setting.png");
    act_useDoc = makeAction(MainWindow, "act_useDoc", ":/img/use.png");
    act_about = makeAction(MainWindow, "act_about", ":/img/about.png");
    act_openSerialPort = makeAction(MainWindow, "act_openSerialPort", ":/img/connect.png");
    act_closeSerialPort = makeAction(MainWindow, "act_closeSerialPort", ":/img/disconnect.png");
    act_setTimeInterval = makeAction(MainWindow, "act_setTimeInterval", ":/img/time.png");
    act_pdf = makeAction(MainWindow, "act_pdf", ":/img/pdf.png");
    act_excel = makeAction(MainWindow, "act_excel", ":/img/excel.png");
    act_print = makeAction(MainWindow, "act_print", ":/img/print.png");

    centralwidget = new QWidget(MainWindow);
    centralwidget->setObjectName(QStringLiteral("centralwidget"));
    gridLayout = new QGridLayout(centralwidget);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));

    // The display panel imitates the meter's LCD: white labels at fixed places.
    widget = new QWidget(centralwidget);
    widget->setObjectName(QStringLiteral("widget"));
    widget->setSizePolicy(QSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred));
    widget->setMinimumSize(QSize(560, 340));
    widget->setMaximumSize(QSize(560, 340));
    widget->setStyleSheet(QStringLiteral("background-color: rgb(0, 170, 255);"));

    lbData = new QLabel(widget);
    lbData->setObjectName(QStringLiteral("lbData"));
    lbData->setGeometry(QRect(100, 100, 371, 131));
    lbData->setMaximumSize(QSize(371, 131));
    lbData->setFont(FormParts::font(100, true));
    lbData->setStyleSheet(QString::fromLatin1(WhiteText));
    lbData->setAlignment(Qt::AlignCenter);

    layoutWidget1 = new QWidget(widget);
    layoutWidget1->setObjectName(QStringLiteral("layoutWidget1"));
    layoutWidget1->setGeometry(QRect(10, 20, 541, 28));
    horizontalLayout = new QHBoxLayout(layoutWidget1);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    lbBat = makePanelLabel(layoutWidget1, "lbBat");
    horizontalLayout->addWidget(lbBat);
    horizontalLayout->addItem(FormParts::horizontalSpacer(18, 20));
    lbMax = makePanelLabel(layoutWidget1, "lbMax");
    horizontalLayout->addWidget(lbMax);
    horizontalLayout->addItem(FormParts::horizontalSpacer(17, 20));
    lbMin = makePanelLabel(layoutWidget1, "lbMin");
    horizontalLayout->addWidget(lbMin);
    horizontalLayout->addItem(FormParts::horizontalSpacer(17, 20));
    lbHold = makePanelLabel(layoutWidget1, "lbHold");
    horizontalLayout->addWidget(lbHold);
    horizontalLayout->addItem(FormParts::horizontalSpacer(17, 20));
    lbRel = makePanelLabel(layoutWidget1, "lbRel");
    horizontalLayout->addWidget(lbRel);
    horizontalLayout->addItem(FormParts::horizontalSpacer(13, 20));
    lbRange = makePanelLabel(layoutWidget1, "lbRange");
    horizontalLayout->addWidget(lbRange);

    tickGauge = new TickGauge(widget);
    tickGauge->setObjectName(QStringLiteral("tickGauge"));
    tickGauge->setGeometry(QRect(90, 250, 380, 40));
    tickGauge->setMinimumSize(QSize(380, 40));
    tickGauge->setMaximumSize(QSize(380, 40));

    layoutWidget = new QWidget(widget);
    layoutWidget->setObjectName(QStringLiteral("layoutWidget"));
    layoutWidget->setGeometry(QRect(94, 58, 381, 28));
    horizontalLayout_3 = new QHBoxLayout(layoutWidget);
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    horizontalLayout_3->setContentsMargins(0, 0, 0, 0);
    horizontalLayout_3->addItem(FormParts::horizontalSpacer(40, 20));
    lbDio = makePanelLabel(layoutWidget, "lbDio");
    horizontalLayout_3->addWidget(lbDio);
    horizontalLayout_3->addItem(FormParts::horizontalSpacer(13, 17));
    lbBeep = makePanelLabel(layoutWidget, "lbBeep");
    horizontalLayout_3->addWidget(lbBeep);
    horizontalLayout_3->addItem(FormParts::horizontalSpacer(40, 20));

    lbAc_2 = makePanelLabel(widget, "lbAc_2");
    lbAc_2->setGeometry(QRect(10, 100, 81, 26));
    lbAc = makePanelLabel(widget, "lbAc");
    lbAc->setGeometry(QRect(30, 80, 30, 26));

    lbMinMinus = new QLabel(widget);
    lbMinMinus->setObjectName(QStringLiteral("lbMinMinus"));
    lbMinMinus->setGeometry(QRect(80, 252, 10, 16));
    lbMinMinus->setFont(FormParts::font(14, true));
    lbMinMinus->setStyleSheet(QStringLiteral("color: white;"));

    lbLogo = new QLabel(widget);
    lbLogo->setObjectName(QStringLiteral("lbLogo"));
    lbLogo->setGeometry(QRect(20, 290, 56, 34));
    lbLogo->setMinimumSize(QSize(56, 34));
    lbLogo->setMaximumSize(QSize(56, 34));
    lbLogo->setFont(FormParts::font(30, true));
    lbLogo->setStyleSheet(QString::fromLatin1(WhiteText));
    lbLogo->setAlignment(Qt::AlignCenter);

    layoutWidget2 = new QWidget(widget);
    layoutWidget2->setObjectName(QStringLiteral("layoutWidget2"));
    layoutWidget2->setGeometry(QRect(490, 71, 64, 214));
    verticalLayout_2 = new QVBoxLayout(layoutWidget2);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->setContentsMargins(0, 0, 0, 0);
    lbApo = makePanelLabel(layoutWidget2, "lbApo");
    lbApo->setAlignment(Qt::AlignCenter);
    verticalLayout_2->addWidget(lbApo);
    lbAuto = makePanelLabel(layoutWidget2, "lbAuto");
    verticalLayout_2->addWidget(lbAuto);
    lbHfe = makePanelLabel(layoutWidget2, "lbHfe");
    lbHfe->setAlignment(Qt::AlignCenter);
    verticalLayout_2->addWidget(lbHfe);
    verticalLayout_2->addItem(FormParts::verticalSpacer(20, 18));
    lbLightning = new QLabel(layoutWidget2);
    lbLightning->setObjectName(QStringLiteral("lbLightning"));
    lbLightning->setMinimumSize(QSize(24, 24));
    lbLightning->setMaximumSize(QSize(24, 24));
    verticalLayout_2->addWidget(lbLightning);
    lbSymbol = makePanelLabel(layoutWidget2, "lbSymbol");
    lbSymbol->setLayoutDirection(Qt::LeftToRight);
    lbSymbol->setAlignment(Qt::AlignCenter);
    verticalLayout_2->addWidget(lbSymbol);
    verticalLayout_2->addItem(FormParts::verticalSpacer(20, 18));

    layoutWidget3 = new QWidget(widget);
    layoutWidget3->setObjectName(QStringLiteral("layoutWidget3"));
    layoutWidget3->setGeometry(QRect(30, 130, 39, 155));
    verticalLayout_3 = new QVBoxLayout(layoutWidget3);
    verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    verticalLayout_3->setContentsMargins(0, 0, 0, 0);
    verticalLayout = new QVBoxLayout();
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    lbMinus = makePanelLabel(layoutWidget3, "lbMinus", 60);
    verticalLayout->addWidget(lbMinus);
    verticalLayout->addItem(FormParts::verticalSpacer(20, 28));
    lbDc = makePanelLabel(layoutWidget3, "lbDc");
    verticalLayout->addWidget(lbDc);
    verticalLayout->addItem(FormParts::verticalSpacer(20, 58));
    verticalLayout_3->addLayout(verticalLayout);
    verticalLayout_3->addItem(FormParts::verticalSpacer(20, 40));

    gridLayout->addWidget(widget, 0, 0, 1, 1);

    chartView = new QtCharts::QChartView(centralwidget);
    chartView->setObjectName(QStringLiteral("chartView"));
    chartView->setMinimumSize(QSize(860, 800));
    chartView->setMaximumSize(QSize(860, 800));
    gridLayout->addWidget(chartView, 0, 1, 4, 1);

    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    btnSelect = makeMeterButton(centralwidget, "btnSelect");
    horizontalLayout_2->addWidget(btnSelect);
    btnHzDuty = makeMeterButton(centralwidget, "btnHzDuty");
    horizontalLayout_2->addWidget(btnHzDuty);
    btnHold = makeMeterButton(centralwidget, "btnHold");
    horizontalLayout_2->addWidget(btnHold);
    btnSerialOrRel = makeMeterButton(centralwidget, "btnSerialOrRel");
    horizontalLayout_2->addWidget(btnSerialOrRel);
    gridLayout->addLayout(horizontalLayout_2, 1, 0, 1, 1);

    horizontalLayout_4 = new QHBoxLayout();
    horizontalLayout_4->setObjectName(QStringLiteral("horizontalLayout_4"));
    btnMaxMin = makeMeterButton(centralwidget, "btnMaxMin");
    horizontalLayout_4->addWidget(btnMaxMin);
    btnExitMaxMin = makeMeterButton(centralwidget, "btnExitMaxMin");
    horizontalLayout_4->addWidget(btnExitMaxMin);
    btnLight = makeMeterButton(centralwidget, "btnLight");
    horizontalLayout_4->addWidget(btnLight);
    btnRange = makeMeterButton(centralwidget, "btnRange");
    horizontalLayout_4->addWidget(btnRange);
    btnExitRange = makeMeterButton(centralwidget, "btnExitRange");
    horizontalLayout_4->addWidget(btnExitRange);
    gridLayout->addLayout(horizontalLayout_4, 2, 0, 1, 1);

    tableWidget = new QTableWidget(centralwidget);
    tableWidget->setObjectName(QStringLiteral("tableWidget"));
    tableWidget->setSizePolicy(QSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding));
    tableWidget->setMinimumSize(QSize(460, 150));
    tableWidget->setMaximumSize(QSize(560, 360));
    gridLayout->addWidget(tableWidget, 3, 0, 1, 1);

    MainWindow->setCentralWidget(centralwidget);

    menubar = new QMenuBar(MainWindow);
    menubar->setObjectName(QStringLiteral("menubar"));
    menubar->setGeometry(QRect(0, 0, 1440, 26));
    menu_file = new QMenu(menubar);
    menu_file->setObjectName(QStringLiteral("menu_file"));
    menu_setting = new QMenu(menubar);
    menu_setting->setObjectName(QStringLiteral("menu_setting"));
    menu_help = new QMenu(menubar);
    menu_help->setObjectName(QStringLiteral("menu_help"));
    MainWindow->setMenuBar(menubar);
    statusbar = new QStatusBar(MainWindow);
    statusbar->setObjectName(QStringLiteral("statusbar"));
    MainWindow->setStatusBar(statusbar);
    toolBar = new QToolBar(MainWindow);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setMovable(false);
    toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolBar->setFloatable(false);
    MainWindow->addToolBar(Qt::TopToolBarArea, toolBar);

    menubar->addAction(menu_file->menuAction());
    menubar->addAction(menu_setting->menuAction());
    menubar->addAction(menu_help->menuAction());
    menu_file->addAction(act_openSerialPort);
    menu_file->addAction(act_closeSerialPort);
    menu_file->addAction(act_pdf);
    menu_file->addAction(act_excel);
    menu_file->addAction(act_print);
    menu_file->addAction(act_exit);
    menu_setting->addAction(act_setSerial);
    menu_setting->addAction(act_setTimeInterval);
    menu_help->addAction(act_useDoc);
    menu_help->addAction(act_about);
    toolBar->addAction(act_openSerialPort);
    toolBar->addAction(act_closeSerialPort);
    toolBar->addAction(act_setSerial);
    toolBar->addAction(act_pdf);
    toolBar->addAction(act_excel);
    toolBar->addAction(act_print);
    toolBar->addAction(act_exit);

    retranslateUi(MainWindow);

    QMetaObject::connectSlotsByName(MainWindow);
}

void MainWindow::retranslateUi(QMainWindow *MainWindow)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("MainWindow", text); };
    MainWindow->setWindowTitle(tr("Ravelo"));
    act_exit->setText(tr("Quit"));
    act_exit->setToolTip(tr("Quit"));
    act_setSerial->setText(tr("Serial port settings"));
    act_useDoc->setText(tr("Using Instructions"));
    act_about->setText(tr("Relation"));
    act_openSerialPort->setText(tr("Open the serial port"));
    act_closeSerialPort->setText(tr("Turn off the serial port"));
    act_setTimeInterval->setText(tr("Time interval"));
    act_setTimeInterval->setToolTip(tr("Time interval"));
    act_pdf->setText(tr("Export PDF"));
    act_excel->setText(tr("Export EXCEL"));
    act_print->setText(tr("Print"));
    lbData->setText(tr("0.008"));
    lbBat->setText(tr("BAT"));
    lbMax->setText(tr("MAX"));
    lbMin->setText(tr("MIN"));
    lbHold->setText(tr("HOLD"));
    lbRel->setText(tr("REL"));
    lbRange->setText(tr("Range"));
    lbDio->setText(tr("DIO"));
    lbBeep->setText(tr("BEEP"));
    lbAc_2->setText(tr("T-RMS"));
    lbAc->setText(tr("AC"));
    lbMinMinus->setText(tr("-"));
    lbLogo->setText(tr("TextLabel"));
    lbApo->setText(tr("APO"));
    lbAuto->setText(tr("AUTO"));
    lbHfe->setText(tr("hFE"));
    lbLightning->setText(tr("TextLabel"));
    lbSymbol->setText(tr("V"));
    lbMinus->setText(tr("-"));
    lbDc->setText(tr("DC"));
    btnSelect->setText(tr("SELECT"));
    btnHzDuty->setText(tr("Hz/DUTY"));
    btnHold->setText(tr("HOLD"));
    btnSerialOrRel->setText(tr("REL"));
    btnMaxMin->setText(tr("MAX/MIN"));
    btnExitMaxMin->setText(tr("EXIT MAX/MIN"));
    btnLight->setText(tr("LIGHT"));
    btnRange->setText(tr("RANGE"));
    btnExitRange->setText(tr("EXIT RANGE"));
    menu_file->setTitle(tr("File"));
    menu_setting->setTitle(tr("Set up"));
    menu_help->setTitle(tr("Help"));
    toolBar->setWindowTitle(tr("toolBar"));
}

} // namespace Ui
