#ifndef JOURNALREADER_H
#define JOURNALREADER_H

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <functional>
#include <vector>

class QIODevice;
class ReadingHistory;

// Reads a recording journal (the window's or the recorder's CSV file, as
// JournalWriter writes it) into a ReadingHistory: one reading per row, its
// time from iso_time (the table's time when that is empty), its number from
// the value column, and a gap for every "# gap:" line. Other "#" lines
// (limit crossings) and blank lines are passed over.
//
// Whatever the input, nothing is read whole: a line longer than MaxLineBytes
// (or the limit given) ends the reading with an error. The first wrong line ends it too, with a
// message naming the line: 'line 7: the time "2026/13/07" is not a date'.
// A last line without its line end (the program was stopped while writing
// it) is left out, and lastLineUnfinished() says so.
class JournalReader
{
public:
    // A journal line is about a hundred bytes.
    static constexpr int MaxLineBytes = 64 * 1024;

    // maxLineBytes: the longest line read (a fuzzer makes it short).
    explicit JournalReader(int maxLineBytes = MaxLineBytes) : m_maxLineBytes(qMax(maxLineBytes, 1)) {}

    // Replaces *history with the journal's readings; on failure *history is
    // left as it was.
    bool read(const QString &path, ReadingHistory *history);
    bool read(QIODevice *device, ReadingHistory *history);

    // Called now and then while reading with the bytes read and the device's
    // size; returning false stops the reading (stopped() then says so).
    using Progress = std::function<bool(qint64 bytesRead, qint64 bytesTotal)>;
    void setProgress(Progress progress) { m_progress = std::move(progress); }
    bool stopped() const { return m_stopped; }

    QString errorString() const { return m_error; }
    // The line the error names; 0 for a file that could not be read.
    qint64 errorLine() const { return m_errorLine; }
    // The file ended in a line without its line end, which was left out.
    bool lastLineUnfinished() const { return m_unfinished; }

private:
    struct Cell {
        int begin = 0;
        int size = 0;
    };
    enum class Next { Record, End, Unfinished, Failed };

    Next nextRecord(QIODevice *device);
    void splitCells();
    bool parseRow(ReadingHistory *history);
    bool fail(qint64 line, const QString &what);
    QByteArray cell(int i) const;

    int m_maxLineBytes;
    Progress m_progress;
    bool m_stopped = false;
    QString m_error;
    qint64 m_errorLine = 0;
    bool m_unfinished = false;

    qint64 m_lineNumber = 0;   // physical lines read
    qint64 m_recordLine = 0;   // the first line of the current record
    QByteArray m_line;         // one physical line, as read
    QByteArray m_record;       // the current record (lines of a quoted cell joined)
    QByteArray m_cellBytes;    // the record's cells, unquoted, one after another
    std::vector<Cell> m_cells;
    // The texts of the previous row, shared by the next when they repeat.
    QByteArray m_lastFunctionBytes, m_lastUnitBytes;
    QString m_lastFunction, m_lastUnit;
};

#endif // JOURNALREADER_H
