// The whole recording in the window, fed from a terminal standing in for the
// meter: the history chart in the curve's place, the statistics in the status
// bar, the limits (row colour, journal line, status text) and journals
// opened again into the history chart.
#include "mainwindow.h"

#include "app/appconfig.h"
#include "decoder/frameencoder.h"
#include "decoder/limitwatch.h"
#include "display/historyview.h"
#include "display/statisticslabel.h"
#include "output/journalwriter.h"
#include "tests/modaldialog.h"
#include "tests/testmeter.h"

#include <QAction>
#include <QChartView>
#include <QComboBox>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QFileDialog>
#include <QLineEdit>
#include <QLineSeries>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

using Meter = TestMeter;

QString configPath()
{
    return AppConfig::configPath(QCoreApplication::applicationDirPath());
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

QTableWidget *tableOf(MainWindow *window)
{
    return window->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
}

QAction *action(MainWindow *window, const char *name)
{
    return window->findChild<QAction *>(QLatin1String(name));
}

// Sends one reading and waits for its row.
bool record(MainWindow *window, Meter *meter, const char *digits, const char *unit)
{
    const int rows = tableOf(window)->rowCount();
    if (!meter->send(digits, unit))
        return false;
    return QTest::qWaitFor([&] { return tableOf(window)->rowCount() == rows + 1; }, 10000);
}

int pointsIn(const DecimatedSegment &segment)
{
    int points = 0;
    for (const auto &run : segment.runs)
        points += run.size();
    return points;
}

} // namespace

class tst_HistoryChart : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(writeFile(configPath(), "[Journal]\nfolder=" + m_dir->filePath("rec").toUtf8()
                                            + "\n[Time]\ntimeInterval=100\n"));
    }
    void cleanup()
    {
        QFile::remove(configPath());
        m_dir.reset();
    }

    // History on, readings arrive across a dropped and reopened link: the
    // view holds them all, broken at the gap; the status bar's figures start
    // again at the open; zoom gives the figures of what is in view.
    void historyAndStatisticsFollowTheReadings()
    {
        MainWindow window;
        window.resize(1366, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *chartView = window.findChild<QtCharts::QChartView *>(QStringLiteral("chartView"));
        auto *history = window.findChild<HistoryView *>();
        auto *statistics = window.findChild<StatisticsLabel *>();
        QVERIFY(chartView && history && statistics);
        const QRect chartGeometry = chartView->geometry();
        QVERIFY(!history->isVisible());

        action(&window, "act_historyChart")->trigger();
        QVERIFY(history->isVisible() && !chartView->isVisible());
        QCOMPARE(history->geometry(), chartGeometry);

        auto first = std::make_unique<Meter>();
        window.openPortNamed(first->path);
        for (const char *digits : {"1.000", "3.000", "2.000"})
            QVERIFY(record(&window, first.get(), digits, "V"));
        QTRY_VERIFY(statistics->toolTip().contains("Count: 3"));
        QVERIFY2(statistics->text().endsWith("n 3  min 1  max 3  mean 2  sd 1 V"),
                 qPrintable(statistics->text()));

        QSignalSpy dropped(&window, &MainWindow::linkDropped);
        first->hangUp();
        QTRY_COMPARE_WITH_TIMEOUT(dropped.count(), 1, 10000);
        Meter second;
        window.openPortNamed(second.path);
        QVERIFY(record(&window, &second, "5000", "mV"));
        QVERIFY2(statistics->text().endsWith("n 1  min 5000  max 5000  mean 5000  sd 0 mV"),
                 qPrintable(statistics->text()));

        // One segment in volts, its line broken where the link was lost.
        const ReadingHistory &readings = history->liveHistory();
        QCOMPARE(readings.size(), qsizetype(4));
        QCOMPARE(readings.segments().size(), size_t(1));
        QCOMPARE(readings.valueAt(3), 5.0f);
        const std::vector<DecimatedSegment> &drawn = history->drawnSegments();
        QCOMPARE(drawn.size(), size_t(1));
        QCOMPARE(drawn[0].runs.size(), 2);
        QCOMPARE(drawn[0].runs[0].size(), 3);
        QCOMPARE(pointsIn(drawn[0]), 4);
        QCOMPARE(history->visibleStatistics().count(), qint64(4));

        // Zoomed to the first two readings; double-click for all again.
        QSignalSpy ranges(history, &HistoryView::rangeChanged);
        history->setRange(readings.timeAt(0), readings.timeAt(1));
        QVERIFY(!history->showsAll());
        const ReadingStatistics zoomed = history->visibleStatistics();
        QCOMPARE(zoomed.count(), qint64(2));
        QCOMPARE(zoomed.mean(), 2.0);
        QTest::mouseDClick(history, Qt::LeftButton, {}, history->plotRect().center());
        QVERIFY(history->showsAll());
        QCOMPARE(ranges.count(), 2);

        action(&window, "act_resetStatistics")->trigger();
        QCOMPARE(statistics->statistics().current().count(), qint64(0));

        action(&window, "act_historyChart")->trigger();
        QVERIFY(!history->isVisible() && chartView->isVisible());
        QCOMPARE(chartView->geometry(), chartGeometry);
    }

    // Limits set in the dialog (in the unit shown) are kept in config.ini;
    // a run outside colours its rows, shows the limit lines and the status
    // text, and makes one journal line on the way out and one on the way back.
    void limitCrossingsColourRowsAndGoToTheJournal()
    {
        MainWindow window;
        window.resize(1366, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Meter meter;
        window.openPortNamed(meter.path);
        QVERIFY(record(&window, &meter, "1000", "mV"));

        whenModal<QDialog>(&window, [](QDialog *dialog) {
            QVERIFY(QTest::qWaitForWindowExposed(dialog));
            QCOMPARE(dialog->findChild<QComboBox *>("unitBox")->currentText(), QString("mV"));
            QTest::mouseClick(dialog->findChild<QCheckBox *>("enabledBox"), Qt::LeftButton);
            auto *high = dialog->findChild<QLineEdit *>("highEdit");
            QTest::mouseClick(high, Qt::LeftButton);
            QTest::keyClicks(high, "2500");
            QTest::mouseClick(dialog->findChild<QDialogButtonBox *>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
        });
        action(&window, "act_limits")->trigger();
        const AppConfig::LimitSettings stored = AppConfig::readLimitSettings(configPath());
        QVERIFY(stored.enabled);
        QCOMPARE(stored.high, std::optional<double>(2500));
        QVERIFY(!stored.low);
        QCOMPARE(stored.unit, QString("mV"));
        // The other sections stay.
        QCOMPARE(AppConfig::readTimeInterval(configPath()), 100);

        auto *label = window.findChild<QLabel *>(QStringLiteral("limitLabel"));
        auto *highLine = window.findChild<QtCharts::QChartView *>(QStringLiteral("chartView"))
                             ->chart()->findChild<QtCharts::QLineSeries *>(QStringLiteral("highLimitLine"));
        QVERIFY(label);
        for (const char *digits : {"3.000", "3.500"})
            QVERIFY(record(&window, &meter, digits, "V"));
        QTRY_VERIFY(label->isVisible());
        // The latest reading outside, as the panel shows it.
        QCOMPARE(label->text(), QString("Above the high limit: 3.5 V"));
        if (highLine)
            QVERIFY(highLine->isVisible());
        QVERIFY(record(&window, &meter, "2.000", "V"));
        QVERIFY(!label->isVisible());

        // The rows outside are drawn light red, cell by cell.
        QTableWidget *table = tableOf(&window);
        table->clearSelection();
        for (int row = 0; row < 4; ++row) {
            const bool outside = row == 1 || row == 2;
            table->scrollToItem(table->item(row, 0));
            const QImage drawn = table->viewport()->grab().toImage();
            for (int column = 0; column < table->columnCount(); ++column) {
                const QRect cell = table->visualItemRect(table->item(row, column));
                QCOMPARE(drawn.pixelColor(cell.left() + 1, cell.center().y()) == QColor(255, 190, 190), outside);
            }
        }

        const QStringList files = QDir(m_dir->filePath("rec")).entryList({"*.csv"}, QDir::Files);
        QCOMPARE(files.size(), 1);
        QFile journal(m_dir->filePath("rec/" + files[0]));
        QVERIFY(journal.open(QIODevice::ReadOnly));
        QStringList limitLines;
        for (const QByteArray &line : journal.readAll().split('\n')) {
            if (line.startsWith("# limit:"))
                limitLines << QString::fromUtf8(line.trimmed());
        }
        QCOMPARE(limitLines.size(), 2);
        QVERIFY2(limitLines[0].endsWith(" high 3 V") && limitLines[1].endsWith(" ok 2 V"),
                 qPrintable(limitLines.join('|')));
    }

    // A journal as the window writes it and the recorder's output both open read-only into the history chart; a file that is no journal
    // says which line was wrong.
    void openARecording_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("readings"); // -1: not a journal
        QTest::addColumn<QString>("message");
        const QDateTime t(QDate(2026, 12, 7), QTime(9, 47, 28));
        auto row = [&](int n, const char *digits, const char *unit) {
            MeterDisplay shown;
            shown.digits = QString::fromUtf8(digits);
            shown.unit = QString::fromUtf8(unit);
            shown.dc = true;
            QByteArray frame;
            encodeFrame(shown, &frame);
            RecordedReading recorded{n, t.addSecs(n), *MeterReading::fromFrame(frame)};
            return JournalWriter::rowLine(JournalWriter::rowFor(recorded));
        };
        const QByteArray header = JournalWriter::csvLine(JournalWriter::headerCells());
        QTest::newRow("the window's journal, a gap and a limit line")
            << header + row(1, "1.234", "V") + row(2, "1.240", "V")
                   + JournalWriter::commentLine(JournalWriter::gapComment(t.addSecs(3), "port closed"))
                   + row(3, "5.100", "V")
            << 3 << QString();
        LimitCrossing crossing;
        crossing.state = LimitCrossing::State::High;
        crossing.value = 2190000;
        crossing.valueText = "2190000";
        crossing.unit = "Ω";
        crossing.time = t.addSecs(2);
        QTest::newRow("the recorder's output with a limit line")
            << header + row(1, "4.68", "kΩ") + row(2, "2.19", "MΩ")
                   + JournalWriter::commentLine(JournalWriter::limitComment(crossing))
            << 2 << QString();
        QTest::newRow("a date that is no date on line 3")
            << header + row(1, "1.234", "V") + QByteArray("2,DC,1.0,V,2026/13/07 09:00:00,2026-13-07T09:00:00,1.0\r\n")
            << -1 << "Cannot open the recording file.csv: line 3: ";
        QTest::newRow("not a journal at all") << QByteArray("hello\n") << -1
                                              << "Cannot open the recording file.csv: line 1: ";
    }
    void openARecording()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, readings);
        QFETCH(QString, message);
        const QString path = m_dir->filePath("file.csv");
        QVERIFY(writeFile(path, content));

        MainWindow window;
        window.resize(1366, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *history = window.findChild<HistoryView *>();
        whenModal<QFileDialog>(&window, [path](QFileDialog *dialog) {
            auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
            QVERIFY(name);
            name->setText(path);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        action(&window, "act_openRecording")->trigger();

        if (readings < 0) {
            const QString shown = window.statusBar()->currentMessage();
            QVERIFY2(shown.startsWith(message), qPrintable(shown));
            QVERIFY(!history->isShowingRecording());
            return;
        }
        QVERIFY(history->isVisible());
        QVERIFY(history->isShowingRecording());
        QVERIFY(history->title().contains("file.csv"));
        QCOMPARE(history->shownHistory().size(), qsizetype(readings));
        QCOMPARE(history->visibleStatistics().count(), qint64(readings));
        // kΩ then MΩ: one segment in kΩ.
        if (readings == 2)
            QCOMPARE(history->shownHistory().valueAt(1), 2190.0f);
        else
            QCOMPARE(history->drawnSegments().at(0).runs.size(), 2);

        auto *back = history->findChild<QToolButton *>(QStringLiteral("historyLiveButton"));
        QVERIFY(back && back->isVisible());
        back->click();
        QVERIFY(!history->isShowingRecording());
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(tst_HistoryChart)
#include "tst_historychart.moc"
