#include "stopsignals.h"

#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <csignal>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_UNIX
// The handler writes the signal's number into one end of a socket pair; the
// event loop reads it from the other.
int g_pipe[2] = {-1, -1};

void onSignal(int number)
{
    const char byte = char(number);
    const int saved = errno;
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[0], &byte, 1);
    errno = saved;
}
#else
// Elsewhere the handler only raises a flag that a short timer looks at.
volatile std::sig_atomic_t g_caught = 0;

void onSignal(int number)
{
    g_caught = number;
}
#endif

const int FlagPollMs = 100;

QString signalName(int number)
{
    switch (number) {
    case SIGINT: return QStringLiteral("SIGINT");
    case SIGTERM: return QStringLiteral("SIGTERM");
    default: return QStringLiteral("signal %1").arg(number);
    }
}

} // namespace

StopSignals::StopSignals(QObject *parent) : QObject(parent)
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_pipe) == 0) {
        for (int fd : g_pipe)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
        ::fcntl(g_pipe[0], F_SETFL, O_NONBLOCK);
        m_notifier = new QSocketNotifier(g_pipe[1], QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &StopSignals::deliver);
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A closed pipe on standard output shows as a failed write, not a death.
    signal(SIGPIPE, SIG_IGN);
#else
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    m_pollTimer = new QTimer(this);
    connect(m_pollTimer, &QTimer::timeout, this, &StopSignals::deliver);
    m_pollTimer->start(FlagPollMs);
#endif
}

StopSignals::~StopSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
#ifdef Q_OS_UNIX
    delete m_notifier;
    m_notifier = nullptr;
    for (int &fd : g_pipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
#endif
}

void StopSignals::deliver()
{
#ifdef Q_OS_UNIX
    char byte = 0;
    if (::read(g_pipe[1], &byte, 1) == 1)
        emit stopRequested(signalName(uchar(byte)));
#else
    if (g_caught) {
        const int number = g_caught;
        g_caught = 0;
        emit stopRequested(signalName(number));
    }
#endif
}
