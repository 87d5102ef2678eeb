#include "journal/journalwriter.h"

#include "limits/limitwatch.h"
#include "journal/tabletitles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>

#include <chrono>
#include <cmath>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

// Names tried in a folder before giving up: name.csv, name-2.csv ... name-999.csv.
const int MaxNameSuffix = 999;

QString tr(const char *text)
{
    return QCoreApplication::translate("JournalWriter", text);
}

bool somethingAt(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// Pushes what the operating system holds of the file to the disk.
bool syncToDisk(int handle)
{
#ifdef Q_OS_WIN
    return _commit(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

} // namespace

JournalWriter::~JournalWriter()
{
    close();
}

QStringList JournalWriter::headerCells()
{
    return TableTitles::inFiles() << QStringLiteral("iso_time") << QStringLiteral("value");
}

QString JournalWriter::fileNameFor(const QDateTime &firstRowTime)
{
    return QStringLiteral("ravelo-%1.csv")
        .arg(QLocale::c().toString(firstRowTime, QStringLiteral("yyyy-MM-dd_HH-mm-ss")));
}

QString JournalWriter::plainValueText(const QString &tableValueText)
{
    // A sign, digits with at most one point, and at least one digit: anything
    // else (overload, NCV, LIVE, a blank display) is no number.
    static const QRegularExpression number(QStringLiteral("^(-?)(\\d*)(?:\\.(\\d*))?$"));
    const QRegularExpressionMatch match = number.match(tableValueText);
    if (!match.hasMatch())
        return QString();
    QString whole = match.captured(2);
    const QString fraction = match.captured(3);
    if (whole.isEmpty() && fraction.isEmpty())
        return QString();
    while (whole.size() > 1 && whole.startsWith(QLatin1Char('0')))
        whole.remove(0, 1);
    if (whole.isEmpty())
        whole = QStringLiteral("0");
    QString text = match.captured(1) + whole;
    if (!fraction.isEmpty())
        text += QLatin1Char('.') + fraction;
    return text;
}

QString JournalWriter::tableTimeText(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss"));
}

QString JournalWriter::isoTimeText(const QDateTime &time, bool withMilliseconds)
{
    if (!time.isValid())
        return QString();
    const int offsetSeconds = time.offsetFromUtc();
    const int offsetMinutes = qAbs(offsetSeconds) / 60;
    return QLocale::c().toString(time, withMilliseconds ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")
                                                        : QStringLiteral("yyyy-MM-ddTHH:mm:ss"))
        + QLatin1Char(offsetSeconds < 0 ? '-' : '+')
        + QStringLiteral("%1:%2")
              .arg(offsetMinutes / 60, 2, 10, QLatin1Char('0'))
              .arg(offsetMinutes % 60, 2, 10, QLatin1Char('0'));
}

JournalRow JournalWriter::rowFor(const RecordedReading &recorded)
{
    const MeterReading &reading = recorded.reading;
    JournalRow row;
    row.cells = QStringList{QString::number(recorded.n), reading.functionText,
                            reading.tableValueText(), reading.unitText, tableTimeText(recorded.time)};
    row.time = recorded.time;
    const std::optional<double> number = reading.number();
    if (number && std::isfinite(*number)) {
        // "01.30" is 1.30, not 1.3: the decimals shown tell the reading's resolution.
        const QString digits = reading.valueText.trimmed();
        const int point = digits.indexOf(QLatin1Char('.'));
        const int decimals = point < 0 ? 0 : digits.size() - point - 1;
        row.value = QString::number(*number, 'f', decimals);
    }
    return row;
}

QString JournalWriter::gapComment(const QDateTime &time, const QString &reason)
{
    return QStringLiteral("gap: %1 %2").arg(isoTimeText(time, false), reason);
}

QByteArray JournalWriter::csvLine(const QStringList &cells)
{
    QString line;
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += QLatin1Char(',');
        const QString &cell = cells.at(i);
        if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"'))
            || cell.contains(QLatin1Char('\n')) || cell.contains(QLatin1Char('\r'))) {
            QString quoted = cell;
            quoted.replace(QLatin1Char('"'), QLatin1String("\"\""));
            line += QLatin1Char('"') + quoted + QLatin1Char('"');
        } else {
            line += cell;
        }
    }
    line += QLatin1String("\r\n");
    return line.toUtf8();
}

bool JournalWriter::openInFolder(const QString &folder, const QDateTime &firstRowTime)
{
    close();
    m_error.clear();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir()) {
        m_error = tr("cannot create the folder %1").arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const QString base = fileNameFor(firstRowTime);
    const QString stem = base.left(base.size() - 4);
    const QDir dir(folder);
    for (int suffix = 1; suffix <= MaxNameSuffix; ++suffix) {
        const QString path = dir.filePath(
            suffix == 1 ? base : QStringLiteral("%1-%2.csv").arg(stem).arg(suffix));
        if (somethingAt(path))
            continue;
        if (create(path))
            return true;
        if (!somethingAt(path)) // not taken in between: a real failure
            return false;
    }
    m_error = tr("no free file name in %1").arg(QDir::toNativeSeparators(folder));
    return false;
}

bool JournalWriter::openFile(const QString &path)
{
    close();
    m_error.clear();
    if (somethingAt(path)) {
        m_error = tr("%1 exists already").arg(QDir::toNativeSeparators(path));
        return false;
    }
    return create(path);
}

bool JournalWriter::create(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        m_error = tr("cannot create %1: %2")
                      .arg(QDir::toNativeSeparators(path), m_file.errorString());
        return false;
    }
    m_path = QFileInfo(path).absoluteFilePath();
    m_size = 0;
    m_unsynced = false;
    m_sinceSync.start();
    return writeLine(csvLine(headerCells()));
}

QByteArray JournalWriter::rowLine(const JournalRow &row)
{
    QStringList cells = row.cells;
    cells << isoTimeText(row.time) << row.value;
    return csvLine(cells);
}

QByteArray JournalWriter::commentLine(const QString &text)
{
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' '));
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return QStringLiteral("# %1\r\n").arg(line).toUtf8();
}

QString JournalWriter::limitComment(const LimitCrossing &crossing)
{
    QString text = QStringLiteral("limit: %1 %2 %3")
                       .arg(isoTimeText(crossing.time, false), crossing.stateName(), crossing.valueText);
    if (!crossing.unit.isEmpty())
        text += QLatin1Char(' ') + crossing.unit;
    return text;
}

void JournalWriter::setDiskSync(DiskSync diskSync, int intervalMs)
{
    m_diskSync = std::move(diskSync);
    m_syncIntervalMs = intervalMs;
}

bool JournalWriter::append(const JournalRow &row)
{
    if (!isOpen())
        return false;
    return writeLine(rowLine(row));
}

bool JournalWriter::appendComment(const QString &text)
{
    if (!isOpen())
        return false;
    return writeLine(commentLine(text));
}

bool JournalWriter::writeLine(const QByteArray &line)
{
    const qint64 written = m_file.write(line);
    if (written == line.size()) {
        m_size += written;
        m_unsynced = true;
        return true;
    }
    // A short write names no reason; the rest of the line will.
    QString reason;
    if (written >= 0 && m_file.write(line.constData() + written, line.size() - written) < 0)
        reason = m_file.errorString();
    else if (written < 0)
        reason = m_file.errorString();
    if (reason.isEmpty())
        reason = tr("only part of a line could be written");
    // Drop the partial line so the file ends with a complete one.
    m_file.resize(m_size);
    fail(tr("cannot write %1: %2").arg(QDir::toNativeSeparators(m_path), reason));
    return false;
}

bool JournalWriter::syncIfDue()
{
    if (!isOpen())
        return m_error.isEmpty();
    if (!collectSync(false))
        return false;
    if (m_backgroundSync.valid() || !m_unsynced
        || m_sinceSync.elapsed() < m_syncIntervalMs - SyncCheckMs)
        return true;
    // Written lines of a removed file would be lost without any write failing.
    if (!QFileInfo::exists(m_path)) {
        fail(tr("%1 was removed").arg(QDir::toNativeSeparators(m_path)));
        return false;
    }
    m_sinceSync.start();
    m_unsynced = false;
    const int handle = m_file.handle();
    const DiskSync diskSync = m_diskSync ? m_diskSync : DiskSync(syncToDisk);
    m_backgroundSync = std::async(std::launch::async, [handle, diskSync] { return diskSync(handle); });
    return true;
}

// The result of the background sync, when there is one and it is done (or
// after waiting for it).
bool JournalWriter::collectSync(bool wait)
{
    if (!m_backgroundSync.valid())
        return true;
    if (!wait && m_backgroundSync.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return true;
    if (m_backgroundSync.get())
        return true;
    fail(tr("cannot save %1 to the disk").arg(QDir::toNativeSeparators(m_path)));
    return false;
}

bool JournalWriter::sync()
{
    m_sinceSync.start();
    m_unsynced = false;
    if (m_diskSync ? m_diskSync(m_file.handle()) : syncToDisk(m_file.handle()))
        return true;
    fail(tr("cannot save %1 to the disk").arg(QDir::toNativeSeparators(m_path)));
    return false;
}

void JournalWriter::close()
{
    if (!isOpen() || !collectSync(true))
        return;
    if (m_unsynced)
        sync();
    m_file.close();
}

void JournalWriter::fail(const QString &reason)
{
    if (m_backgroundSync.valid())
        m_backgroundSync.wait(); // it still uses the file
    m_error = reason;
    m_file.close();
}
