#include "framecut.h"

namespace {

const char FrameStartByte = char(0xA5);
const int FrameLengthBytes = 20;
// Without a start byte the cut stops one short of a frame, so it can never be
// mistaken for a whole one.
const int NoStartCutBytes = 19;

} // namespace

QByteArray cutFrame(const QByteArray &buffer)
{
    const int start = buffer.indexOf(FrameStartByte);
    if (start < 0)
        return buffer.left(NoStartCutBytes);
    return buffer.mid(start, FrameLengthBytes);
}

QByteArray toFrameText(const QByteArray &frame)
{
    return frame.toHex();
}
