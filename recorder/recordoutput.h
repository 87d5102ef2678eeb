#ifndef RECORDOUTPUT_H
#define RECORDOUTPUT_H

#include "jsonlines.h"
#include "limitcommand.h"
#include "readingsummary.h"
#include "recordsink.h"
#include "recorderoptions.h"
#include "link/ticksampler.h"

#include "limits/limitwatch.h"
#include "journal/journalwriter.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <functional>
#include <vector>

// Where the readings, gaps and limit crossings of a run go: the journal's CSV
// file, standard output in the chosen format, the summary, and for a limit
// crossing the user's command.
class RecordOutput
{
public:
    // Standard output in `format` (None: nothing), the CSV file when a path is given.
    bool open(const QString &csvPath, RecorderOptions::Format format, std::FILE *stream);
    // The meter's name in the influx format's lines.
    void setMeterName(const QString &name) { m_meterName = name; }
    // Readings are checked against the watch's limits; each crossing is
    // written to every output and starts the command.
    void watchLimits(const LimitWatch &watch, const LimitCommand &command = LimitCommand());
    // `sink` gets every reading and gap from now on.
    void addSink(RecordSink *sink) { m_sinks.push_back(sink); }

    // Once the file has failed, nothing more is recorded: the summary counts
    // the readings the file holds.
    bool addReading(const RecordedReading &recorded);
    bool addGap(const QDateTime &time, const QString &reason);
    // Hands standard output over and syncs the file when due.
    bool sync();
    // Flushes, syncs and closes; false when anything written failed.
    bool close();
    QString errorString() const { return m_error; }
    // The journal's file; empty when the run writes none.
    QString filePath() const { return m_journal.filePath(); }
    // Whoever read standard output has gone: the run should end.
    bool streamClosed() const { return m_streamClosed; }
    const ReadingSummary &summary() const { return m_summary; }

    // The lines of each format (without the newline).
    static QString textLine(const RecordedReading &recorded);
    static QByteArray jsonLine(const RecordedReading &recorded) { return JsonLines::jsonLine(recorded); }
    // `text` as a JSON string, quotes included.
    static QByteArray jsonText(const QString &text) { return JsonLines::jsonText(text); }
    static QString textGapLine(const QDateTime &time, const QString &reason);
    static QByteArray jsonGapLine(const QDateTime &time, const QString &reason)
    {
        return JsonLines::jsonGapLine(time, reason);
    }
    static QString textLimitLine(const LimitCrossing &crossing);
    static QByteArray jsonLimitLine(qint64 n, const LimitCrossing &crossing)
    {
        return JsonLines::jsonLimitLine(n, crossing);
    }

private:
    void addLimitCrossing(qint64 n, const LimitCrossing &crossing);
    // An event (a gap, a limit crossing) to the file and standard output:
    // the comment line for the file and CSV, the other formats' own lines.
    bool writeEvent(const QString &comment, const QString &textLine, const QByteArray &jsonLine);
    bool writeStream(const QByteArray &line, bool addNewline = true);
    bool fail(const QString &reason);
    bool streamFailed();

    JournalWriter m_journal;
    RecorderOptions::Format m_format = RecorderOptions::Format::None;
    std::FILE *m_stream = nullptr;
    QString m_meterName;
    bool m_streamClosed = false;
    ReadingSummary m_summary;
    LimitWatch m_limits;
    LimitCommand m_limitCommand;
    std::vector<RecordSink *> m_sinks;
    QString m_error;
};

#endif // RECORDOUTPUT_H
