#include "tickgauge.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace {

// Geometry of the gauge for a given widget size. At the usual 380x40 it is:
//   y  3..13  segments (and the arrow at the far right)
//   y 17      base line, ticks hanging from it (3, 5 or 7 px long)
//   y 26..    the numbers 0 10 ... 60, left out when the widget is too low.
struct Layout
{
    int barTop = 0;
    int barHeight = 0;
    int baseLine = 0;
    int smallTick = 0;
    int midTick = 0;
    int longTick = 0;
    int numberTop = 0;
    int numberPixels = 0;   // 0: no numbers
    double scaleLeft = 0;   // x of step boundary 0
    double unit = 0;        // width of one step
    QRect mark;             // over-range arrow

    double x(int boundary) const { return scaleLeft + unit * boundary; }
};

Layout layoutFor(const QSize& size)
{
    Layout l;
    const int w = std::max(size.width(), 1);
    const int h = std::max(size.height(), 1);
    const bool numbers = h >= 32;

    l.barTop = std::max(1, h / 13);
    l.barHeight = std::max(2, numbers ? h * 11 / 40 : h * 9 / 20);
    l.baseLine = l.barTop + l.barHeight + 3;
    if (numbers) {
        l.longTick = 7;
        l.numberTop = l.baseLine + l.longTick + 2;
        l.numberPixels = std::min(10, h - l.numberTop);
    } else {
        l.longTick = std::max(1, h - l.baseLine - 1);
    }
    l.midTick = std::max(1, l.longTick * 5 / 7);
    l.smallTick = std::max(1, l.longTick * 3 / 7);

    // Room on the left for half of the "0", on the right for the arrow.
    const int markWidth = std::clamp(l.barHeight, 4, 10);
    const int left = 6;
    const int right = markWidth + 6;
    l.scaleLeft = left;
    l.unit = std::max(0, w - left - right) / double(TickGauge::FullScale);
    l.mark = QRect(w - markWidth - 2, l.barTop, markWidth, l.barHeight);
    return l;
}

} // namespace

TickGauge::TickGauge(QWidget* parent)
    : QWidget(parent)
    , m_color(Qt::white)
{
    // Nothing of our own behind the drawing: the panel shows through.
    setAutoFillBackground(false);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

void TickGauge::setQtColor(QString colorName)
{
    QColor color;
    color.setNamedColor(colorName.trimmed());
    if (!color.isValid() || color == m_color)
        return;
    m_color = color;
    update();
}

void TickGauge::setCurrentProgressBarValue(int pbValue)
{
    const int value = std::clamp(pbValue, 0, MaxValue);
    if (value == m_value)
        return;
    // Only repaint when something visible changes: every value above
    // FullScale looks the same.
    const bool looksDifferent = std::min(value, FullScale + 1) != std::min(m_value, FullScale + 1);
    m_value = value;
    if (looksDifferent)
        update();
    emit valueChanged(m_value);
}

QRect TickGauge::barRect() const
{
    const Layout l = layoutFor(size());
    const int x0 = int(std::lround(l.x(0)));
    const int x1 = int(std::lround(l.x(FullScale)));
    return QRect(x0, l.barTop, x1 - x0, l.barHeight);
}

QRect TickGauge::overRangeMarkRect() const
{
    return layoutFor(size()).mark;
}

QSize TickGauge::sizeHint() const
{
    return QSize(380, 40);
}

QSize TickGauge::minimumSizeHint() const
{
    // Two pixels of segment plus a pixel of gap for each step.
    return QSize(3 * FullScale + 20, 16);
}

void TickGauge::paintEvent(QPaintEvent*)
{
    const Layout l = layoutFor(size());
    QPainter p(this);
    if (!isEnabled())
        p.setOpacity(0.45);

    // Dark segments are still faintly there, as on an LCD.
    QColor ghost = m_color;
    ghost.setAlphaF(m_color.alphaF() * 0.22);

    const int lit = std::min(m_value, FullScale);
    for (int n = 1; n <= FullScale; ++n) {
        const int left = int(std::lround(l.x(n - 1))) + 1;
        const int right = int(std::lround(l.x(n))) - 1;   // exclusive
        if (right <= left)
            continue;
        p.fillRect(QRect(left, l.barTop, right - left, l.barHeight), n <= lit ? m_color : ghost);
    }

    // Scale: base line, a tick on every step boundary, longer ones every
    // 5 and 10 steps. Drawn on pixel centres to stay sharp.
    p.setPen(QPen(m_color, 1));
    const double baseY = l.baseLine + 0.5;
    p.drawLine(QPointF(std::lround(l.x(0)) + 0.5, baseY),
               QPointF(std::lround(l.x(FullScale)) - 0.5, baseY));
    for (int k = 0; k <= FullScale; ++k) {
        const int len = k % 10 == 0 ? l.longTick : k % 5 == 0 ? l.midTick : l.smallTick;
        const double tx = (k == FullScale ? std::lround(l.x(k)) - 1 : std::lround(l.x(k))) + 0.5;
        p.drawLine(QPointF(tx, baseY), QPointF(tx, baseY + len));
    }

    if (l.numberPixels >= 6) {
        QFont f = font();
        f.setPixelSize(l.numberPixels);
        f.setBold(false);
        p.setFont(f);
        for (int k = 0; k < FullScale; k += 10) {
            const int cx = int(std::lround(l.x(k)));
            const QRect box(cx - 20, l.numberTop, 41, height() - l.numberTop);
            p.drawText(box, Qt::AlignHCenter | Qt::AlignTop, QString::number(k));
        }
    }

    // Over-range arrow, pointing right past the end of the bar.
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(isOverRange() ? m_color : ghost);
    const QRectF m(l.mark);
    p.drawPolygon(QPolygonF({ m.topLeft(), QPointF(m.right(), m.center().y()), m.bottomLeft() }));
}
