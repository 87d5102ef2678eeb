#include "formparts.h"

#include <QSpacerItem>

namespace FormParts {

const int BoldWeight = 75;

QFont font(int pointSize, bool bold)
{
    QFont result;
    result.setPointSize(pointSize);
    if (bold) {
        result.setBold(true);
        result.setWeight(BoldWeight);
    }
    return result;
}

QSpacerItem *horizontalSpacer(int width, int height)
{
    return new QSpacerItem(width, height, QSizePolicy::Expanding, QSizePolicy::Minimum);
}

QSpacerItem *verticalSpacer(int width, int height)
{
    return new QSpacerItem(width, height, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

} // namespace FormParts
