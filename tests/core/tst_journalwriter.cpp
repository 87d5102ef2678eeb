// The journal's writer: what its lines hold, read back with Python's csv
// module, and how it picks a file. (What a failed write leaves behind is
// checked on the whole program, in tst_journal.)
#include "journal/journalwriter.h"

#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <atomic>

namespace {

JournalRow row(const QStringList &cells, const QString &value = QString())
{
    return {cells, QDateTime(QDate(2026, 12, 7), QTime(9, 47, 28, 412), QTimeZone(3600)), value};
}

} // namespace

class tst_JournalWriter : public QObject
{
    Q_OBJECT

private slots:
    void plainValue_data()
    {
        QTest::addColumn<QString>("tableValue");
        QTest::addColumn<QString>("plain");
        QTest::newRow("leading zeros go") << "0003.4" << "3.4";
        QTest::newRow("a negative reading keeps its sign and zeros after the point") << "-0.510" << "-0.510";
        QTest::newRow("a zero before the point stays") << "0.000" << "0.000";
        QTest::newRow("a bare point gets its zero") << ".512" << "0.512";
        QTest::newRow("a trailing point goes") << "600." << "600";
        QTest::newRow("overload is no number") << "0L." << "";
        QTest::newRow("NCV letters are no number") << "EF" << "";
        QTest::newRow("a blank display is no number") << "" << "";
        QTest::newRow("a sign alone is no number") << "-" << "";
        QTest::newRow("two points are no number") << "1.2.3" << "";
    }
    void plainValue()
    {
        QFETCH(QString, tableValue);
        QFETCH(QString, plain);
        QCOMPARE(JournalWriter::plainValueText(tableValue), plain);
    }

    // The value column: the reading's number with the decimals the meter
    // showed, so that 1.30 keeps its resolution; none where there is no number.
    void rowValue_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<bool>("negative");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("value");
        const int ordinary = int(MeterReading::Kind::Ordinary);
        QTest::newRow("leading zeros go, trailing ones stay") << "01.30" << false << ordinary << "1.30";
        QTest::newRow("the sign") << "0.510" << true << ordinary << "-0.510";
        QTest::newRow("a whole number") << "0025" << false << ordinary << "25";
        QTest::newRow("overload") << "0.L" << false << int(MeterReading::Kind::Overload) << "";
        QTest::newRow("digits that are no number") << "1-2" << false << ordinary << "";
    }
    void rowValue()
    {
        QFETCH(QString, digits);
        QFETCH(bool, negative);
        QFETCH(int, kind);
        QFETCH(QString, value);
        RecordedReading recorded{7, row({}).time, MeterReading()};
        recorded.reading.valueText = digits;
        recorded.reading.negative = negative;
        recorded.reading.kind = MeterReading::Kind(kind);
        recorded.reading.functionText = QStringLiteral("DC");
        recorded.reading.unitText = QStringLiteral("V");
        const JournalRow journalRow = JournalWriter::rowFor(recorded);
        QCOMPARE(journalRow.cells, QStringList({"7", "DC", recorded.reading.tableValueText(), "V",
                                                "2026/12/07 09:47:28"}));
        QCOMPARE(journalRow.value, value);
    }

    void isoTime_data()
    {
        QTest::addColumn<QDateTime>("time");
        QTest::addColumn<QString>("iso");
        const QDate day(2026, 12, 7);
        QTest::newRow("an hour east of UTC")
            << QDateTime(day, QTime(9, 47, 28, 412), QTimeZone(3600)) << "2026-12-07T09:47:28.412+01:00";
        QTest::newRow("west of UTC with half an hour, milliseconds padded")
            << QDateTime(day, QTime(23, 5, 0, 7), QTimeZone(-(3 * 3600 + 1800))) << "2026-12-07T23:05:00.007-03:30";
        QTest::newRow("UTC itself has an offset too")
            << QDateTime(day, QTime(0, 0), Qt::UTC) << "2026-12-07T00:00:00.000+00:00";
    }
    void isoTime()
    {
        QFETCH(QDateTime, time);
        QFETCH(QString, iso);
        QCOMPARE(JournalWriter::isoTimeText(time), iso);
        QCOMPARE(QDateTime::fromString(iso, Qt::ISODateWithMs), time);
    }

    // Whatever the cells hold, a CSV reader gets them back unchanged.
    void linesReadBackAsWritten()
    {
        QTemporaryDir dir;
        JournalWriter writer;
        QVERIFY2(writer.openFile(dir.filePath("j.csv")), qPrintable(writer.errorString()));
        const QVector<QStringList> cells{
            {"1", "DC", "-0.512", "V", "2026/12/07 09:47:28"},
            {"2", "Resistance", "0L.", "MΩ", "2026/12/07 09:47:29"},
            {"3", "a, comma", "a \"quote\"", "two\nlines", " spaces "},
            {"4", "Temperature", "0025", "℃", ""},
        };
        for (const QStringList &c : cells)
            QVERIFY(writer.append(row(c, JournalWriter::plainValueText(c[2]))));
        QVERIFY(writer.appendComment("link lost\r\nfor 3 s"));
        writer.close();

        QString error;
        const QVector<QStringList> records = readCsvRecords(dir.filePath("j.csv"), &error);
        QVERIFY2(records.size() == 6, qPrintable(error));
        QCOMPARE(records[0], JournalWriter::headerCells());
        for (int i = 0; i < cells.size(); ++i)
            QCOMPARE(records[i + 1].mid(0, 5), cells[i]);
        QCOMPARE(records[5], QStringList({"# link lost  for 3 s"}));
        QVERIFY(readFile(dir.filePath("j.csv")).endsWith("\r\n# link lost  for 3 s\r\n"));
    }

    void openInFolder_data()
    {
        QTest::addColumn<QStringList>("existing"); // names present before
        QTest::addColumn<QString>("expected");
        QTest::newRow("a free name is used as it is") << QStringList() << "ravelo-2026-12-07_09-47-28.csv";
        QTest::newRow("a taken name gets -2") << QStringList{"ravelo-2026-12-07_09-47-28.csv"}
                                              << "ravelo-2026-12-07_09-47-28-2.csv";
        QTest::newRow("-2 taken too gets -3")
            << QStringList{"ravelo-2026-12-07_09-47-28.csv", "ravelo-2026-12-07_09-47-28-2.csv"}
            << "ravelo-2026-12-07_09-47-28-3.csv";
        QTest::newRow("a folder of that name counts as taken")
            << QStringList{"ravelo-2026-12-07_09-47-28.csv/"} << "ravelo-2026-12-07_09-47-28-2.csv";
    }
    void openInFolder()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, expected);
        QTemporaryDir dir;
        const QString folder = dir.filePath("made/on/demand");
        QVERIFY(QDir().mkpath(folder));
        for (const QString &name : existing)
            QVERIFY(name.endsWith('/') ? QDir(folder).mkdir(name) : writeFile(QDir(folder).filePath(name), "keep me"));
        JournalWriter writer;
        QVERIFY2(writer.openInFolder(folder, row({}).time), qPrintable(writer.errorString()));
        QCOMPARE(writer.filePath(), QDir(folder).filePath(expected));
        for (const QString &name : existing) {
            if (!name.endsWith('/'))
                QCOMPARE(readFile(QDir(folder).filePath(name)), QByteArray("keep me"));
        }
    }

    void unusableTargets_data()
    {
        QTest::addColumn<QString>("target");     // relative to a temporary folder
        QTest::addColumn<bool>("asFolder");      // openInFolder, else openFile
        QTest::newRow("a folder path that is a file") << "file" << true;
        QTest::newRow("a folder below a file") << "file/sub" << true;
        QTest::newRow("a named file that exists") << "file" << false;
        QTest::newRow("a named file in a missing folder") << "missing/j.csv" << false;
    }
    void unusableTargets()
    {
        QFETCH(QString, target);
        QFETCH(bool, asFolder);
        QTemporaryDir dir;
        QVERIFY(writeFile(dir.filePath("file"), "keep me"));
        JournalWriter writer;
        const QString path = dir.filePath(target);
        QVERIFY(!(asFolder ? writer.openInFolder(path, row({}).time) : writer.openFile(path)));
        QVERIFY(!writer.isOpen());
        QVERIFY(!writer.errorString().isEmpty());
        QVERIFY(!writer.append(row({"1"})));
        QCOMPARE(readFile(dir.filePath("file")), QByteArray("keep me"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList{"file"});
    }

    // Lines reach the disk when a sync is due and on close(); a sync that
    // fails stops the writer with its reason.
    void syncsToTheDisk_data()
    {
        QTest::addColumn<bool>("due");       // the interval is over before close()
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("a due sync") << true << true;
        QTest::newRow("close() syncs what is left") << false << true;
        QTest::newRow("a failed due sync stops the writer") << true << false;
        QTest::newRow("a failed sync at close() is told") << false << false;
    }
    void syncsToTheDisk()
    {
        QFETCH(bool, due);
        QFETCH(bool, succeeds);
        QTemporaryDir dir;
        JournalWriter writer;
        std::atomic<int> calls{0};
        writer.setDiskSync([&calls, succeeds](int) { ++calls; return succeeds; }, due ? 0 : 60000);
        QVERIFY(writer.openFile(dir.filePath("j.csv")));
        QVERIFY(writer.append(row({"1", "DC", "3.446", "V", ""}, "3.446")));
        QVERIFY(writer.syncIfDue());
        if (due) {
            QTRY_COMPARE_WITH_TIMEOUT(calls.load(), 1, 5000);
            if (!succeeds) {
                // The outcome is collected by a later call.
                QTRY_VERIFY_WITH_TIMEOUT(!writer.syncIfDue(), 5000);
                QVERIFY(!writer.isOpen());
                QVERIFY(!writer.append(row({"2"})));
            }
        } else {
            QCOMPARE(calls.load(), 0);
        }
        writer.close();
        QCOMPARE(calls.load(), 1);
        const QString reason = "cannot save " + QDir::toNativeSeparators(dir.filePath("j.csv")) + " to the disk";
        QCOMPARE(writer.errorString(), succeeds ? QString() : reason);
        QCOMPARE(readCsvRecords(dir.filePath("j.csv")).size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_JournalWriter)
#include "tst_journalwriter.moc"
