// The whole recording in the window, fed from a terminal standing in for the
// meter: the history chart in the curve's place, the statistics in the status
// bar, the limits (row colour, journal line, status text) and journals
// opened again into the history chart.
#include "mainwindow/mainwindow.h"

#include "config/appconfig.h"
#include "meter/frameencoder.h"
#include "limits/limitwatch.h"
#include "widgets/historyview.h"
#include "widgets/statisticslabel.h"
#include "journal/journalwriter.h"
#include "support/modaldialog.h"
#include "support/testmeter.h"

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
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <cstdio>
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

// A journal of `rows` readings a second apart from 2026-11-01, written
// fast: the function's value only (the reader takes the ISO time).
bool writeBigJournal(const QString &path, int rows)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QByteArray text = JournalWriter::csvLine(JournalWriter::headerCells());
    char line[128];
    for (int i = 0; i < rows; ++i) {
        const int day = i / 86400, second = i % 86400;
        const int n = std::snprintf(line, sizeof line, "%d,DC,3.%03d,V,,2026-11-%02dT%02d:%02d:%02dZ,3.%03d\n",
                                    i + 1, i % 1000, 1 + day, second / 3600, second / 60 % 60,
                                    second % 60, i % 1000);
        text.append(line, n);
        if (text.size() > (1 << 20)) {
            if (file.write(text) != text.size())
                return false;
            text.clear();
        }
    }
    return file.write(text) == text.size();
}

// Opens `path` with File → Open a recording…
void openWithTheMenu(MainWindow *window, const QString &path)
{
    whenModal<QFileDialog>(window, [path](QFileDialog *dialog) {
        dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    action(window, "act_openRecording")->trigger();
}

// A widget the user can see: shown, inside the window, not covered by
// another visible child of the same parent.
bool reachable(QWidget *widget, QWidget *window)
{
    if (!widget->isVisible())
        return false;
    const QRect area(widget->mapTo(window, QPoint()), widget->size());
    return window->rect().contains(area)
        && window->childAt(area.center()) != nullptr
        && (window->childAt(area.center()) == widget || widget->isAncestorOf(window->childAt(area.center())));
}

// WCAG contrast of two colours.
double contrast(QRgb a, QRgb b)
{
    auto luminance = [](QRgb c) {
        auto channel = [](int v) {
            const double x = v / 255.0;
            return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(qRed(c)) + 0.7152 * channel(qGreen(c)) + 0.0722 * channel(qBlue(c));
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QHash<QRgb, int> colourCounts(const QImage &image, const QRect &area)
{
    QHash<QRgb, int> counts;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            ++counts[image.pixel(x, y) | 0xff000000];
    return counts;
}

QRgb commonest(const QHash<QRgb, int> &counts)
{
    QRgb colour = 0;
    int most = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.value() > most) {
            most = it.value();
            colour = it.key();
        }
    }
    return colour;
}

// The contrast of the text in an area of a picture: its commonest colour
// against the pixel that stands out most from it.
double textContrast(const QImage &image, const QRect &area)
{
    const QHash<QRgb, int> counts = colourCounts(image, area);
    const QRgb background = commonest(counts);
    double best = 1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        best = std::max(best, contrast(background, it.key()));
    return best;
}

int pixelsOf(const QImage &image, const QRect &area, QRgb colour)
{
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += (image.pixel(x, y) | 0xff000000) == (colour | 0xff000000);
    return count;
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
            QTRY_VERIFY2(window.statusBar()->currentMessage().startsWith(message),
                         qPrintable(window.statusBar()->currentMessage()));
            QVERIFY(!history->isShowingRecording());
            return;
        }
        QTRY_VERIFY(history->isShowingRecording());
        QVERIFY(history->isVisible());
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

    // A big recording is read while the window goes on recording: its
    // progress shows over the chart with a Cancel button that stops it; a
    // second open runs to its end; the live run is never broken.
    void aBigRecordingOpensWhileRecording()
    {
        const int rows = 1500000;
        const QString path = m_dir->filePath("big.csv");
        QVERIFY(writeBigJournal(path, rows));
        MainWindow window;
        window.resize(1024, 668);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        Meter meter;
        QSignalSpy dropped(&window, &MainWindow::linkDropped);
        window.openPortNamed(meter.path);
        QTimer sender;
        connect(&sender, &QTimer::timeout, [&meter] { meter.send("1.000", "V"); });
        sender.start(40);
        auto *history = window.findChild<HistoryView *>();
        auto *panel = history->findChild<QWidget *>(QStringLiteral("historyProgress"));
        auto *cancel = history->findChild<QPushButton *>(QStringLiteral("historyCancelButton"));
        QVERIFY(panel && cancel);
        QTRY_VERIFY(tableOf(&window)->rowCount() > 0);

        openWithTheMenu(&window, path);
        QTRY_VERIFY_WITH_TIMEOUT(panel->isVisible(), 20000);
        QVERIFY(history->isVisible());
        QVERIFY(reachable(cancel, &window));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!panel->isVisible());
        QVERIFY(!history->isShowingRecording());

        openWithTheMenu(&window, path);
        QTRY_VERIFY_WITH_TIMEOUT(history->isShowingRecording(), 60000);
        QVERIFY(!panel->isVisible());
        QCOMPARE(history->shownHistory().size(), qsizetype(rows));
        const int recorded = tableOf(&window)->rowCount();
        QTRY_VERIFY(tableOf(&window)->rowCount() > recorded);
        QCOMPARE(dropped.count(), 0);
        QVERIFY(history->liveHistory().gaps().empty());
        QCOMPARE(history->liveHistory().size(), qsizetype(tableOf(&window)->rowCount()));
    }

    // Each function in view on a lane of its own with its own scale; the
    // pointer over a lane reads out the nearest reading of its function.
    void eachFunctionOnItsOwnScale_data()
    {
        QTest::addColumn<QStringList>("functions");
        QTest::addColumn<int>("pointedLane");
        QTest::addColumn<QString>("readout");
        QTest::newRow("one function") << QStringList{"DC"} << 0 << "-4.6 V  DC";
        QTest::newRow("DC and AC, pointing at DC") << QStringList{"DC", "AC"} << 0 << "-4.6 V  DC";
        QTest::newRow("DC and AC, pointing at AC") << QStringList{"DC", "AC"} << 1 << "232.6 V  AC";
        QStringList many{"DC", "AC"};
        for (int i = 2; i < 12; ++i)
            many << QString("F%1").arg(i);
        QTest::newRow("more functions than lanes of full height") << many << 11 << "33 V  F11";
    }
    void eachFunctionOnItsOwnScale()
    {
        QFETCH(QStringList, functions);
        QFETCH(int, pointedLane);
        QFETCH(QString, readout);
        // A reading a second, the functions in turn, five each.
        QMap<QString, QVector<double>> values{{"DC", {0.129, -1.0, -4.6, -2.0, 0.1}},
                                              {"AC", {232.0, 232.2, 232.6, 232.4, 232.1}}};
        for (int i = 2; i < functions.size(); ++i)
            values[functions[i]] = {1.0 * i, 2.0 * i, 3.0 * i, 2.0 * i, 1.0 * i};
        QByteArray content = JournalWriter::csvLine(JournalWriter::headerCells());
        int n = 0;
        for (const QString &function : functions) {
            for (const double value : values[function]) {
                ++n;
                const QDateTime time = QDateTime(QDate(2026, 12, 7), QTime(9, 0), Qt::UTC).addSecs(n);
                content += QString("%1,%2,%3,V,,%4,%3\n")
                               .arg(n).arg(function).arg(value).arg(time.toString(Qt::ISODate)).toUtf8();
            }
        }
        const QString path = m_dir->filePath("two.csv");
        QVERIFY(writeFile(path, content));
        MainWindow window;
        window.resize(1366, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *history = window.findChild<HistoryView *>();
        openWithTheMenu(&window, path);
        QTRY_VERIFY(history->isShowingRecording());

        const std::vector<HistoryView::Lane> lanes = history->lanes();
        QCOMPARE(int(lanes.size()), functions.size());
        if (lanes.size() == 1)
            QCOMPARE(lanes[0].rect, history->plotRect());
        const QImage before = history->grab().toImage();
        const QRgb lineColours[] = {qRgb(0, 0, 255), qRgb(0, 128, 0)};
        for (int i = 0; i < int(lanes.size()); ++i) {
            const HistoryView::Lane &lane = lanes[size_t(i)];
            QCOMPARE(lane.function, functions[i]);
            QVERIFY(history->plotRect().contains(lane.rect));
            if (i > 0)
                QVERIFY(lane.rect.top() > lanes[size_t(i) - 1].rect.bottom());
            // Its scale spans its own values, and only about them.
            const auto [low, high] = std::minmax_element(values[lane.function].begin(), values[lane.function].end());
            QVERIFY(lane.low <= *low && lane.high >= *high);
            QVERIFY(lane.high - lane.low < 2 * (*high - *low));
            // Its line is drawn in its lane, no other.
            for (int j = 0; lanes.size() <= 2 && j < int(lanes.size()); ++j)
                QCOMPARE(pixelsOf(before, lanes[size_t(j)].rect, lineColours[i]) > 0, i == j);
        }

        // The pointer over the third reading of the lane: its time, value and unit.
        const HistoryView::Lane &lane = lanes[size_t(pointedLane)];
        const qint64 t = history->shownHistory().timeAt(5 * pointedLane + 2);
        const QRect plot = history->plotRect();
        const int x = plot.left()
            + int(double(t - history->rangeStart()) / double(history->rangeEnd() - history->rangeStart()) * plot.width());
        const QRgb readoutBackground = history->palette().color(QPalette::ToolTipBase).rgb();
        QCOMPARE(pixelsOf(before, plot, readoutBackground), 0);
        QTest::mouseMove(history, QPoint(x, lane.rect.center().y()));
        QTRY_COMPARE(history->pointerReadout(),
                     QDateTime::fromMSecsSinceEpoch(t).toString("yyyy-MM-dd hh:mm:ss.zzz") + "\n" + readout);
        const QImage pointed = history->grab().toImage();
        QVERIFY(pixelsOf(pointed, plot, readoutBackground) > 200);
    }

    // File → Save the chart as a picture… saves what is shown, the history
    // chart or the live curve, as PNG; its dialog starts in the last folder used.
    void theChartShownIsSavedAsAPicture_data()
    {
        QTest::addColumn<bool>("historyShown");
        QTest::addColumn<bool>("writable");
        QTest::newRow("the history chart") << true << true;
        QTest::newRow("the live curve") << false << true;
        QTest::newRow("a folder that is a file") << false << false;
    }
    void theChartShownIsSavedAsAPicture()
    {
        QFETCH(bool, historyShown);
        QFETCH(bool, writable);
        QDir(m_dir->path()).mkpath("rec");
        QDir(m_dir->path()).mkpath("elsewhere");
        const QString recording = m_dir->filePath("elsewhere/one.csv");
        QVERIFY(writeFile(recording, JournalWriter::csvLine(JournalWriter::headerCells())
                                         + "1,DC,1.5,V,,2026-12-07T09:00:00Z,1.5\n"));
        MainWindow window;
        window.resize(1366, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *history = window.findChild<HistoryView *>();
        QWidget *shown = window.findChild<QtCharts::QChartView *>(QStringLiteral("chartView"));
        QString startFolder = QDir(m_dir->filePath("rec")).absolutePath();
        if (historyShown) {
            openWithTheMenu(&window, recording);
            QTRY_VERIFY(history->isShowingRecording());
            shown = history;
            startFolder = QDir(m_dir->filePath("elsewhere")).absolutePath();
        }
        QVERIFY(shown->isVisible());

        QVERIFY(writeFile(m_dir->filePath("file"), "x"));
        const QString picture = m_dir->filePath(writable ? "chart.png" : "file/chart.png");
        QString dialogFolder;
        whenModal<QFileDialog>(&window, [&](QFileDialog *dialog) {
            dialogFolder = dialog->directory().absolutePath();
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(picture);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        action(&window, "act_saveChartPicture")->trigger();
        QCOMPARE(dialogFolder, startFolder);
        if (!writable) {
            QVERIFY(!QFile::exists(picture));
            QVERIFY2(window.statusBar()->currentMessage().startsWith("The picture was not saved: cannot write "),
                     qPrintable(window.statusBar()->currentMessage()));
            return;
        }
        QImage saved;
        QVERIFY(saved.load(picture, "PNG"));
        QCOMPARE(saved.convertToFormat(QImage::Format_RGB32),
                 shown->grab().toImage().convertToFormat(QImage::Format_RGB32));
    }

    // Under a light and a dark palette, the history chart's title, figures
    // and axis labels stand out from its background (WCAG 4.5:1).
    void chartLabelsAreReadable_data()
    {
        QTest::addColumn<bool>("dark");
        QTest::newRow("light palette") << false;
        QTest::newRow("dark palette") << true;
    }
    void chartLabelsAreReadable()
    {
        QFETCH(bool, dark);
        const QPalette original = QApplication::palette();
        QPalette palette = original;
        if (dark) {
            // As qt5ct's "darker" colour scheme sets it.
            for (const auto &[role, colour] : std::initializer_list<std::pair<QPalette::ColorRole, QColor>>{
                     {QPalette::Window, QColor(53, 53, 53)}, {QPalette::WindowText, Qt::white},
                     {QPalette::Base, QColor(42, 42, 42)}, {QPalette::AlternateBase, QColor(66, 66, 66)},
                     {QPalette::Text, Qt::white}, {QPalette::Button, QColor(53, 53, 53)},
                     {QPalette::ButtonText, Qt::white}, {QPalette::ToolTipBase, QColor(53, 53, 53)},
                     {QPalette::ToolTipText, Qt::white}, {QPalette::Highlight, QColor(42, 130, 218)}})
                palette.setColor(role, colour);
        }
        QApplication::setPalette(palette);
        auto restore = qScopeGuard([&] { QApplication::setPalette(original); });

        const QString path = m_dir->filePath("labels.csv");
        QVERIFY(writeFile(path, JournalWriter::csvLine(JournalWriter::headerCells())
                                    + "1,DC,1.5,V,,2026-12-07T09:00:00Z,1.5\n"
                                    + "2,DC,2.5,V,,2026-12-07T09:00:10Z,2.5\n"));
        MainWindow window;
        window.resize(1366, 700);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *history = window.findChild<HistoryView *>();
        openWithTheMenu(&window, path);
        QTRY_VERIFY(history->isShowingRecording());
        const QImage image = history->grab().toImage();
        const QRect plot = history->plotRect();
        const int line = history->fontMetrics().height();
        const QRect areas[] = {
            QRect(0, 2, history->width() / 3, line),             // the title
            QRect(0, 4 + line, history->width() / 2, line),      // the figures in view
            QRect(0, plot.top(), plot.left() - 2, plot.height()), // the value axis
            QRect(plot.left(), plot.bottom() + 3, plot.width(), 2 * line)}; // the time axis
        for (const QRect &area : areas) {
            const double ratio = textContrast(image, area);
            QVERIFY2(ratio >= 4.5, qPrintable(QString("%1 in %2,%3 %4x%5").arg(ratio)
                                                  .arg(area.x()).arg(area.y()).arg(area.width()).arg(area.height())));
        }
        // The background follows the palette.
        QCOMPARE(commonest(colourCounts(image, plot)), palette.color(QPalette::Base).rgb() | 0xff000000);
    }

private:
    std::unique_ptr<QTemporaryDir> m_dir;
};

QTEST_MAIN(tst_HistoryChart)
#include "tst_historychart.moc"
