#ifndef FRAMECUT_H
#define FRAMECUT_H

#include <QByteArray>

// Cutting one meter frame out of the bytes received since the last poll tick.
//
// The cut is the 20 bytes starting at the first 0xA5, or fewer when the buffer
// ends sooner. Without any 0xA5 the cut is the buffer's first 19 bytes, or the
// whole buffer when it is shorter. So the cut is empty exactly when the buffer
// is, and it is 20 bytes long only when 0xA5 is followed by 19 more bytes.
QByteArray cutFrame(const QByteArray &buffer);

// What one poll tick takes, in the window and in the recorder alike: the cut
// of the bytes received since the last tick, which are then dropped (a frame
// split across two ticks is lost, as the meter sends the next one anyway).
// The cut is empty when nothing came (a missed tick).
QByteArray takeTickFrame(QByteArray *received);

// Whether a cut is a whole frame, to be decoded.
bool isWholeFrame(const QByteArray &cut);

// A frame as text: two lower-case hexadecimal digits per byte, high nibble
// first, no separators (40 characters for a whole frame).
QByteArray toFrameText(const QByteArray &frame);

#endif // FRAMECUT_H
