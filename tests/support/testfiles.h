#ifndef TESTFILES_H
#define TESTFILES_H

// Files the tests lay out and read back. CSV files are read the way other
// programs will: with Python's csv module (Debian's python3), strictly, as
// UTF-8. Each record is a list of cells; a file csv refuses gives no
// records and the reason in *error.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>

// Writes the file, making its folder if need be.
inline bool writeFile(const QString &path, const QByteArray &content = QByteArray())
{
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).absolutePath()) && file.open(QIODevice::WriteOnly)
        && file.write(content) == content.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The file's complete lines so far, counted without Python (cheap enough to poll).
inline int completeCsvLines(const QString &path)
{
    QFile file(path);
    return !path.isEmpty() && file.open(QIODevice::ReadOnly) ? int(file.readAll().count("\r\n")) : 0;
}

inline QVector<QStringList> readCsvRecords(const QString &path, QString *error = nullptr)
{
    static const char script[] =
        "import csv, json, sys\n"
        "with open(sys.argv[1], newline='', encoding='utf-8', errors='strict') as f:\n"
        "    rows = [r for r in csv.reader(f, strict=True)]\n"
        "print(json.dumps(rows))\n";
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QString::fromLatin1(script), path});
    python.waitForFinished(60000);
    QVector<QStringList> records;
    if (python.exitCode() != 0 || python.exitStatus() != QProcess::NormalExit) {
        if (error)
            *error = QString::fromUtf8(python.readAllStandardError());
        return records;
    }
    const QJsonArray rows = QJsonDocument::fromJson(python.readAllStandardOutput()).array();
    for (const QJsonValue &row : rows) {
        QStringList cells;
        for (const QJsonValue &cell : row.toArray())
            cells << cell.toString();
        records << cells;
    }
    return records;
}

#endif // TESTFILES_H
