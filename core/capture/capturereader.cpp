#include "capture/capturereader.h"

#include <cctype>

namespace {

// Hexadecimal digits only, two per byte. Decoded into *out's own storage:
// a capture has millions of lines.
bool parseHex(const char *begin, const char *end, QByteArray *out)
{
    if ((end - begin) % 2 != 0)
        return false;
    out->resize(int((end - begin) / 2));
    char *to = out->data();
    for (const char *p = begin; p < end; p += 2) {
        if (!std::isxdigit(uchar(p[0])) || !std::isxdigit(uchar(p[1])))
            return false;
        // '0'-'9' are 0x3N, 'a'-'f' and 'A'-'F' are 0x6N and 0x4N with N from 1.
        const auto nibble = [](char c) { return (c & 0xF) + 9 * ((c >> 6) & 1); };
        *to++ = char(nibble(p[0]) << 4 | nibble(p[1]));
    }
    return true;
}

} // namespace

bool CaptureReader::open(const QString &path)
{
    m_error.clear();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_error = m_file.errorString();
        return false;
    }
    // The header: the comment lines before the first event.
    QByteArray line;
    while (readLine(&line)) {
        if (!line.startsWith('#') && !line.trimmed().isEmpty()) {
            m_lookahead = line;
            m_haveLookahead = true;
            break;
        }
        readHeaderLine(line);
    }
    if (atError())
        return false;
    if (!m_start.isValid()) {
        m_error = QStringLiteral("not a ravelo capture (no start time in its header)");
        return false;
    }
    return true;
}

void CaptureReader::readHeaderLine(const QByteArray &line)
{
    const QByteArray body = line.mid(1).trimmed();
    const int space = body.indexOf(' ');
    const QByteArray key = body.left(space);
    const QString value = QString::fromUtf8(body.mid(space + 1));
    if (space < 0)
        return;
    if (key == "start")
        m_start = QDateTime::fromString(value, Qt::ISODateWithMs);
    else if (key == "interval-ms")
        m_intervalMs = value.toInt();
    else if (key == "port")
        m_port = value;
}

bool CaptureReader::readLine(QByteArray *line)
{
    if (m_haveLookahead) {
        m_haveLookahead = false;
        *line = m_lookahead;
        return true;
    }
    if (m_file.atEnd())
        return false;
    // Into the same buffer each time: a capture has millions of lines.
    const int FirstLineBytes = 256;
    if (line->size() < FirstLineBytes)
        line->resize(FirstLineBytes);
    qint64 length = 0;
    for (;;) {
        const qint64 room = line->size() - length;
        const qint64 got = m_file.readLine(line->data() + length, room + 1);
        if (got <= 0)
            break;
        length += got;
        if (line->at(int(length - 1)) == '\n' || got < room)
            break;
        line->resize(line->size() * 2);
    }
    line->resize(int(length));
    ++m_lineNumber;
    if (line->endsWith('\n'))
        line->chop(1);
    if (line->endsWith('\r'))
        line->chop(1);
    return true;
}

bool CaptureReader::next(Event *event)
{
    QByteArray &line = m_line;
    while (m_error.isEmpty() && readLine(&line)) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        bool known = false;
        if (!parseLine(line, event, &known)) {
            m_error = QStringLiteral("line %1: not a capture event").arg(m_lineNumber);
            return false;
        }
        if (known)
            return true;
    }
    return false;
}

bool CaptureReader::parseLine(const QByteArray &line, Event *event, bool *known)
{
    const char *p = line.constData();
    const char *end = p + line.size();
    qint64 ms = 0;
    const char *digits = p;
    while (p < end && *p >= '0' && *p <= '9' && p - digits < 15)
        ms = ms * 10 + (*p++ - '0');
    if (p == digits || p == end || *p != ' ')
        return false;
    ++p;
    const char *word = p;
    while (p < end && *p != ' ')
        ++p;
    const QByteArray name = QByteArray::fromRawData(word, int(p - word));
    const char *rest = p < end ? p + 1 : end;

    event->ms = ms;
    event->text.clear();
    *known = true;
    if (name == "rx") {
        event->type = Event::Type::Received;
        return rest < end && parseHex(rest, end, &event->bytes);
    }
    event->bytes.clear();
    if (name == "tick") {
        event->type = Event::Type::Tick;
    } else if (name == "open") {
        event->type = Event::Type::Opened;
        event->text = QString::fromUtf8(rest, int(end - rest));
    } else if (name == "lost") {
        event->type = Event::Type::Lost;
        event->text = QString::fromUtf8(rest, int(end - rest));
    } else if (name == "close") {
        event->type = Event::Type::Closed;
        event->text = QString::fromUtf8(rest, int(end - rest));
    } else {
        *known = false;
    }
    return !name.isEmpty();
}
