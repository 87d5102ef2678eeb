#include "recorderoptions.h"

#include "influxline.h"
#include "limitcommand.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSysInfo>

#include <cmath>

namespace {

const double MsPerSecond = 1000.0;

} // namespace

std::optional<qint64> RecorderOptions::parseDuration(const QString &text)
{
    QString number = text.trimmed();
    double unitMs = MsPerSecond;
    if (!number.isEmpty()) {
        switch (number.back().toLatin1()) {
        case 's': unitMs = MsPerSecond; break;
        case 'm': unitMs = 60 * MsPerSecond; break;
        case 'h': unitMs = 3600 * MsPerSecond; break;
        case 'd': unitMs = 24 * 3600 * MsPerSecond; break;
        default: unitMs = 0; break;
        }
        if (unitMs > 0)
            number.chop(1);
        else
            unitMs = MsPerSecond;
    }
    bool ok = false;
    const double value = number.toDouble(&ok);
    const double ms = value * unitMs;
    if (!ok || !(ms >= 1) || ms > 1e15)
        return std::nullopt;
    return qint64(std::llround(ms));
}

std::optional<RecorderOptions> RecorderOptions::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption interval({"i", "interval"}, QString(), "seconds");
    const QCommandLineOption output({"o", "output"}, QString(), "file");
    const QCommandLineOption format({"f", "format"}, QString(), "format");
    const QCommandLineOption quiet({"q", "quiet"}, QString());
    const QCommandLineOption count({"n", "count"}, QString(), "n");
    const QCommandLineOption duration({"d", "duration"}, QString(), "time");
    const QCommandLineOption raw("raw", QString(), "file");
    const QCommandLineOption replay("replay", QString(), "file");
    const QCommandLineOption low("low", QString(), "value");
    const QCommandLineOption high("high", QString(), "value");
    const QCommandLineOption onLimit("on-limit", QString(), "command");
    const QCommandLineOption name("name", QString(), "name");
    const QCommandLineOption influx("influx", QString(), "url");
    const QCommandLineOption influxPasswordFile("influx-password-file", QString(), "file");
    const QCommandLineOption mqtt("mqtt", QString(), "url");
    const QCommandLineOption mqttCa("mqtt-ca", QString(), "file");
    const QCommandLineOption mqttPasswordFile("mqtt-password-file", QString(), "file");
    const QCommandLineOption mqttDiscovery("mqtt-discovery", QString());
    const QCommandLineOption http("http", QString(), "address");
    const QCommandLineOption httpTokenFile("http-token-file", QString(), "file");
    const QCommandLineOption help({"h", "help"}, QString());
    const QCommandLineOption version("version", QString());
    parser.addOptions({interval, output, format, quiet, count, duration, raw, replay, low, high,
                       onLimit, name, influx, influxPasswordFile, mqtt, mqttCa, mqttPasswordFile,
                       mqttDiscovery, http, httpTokenFile, help, version});

    // --mqtt-discovery takes its prefix only as --mqtt-discovery=PREFIX.
    QStringList words = arguments;
    QString discoveryPrefix = QLatin1String(MqttTarget::DefaultDiscoveryPrefix);
    for (QString &word : words) {
        if (word == QLatin1String("--"))
            break;
        if (word.startsWith(QLatin1String("--mqtt-discovery="))) {
            discoveryPrefix = word.section(QLatin1Char('='), 1);
            word = QStringLiteral("--mqtt-discovery");
        }
    }
    if (!parser.parse(words)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    RecorderOptions options;
    if (parser.isSet(help)) {
        options.action = Action::Help;
        return options;
    }
    if (parser.isSet(version)) {
        options.action = Action::Version;
        return options;
    }

    const QStringList positional = parser.positionalArguments();
    if (parser.isSet(replay)) {
        options.action = Action::Replay;
        options.replayFile = parser.value(replay);
        if (!positional.isEmpty()) {
            *error = QStringLiteral("--replay reads a capture, not a port: '%1'").arg(positional.first());
            return std::nullopt;
        }
        if (parser.isSet(raw)) {
            *error = QStringLiteral("--raw captures a port; it does not go with --replay");
            return std::nullopt;
        }
    } else {
        if (positional.isEmpty()) {
            *error = QStringLiteral("missing port");
            return std::nullopt;
        }
        if (positional.size() > 1) {
            *error = QStringLiteral("one port at a time: '%1'").arg(positional.at(1));
            return std::nullopt;
        }
        options.port = positional.first();
        options.rawFile = parser.value(raw);
    }

    if (parser.isSet(interval)) {
        bool ok = false;
        const double seconds = parser.value(interval).toDouble(&ok);
        const double ms = seconds * MsPerSecond;
        if (!ok || !(ms >= MinIntervalMs - 0.5) || ms > MaxIntervalMs) {
            *error = QStringLiteral("--interval wants seconds from 0.1 to 86400, not '%1'")
                         .arg(parser.value(interval));
            return std::nullopt;
        }
        options.intervalMs = int(std::lround(ms));
        options.intervalGiven = true;
    }
    if (parser.isSet(count)) {
        bool ok = false;
        options.count = parser.value(count).toLongLong(&ok);
        if (!ok || options.count < 1) {
            *error = QStringLiteral("--count wants a whole number above 0, not '%1'")
                         .arg(parser.value(count));
            return std::nullopt;
        }
    }
    if (parser.isSet(duration)) {
        const std::optional<qint64> ms = parseDuration(parser.value(duration));
        if (!ms) {
            *error = QStringLiteral("--duration wants a time such as 90s, 30m, 8h or 2d, not '%1'")
                         .arg(parser.value(duration));
            return std::nullopt;
        }
        options.durationMs = *ms;
    }

    for (const QCommandLineOption *limit : {&low, &high}) {
        if (!parser.isSet(*limit))
            continue;
        bool ok = false;
        const double value = parser.value(*limit).toDouble(&ok);
        if (!ok || !std::isfinite(value)) {
            *error = QStringLiteral("--%1 wants a number in the unit without its prefix (5.1 for "
                                    "volts), not '%2'")
                         .arg(limit->names().constFirst(), parser.value(*limit));
            return std::nullopt;
        }
        (limit == &low ? options.low : options.high) = value;
    }
    if (options.low && options.high && *options.low > *options.high) {
        *error = QStringLiteral("--low %1 is above --high %2")
                     .arg(parser.value(low), parser.value(high));
        return std::nullopt;
    }
    if (parser.isSet(onLimit)) {
        const std::optional<QStringList> words = LimitCommand::split(parser.value(onLimit), error);
        if (!words)
            return std::nullopt;
        options.limitCommand = *words;
        if (options.limitCommand.isEmpty()) {
            *error = QStringLiteral("--on-limit wants a command");
            return std::nullopt;
        }
        if (!options.low && !options.high) {
            *error = QStringLiteral("--on-limit runs on crossing --low or --high; give one");
            return std::nullopt;
        }
        // Now, not at the first crossing days later.
        QString why;
        if (LimitCommand::findProgram(options.limitCommand.first(), &why).isEmpty()) {
            *error = QStringLiteral("--on-limit: cannot run %1: %2").arg(options.limitCommand.first(), why);
            return std::nullopt;
        }
    }

    options.outputFile = parser.value(output);
    if (parser.isSet(output) && options.outputFile.isEmpty()) {
        *error = QStringLiteral("--output wants a file name (or - for standard output)");
        return std::nullopt;
    }
    const bool csvOnStdout = options.outputFile == QLatin1String("-");
    if (parser.isSet(format)) {
        const QString formatName = parser.value(format);
        if (formatName == QLatin1String("text"))
            options.format = Format::Text;
        else if (formatName == QLatin1String("csv"))
            options.format = Format::Csv;
        else if (formatName == QLatin1String("jsonl"))
            options.format = Format::Jsonl;
        else if (formatName == QLatin1String("influx"))
            options.format = Format::Influx;
        else {
            *error = QStringLiteral("--format wants text, csv, jsonl or influx, not '%1'").arg(formatName);
            return std::nullopt;
        }
        if (csvOnStdout && options.format != Format::Csv) {
            *error = QStringLiteral("--output - already puts CSV on standard output");
            return std::nullopt;
        }
        if (parser.isSet(quiet)) {
            *error = QStringLiteral("--quiet leaves standard output empty; it does not go with --format");
            return std::nullopt;
        }
    }
    if (csvOnStdout) {
        options.format = Format::Csv;
        options.outputFile.clear();
    } else if (parser.isSet(quiet)) {
        options.format = Format::None;
    }

    if (parser.isSet(name)) {
        options.meterName = parser.value(name).trimmed();
        if (!MqttTarget::isTopicLevel(options.meterName)) {
            *error = QStringLiteral("--name wants a name without '/', '+' or '#', not '%1'")
                         .arg(parser.value(name));
            return std::nullopt;
        }
    } else if (options.action == Action::Record) {
        options.meterName = defaultMeterName(options.port);
    }
    if (parser.isSet(mqtt)) {
        options.mqtt = MqttTarget::fromUrl(parser.value(mqtt), error);
        if (!options.mqtt)
            return std::nullopt;
        MqttTarget &target = *options.mqtt;
        target.caFile = parser.value(mqttCa);
        if (parser.isSet(mqttCa) && !target.tls) {
            *error = QStringLiteral("--mqtt-ca goes with an mqtts:// broker");
            return std::nullopt;
        }
        target.passwordFile = parser.value(mqttPasswordFile);
        if (parser.isSet(mqttPasswordFile) && target.user.isEmpty()) {
            *error = QStringLiteral("--mqtt-password-file needs a user: mqtt://USER@HOST/PREFIX");
            return std::nullopt;
        }
        // A replay's meter is named after the capture's port, read later.
        target.meter = options.meterName;
        if (parser.isSet(mqttDiscovery)) {
            while (discoveryPrefix.endsWith(QLatin1Char('/')))
                discoveryPrefix.chop(1);
            if (discoveryPrefix.isEmpty() || discoveryPrefix.contains(QLatin1Char('+'))
                || discoveryPrefix.contains(QLatin1Char('#')) || discoveryPrefix.contains(QLatin1String("//"))) {
                *error = QStringLiteral("--mqtt-discovery wants a topic prefix without '+', '#' or empty levels, "
                                        "not '%1'").arg(discoveryPrefix);
                return std::nullopt;
            }
            target.discoveryPrefix = discoveryPrefix;
        }
    } else {
        for (const QCommandLineOption &option : {mqttCa, mqttPasswordFile, mqttDiscovery}) {
            if (parser.isSet(option)) {
                *error = QStringLiteral("--%1 goes with --mqtt").arg(option.names().constFirst());
                return std::nullopt;
            }
        }
    }
    if (parser.isSet(influx)) {
        options.influx = parser.value(influx);
        if (!InfluxLine::writeUrl(options.influx, error))
            return std::nullopt;
    }
    if (parser.isSet(http)) {
        options.http = ListenAddress::parse(parser.value(http), error);
        if (!options.http)
            return std::nullopt;
    }
    options.httpTokenFile = parser.value(httpTokenFile);
    if (parser.isSet(httpTokenFile) && !parser.isSet(http)) {
        *error = QStringLiteral("--http-token-file goes with --http");
        return std::nullopt;
    }
    if (parser.isSet(httpTokenFile) && options.httpTokenFile.isEmpty()) {
        *error = QStringLiteral("--http-token-file wants a file name");
        return std::nullopt;
    }
    options.influxPasswordFile = parser.value(influxPasswordFile);
    if (parser.isSet(influxPasswordFile) && !parser.isSet(influx)) {
        *error = QStringLiteral("--influx-password-file goes with --influx");
        return std::nullopt;
    }
    return options;
}

QString RecorderOptions::defaultMeterName(const QString &port)
{
    QString host = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    const QString base = QFileInfo(port).fileName();
    QString name = base.isEmpty() ? host : host + QLatin1Char('-') + base;
    // Also one level of an MQTT topic.
    name.replace(QRegularExpression(QStringLiteral("[/+#\\s]")), QStringLiteral("_"));
    return name;
}

QString RecorderOptions::helpText()
{
    return QStringLiteral(
        "Usage: ravelo-record [OPTION]... PORT\n"
        "  or:  ravelo-record --replay CAPTURE [OPTION]...\n"
        "Record the readings of the multimeter on serial port PORT (9600 8N1) without\n"
        "a window: one reading per interval, taken as the Ravelo window takes them.\n"
        "When the meter falls silent or the adapter is unplugged, a gap is marked and\n"
        "the port is opened again every 2 s; numbering goes on where it stopped.\n"
        "\n"
        "  -i, --interval=SECONDS  one reading every SECONDS (default 1, at least 0.1)\n"
        "  -o, --output=FILE       write the readings to FILE as the journal's CSV\n"
        "                          (- for standard output); FILE must not exist;\n"
        "                          in a folder, a new file named after the run's start\n"
        "  -f, --format=FORMAT     what standard output shows: text (the default),\n"
        "                          csv, jsonl (one JSON object per line) or influx\n"
        "                          (InfluxDB line protocol, time in milliseconds)\n"
        "  -q, --quiet             nothing on standard output\n"
        "  -n, --count=N           stop after N readings\n"
        "  -d, --duration=TIME     stop after TIME: a number with s, m, h or d (8h)\n"
        "      --raw=FILE          also capture every byte received, with its time,\n"
        "                          to FILE (see --replay)\n"
        "      --replay=CAPTURE    decode a capture written by --raw instead of\n"
        "                          reading a port, as fast as it goes; --interval\n"
        "                          replaces the capture's own poll ticks\n"
        "      --low=VALUE         mark each reading that falls below VALUE, and\n"
        "                          the first one back (a limit event)\n"
        "      --high=VALUE        the same above VALUE; both limits are in the unit\n"
        "                          without its prefix (--high 5.1 for volts, also for\n"
        "                          mV readings) and apply to readings in the unit of\n"
        "                          the first one; an overload is beyond the limit\n"
        "                          on the side of its sign\n"
        "      --on-limit=COMMAND  run COMMAND (not waited for) on each limit event,\n"
        "                          with RAVELO_STATE (high, low, ok), RAVELO_VALUE,\n"
        "                          RAVELO_UNIT and RAVELO_TIME set; its words split as\n"
        "                          sh splits them, but run without a shell (for one:\n"
        "                          sh -c '...'); the program must exist at the start\n"
        "      --name=NAME         the meter's name in what is sent on (default: the\n"
        "                          host's name and the port's, such as bench3-ttyUSB0)\n"
        "      --influx=URL        also write the readings to InfluxDB: a 1.x database\n"
        "                          as http://HOST:8086/DATABASE (a USER@ before HOST\n"
        "                          for one that asks, or RAVELO_INFLUX_USER; the\n"
        "                          password in RAVELO_INFLUX_PASSWORD or the file of\n"
        "                          --influx-password-file), or InfluxDB 2 as\n"
        "                          http://HOST:8086/api/v2/write?org=ORG&bucket=BUCKET\n"
        "                          with the token in the environment variable\n"
        "                          RAVELO_INFLUX_TOKEN. Measurement ravelo, tags meter,\n"
        "                          function and unit, fields value, base_value (in the\n"
        "                          unit without its prefix), seq and flags. Written once\n"
        "                          a second; while the database is away the readings\n"
        "                          wait in memory (up to 86400) and are written later\n"
        "      --influx-password-file=FILE\n"
        "                          the password of the InfluxDB user is FILE's first\n"
        "                          line, sent as HTTP basic authentication (InfluxDB\n"
        "                          1.x; InfluxDB 2 with a 1.x authorization)\n"
        "      --mqtt=URL          also publish to the MQTT broker at URL,\n"
        "                          mqtt://[USER@]HOST[:PORT]/PREFIX (port 1883) or\n"
        "                          mqtts://... for TLS (port 8883): each reading on\n"
        "                          PREFIX/METER/reading, gaps, start and stop on\n"
        "                          PREFIX/METER/event, online/offline on\n"
        "                          PREFIX/METER/status; while the broker is away the\n"
        "                          readings wait in memory (three days at one a second)\n"
        "      --mqtt-ca=FILE      trust the broker's certificate when the authority\n"
        "                          in FILE (PEM) signed it (default: the system's)\n"
        "      --mqtt-password-file=FILE\n"
        "                          the password of USER is FILE's first line\n"
        "                          (default: the RAVELO_MQTT_PASSWORD variable)\n"
        "      --mqtt-discovery[=PREFIX]\n"
        "                          also announce the meter to Home Assistant: its\n"
        "                          reading, function and limit state as sensors,\n"
        "                          retained under PREFIX (default homeassistant)\n"
        "      --http=[ADDRESS:]PORT\n"
        "                          also serve a live page while recording, read-only:\n"
        "                          the reading, the link, the statistics, the limits\n"
        "                          and a chart of the run, at http://ADDRESS:PORT/\n"
        "                          (ADDRESS 127.0.0.1 unless given, 0.0.0.0 for every\n"
        "                          interface; PORT 0 takes a free one, told on\n"
        "                          standard error); also /events (Server-Sent Events),\n"
        "                          /api/status, /api/history, /recording.csv and\n"
        "                          /metrics (Prometheus). With --replay it goes on\n"
        "                          serving after the capture is decoded, until SIGINT\n"
        "                          or SIGTERM\n"
        "      --http-token-file=FILE\n"
        "                          every request to --http needs the token on FILE's\n"
        "                          first line: Authorization: Bearer TOKEN, or the\n"
        "                          page opened once as /?token=TOKEN (then a cookie)\n"
        "  -h, --help              display this help and exit\n"
        "      --version           output version information and exit\n"
        "\n"
        "A limit event is a '# limit:' line in the CSV, an \"event\":\"limit\" object in\n"
        "JSON lines and a 'limit:' line in text; the command's standard output is\n"
        "discarded.\n"
        "\n"
        "Messages, gaps and the closing summary (readings, gaps, minimum, maximum and\n"
        "mean per function and unit) go to standard error. SIGINT (Ctrl+C) and\n"
        "SIGTERM end the run cleanly: every reading written and synced first.\n"
        "\n"
        "Exit status:\n"
        " 0  the run ended (count, duration, signal or end of the capture)\n"
        " 1  the port could not be opened at the start, a file could not be written,\n"
        "    the live page's port is taken or its address is not this machine's,\n"
        "    the MQTT broker refused the connection at the start (login, certificate,\n"
        "    protocol), or anything was lost on the way: a reading that did not reach\n"
        "    InfluxDB, or a reading or event that did not reach the MQTT broker by the\n"
        "    end of the run (dropped while it was away, refused or left unsent; the\n"
        "    closing InfluxDB: and MQTT: lines count them)\n"
        " 2  wrong usage (also an --on-limit program that is not there, or a\n"
        "    password in the --influx address)\n"
        "\n"
        "Examples:\n"
        "  ravelo-record /dev/ttyUSB0 --output bench.csv --duration 8h\n"
        "  ravelo-record /dev/ttyUSB0 --format jsonl --count 10\n"
        "  ravelo-record /dev/ttyUSB0 --raw session.cap --quiet\n"
        "  ravelo-record /dev/ttyUSB0 --influx http://localhost:8086/bench --quiet\n"
        "  ravelo-record /dev/ttyUSB0 --high 5.1 --on-limit 'notify-send Ravelo'\n"
        "  ravelo-record --replay session.cap --output session.csv\n"
        "  ravelo-record /dev/ttyUSB0 -o /var/lib/ravelo -q --http 0.0.0.0:8080 \\\n"
        "      --http-token-file /etc/ravelo/token\n"
        "  RAVELO_MQTT_PASSWORD=... ravelo-record /dev/ttyUSB0 -q \\\n"
        "      --mqtt mqtts://lab@broker.example/lab --mqtt-ca lab-ca.pem\n");
}

QString RecorderOptions::versionText()
{
    return QStringLiteral("ravelo-record %1\n").arg(QCoreApplication::applicationVersion());
}
