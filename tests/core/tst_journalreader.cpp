// Journals read back into a history: files written by the window's journal
// writer and by the recorder, files that are not journals (each refused with
// the line and what is wrong with it), and input that must not be read whole.
#include "journal/journalreader.h"
#include "history/readinghistory.h"
#include "journal/journalwriter.h"
#include "recordoutput.h"

#include "support/testfiles.h"
#include "support/testframes.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cmath>

namespace {

const QByteArray Header = "Serial number,unconnected,Numeric value,Per unit,time,iso_time,value\r\n";

QDateTime at(int second, int ms = 0)
{
    return QDateTime(QDate(2026, 12, 7), QTime(9, 47, second, ms), QTimeZone(3600));
}

// The reading of a meter display: "3.446 V", "-0.L V", "0.L MΩ".
MeterReading showing(const QString &display)
{
    QString digits = display.section(QLatin1Char(' '), 0, 0);
    const bool negative = digits.startsWith(QLatin1Char('-'));
    if (negative)
        digits.remove(0, 1);
    const std::optional<MeterReading> reading = MeterReading::fromFrameText(
        TestFrames::displayFrame(digits, negative, display.section(QLatin1Char(' '), 1), true));
    Q_ASSERT(reading);
    return *reading;
}

// "time value" per reading (value "nan" for none), "|" before a gap.
QString describe(const ReadingHistory &history)
{
    QStringList parts;
    for (qsizetype i = 0; i < history.size(); ++i) {
        if (history.gapBefore(i))
            parts << QStringLiteral("|");
        parts << QStringLiteral("%1=%2").arg(history.timeAt(i)).arg(double(history.valueAt(i)));
    }
    return parts.join(QLatin1Char(' '));
}

// A device that never ends: a line as long as anyone cares to read.
class EndlessLine : public QIODevice
{
public:
    explicit EndlessLine(const QByteArray &start) : m_start(start) { open(ReadOnly); }
    bool isSequential() const override { return true; }
    bool atEnd() const override { return false; }
    qint64 bytesAvailable() const override { return (1 << 20) + QIODevice::bytesAvailable(); }
    qint64 served = 0;

protected:
    qint64 readData(char *data, qint64 size) override
    {
        for (qint64 i = 0; i < size; ++i, ++served)
            data[i] = served < m_start.size() ? m_start.at(int(served)) : 'x';
        return size;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_start;
};

} // namespace

class tst_JournalReader : public QObject
{
    Q_OBJECT

private slots:
    void windowJournal()
    {
        // The window's rows: the table's cells, as the writer is handed them.
        QTemporaryDir dir;
        JournalWriter writer;
        QVERIFY(writer.openFile(dir.filePath("w.csv")));
        const QStringList readings{"DC 3.446 V", "DC -0512 mV", "DC 0.L V", "Resistance 4.68 kΩ", "Resistance 2.19 MΩ"};
        for (int i = 0; i < readings.size(); ++i) {
            const QStringList p = readings[i].split(QLatin1Char(' '));
            const QStringList cells{QString::number(i + 1), p[0], p[1], p[2], JournalWriter::tableTimeText(at(i))};
            QVERIFY(writer.append({cells, at(i, 412), JournalWriter::plainValueText(p[1])}));
            if (i == 1)
                QVERIFY(writer.appendComment("limit: 2026-12-07T09:47:29+01:00 high -0.512 V"));
        }
        writer.close();

        JournalReader reader;
        ReadingHistory history;
        QVERIFY2(reader.read(dir.filePath("w.csv"), &history), qPrintable(reader.errorString()));
        QVERIFY(!reader.lastLineUnfinished());
        const qint64 t0 = at(0, 412).toMSecsSinceEpoch();
        QCOMPARE(describe(history), QStringLiteral("%1=3.446 %2=-0.512 %3=nan %4=4.68 %5=2190")
                                        .arg(t0).arg(t0 + 1000).arg(t0 + 2000).arg(t0 + 3000).arg(t0 + 4000));
        QCOMPARE(history.segments().size(), size_t(2));
        QCOMPARE(history.segments()[0].unit, QStringLiteral("V"));
        QCOMPARE(history.segments()[1].function, QStringLiteral("Resistance"));
        QCOMPARE(history.segments()[1].unit, QStringLiteral("kΩ"));
    }

    void recorderJournal()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("r.csv");
        RecordOutput output;
        QVERIFY(output.open(path, RecorderOptions::Format::None, nullptr));
        const QStringList displays{"1.234 V", "-1.235 V", "0.L V", "1.236 V"};
        for (int i = 0; i < displays.size(); ++i) {
            if (i == 2)
                QVERIFY(output.addGap(at(2), "the meter fell silent"));
            QVERIFY(output.addReading({i + 1, at(i, 5), showing(displays[i])}));
        }
        QVERIFY(output.close());

        JournalReader reader;
        ReadingHistory history;
        QVERIFY2(reader.read(path, &history), qPrintable(reader.errorString()));
        const qint64 t0 = at(0, 5).toMSecsSinceEpoch();
        QCOMPARE(describe(history), QStringLiteral("%1=1.234 %2=-1.235 | %3=nan %4=1.236")
                                        .arg(t0).arg(t0 + 1000).arg(t0 + 2000).arg(t0 + 3000));
        QCOMPARE(history.segments().size(), size_t(1));
        QCOMPARE(history.segments()[0].function, showing("1.234 V").functionText);
    }

    void malformed_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("error");
        const QByteArray row = "1,DC,3.446,V,2026/12/07 09:47:28,2026-12-07T09:47:28.412+01:00,3.446\r\n";

        QTest::newRow("an empty file") << QByteArray() << "line 1: not a Ravelo journal: the file is empty";
        QTest::newRow("another CSV file")
            << QByteArray("a,b,c\r\n1,2,3\r\n") << "line 1: not a Ravelo journal: the header is \"a,b,c\"";
        QTest::newRow("a picture")
            << QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16)
            << "line 1: not a Ravelo journal: the header is \"\x89PNG\"";
        QTest::newRow("a month that is none")
            << Header + row + "2,DC,3.4,V,2026/13/07 09:47:29,2026-13-07T09:47:29.000+01:00,3.4\r\n"
            << "line 3: the time \"2026-13-07T09:47:29.000+01:00\" is not a date";
        QTest::newRow("the table's time when iso_time is empty, and it is wrong")
            << Header + "1,DC,3.4,V,2026/13/07,,3.4\r\n" << "line 2: the time \"2026/13/07\" is not a date";
        QTest::newRow("a time with trailing text")
            << Header + "1,DC,3.4,V,x,2026-12-07T09:47:28+01:00 ,3.4\r\n"
            << "line 2: the time \"2026-12-07T09:47:28+01:00 \" is not a date";
        QTest::newRow("a row short of cells")
            << Header + row + "# gap: x\r\n2,DC,3.4,V,2026/12/07 09:47:29\r\n"
            << "line 4: 5 cells where a journal line has 7";
        QTest::newRow("a record over two lines is told at its first")
            << Header + row + "2,\"D\r\nC\",3.4,V\r\n" + row
            << "line 3: 4 cells where a journal line has 7";
        QTest::newRow("a value that is no number")
            << Header + "1,DC,3.4,V,x,2026-12-07T09:47:28+01:00,3.4V\r\n" << "line 2: the value \"3.4V\" is not a number";
        QTest::newRow("an infinite value")
            << Header + "1,DC,3.4,V,x,2026-12-07T09:47:28+01:00,inf\r\n" << "line 2: the value \"inf\" is not a number";
        QTest::newRow("a line too long for a journal")
            << Header + row + QByteArray(JournalReader::MaxLineBytes + 10, 'x') + "\r\n"
            << "line 3: the line is longer than 65536 bytes, which no journal line is";
        QTest::newRow("a quote left open swallows lines up to the limit")
            << Header + "1,\"DC,3.4\r\n" + row.repeated(1000)
            << "line 2: the line is longer than 65536 bytes, which no journal line is";
    }
    void malformed()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, error);
        QBuffer buffer(&content);
        buffer.open(QIODevice::ReadOnly);
        ReadingHistory history;
        history.append(1, "DC", "V", 1.0);
        JournalReader reader;
        QVERIFY(!reader.read(&buffer, &history));
        QCOMPARE(reader.errorString(), error);
        QCOMPARE(history.size(), qsizetype(1)); // left as it was
    }

    void tolerated_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("readings");
        QTest::addColumn<bool>("unfinished");
        QTest::addColumn<QString>("functions"); // of the segments, "|" between
        const QByteArray row = "1,DC,3.446,V,2026/12/07 09:47:28,2026-12-07T09:47:28.412+01:00,3.446\r\n";
        const QString t = QString::number(at(28, 412).toMSecsSinceEpoch());

        QTest::newRow("a header alone") << Header << "" << false << "";
        QTest::newRow("a byte order mark, line feeds alone, blank lines")
            << "\xEF\xBB\xBF" + Header.chopped(2) + "\n\n" + row.chopped(2) + "\n\r\n" << t + "=3.446" << false << "DC";
        QTest::newRow("a last line cut short is left out")
            << Header + row + row.left(40) << t + "=3.446" << true << "DC";
        QTest::newRow("a quoted cell open at the end is left out")
            << Header + row + "2,\"DC\r\n" << t + "=3.446" << true << "DC";
        QTest::newRow("quoted cells with commas, quotes and a line break")
            << Header + "1,\"D,\"\"C\"\"\r\nx\",3.4,V,x,2026-12-07T09:47:28.412+01:00,\"3.4\"\r\n"
            << t + "=3.4" << false << "D,\"C\"\nx";
        QTest::newRow("UTC, and no milliseconds")
            << Header + "1,DC,1,V,x,2026-12-07T08:47:28Z,1\r\n" << QString::number(at(28).toMSecsSinceEpoch()) + "=1" << false << "DC";
        QTest::newRow("no iso_time: the table's time, in local time")
            << Header + "1,DC,1,V,2026/12/07 09:47:28,,1\r\n"
            << QString::number(QDateTime(QDate(2026, 12, 7), QTime(9, 47, 28)).toMSecsSinceEpoch()) + "=1" << false << "DC";
        QTest::newRow("a gap before the first reading breaks nothing")
            << Header + "# gap: 2026-12-07T09:47:27+01:00 lost\r\n# other\r\n" + row << t + "=3.446" << false << "DC";
        QTest::newRow("a comment with a quote is one line")
            << Header + "# gap: 2026-12-07T09:47:27+01:00 \"odd\r\n" + row << t + "=3.446" << false << "DC";
    }
    void tolerated()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, readings);
        QFETCH(bool, unfinished);
        QFETCH(QString, functions);
        QBuffer buffer(&content);
        buffer.open(QIODevice::ReadOnly);
        JournalReader reader;
        ReadingHistory history;
        QVERIFY2(reader.read(&buffer, &history), qPrintable(reader.errorString()));
        QCOMPARE(describe(history), readings);
        QCOMPARE(reader.lastLineUnfinished(), unfinished);
        QStringList seen;
        for (const auto &segment : history.segments())
            seen << segment.function;
        QCOMPARE(seen.join(QLatin1Char('|')), functions);
    }

    void endlessLineIsNotReadWhole()
    {
        for (const QByteArray &start : {QByteArray(), Header}) {
            EndlessLine device(start);
            JournalReader reader;
            ReadingHistory history;
            QVERIFY(!reader.read(&device, &history));
            QCOMPARE(reader.errorLine(), start.isEmpty() ? 1 : 2);
            QVERIFY2(device.served < 4 * JournalReader::MaxLineBytes, qPrintable(QString::number(device.served)));
        }
    }

    // The progress function sees the bytes read grow to the size; returning
    // false stops the reading and leaves the history as it was. Read to its
    // end, the arrays were sized once for the whole file.
    void progressAndStop_data()
    {
        QTest::addColumn<int>("stopAtCall"); // 0: never
        QTest::newRow("read to the end") << 0;
        QTest::newRow("stopped at the second call") << 2;
    }
    void progressAndStop()
    {
        QFETCH(int, stopAtCall);
        const int rows = 50000;
        QByteArray content = Header;
        for (int i = 0; i < rows; ++i)
            content += QStringLiteral("%1,DC,3.4,V,,2026-12-07T09:47:28Z,3.4\r\n").arg(i + 1).toUtf8();
        QBuffer device(&content);
        QVERIFY(device.open(QIODevice::ReadOnly));
        JournalReader reader;
        int calls = 0;
        qint64 last = 0;
        bool grows = true;
        reader.setProgress([&](qint64 done, qint64 total) {
            grows = grows && done > last && done <= total && total == content.size();
            last = done;
            return ++calls != stopAtCall;
        });
        ReadingHistory history;
        history.append(1, QStringLiteral("AC"), QStringLiteral("V"), 1.0);
        QCOMPARE(reader.read(&device, &history), stopAtCall == 0);
        QVERIFY(grows && calls >= 2);
        QCOMPARE(reader.stopped(), stopAtCall != 0);
        if (stopAtCall) {
            QCOMPARE(history.size(), qsizetype(1));
            return;
        }
        QCOMPARE(history.size(), qsizetype(rows));
        QVERIFY2(history.bytesHeld() < qint64(rows) * 12 * 105 / 100 + 1024 * 12 * 2,
                 qPrintable(QString::number(history.bytesHeld())));
    }

    void missingFile()
    {
        JournalReader reader;
        ReadingHistory history;
        QVERIFY(!reader.read(QStringLiteral("/nonexistent/journal.csv"), &history));
        QCOMPARE(reader.errorLine(), qint64(0));
        QVERIFY(reader.errorString().contains(QStringLiteral("journal.csv")));
    }
};

QTEST_GUILESS_MAIN(tst_JournalReader)
#include "tst_journalreader.moc"
