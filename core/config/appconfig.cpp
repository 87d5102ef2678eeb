#include "config/appconfig.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QPair>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTextCodec>

#include <cmath>

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

// Why a file could not be replaced, found by trying it the way QSettings
// does (a new file beside it, renamed over it), with as many bytes as the
// file holds and a little more; nothing is changed. QSettings itself only
// tells that it failed.
QString writeProblem(const QString &path)
{
    QSaveFile probe(path);
    if (!probe.open(QIODevice::WriteOnly))
        return probe.errorString();
    const QByteArray filler(int(qBound<qint64>(0, QFileInfo(path).size(), 1 << 20)) + 256, ' ');
    const bool written = probe.write(filler) == filler.size() && probe.flush();
    const QString problem = written ? QStringLiteral("the settings could not be saved")
                                    : probe.errorString();
    probe.cancelWriting();
    return problem;
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

// Every value of an INI file exactly as the file holds it, under its
// QSettings key ("Section/key"; keys of [General] without a section).
static QHash<QString, QString> typedValues(const QString &path)
{
    QHash<QString, QString> values;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    QString section;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (const QByteArray &untrimmed : lines) {
        const QByteArray line = untrimmed.trimmed();
        if (line.startsWith('[') && line.endsWith(']')) {
            section = QString::fromUtf8(line.mid(1, line.size() - 2).trimmed());
            if (section == QLatin1String("General"))
                section.clear();
            continue;
        }
        const int equals = line.indexOf('=');
        if (equals <= 0 || line.startsWith(';') || line.startsWith('#'))
            continue;
        const QString key = QString::fromUtf8(line.left(equals).trimmed());
        values.insert(section.isEmpty() ? key : section + QLatin1Char('/') + key,
                      QString::fromUtf8(line.mid(equals + 1).trimmed()));
    }
    return values;
}

// A path typed by hand with single backslashes (a Windows path). QSettings
// reads a backslash as an escape and drops it, and would write the path
// back without them; only texts whose backslashes all come in pairs are its own.
static bool isHandTypedPath(const QString &raw)
{
    if (raw.startsWith(QLatin1Char('"')))
        return false;
    for (int i = 0; i < raw.size(); ++i) {
        if (raw.at(i) != QLatin1Char('\\'))
            continue;
        if (i + 1 < raw.size() && raw.at(i + 1) == QLatin1Char('\\'))
            ++i;
        else
            return true;
    }
    return false;
}

// Writes the given keys (a null value removes its key); every other key of
// the file survives.
static bool writeValues(const QString &path, const QList<QPair<QString, QVariant>> &values,
                        QString *error)
{
    const QHash<QString, QString> typed = typedValues(path);
    QSettings settings(path, QSettings::IniFormat);
    useUtf8(settings);
    // QSettings rewrites every key of the file: values typed by hand with
    // single backslashes go back escaped, so that they read as typed.
    for (auto it = typed.cbegin(); it != typed.cend(); ++it) {
        if (isHandTypedPath(it.value()))
            settings.setValue(it.key(), it.value());
    }
    for (const auto &[key, value] : values)
        settings.setValue(key, value);
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    if (error)
        *error = writeProblem(path);
    return false;
}

bool writeTimeInterval(const QString &path, int intervalMs, QString *error)
{
    return writeValues(path, {{QLatin1String(TimeIntervalKey), intervalMs}}, error);
}

static QString limitText(const std::optional<double> &value)
{
    return value ? QString::number(*value, 'g', 12) : QString();
}

LimitSettings readLimitSettings(const QString &path, bool *usedDefault)
{
    LimitSettings limits;
    bool defaulted = false;
    if (QFile::exists(path)) {
        QSettings settings(path, QSettings::IniFormat);
        useUtf8(settings);
        const QString word =
            settings.value(QLatin1String(LimitsEnabledKey)).toString().trimmed().toLower();
        limits.enabled = word == QLatin1String("true") || word == QLatin1String("1")
            || word == QLatin1String("yes") || word == QLatin1String("on");
        auto number = [&](const char *key) -> std::optional<double> {
            const QString text = settings.value(QLatin1String(key)).toString().trimmed();
            if (text.isEmpty())
                return std::nullopt;
            bool ok = false;
            const double value = text.toDouble(&ok);
            if (!ok || !std::isfinite(value)) {
                defaulted = true;
                return std::nullopt;
            }
            return value;
        };
        limits.low = number(LimitsLowKey);
        limits.high = number(LimitsHighKey);
        limits.unit = settings.value(QLatin1String(LimitsUnitKey)).toString().trimmed();
    }
    if (usedDefault)
        *usedDefault = defaulted;
    return limits;
}

bool writeLimitSettings(const QString &path, const LimitSettings &limits, QString *error)
{
    return writeValues(path,
                       {{QLatin1String(LimitsEnabledKey), limits.enabled},
                        {QLatin1String(LimitsLowKey), limitText(limits.low)},
                        {QLatin1String(LimitsHighKey), limitText(limits.high)},
                        {QLatin1String(LimitsUnitKey), limits.unit}},
                       error);
}

QString defaultJournalFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)
        + QStringLiteral("/recordings");
}

JournalSettings readJournalSettings(const QString &path, const QString &defaultFolder,
                                    bool *usedDefault)
{
    JournalSettings journal;
    journal.folder = defaultFolder;
    bool defaulted = false;
    if (QFile::exists(path)) {
        QSettings settings(path, QSettings::IniFormat);
        useUtf8(settings);
        const QVariant enabled = settings.value(QLatin1String(JournalEnabledKey));
        if (enabled.isValid()) {
            const QString word = enabled.toString().trimmed().toLower();
            if (word == QLatin1String("false") || word == QLatin1String("0")
                || word == QLatin1String("no") || word == QLatin1String("off"))
                journal.enabled = false;
            else if (word != QLatin1String("true") && word != QLatin1String("1")
                     && word != QLatin1String("yes") && word != QLatin1String("on"))
                defaulted = true;
        }
        const QVariant folder = settings.value(QLatin1String(JournalFolderKey));
        if (folder.isValid()) {
            // QSettings reads a text with commas as a list.
            const QString raw = typedValues(path).value(QLatin1String(JournalFolderKey));
            QString text = QDir::fromNativeSeparators(
                isHandTypedPath(raw) ? raw : folder.toStringList().join(QLatin1Char(',')).trimmed());
            if (text == QLatin1String("~") || text.startsWith(QLatin1String("~/")))
                text.replace(0, 1, QDir::homePath());
            if (text.isEmpty())
                defaulted = true;
            else
                journal.folder = QDir::cleanPath(QFileInfo(path).absoluteDir().absoluteFilePath(text));
        }
    }
    if (usedDefault)
        *usedDefault = defaulted;
    return journal;
}

} // namespace AppConfig
