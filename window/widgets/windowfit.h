#ifndef WINDOWFIT_H
#define WINDOWFIT_H

#include <QMargins>
#include <QSize>

namespace WindowFit {

// Room kept around the window for its frame (title bar and borders), which
// the window system adds only once the window is shown.
const QMargins FrameAllowance(8, 32, 8, 8);

// The window's first size: `preferred` where the screen's free area holds it
// with its frame; otherwise the largest that fits, never below `minimum`.
QSize initialSize(const QSize &preferred, const QSize &minimum, const QSize &available,
                  const QMargins &frame = FrameAllowance);

// The window's smallest size: `minimum` where the screen's free area holds
// it with its frame; otherwise as much of it as fits (a small screen, or a
// large scaling: 1920 × 1080 at 200 % leaves 960 × 540).
QSize fittedMinimum(const QSize &minimum, const QSize &available, const QMargins &frame = FrameAllowance);

} // namespace WindowFit

#endif // WINDOWFIT_H
