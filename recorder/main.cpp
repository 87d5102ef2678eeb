// ravelo-record: the meter's readings without a window, for headless
// machines and scripts; also decodes captures offline.
#include "capturereplay.h"
#include "liverecorder.h"
#include "recorderoptions.h"
#include "recordoutput.h"
#include "stopsignals.h"

#include <QCoreApplication>

#include <cstdio>

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

// Limit crossings go to every output, and start the user's command.
void watchLimits(const RecorderOptions &options, RecordOutput *output)
{
    if (options.low || options.high)
        output->watchLimits(LimitWatch(options.low, options.high), LimitCommand(options.limitCommand));
    output->setMessageHandler(tell);
}

int replay(const RecorderOptions &options)
{
    RecordOutput output;
    watchLimits(options, &output);
    if (!output.open(options.outputFile, options.format, stdout)) {
        tell(output.errorString());
        return ExitFailure;
    }
    CaptureReplay::Settings settings;
    settings.path = options.replayFile;
    settings.intervalMs = options.intervalGiven ? options.intervalMs : 0;
    settings.count = options.count;
    settings.durationMs = options.durationMs;
    QString error;
    const CaptureReplay::Result result = CaptureReplay::run(settings, &output, &error);
    if (result != CaptureReplay::Result::CannotOpen)
        tellSummary(output);
    if (result != CaptureReplay::Result::Done) {
        tell(error);
        return ExitFailure;
    }
    return 0;
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
        return replay(options);
    case RecorderOptions::Action::Record:
        break;
    }

    StopSignals stopSignals;
    RecordOutput output;
    watchLimits(options, &output);
    LiveRecorder::Settings settings;
    settings.port = options.port;
    settings.intervalMs = options.intervalMs;
    settings.count = options.count;
    settings.durationMs = options.durationMs;
    LiveRecorder recorder(settings, &output);
    QObject::connect(&recorder, &LiveRecorder::message, &app, tell);
    QObject::connect(&recorder, &LiveRecorder::finished, &app, &QCoreApplication::exit,
                     Qt::QueuedConnection);
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &recorder,
                     [&recorder](const QString &name) { recorder.stop(name + QStringLiteral(" received")); });

    QStringList openFailure;
    if (!recorder.start(&openFailure)) {
        for (const QString &line : qAsConst(openFailure))
            tell(line);
        return ExitFailure;
    }
    // The files once the port is open, so that a wrong port leaves none behind.
    if (!options.rawFile.isEmpty() && !recorder.startCapture(options.rawFile, &error)) {
        recorder.stop();
        tell(error);
        return ExitFailure;
    }
    if (!output.open(options.outputFile, options.format, stdout)) {
        recorder.stop();
        tell(output.errorString());
        return ExitFailure;
    }
    tell(QStringLiteral("recording %1 every %2 s; Ctrl+C ends")
             .arg(options.port)
             .arg(options.intervalMs / 1000.0));

    const int status = app.exec();
    tellSummary(output);
    if (status != 0 && !output.errorString().isEmpty())
        tell(output.errorString());
    return status;
}
