#include "portproblem.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#endif

namespace PortProblem {

QString reason(const QString &path, const QString &serialErrorText)
{
#ifdef Q_OS_UNIX
    struct stat info {};
    const QByteArray local = QFile::encodeName(path);
    if (::stat(local.constData(), &info) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
    if (S_ISDIR(info.st_mode))
        return QString::fromLocal8Bit(std::strerror(EISDIR));
    if (!S_ISCHR(info.st_mode))
        return QStringLiteral("Not a terminal (a serial port is a character device)");
    if (::access(local.constData(), R_OK | W_OK) != 0)
        return QString::fromLocal8Bit(std::strerror(errno));
#else
    const QFileInfo info(path);
    if (info.isDir())
        return QStringLiteral("Is a directory");
    if (info.isFile())
        return QStringLiteral("Not a serial port");
#endif
    return serialErrorText;
}

QString permissionDeniedText()
{
#ifdef Q_OS_UNIX
    return QString::fromLocal8Bit(std::strerror(EACCES));
#else
    return QStringLiteral("Permission denied");
#endif
}

QString permissionHint(const QString &path)
{
#if defined(Q_OS_LINUX)
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
    Q_UNUSED(path);
    return QString();
#endif
}

} // namespace PortProblem
