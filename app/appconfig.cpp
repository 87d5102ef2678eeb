#include "appconfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTextCodec>

namespace AppConfig {

namespace {

QString &programDirOverride()
{
    static QString dir;
    return dir;
}

// Tried rather than read from the permission bits, which tell neither what
// Windows' access lists allow nor what root may do. QSettings replaces the
// file through a new one in the same folder, so that is tried too.
bool canWrite(const QString &path)
{
    QFile file(path);
    if (!QFileInfo(path).isFile() || !file.open(QIODevice::Append))
        return false;
    file.close();
    QTemporaryFile probe(QFileInfo(path).absolutePath() + QStringLiteral("/config.ini.XXXXXX"));
    return probe.open();
}

} // namespace

QString configPath(const QString &dir)
{
    return dir + QLatin1Char('/') + QLatin1String(FileName);
}

QString programDir()
{
    const QString &dir = programDirOverride();
    return dir.isEmpty() ? QCoreApplication::applicationDirPath() : dir;
}

void setProgramDir(const QString &dir)
{
    programDirOverride() = dir;
}

QString userConfigPath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return configPath(base + QLatin1Char('/') + QLatin1String(UserFolderName));
}

QString configPathForReading()
{
    const QString beside = configPath(programDir());
    if (!QFileInfo(beside).isFile())
        return userConfigPath();
    if (canWrite(beside))
        return beside;
    const QString user = userConfigPath();
    return QFileInfo::exists(user) ? user : beside;
}

QString configPathForWriting()
{
    const QString beside = configPath(programDir());
    if (canWrite(beside))
        return beside;
    const QString user = userConfigPath();
    if (QFileInfo(beside).isFile() && !QFileInfo::exists(user)
        && QDir().mkpath(QFileInfo(user).absolutePath()) && QFile::copy(beside, user)) {
        // The copy keeps the read-only file's permissions.
        QFile::setPermissions(user, QFile::permissions(user) | QFile::ReadOwner | QFile::WriteOwner);
    }
    return user;
}

int timeIntervalFromStored(const QVariant &stored, bool *usedDefault)
{
    // QVariant narrows a long number text to int silently; QString does not.
    bool ok = false;
    const int value = stored.isValid() ? stored.toString().trimmed().toInt(&ok) : 0;
    const bool useDefault = !ok || value <= 0;
    if (usedDefault)
        *usedDefault = useDefault;
    return useDefault ? DefaultTimeIntervalMs : value;
}

static void useUtf8(QSettings &settings)
{
    if (QTextCodec *codec = QTextCodec::codecForName("UTF-8"))
        settings.setIniCodec(codec);
}

int readTimeInterval(const QString &path, bool *usedDefault)
{
    if (!QFile::exists(path)) {
        if (usedDefault)
            *usedDefault = false; // no file is the ordinary first run
        return DefaultTimeIntervalMs;
    }
    QSettings settings(path, QSettings::IniFormat);
    useUtf8(settings);
    const QVariant stored = settings.value(QLatin1String(TimeIntervalKey));
    if (!stored.isValid()) {
        if (usedDefault)
            *usedDefault = false;
        return DefaultTimeIntervalMs;
    }
    return timeIntervalFromStored(stored, usedDefault);
}

bool writeTimeInterval(const QString &path, int intervalMs)
{
    QSettings settings(path, QSettings::IniFormat);
    useUtf8(settings);
    settings.setValue(QLatin1String(TimeIntervalKey), intervalMs);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace AppConfig
