#ifndef RECORDEROPTIONS_H
#define RECORDEROPTIONS_H

#include "mqtttarget.h"

#include <QString>
#include <QStringList>

#include <optional>

// The recorder's command line.
struct RecorderOptions {
    enum class Action { Record, Replay, Help, Version };
    enum class Format { Text, Csv, Jsonl, None };

    Action action = Action::Record;
    QString port;            // Record: the serial port
    QString replayFile;      // Replay: the capture to decode
    QString outputFile;      // the journal's CSV; "-" for standard output; empty for none
    QString rawFile;         // Record: the capture to write; empty for none
    Format format = Format::Text; // what standard output carries
    int intervalMs = 1000;
    bool intervalGiven = false;
    qint64 count = 0;        // 0: no limit
    qint64 durationMs = 0;   // 0: no limit
    std::optional<MqttTarget> mqtt; // --mqtt: the broker, the meter's name

    static constexpr int MinIntervalMs = 100;
    static constexpr int MaxIntervalMs = 24 * 3600 * 1000;

    // The options of `arguments` (the program's name first), or nothing with
    // *error saying what is wrong.
    static std::optional<RecorderOptions> parse(const QStringList &arguments, QString *error);
    // "90", "90s", "1.5m", "8h", "2d" in milliseconds; nothing when not a
    // positive length of time.
    static std::optional<qint64> parseDuration(const QString &text);
    static QString helpText();
    static QString versionText();
};

#endif // RECORDEROPTIONS_H
