#include "link/portproblem.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace PortProblem {

namespace {

const char UnknownErrorText[] = "Unknown error";

#ifdef Q_OS_UNIX
QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The folders the serial port library looks in for a port's lock file
// ("LCK..ttyUSB0"), in its order: it creates the file in the first usable
// one, and refuses to open a port whose file a living process holds.
const char *const LockFolders[] = {"/var/lock",       "/etc/locks", "/var/spool/locks",
                                   "/var/spool/uucp", "/tmp",       "/var/tmp",
                                   "/var/lock/lockdev", "/run/lock"};
const qint64 MaxLockFileBytes = 1024;

QString lockFileOf(const QString &path)
{
    QString name = path.startsWith(QLatin1String("/dev/")) ? path.mid(5) : path;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    for (const char *folder : LockFolders) {
        const QString lockFile = QLatin1String(folder) + QLatin1String("/LCK..") + name;
        if (QFileInfo(lockFile).isFile())
            return lockFile;
    }
    return QString();
}

// "locked by another program, minicom (process 1234); lock file
// /run/lock/LCK..ttyUSB0", with what the lock file tells of its holder; empty
// when there is no lock file, or it is this program's own.
QString lockReason(const QString &path)
{
    const QString lockFile = lockFileOf(path);
    if (lockFile.isEmpty())
        return QString();
    // The holder's process id on the first line (as text, perhaps padded);
    // Qt programs put their name on the second.
    QFile file(lockFile);
    QList<QByteArray> lines;
    if (file.open(QIODevice::ReadOnly))
        lines = file.read(MaxLockFileBytes).split('\n');
    bool known = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&known);
    if (known && pid == QCoreApplication::applicationPid())
        return QString();
    QString holder = QString::fromLocal8Bit(lines.value(1).trimmed());
#ifdef Q_OS_LINUX
    if (holder.isEmpty() && known) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
        if (comm.open(QIODevice::ReadOnly))
            holder = QString::fromLocal8Bit(comm.readLine().trimmed());
    }
#endif
    QString who;
    if (!holder.isEmpty() && known)
        who = QStringLiteral(", %1 (process %2)").arg(holder).arg(pid);
    else if (known)
        who = QStringLiteral(" (process %1)").arg(pid);
    return QStringLiteral("locked by another program%1; lock file %2").arg(who, lockFile);
}
#endif

QString permissionDeniedText()
{
#ifdef Q_OS_UNIX
    return systemText(EACCES);
#else
    return QStringLiteral("Permission denied");
#endif
}

} // namespace

QString devicePath(const QString &portName)
{
#ifdef Q_OS_UNIX
    // As the serial port library turns a name into the device it opens.
    if (portName.isEmpty() || portName.startsWith(QLatin1Char('/'))
        || portName.startsWith(QLatin1String("./")) || portName.startsWith(QLatin1String("../")))
        return portName;
    return QStringLiteral("/dev/") + portName;
#else
    return portName;
#endif
}

QString reason(const QString &portName, const QString &serialErrorText)
{
    const QString path = devicePath(portName);
#ifdef Q_OS_UNIX
    struct stat info {};
    const QByteArray local = QFile::encodeName(path);
    if (::stat(local.constData(), &info) != 0)
        return systemText(errno);
    if (S_ISDIR(info.st_mode))
        return systemText(EISDIR);
    if (!S_ISCHR(info.st_mode))
        return QStringLiteral("Not a terminal (a serial port is a character device)");
    const QString locked = lockReason(path);
    if (!locked.isEmpty())
        return locked;
    if (::access(local.constData(), R_OK | W_OK) != 0)
        return systemText(errno);
    // A device that takes no terminal settings (/dev/null, a printer).
    if (serialErrorText == systemText(ENOTTY))
        return QStringLiteral("not a serial port");
#else
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("Is a directory");
    if (info.isFile())
        return QStringLiteral("not a serial port");
#endif
    return serialErrorText;
}

QString permissionHint(const QString &portName)
{
#if defined(Q_OS_LINUX)
    const QString path = devicePath(portName);
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0 || info.st_gid == 0)
        return QString();
    const group *owner = ::getgrgid(info.st_gid);
    if (!owner || !owner->gr_name)
        return QString();
    const QString name = QString::fromLocal8Bit(owner->gr_name);
    return QStringLiteral("%1 belongs to the group '%2': join it with "
                          "'sudo usermod -aG %2 $USER', then log out and back in")
        .arg(path, name);
#else
    Q_UNUSED(portName);
    return QString();
#endif
}

QStringList openFailure(const QString &portName, const QString &serialErrorText)
{
    const QString why = reason(portName, serialErrorText);
    QStringList lines{QStringLiteral("cannot open %1: %2").arg(devicePath(portName), why)};
    if (why == permissionDeniedText()) {
        const QString hint = permissionHint(portName);
        if (!hint.isEmpty())
            lines << QStringLiteral("hint: ") + hint;
    }
    return lines;
}

QString lossReason(LinkEnd end, const QString &serialErrorText)
{
    // A hung-up line reads as empty; the error text that comes with it is
    // whatever the system said last, about something else.
    if (end == LinkEnd::HungUp)
        return QStringLiteral("the device hung up");
    QString text = QStringLiteral("port gone");
    if (!serialErrorText.isEmpty() && serialErrorText != QLatin1String(UnknownErrorText))
        text += QStringLiteral(": ") + serialErrorText;
    return text;
}

} // namespace PortProblem
