#ifndef PAGEGRID_H
#define PAGEGRID_H

#include <QtGlobal>

#include <functional>

QT_BEGIN_NAMESPACE
class QPagedPaintDevice;
class QPainter;
class QStringList;
QT_END_NAMESPACE

// Where the table's grid sits on paged output. The PDF export and printing
// draw the same rows, each with its own figures; all are device pixels.
struct PageGridGeometry
{
    int firstPageTop = 0;   // top of the column-title row on page 1
    int laterPageTop = 0;   // top of the first row on every later page
    int rowHeight = 0;      // rows touch, so this is also the pitch
    int rightShortfall = 0; // the grid stops this short of the viewport's right edge
};

namespace PageGrid {

// Table rows on a page; page 1 holds the column titles as well.
constexpr int RowsPerPage = 30;

// Pages that painter rows (the column titles first, then the table rows) fill.
int pageCount(int painterRows);

// Draws `texts` as rows of `columns` outlined cells, each text centred in its
// cell, with the painter's font and pen. A new page is started on `device`
// after painter rows 30, 60, ... (never an empty one at the end), and
// `pageStarted` is told its number (2, 3, ...); when it answers false the
// drawing stops there and false is returned.
bool paint(QPainter *painter, QPagedPaintDevice *device, const PageGridGeometry &geometry,
           const QStringList &texts, int columns, const std::function<bool(int)> &pageStarted);

} // namespace PageGrid

#endif // PAGEGRID_H
