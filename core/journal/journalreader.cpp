#include "journal/journalreader.h"

#include "history/readinghistory.h"
#include "journal/journalwriter.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

const int JournalColumns = JournalWriter::ColumnCount;
const int FunctionColumn = 1;
const int UnitColumn = 3;
const int TableTimeColumn = 4;
const int IsoTimeColumn = 5;
const int ValueColumn = 6;
// How much of a wrong text a message quotes.
const int QuotedChars = 60;
const qint64 JulianDayOfEpoch = 2440588;
const qint64 MsPerDay = 86400000;
// Records between two calls of the progress function.
const qint64 ProgressEveryRecords = 4096;
// The rows read before their mean length sizes the arrays for the whole file.
const qint64 SizingRows = 1000;

QString tr(const char *text)
{
    return QCoreApplication::translate("JournalReader", text);
}

// A text from the file, as a message quotes it: no control characters, and
// not too long.
QString quoted(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes.left(4 * QuotedChars));
    for (QChar &c : text) {
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    }
    if (text.size() > QuotedChars)
        text = text.left(QuotedChars) + QStringLiteral("…");
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// "2026-12-07T09:47:28.412+01:00" (the milliseconds optional, "Z" for UTC
// accepted) as milliseconds since the epoch.
std::optional<qint64> isoTimeMs(const QByteArray &text)
{
    const char *s = text.constData();
    const int n = text.size();
    int at = 0;
    bool ok = true;
    auto digits = [&](int count) {
        int value = 0;
        for (int i = 0; i < count; ++i, ++at) {
            if (at >= n || s[at] < '0' || s[at] > '9') {
                ok = false;
                return 0;
            }
            value = value * 10 + (s[at] - '0');
        }
        return value;
    };
    auto expect = [&](char c) {
        if (at < n && s[at] == c)
            ++at;
        else
            ok = false;
    };
    const int year = digits(4);
    expect('-');
    const int month = digits(2);
    expect('-');
    const int day = digits(2);
    expect('T');
    const int hour = digits(2);
    expect(':');
    const int minute = digits(2);
    expect(':');
    const int second = digits(2);
    int ms = 0;
    if (ok && at < n && s[at] == '.') {
        ++at;
        int fractionDigits = 0;
        for (; at < n && s[at] >= '0' && s[at] <= '9'; ++at, ++fractionDigits) {
            if (fractionDigits < 3)
                ms = ms * 10 + (s[at] - '0');
        }
        if (fractionDigits == 0 || fractionDigits > 9)
            ok = false;
        for (int i = fractionDigits; i < 3; ++i)
            ms *= 10;
    }
    int offsetMinutes = 0;
    if (ok && at < n && s[at] == 'Z') {
        ++at;
    } else if (ok && at < n && (s[at] == '+' || s[at] == '-')) {
        const int sign = s[at++] == '-' ? -1 : 1;
        const int offsetHours = digits(2);
        expect(':');
        const int offsetRest = digits(2);
        if (offsetHours > 23 || offsetRest > 59)
            ok = false;
        offsetMinutes = sign * (offsetHours * 60 + offsetRest);
    } else {
        ok = false;
    }
    if (!ok || at != n || !QDate::isValid(year, month, day) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    const qint64 days = QDate(year, month, day).toJulianDay() - JulianDayOfEpoch;
    return days * MsPerDay + ((hour * 60 + minute) * 60 + second) * qint64(1000) + ms
        - qint64(offsetMinutes) * 60000;
}

// The text of a cell, shared with the previous row's when the bytes repeat.
const QString &sharedText(const QByteArray &bytes, QByteArray *lastBytes, QString *lastText)
{
    if (bytes != *lastBytes || lastText->isNull()) {
        *lastBytes = QByteArray(bytes.constData(), bytes.size()); // a copy: bytes is a view
        *lastText = QString::fromUtf8(bytes);
    }
    return *lastText;
}

} // namespace

bool JournalReader::read(const QString &path, ReadingHistory *history)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_unfinished = false;
        m_errorLine = 0;
        m_error = tr("cannot open %1: %2").arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return read(&file, history);
}

bool JournalReader::fail(qint64 line, const QString &what)
{
    m_errorLine = line;
    m_error = tr("line %1: %2").arg(line).arg(what);
    return false;
}

// A view of the cell's bytes: valid until the next record is split.
QByteArray JournalReader::cell(int i) const
{
    const Cell &c = m_cells[size_t(i)];
    return QByteArray::fromRawData(m_cellBytes.constData() + c.begin, c.size);
}

bool JournalReader::read(QIODevice *device, ReadingHistory *history)
{
    m_error.clear();
    m_errorLine = 0;
    m_unfinished = false;
    m_stopped = false;
    m_lineNumber = 0;
    m_lastFunctionBytes.clear();
    m_lastUnitBytes.clear();
    m_lastFunction = m_lastUnit = QString();

    // The header: the journal's titles, read even without a line end.
    Next next = nextRecord(device);
    if (next == Next::Failed)
        return false;
    if (next == Next::End || (m_record.isEmpty() && next == Next::Unfinished))
        return fail(1, tr("not a Ravelo journal: the file is empty"));
    if (m_record.startsWith("\xEF\xBB\xBF")) // a byte order mark, as some editors save
        m_record.remove(0, 3);
    splitCells();
    const QStringList titles = JournalWriter::headerCells();
    bool isHeader = int(m_cells.size()) == titles.size();
    for (int i = 0; isHeader && i < titles.size(); ++i)
        isHeader = cell(i) == titles.at(i).toUtf8();
    if (!isHeader)
        return fail(1, tr("not a Ravelo journal: the header is %1").arg(quoted(m_record)));

    ReadingHistory readings;
    const qint64 total = device->isSequential() ? 0 : device->size();
    const qint64 headerEnd = device->pos();
    qint64 records = 0;
    bool sized = false;
    while (next == Next::Record) {
        if (++records % ProgressEveryRecords == 0 && m_progress && !m_progress(device->pos(), total)) {
            m_stopped = true;
            return fail(m_lineNumber, tr("stopped"));
        }
        // The arrays sized once for the whole file from the rows read so far,
        // so that they are not copied as they grow.
        if (!sized && readings.size() == SizingRows && total > 0) {
            sized = true;
            const double perRow = double(device->pos() - headerEnd) / double(SizingRows);
            readings.reserve(qsizetype(double(total - headerEnd) / std::max(perRow, 1.0) * 1.02) + 1024);
        }
        next = nextRecord(device);
        if (next == Next::Failed)
            return false;
        if (next == Next::Unfinished) {
            m_unfinished = true;
            break;
        }
        if (next == Next::End || m_record.isEmpty())
            continue;
        if (m_record.startsWith('#')) {
            if (m_record.startsWith("# gap:"))
                readings.addGap();
            continue;
        }
        splitCells();
        if (!parseRow(&readings))
            return false;
    }
    *history = std::move(readings);
    return true;
}

// One record into m_record: a physical line, or several when a quoted cell
// holds a line break.
JournalReader::Next JournalReader::nextRecord(QIODevice *device)
{
    m_record.clear();
    m_recordLine = m_lineNumber + 1;
    if (m_line.size() != m_maxLineBytes + 2)
        m_line.resize(m_maxLineBytes + 2);
    bool inQuotes = false;
    for (bool first = true;; first = false) {
        if (device->atEnd())
            return first ? Next::End : Next::Unfinished;
        const qint64 n = device->readLine(m_line.data(), m_line.size());
        if (n < 0) {
            fail(m_lineNumber + 1, tr("cannot read: %1").arg(device->errorString()));
            return Next::Failed;
        }
        ++m_lineNumber;
        const bool ended = n > 0 && m_line.at(int(n) - 1) == '\n';
        if ((!ended && n > m_maxLineBytes) || m_record.size() + n > m_maxLineBytes + 1) {
            fail(m_recordLine, tr("the line is longer than %1 bytes, which no journal line is")
                                   .arg(m_maxLineBytes));
            return Next::Failed;
        }
        int size = int(n);
        if (ended) {
            --size;
            if (size > 0 && m_line.at(size - 1) == '\r')
                --size;
        }
        const char *text = m_line.constData();
        // A comment line is a line of its own, whatever it holds.
        if (first && size > 0 && text[0] == '#') {
            m_record.append(text, size);
            return ended ? Next::Record : Next::Unfinished;
        }
        if (!first)
            m_record.append('\n');
        m_record.append(text, size);
        for (int i = 0; i < size; ++i) {
            if (text[i] == '"')
                inQuotes = !inQuotes;
        }
        if (!ended)
            return Next::Unfinished; // the file ends without a line end
        if (!inQuotes)
            return Next::Record;
    }
}

// The record's cells, RFC 4180 quoting undone; a quote inside a cell that
// does not start with one is taken as it stands.
void JournalReader::splitCells()
{
    m_cells.clear();
    m_cellBytes.clear();
    const char *p = m_record.constData();
    const char *const end = p + m_record.size();
    for (;;) {
        Cell c;
        c.begin = m_cellBytes.size();
        if (p < end && *p == '"') {
            for (++p; p < end; ++p) {
                if (*p == '"') {
                    if (p + 1 < end && p[1] == '"') {
                        m_cellBytes.append('"');
                        ++p;
                    } else {
                        ++p;
                        break;
                    }
                } else {
                    m_cellBytes.append(*p);
                }
            }
        }
        const char *comma = static_cast<const char *>(std::memchr(p, ',', size_t(end - p)));
        const char *cellEnd = comma ? comma : end;
        m_cellBytes.append(p, int(cellEnd - p));
        c.size = m_cellBytes.size() - c.begin;
        m_cells.push_back(c);
        if (!comma)
            return;
        p = comma + 1;
    }
}

bool JournalReader::parseRow(ReadingHistory *history)
{
    if (int(m_cells.size()) != JournalColumns)
        return fail(m_recordLine, tr("%1 cells where a journal line has %2")
                                      .arg(m_cells.size()).arg(JournalColumns));
    qint64 timeMs = 0;
    const QByteArray isoTime = cell(IsoTimeColumn);
    if (!isoTime.isEmpty()) {
        const std::optional<qint64> ms = isoTimeMs(isoTime);
        if (!ms)
            return fail(m_recordLine, tr("the time %1 is not a date").arg(quoted(isoTime)));
        timeMs = *ms;
    } else {
        // A row whose time was unknown to the writer: the table's local time.
        const QByteArray tableTime = cell(TableTimeColumn);
        const QDateTime time = QDateTime::fromString(QString::fromUtf8(tableTime),
                                                     QStringLiteral("yyyy/MM/dd hh:mm:ss"));
        if (!time.isValid())
            return fail(m_recordLine, tableTime.isEmpty()
                                          ? tr("the reading has no time")
                                          : tr("the time %1 is not a date").arg(quoted(tableTime)));
        timeMs = time.toMSecsSinceEpoch();
    }

    std::optional<double> number;
    const QByteArray valueText = cell(ValueColumn);
    if (!valueText.isEmpty()) {
        // The value column holds plain numbers ("3.446", "-0.512").
        double value = 0;
        const char *end = valueText.constData() + valueText.size();
        const std::from_chars_result parsed = std::from_chars(valueText.constData(), end, value);
        if (parsed.ec != std::errc() || parsed.ptr != end || !std::isfinite(value))
            return fail(m_recordLine, tr("the value %1 is not a number").arg(quoted(valueText)));
        number = value;
    }
    history->append(timeMs, sharedText(cell(FunctionColumn), &m_lastFunctionBytes, &m_lastFunction),
                    sharedText(cell(UnitColumn), &m_lastUnitBytes, &m_lastUnit), number);
    return true;
}
