#include "meter/commandrecord.h"

namespace {

quint8 recordChecksum(quint8 b0, quint8 b1, quint8 b2)
{
    return quint8((b0 + b1 + b2) & 0xFF);
}

} // namespace

QByteArray commandRecord(quint8 keyCode)
{
    const quint8 start = quint8(CommandStartByte);
    QByteArray record(CommandRecordLength, '\0');
    record[0] = char(start);
    record[1] = char(0x00);
    record[2] = char(keyCode);
    record[3] = char(recordChecksum(start, 0x00, keyCode));
    return record;
}

bool parseCommandRecord(const QByteArray &record, quint8 *keyCode)
{
    if (record.size() != CommandRecordLength || record.at(0) != CommandStartByte)
        return false;
    const quint8 b1 = quint8(record.at(1));
    const quint8 b2 = quint8(record.at(2));
    if (quint8(record.at(3)) != recordChecksum(quint8(CommandStartByte), b1, b2))
        return false;
    if (keyCode)
        *keyCode = b2;
    return true;
}
