// ravelo-record: the meter's readings without a window, for headless
// machines and scripts; also decodes captures offline.
#include "capturereplay.h"
#include "influxline.h"
#include "influxoutput.h"
#include "liverecorder.h"
#include "livestate.h"
#include "mqttoutput.h"
#include "recorderoptions.h"
#include "recordoutput.h"
#include "stopsignals.h"
#include "webserver.h"

#include <QCoreApplication>
#include <QFile>

#include "capture/capturereader.h"

#include <cstdio>
#include <memory>

namespace {

const int ExitFailure = 1;
const int ExitUsage = 2;

void tell(const QString &text)
{
    std::fprintf(stderr, "ravelo-record: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

void tellSummary(const RecordOutput &output)
{
    std::fputs(output.summary().text().toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

// The first line of a file that holds a password, without its line end.
std::optional<QString> passwordFromFile(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    QByteArray line = file.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

// The Authorization header of --influx, from the environment and the
// password file; nothing (told, *status set) when they cannot serve.
std::optional<QByteArray> influxAuthorization(const RecorderOptions &options, int *status)
{
    if (options.influx.isEmpty())
        return QByteArray();
    InfluxLine::Login login;
    login.user = qEnvironmentVariable("RAVELO_INFLUX_USER");
    login.token = qgetenv("RAVELO_INFLUX_TOKEN");
    QString error;
    if (!options.influxPasswordFile.isEmpty()) {
        login.password = passwordFromFile(options.influxPasswordFile, &error);
        if (!login.password) {
            tell(error);
            *status = ExitFailure;
            return std::nullopt;
        }
    } else if (qEnvironmentVariableIsSet("RAVELO_INFLUX_PASSWORD")) {
        login.password = qEnvironmentVariable("RAVELO_INFLUX_PASSWORD");
    }
    const std::optional<QByteArray> authorization = InfluxLine::authorization(options.influx, login, &error);
    if (!authorization) {
        tell(error);
        std::fputs("Try 'ravelo-record --help' for more information.\n", stderr);
        *status = ExitUsage;
    }
    return authorization;
}

// The InfluxDB writer of --influx, or none.
std::unique_ptr<InfluxOutput> makeInflux(const RecorderOptions &options, const QString &meterName,
                                         const QByteArray &authorization)
{
    if (options.influx.isEmpty())
        return nullptr;
    InfluxOutput::Settings settings;
    QString error;
    settings.writeUrl = InfluxLine::writeUrl(options.influx, &error).value_or(QUrl());
    settings.authorization = authorization;
    settings.meter = meterName;
    if (authorization.isEmpty() && settings.writeUrl.path().startsWith(QLatin1String("/api/v2/")))
        tell(QStringLiteral("InfluxDB 2 wants a token: RAVELO_INFLUX_TOKEN is not set"));
    auto influx = std::make_unique<InfluxOutput>(settings);
    QObject::connect(influx.get(), &InfluxOutput::message, influx.get(), tell);
    return influx;
}

// Writes what waits for the database, for a bounded time, and says how it
// went; false when readings did not reach it.
bool finishInflux(InfluxOutput *influx)
{
    if (!influx)
        return true;
    influx->finish();
    tell(influx->summaryText());
    return influx->notWritten() == 0;
}

// Limit crossings go to every output, and start the user's command, which
// is returned to be finished at the end.
LimitCommand watchLimits(const RecorderOptions &options, RecordOutput *output)
{
    LimitCommand command(options.limitCommand, tell);
    if (options.low || options.high)
        output->watchLimits(LimitWatch(options.low, options.high), command);
    return command;
}

// The password of the MQTT user: the file's first line, else the environment's.
std::optional<QString> mqttPassword(const MqttTarget &target, QString *error)
{
    if (target.passwordFile.isEmpty()) {
        if (target.user.isEmpty() || !qEnvironmentVariableIsSet(MqttTarget::PasswordVariable))
            return QString();
        return qEnvironmentVariable(MqttTarget::PasswordVariable);
    }
    return passwordFromFile(target.passwordFile, error);
}

// The broker's client, connected (or trying to); nothing when the broker
// refused the login or the settings are wrong (told).
std::unique_ptr<MqttOutput> startMqtt(const RecorderOptions &options, const QString &meterName)
{
    if (!options.mqtt)
        return nullptr;
    MqttTarget target = *options.mqtt;
    target.meter = meterName;
    QString error;
    const std::optional<QString> password = mqttPassword(target, &error);
    if (!password) {
        tell(error);
        return nullptr;
    }
    auto mqtt = std::make_unique<MqttOutput>(target, *password);
    // Straight from the client's thread: the main one may be busy replaying.
    QObject::connect(mqtt.get(), &MqttOutput::message, qApp, tell, Qt::DirectConnection);
    mqtt->setLimitsWatched(options.low || options.high);
    if (!mqtt->start(&error)) {
        tell(error);
        return nullptr;
    }
    return mqtt;
}

// Ends the broker's part of the run and says how it went; false when
// readings or events did not reach it (dropped or left unsent).
bool finishMqtt(MqttOutput *mqtt, const QString &why, const RecordOutput &output)
{
    if (!mqtt)
        return true;
    QString error;
    mqtt->finish(why, output.summary().readings(), output.summary().gaps(), &error);
    tell(mqtt->summaryText());
    return mqtt->notDelivered() == 0;
}

// The token of --http-token-file (empty without one); nothing (told, *status
// set) when the file cannot be read or holds no usable token. Never shown.
std::optional<QByteArray> httpToken(const RecorderOptions &options, int *status)
{
    if (options.httpTokenFile.isEmpty())
        return QByteArray();
    QString error;
    const std::optional<QString> line = passwordFromFile(options.httpTokenFile, &error);
    if (!line) {
        tell(error);
        *status = ExitFailure;
        return std::nullopt;
    }
    const QByteArray token = line->trimmed().toUtf8();
    // What a cookie can carry: printable ASCII without spaces, quotes, commas,
    // semicolons and backslashes.
    bool usable = !token.isEmpty();
    for (const char c : token)
        usable = usable && c > 0x20 && c < 0x7f && c != '"' && c != ',' && c != ';' && c != '\\';
    if (!usable) {
        tell(QStringLiteral("the first line of %1 is not a usable token: it wants printable ASCII "
                            "characters without spaces, quotes, commas, semicolons or backslashes "
                            "(openssl rand -hex 32 makes one)")
                 .arg(options.httpTokenFile));
        *status = ExitUsage;
        return std::nullopt;
    }
    return token;
}

// The live page of --http: what it shows and its server, listening.
struct LivePage {
    std::unique_ptr<LiveState> state;
    std::unique_ptr<WebServer> server;
};

// Starts the live page's server when --http asks for one; nothing (told,
// *status set) when it cannot listen; an empty page without --http.
std::optional<LivePage> startLivePage(const RecorderOptions &options, const LiveState::Run &run, int *status)
{
    LivePage page;
    if (!options.http)
        return page;
    const std::optional<QByteArray> token = httpToken(options, status);
    if (!token)
        return std::nullopt;
    page.state = std::make_unique<LiveState>(
        run, options.low || options.high ? LimitWatch(options.low, options.high) : LimitWatch());
    page.server = std::make_unique<WebServer>(page.state.get());
    WebServer::Settings settings;
    settings.listen = *options.http;
    settings.token = *token;
    QString error;
    if (!page.server->start(settings, &error)) {
        tell(error);
        *status = ExitFailure;
        return std::nullopt;
    }
    tell(QStringLiteral("the live page is at %1").arg(page.server->url()));
    return page;
}

int replay(const RecorderOptions &options, const QByteArray &influxAuthorization)
{
    QString meterName = options.meterName;
    if (meterName.isEmpty()) {
        CaptureReader header;
        header.open(options.replayFile);
        meterName = RecorderOptions::defaultMeterName(header.port());
    }
    int status = 0;
    LiveState::Run run;
    run.meter = meterName;
    run.port = options.replayFile;
    run.version = QCoreApplication::applicationVersion();
    run.intervalMs = options.intervalMs;
    if (!options.intervalGiven) {
        CaptureReader header;
        if (header.open(options.replayFile) && header.intervalMs() > 0)
            run.intervalMs = header.intervalMs();
    }
    std::optional<LivePage> page = startLivePage(options, run, &status);
    if (!page)
        return status;
    const std::unique_ptr<InfluxOutput> influx = makeInflux(options, meterName, influxAuthorization);
    std::unique_ptr<MqttOutput> mqtt = startMqtt(options, meterName);
    if (options.mqtt && !mqtt)
        return ExitFailure;
    RecordOutput output;
    output.setMeterName(meterName);
    LimitCommand limitCommand = watchLimits(options, &output);
    if (!output.open(options.outputFile, options.format, stdout)) {
        tell(output.errorString());
        if (mqtt)
            mqtt->abandon(output.errorString());
        return ExitFailure;
    }
    if (mqtt) {
        mqtt->setPaced(true);
        mqtt->addStart(options.replayFile, options.intervalGiven ? options.intervalMs : 0);
        output.addSink(mqtt.get());
    }
    if (influx) {
        influx->setPaced(true);
        output.addSink(influx.get());
    }
    if (page->state) {
        page->state->setFile(output.filePath());
        page->state->setLink(QStringLiteral("recording"), QDateTime::currentDateTime(), QString());
        output.addSink(page->state.get());
    }
    CaptureReplay::Settings settings;
    settings.path = options.replayFile;
    settings.intervalMs = options.intervalGiven ? options.intervalMs : 0;
    settings.count = options.count;
    settings.durationMs = options.durationMs;
    QString error;
    const CaptureReplay::Result result = CaptureReplay::run(settings, &output, &error);
    const bool influxComplete = result == CaptureReplay::Result::CannotOpen || finishInflux(influx.get());
    limitCommand.finish();
    if (result != CaptureReplay::Result::CannotOpen)
        tellSummary(output);
    const bool published = finishMqtt(
        mqtt.get(), result == CaptureReplay::Result::Done ? QStringLiteral("end of the replay") : error, output);
    if (result != CaptureReplay::Result::Done)
        tell(error);
    status = result == CaptureReplay::Result::Done && influxComplete && published ? 0 : ExitFailure;
    if (page->server && result != CaptureReplay::Result::CannotOpen) {
        // The capture stays on view until the user ends it.
        page->state->stop(QDateTime::currentDateTime(), result == CaptureReplay::Result::Done
                                                            ? QStringLiteral("end of the replay") : error);
        StopSignals stopSignals;
        QObject::connect(&stopSignals, &StopSignals::stopRequested, qApp, [] { QCoreApplication::exit(0); });
        tell(QStringLiteral("the capture is decoded; the live page stays at %1 until Ctrl+C or SIGTERM")
                 .arg(page->server->url()));
        QCoreApplication::exec();
        page->server->stop();
    }
    return status;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("ravelo-record"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RAVELO_VERSION));

    QString error;
    const std::optional<RecorderOptions> parsed =
        RecorderOptions::parse(QCoreApplication::arguments(), &error);
    if (!parsed) {
        tell(error);
        std::fputs("Try 'ravelo-record --help' for more information.\n", stderr);
        return ExitUsage;
    }
    const RecorderOptions &options = *parsed;
    switch (options.action) {
    case RecorderOptions::Action::Help:
        std::fputs(RecorderOptions::helpText().toLocal8Bit().constData(), stdout);
        return 0;
    case RecorderOptions::Action::Version:
        std::fputs(RecorderOptions::versionText().toLocal8Bit().constData(), stdout);
        return 0;
    case RecorderOptions::Action::Replay:
    case RecorderOptions::Action::Record:
        break;
    }
    int status = 0;
    const std::optional<QByteArray> influxLogin = influxAuthorization(options, &status);
    if (!influxLogin)
        return status;
    if (options.action == RecorderOptions::Action::Replay)
        return replay(options, *influxLogin);

    StopSignals stopSignals;
    // The live page's port first: one taken stops the run before it starts.
    LiveState::Run run;
    run.meter = options.meterName;
    run.port = options.port;
    run.version = QCoreApplication::applicationVersion();
    run.intervalMs = options.intervalMs;
    std::optional<LivePage> page = startLivePage(options, run, &status);
    if (!page)
        return status;
    // The broker first: a refused login leaves no files behind.
    std::unique_ptr<MqttOutput> mqtt = startMqtt(options, options.meterName);
    if (options.mqtt && !mqtt)
        return ExitFailure;
    const std::unique_ptr<InfluxOutput> influx = makeInflux(options, options.meterName, *influxLogin);
    RecordOutput output;
    output.setMeterName(options.meterName);
    LimitCommand limitCommand = watchLimits(options, &output);
    LiveRecorder::Settings settings;
    settings.port = options.port;
    settings.intervalMs = options.intervalMs;
    settings.count = options.count;
    settings.durationMs = options.durationMs;
    LiveRecorder recorder(settings, &output);
    QObject::connect(&recorder, &LiveRecorder::message, &app, tell);
    if (page->state)
        QObject::connect(&recorder, &LiveRecorder::linkChanged, &app,
                         [&page](const QString &state, const QDateTime &since, const QString &reason) {
                             page->state->setLink(state, since, reason);
                         });
    QObject::connect(&recorder, &LiveRecorder::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &recorder,
                     [&recorder](const QString &name) { recorder.stop(name + QStringLiteral(" received")); });

    QStringList openFailure;
    if (!recorder.start(&openFailure)) {
        for (const QString &line : qAsConst(openFailure))
            tell(line);
        if (mqtt)
            mqtt->abandon(openFailure.join(QStringLiteral("; ")));
        return ExitFailure;
    }
    // The files once the port is open, so that a wrong port leaves none behind.
    if (!options.rawFile.isEmpty() && !recorder.startCapture(options.rawFile, &error)) {
        recorder.stop();
        tell(error);
        if (mqtt)
            mqtt->abandon(error);
        return ExitFailure;
    }
    if (!output.open(options.outputFile, options.format, stdout)) {
        recorder.stop();
        tell(output.errorString());
        if (mqtt)
            mqtt->abandon(output.errorString());
        return ExitFailure;
    }
    if (mqtt) {
        mqtt->addStart(options.port, options.intervalMs);
        output.addSink(mqtt.get());
    }
    if (influx)
        output.addSink(influx.get());
    if (page->state) {
        page->state->setFile(output.filePath());
        output.addSink(page->state.get());
    }
    tell(QStringLiteral("recording %1 every %2 s; Ctrl+C ends")
             .arg(options.port)
             .arg(options.intervalMs / 1000.0));

    status = app.exec();
    if (page->server) {
        page->state->stop(QDateTime::currentDateTime(), status == 0 ? recorder.stopReason() : output.errorString());
        page->server->stop();
    }
    const bool influxComplete = finishInflux(influx.get());
    limitCommand.finish();
    tellSummary(output);
    if (status != 0 && !output.errorString().isEmpty())
        tell(output.errorString());
    const QString why = status == 0 ? recorder.stopReason() : output.errorString();
    const bool published = finishMqtt(mqtt.get(), why, output);
    if (status == 0 && !(influxComplete && published))
        status = ExitFailure;
    return status;
}
