#ifndef APPCONFIG_H
#define APPCONFIG_H

#include <QString>
#include <QVariant>

namespace AppConfig {

const int DefaultTimeIntervalMs = 1000;
const char TimeIntervalKey[] = "Time/timeInterval";

// The path of config.ini in the given folder (the executable's folder).
QString configPath(const QString &appDir);

// The interval stored in config.ini: a positive whole number of
// milliseconds. Anything else (missing, text, zero, negative) would leave the
// poll timer without a pause, so it yields the default; *usedDefault tells.
int timeIntervalFromStored(const QVariant &stored, bool *usedDefault = nullptr);

// Reads "Time/timeInterval" from the INI file at path; a missing file or key,
// or a value that is not a positive integer, gives the default.
int readTimeInterval(const QString &path, bool *usedDefault = nullptr);

// Writes "Time/timeInterval"; other sections and keys of the file survive.
// Returns false when the file could not be written.
bool writeTimeInterval(const QString &path, int intervalMs);

} // namespace AppConfig

#endif // APPCONFIG_H
