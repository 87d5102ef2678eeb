#include "appconfig.h"

#include <QFile>
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

} // namespace AppConfig
