#ifndef MAINWINDOWFORM_H
#define MAINWINDOWFORM_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QAction;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QMainWindow;
class QMenu;
class QMenuBar;
class QPushButton;
class QSpacerItem;
class QStatusBar;
class QTableWidget;
class QToolBar;
class QVBoxLayout;
class QWidget;
QT_END_NAMESPACE

namespace QtCharts {
class QChartView;
}
class TickGauge;

QT_BEGIN_NAMESPACE
namespace Ui {

// The main window's widget tree, written by hand in the shape uic gives a form.
class MainWindow
{
public:
    QAction *act_exit = nullptr;
    QAction *act_setSerial = nullptr;
    QAction *act_useDoc = nullptr;
    QAction *act_about = nullptr;
    QAction *act_openSerialPort = nullptr;
    QAction *act_closeSerialPort = nullptr;
    QAction *act_setTimeInterval = nullptr;
    QAction *act_pdf = nullptr;
    QAction *act_excel = nullptr;
    QAction *act_print = nullptr;

    QWidget *centralwidget = nullptr;
    QGridLayout *gridLayout = nullptr;

    // the display panel
    QWidget *widget = nullptr;
    QLabel *lbData = nullptr;
    QWidget *layoutWidget1 = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *lbBat = nullptr;
    QLabel *lbMax = nullptr;
    QLabel *lbMin = nullptr;
    QLabel *lbHold = nullptr;
    QLabel *lbRel = nullptr;
    QLabel *lbRange = nullptr;
    TickGauge *tickGauge = nullptr;
    QWidget *layoutWidget = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QLabel *lbDio = nullptr;
    QLabel *lbBeep = nullptr;
    QLabel *lbAc_2 = nullptr;
    QLabel *lbAc = nullptr;
    QLabel *lbMinMinus = nullptr;
    QLabel *lbLogo = nullptr;
    QWidget *layoutWidget2 = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QLabel *lbApo = nullptr;
    QLabel *lbAuto = nullptr;
    QLabel *lbHfe = nullptr;
    QLabel *lbLightning = nullptr;
    QLabel *lbSymbol = nullptr;
    QWidget *layoutWidget3 = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QLabel *lbMinus = nullptr;
    QLabel *lbDc = nullptr;

    QtCharts::QChartView *chartView = nullptr;

    // the meter keys
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QPushButton *btnSelect = nullptr;
    QPushButton *btnHzDuty = nullptr;
    QPushButton *btnHold = nullptr;
    QPushButton *btnSerialOrRel = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QPushButton *btnMaxMin = nullptr;
    QPushButton *btnExitMaxMin = nullptr;
    QPushButton *btnLight = nullptr;
    QPushButton *btnRange = nullptr;
    QPushButton *btnExitRange = nullptr;

    QTableWidget *tableWidget = nullptr;

    QMenuBar *menubar = nullptr;
    QMenu *menu_file = nullptr;
    QMenu *menu_setting = nullptr;
    QMenu *menu_help = nullptr;
    QStatusBar *statusbar = nullptr;
    QToolBar *toolBar = nullptr;

    void setupUi(QMainWindow *MainWindow);
    void retranslateUi(QMainWindow *MainWindow);
};

} // namespace Ui
QT_END_NAMESPACE

#endif // MAINWINDOWFORM_H
