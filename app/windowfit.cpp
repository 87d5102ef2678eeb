#include "windowfit.h"

namespace WindowFit {

QSize initialSize(const QSize &preferred, const QSize &minimum, const QSize &available,
                  const QMargins &frame)
{
    const QSize room(available.width() - frame.left() - frame.right(),
                     available.height() - frame.top() - frame.bottom());
    return preferred.boundedTo(room).expandedTo(minimum);
}

} // namespace WindowFit
