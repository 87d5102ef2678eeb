#ifndef FORMPARTS_H
#define FORMPARTS_H

#include <QFont>

QT_BEGIN_NAMESPACE
class QSpacerItem;
QT_END_NAMESPACE

// Small pieces the hand-written forms share.
namespace FormParts {

// A default font with only the point size set, and bold as weight 75.
QFont font(int pointSize, bool bold = false);

// A spacer that grows sideways (horizontal) or downwards (vertical).
QSpacerItem *horizontalSpacer(int width, int height);
QSpacerItem *verticalSpacer(int width, int height);

} // namespace FormParts

#endif // FORMPARTS_H
