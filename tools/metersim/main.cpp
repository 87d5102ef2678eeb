// ravelo-meter-sim: a multimeter on a pseudo-terminal. Prints the terminal's
// path as the first line on stdout, then streams frames to it and answers
// the keys pressed over the line.
#include "metersimulator.h"

#include "capture/capturereader.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>

#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <deque>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#if defined(__APPLE__) || defined(__FreeBSD__)
#include <util.h>
#else
#include <pty.h>
#endif

namespace {

const double DefaultRate = 3.0;       // frames per second
const double DefaultTourSeconds = 4.0;
const int DefaultSplitGapMs = 15;
const int ReadChunkBytes = 256;
// Unread bytes on the terminal's input side beyond which nobody is reading
// them: dropped so that whoever opens the port next gets fresh frames.
const int StaleBacklogBytes = 256;
const qint64 HangupBackoffMs = 100;
// After a replay, how long the last bytes may wait for a reader.
const qint64 ReplayDrainMs = 2000;
// A replay waits for a reader at most this long.
const qint64 ReplayWaitForReaderMs = 5000;
const qint64 ReaderPollMs = 10;

volatile sig_atomic_t g_stop = 0;

void onStopSignal(int)
{
    g_stop = 1;
}

qint64 nowMs()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

void logLine(const QString &line)
{
    std::fprintf(stderr, "ravelo-meter-sim: %s\n", line.toLocal8Bit().constData());
}

struct PendingWrite {
    qint64 dueMs;
    QByteArray bytes;
};

// Writes everything or gives up (the line's buffer is full and stays full).
bool writeAll(int master, int slave, const QByteArray &bytes)
{
    qint64 done = 0;
    bool flushed = false;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && errno == EAGAIN && !flushed) {
            tcflush(slave, TCIFLUSH);
            flushed = true;
        } else {
            return false;
        }
    }
    return true;
}

// A pseudo-terminal with our own end of both sides open.
struct Terminal {
    int master = -1;
    int slave = -1;
    QByteArray name;

    bool open()
    {
        char path[256] = {};
        if (openpty(&master, &slave, path, nullptr, nullptr) != 0) {
            std::fprintf(stderr, "ravelo-meter-sim: openpty: %s\n", std::strerror(errno));
            return false;
        }
        name = path;
        // Raw line: no echo of the frames back to us, no newline translation.
        // Our own end of the slave stays open so the terminal lives while no
        // program has it open.
        termios raw {};
        tcgetattr(slave, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave, TCSANOW, &raw);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
        fcntl(master, F_SETFD, FD_CLOEXEC);
        fcntl(slave, F_SETFD, FD_CLOEXEC);
        return true;
    }

    // The path as a line on stdout, once the link (if any) leads to it.
    void announce() const
    {
        std::printf("%s\n", name.constData());
        std::fflush(stdout);
    }

    void close()
    {
        if (master >= 0)
            ::close(master);
        if (slave >= 0)
            ::close(slave);
        master = slave = -1;
    }
};

// Points the symbolic link at `target`, replacing what was there in one step.
bool moveLink(const QByteArray &link, const QByteArray &target)
{
    const QByteArray temporary = link + ".new";
    ::unlink(temporary.constData());
    if (::symlink(target.constData(), temporary.constData()) != 0
        || ::rename(temporary.constData(), link.constData()) != 0) {
        logLine(QStringLiteral("cannot make the link %1: %2")
                    .arg(QString::fromLocal8Bit(link), QString::fromLocal8Bit(std::strerror(errno))));
        ::unlink(temporary.constData());
        return false;
    }
    return true;
}

// Removes the link when it is still ours (a link pointing at our terminal).
void removeLink(const QByteArray &link, const QByteArray &target)
{
    char buffer[512] = {};
    const ssize_t n = ::readlink(link.constData(), buffer, sizeof buffer - 1);
    if (n > 0 && QByteArray(buffer, int(n)) == target)
        ::unlink(link.constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ravelo-meter-sim"));
    const QStringList arguments = QCoreApplication::arguments();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "A digital multimeter on a pseudo-terminal, for Ravelo without hardware.\n"
        "Prints the terminal's path as the first line on stdout, then streams\n"
        "meter frames to it and reacts to the keys pressed over the line\n"
        "(logged on stderr). Stops on SIGINT or SIGTERM."));
    parser.addHelpOption();
    const QCommandLineOption scenarioOption(
        {QStringLiteral("s"), QStringLiteral("scenario")},
        QStringLiteral("What the meter shows (default dcv; see --list-scenarios)."),
        QStringLiteral("name"), QStringLiteral("dcv"));
    const QCommandLineOption listOption(QStringLiteral("list-scenarios"),
                                        QStringLiteral("List the scenarios and exit."));
    const QCommandLineOption rateOption(
        {QStringLiteral("r"), QStringLiteral("rate")},
        QStringLiteral("Frames per second (default 3)."), QStringLiteral("n"),
        QString::number(DefaultRate));
    const QCommandLineOption tourOption(
        QStringLiteral("tour-seconds"),
        QStringLiteral("Seconds per scenario in the tour (default 4)."), QStringLiteral("s"),
        QString::number(DefaultTourSeconds));
    const QCommandLineOption seedOption(QStringLiteral("seed"),
                                        QStringLiteral("Seed of the noise (default 1)."),
                                        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption versionOption(
        QStringLiteral("meter-version"),
        QStringLiteral("Version byte sent in every frame: 1, 2, 4, 8 (or any 0-255)."),
        QStringLiteral("n"));
    const QCommandLineOption holdOption(QStringLiteral("hold"), QStringLiteral("Start with HOLD on."));
    const QCommandLineOption relOption(QStringLiteral("rel"), QStringLiteral("Start with REL on."));
    const QCommandLineOption maxOption(QStringLiteral("max"), QStringLiteral("Start showing MAX."));
    const QCommandLineOption minOption(QStringLiteral("min"), QStringLiteral("Start showing MIN."));
    const QCommandLineOption manualOption(
        QStringLiteral("manual-range"), QStringLiteral("Start in manual range (Range lit, AUTO off)."));
    const QCommandLineOption apoOption(QStringLiteral("apo"), QStringLiteral("Light APO."));
    const QCommandLineOption batOption(QStringLiteral("bat"), QStringLiteral("Light BAT."));
    const QCommandLineOption lightningOption(QStringLiteral("lightning"),
                                             QStringLiteral("Show the lightning symbol."));
    const QCommandLineOption garbageOption(
        QStringLiteral("garbage"),
        QStringLiteral("Fault: 1 to n random bytes (never 0xA5) after each frame."),
        QStringLiteral("n"));
    const QCommandLineOption badChecksumOption(
        QStringLiteral("bad-checksum"), QStringLiteral("Fault: every nth frame has a wrong checksum."),
        QStringLiteral("n"));
    const QCommandLineOption splitOption(
        QStringLiteral("split"), QStringLiteral("Fault: write each frame in two or three pieces."));
    const QCommandLineOption splitGapOption(
        QStringLiteral("split-gap-ms"),
        QStringLiteral("Milliseconds between the pieces of a split frame (default 15)."),
        QStringLiteral("ms"), QString::number(DefaultSplitGapMs));
    const QCommandLineOption pauseEveryOption(
        QStringLiteral("pause-every"),
        QStringLiteral("Fault: fall silent every s seconds (with --pause-for)."), QStringLiteral("s"));
    const QCommandLineOption pauseForOption(
        QStringLiteral("pause-for"), QStringLiteral("Length of each silence in seconds (default 5)."),
        QStringLiteral("s"), QStringLiteral("5"));
    const QCommandLineOption hangupOption(
        QStringLiteral("hangup-after"),
        QStringLiteral("Fault: hang up (close the terminal) after s seconds, then exit."),
        QStringLiteral("s"));
    const QCommandLineOption hangupFramesOption(
        QStringLiteral("hangup-after-frames"),
        QStringLiteral("Fault: hang up after n frames, then exit."), QStringLiteral("n"));
    const QCommandLineOption reopenOption(
        QStringLiteral("reopen-after"),
        QStringLiteral("After a hang-up, open a new terminal after s seconds (--link is "
                       "gone meanwhile, then points at it) instead of exiting: a cable "
                       "pulled and plugged back."),
        QStringLiteral("s"));
    const QCommandLineOption linkOption(
        QStringLiteral("link"),
        QStringLiteral("Keep a symbolic link at path pointing at the current terminal."),
        QStringLiteral("path"));
    const QCommandLineOption replayOption(
        QStringLiteral("replay"),
        QStringLiteral("Play a capture of ravelo-record --raw back with its timing, from "
                       "when a program opens the terminal (at most 5 s later), then exit."),
        QStringLiteral("file"));
    const QCommandLineOption speedOption(
        QStringLiteral("speed"), QStringLiteral("Replay x times faster (default 1)."),
        QStringLiteral("x"), QStringLiteral("1"));
    const QCommandLineOption verboseOption(
        {QStringLiteral("v"), QStringLiteral("verbose")},
        QStringLiteral("Log every frame sent on stderr."));
    parser.addOptions({scenarioOption, listOption, rateOption, tourOption, seedOption,
                       versionOption, holdOption, relOption, maxOption, minOption, manualOption,
                       apoOption, batOption, lightningOption, garbageOption, badChecksumOption,
                       splitOption, splitGapOption, pauseEveryOption, pauseForOption,
                       hangupOption, hangupFramesOption, reopenOption, linkOption, replayOption,
                       speedOption, verboseOption});

    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "ravelo-meter-sim: %s\n", parser.errorText().toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        QString help = parser.helpText();
        help += QStringLiteral("\nScenarios:\n");
        for (const QString &name : MeterSimulator::scenarioNames())
            help += QStringLiteral("  %1 %2\n").arg(name, -10).arg(MeterSimulator::scenarioDescription(name));
        help += QStringLiteral(
            "\nKeys understood (command records 5A 00 key sum): SELECT, MAX/MIN, EXIT MAX/MIN,\n"
            "Hz/DUTY, HOLD, LIGHT, EXIT RANGE, RANGE, REL.\n");
        std::fputs(help.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(listOption)) {
        for (const QString &name : MeterSimulator::scenarioNames())
            std::printf("%-10s %s\n", name.toLocal8Bit().constData(),
                        MeterSimulator::scenarioDescription(name).toLocal8Bit().constData());
        return 0;
    }

    auto number = [&parser](const QCommandLineOption &option, double low, double high,
                            double *value) {
        if (!parser.isSet(option))
            return true;
        bool ok = false;
        const double v = parser.value(option).toDouble(&ok);
        if (!ok || !(v >= low && v <= high)) {
            std::fprintf(stderr, "ravelo-meter-sim: --%s wants a number from %g to %g\n",
                         option.names().constLast().toLocal8Bit().constData(), low, high);
            return false;
        }
        *value = v;
        return true;
    };

    double rate = DefaultRate;
    double tourSeconds = DefaultTourSeconds;
    double seed = 1;
    double version = -1;
    double garbage = 0;
    double badChecksum = 0;
    double splitGapMs = DefaultSplitGapMs;
    double pauseEvery = 0;
    double pauseFor = 5;
    double hangupAfter = 0;
    double hangupFrames = 0;
    double reopenAfter = -1;
    double speed = 1;
    if (!number(rateOption, 0.05, 100, &rate) || !number(tourOption, 0.1, 3600, &tourSeconds)
        || !number(seedOption, 0, 4294967295.0, &seed) || !number(versionOption, 0, 255, &version)
        || !number(garbageOption, 0, 4096, &garbage)
        || !number(badChecksumOption, 0, 1e9, &badChecksum)
        || !number(splitGapOption, 0, 10000, &splitGapMs)
        || !number(pauseEveryOption, 0, 1e6, &pauseEvery)
        || !number(pauseForOption, 0, 1e6, &pauseFor)
        || !number(hangupOption, 0, 1e7, &hangupAfter)
        || !number(hangupFramesOption, 0, 1e9, &hangupFrames)
        || !number(reopenOption, 0, 1e6, &reopenAfter) || !number(speedOption, 0.001, 1e9, &speed))
        return 2;

    MeterSimulator meter{quint32(seed)};
    meter.setFramesPerSecond(rate);
    meter.setTourFrames(qMax(1, int(std::lround(tourSeconds * rate))));
    if (!meter.setScenario(parser.value(scenarioOption))) {
        std::fprintf(stderr, "ravelo-meter-sim: unknown scenario \"%s\" (see --list-scenarios)\n",
                     parser.value(scenarioOption).toLocal8Bit().constData());
        return 2;
    }
    MeterSimulator::StartFlags flags;
    flags.hold = parser.isSet(holdOption);
    flags.rel = parser.isSet(relOption);
    flags.max = parser.isSet(maxOption);
    flags.min = parser.isSet(minOption);
    flags.manualRange = parser.isSet(manualOption);
    flags.apo = parser.isSet(apoOption);
    flags.bat = parser.isSet(batOption);
    flags.lightning = parser.isSet(lightningOption);
    flags.version = int(version);
    meter.setStartFlags(flags);
    MeterSimulator::Faults faults;
    faults.garbageMaxBytes = int(garbage);
    faults.badChecksumEvery = int(badChecksum);
    faults.split = parser.isSet(splitOption);
    meter.setFaults(faults);
    const bool verbose = parser.isSet(verboseOption);

    CaptureReader capture;
    const bool replaying = parser.isSet(replayOption);
    if (replaying && !capture.open(parser.value(replayOption))) {
        std::fprintf(stderr, "ravelo-meter-sim: %s: %s\n",
                     parser.value(replayOption).toLocal8Bit().constData(),
                     capture.errorString().toLocal8Bit().constData());
        return 1;
    }
    const QByteArray linkPath = QFile::encodeName(parser.value(linkOption));

    Terminal terminal;
    if (!terminal.open())
        return 1;
    if (!linkPath.isEmpty() && !moveLink(linkPath, terminal.name)) {
        terminal.close();
        return 1;
    }
    terminal.announce();
    int &master = terminal.master;
    int &slave = terminal.slave;

    // SIGINT and SIGTERM are blocked except inside ppoll, so none is lost
    // between a check of the flag and the wait.
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    sigset_t blocked;
    sigset_t waitMask;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGINT);
    sigaddset(&blocked, SIGTERM);
    sigprocmask(SIG_BLOCK, &blocked, &waitMask);
    sigdelset(&waitMask, SIGINT);
    sigdelset(&waitMask, SIGTERM);

    if (replaying)
        logLine(QStringLiteral("meter on %1, replaying %2 at %3 times its speed")
                    .arg(QString::fromLocal8Bit(terminal.name), parser.value(replayOption))
                    .arg(speed));
    else
        logLine(QStringLiteral("meter on %1, scenario %2, %3 frames/s")
                    .arg(QString::fromLocal8Bit(terminal.name), meter.scenarioName())
                    .arg(rate));

    // A replay starts when a program has opened the terminal and set its
    // line (the window and ravelo-record set 9600 baud), so it sees the
    // capture from its first byte; or after a few seconds without one.
    if (replaying) {
        termios before {};
        tcgetattr(slave, &before);
        const qint64 giveUpMs = nowMs() + ReplayWaitForReaderMs;
        while (!g_stop && nowMs() < giveUpMs) {
            termios now {};
            tcgetattr(slave, &now);
            if (cfgetispeed(&now) != cfgetispeed(&before) || now.c_cflag != before.c_cflag)
                break;
            const timespec pause {0, long(ReaderPollMs * 1000000)};
            ppoll(nullptr, 0, &pause, &waitMask);
        }
    }
    const qint64 startMs = nowMs();
    const qint64 periodMs = qMax<qint64>(1, std::llround(1000.0 / rate));
    const qint64 pauseEveryMs = std::llround(pauseEvery * 1000);
    const qint64 pauseForMs = std::llround(pauseFor * 1000);
    const qint64 hangupAtMs = hangupAfter > 0 ? startMs + std::llround(hangupAfter * 1000) : 0;
    bool hungUp = false;
    // Replay: the next event of the capture, and when it is due.
    CaptureReader::Event replayEvent;
    bool replayPending = replaying && capture.next(&replayEvent);
    qint64 replayOverAtMs = 0;
    auto replayDueMs = [&] { return startMs + std::llround(double(replayEvent.ms) / speed); };
    qint64 nextFrameMs = startMs;
    qint64 masterQuietUntilMs = 0;
    bool paused = false;
    std::deque<PendingWrite> pending;
    int exitCode = 0;

    while (!g_stop) {
        const qint64 now = nowMs();
        // The faults that hang up act once: after a reopen the meter sends on.
        const bool hangupTimed = !hungUp && hangupAtMs > 0;
        const bool lastFrameBuilt =
            !hungUp && hangupFrames > 0 && meter.framesBuilt() >= int(hangupFrames);

        if ((hangupTimed && now >= hangupAtMs) || (lastFrameBuilt && pending.empty())) {
            logLine(QStringLiteral("hanging up after %1 frames").arg(meter.framesBuilt()));
            if (reopenAfter < 0)
                break;
            // The cable pulled: the terminal goes away, and a new one comes
            // after the pause; the link follows it. Meanwhile there is no
            // link, as an unplugged adapter leaves no device file: a link
            // left behind could lead to another program's terminal that
            // takes the freed number.
            hungUp = true;
            if (!linkPath.isEmpty())
                removeLink(linkPath, terminal.name);
            terminal.close();
            pending.clear();
            const qint64 backMs = nowMs() + std::llround(reopenAfter * 1000);
            while (!g_stop && nowMs() < backMs) {
                const qint64 waitMs = backMs - nowMs();
                const timespec pause {time_t(waitMs / 1000), long((waitMs % 1000) * 1000000)};
                ppoll(nullptr, 0, &pause, &waitMask);
            }
            if (g_stop)
                break;
            if (!terminal.open()) {
                exitCode = 1;
                break;
            }
            if (!linkPath.isEmpty())
                moveLink(linkPath, terminal.name);
            terminal.announce();
            logLine(QStringLiteral("meter back on %1").arg(QString::fromLocal8Bit(terminal.name)));
            nextFrameMs = nowMs();
            continue;
        }

        if (replaying) {
            while (replayPending && replayDueMs() <= now) {
                if (replayEvent.type == CaptureReader::Event::Type::Received)
                    pending.push_back({now, replayEvent.bytes});
                replayPending = capture.next(&replayEvent);
            }
            if (!replayPending && replayOverAtMs == 0) {
                if (capture.atError())
                    logLine(QStringLiteral("replay: %1").arg(capture.errorString()));
                replayOverAtMs = now;
            }
            // Done once the reader took the last bytes (or nobody came for them).
            int unread = 0;
            if (replayOverAtMs > 0 && pending.empty()
                && ((ioctl(slave, FIONREAD, &unread) == 0 && unread == 0)
                    || now - replayOverAtMs >= ReplayDrainMs)) {
                logLine(QStringLiteral("replay over"));
                break;
            }
            nextFrameMs = replayPending ? replayDueMs() : now + HangupBackoffMs;
        } else if (now >= nextFrameMs) {
            const bool inPause = pauseEveryMs > 0 && pauseForMs > 0
                && (now - startMs) % (pauseEveryMs + pauseForMs) >= pauseEveryMs;
            if (inPause != paused) {
                paused = inPause;
                logLine(paused ? QStringLiteral("pause: silent") : QStringLiteral("pause over"));
            }
            if (!paused && !lastFrameBuilt) {
                // Nobody reads the terminal: drop what piled up.
                int unread = 0;
                if (ioctl(slave, FIONREAD, &unread) == 0 && unread > StaleBacklogBytes)
                    tcflush(slave, TCIFLUSH);
                const QList<QByteArray> writes = meter.nextWrites();
                qint64 due = now;
                for (int i = 0; i < writes.size(); ++i) {
                    pending.push_back({due, writes.at(i)});
                    if (faults.split && i + 1 < writes.size())
                        due += qint64(splitGapMs);
                }
                if (verbose)
                    logLine(QStringLiteral("frame %1 %2").arg(meter.framesBuilt())
                                .arg(QString::fromLatin1(meter.lastFrame().toHex())));
            }
            nextFrameMs += periodMs;
            if (nextFrameMs <= now)
                nextFrameMs = now + periodMs; // we were held up: no burst of old frames
        }

        while (!pending.empty() && pending.front().dueMs <= now) {
            if (!writeAll(master, slave, pending.front().bytes))
                logLine(QStringLiteral("write: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            pending.pop_front();
        }

        qint64 wakeMs = nextFrameMs;
        if (!pending.empty())
            wakeMs = qMin(wakeMs, pending.front().dueMs);
        if (hangupTimed)
            wakeMs = qMin(wakeMs, hangupAtMs);
        const qint64 waitMs = qMax<qint64>(0, wakeMs - nowMs());

        pollfd fd {};
        fd.fd = master;
        fd.events = now >= masterQuietUntilMs ? POLLIN : 0;
        const timespec timeout {time_t(waitMs / 1000), long((waitMs % 1000) * 1000000)};
        const int ready = ppoll(&fd, 1, &timeout, &waitMask);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            logLine(QStringLiteral("poll: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            exitCode = 1;
            break;
        }
        if (ready > 0 && (fd.revents & POLLIN)) {
            char buffer[ReadChunkBytes];
            const ssize_t n = ::read(master, buffer, sizeof buffer);
            if (n > 0) {
                const QStringList lines = meter.receive(QByteArray(buffer, int(n)));
                for (const QString &line : lines)
                    logLine(line);
            } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                masterQuietUntilMs = nowMs() + HangupBackoffMs;
            }
        } else if (ready > 0 && (fd.revents & (POLLHUP | POLLERR))) {
            // Should not happen while we hold the slave open; never spin on it.
            masterQuietUntilMs = nowMs() + HangupBackoffMs;
        }
    }

    if (g_stop)
        logLine(QStringLiteral("stopped"));
    if (!linkPath.isEmpty())
        removeLink(linkPath, terminal.name);
    terminal.close();
    return exitCode;
}
