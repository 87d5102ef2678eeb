#ifndef RECORDEROPTIONS_H
#define RECORDEROPTIONS_H

#include "listenaddress.h"
#include "mqtttarget.h"

#include <QString>
#include <QStringList>

#include <optional>

// The recorder's command line.
struct RecorderOptions {
    enum class Action { Record, Replay, Help, Version };
    enum class Format { Text, Csv, Jsonl, None, Influx };

    Action action = Action::Record;
    QString port;            // Record: the serial port
    QString replayFile;      // Replay: the capture to decode
    QString outputFile;      // the journal's CSV; "-" for standard output; empty for none
    QString rawFile;         // Record: the capture to write; empty for none
    Format format = Format::Text; // what standard output carries
    QString meterName;       // the meter's name in what is sent on (the meter tag);
                             // Replay: empty unless given
    QString influx;          // the InfluxDB address to write to; empty for none
    QString influxPasswordFile; // its user's password on the first line; empty for none
    int intervalMs = 1000;
    bool intervalGiven = false;
    qint64 count = 0;        // 0: no limit
    qint64 durationMs = 0;   // 0: no limit
    // The range readings are watched against, in the unit without its prefix.
    std::optional<double> low, high;
    QStringList limitCommand; // the program and its arguments; empty for none
    std::optional<MqttTarget> mqtt; // --mqtt: the broker, the meter's name
    std::optional<ListenAddress> http; // --http: where the live page is served
    QString httpTokenFile;   // the token the page asks for on the first line; empty for none

    static constexpr int MinIntervalMs = 100;
    static constexpr int MaxIntervalMs = 24 * 3600 * 1000;

    // The options of `arguments` (the program's name first), or nothing with
    // *error saying what is wrong.
    static std::optional<RecorderOptions> parse(const QStringList &arguments, QString *error);
    // "90", "90s", "1.5m", "8h", "2d" in milliseconds; nothing when not a
    // positive length of time.
    static std::optional<qint64> parseDuration(const QString &text);
    // "bench3-ttyUSB0": the host's name and the port's base name.
    static QString defaultMeterName(const QString &port);
    static QString helpText();
    static QString versionText();
};

#endif // RECORDEROPTIONS_H
