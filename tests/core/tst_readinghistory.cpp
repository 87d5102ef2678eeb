// The history of a run: its segments and gaps, the decimation the chart
// draws (checked on random series: no column's peak is ever dropped) and the
// statistics (checked against a plain two-pass computation).
#include "history/historydecimation.h"
#include "history/readinghistory.h"
#include "history/readingstatistics.h"

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>
#include <map>

namespace {

const double NoNumber = std::numeric_limits<double>::quiet_NaN();

std::optional<double> numberOf(double x)
{
    return std::isnan(x) ? std::nullopt : std::optional<double>(x);
}

// "function unit start" per segment, the values as text ("nan" for none).
QString describe(const ReadingHistory &history)
{
    QStringList parts;
    for (const ReadingHistory::Segment &segment : history.segments())
        parts << QStringLiteral("[%1 %2 @%3]").arg(segment.function, segment.unit).arg(segment.start);
    for (qsizetype i = 0; i < history.size(); ++i)
        parts << QString::number(double(history.valueAt(i)), 'g', 6);
    return parts.join(QLatin1Char(' '));
}

// A random run: segments of random functions and units, gaps, readings
// without a number; one reading every 1..2000 ms.
ReadingHistory randomHistory(quint32 seed, int size)
{
    QRandomGenerator random(seed);
    static const char *const units[] = {"V", "mV", "kΩ", "MΩ", "Hz", "%"};
    static const char *const functions[] = {"DC", "AC", "Resistance"};
    ReadingHistory history;
    qint64 t = 1800000000000;
    QString function = QStringLiteral("DC");
    QString unit = QStringLiteral("V");
    double level = 0;
    for (int i = 0; i < size; ++i) {
        const int event = random.bounded(1000);
        if (event < 3) {
            function = QString::fromUtf8(functions[random.bounded(3)]);
            unit = QString::fromUtf8(units[random.bounded(6)]);
        } else if (event < 10) {
            history.addGap();
        }
        t += 1 + random.bounded(2000);
        level += random.bounded(2.0) - 1.0;
        const bool spike = random.bounded(100) == 0;
        const double value = spike ? level * 40 : level;
        history.append(t, function, unit, random.bounded(50) == 0 ? std::nullopt : numberOf(value));
    }
    return history;
}

double naiveMean(const std::vector<double> &values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return sum / double(values.size());
}

} // namespace

class tst_ReadingHistory : public QObject
{
    Q_OBJECT

private slots:
    void segments_data()
    {
        QTest::addColumn<QStringList>("readings"); // "function unit number" ("-": no number)
        QTest::addColumn<QString>("expected");

        QTest::newRow("a prefix change keeps the unit of the first reading")
            << QStringList{"Resistance kΩ 4.68", "Resistance MΩ 2.19", "Resistance Ω 512"}
            << "[Resistance kΩ @0] 4.68 2190 0.512";
        QTest::newRow("a function change begins a segment in its own unit")
            << QStringList{"DC mV 512", "AC V 1.5", "DC V 2"} << "[DC mV @0] [AC V @1] [DC V @2] 512 1.5 2";
        QTest::newRow("another quantity in the same function begins a segment")
            << QStringList{"Frequency Hz 50", "Frequency % 30", "Frequency kHz 1"}
            << "[Frequency Hz @0] [Frequency % @1] [Frequency kHz @2] 50 30 1";
        QTest::newRow("readings without a number stay in the segment, as NaN")
            << QStringList{"Resistance kΩ 4.68", "Resistance MΩ -", "Resistance kΩ 5"}
            << "[Resistance kΩ @0] 4.68 nan 5";
        QTest::newRow("a segment that began without a number takes the unit of its first one")
            << QStringList{"Resistance MΩ -", "Resistance kΩ 4.68", "Resistance MΩ 1"}
            << "[Resistance kΩ @0] nan 4.68 1000";
        QTest::newRow("the detector is a segment of its own")
            << QStringList{"DC V 1", "NCV  -", "DC V 2"} << "[DC V @0] [NCV  @1] [DC V @2] 1 nan 2";
    }
    void segments()
    {
        QFETCH(QStringList, readings);
        QFETCH(QString, expected);
        ReadingHistory history;
        qint64 t = 0;
        for (const QString &reading : readings) {
            const QStringList parts = reading.split(QLatin1Char(' '));
            history.append(t += 1000, parts[0], parts[1],
                           parts[2] == "-" ? std::nullopt : std::optional<double>(parts[2].toDouble()));
        }
        QCOMPARE(describe(history), expected);
    }

    void gapsAndTimes()
    {
        ReadingHistory history;
        history.addGap(); // nothing to break yet
        history.append(1000, "DC", "V", 1.0);
        history.addGap();
        history.addGap();
        history.append(2000, "DC", "V", 2.0);
        history.append(1500, "DC", "V", 3.0); // the clock was set back
        history.addGap();
        history.append(4000, "AC", "V", 4.0);
        QCOMPARE(history.gaps(), (std::vector<qsizetype>{1, 3}));
        QVERIFY(history.gapBefore(1) && !history.gapBefore(2) && history.gapBefore(3));
        QCOMPARE(history.timeAt(2), qint64(2000));

        const auto ranges = history.rangesIn(2000, 4000);
        QCOMPARE(ranges.size(), size_t(2));
        QCOMPARE(ranges[0].segment, 0);
        QCOMPARE(ranges[0].first, qsizetype(1));
        QCOMPARE(ranges[0].last, qsizetype(3));
        QCOMPARE(ranges[1].first, qsizetype(3));
        QCOMPARE(ranges[1].last, qsizetype(4));
        QVERIFY(history.rangesIn(2001, 3999).empty());
        QVERIFY(history.rangesIn(5000, 4000).empty());
    }

    void memoryPerReading()
    {
        ReadingHistory history;
        const int n = 300000;
        for (int i = 0; i < n; ++i)
            history.append(qint64(i) * 1000, "DC", "V", 1.0 + i % 7);
        QVERIFY2(history.bytesHeld() <= qint64(n) * 18 + 4096,
                 qPrintable(QString::number(double(history.bytesHeld()) / n)));
    }

    void decimationKeepsEveryPeak_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("columns");
        QTest::newRow("few readings, many columns") << 1u << 50 << 1000;
        QTest::newRow("about one reading per column") << 2u << 2000 << 1000;
        QTest::newRow("many readings per column") << 3u << 100000 << 800;
        QTest::newRow("one column") << 4u << 5000 << 1;
        QTest::newRow("many readings, narrow chart") << 5u << 60000 << 37;
    }
    void decimationKeepsEveryPeak()
    {
        QFETCH(quint32, seed);
        QFETCH(int, size);
        QFETCH(int, columns);
        const ReadingHistory history = randomHistory(seed, size);
        QRandomGenerator random(seed + 100);
        const qint64 start = history.timeAt(0);
        const qint64 span = history.timeAt(history.size() - 1) - start;

        for (int round = 0; round < 4; ++round) {
            // The whole run first, then random ranges, some reaching beyond it.
            qint64 t0 = start, t1 = start + span;
            if (round > 0) {
                t0 = start - span / 10 + qint64(random.bounded(double(span)));
                t1 = t0 + qint64(random.bounded(double(span) / 2)) + 1;
            }
            const std::vector<DecimatedSegment> decimated = decimateHistory(history, t0, t1, columns);

            // Every point is a reading; no line crosses a gap or a reading
            // without a number; a column gives at most four points per run.
            std::map<qint64, qsizetype> indexOf;
            for (qsizetype i = 0; i < history.size(); ++i)
                indexOf[history.timeAt(i)] = i;
            // The columns cover the range without a hole or an overlap.
            const ChartColumns chart(t0, t1, columns);
            QCOMPARE(chart.start(0), t0);
            QCOMPARE(chart.start(columns), t1 + 1);
            for (int c = 0; c < columns; ++c) {
                QVERIFY(chart.start(c) <= chart.start(c + 1));
                QVERIFY(chart.start(c + 1) - chart.start(c) <= (t1 - t0) / columns + 1);
                if (chart.start(c) < chart.start(c + 1)) {
                    QCOMPARE(chart.columnOf(chart.start(c)), c);
                    QCOMPARE(chart.columnOf(chart.start(c + 1) - 1), c);
                }
            }
            QCOMPARE(chart.columnOf(t0 - 1), -1);
            QCOMPARE(chart.columnOf(t1 + 1), columns);
            auto columnOf = [&](qint64 t) { return chart.columnOf(t); };
            std::map<std::pair<int, int>, std::vector<double>> shown; // (segment, column) -> values
            for (const DecimatedSegment &segment : decimated) {
                for (const QVector<QPointF> &run : segment.runs) {
                    std::map<int, int> perColumn;
                    qsizetype previous = -1;
                    for (const QPointF &point : run) {
                        const auto found = indexOf.find(qint64(point.x()));
                        QVERIFY(found != indexOf.end());
                        const qsizetype i = found->second;
                        QCOMPARE(history.segmentOf(i), segment.segment);
                        QCOMPARE(point.y(), double(history.valueAt(i)));
                        QVERIFY(i > previous);
                        for (qsizetype j = previous + 1; previous >= 0 && j <= i; ++j) {
                            QVERIFY(!history.gapBefore(j));
                            QVERIFY(!std::isnan(history.valueAt(j)));
                        }
                        previous = i;
                        const int column = columnOf(qint64(point.x()));
                        QVERIFY(++perColumn[column] <= 4);
                        shown[{segment.segment, column}].push_back(point.y());
                    }
                }
            }
            // Each column's lowest and highest reading is among the points.
            std::map<std::pair<int, int>, std::pair<double, double>> extremes;
            for (const ReadingHistory::Range &range : history.rangesIn(t0, t1)) {
                for (qsizetype i = range.first; i < range.last; ++i) {
                    const double v = history.valueAt(i);
                    if (std::isnan(v))
                        continue;
                    const auto key = std::make_pair(range.segment, columnOf(history.timeAt(i)));
                    auto found = extremes.find(key);
                    if (found == extremes.end())
                        extremes[key] = {v, v};
                    else
                        found->second = {std::min(found->second.first, v), std::max(found->second.second, v)};
                }
            }
            for (const auto &entry : extremes) {
                const std::vector<double> &values = shown[entry.first];
                QVERIFY2(std::find(values.begin(), values.end(), entry.second.first) != values.end(),
                         qPrintable(QStringLiteral("minimum of column %1 lost").arg(entry.first.second)));
                QVERIFY2(std::find(values.begin(), values.end(), entry.second.second) != values.end(),
                         qPrintable(QStringLiteral("maximum of column %1 lost").arg(entry.first.second)));
            }
        }
    }

    void decimationBreaksAndMarks()
    {
        ReadingHistory history;
        for (int i = 0; i < 10; ++i)
            history.append(i * 1000, "DC", "V", i == 4 ? NoNumber : i);
        history.addGap();
        history.append(20000, "DC", "V", 1.0);
        history.append(21000, "DC", "V", 2.0);
        // Readings 1..8 and the neighbours 0 and 9 at one column per second.
        const std::vector<DecimatedSegment> decimated = decimateHistory(history, 1000, 8999, 8);
        QCOMPARE(decimated.size(), size_t(1));
        const DecimatedSegment &segment = decimated.front();
        QCOMPARE(segment.runs.size(), 2);
        QCOMPARE(segment.runs[0], (QVector<QPointF>{{0, 0}, {1000, 1}, {2000, 2}, {3000, 3}}));
        QCOMPARE(segment.runs[1].size(), 5);
        QCOMPARE(segment.marks, QVector<qint64>{4000});
        // Zoomed into the gap: the line stops on either side of it.
        const std::vector<DecimatedSegment> gap = decimateHistory(history, 12000, 15000, 100);
        QCOMPARE(gap.size(), size_t(1));
        QCOMPARE(gap.front().runs, (QVector<QVector<QPointF>>{{{9000, 9}}, {{20000, 1}}}));
        QVERIFY(decimateHistory(history, 30000, 40000, 100).empty());
        // A column whose first, highest, lowest and last readings differ keeps all four, in order.
        ReadingHistory column;
        for (const double v : {0.0, 5.0, -5.0, 1.0})
            column.append(qint64(column.size()) * 1000, "DC", "V", v);
        QCOMPARE(decimateHistory(column, 0, 3999, 1).front().runs,
                 (QVector<QVector<QPointF>>{{{0, 0}, {1000, 5}, {2000, -5}, {3000, 1}}}));
        // Any range at all is safe (the chart's zoom can go far).
        const qint64 end = std::numeric_limits<qint64>::max();
        QCOMPARE(decimateHistory(history, -end - 1, end, 100).size(), size_t(1));
    }

    void statisticsMatchTwoPass_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("size");
        QTest::addColumn<double>("offset");
        QTest::newRow("around zero") << 11u << 1000 << 0.0;
        QTest::newRow("far from zero") << 12u << 50000 << 5000.0;
        QTest::newRow("a single value") << 13u << 1 << 3.0;
    }
    void statisticsMatchTwoPass()
    {
        QFETCH(quint32, seed);
        QFETCH(int, size);
        QFETCH(double, offset);
        QRandomGenerator random(seed);
        ReadingHistory history;
        std::vector<double> values;
        for (int i = 0; i < size; ++i) {
            const bool number = i == 0 || random.bounded(10) != 0;
            const double v = offset + random.bounded(2.0) - 1.0;
            history.append(i * 1000, "DC", "V", number ? std::optional<double>(v) : std::nullopt);
            if (number)
                values.push_back(double(float(v)));
        }
        const ReadingStatistics statistics = ReadingStatistics::of(history, history.allRanges().front());

        const double mean = naiveMean(values);
        double squares = 0;
        for (double v : values)
            squares += (v - mean) * (v - mean);
        const double deviation = values.size() < 2 ? 0.0 : std::sqrt(squares / double(values.size() - 1));
        QCOMPARE(statistics.count(), qint64(values.size()));
        QCOMPARE(statistics.minimum(), *std::min_element(values.begin(), values.end()));
        QCOMPARE(statistics.maximum(), *std::max_element(values.begin(), values.end()));
        QVERIFY(std::fabs(statistics.mean() - mean) <= 1e-12 * std::max(1.0, std::fabs(mean)));
        QVERIFY(std::fabs(statistics.standardDeviation() - deviation) <= 1e-9 * std::max(1.0, deviation));
    }

    void statisticsStayExactFarFromZero()
    {
        // A sum of squares would lose these to rounding.
        ReadingStatistics statistics;
        for (double v : {4.0, 7.0, 13.0, 16.0})
            statistics.add(1e9 + v);
        QCOMPARE(statistics.mean(), 1e9 + 10);
        QCOMPARE(statistics.standardDeviation(), std::sqrt(30.0));
    }

    void liveStatistics()
    {
        LiveStatistics live;
        live.add("DC", "V", 1.0);
        live.add("DC", "mV", 3000.0);            // in the unit of the first: 3 V
        live.add("DC", "V", std::nullopt);        // an overload changes nothing
        QCOMPARE(live.current().count(), qint64(2));
        QCOMPARE(live.current().mean(), 2.0);
        QCOMPARE(live.unit(), QStringLiteral("V"));

        live.add("Resistance", "kΩ", 4.0);        // the dial turned away...
        QCOMPARE(live.current().count(), qint64(1));
        QCOMPARE(live.unit(), QStringLiteral("kΩ"));
        live.add("DC", "V", 5.0);                 // ...and back: the figures go on
        QCOMPARE(live.current().count(), qint64(3));
        QCOMPARE(live.current().maximum(), 5.0);

        live.add("NCV", "", std::nullopt);
        QVERIFY(live.current().isEmpty());
        QCOMPARE(live.function(), QStringLiteral("NCV"));

        live.add("DC", "V", 7.0);
        live.reset();
        QVERIFY(live.current().isEmpty());
        live.add("DC", "mV", 2.0);
        QCOMPARE(live.unit(), QStringLiteral("mV"));
        QCOMPARE(live.current().count(), qint64(1));
    }
};

QTEST_APPLESS_MAIN(tst_ReadingHistory)
#include "tst_readinghistory.moc"
