#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "config/appconfig.h"
#include "meter/meterreading.h"
#include "history/curvescale.h"
#include "meter/recordedreading.h"

#include <QByteArray>
#include <QDateTime>
#include <QMainWindow>
#include <QSerialPort>
#include <QString>
#include <QStringList>

QT_BEGIN_NAMESPACE
class QAction;
class QCloseEvent;
class QDateTime;
class QLabel;
class QPainter;
class QPagedPaintDevice;
class QPrinter;
class QProgressDialog;
class QTableWidget;
class QTimer;
namespace Ui {
class MainWindow;
}
QT_END_NAMESPACE

namespace QtCharts {
class QChart;
class QLineSeries;
}

class FileSaveThread;
class HistoryView;
class JournalKeeper;
class LimitKeeper;
class RecordingLoader;
class StatisticsLabel;
class StatusStates;
struct PageGridGeometry;

class MainWindow : public QMainWindow
{
    Q_OBJECT

    // The tests and benchmarks drive the window's handlers directly.
    friend class tst_MainWindow;
    friend class tst_SerialLink;
    friend class tst_LinkDialogs;
    friend class tst_ReadingDisplay;
    friend class tst_Output;
    friend class tst_TextFit;
    friend class DisplayBench;
    friend class OutputBench;
    friend class tst_Journal;
    friend class tst_CurveScale;

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Opens the named port at 9600 8N1 as the port settings dialog and the
    // File menu would (serialconnection.cpp): `ravelo PORT`.
    void openPortNamed(const QString &portName);

signals:
    void sendAppInfo(QString appName, QString appVersion);
    // The port opened: a new run of readings begins.
    void linkOpened();
    // A reading went into the table (numbered as its row, dated as its time cell).
    void readingRecorded(const RecordedReading &recorded);
    // The link to the meter ended at `time`, for `reason` (LinkLoss words).
    void linkDropped(const QDateTime &time, const QString &reason);

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    // meter keys (metercommands.cpp)
    void on_btnSelect_clicked();
    void on_btnHzDuty_clicked();
    void on_btnSerialOrRel_clicked();
    void on_btnMaxMin_pressed();
    void on_btnMaxMin_released();
    void on_btnRange_pressed();
    void on_btnRange_released();
    void on_btnHold_pressed();
    void on_btnHold_released();
    // output (exportpath.cpp, excelexport.cpp, pdfexport.cpp, printing.cpp, help.cpp)
    void on_act_excel_triggered();
    void on_act_pdf_triggered();
    void on_act_print_triggered();
    void on_act_useDoc_triggered();
    void on_act_about_triggered();
    // more meter keys
    void on_btnExitMaxMin_clicked();
    void on_btnLight_clicked();
    void on_btnExitRange_clicked();

private:
    // application shell (mainwindow.cpp)
    void initUI();
    void fitTexts();
    void readConfig();
    void saveConfig();

    // meter link (frameacquisition.cpp, serialconnection.cpp, metercommands.cpp)
    void showSerialSetDlg();
    void openSerialPort();
    void closeSerialPort();
    void showTimeIntervalDlg();
    void readSerialData();
    void onPollTimeout();
    void dropLink(const QString &reason);
    void onSerialError(QSerialPort::SerialPortError error);
    bool isPortPresent();
    void sendMeterKey(quint8 keyCode);

    // reading decoder (framedecoder.cpp)
    void decodeFrame(QByteArray frameText);
    bool checkFrame(QByteArray frameText);
    // Each sub-decoder shows its part of the checked frame's reading.
    void decodeMainUnit(const MeterReading &reading);
    void decodeSubUnit(const MeterReading &reading);
    void decodeStatusFlags(const MeterReading &reading);
    void decodeDigits(const MeterReading &reading);
    void decodeModeFlags(const MeterReading &reading);

    // live display and recording (readingdisplay.cpp, sampletable.cpp, dynamiccurve.cpp)
    void updateDisplay();
    void addTableRow(QString functionText, QString valueText, QString unitText, QString timeText);
    void initChart();
    // `value` as the digits show it, in `unitText` (a unit without prefix
    // when empty).
    void updateChart(double value, QString functionText,
                     MeterReading::Kind kind = MeterReading::Kind::Ordinary,
                     const QString &unitText = QString());
    // the display's helpers: the clock every display time is read from (the
    // benchmark and tests may point m_now elsewhere), and the curve trimming.
    QDateTime currentDateTime() const;
    void dropHiddenCurvePoints(qint64 nowMs);

    // output (exportpath.cpp, excelexport.cpp, pdfexport.cpp, printing.cpp, help.cpp)
    void onExcelSaveDone();
    bool paintTable(QPainter *painter, QPagedPaintDevice *device, const PageGridGeometry &geometry,
                    const QString &progressLabel, const QString &progressTitle);
    // the output's helpers: the work below the file and print dialogs.
    void startExcelExport(const QString &filePath);
    QString askExportPath(const QString &filter, const QString &suffix);
    // Where a file dialog starts, and the folder of a file chosen in one.
    QString dialogFolder() const;
    void rememberFolder(const QString &chosenFile);
    void savePdf(const QString &filePath); // exports, then reports either way
    // False with the reason in *error, or an empty reason when the user cancelled.
    bool exportPdf(const QString &filePath, QString *error = nullptr);
    void printTable(QPrinter *printer);
    QStringList tableTexts() const;
    QProgressDialog *newProgressDialog(const QString &label, const QString &title, int maximum,
                                       Qt::WindowModality modality);
    void openUserGuide(bool compiledHelpViewer);

    // recording journal (journal.cpp): every table row also goes to a
    // CSV file in the recordings folder, its state shown in the status bar.
    void initJournal();
    void readJournalConfig(const QString &configPath);
    void openRecordingsFolder();

    // the whole recording (historychart.cpp): the history chart in
    // the curve's place, the statistics, the limits, recordings opened again.
    void initHistory();
    void readLimitConfig(const QString &configPath);
    void showLimitsDialog();
    void openRecording();
    void loadRecording(const QString &path);
    void saveChartPicture();

    Ui::MainWindow *ui = nullptr;
    QSerialPort *m_serialPort = nullptr;
    QtCharts::QChart *m_chart = nullptr;
    QTimer *m_pollTimer = nullptr;
    QString m_portName;
    AppConfig::Settings m_config;
    QLabel *m_statusLabel = nullptr;
    StatusStates *m_statusStates = nullptr; // the status bar's lasting states, right of the message
    QByteArray m_rxBuffer;
    QString m_unitText;
    QString mStrDataValue;
    QString m_functionText;
    QStringList m_fieldList;
    MeterReading m_reading; // the last frame that passed the check, decoded
    int m_axisSpan = 120;
    double curData = 0.0;
    QtCharts::QLineSeries *m_series = nullptr;
    QString m_lastCurveFunction;
    CurveScale m_curveScale; // each function's readings in one unit
    QTableWidget *m_tableWidget = nullptr;
    QString m_filePath;
    FileSaveThread *m_fileSaveThread = nullptr;
    QString m_lastFolder; // of the last file chosen in a file dialog
    bool m_isNegative = false;
    QString m_appName;
    QString m_appVersion;
    bool m_overRangePlot = false;
    int m_count = 0;

    // live display and recording (readingdisplay.cpp, sampletable.cpp, dynamiccurve.cpp)
    QDateTime (*m_now)() = nullptr;  // nullptr: the system clock
    QString m_lastFunctionCell;      // the previous row's texts, shared by
    QString m_lastValueCell;         // the next row when they repeat
    QString m_lastUnitCell;
    QString m_lastTimeCell;
    QDateTime m_rowTime;             // the time of the row being recorded

    // recording journal (journal.cpp)
    JournalKeeper *m_journalKeeper = nullptr;
    QAction *m_actOpenRecordings = nullptr;

    // the whole recording (historychart.cpp)
    HistoryView *m_historyView = nullptr;
    StatisticsLabel *m_statisticsLabel = nullptr;
    LimitKeeper *m_limitKeeper = nullptr;
    RecordingLoader *m_recordingLoader = nullptr;
};

#endif // MAINWINDOW_H
