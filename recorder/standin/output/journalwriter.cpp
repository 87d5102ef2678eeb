#include "output/journalwriter.h"
QString JournalWriter::plainValueText(const QString &t) { bool ok; double v = t.toDouble(&ok); return ok ? QString::number(v) : QString(); }
bool JournalWriter::openFile(const QString &path)
{
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return m_file.write("serial,function,value,unit,time,iso_time,value_number\n") > 0 && m_file.flush();
}
bool JournalWriter::append(const JournalRow &row)
{
    QString line = row.cells.join(',') + ',' + row.time.toOffsetFromUtc(row.time.offsetFromUtc()).toString(Qt::ISODateWithMs) + ',' + row.value + '\n';
    return m_file.write(line.toUtf8()) > 0 && m_file.flush();
}
bool JournalWriter::appendComment(const QString &text)
{
    return m_file.write(("# " + text + '\n').toUtf8()) > 0 && m_file.flush();
}
