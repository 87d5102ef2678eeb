#include "export/celltext.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QRect>
#include <QString>

namespace {
// Room kept free on each side of a shrunk text, as a share of the cell height.
const qreal SideRoomPerHeight = 0.1;
} // namespace

void drawCellText(QPainter *painter, const QRect &cell, const QString &text)
{
    const int flags = Qt::AlignHCenter | Qt::AlignVCenter;
    const qreal room = cell.width() - 2 * SideRoomPerHeight * cell.height();
    const qreal width = QFontMetricsF(painter->font(), painter->device()).horizontalAdvance(text);
    if (text.isEmpty() || width <= room || room <= 0) {
        painter->drawText(cell, flags, text);
        return;
    }
    const QFont original = painter->font();
    QFont smaller = original;
    const qreal scale = room / width;
    if (original.pixelSize() > 0)
        smaller.setPixelSize(qMax(1, int(original.pixelSize() * scale)));
    else
        smaller.setPointSizeF(qMax(1.0, original.pointSizeF() * scale));
    painter->setFont(smaller);
    painter->drawText(cell, flags, text);
    painter->setFont(original);
}
