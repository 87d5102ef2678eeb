// How the recording path holds up over a long session: the real window,
// offscreen, fed meter frames through the decoder as fast as it takes them.
//
// Reports, after 1,000, 10,000 and 100,000 recorded readings, the time of one
// reading (decode, panel, table row, curve point; with and without the event
// loop's deferred layout and painting that follows each poll tick), the
// resident memory added per recorded row and the curve's point count; also
// the recording journal's share of a reading (one CSV line handed to the
// operating system, mean of all lines) and the cost of one sync to the disk,
// which the window does at most every 10 s. The journal goes to a temporary
// folder.
//
// The curve works on wall-clock time. To record a day's worth of readings in
// seconds, the window's clock is replaced by one that advances by one
// sampling interval per reading, exactly as a meter on a 1 s interval would.
//
// Usage: displaybench [--readings N] [--hidden] [--screenshot FILE]
//   --hidden      leave the window unshown (nothing is laid out or painted)
//   --screenshot  record 30 readings, save a picture of the window, stop
#include "benchtools.h"
#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"
#include "journal/journalkeeper.h"
#include "journal/journalwriter.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QChartView>
#include <QLineSeries>
#include <QPixmap>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QDateTime g_now;
QDateTime benchNow()
{
    return g_now;
}

// Debug lines are formatted as usual but go nowhere: the terminal would
// otherwise be the slowest part of the program.
void dropMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtDebugMsg && type != QtInfoMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// A DC voltage frame showing d.ddd V, the digits taken from n.
QByteArray frameText(int n)
{
    static const quint8 Segments[10] = {0x5f, 0x50, 0x3d, 0x79, 0x72,
                                        0x6b, 0x6f, 0x51, 0x7f, 0x7b};
    const int counts = n % 6000;
    QByteArray frame(20, '\0');
    frame[0] = char(0xA5);
    frame[2] = char(0x04);  // V
    frame[4] = char(0x10);  // AUTO
    frame[8] = char(Segments[counts / 1000] | 0x80);
    frame[7] = char(Segments[counts / 100 % 10]);
    frame[6] = char(Segments[counts / 10 % 10]);
    frame[5] = char(Segments[counts % 10]);
    frame[9] = char(0x02);  // DC
    frame[18] = char(0x02); // meter version 2
    unsigned sum = 0;
    for (int i = 0; i < 19; ++i)
        sum += quint8(frame.at(i));
    frame[19] = char(sum & 0xff);
    return frame.toHex();
}

// A steady reading with small changes, as a meter on a bench supply shows it.
const int MeasuredCounts[] = {1234, 1236, 1235, 1233, 1234, 1237, 1235, 1232};
const int MeasuredCountCount = int(sizeof(MeasuredCounts) / sizeof(MeasuredCounts[0]));

} // namespace

class DisplayBench
{
public:
    DisplayBench(int readings, bool shown) : m_readings(readings), m_shown(shown) {}
    int run();
    QString m_screenshot;

private:
    void record(int count);
    void measure(int atRows);

    MainWindow *m_window = nullptr;
    int m_readings;
    bool m_shown;
    int m_recorded = 0;
    long m_rssAtFirstCheckpoint = 0;
    int m_rowsAtFirstCheckpoint = 0;
    double m_firstReadingUs = 0.0;

    // One reading as the poll tick takes it: a frame showing the given counts.
    void oneReading(int counts)
    {
        g_now = g_now.addMSecs(m_window->m_config.timeIntervalMs);
        m_window->decodeFrame(frameText(counts));
        ++m_recorded;
    }
};

void DisplayBench::record(int count)
{
    for (int i = 0; i < count; ++i) {
        oneReading(m_recorded % 6000);
        if (i % 64 == 63)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
}

// The machine may be busy with other work: each figure is the median of a
// round of readings, and the best of three rounds is reported.
void DisplayBench::measure(int atRows)
{
    const int rounds = 3;
    const int perRound = 200;
    auto median = [](std::vector<qint64> v) {
        std::sort(v.begin(), v.end());
        return double(v[v.size() / 2]) / 1000.0;
    };
    double readingUs = 1e12, tickUs = 1e12, rowUs = 1e12, pointUs = 1e12, journalUs = 1e12;
    QElapsedTimer timer;
    for (int round = 0; round < rounds; ++round) {
        std::vector<qint64> decodeNs, tickNs, rowNs, pointNs;
        qint64 journalNs = 0;
        // The same readings at every checkpoint: what is drawn depends on them.
        for (int i = 0; i < perRound; ++i) {
            timer.start();
            oneReading(MeasuredCounts[i % MeasuredCountCount]);
            decodeNs.push_back(timer.nsecsElapsed());
            QCoreApplication::processEvents();
            tickNs.push_back(timer.nsecsElapsed());
        }
        // Where the time goes: the table row and the curve point on their own.
        for (int i = 0; i < perRound; ++i) {
            g_now = g_now.addMSecs(m_window->m_config.timeIntervalMs);
            timer.start();
            m_window->addTableRow(QStringLiteral("DC"), QStringLiteral("1.234"),
                                  QStringLiteral("V"), QStringLiteral("2026/12/07 09:31:34"));
            rowNs.push_back(timer.nsecsElapsed());
            timer.start();
            m_window->updateChart(1.234, QStringLiteral("DC"));
            pointNs.push_back(timer.nsecsElapsed());
        }
        // The journal's line on its own (a decoded reading above includes it).
        for (int i = 0; i < perRound; ++i) {
            g_now = g_now.addMSecs(m_window->m_config.timeIntervalMs);
            const RecordedReading recorded{i + 1, g_now, m_window->m_reading};
            timer.start();
            m_window->m_journalKeeper->addReading(recorded);
            journalNs += timer.nsecsElapsed();
        }
        QCoreApplication::processEvents();
        readingUs = std::min(readingUs, median(decodeNs));
        tickUs = std::min(tickUs, median(tickNs));
        rowUs = std::min(rowUs, median(rowNs));
        pointUs = std::min(pointUs, median(pointNs));
        journalUs = std::min(journalUs, double(journalNs) / perRound / 1000.0);
    }

    // Repainting, widget by widget.
    auto repaintUs = [&](QWidget *widget) {
        std::vector<qint64> ns;
        for (int i = 0; i < 50; ++i) {
            timer.start();
            widget->repaint();
            ns.push_back(timer.nsecsElapsed());
        }
        return median(ns);
    };
    const double chartPaintUs = repaintUs(m_window->ui->chartView->viewport());
    const double tablePaintUs = repaintUs(m_window->ui->tableWidget->viewport());
    const double panelPaintUs = repaintUs(m_window->ui->widget);
    const double windowPaintUs = repaintUs(m_window);
    std::printf("    repaint alone: chart %.1f us, table %.1f us, panel %.1f us, whole window %.1f us\n",
                chartPaintUs, tablePaintUs, panelPaintUs, windowPaintUs);

    const long rss = residentBytes();
    const int rows = m_window->ui->tableWidget->rowCount();
    if (m_rowsAtFirstCheckpoint == 0) {
        m_rowsAtFirstCheckpoint = rows;
        m_rssAtFirstCheckpoint = rss;
        m_firstReadingUs = readingUs;
    }
    const double perRow = rows > m_rowsAtFirstCheckpoint
                              ? double(rss - m_rssAtFirstCheckpoint)
                                    / double(rows - m_rowsAtFirstCheckpoint)
                              : 0.0;
    std::printf("after %6d rows: one reading %6.1f us (%.2f x the first) |"
                " with the event loop's repaint %7.1f us | table row %5.1f us |"
                " curve point %5.1f us | journal line %4.1f us (mean) | curve %3d points |"
                " RSS %6.1f MB | %5.0f bytes/row since the first checkpoint\n",
                atRows, readingUs, readingUs / m_firstReadingUs, tickUs, rowUs, pointUs, journalUs,
                m_window->m_series->count(), double(rss) / 1048576.0, perRow);
    std::fflush(stdout);
}

// One sync of a journal to the disk, median of a few.
double journalSyncUs(const QString &folder)
{
    std::vector<qint64> ns;
    QElapsedTimer timer;
    for (int i = 0; i < 9; ++i) {
        JournalWriter writer;
        if (!writer.openFile(QStringLiteral("%1/sync-%2.csv").arg(folder).arg(i)))
            return -1.0;
        for (int row = 0; row < 10; ++row)
            writer.append({{QString::number(row + 1), QStringLiteral("DC"), QStringLiteral("1.234"),
                            QStringLiteral("V"), QStringLiteral("2026/12/07 09:31:34")},
                           QDateTime::currentDateTime(), QStringLiteral("1.234")});
        timer.start();
        writer.close();
        ns.push_back(timer.nsecsElapsed());
    }
    std::sort(ns.begin(), ns.end());
    return double(ns[ns.size() / 2]) / 1000.0;
}

int DisplayBench::run()
{
    QTemporaryDir journalFolder;
    MainWindow window;
    m_window = &window;
    window.m_journalKeeper->setSettings({true, journalFolder.path()});
    window.m_config.timeIntervalMs = 1000;
    g_now = QDateTime::currentDateTime();
    window.m_now = &benchNow;
    if (m_shown) {
        window.show();
        if (!QTest::qWaitForWindowExposed(&window))
            std::fprintf(stderr, "window not exposed\n");
    }

    if (!m_screenshot.isEmpty()) {
        window.ui->lbLogo->hide(); // the link lifts the start-up cover
        for (int i = 0; i < 30; ++i) {
            oneReading(1234 + 37 * i);
            QCoreApplication::processEvents();
        }
        const bool saved = window.grab().save(m_screenshot);
        m_window = nullptr;
        return saved ? 0 : 1;
    }

    std::printf("display benchmark: window %s; times are medians, best of 3 rounds\n",
                m_shown ? "shown offscreen" : "hidden");
    std::printf("journal: one sync to the disk %.1f us (on a worker thread, at most once per 10 s), in %s\n",
                journalSyncUs(journalFolder.path()), qPrintable(journalFolder.path()));
    const int checkpoints[] = {1000, 10000, 100000, 1000000};
    for (int checkpoint : checkpoints) {
        if (checkpoint > m_readings)
            break;
        record(checkpoint - m_window->ui->tableWidget->rowCount());
        measure(checkpoint);
    }
    m_window = nullptr;
    return 0;
}

int main(int argc, char *argv[])
{
    qInstallMessageHandler(dropMessages);
    QApplication app(argc, argv);
    int readings = 100000;
    bool shown = true;
    QString screenshot;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--readings") && i + 1 < args.size())
            readings = args.at(++i).toInt();
        else if (args.at(i) == QLatin1String("--hidden"))
            shown = false;
        else if (args.at(i) == QLatin1String("--screenshot") && i + 1 < args.size())
            screenshot = args.at(++i);
    }
    DisplayBench bench(readings, shown);
    bench.m_screenshot = screenshot;
    return bench.run();
}
