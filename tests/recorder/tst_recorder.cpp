// ravelo-record end to end: the real program against the meter simulator on
// real pseudo-terminals, its files, its messages and its exit status.

#include "meter/frameencoder.h"
#include "meter/meterreading.h"
#include "capture/capturewriter.h"
#include "journal/journalwriter.h"
#include "support/metersimulator.h"
#include "support/testfiles.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QStandardPaths>
#include <QTest>

#include <memory>

#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const int RunTimeoutMs = 30000;

// A CSV journal's readings as "n function value unit", read back with
// Python's csv module; its comment lines go to *comments.
QStringList readings(const QString &path, QStringList *comments = nullptr)
{
    QStringList rows;
    const QVector<QStringList> records = readCsvRecords(path);
    for (int i = 1; i < records.size(); ++i) {
        if (!records[i].value(0).startsWith('#'))
            rows << records[i].mid(0, 4).join(' ');
        else if (comments)
            *comments << records[i].join(',');
    }
    return rows;
}

// A frame of the meter showing DC volts.
QByteArray voltsFrame(const QString &digits)
{
    MeterDisplay display;
    display.digits = digits;
    display.unit = QStringLiteral("V");
    display.dc = true;
    QByteArray frame;
    encodeFrame(display, &frame);
    return frame;
}

// Whether the readings are numbered 1, 2, 3… without a hole.
bool numberedFromOne(const QStringList &rows)
{
    for (int i = 0; i < rows.size(); ++i) {
        if (rows[i].section(' ', 0, 0) != QString::number(i + 1))
            return false;
    }
    return true;
}

QStringList withoutNumbers(QStringList rows)
{
    for (QString &row : rows)
        row = row.section(' ', 1);
    return rows;
}

// Whether `part` appears in `whole` in order (not necessarily next to each other).
bool inOrderWithin(const QStringList &part, const QStringList &whole)
{
    int at = 0;
    for (const QString &text : part) {
        at = whole.indexOf(text, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

} // namespace

class tst_Recorder : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QProcess> m_simulator;
    QTemporaryDir m_folder;

    // Starts the simulator; returns its terminal's path.
    QString startSimulator(const QStringList &arguments)
    {
        m_simulator = std::make_unique<QProcess>();
        return startMeterSimulator(m_simulator.get(), arguments);
    }

    // Runs the recorder to its end; returns its exit status, fills *err with its standard error.
    static int record(const QStringList &arguments, QByteArray *err = nullptr, QByteArray *out = nullptr)
    {
        return runOwnProgram(QStringLiteral(RAVELO_RECORD), arguments, RunTimeoutMs, err, out);
    }

    QString file(const QString &name) const { return m_folder.filePath(name); }

private slots:
    void cleanup()
    {
        if (m_simulator) {
            m_simulator->terminate();
            m_simulator->waitForFinished(5000);
            m_simulator.reset();
        }
        for (const QString &name : QDir(m_folder.path()).entryList(QDir::Files | QDir::System))
            QFile::remove(file(name));
    }

    // Live against the simulator, then its capture decoded offline: every
    // reading is one the simulator sent, in its order; across a hang-up and a
    // reopen (through --link) one gap is marked and the numbering goes on;
    // the offline decode writes the same file as the live run.
    void liveRunAndItsCapture_data()
    {
        QTest::addColumn<QStringList>("simulator");
        QTest::addColumn<QString>("summary");
        const QStringList tour{"--scenario", "tour", "--tour-seconds", "0.3", "--verbose"};
        QTest::newRow("clean frames") << tour + QStringList{"--rate", "10"} << "15 readings, 0 gaps";
        QTest::newRow("garbage after every frame")
            << tour + QStringList{"--rate", "10", "--garbage", "30"} << "15 readings, 0 gaps";
        QTest::newRow("split frames")
            << tour + QStringList{"--rate", "7", "--split", "--split-gap-ms", "15"} << "15 readings, 0 gaps";
        QTest::newRow("a hang-up and a reopen")
            << tour + QStringList{"--rate", "10", "--hangup-after", "0.8", "--reopen-after", "0.3", "--link", "@/meter"}
            << "15 readings, 1 gap";
        QTest::newRow("the cable out for 5 s: the reopen is tried again until it works")
            << tour + QStringList{"--rate", "10", "--hangup-after", "0.8", "--reopen-after", "5", "--link", "@/meter"}
            << "15 readings, 1 gap";
    }

    void liveRunAndItsCapture()
    {
        QFETCH(QStringList, simulator);
        QFETCH(QString, summary);
        simulator.replaceInStrings("@", m_folder.path());
        QString port = startSimulator(simulator);
        QVERIFY(!port.isEmpty());
        if (simulator.contains("--link")) {
            port = file("meter");
            QVERIFY(QFileInfo(port).isSymLink());
        }
        QByteArray err;
        QCOMPARE(record({port, "-i", "0.1", "-n", "15", "-o", file("live.csv"), "--raw", file("r.cap"), "-q"}, &err), 0);
        QVERIFY2(err.contains(summary.toUtf8()), err.constData());
        QStringList comments;
        const QStringList rows = readings(file("live.csv"), &comments);
        QCOMPARE(rows.size(), 15);
        QVERIFY2(numberedFromOne(rows), qPrintable(rows.join('|')));
        QCOMPARE(comments.size(), summary.endsWith("1 gap") ? 1 : 0);
        for (const QString &comment : comments)
            QVERIFY2(comment.contains(QRegularExpression(
                         "^# gap: \\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d "
                         "link lost \\(the device hung up\\)$")),
                     qPrintable(comment));

        m_simulator->terminate();
        QVERIFY(m_simulator->waitForFinished(5000));
        QStringList sent;
        for (const QByteArray &line : m_simulator->readAllStandardError().split('\n')) {
            const std::optional<MeterReading> reading =
                line.contains("frame ") ? MeterReading::fromFrameText(line.mid(line.lastIndexOf(' ') + 1))
                                        : std::nullopt;
            if (reading)
                sent << QStringList{reading->functionText, reading->tableValueText(), reading->unitText}.join(' ');
        }
        QVERIFY2(inOrderWithin(withoutNumbers(rows), sent), qPrintable(rows.join('|')));

        QCOMPARE(record({"--replay", file("r.cap"), "-o", file("replay.csv"), "-q"}), 0);
        QCOMPARE(readFile(file("replay.csv")), readFile(file("live.csv")));

        // Into a folder, each run writes a file of its own.
        QTemporaryDir runs;
        for (int run = 0; run < 2; ++run)
            QCOMPARE(record({"--replay", file("r.cap"), "-o", runs.path(), "-q"}), 0);
        const QStringList made = QDir(runs.path()).entryList(QDir::Files);
        QCOMPARE(made.size(), 2);
        for (const QString &name : made)
            QCOMPARE(readFile(runs.filePath(name)), readFile(file("live.csv")));
        // A count ends the decode where it ends a live run.
        QCOMPARE(record({"--replay", file("r.cap"), "-n", "7", "-o", file("seven.csv"), "-q"}), 0);
        QCOMPARE(readings(file("seven.csv")), rows.mid(0, 7));
    }

    // A capture that crosses the range, decoded with limits: each crossing is
    // marked once in the file and in the JSON lines, and starts the command
    // (without a shell, its words split as sh splits them) with the reading
    // in its environment. A command that fails is told with its status, the
    // same failure again within a minute counted; the recording goes on.
    void limitCrossings_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("arguments"); // as the command saw them after the crossing
        QTest::addColumn<QStringList>("told");  // on standard error, each once
        QTest::newRow("quoted arguments reach the program whole")
            << "@/on-limit.sh @/events.txt \"a $b\" 'c \"d\"' e\\ f ''" << " [a $b] [c \"d\"] [e f] []"
            << QStringList{};
        QTest::newRow("a script for sh in single quotes")
            << "sh -c 'echo \"$RAVELO_STATE $RAVELO_VALUE $RAVELO_UNIT [$1]\" >> \"$0\"' @/events.txt 'x y'"
            << " [x y]" << QStringList{};
        QTest::newRow("a command that fails: its status told once, the same again counted")
            << "@/on-limit.sh @/events.txt fail" << " [fail]"
            << QStringList{"--on-limit: @/on-limit.sh failed with exit status 3 (", // whichever ends first
                           "--on-limit: @/on-limit.sh failed with exit status 3: 4 more times since the last message\n"};
    }

    void limitCrossings()
    {
        QFETCH(QString, command);
        QFETCH(QString, arguments);
        QFETCH(QStringList, told);
        command.replace("@", m_folder.path());
        told.replaceInStrings("@", m_folder.path());
        QVERIFY(writeFile(file("on-limit.sh"),
                          "#!/bin/sh\nout=$1; shift\nline=\"$RAVELO_STATE $RAVELO_VALUE $RAVELO_UNIT\"\n"
                          "for a in \"$@\"; do line=\"$line [$a]\"; done\necho \"$line\" >> \"$out\"\n"
                          "if [ \"$1\" = fail ]; then exit 3; fi\n"));
        QVERIFY(QFile::setPermissions(file("on-limit.sh"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        CaptureWriter capture;
        QVERIFY(capture.open(file("c.cap"), QDateTime::currentDateTime(), 100, "/dev/ttyUSB0"));
        const QStringList shown{"5.000", "5.200", "5.300", "5.050", "4.800", "0.L", "5.000"};
        for (int i = 0; i < shown.size(); ++i) {
            capture.received(100 * i + 10, voltsFrame(shown[i]));
            capture.tick(100 * i + 100);
        }
        capture.close();

        QByteArray err, out;
        QCOMPARE(record({"--replay", file("c.cap"), "-o", file("r.csv"), "-f", "jsonl", "--low", "4.9",
                         "--high", "5.1", "--on-limit", command}, &err, &out), 0);
        QStringList comments;
        QCOMPARE(readings(file("r.csv"), &comments).size(), shown.size());
        for (QString &comment : comments)
            comment = comment.section(' ', 0, 1) + ' ' + comment.section(' ', 3); // without the time
        QCOMPARE(comments, QStringList({"# limit: high 5.2 V", "# limit: ok 5.05 V", "# limit: low 4.8 V",
                                        "# limit: high OL V", "# limit: ok 5 V"}));
        QStringList events;
        for (const QByteArray &line : out.split('\n')) {
            const QJsonObject object = QJsonDocument::fromJson(line).object();
            if (object["event"] == "limit")
                events << QStringLiteral("%1 %2").arg(object["n"].toInt()).arg(object["state"].toString());
        }
        QCOMPARE(events, QStringList({"2 high", "4 ok", "5 low", "6 high", "7 ok"}));

        // Started, not waited for: they may finish in any order; the end of
        // the run waits for them.
        QStringList ran = QString::fromUtf8(readFile(file("events.txt"))).split('\n', Qt::SkipEmptyParts);
        ran.sort();
        QStringList expected{"high 5.2 V", "high OL V", "low 4.8 V", "ok 5 V", "ok 5.05 V"};
        for (QString &line : expected)
            line += arguments;
        QCOMPARE(ran, expected);
        for (const QString &line : told)
            QVERIFY2(err.count(line.toUtf8()) == 1, err.constData());
        QCOMPARE(err.count("--on-limit"), told.size());
    }

    // A file that can grow no further ends the run; the summary counts the
    // readings it holds.
    void aFullFileEndsTheRun()
    {
        const QString port = startSimulator({"--rate", "20"});
        QProcess shell;
        // 1 KiB at most, and writing past it fails instead of killing the program.
        shell.start("bash", {"-c", QStringLiteral("trap '' XFSZ; ulimit -f 1; exec %1 '%2' -i 0.1 -o '%3' -q")
                                       .arg(ownProgramShellWords(RAVELO_RECORD), port, file("r.csv"))});
        QVERIFY(shell.waitForFinished(RunTimeoutMs));
        QCOMPARE(shell.exitCode(), 1);
        const QByteArray err = shell.readAllStandardError();
        const int rows = readings(file("r.csv")).size();
        QVERIFY2(rows > 5, err.constData());
        QVERIFY2(err.contains(QStringLiteral("\n%1 readings, 0 gaps").arg(rows).toUtf8())
                     && err.contains("ravelo-record: cannot write " + QFile::encodeName(file("r.csv"))),
                 err.constData());
    }

    // Silence without a hang-up is a gap too, and the recorder waits for the meter to speak again.
    void silenceIsAGap()
    {
        const QString port = startSimulator({"--rate", "10", "--pause-every", "1", "--pause-for", "4.5"});
        QProcess recorder;
        startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD), {port, "-i", "0.1", "-f", "jsonl"});
        QVERIFY(recorder.waitForStarted());
        // Until a reading follows the gap.
        QByteArray out;
        const auto readingAfterGap = [&] {
            out += recorder.readAllStandardOutput();
            const int gap = out.indexOf("\"event\":\"gap\"");
            return gap >= 0 && out.indexOf("{\"n\":", gap) > gap;
        };
        QTRY_VERIFY_WITH_TIMEOUT(readingAfterGap(), RunTimeoutMs);
        recorder.terminate();
        QVERIFY(recorder.waitForFinished(5000));
        out += recorder.readAllStandardOutput();

        QVERIFY2(out.startsWith("{\"n\":"), out.constData()); // readings, then the one gap, then readings
        QCOMPARE(out.count("\"event\":\"gap\""), 1);
        const QByteArray err = recorder.readAllStandardError();
        QVERIFY2(err.contains("link lost (no data for 3 s)") && err.contains("link back"), err.constData());
    }

    void endsOnASignal_data()
    {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << SIGTERM;
        QTest::newRow("SIGINT") << SIGINT;
    }

    // Stopped from outside: a complete file, the summary, status 0.
    void endsOnASignal()
    {
        QFETCH(int, signalNumber);
        const QString port = startSimulator({"--rate", "20"});
        QProcess recorder;
        startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD), {port, "-i", "0.1", "-o", file("r.csv"), "--raw", file("r.cap")});
        QVERIFY(recorder.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(completeCsvLines(file("r.csv")) >= 6, 10000);
        ::kill(pid_t(recorder.processId()), signalNumber);
        QVERIFY(recorder.waitForFinished(5000));
        QCOMPARE(recorder.exitStatus(), QProcess::NormalExit);
        QCOMPARE(recorder.exitCode(), 0);

        QVERIFY(readFile(file("r.csv")).endsWith("\r\n"));
        const QStringList rows = readings(file("r.csv"));
        const QByteArray err = recorder.readAllStandardError();
        QVERIFY2(err.contains(QStringLiteral("%1 readings, 0 gaps").arg(rows.size()).toUtf8()), err.constData());
        QVERIFY(err.contains("min ") && err.contains("mean "));
        QCOMPARE(recorder.readAllStandardOutput().count('\n'), rows.size());
    }

    // `ravelo-record PORT | head`: the reader going away ends the run, quietly and completely.
    void aReaderThatGoesAwayEndsTheRun()
    {
        const QString port = startSimulator({"--rate", "10"});
        QProcess shell;
        shell.start("bash", {"-c", QStringLiteral("set -o pipefail; %1 '%2' -i 0.1 -o '%3' 2>'%4' | head -n 2")
                                       .arg(ownProgramShellWords(RAVELO_RECORD), port, file("r.csv"), file("err.txt"))});
        QVERIFY(shell.waitForFinished(RunTimeoutMs));
        QCOMPARE(shell.exitCode(), 0);
        QCOMPARE(shell.readAllStandardOutput().count('\n'), 2);
        const QByteArray messages = readFile(file("err.txt"));
        const int rows = readings(file("r.csv")).size();
        QVERIFY2(messages.contains("standard output closed")
                     && messages.contains(QStringLiteral("\n%1 readings").arg(rows).toUtf8()),
                 messages.constData());
    }

    void durationEndsTheRun()
    {
        const QString port = startSimulator({"--rate", "10"});
        QByteArray out;
        QCOMPARE(record({port, "-i", "0.1", "--duration", "1s", "-f", "csv"}, nullptr, &out), 0);
        const int rows = out.count('\n') - 1;
        QVERIFY2(rows >= 1 && rows <= 11, qPrintable(QString::number(rows)));
        QVERIFY(out.startsWith(JournalWriter::csvLine(JournalWriter::headerCells())));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");

        QTest::newRow("a missing port")
            << QStringList{"/dev/ravelo-no-such-port"} << 1
            << "cannot open /dev/ravelo-no-such-port: No such file or directory";
        QTest::newRow("a folder") << QStringList{"@"} << 1 << "cannot open @: Is a directory";
        QTest::newRow("a file that is not a terminal")
            << QStringList{"@/plain.txt"} << 1 << "cannot open @/plain.txt: Not a terminal";
        QTest::newRow("a device that is no terminal")
            << QStringList{"/dev/null"} << 1 << "cannot open /dev/null: not a serial port\n";
        QTest::newRow("a bare name is a device in /dev")
            << QStringList{"ravelo-no-such-port"} << 1
            << "cannot open /dev/ravelo-no-such-port: No such file or directory";
        QTest::newRow("no port") << QStringList{} << 2 << "missing port";
        QTest::newRow("a capture that is not there")
            << QStringList{"--replay", "@/none.cap"} << 1 << "@/none.cap";
        QTest::newRow("an --on-limit program that is not there, before the port is tried")
            << QStringList{"/dev/ravelo-no-such-port", "--high", "1", "--on-limit", "@/no-such-program x"} << 2
            << "--on-limit: cannot run @/no-such-program: no such program\n";
        QTest::newRow("an --on-limit quote left open")
            << QStringList{"p", "--high", "1", "--on-limit", "\"@/plain.txt"} << 2
            << "--on-limit: the double quote at character 1 is not closed\n";
    }

    void refusals()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, message);
        QVERIFY(writeFile(file("plain.txt")));
        arguments.replaceInStrings("@", m_folder.path());
        message.replace("@", m_folder.path());

        QByteArray err;
        QCOMPARE(record(arguments, &err), status);
        QVERIFY2(err.startsWith("ravelo-record: " + message.toUtf8()), err.constData());
        if (status == 2)
            QVERIFY(err.contains("Try 'ravelo-record --help'"));
    }

    // A port another program has open: the lock file it holds is named.
    void heldPortNamesTheLockFile()
    {
        const QString port = startSimulator({"--rate", "5"});
        QProcess holder;
        startOwnProgram(&holder, QStringLiteral(RAVELO_RECORD), {port, "-o", file("first.csv")});
        QVERIFY(holder.waitForStarted());
        QByteArray said;
        QTRY_VERIFY((said += holder.readAllStandardError()).contains("recording"));
        const qint64 holderPid = holder.processId();

        QByteArray err;
        QCOMPARE(record({port, "-o", file("second.csv")}, &err), 1);
        holder.terminate();
        QVERIFY(holder.waitForFinished(5000));
        const QString lockFile = "/LCK.." + port.mid(5).replace('/', '_');
        const QRegularExpression expected(
            "^ravelo-record: cannot open " + QRegularExpression::escape(port)
            + QStringLiteral(": locked by another program, ravelo-record \\(process %1\\); lock file /\\S+")
                  .arg(holderPid)
            + QRegularExpression::escape(lockFile) + "\n$");
        QVERIFY2(QString::fromLocal8Bit(err).contains(expected), err.constData());
        QVERIFY(!QFile::exists(file("second.csv"))); // no file for a port never opened
    }

    // A port the user may not open: the reason, and the group to join.
    void permissionDeniedNamesTheGroup()
    {
        if (::geteuid() != 0 || QStandardPaths::findExecutable("runuser").isEmpty())
            QSKIP("needs root to run the recorder as another user");
        // Where a folder above the build is private (a root made by mktemp), the other user cannot reach it.
        if (QProcess::execute("runuser", {"-u", "nobody", "--", "test", "-x", RAVELO_RECORD}) != 0)
            QSKIP("the other user cannot reach the recorder");
        const QString port = startSimulator({"--rate", "5"});
        const QByteArray local = QFile::encodeName(port);
        QCOMPARE(::chown(local.constData(), 0, 20), 0); // group 20: dialout on Debian
        QCOMPARE(::chmod(local.constData(), 0660), 0);
        const QByteArray group = ::getgrgid(20) ? QByteArray(::getgrgid(20)->gr_name) : QByteArray("20");

        const OwnProgramCall call = ownProgramCall(RAVELO_RECORD, {port});
        QProcess recorder;
        recorder.start("runuser", QStringList{"-u", "nobody", "--", call.program} + call.arguments);
        QVERIFY(recorder.waitForFinished(RunTimeoutMs));
        QCOMPARE(recorder.exitCode(), 1);
        const QByteArray err = recorder.readAllStandardError();
        QVERIFY2(err.contains("cannot open " + local + ": Permission denied"), err.constData());
        QVERIFY2(err.contains("hint: ") && err.contains("usermod -aG " + group), err.constData());
    }

    // The simulator plays a capture back on a terminal, and the recorder reads it as it read the meter.
    void simulatorReplaysACapture()
    {
        const QString port = startSimulator({"--rate", "5"});
        QCOMPARE(record({port, "-i", "0.1", "-n", "15", "-o", file("live.csv"), "--raw", file("r.cap"), "-q"}), 0);
        m_simulator->terminate();
        QVERIFY(m_simulator->waitForFinished(5000));

        const QString replayPort = startSimulator({"--replay", file("r.cap")});
        QVERIFY(!replayPort.isEmpty());
        QCOMPARE(record({replayPort, "-i", "0.1", "-n", "6", "-o", file("replayed.csv"), "-q"}), 0);
        const QStringList replayed = withoutNumbers(readings(file("replayed.csv")));
        QCOMPARE(replayed.size(), 6);
        QVERIFY2(inOrderWithin(replayed, withoutNumbers(readings(file("live.csv")))), qPrintable(replayed.join('|')));
    }

    // The libraries a running recorder has loaded (its memory map, which
    // holds them under an emulator too).
    void linksOnlyQtCoreAndSerialPort()
    {
        const QString port = startSimulator({"--rate", "5"});
        QProcess recorder;
        startOwnProgram(&recorder, QStringLiteral(RAVELO_RECORD), {port});
        QVERIFY(recorder.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += recorder.readAllStandardError()).contains("recording"), RunTimeoutMs);
        QFile maps(QStringLiteral("/proc/%1/maps").arg(recorder.processId()));
        const QByteArray libraries = maps.open(QIODevice::ReadOnly) ? maps.readAll() : QByteArray();
        recorder.terminate();
        QVERIFY(recorder.waitForFinished(RunTimeoutMs));
        if (libraries.isEmpty())
            QSKIP("no memory map of a process here");
        QVERIFY(libraries.contains("libQt5Core") && libraries.contains("libQt5SerialPort"));
        QVERIFY2(!libraries.contains("libQt5Gui") && !libraries.contains("libQt5Widgets"), libraries.constData());
    }
};

QTEST_GUILESS_MAIN(tst_Recorder)
#include "tst_recorder.moc"
