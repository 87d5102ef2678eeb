#ifndef APPCONFIG_H
#define APPCONFIG_H

#include <QString>
#include <QVariant>

#include <optional>

namespace AppConfig {

const int DefaultTimeIntervalMs = 1000;
const char TimeIntervalKey[] = "Time/timeInterval";

// The window's settings while it runs, read from config.ini at the start.
struct Settings {
    // The sampling interval in milliseconds: the poll timer's period, the
    // span of the curve's time axis, and what config.ini keeps between runs.
    int timeIntervalMs = DefaultTimeIntervalMs;
};

const char FileName[] = "config.ini";
// The folder of the user's configuration location that holds config.ini.
const char UserFolderName[] = "Ravelo";

// The path of config.ini in the given folder.
QString configPath(const QString &dir);

// The folder a portable config.ini sits in: the executable's folder, unless
// setProgramDir() has named another (tests do; empty goes back).
QString programDir();
void setProgramDir(const QString &dir);

// config.ini in the user's configuration location: the folder
// QStandardPaths::AppConfigLocation gives a program named Ravelo
// (~/.config/Ravelo/config.ini on Linux, honouring XDG_CONFIG_HOME;
// %LOCALAPPDATA%/Ravelo/config.ini on Windows).
QString userConfigPath();

// Where the settings are read from and written to. A config.ini beside the
// program is used when it is there and can be written (a portable copy). A
// read-only one (an installed system folder) still gives the settings until
// the user has changed one: the change goes to the user's file, which is read
// from then on. Without a file beside the program the user's file is used.
// Every reader and writer of config.ini goes through these two.
QString configPathForReading();
// The first time the user's file takes over from a read-only one beside the
// program, that file is copied there first, so its other keys carry over.
QString configPathForWriting();

// The interval stored in config.ini: a positive whole number of
// milliseconds. Anything else (missing, text, zero, negative) would leave the
// poll timer without a pause, so it yields the default; *usedDefault tells.
int timeIntervalFromStored(const QVariant &stored, bool *usedDefault = nullptr);

// Reads "Time/timeInterval" from the INI file at path; a missing file or key,
// or a value that is not a positive integer, gives the default.
int readTimeInterval(const QString &path, bool *usedDefault = nullptr);

// Writes "Time/timeInterval"; other sections and keys of the file survive.
// Returns false when the file could not be written, with the system's reason
// in *error ("Permission denied", "No space left on device", ...).
bool writeTimeInterval(const QString &path, int intervalMs, QString *error = nullptr);

// The recording journal's settings, section [Journal]: "enabled" (true or
// false) and "folder" (where the journal files go).
const char JournalEnabledKey[] = "Journal/enabled";
const char JournalFolderKey[] = "Journal/folder";

struct JournalSettings {
    bool enabled = true;
    QString folder;  // absolute
};

// The journal's default folder: the user's application-data location
// followed by "/recordings".
QString defaultJournalFolder();

// Reads [Journal] from the INI file at path. A missing file or key, an
// "enabled" that is no boolean or an empty "folder" give the defaults (on, in
// defaultFolder); a relative folder counts from the file's own folder, and a
// leading "~/" from the user's home. *usedDefault tells when a value present
// in the file was not usable.
JournalSettings readJournalSettings(const QString &path, const QString &defaultFolder,
                                    bool *usedDefault = nullptr);

// The limits the readings are watched against, section [Limits]: "enabled"
// (true or false), "low" and "high" (numbers, either may be left empty) in
// "unit", the unit they were typed in ("kΩ").
const char LimitsEnabledKey[] = "Limits/enabled";
const char LimitsLowKey[] = "Limits/low";
const char LimitsHighKey[] = "Limits/high";
const char LimitsUnitKey[] = "Limits/unit";

struct LimitSettings {
    bool enabled = false;
    std::optional<double> low, high;
    QString unit;

    bool operator==(const LimitSettings &other) const
    {
        return enabled == other.enabled && low == other.low && high == other.high
            && unit == other.unit;
    }
};

// Reads [Limits]; a missing file or key gives no limits. A value that is no
// number counts as left out, and *usedDefault tells.
LimitSettings readLimitSettings(const QString &path, bool *usedDefault = nullptr);
// Writes [Limits]; other sections and keys of the file survive. False with
// the system's reason in *error when the file could not be written.
bool writeLimitSettings(const QString &path, const LimitSettings &limits, QString *error = nullptr);

} // namespace AppConfig

#endif // APPCONFIG_H
