#include "export/xlsxpackagecheck.h"

#include <QtEndian>

#include <zlib.h>

#include <algorithm>

namespace {

const quint32 EndOfDirectorySignature = 0x06054b50;
const quint32 DirectoryEntrySignature = 0x02014b50;
const quint32 LocalHeaderSignature = 0x04034b50;
const int EndOfDirectorySize = 22;
const int DirectoryEntrySize = 46;
const int LocalHeaderSize = 30;
const int MaxCommentSize = 0xffff;
const quint16 Stored = 0;
const quint16 Deflated = 8;
const int InflateChunkBytes = 64 * 1024;
const int KeptTailBytes = 256;
const char FirstSheetName[] = "xl/worksheets/sheet1.xml";
const char RowTag[] = "<row ";

quint16 u16(const QByteArray &data, qint64 at)
{
    return qFromLittleEndian<quint16>(data.constData() + at);
}

quint32 u32(const QByteArray &data, qint64 at)
{
    return qFromLittleEndian<quint32>(data.constData() + at);
}

// What the check needs from a part's text, gathered as it is inflated.
class PartScanner
{
public:
    void feed(const char *data, int size)
    {
        if (m_head.size() < KeptTailBytes)
            m_head.append(data, std::min(size, KeptTailBytes - int(m_head.size())));
        // Count the row tags, also those cut in two by the chunk boundary.
        QByteArray window = m_carry + QByteArray::fromRawData(data, size);
        m_rows += window.count(RowTag);
        const int keep = int(sizeof(RowTag)) - 2;
        m_carry = window.right(keep);
        m_tail = (m_tail + QByteArray(data, size)).right(KeptTailBytes);
    }

    int rows() const { return m_rows; }

    // The text ends with the closing tag of its root element.
    bool isWhole() const
    {
        int at = 0;
        for (;;) {
            at = m_head.indexOf('<', at);
            if (at < 0 || at + 1 >= m_head.size())
                return false;
            if (m_head.at(at + 1) != '?' && m_head.at(at + 1) != '!')
                break;
            ++at;
        }
        int end = at + 1;
        while (end < m_head.size() && m_head.at(end) != ' ' && m_head.at(end) != '>'
               && m_head.at(end) != '/' && m_head.at(end) != '\r' && m_head.at(end) != '\n')
            ++end;
        const QByteArray root = m_head.mid(at + 1, end - at - 1);
        if (root.isEmpty())
            return false;
        return m_tail.trimmed().endsWith("</" + root + ">");
    }

private:
    QByteArray m_head;
    QByteArray m_tail;
    QByteArray m_carry;
    int m_rows = 0;
};

bool scanPart(const char *data, qint64 size, quint16 method, quint32 expectedSize, PartScanner *scanner)
{
    if (method == Stored) {
        if (size != expectedSize)
            return false;
        scanner->feed(data, int(size));
        return true;
    }
    if (method != Deflated)
        return false;

    z_stream stream = {};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) // raw deflate, as zip stores it
        return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data));
    stream.avail_in = uInt(size);
    QByteArray out(InflateChunkBytes, Qt::Uninitialized);
    quint64 total = 0;
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef *>(out.data());
        stream.avail_out = uInt(out.size());
        result = inflate(&stream, Z_NO_FLUSH);
        const int produced = out.size() - int(stream.avail_out);
        if (produced > 0)
            scanner->feed(out.constData(), produced);
        total += quint64(produced);
        if (result == Z_BUF_ERROR && stream.avail_in == 0)
            break; // the data ended before the stream did
        if (result == Z_BUF_ERROR)
            result = Z_OK;
    }
    inflateEnd(&stream);
    return result == Z_STREAM_END && total == expectedSize;
}

} // namespace

bool XlsxPackageCheck::isComplete(const QByteArray &package, int sheetRows)
{
    const qint64 size = package.size();
    if (size < EndOfDirectorySize)
        return false;

    // The end-of-directory record, searched from the back past any comment.
    qint64 end = -1;
    const qint64 lowest = std::max<qint64>(0, size - EndOfDirectorySize - MaxCommentSize);
    for (qint64 at = size - EndOfDirectorySize; at >= lowest; --at) {
        if (u32(package, at) == EndOfDirectorySignature) {
            end = at;
            break;
        }
    }
    if (end < 0)
        return false;
    const int entries = u16(package, end + 10);
    qint64 entry = u32(package, end + 16);

    bool sawSheet = false;
    for (int i = 0; i < entries; ++i) {
        if (entry + DirectoryEntrySize > size || u32(package, entry) != DirectoryEntrySignature)
            return false;
        const quint16 method = u16(package, entry + 10);
        const quint32 compressedSize = u32(package, entry + 20);
        const quint32 uncompressedSize = u32(package, entry + 24);
        const quint16 nameLength = u16(package, entry + 28);
        const quint16 extraLength = u16(package, entry + 30);
        const quint16 commentLength = u16(package, entry + 32);
        const qint64 local = u32(package, entry + 42);
        if (entry + DirectoryEntrySize + nameLength > size)
            return false;
        const QByteArray name = package.mid(entry + DirectoryEntrySize, nameLength);
        entry += DirectoryEntrySize + nameLength + extraLength + commentLength;

        if (local + LocalHeaderSize > size || u32(package, local) != LocalHeaderSignature)
            return false;
        const qint64 data = local + LocalHeaderSize + u16(package, local + 26) + u16(package, local + 28);
        if (data + compressedSize > size)
            return false;
        if (!name.endsWith(".xml") && !name.endsWith(".rels"))
            continue;

        PartScanner scanner;
        if (!scanPart(package.constData() + data, compressedSize, method, uncompressedSize, &scanner))
            return false;
        if (!scanner.isWhole())
            return false;
        if (name == FirstSheetName) {
            sawSheet = true;
            if (scanner.rows() != sheetRows)
                return false;
        }
    }
    return sawSheet;
}
