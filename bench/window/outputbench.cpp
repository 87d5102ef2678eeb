// How long the exports take, and what they cost the GUI thread.
//
// Excel: a table of N rows (default 100,000) is exported as the menu action
// does after its file dialog. Reported: the time the GUI thread is blocked by
// starting the export (copying the table's texts, starting the worker), the
// longest gap between ticks of a 10 ms timer on the GUI thread while the
// worker writes (how responsive the window stays), the time until the file
// is complete, the file size, and the resident memory before, at the peak
// and after.
//
// PDF: a table of M rows (default 10,000, 334 pages) exported on the GUI
// thread; reported: the time until the file is complete, its size and pages.
// Printing: the same table on a printer writing PDF, timed likewise.
//
// Usage: outputbench [--excel-rows N] [--pdf-rows M] [--dir FOLDER] [--screenshot PNG]
//   --screenshot  save a picture of the Excel export's progress dialog
#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"
#include "export/filesavethread.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPixmap>
#include <QPrinter>
#include <QProgressDialog>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>

namespace {

const int TickMs = 10;

// Resident memory from /proc (Linux); 0 elsewhere.
double residentMB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

int intArgument(const QStringList &args, const QString &name, int fallback)
{
    const int at = args.indexOf(name);
    return at >= 0 && at + 1 < args.size() ? args.at(at + 1).toInt() : fallback;
}

} // namespace

class OutputBench
{
public:
    explicit OutputBench(const QString &dir)
        : m_dir(dir)
    {
    }

    // Readings as a meter on a 1 s interval gives them, cycling through functions.
    void fill(MainWindow &window, int rows)
    {
        struct Kind { const char *function; const char *unit; double scale; };
        static const Kind kinds[] = {{"DC", "V", 1.0},        {"AC", "mV", 100.0},
                                     {"Resistance", "kΩ", 10.0}, {"Temperature", "℃", 10.0},
                                     {"Capacitance", "µF", 1.0}, {"DC", "A", 0.1}};
        const int readingsPerKind = 50;
        QTableWidget *table = window.ui->tableWidget;
        const QDateTime start(QDate(2026, 12, 7), QTime(9, 0, 0));
        table->setRowCount(rows);
        for (int r = 0; r < rows; ++r) {
            const Kind &kind = kinds[(r / readingsPerKind) % 6];
            const double value = kind.scale * (1.5 + std::sin(r / 7.0));
            const QString texts[] = {QString::number(r + 1), QString::fromUtf8(kind.function),
                                     QString::number(value, 'f', 3), QString::fromUtf8(kind.unit),
                                     start.addSecs(r).toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"))};
            for (int c = 0; c < 5; ++c) {
                auto *item = new QTableWidgetItem(texts[c]);
                item->setTextAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
                table->setItem(r, c, item);
            }
        }
    }

    void excel(int rows)
    {
        MainWindow window;
        window.show();
        fill(window, rows);
        QCoreApplication::processEvents();
        const QString path = m_dir + QStringLiteral("/bench.xlsx");
        const double before = residentMB();

        QElapsedTimer clock;
        clock.start();
        window.startExcelExport(path);
        const qint64 blockedNs = clock.nsecsElapsed();
        FileSaveThread *worker = window.m_fileSaveThread;
        // No message box in a benchmark.
        QObject::disconnect(worker, &FileSaveThread::done, &window, &MainWindow::onExcelSaveDone);

        bool saved = false;
        QObject::connect(worker, &FileSaveThread::done, &window, [&saved] { saved = true; });
        QEventLoop loop;
        QObject::connect(worker, &QThread::finished, &loop, &QEventLoop::quit);
        double peak = before;
        bool progressShown = false;
        qint64 lastTick = clock.elapsed();
        qint64 longestGap = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
            const qint64 now = clock.elapsed();
            longestGap = qMax(longestGap, now - lastTick);
            lastTick = now;
            peak = qMax(peak, residentMB());
            for (QProgressDialog *dialog : window.findChildren<QProgressDialog *>()) {
                if (dialog->isVisible() && !progressShown && !m_screenshot.isEmpty())
                    dialog->grab().save(m_screenshot);
                progressShown = progressShown || dialog->isVisible();
            }
        });
        ticker.start(TickMs);
        if (!worker->isFinished())
            loop.exec();
        const qint64 doneMs = clock.elapsed();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();

        std::printf("Excel export, %d rows\n", rows);
        std::printf("  GUI thread blocked at start : %8.1f ms\n", blockedNs / 1e6);
        std::printf("  longest GUI tick gap        : %8lld ms (timer every %d ms)\n",
                    static_cast<long long>(longestGap), TickMs);
        std::printf("  complete after              : %8lld ms (%s)\n", static_cast<long long>(doneMs),
                    saved ? "saved" : "FAILED");
        std::printf("  file size                   : %8.2f MB\n", QFileInfo(path).size() / 1048576.0);
        std::printf("  progress dialog shown       : %8s\n", progressShown ? "yes" : "no");
        std::printf("  resident memory             : %8.1f MB before, %.1f MB peak, %.1f MB after\n",
                    before, peak, residentMB());
    }

    void pdf(int rows)
    {
        MainWindow window;
        window.show();
        fill(window, rows);
        QCoreApplication::processEvents();
        const QString path = m_dir + QStringLiteral("/bench.pdf");
        const double before = residentMB();
        QElapsedTimer clock;
        clock.start();
        const bool written = window.exportPdf(path);
        const qint64 ms = clock.elapsed();

        QProcess info;
        info.start(QStringLiteral("pdfinfo"), {path});
        info.waitForFinished();
        const auto pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)"))
                               .match(QString::fromUtf8(info.readAllStandardOutput()));

        std::printf("PDF export, %d rows\n", rows);
        std::printf("  complete after              : %8lld ms (%s)\n", static_cast<long long>(ms),
                    written ? "written" : "FAILED");
        std::printf("  pages                       : %8s\n",
                    qPrintable(pages.hasMatch() ? pages.captured(1) : QStringLiteral("?")));
        std::printf("  file size                   : %8.2f MB\n", QFileInfo(path).size() / 1048576.0);
        std::printf("  resident memory             : %8.1f MB before, %.1f MB after\n", before,
                    residentMB());
    }

    // The same table on a PDF-format printer, as Print does after its dialog.
    void print(int rows)
    {
        MainWindow window;
        fill(window, rows);
        const QString path = m_dir + QStringLiteral("/bench-print.pdf");
        QPrinter printer(QPrinter::ScreenResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        QElapsedTimer clock;
        clock.start();
        window.printTable(&printer);
        std::printf("Printing to a PDF printer, %d rows\n", rows);
        std::printf("  complete after              : %8lld ms\n", static_cast<long long>(clock.elapsed()));
        std::printf("  file size                   : %8.2f MB\n", QFileInfo(path).size() / 1048576.0);
    }

    QString m_screenshot; // where to save a picture of the Excel progress dialog

private:
    QString m_dir;
};

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir scratch;
    const int at = args.indexOf(QStringLiteral("--dir"));
    const QString dir = at >= 0 && at + 1 < args.size() ? args.at(at + 1) : scratch.path();
    QDir().mkpath(dir);

    OutputBench bench(dir);
    const int shot = args.indexOf(QStringLiteral("--screenshot"));
    if (shot >= 0 && shot + 1 < args.size())
        bench.m_screenshot = args.at(shot + 1);
    bench.excel(intArgument(args, QStringLiteral("--excel-rows"), 100000));
    bench.pdf(intArgument(args, QStringLiteral("--pdf-rows"), 10000));
    bench.print(intArgument(args, QStringLiteral("--pdf-rows"), 10000));
    std::fflush(stdout);
    return 0;
}
