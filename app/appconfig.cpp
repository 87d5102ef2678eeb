#include "appconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QSettings>
#include <QTextCodec>

namespace AppConfig {

QString configPath(const QString &appDir)
{
    return appDir + QStringLiteral("/config.ini");
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
            QString text = QDir::fromNativeSeparators(
                folder.toStringList().join(QLatin1Char(',')).trimmed());
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
