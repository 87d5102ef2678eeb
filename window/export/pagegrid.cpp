#include "export/pagegrid.h"

#include "export/celltext.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QStringList>

namespace PageGrid {

int pageCount(int painterRows)
{
    const int firstPageRows = RowsPerPage + 1;
    if (painterRows <= firstPageRows)
        return 1;
    return 1 + (painterRows - firstPageRows + RowsPerPage - 1) / RowsPerPage;
}

bool paint(QPainter *painter, QPagedPaintDevice *device, const PageGridGeometry &geometry,
           const QStringList &texts, int columns, const std::function<bool(int)> &pageStarted)
{
    if (columns <= 0)
        return true;
    const int cellWidth = (painter->viewport().width() - geometry.rightShortfall) / columns;
    const int painterRows = (texts.size() + columns - 1) / columns;
    int y = geometry.firstPageTop;
    int page = 1;
    for (int i = 0; i < painterRows; ++i) {
        for (int j = 0; j < columns; ++j) {
            const QRect cell(j * cellWidth, y, cellWidth, geometry.rowHeight);
            drawCellText(painter, cell, texts.value(i * columns + j));
            painter->drawRects(&cell, 1);
        }
        y += geometry.rowHeight;
        if (i > 0 && i % RowsPerPage == 0 && i + 1 < painterRows) {
            device->newPage();
            y = geometry.laterPageTop;
            if (!pageStarted(++page))
                return false;
        }
    }
    return true;
}

} // namespace PageGrid
