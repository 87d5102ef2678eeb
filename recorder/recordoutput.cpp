#include "recordoutput.h"

#include "influxline.h"

#include <QFileInfo>
#include <QLocale>

#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

const char *const TextTimeFormat = "yyyy-MM-dd hh:mm:ss";
const int TextSerialWidth = 4;

} // namespace

bool RecordOutput::open(const QString &csvPath, RecorderOptions::Format format, std::FILE *stream)
{
    m_format = format;
    m_stream = stream;
    // A folder (a service's state folder, say) gets a new file for each run,
    // named after its start as the window names its journals.
    if (!csvPath.isEmpty()) {
        const bool opened = QFileInfo(csvPath).isDir()
            ? m_journal.openInFolder(csvPath, QDateTime::currentDateTime())
            : m_journal.openFile(csvPath);
        if (!opened) {
            m_error = m_journal.errorString();
            return false;
        }
    }
    if (m_format == RecorderOptions::Format::Csv)
        return writeStream(JournalWriter::csvLine(JournalWriter::headerCells()), false);
    return true;
}

bool RecordOutput::fail(const QString &reason)
{
    if (m_error.isEmpty())
        m_error = reason;
    return false;
}

void RecordOutput::watchLimits(const LimitWatch &watch, const LimitCommand &command)
{
    m_limits = watch;
    m_limitCommand = command;
}

QString RecordOutput::textLine(const RecordedReading &recorded)
{
    const MeterReading &reading = recorded.reading;
    QString line = QStringLiteral("%1  %2  %3  %4")
                       .arg(recorded.n, TextSerialWidth)
                       .arg(recorded.time.toString(QLatin1String(TextTimeFormat)),
                            reading.functionText, reading.tableValueText());
    if (!reading.unitText.isEmpty())
        line += QLatin1Char(' ') + reading.unitText;
    const QStringList words = reading.annunciatorWords();
    if (!words.isEmpty())
        line += QLatin1String("  ") + words.join(QLatin1Char(' '));
    return line;
}

QString RecordOutput::textGapLine(const QDateTime &time, const QString &reason)
{
    return QStringLiteral("  --  %1  gap: %2").arg(time.toString(QLatin1String(TextTimeFormat)), reason);
}

QString RecordOutput::textLimitLine(const LimitCrossing &crossing)
{
    QString line = QStringLiteral("  --  %1  limit: %2 %3")
                       .arg(crossing.time.toString(QLatin1String(TextTimeFormat)), crossing.stateName(),
                            crossing.valueText);
    if (!crossing.unit.isEmpty())
        line += QLatin1Char(' ') + crossing.unit;
    return line;
}

bool RecordOutput::writeStream(const QByteArray &line, bool addNewline)
{
    if (!m_stream || !m_error.isEmpty())
        return m_error.isEmpty();
    if (std::fwrite(line.constData(), 1, size_t(line.size()), m_stream) != size_t(line.size())
        || (addNewline && std::fputc('\n', m_stream) == EOF))
        return streamFailed();
    return true;
}

// A reader that went away (`| head`) ends the run quietly; other failures are errors.
bool RecordOutput::streamFailed()
{
    if (errno == EPIPE) {
        m_stream = nullptr;
        m_streamClosed = true;
        return true;
    }
    return fail(QStringLiteral("cannot write standard output: ")
                + QString::fromLocal8Bit(std::strerror(errno)));
}

bool RecordOutput::addReading(const RecordedReading &recorded)
{
    if (!m_error.isEmpty())
        return false;
    // The file's row and the CSV stream's are the same: made once.
    JournalRow row;
    if (m_journal.isOpen() || m_format == RecorderOptions::Format::Csv)
        row = JournalWriter::rowFor(recorded);
    if (m_journal.isOpen() && !m_journal.append(row))
        return fail(m_journal.errorString());
    m_summary.addReading(recorded);
    for (RecordSink *sink : m_sinks)
        sink->addReading(recorded);
    switch (m_format) {
    case RecorderOptions::Format::Text:
        writeStream(textLine(recorded).toUtf8());
        break;
    case RecorderOptions::Format::Jsonl:
        writeStream(jsonLine(recorded));
        break;
    case RecorderOptions::Format::Csv:
        writeStream(JournalWriter::rowLine(row), false);
        break;
    case RecorderOptions::Format::Influx:
        writeStream(InfluxLine::line(recorded, m_meterName));
        break;
    case RecorderOptions::Format::None:
        break;
    }
    if (const std::optional<LimitCrossing> crossing = m_limits.check(recorded.reading, recorded.time))
        addLimitCrossing(recorded.n, *crossing);
    return m_error.isEmpty();
}

void RecordOutput::addLimitCrossing(qint64 n, const LimitCrossing &crossing)
{
    if (!writeEvent(JournalWriter::limitComment(crossing), textLimitLine(crossing),
                    jsonLimitLine(n, crossing)))
        return;
    for (RecordSink *sink : m_sinks)
        sink->addLimitCrossing(n, crossing);
    // The recording goes on whether the command starts or not (it tells).
    m_limitCommand.start(crossing);
}

bool RecordOutput::addGap(const QDateTime &time, const QString &reason)
{
    if (!m_error.isEmpty())
        return false;
    if (!writeEvent(JournalWriter::gapComment(time, reason), textGapLine(time, reason),
                    jsonGapLine(time, reason)))
        return false;
    m_summary.addGap();
    for (RecordSink *sink : m_sinks)
        sink->addGap(time, reason);
    return m_error.isEmpty();
}

bool RecordOutput::writeEvent(const QString &comment, const QString &textLine,
                              const QByteArray &jsonLine)
{
    if (m_journal.isOpen() && !m_journal.appendComment(comment))
        return fail(m_journal.errorString());
    switch (m_format) {
    case RecorderOptions::Format::Text:
        writeStream(textLine.toUtf8());
        break;
    case RecorderOptions::Format::Jsonl:
        writeStream(jsonLine);
        break;
    case RecorderOptions::Format::Csv:
        writeStream(JournalWriter::commentLine(comment), false);
        break;
    case RecorderOptions::Format::Influx:
        // A comment to the database and to Telegraf alike.
        writeStream(JournalWriter::commentLine(comment).chopped(2));
        break;
    case RecorderOptions::Format::None:
        break;
    }
    return true;
}

bool RecordOutput::sync()
{
    if (m_stream && std::fflush(m_stream) != 0)
        streamFailed();
    if (!m_journal.syncIfDue())
        fail(m_journal.errorString());
    return m_error.isEmpty();
}

bool RecordOutput::close()
{
    sync();
    m_journal.close();
    if (!m_journal.errorString().isEmpty())
        fail(m_journal.errorString());
    return m_error.isEmpty();
}
