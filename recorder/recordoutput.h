#ifndef RECORDOUTPUT_H
#define RECORDOUTPUT_H

#include "readingsummary.h"
#include "recorderoptions.h"
#include "ticksampler.h"

#include "output/journalwriter.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <vector>

// Another place the readings and gaps of a run go as they are taken (an MQTT
// broker); it never fails the run.
class RecordSink
{
public:
    virtual ~RecordSink() = default;
    virtual void addReading(const RecordedReading &recorded) = 0;
    virtual void addGap(const QDateTime &time, const QString &reason) = 0;
};

// Where the readings and gaps of a run go: the journal's CSV file, standard
// output in the chosen format, and the summary.
class RecordOutput
{
public:
    // Standard output in `format` (None: nothing), the CSV file when a path is given.
    bool open(const QString &csvPath, RecorderOptions::Format format, std::FILE *stream);
    // `sink` gets every reading and gap from now on.
    void addSink(RecordSink *sink) { m_sinks.push_back(sink); }

    bool addReading(const RecordedReading &recorded);
    bool addGap(const QDateTime &time, const QString &reason);
    // Hands standard output over and syncs the file when due.
    bool sync();
    // Flushes, syncs and closes; false when anything written failed.
    bool close();
    QString errorString() const { return m_error; }
    // Whoever read standard output has gone: the run should end.
    bool streamClosed() const { return m_streamClosed; }
    const ReadingSummary &summary() const { return m_summary; }

    // The lines of each format (without the newline).
    static QString textLine(const RecordedReading &recorded);
    static QByteArray jsonLine(const RecordedReading &recorded);
    // `text` as a JSON string, quotes included.
    static QByteArray jsonText(const QString &text);
    static QString textGapLine(const QDateTime &time, const QString &reason);
    static QByteArray jsonGapLine(const QDateTime &time, const QString &reason);
    static QString gapComment(const QDateTime &time, const QString &reason);
    // The journal's row for a reading.
    static JournalRow journalRow(const RecordedReading &recorded);
    // "2026-12-07T09:47:28.412+01:00" (without ".412" when not withMilliseconds)
    static QString isoTime(const QDateTime &time, bool withMilliseconds = true);

private:
    bool writeStream(const QByteArray &line, bool addNewline = true);
    bool fail(const QString &reason);
    bool streamFailed();

    JournalWriter m_journal;
    RecorderOptions::Format m_format = RecorderOptions::Format::None;
    std::FILE *m_stream = nullptr;
    bool m_streamClosed = false;
    ReadingSummary m_summary;
    std::vector<RecordSink *> m_sinks;
    QString m_error;
};

#endif // RECORDOUTPUT_H
