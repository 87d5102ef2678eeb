#ifndef JOURNALWRITER_H
#define JOURNALWRITER_H

#include "meter/recordedreading.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QString>
#include <QStringList>

#include <functional>
#include <future>

struct LimitCrossing;

// One recorded reading as the journal keeps it.
struct JournalRow {
    QStringList cells;   // the table row's five texts exactly as the table shows them
    QDateTime time;      // the reading's time -> iso_time "2026-12-07T09:47:28.412+01:00"
    QString value;       // plain number text in the unit shown ("3.446", "-0.512"), empty for overload/NCV/LIVE/blank
};

// The recording journal: a UTF-8 CSV file (RFC 4180 quoting, CRLF line ends)
// with a header line and one line per reading, appended as the readings come.
//
// Every line is handed to the operating system before append() returns, so a
// crash or a killed program loses nothing. syncIfDue(), called every
// SyncCheckMs or more often, pushes the file to the disk often enough that no
// line stays longer than SyncIntervalMs off it (so a power cut loses at most
// that), and close() does it a last time. syncIfDue() leaves the waiting for
// the disk to a worker thread (a sync can take a while, the caller records
// on); a failed sync is reported by the next call. A file
// that exists already is never opened for writing: openInFolder() takes the
// next free name, openFile() refuses.
//
// After the first failure the writer is closed and stays so; errorString()
// names the reason, and the file holds every line written up to it.
class JournalWriter
{
public:
    static constexpr int SyncIntervalMs = 10000;
    static constexpr int SyncCheckMs = 1000;
    static constexpr int ColumnCount = 7;

    JournalWriter() = default;
    ~JournalWriter();
    JournalWriter(const JournalWriter &) = delete;
    JournalWriter &operator=(const JournalWriter &) = delete;

    // The header line's titles: the table's five, then iso_time and value.
    static QStringList headerCells();
    // "ravelo-2026-12-07_09-47-28.csv", from the local time of the first row.
    static QString fileNameFor(const QDateTime &firstRowTime);
    // "0003.4" -> "3.4", "-0.512" -> "-0.512", "0L." -> "", "EF" -> "", "" -> "".
    static QString plainValueText(const QString &tableValueText);
    // "2026/12/07 09:47:28": the time cell of the window's table.
    static QString tableTimeText(const QDateTime &time);
    // "2026-12-07T09:47:28.412+01:00" (without ".412" when not
    // withMilliseconds); empty for an invalid time.
    static QString isoTimeText(const QDateTime &time, bool withMilliseconds = true);
    // The journal's row for a reading, the same for the window and the
    // recorder: the table's five texts, the time, and the reading's number
    // with as many decimals as the meter showed.
    static JournalRow rowFor(const RecordedReading &recorded);
    // "gap: 2026-12-07T09:47:31+01:00 link lost (...)": the comment that
    // marks where the link to the meter ended.
    static QString gapComment(const QDateTime &time, const QString &reason);
    // One CSV line, quoted where a cell needs it, with its CRLF.
    static QByteArray csvLine(const QStringList &cells);
    // The lines append() and appendComment() write (for a stream such as
    // the recorder's standard output).
    static QByteArray rowLine(const JournalRow &row);
    static QByteArray commentLine(const QString &text);
    // The text of a limit crossing's comment line:
    // "limit: 2026-12-07T09:47:28+01:00 high 5.234 V".
    static QString limitComment(const LimitCrossing &crossing);

    // Pushes what the system holds of the file (by its handle) to the disk;
    // true when it did. Called on a worker thread too.
    using DiskSync = std::function<bool(int handle)>;
    // Replaces the system's sync and the longest time a line stays off the
    // disk (a test counts the calls or makes them fail).
    void setDiskSync(DiskSync diskSync, int intervalMs = SyncIntervalMs);

    // Creates the folder when missing and a new file in it named after the
    // first row's time, with a suffix ("-2", "-3", ...) when that name is taken.
    bool openInFolder(const QString &folder, const QDateTime &firstRowTime);
    // A new file at path; fails when something exists there already.
    bool openFile(const QString &path);
    // The line has reached the operating system when this returns true.
    bool append(const JournalRow &row);
    // A "# text" line (gap and limit markers); line breaks become spaces.
    bool appendComment(const QString &text);
    // Starts a sync to the disk when lines were written since the last sync
    // and SyncIntervalMs less one SyncCheckMs have passed since it; false
    // once the writer has failed.
    bool syncIfDue();
    // Syncs what is written and closes the file.
    void close();

    bool isOpen() const { return m_file.isOpen(); }
    QString filePath() const { return m_path; }
    QString errorString() const { return m_error; }

private:
    bool create(const QString &path);
    bool writeLine(const QByteArray &line);
    bool sync();
    bool collectSync(bool wait);
    void fail(const QString &reason);

    QFile m_file;
    QString m_path;
    QString m_error;
    qint64 m_size = 0;          // bytes of complete lines in the file
    bool m_unsynced = false;    // lines written since the last sync
    QElapsedTimer m_sinceSync;
    DiskSync m_diskSync;
    int m_syncIntervalMs = SyncIntervalMs;
    std::future<bool> m_backgroundSync; // the sync running on a worker thread
};

#endif // JOURNALWRITER_H
