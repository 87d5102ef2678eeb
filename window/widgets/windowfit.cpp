#include "widgets/windowfit.h"

namespace WindowFit {

namespace {

QSize roomFor(const QSize &available, const QMargins &frame)
{
    return QSize(available.width() - frame.left() - frame.right(),
                 available.height() - frame.top() - frame.bottom());
}

} // namespace

QSize initialSize(const QSize &preferred, const QSize &minimum, const QSize &available,
                  const QMargins &frame)
{
    return preferred.boundedTo(roomFor(available, frame)).expandedTo(minimum);
}

QSize fittedMinimum(const QSize &minimum, const QSize &available, const QMargins &frame)
{
    return minimum.boundedTo(roomFor(available, frame));
}

} // namespace WindowFit
