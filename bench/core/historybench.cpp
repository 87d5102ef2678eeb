// What a month of readings costs the history chart: a reading a second for
// 31 days (2,678,400 readings) in a few function segments with gaps and
// overloads, kept as the window keeps them.
//
// Reports the memory per reading (bytes the history holds, and the growth
// of the resident memory), the time to reduce the whole month and a zoomed
// day and hour to a chart 1,000 pixel columns wide (best and median of
// several runs) with the points that gives, the time for the statistics of
// the whole month, and the time to read a journal of N rows (default
// 267,840: three days and a bit) back from a file, with its rate.
//
// Usage: historybench [--readings N] [--journal-rows N] [--runs N]
#include "benchtools.h"
#include "history/historydecimation.h"
#include "journal/journalreader.h"
#include "history/readinghistory.h"
#include "history/readingstatistics.h"
#include "journal/journalwriter.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const qint64 Start = QDateTime(QDate(2026, 11, 1), QTime(0, 0)).toMSecsSinceEpoch();
const int Columns = 1000;

struct Function {
    const char *name;
    const char *unit;
    double level;
};
const Function Functions[] = {{"DC", "V", 3.3}, {"Resistance", "kΩ", 4.68}, {"AC", "V", 230.0},
                              {"DC", "mV", 512.0}, {"Temperature", "℃", 21.5}};

// The month: the dial turned every 6 days, the link lost every 2 days for
// ten minutes (the readings go on after it), an overload now and then, ohms now and then in MΩ.
void fillMonth(ReadingHistory *history, qint64 readings,
               const std::function<void(qint64, const Function &, std::optional<double>)> &also = nullptr)
{
    QRandomGenerator random(7);
    const qint64 perFunction = 6 * 86400;
    const qint64 gapEvery = 2 * 86400;
    qint64 t = Start;
    for (qint64 i = 0; i < readings; ++i, t += 1000) {
        if (i % gapEvery == gapEvery - 1) {
            history->addGap();
            t += 600 * 1000;
        }
        const Function &f = Functions[(i / perFunction) % 5];
        std::optional<double> number = f.level * (1.0 + 0.1 * std::sin(double(i) / 3600.0))
            + random.bounded(0.01 * f.level);
        if (random.bounded(5000) == 0)
            number.reset();
        QString unit = QString::fromUtf8(f.unit);
        if (unit == QLatin1String("kΩ") && random.bounded(10) == 0) {
            unit = QStringLiteral("MΩ");
            number = number ? std::optional<double>(*number / 1000) : std::nullopt;
        }
        history->append(t, QString::fromUtf8(f.name), unit, number);
        if (also)
            also(t, f, number);
    }
}

// Best and median of runs, in milliseconds.
std::pair<double, double> timed(int runs, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

qsizetype pointCount(const std::vector<DecimatedSegment> &segments)
{
    qsizetype points = 0;
    for (const DecimatedSegment &segment : segments) {
        for (const QVector<QPointF> &run : segment.runs)
            points += run.size();
    }
    return points;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qint64 readings = 2678400;
    qint64 journalRows = 267840;
    int runs = 7;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == QLatin1String("--readings"))
            readings = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--journal-rows"))
            journalRows = args[i + 1].toLongLong();
        else if (args[i] == QLatin1String("--runs"))
            runs = std::max(1, args[i + 1].toInt());
    }

    const long before = residentBytes();
    ReadingHistory history;
    QElapsedTimer timer;
    timer.start();
    fillMonth(&history, readings);
    const double fillMs = double(timer.nsecsElapsed()) / 1e6;
    const long after = residentBytes();
    const qsizetype n = history.size();
    std::printf("readings: %lld in %zu segments, %zu gaps; appended in %.0f ms (%.0f ns each)\n",
                qlonglong(n), history.segments().size(), history.gaps().size(), fillMs, fillMs * 1e6 / double(n));
    std::printf("memory: %.2f bytes/reading held (capacity), %.2f bytes/reading resident (VmRSS +%.1f MB)\n",
                double(history.bytesHeld()) / double(n), double(after - before) / double(n),
                double(after - before) / 1048576.0);

    const qint64 t0 = history.timeAt(0);
    const qint64 t1 = history.timeAt(n - 1);
    const qint64 middle = t0 + (t1 - t0) / 2;
    struct Range {
        const char *name;
        qint64 from, to;
    };
    const Range ranges[] = {{"whole month", t0, t1},
                            {"one day", middle, middle + 86400000 - 1},
                            {"one hour", middle, middle + 3600000 - 1}};
    for (const Range &range : ranges) {
        std::vector<DecimatedSegment> result;
        const auto ms = timed(runs, [&] { result = decimateHistory(history, range.from, range.to, Columns); });
        std::printf("decimation, %s to %d columns: best %.1f ms, median %.1f ms; %lld points in %zu segments\n",
                    range.name, Columns, ms.first, ms.second, qlonglong(pointCount(result)), result.size());
    }

    ReadingStatistics whole;
    const auto statisticsMs = timed(runs, [&] {
        whole.reset();
        for (const ReadingHistory::Range &range : history.allRanges())
            whole.add(history, range.first, range.last);
    });
    std::printf("statistics, whole month (%lld numbers): best %.1f ms, median %.1f ms\n",
                qlonglong(whole.count()), statisticsMs.first, statisticsMs.second);
    ReadingStatistics day;
    const auto dayMs = timed(runs, [&] {
        day.reset();
        for (const ReadingHistory::Range &range : history.rangesIn(middle, middle + 86400000 - 1))
            day.add(history, range.first, range.last);
    });
    std::printf("statistics, one day (%lld numbers): best %.2f ms, median %.2f ms\n",
                qlonglong(day.count()), dayMs.first, dayMs.second);

    if (journalRows > 0) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("month.csv"));
        JournalWriter writer;
        writer.setDiskSync([](int) { return true; });
        writer.openFile(path);
        qint64 row = 0;
        ReadingHistory scratch;
        fillMonth(&scratch, journalRows, [&](qint64 ms, const Function &f, std::optional<double> number) {
            const QString value = number ? QString::number(*number, 'f', 3) : QString();
            const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms);
            writer.append({{QString::number(++row), QString::fromUtf8(f.name), value.isEmpty() ? QStringLiteral("0.L") : value,
                            QString::fromUtf8(f.unit), JournalWriter::tableTimeText(time)},
                           time, value});
        });
        writer.close();
        const qint64 bytes = QFile(path).size();
        ReadingHistory read;
        JournalReader reader;
        timer.start();
        const bool ok = reader.read(path, &read);
        const double readMs = double(timer.nsecsElapsed()) / 1e6;
        std::printf("journal: %lld rows (%.1f MB) read in %.0f ms%s: %.0f rows/s, a month in %.1f s\n",
                    qlonglong(read.size()), double(bytes) / 1048576.0, readMs,
                    ok ? "" : qPrintable(QStringLiteral(" (FAILED: %1)").arg(reader.errorString())),
                    double(read.size()) / readMs * 1000.0, 2678400.0 / double(read.size()) * readMs / 1000.0);
    }
    return 0;
}
