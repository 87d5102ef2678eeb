// The recording journal in the window and in the whole program: the file
// holds what the table holds, survives a killed program, marks where the
// link ended; a failing journal never stops the table, stays in sight in the
// status bar and tries again at the port's next open. Files are read back
// with Python's csv module.
#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "support/metersimulator.h"
#include "support/testfiles.h"
#include "meter/frameencoder.h"
#include "link/framecut.h"
#include "widgets/journalindicator.h"
#include "journal/journalwriter.h"

#include <QAction>
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <memory>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QDateTime g_now;
QDateTime testNow()
{
    return g_now;
}

const QDateTime FirstRowTime(QDate(2026, 12, 7), QTime(9, 47, 28, 412));

MeterDisplay display(const char *digits, const char *unit, bool minus = false)
{
    MeterDisplay shown;
    shown.digits = QString::fromUtf8(digits);
    shown.unit = QString::fromUtf8(unit);
    shown.dc = true;
    shown.minus = minus;
    return shown;
}

QStringList csvFilesIn(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
}

// A pseudo-terminal in place of the meter's port: the window opens `path`,
// the test holds the meter's end.
struct Terminal {
    Terminal()
    {
        meter = posix_openpt(O_RDWR | O_NOCTTY);
        if (meter >= 0 && grantpt(meter) == 0 && unlockpt(meter) == 0)
            path = QString::fromLocal8Bit(ptsname(meter));
    }
    ~Terminal() { hangUp(); }
    void hangUp()
    {
        if (meter >= 0)
            ::close(meter);
        meter = -1;
    }
    int meter = -1;
    QString path;
};

// No file may grow beyond `bytes` while the object lives (SIGXFSZ ignored,
// so a write past the limit fails as on a full disk).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit lowered{rlim_t(bytes), m_saved.rlim_max};
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }

private:
    rlimit m_saved {};
    void (*m_previousHandler)(int) = nullptr;
};

} // namespace

class tst_Journal : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        g_now = FirstRowTime;
    }
    void cleanup()
    {
        QFile::remove(configPath());
        m_dir.reset();
    }

    // After a normal exit the journal holds the table's rows, in order, texts
    // equal, across a dropped link; iso_time and value agree with each row.
    void journalHoldsTheTableRows()
    {
        writeConfig("[Journal]\nfolder=" + m_dir->filePath("rec").toUtf8() + "\n");
        auto window = makeWindow();
        const MeterDisplay shown[] = {
            display("1.234", "V"), display("0.512", "V", true), display(" 0.L ", "MΩ"),
            display("EF", ""), display("LIVE", ""), display("", "V"), display("----", ""),
            display("0025", "℃"), display("600.0", "mV"), display("0.000", "A", true),
        };
        QVector<QDateTime> times;
        for (const MeterDisplay &meter : shown) {
            if (times.size() == 4)
                window->dropLink(QStringLiteral("port closed")); // numbering goes on after the link comes back
            record(window.get(), meter);
            times << g_now;
            g_now = g_now.addMSecs(1003);
        }
        const QVector<QStringList> table = tableRows(window.get());
        QCOMPARE(table.size(), int(std::size(shown)));
        window.reset();

        const QStringList files = csvFilesIn(m_dir->filePath("rec"));
        QCOMPARE(files, QStringList{JournalWriter::fileNameFor(FirstRowTime)});
        QString error;
        const QVector<QStringList> records = readCsvRecords(m_dir->filePath("rec/" + files[0]), &error);
        QVERIFY2(records.size() == table.size() + 1, qPrintable(error));
        QCOMPARE(records[0], JournalWriter::headerCells());
        for (int i = 0; i < table.size(); ++i) {
            const QStringList &line = records[i + 1];
            QCOMPARE(line.size(), JournalWriter::ColumnCount);
            QCOMPARE(line.mid(0, 5), table[i]);
            const QDateTime iso = QDateTime::fromString(line[5], Qt::ISODateWithMs);
            QCOMPARE(iso, times[i]);
            QCOMPARE(iso.toLocalTime().toString("yyyy/MM/dd hh:mm:ss"), table[i][4]);
            bool numeric = false;
            const double cell = table[i][2].toDouble(&numeric);
            QCOMPARE(!line[6].isEmpty(), numeric);
            if (numeric)
                QCOMPARE(line[6].toDouble(), cell);
        }
    }

    void twoRunsInTheSameSecondMakeTwoFiles()
    {
        writeConfig("[Journal]\nfolder=" + m_dir->filePath("rec").toUtf8() + "\n");
        for (const char *digits : {"1.111", "2.222"}) {
            auto window = makeWindow();
            record(window.get(), display(digits, "V"));
        }
        const QString first = JournalWriter::fileNameFor(FirstRowTime);
        const QString second = QString(first).replace(".csv", "-2.csv");
        QCOMPARE(csvFilesIn(m_dir->filePath("rec")), QStringList({second, first}));
        QCOMPARE(readCsvRecords(m_dir->filePath("rec/" + first)).value(1).value(2), QStringLiteral("1.111"));
        QCOMPARE(readCsvRecords(m_dir->filePath("rec/" + second)).value(1).value(2), QStringLiteral("2.222"));
    }

    // The indicator in the status bar tells the journal's state for as long
    // as it holds (<dir>: the temporary folder, <file>: the journal's file).
    void failureStopsOnlyTheJournal_data()
    {
        QTest::addColumn<QString>("config");
        QTest::addColumn<int>("rowsBeforeFailure"); // -1: no failure at all
        QTest::addColumn<int>("journalRows");      // -1: no journal file
        QTest::addColumn<QString>("indicator");
        QTest::addColumn<QString>("toolTip");
        QTest::newRow("a journal that works: its file's name")
            << "folder=<dir>/rec" << -1 << 5 << JournalWriter::fileNameFor(FirstRowTime) << "<file>";
        QTest::newRow("enabled=false: no file, no message")
            << "enabled=false\nfolder=<dir>/rec" << -1 << -1 << "Journal off"
            << "The recording journal is switched off in config.ini";
        QTest::newRow("a folder that is a file: stops at the first row")
            << "folder=<dir>/file" << 0 << -1
            << "Journal stopped: cannot create the folder <dir>/file"
            << "<dir>/file\ncannot create the folder <dir>/file";
        QTest::newRow("the file may grow no further after two rows: they stay readable")
            << "folder=<dir>/rec" << 2 << 2 << "Journal stopped: cannot write <file>: File too large"
            << "<file>\ncannot write <file>: File too large";
    }
    void failureStopsOnlyTheJournal()
    {
        QFETCH(QString, config);
        QFETCH(int, rowsBeforeFailure);
        QFETCH(int, journalRows);
        QFETCH(QString, indicator);
        QFETCH(QString, toolTip);
        const QString file = m_dir->filePath("rec/" + JournalWriter::fileNameFor(FirstRowTime));
        for (QString *text : {&config, &indicator, &toolTip})
            text->replace("<file>", file).replace("<dir>", m_dir->path());
        QVERIFY(writeFile(m_dir->filePath("file")));
        writeConfig("[Journal]\n" + config.toUtf8() + "\n");
        auto window = makeWindow();
        showWide(window.get());
        const QString statusText = window->m_statusLabel->text();
        QSignalSpy messages(window->ui->statusbar, &QStatusBar::messageChanged);

        const int rows = 5;
        std::unique_ptr<FileSizeLimit> limit;
        for (int row = 0; row < rows; ++row) {
            if (row == rowsBeforeFailure && rowsBeforeFailure > 0)
                limit = std::make_unique<FileSizeLimit>(QFileInfo(file).size() + 20);
            record(window.get(), display("3.446", "V"));
        }
        limit.reset();

        QCOMPARE(window->ui->tableWidget->rowCount(), rows);
        QCOMPARE(window->m_statusLabel->text(), statusText);
        // A stopped journal is said once in a message, which has the bar to
        // itself; then the indicator keeps telling.
        QCOMPARE(messagesShown(messages),
                 indicator.startsWith("Journal stopped") ? QStringList{indicator} : QStringList());
        verifyIndicator(window.get(), indicator, toolTip);
        window.reset();

        const QStringList files = csvFilesIn(m_dir->filePath("rec"));
        QCOMPARE(files.size(), journalRows < 0 ? 0 : 1);
        if (journalRows >= 0)
            QCOMPARE(readCsvRecords(m_dir->filePath("rec/" + files[0])).size(), journalRows + 1);
    }

    // A journal that failed starts again in a new file at the port's next
    // open; one that works goes on in its file, a gap line where the link ended.
    void failedJournalStartsAgainAtTheNextOpen()
    {
        writeConfig("[Journal]\nfolder=" + m_dir->filePath("rec").toUtf8() + "\n");
        auto window = makeWindow();
        showWide(window.get());
        Terminal terminal;
        QVERIFY(!terminal.path.isEmpty());
        window->openPortNamed(terminal.path);
        QVERIFY(window->m_serialPort->isOpen());

        const QString first = m_dir->filePath("rec/" + JournalWriter::fileNameFor(g_now));
        record(window.get(), display("1.111", "V"));
        {
            const FileSizeLimit limit(QFileInfo(first).size() + 20);
            record(window.get(), display("2.222", "V"));
        }
        record(window.get(), display("3.333", "V"));
        verifyIndicator(window.get(), "Journal stopped: cannot write " + first + ": File too large",
                        first + "\ncannot write " + first + ": File too large");

        window->ui->act_closeSerialPort->trigger();
        window->openPortNamed(terminal.path);
        g_now = QDateTime(QDate(2026, 12, 7), QTime(10, 0, 5), Qt::OffsetFromUTC, 3600);
        const QString second = m_dir->filePath("rec/" + JournalWriter::fileNameFor(g_now));
        record(window.get(), display("4.444", "V"));
        verifyIndicator(window.get(), QFileInfo(second).fileName(), second);

        window->ui->act_closeSerialPort->trigger();
        window->openPortNamed(terminal.path);
        record(window.get(), display("5.555", "V"));
        verifyIndicator(window.get(), QFileInfo(second).fileName(), second);
        window.reset();

        QCOMPARE(csvFilesIn(m_dir->filePath("rec")).size(), 2);
        const QVector<QStringList> firstRecords = readCsvRecords(first);
        QCOMPARE(firstRecords.size(), 2);
        QCOMPARE(firstRecords[1].value(2), QStringLiteral("1.111"));
        const QVector<QStringList> records = readCsvRecords(second);
        QCOMPARE(records.size(), 4);
        QCOMPARE(records[1].mid(0, 3), QStringList({"4", "DC", "4.444"}));
        QCOMPARE(records[2], QStringList{"# gap: 2026-12-07T10:00:05+01:00 port closed"});
        QCOMPARE(records[3].mid(0, 3), QStringList({"5", "DC", "5.555"}));
    }

    // However the link ends, one gap line says when and why, in the words
    // the recorder uses.
    void droppedLinkWritesAGapLine_data()
    {
        QTest::addColumn<QString>("end");
        QTest::addColumn<QString>("reason"); // a pattern
        QTest::newRow("the user closes the port") << "close" << "port closed";
        QTest::newRow("the meter falls silent") << "silent" << "link lost \\(3 polls without data\\)";
        QTest::newRow("the far end of the line goes")
            << "hang up" << "link lost \\((the device hung up|port gone(: .+)?)\\)";
    }
    void droppedLinkWritesAGapLine()
    {
        QFETCH(QString, end);
        QFETCH(QString, reason);
        writeConfig("[Journal]\nfolder=" + m_dir->filePath("rec").toUtf8() + "\n");
        g_now = QDateTime(QDate(2026, 12, 7), QTime(9, 47, 31, 250), Qt::OffsetFromUTC, 3600);
        auto window = makeWindow();
        window->m_config.timeIntervalMs = 50;
        Terminal terminal;
        window->openPortNamed(terminal.path);
        QVERIFY(window->m_serialPort->isOpen());
        record(window.get(), display("1.111", "V"));

        if (end == "close")
            window->ui->act_closeSerialPort->trigger();
        else if (end == "silent")
            QCOMPARE(::write(terminal.meter, "x", 1), ssize_t(1)); // bytes, then none
        else
            terminal.hangUp();
        QTRY_VERIFY_WITH_TIMEOUT(!window->m_serialPort->isOpen(), 10000);
        window.reset();

        const QStringList files = csvFilesIn(m_dir->filePath("rec"));
        QCOMPARE(files.size(), 1);
        const QVector<QStringList> records = readCsvRecords(m_dir->filePath("rec/" + files[0]));
        QCOMPARE(records.size(), 3);
        QVERIFY2(QRegularExpression("^# gap: 2026-12-07T09:47:31\\+01:00 " + reason + "$")
                     .match(records[2].join(','))
                     .hasMatch(),
                 qPrintable(records[2].join(',')));
    }

    // File > "Open the recordings folder" (placed by tst_mainwindow) makes
    // the folder if need be and hands it to the file manager.
    void menuOpensTheRecordingsFolder()
    {
        writeConfig("[Journal]\nenabled=false\nfolder=" + m_dir->filePath("not/yet").toUtf8() + "\n");
        auto window = makeWindow();
        QAction *open = window->m_actOpenRecordings;
        QCOMPARE(open->text(), QStringLiteral("Open the recordings folder"));
        QVERIFY(!open->icon().isNull());

        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "recordUrl");
        open->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QCOMPARE(m_openedUrls, QList<QUrl>{QUrl::fromLocalFile(m_dir->filePath("not/yet"))});
        QVERIFY(QFileInfo(m_dir->filePath("not/yet")).isDir());
    }

    // The whole program against the simulator, the port named on its command
    // line, killed (SIGKILL) after some rows: the journal holds them, every
    // line complete. (A write failing half-way is checked above, in the window.)
    void programKilledKeepsItsRows()
    {
        QProcess simulator;
        const QString port = startMeterSimulator(&simulator, {"--scenario", "tour", "--tour-seconds", "1"});
        QVERIFY(!port.isEmpty());

        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_dir->filePath("data"));
        environment.insert("XDG_CONFIG_HOME", m_dir->filePath("config"));
        program.setProcessEnvironment(environment);
        program.setStandardOutputFile(QProcess::nullDevice());
        program.setStandardErrorFile(QProcess::nullDevice());
        // `ravelo PORT` opens the port at start.
        startOwnProgram(&program, QStringLiteral(RAVELO_PROGRAM), {port});
        QVERIFY(program.waitForStarted());

        const QString folder = m_dir->filePath("data/Ravelo/recordings");
        const auto journal = [&] {
            const QStringList files = csvFilesIn(folder);
            return files.isEmpty() ? QString() : folder + '/' + files[0];
        };
        const int rows = 3;
        QTRY_VERIFY_WITH_TIMEOUT(completeCsvLines(journal()) >= rows + 1, 30000);
        program.kill();
        QVERIFY(program.waitForFinished(10000));
        simulator.terminate();
        QVERIFY(simulator.waitForFinished(10000));

        QString error;
        const QVector<QStringList> records = readCsvRecords(journal(), &error);
        QVERIFY2(records.size() >= rows + 1, qPrintable(error));
        for (int i = 1; i < records.size(); ++i) {
            QCOMPARE(records[i].size(), JournalWriter::ColumnCount);
            QCOMPARE(records[i][0], QString::number(i));
            QVERIFY(QDateTime::fromString(records[i][5], Qt::ISODateWithMs).isValid());
        }
        QVERIFY(readFile(journal()).endsWith("\r\n"));
    }

    void recordUrl(const QUrl &url) { m_openedUrls << url; }

private:
    static QString configPath() { return AppConfig::configPath(QCoreApplication::applicationDirPath()); }

    static void writeConfig(const QByteArray &content) { QVERIFY(writeFile(configPath(), content)); }

    static std::unique_ptr<MainWindow> makeWindow()
    {
        auto window = std::make_unique<MainWindow>();
        window->m_now = testNow;
        return window;
    }

    // One reading through the decoder, as a poll tick would hand it on.
    static void record(MainWindow *window, const MeterDisplay &shown)
    {
        QByteArray frame;
        QVERIFY(encodeFrame(shown, &frame));
        window->decodeFrame(toFrameText(frame));
    }

    static QVector<QStringList> tableRows(MainWindow *window)
    {
        QVector<QStringList> rows;
        const QTableWidget *table = window->ui->tableWidget;
        for (int row = 0; row < table->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < table->columnCount(); ++column)
                cells << table->item(row, column)->text();
            rows << cells;
        }
        return rows;
    }

    // Wide enough that the indicator's longest text shows whole.
    static void showWide(MainWindow *window)
    {
        window->resize(1800, 700);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window));
    }

    static void verifyIndicator(MainWindow *window, const QString &text, const QString &toolTip)
    {
        window->statusBar()->clearMessage(); // as when a message's time is up
        QTest::qWait(0); // the status bar lays the new text out
        const auto *indicator = window->findChild<JournalIndicator *>();
        QVERIFY(indicator);
        QVERIFY(indicator->isVisible());
        QCOMPARE(indicator->text(), text);
        QCOMPARE(indicator->toolTip(), toolTip);
        // A stopped journal stands out.
        QCOMPARE(indicator->font().bold(), text.startsWith("Journal stopped"));
    }

    static QStringList messagesShown(const QSignalSpy &spy)
    {
        QStringList shown;
        for (const QList<QVariant> &arguments : spy) {
            if (!arguments.value(0).toString().isEmpty())
                shown << arguments.value(0).toString();
        }
        return shown;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    QList<QUrl> m_openedUrls;
};

QTEST_MAIN(tst_Journal)
#include "tst_journal.moc"
