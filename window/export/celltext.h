#ifndef CELLTEXT_H
#define CELLTEXT_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QPainter;
class QRect;
class QString;
QT_END_NAMESPACE

// Draws text centred in a grid cell with the painter's font, made just small
// enough to fit when the text is wider than the cell, so that no reading or
// time is cut off on paper. Texts that fit are drawn unchanged.
void drawCellText(QPainter *painter, const QRect &cell, const QString &text);

#endif // CELLTEXT_H
