#ifndef CAPTUREREADER_H
#define CAPTUREREADER_H

#include <QByteArray>
#include <QDateTime>
#include <QFile>
#include <QString>

// Reads a capture written by CaptureWriter (the format is described there),
// one event at a time.
class CaptureReader
{
public:
    struct Event {
        enum class Type { Received, Tick, Opened, Lost, Closed };
        Type type = Type::Received;
        qint64 ms = 0;    // since the start of the capture
        QByteArray bytes; // Received: the bytes
        QString text;     // Opened: the port; Lost, Closed: the reason
    };

    // Opens the file and reads its header.
    bool open(const QString &path);
    // The next event; false at the end or on a malformed line (see errorString()).
    bool next(Event *event);
    bool atError() const { return !m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    QDateTime start() const { return m_start; }
    int intervalMs() const { return m_intervalMs; }
    QString port() const { return m_port; }

    // Parses one event line (no newline); false when it is not one.
    static bool parseLine(const QByteArray &line, Event *event, bool *known);

private:
    bool readLine(QByteArray *line);
    void readHeaderLine(const QByteArray &line);

    QFile m_file;
    QByteArray m_line;
    QByteArray m_lookahead;
    bool m_haveLookahead = false;
    qint64 m_lineNumber = 0;
    QDateTime m_start;
    int m_intervalMs = 0;
    QString m_port;
    QString m_error;
};

#endif // CAPTUREREADER_H
