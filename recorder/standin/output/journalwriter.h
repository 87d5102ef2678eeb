#ifndef JOURNALWRITER_H
#define JOURNALWRITER_H
// Temporary stand-in until the core's journal writer lands (same names).
#include <QDateTime>
#include <QFile>
#include <QStringList>
struct JournalRow {
    QStringList cells;
    QDateTime time;
    QString value;
};
class JournalWriter
{
public:
    static QString plainValueText(const QString &tableValueText);
    bool openFile(const QString &path);
    bool openStandardOutput() { if (!m_file.open(stdout, QIODevice::WriteOnly)) return false; return m_file.write("serial,function,value,unit,time,iso_time,value_number\n") > 0 && m_file.flush(); }
    bool append(const JournalRow &row);
    bool appendComment(const QString &text);
    bool syncIfDue() { return true; }
    void close() { m_file.close(); }
    bool isOpen() const { return m_file.isOpen(); }
    QString filePath() const { return m_file.fileName(); }
    QString errorString() const { return m_file.errorString(); }
private:
    QFile m_file;
};
#endif
