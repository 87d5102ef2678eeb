// Opening a month-long recording (2,678,400 rows, a reading a second) in the
// window while it records a meter that sends a new value every 40 ms, read
// every 100 ms: File → Open a recording… as a user does it, then back to the live
// recording, then the same file again.
//
// Reports for each open the time from the file dialog's OK to the history
// chart showing the file, the longest stall of the event loop over that time
// (a 2 ms timer's longest wait), the readings the live recording took and
// missed meanwhile and the oldest frame a row showed, and the resident
// memory before and after each open. Run by hand:
//   QT_QPA_PLATFORM=offscreen build/bench/window/recordingopenbench [--rows N]
#include "benchtools.h"
#include "meter/frameencoder.h"
#include "widgets/historyview.h"
#include "mainwindow/mainwindow.h"
#include "journal/journalwriter.h"
#include "support/modaldialog.h"
#include "support/testmeter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include <unistd.h>

namespace {

// The window decodes a frame every tick; the meter sends faster, as a
// real one does, so that every tick finds a new frame.
const int TickMs = 100;
const int MeterPeriodMs = 40;

void writeMonth(const QString &path, qint64 rows)
{
    JournalWriter writer;
    writer.setDiskSync([](int) { return true; });
    writer.openFile(path);
    const QDateTime start(QDate(2026, 11, 1), QTime(0, 0));
    for (qint64 i = 0; i < rows; ++i) {
        const QDateTime time = start.addSecs(i);
        const QString value = QString::number(3.3 + 0.3 * std::sin(double(i) / 3600.0), 'f', 3);
        writer.append({{QString::number(i + 1), QStringLiteral("DC"), value, QStringLiteral("V"),
                        JournalWriter::tableTimeText(time)},
                       time, value});
    }
    writer.close();
}

struct Figures {
    double openMs = 0, stallMs = 0;
    long rssBefore = 0, rssAfter = 0;
    int rows = 0;
    double oldestFrameMs = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    qint64 rows = 31LL * 24 * 3600;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--rows"))
            rows = args[i + 1].toLongLong();
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("month.csv"));
    writeMonth(path, rows);
    std::printf("journal: %lld rows, %.1f MB\n", rows, double(QFile(path).size()) / 1048576.0);

    // The window's settings beside the program: the recording in the
    // temporary folder, a tick every 100 ms.
    const QString config = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("config.ini"));
    QFile::remove(config);
    {
        QFile file(config);
        file.open(QIODevice::WriteOnly);
        file.write("[Journal]\nfolder=" + dir.filePath(QStringLiteral("rec")).toUtf8()
                   + "\n[Time]\ntimeInterval=" + QByteArray::number(TickMs) + "\n");
    }

    auto *window = new MainWindow;
    window->resize(1366, 768);
    window->show();
    if (!QTest::qWaitForWindowExposed(window))
        return 1;
    auto *history = window->findChild<HistoryView *>();
    TestMeter meter;
    window->openPortNamed(meter.path);

    // The meter sends its counter each period; a row shows the counter of
    // the frame it came from, so its age is known.
    // The meter on a thread of its own: it goes on sending whatever the
    // window does.
    std::atomic<int> count {0};
    std::atomic<bool> stop {false};
    std::mutex sentLock;
    std::map<int, qint64> sentAt;
    QElapsedTimer clock;
    clock.start();
    std::thread sender([&] {
        while (!stop) {
            const int n = ++count;
            meter.send(qPrintable(QString::number(n % 10000).rightJustified(4, QLatin1Char('0'))));
            {
                std::lock_guard<std::mutex> locked(sentLock);
                sentAt[n % 10000] = clock.elapsed();
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(MeterPeriodMs));
        }
    });
    Figures *current = nullptr;
    QObject::connect(window, &MainWindow::readingRecorded, [&](const RecordedReading &recorded) {
        if (!current)
            return;
        ++current->rows;
        const int shown = int(std::lround(recorded.reading.number().value_or(-1)));
        std::lock_guard<std::mutex> locked(sentLock);
        const auto sent = sentAt.find(shown);
        if (sent != sentAt.end())
            current->oldestFrameMs = std::max(current->oldestFrameMs, double(clock.elapsed() - sent->second));
    });
    QTest::qWait(1000);

    // The event loop's longest wait between two turns of a 2 ms timer.
    qint64 lastTurn = 0;
    double longest = 0;
    qint64 longestEnd = 0;
    QTimer turns;
    turns.setTimerType(Qt::PreciseTimer);
    QObject::connect(&turns, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        if (lastTurn > 0 && double(now - lastTurn) / 1e6 > longest) {
            longest = double(now - lastTurn) / 1e6;
            longestEnd = now;
        }
        lastTurn = now;
    });
    turns.start(2);

    auto open = [&](Figures *figures) {
        figures->rssBefore = residentBytes();
        qint64 okAt = 0;
        whenModal<QFileDialog>(window, [&](QFileDialog *dialog) {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
            okAt = clock.nsecsElapsed();
            longest = 0;
            lastTurn = clock.nsecsElapsed();
            current = figures;
            QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
        });
        window->findChild<QAction *>(QStringLiteral("act_openRecording"))->trigger();
        while (!history->isShowingRecording())
            QTest::qWait(1);
        // Until it is drawn.
        history->repaint();
        QTest::qWait(50);
        figures->openMs = double(clock.nsecsElapsed() - okAt) / 1e6;
        figures->stallMs = longest;
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            std::printf("longest stall ended %.0f ms after OK\n", double(longestEnd - okAt) / 1e6);
        current = nullptr;
        QTest::qWait(500);
        figures->rssAfter = residentBytes();
    };

    Figures first, second;
    open(&first);
    history->findChild<QToolButton *>(QStringLiteral("historyLiveButton"))->click();
    QTest::qWait(500);
    open(&second);
    const long rssLive = residentBytes();

    auto report = [](const char *name, const Figures &f) {
        std::printf("%s open: %.0f ms, longest event-loop stall %.1f ms, live rows %d in %d ticks, "
                    "oldest frame shown %.0f ms; RSS %.1f -> %.1f MB\n",
                    name, f.openMs, f.stallMs, f.rows, int(f.openMs / TickMs), f.oldestFrameMs,
                    double(f.rssBefore) / 1048576.0, double(f.rssAfter) / 1048576.0);
    };
    report("first ", first);
    report("second", second);
    std::printf("second open ends at %.1f %% of the first's RSS (after: %.1f MB)\n",
                100.0 * double(second.rssAfter) / double(first.rssAfter), double(rssLive) / 1048576.0);
    stop = true;
    sender.join();
    delete window;
    QFile::remove(config);
    return 0;
}
