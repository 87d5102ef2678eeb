// libFuzzer target: any file opened as a recording journal, through the
// reader, and what the history chart then does with the readings (the
// decimation for a chart, the statistics).
//
// The input's first byte sets the longest line the reader takes (16 to 4096
// bytes, so the limit is met often); the rest is the file. Besides the
// sanitizers, the invariants below abort on any wrong result.

#include "history/historydecimation.h"
#include "journal/journalreader.h"
#include "history/readinghistory.h"
#include "history/readingstatistics.h"

#include <QBuffer>
#include <QByteArray>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

void checkHistory(const ReadingHistory &history)
{
    for (qsizetype i = 1; i < history.size(); ++i)
        require(history.timeAt(i - 1) <= history.timeAt(i), "times never go back");
    const auto &segments = history.segments();
    require(segments.empty() == history.isEmpty(), "readings come in segments");
    require(segments.empty() || segments.front().start == 0, "the first segment starts at 0");
    for (size_t s = 0; s < segments.size(); ++s) {
        require(s == 0 || segments[s - 1].start < segments[s].start, "segments follow each other");
        require(segments[s].start < history.size(), "no empty segment");
    }
    const auto &gaps = history.gaps();
    for (size_t g = 0; g < gaps.size(); ++g) {
        require(gaps[g] > 0 && gaps[g] < history.size(), "a gap lies between readings");
        require(g == 0 || gaps[g - 1] < gaps[g], "gaps ascend");
    }
}

void checkChart(const ReadingHistory &history, int columns)
{
    if (history.isEmpty())
        return;
    const qint64 t0 = history.timeAt(0);
    const qint64 t1 = history.timeAt(history.size() - 1);
    qsizetype points = 0;
    for (const DecimatedSegment &segment : decimateHistory(history, t0, t1, columns)) {
        require(segment.segment >= 0 && segment.segment < int(history.segments().size()), "a known segment");
        for (const QVector<QPointF> &run : segment.runs) {
            require(!run.isEmpty(), "no empty run");
            for (int i = 0; i < run.size(); ++i) {
                require(!std::isnan(run[i].y()), "no NaN on a line");
                require(i == 0 || run[i - 1].x() <= run[i].x(), "a run goes forward in time");
            }
            points += run.size();
        }
    }
    require(points <= history.size(), "never more points than readings");

    for (const ReadingHistory::Range &range : history.allRanges()) {
        const ReadingStatistics statistics = ReadingStatistics::of(history, range);
        require(statistics.count() <= range.size(), "counted at most once");
        if (statistics.count() > 0 && std::isfinite(statistics.mean())) {
            const double slack = 1e-6 * (std::fabs(statistics.minimum()) + std::fabs(statistics.maximum()));
            require(statistics.minimum() - slack <= statistics.mean()
                        && statistics.mean() <= statistics.maximum() + slack,
                    "the mean lies between minimum and maximum");
            require(!(statistics.standardDeviation() < 0), "no negative spread");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const int maxLineBytes = 16 * (1 + data[0]);
    QByteArray content(reinterpret_cast<const char *>(data + 1), int(size - 1));
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);

    ReadingHistory history;
    history.append(1, QStringLiteral("DC"), QStringLiteral("V"), 1.0);
    JournalReader reader(maxLineBytes);
    if (reader.read(&buffer, &history)) {
        require(reader.errorString().isEmpty(), "no error on success");
        checkHistory(history);
        checkChart(history, 1 + data[0] % 64);
    } else {
        require(reader.errorLine() >= 1, "an error names its line");
        require(reader.errorString().startsWith(QStringLiteral("line %1: ").arg(reader.errorLine())),
                "the message starts with the line");
        require(reader.errorLine() <= content.count('\n') + 1, "the line is in the file");
        require(history.size() == 1, "a failed read leaves the history alone");
    }
    return 0;
}
