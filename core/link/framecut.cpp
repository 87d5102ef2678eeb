#include "link/framecut.h"

#include "meter/meterprotocol.h"

namespace {

// Without a start byte the cut stops one short of a frame, so it can never be
// mistaken for a whole one.
const int NoStartCutBytes = MeterProtocol::FrameLength - 1;

} // namespace

QByteArray cutFrame(const QByteArray &buffer)
{
    const int start = buffer.indexOf(char(MeterProtocol::FrameStart));
    if (start < 0)
        return buffer.left(NoStartCutBytes);
    return buffer.mid(start, MeterProtocol::FrameLength);
}

QByteArray takeTickFrame(QByteArray *received)
{
    const QByteArray cut = cutFrame(*received);
    received->clear();
    return cut;
}

bool isWholeFrame(const QByteArray &cut)
{
    return cut.size() == MeterProtocol::FrameLength;
}

QByteArray toFrameText(const QByteArray &frame)
{
    return frame.toHex();
}
