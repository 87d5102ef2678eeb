#include "historyview.h"

#include "display/statisticslabel.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QHash>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QRubberBand>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// The narrowest range a zoom goes to.
const qint64 MinSpanMs = 10;
// A single reading is shown in a range this wide around it.
const qint64 LoneReadingSpanMs = 2000;
const double WheelZoomPerNotch = 0.8;
const double KeyPanFraction = 0.1;
// A drag shorter than this is a click.
const int MinBandPx = 4;
// Pixels between the labels of an axis, about.
const int TimeTickSpacingPx = 80;
const int TimeLabelGapPx = 20;
const int ValueTickSpacingPx = 40;
const int LinePenWidth = 1;
// The functions drawn to a scale of their own, not the axis's.
const int OtherScaleAlpha = 110;

const QColor SegmentColours[] = {QColor(0, 0, 255),   QColor(0, 128, 0),  QColor(160, 0, 160),
                                 QColor(200, 100, 0), QColor(0, 128, 128), QColor(120, 70, 20)};

// Steps of 1, 2 and 5 times a power of ten, about `count` of them over the span.
double niceStep(double span, int count)
{
    const double raw = span / std::max(count, 1);
    if (!(raw > 0) || !std::isfinite(raw))
        return 1;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 5.0, 10.0}) {
        if (raw <= m * power)
            return m * power;
    }
    return 10 * power;
}

qint64 timeStep(qint64 spanMs, int count)
{
    static const qint64 steps[] = {
        1, 2, 5, 10, 20, 50, 100, 200, 500,
        1000, 2000, 5000, 10000, 15000, 30000,
        60000, 120000, 300000, 600000, 900000, 1800000,
        3600000, 7200000, 10800000, 21600000, 43200000,
        86400000, 172800000, 604800000, 2592000000LL, 31536000000LL};
    const double raw = double(spanMs) / std::max(count, 1);
    for (const qint64 step : steps) {
        if (raw <= double(step))
            return step;
    }
    return qint64(niceStep(double(spanMs), count));
}

QString timeFormat(qint64 stepMs, qint64 spanMs)
{
    if (stepMs < 1000)
        return QStringLiteral("mm:ss.zzz");
    if (stepMs >= 86400000)
        return QStringLiteral("yyyy-MM-dd");
    if (spanMs >= 86400000)
        return QStringLiteral("MM-dd hh:mm");
    return QStringLiteral("hh:mm:ss");
}

} // namespace

HistoryView::HistoryView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("historyView"));
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(true);
    QPalette background = palette();
    background.setColor(QPalette::Window, Qt::white);
    setPalette(background);
    setMinimumSize(320, 240);
    setToolTip(tr("Wheel: zoom · left drag: zoom into a band · right drag or Ctrl+drag: pan · "
                  "double-click or Home: the whole recording"));

    m_band = new QRubberBand(QRubberBand::Rectangle, this);
    m_liveButton = new QToolButton(this);
    m_liveButton->setObjectName(QStringLiteral("historyLiveButton"));
    m_liveButton->setText(tr("Back to the live recording"));
    m_liveButton->hide();
    connect(m_liveButton, &QToolButton::clicked, this, &HistoryView::showLive);
}

HistoryView::~HistoryView() = default;

void HistoryView::addReading(const RecordedReading &recorded)
{
    m_live.append(recorded.time.toMSecsSinceEpoch(), recorded.reading);
    if (!m_showingFile)
        historyChanged();
}

void HistoryView::addGap()
{
    m_live.addGap();
    if (!m_showingFile)
        historyChanged();
}

void HistoryView::showRecording(ReadingHistory history, const QString &name)
{
    m_file = std::move(history);
    m_fileName = name;
    m_showingFile = true;
    m_liveButton->show();
    layoutButton();
    m_all = true;
    historyChanged();
    emit rangeChanged();
}

void HistoryView::showLive()
{
    if (!m_showingFile)
        return;
    m_showingFile = false;
    m_file.clear();
    m_fileName.clear();
    m_liveButton->hide();
    m_all = true;
    historyChanged();
    emit rangeChanged();
}

QString HistoryView::title() const
{
    if (m_showingFile)
        return tr("Recording %1 (read-only)").arg(m_fileName);
    return tr("History since the port was opened");
}

void HistoryView::setLimits(std::optional<double> low, std::optional<double> high,
                            const QString &baseUnit)
{
    m_lowLimit = low;
    m_highLimit = high;
    m_limitUnit = baseUnit;
    update();
}

qint64 HistoryView::rangeStart() const
{
    if (!m_all)
        return m_t0;
    const ReadingHistory &history = shownHistory();
    if (history.isEmpty())
        return 0;
    const qint64 first = history.timeAt(0);
    const qint64 last = history.timeAt(history.size() - 1);
    return last > first ? first : first - LoneReadingSpanMs / 2;
}

qint64 HistoryView::rangeEnd() const
{
    if (!m_all)
        return m_t1;
    const ReadingHistory &history = shownHistory();
    if (history.isEmpty())
        return 0;
    const qint64 first = history.timeAt(0);
    const qint64 last = history.timeAt(history.size() - 1);
    return last > first ? last : last + LoneReadingSpanMs / 2;
}

void HistoryView::setRange(qint64 t0, qint64 t1)
{
    if (t1 < t0)
        std::swap(t0, t1);
    if (t1 - t0 < MinSpanMs) {
        const qint64 middle = t0 + (t1 - t0) / 2;
        t0 = middle - MinSpanMs / 2;
        t1 = t0 + MinSpanMs;
    }
    const ReadingHistory &history = shownHistory();
    // Wider than the whole recording is the whole recording.
    if (!history.isEmpty() && t0 <= history.timeAt(0)
        && t1 >= history.timeAt(history.size() - 1)) {
        showAll();
        return;
    }
    m_all = false;
    m_t0 = t0;
    m_t1 = t1;
    m_drawnValid = false;
    update();
    emit rangeChanged();
}

void HistoryView::showAll()
{
    m_all = true;
    m_drawnValid = false;
    update();
    emit rangeChanged();
}

void HistoryView::historyChanged()
{
    m_drawnValid = false;
    if (isVisible())
        update();
}

QRect HistoryView::plotRect() const
{
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const int left = metrics.horizontalAdvance(QStringLiteral("-8888.88")) + 12;
    const int top = 3 * line + line / 2 + 6;
    const int bottom = 2 * line + 8;
    const int right = 16;
    return QRect(left, top, std::max(1, width() - left - right),
                 std::max(1, height() - top - bottom));
}

const std::vector<DecimatedSegment> &HistoryView::drawnSegments() const
{
    const qint64 t0 = rangeStart();
    const qint64 t1 = rangeEnd();
    const int columns = plotRect().width();
    if (!m_drawnValid || t0 != m_drawnT0 || t1 != m_drawnT1 || columns != m_drawnColumns) {
        const ReadingHistory &history = shownHistory();
        m_drawn = history.isEmpty() ? std::vector<DecimatedSegment>()
                                    : decimateHistory(history, t0, t1, columns);
        m_drawnT0 = t0;
        m_drawnT1 = t1;
        m_drawnColumns = columns;
        m_drawnValid = true;
    }
    return m_drawn;
}

int HistoryView::referenceSegment() const
{
    // The last reading with a number in view (the decimation keeps one on
    // either side of the range too, so that the line reaches the edges).
    const double t0 = double(rangeStart());
    const double t1 = double(rangeEnd());
    int segment = -1;
    double latest = -std::numeric_limits<double>::infinity();
    for (const DecimatedSegment &drawn : drawnSegments()) {
        for (const QVector<QPointF> &run : drawn.runs) {
            for (int i = run.size() - 1; i >= 0; --i) {
                const double t = run[i].x();
                if (t > t1)
                    continue;
                if (t >= t0 && t >= latest) {
                    latest = t;
                    segment = drawn.segment;
                }
                break;
            }
        }
    }
    return segment;
}

ReadingStatistics HistoryView::visibleStatistics(QString *function, QString *unit) const
{
    ReadingStatistics figures;
    const ReadingHistory &history = shownHistory();
    const int reference = referenceSegment();
    if (reference < 0) {
        if (function)
            function->clear();
        if (unit)
            unit->clear();
        return figures;
    }
    const ReadingHistory::Segment &chosen = history.segments()[size_t(reference)];
    for (const ReadingHistory::Range &range : history.rangesIn(rangeStart(), rangeEnd())) {
        const ReadingHistory::Segment &segment = history.segments()[size_t(range.segment)];
        if (segment.function == chosen.function && segment.unit == chosen.unit)
            figures.add(history, range.first, range.last);
    }
    if (function)
        *function = chosen.function;
    if (unit)
        *unit = chosen.unit;
    return figures;
}

std::vector<double> HistoryView::limitsIn(const QString &unit) const
{
    std::vector<double> lines;
    if (unit.isEmpty() || m_limitUnit.isEmpty())
        return lines;
    for (const std::optional<double> &limit : {m_lowLimit, m_highLimit}) {
        if (!limit)
            continue;
        if (const std::optional<double> inUnit = ReadingHistory::inUnit(*limit, m_limitUnit, unit))
            lines.push_back(*inUnit);
    }
    return lines;
}

QString HistoryView::keyOf(const ReadingHistory::Segment &segment)
{
    return segment.function + QLatin1Char('\n') + segment.unit;
}

QHash<QString, HistoryView::ValueRange> HistoryView::valueRanges(const QString &reference) const
{
    const double infinity = std::numeric_limits<double>::infinity();
    QHash<QString, ValueRange> ranges;
    auto widen = [&](const QString &key, double value) {
        auto it = ranges.find(key);
        if (it == ranges.end())
            it = ranges.insert(key, {infinity, -infinity});
        it->low = std::min(it->low, value);
        it->high = std::max(it->high, value);
    };
    const ReadingHistory &history = shownHistory();
    for (const DecimatedSegment &drawn : drawnSegments()) {
        const QString key = keyOf(history.segments()[size_t(drawn.segment)]);
        for (const QVector<QPointF> &run : drawn.runs) {
            for (const QPointF &point : run)
                widen(key, point.y());
        }
    }
    if (ranges.contains(reference)) {
        for (const double limit : limitsIn(reference.section(QLatin1Char('\n'), 1)))
            widen(reference, limit);
    }
    for (ValueRange &range : ranges) {
        if (!std::isfinite(range.low) || !std::isfinite(range.high)) {
            range = ValueRange();
            continue;
        }
        const double spread = range.high - range.low;
        const double pad = spread < 1e-9 * std::max(1.0, std::fabs(range.high))
            ? std::max(std::fabs(range.high) * 0.05, 1e-3)
            : spread * 0.05;
        range.low -= pad;
        range.high += pad;
    }
    return ranges;
}

void HistoryView::layoutButton()
{
    m_liveButton->adjustSize();
    m_liveButton->move(width() - m_liveButton->width() - 4, 2);
}

void HistoryView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutButton();
}

void HistoryView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const QRect plot = plotRect();
    const ReadingHistory &history = shownHistory();

    // Title, then the figures of what is in view.
    painter.setPen(palette().color(QPalette::WindowText));
    const int titleRoom = m_liveButton->isVisible() ? m_liveButton->x() - 8 : width() - 8;
    painter.drawText(QRect(4, 2, std::max(0, titleRoom), line), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(title(), Qt::ElideMiddle, std::max(0, titleRoom)));
    QString function, unit;
    const ReadingStatistics figures = visibleStatistics(&function, &unit);
    const QString figuresText = history.isEmpty()
        ? tr("No readings yet")
        : tr("In view: %1").arg(StatisticsLabel::shortText(function, unit, figures));
    painter.drawText(QRect(4, 4 + line, width() - 8, line), Qt::AlignLeft | Qt::AlignVCenter,
                     metrics.elidedText(figuresText, Qt::ElideRight, width() - 8));

    painter.setPen(QPen(Qt::gray));
    painter.drawRect(plot.adjusted(0, 0, -1, -1));
    if (history.isEmpty())
        return;

    const qint64 t0 = rangeStart();
    const qint64 t1 = rangeEnd();
    const double spanMs = double(std::max<qint64>(t1 - t0, 1));
    const int reference = referenceSegment();
    const QString referenceKey =
        reference >= 0 ? keyOf(history.segments()[size_t(reference)]) : QString();
    const QHash<QString, ValueRange> ranges = valueRanges(referenceKey);
    const ValueRange values = ranges.value(referenceKey);
    const double valueSpan = values.high - values.low;
    auto xOf = [&](double t) { return plot.left() + (t - double(t0)) / spanMs * plot.width(); };
    auto yIn = [&](const ValueRange &range, double v) {
        return plot.bottom() - (v - range.low) / (range.high - range.low) * plot.height();
    };
    auto yOf = [&](double v) { return yIn(values, v); };

    // Value axis.
    const double valueStep = niceStep(valueSpan, std::max(2, plot.height() / ValueTickSpacingPx));
    painter.setPen(QPen(QColor(225, 225, 225)));
    QVector<QPair<double, double>> valueTicks;
    for (double v = std::ceil(values.low / valueStep) * valueStep; v <= values.high;
         v += valueStep) {
        valueTicks.append({v, yOf(v)});
        if (valueTicks.size() > 100)
            break;
    }
    for (const auto &[v, y] : valueTicks)
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    painter.setPen(palette().color(QPalette::WindowText));
    for (const auto &[v, y] : valueTicks) {
        const double shown = std::fabs(v) < valueStep * 1e-6 ? 0.0 : v;
        painter.drawText(QRectF(0, y - line / 2.0, plot.left() - 6, line),
                         Qt::AlignRight | Qt::AlignVCenter, StatisticsLabel::numberText(shown));
    }
    if (!unit.isEmpty())
        painter.drawText(QRect(0, plot.top() - line - line / 2 - 1, plot.left() - 6, line),
                         Qt::AlignRight | Qt::AlignBottom, unit);

    // Time axis, its ticks on round local times.
    // As many labels as fit with a gap between them.
    qint64 step = timeStep(t1 - t0, std::max(2, plot.width() / TimeTickSpacingPx));
    QString format = timeFormat(step, t1 - t0);
    const int labelRoom = metrics.horizontalAdvance(QDateTime::fromMSecsSinceEpoch(t0).toString(format))
        + TimeLabelGapPx;
    if (labelRoom > TimeTickSpacingPx) {
        step = timeStep(t1 - t0, std::max(2, plot.width() / labelRoom));
        format = timeFormat(step, t1 - t0);
    }
    const qint64 offsetMs = qint64(QDateTime::fromMSecsSinceEpoch(t0).offsetFromUtc()) * 1000;
    qint64 tick = (t0 + offsetMs) / step * step - offsetMs;
    if (tick < t0)
        tick += step;
    for (int count = 0; tick <= t1 && count < 100; tick += step, ++count) {
        const double x = xOf(double(tick));
        painter.setPen(QPen(QColor(225, 225, 225)));
        painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        painter.setPen(palette().color(QPalette::WindowText));
        const QString text = QDateTime::fromMSecsSinceEpoch(tick).toString(format);
        const int textWidth = metrics.horizontalAdvance(text);
        const double textLeft = std::min(x - textWidth / 2.0, double(width() - 2 - textWidth));
        painter.drawText(QRectF(textLeft, plot.bottom() + 3, textWidth, line), Qt::AlignCenter, text);
    }
    const QDateTime first = QDateTime::fromMSecsSinceEpoch(t0);
    const QDateTime last = QDateTime::fromMSecsSinceEpoch(t1);
    const QString dateText = first.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral(" – ")
        + last.toString(last.date() == first.date() ? QStringLiteral("hh:mm:ss")
                                                    : QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    painter.drawText(QRect(plot.left(), plot.bottom() + line + 5, plot.width(), line),
                     Qt::AlignRight | Qt::AlignVCenter, dateText);

    // The lines, clipped to the plot; a colour per function and unit.
    painter.save();
    painter.setClipRect(plot);
    painter.setRenderHint(QPainter::Antialiasing, false);
    QHash<QString, int> colourOf;
    for (const ReadingHistory::Segment &segment : history.segments()) {
        const QString key = keyOf(segment);
        if (!colourOf.contains(key))
            colourOf.insert(key, colourOf.size());
    }
    auto colourFor = [&](const QString &key) {
        QColor colour = SegmentColours[colourOf.value(key) % int(std::size(SegmentColours))];
        if (key != referenceKey)
            colour.setAlpha(OtherScaleAlpha);
        return colour;
    };
    QPolygonF polyline;
    QStringList legend;
    for (const DecimatedSegment &drawn : drawnSegments()) {
        const QString key = keyOf(history.segments()[size_t(drawn.segment)]);
        if (!legend.contains(key))
            legend << key;
        const ValueRange range = ranges.value(key);
        const QColor penColour = colourFor(key);
        painter.setPen(QPen(penColour, LinePenWidth));
        painter.setBrush(penColour);
        for (const QVector<QPointF> &run : drawn.runs) {
            polyline.resize(run.size());
            for (int i = 0; i < run.size(); ++i)
                polyline[i] = QPointF(xOf(run[i].x()), yIn(range, run[i].y()));
            if (polyline.size() == 1)
                painter.drawEllipse(polyline[0], 2, 2);
            else
                painter.drawPolyline(polyline);
        }
        // Readings without a number: a red tick at the top of the plot.
        painter.setPen(QPen(Qt::red, 1));
        for (const qint64 mark : drawn.marks) {
            const double x = xOf(double(mark));
            painter.drawLine(QPointF(x, plot.top()), QPointF(x, plot.top() + 6));
        }
    }
    // The limits of the function in view.
    painter.setPen(QPen(Qt::red, 1, Qt::DashLine));
    for (const double limit : limitsIn(unit)) {
        const double y = yOf(limit);
        painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    painter.restore();

    // The legend, right of the title: a swatch and the function's name and
    // unit, the one the axis belongs to first, as many as there is room for.
    legend.removeAll(referenceKey);
    if (!referenceKey.isEmpty())
        legend.prepend(referenceKey);
    const int right = (m_liveButton->isVisible() ? m_liveButton->x() : width()) - 8;
    int left = std::max(4 + metrics.horizontalAdvance(title()) + 24, width() / 3);
    for (int i = 0; i < legend.size(); ++i) {
        const QString text = QString(legend[i]).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
        const int textWidth = metrics.horizontalAdvance(text);
        if (left + line + textWidth > right)
            break;
        QColor swatch = colourFor(legend[i]);
        painter.fillRect(QRect(left, 2 + line / 4, line / 2, line / 2), swatch);
        swatch.setAlpha(255);
        painter.setPen(i == 0 ? palette().color(QPalette::WindowText) : swatch);
        painter.drawText(QRect(left + line * 2 / 3, 2, textWidth, line),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
        left += line + textWidth + 8;
    }
}

qint64 HistoryView::timeAt(double x) const
{
    const QRect plot = plotRect();
    const double fraction = (x - plot.left()) / std::max(plot.width(), 1);
    return rangeStart() + qint64(std::llround(fraction * double(rangeEnd() - rangeStart())));
}

void HistoryView::zoomAround(qint64 centre, double factor)
{
    const qint64 t0 = rangeStart();
    const qint64 t1 = rangeEnd();
    const double newT0 = double(centre) - double(centre - t0) * factor;
    const double newT1 = double(centre) + double(t1 - centre) * factor;
    setRange(qint64(std::llround(newT0)), qint64(std::llround(newT1)));
}

void HistoryView::panBy(double fraction)
{
    const qint64 t0 = rangeStart();
    const qint64 t1 = rangeEnd();
    const qint64 shift = qint64(std::llround(double(t1 - t0) * fraction));
    if (m_all && shownHistory().isEmpty())
        return;
    m_all = false;
    m_t0 = t0 + shift;
    m_t1 = t1 + shift;
    m_drawnValid = false;
    update();
    emit rangeChanged();
}

void HistoryView::wheelEvent(QWheelEvent *event)
{
    const int notches = event->angleDelta().y() / 120;
    if (notches == 0 || shownHistory().isEmpty()) {
        event->ignore();
        return;
    }
    zoomAround(timeAt(event->position().x()), std::pow(WheelZoomPerNotch, notches));
    event->accept();
}

void HistoryView::mousePressEvent(QMouseEvent *event)
{
    m_dragStart = event->pos();
    if (event->button() == Qt::LeftButton && !(event->modifiers() & Qt::ControlModifier)) {
        m_drag = Drag::Band;
        m_band->setGeometry(QRect(m_dragStart, QSize()));
        m_band->show();
    } else if (event->button() != Qt::NoButton) {
        m_drag = Drag::Pan;
        m_panT0 = rangeStart();
        m_panT1 = rangeEnd();
    }
}

void HistoryView::mouseMoveEvent(QMouseEvent *event)
{
    const QRect plot = plotRect();
    if (m_drag == Drag::Band) {
        const int x = std::clamp(event->pos().x(), plot.left(), plot.right());
        m_band->setGeometry(QRect(QPoint(std::min(m_dragStart.x(), x), plot.top()),
                                  QPoint(std::max(m_dragStart.x(), x), plot.bottom())));
    } else if (m_drag == Drag::Pan && !shownHistory().isEmpty()) {
        const double perPixel = double(m_panT1 - m_panT0) / std::max(plot.width(), 1);
        const qint64 shift = qint64(std::llround((m_dragStart.x() - event->pos().x()) * perPixel));
        m_all = false;
        m_t0 = m_panT0 + shift;
        m_t1 = m_panT1 + shift;
        m_drawnValid = false;
        update();
        emit rangeChanged();
    }
}

void HistoryView::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_drag == Drag::Band) {
        m_band->hide();
        const int x0 = std::min(m_dragStart.x(), event->pos().x());
        const int x1 = std::max(m_dragStart.x(), event->pos().x());
        if (x1 - x0 >= MinBandPx && !shownHistory().isEmpty())
            setRange(timeAt(x0), timeAt(x1));
    }
    m_drag = Drag::None;
}

void HistoryView::mouseDoubleClickEvent(QMouseEvent *)
{
    showAll();
}

void HistoryView::keyPressEvent(QKeyEvent *event)
{
    const qint64 middle = rangeStart() + (rangeEnd() - rangeStart()) / 2;
    switch (event->key()) {
    case Qt::Key_Home:
    case Qt::Key_Escape:
        showAll();
        break;
    case Qt::Key_Left:
        panBy(-KeyPanFraction);
        break;
    case Qt::Key_Right:
        panBy(KeyPanFraction);
        break;
    case Qt::Key_Plus:
    case Qt::Key_Equal:
        zoomAround(middle, WheelZoomPerNotch);
        break;
    case Qt::Key_Minus:
        zoomAround(middle, 1 / WheelZoomPerNotch);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
