#include "widgets/historyview.h"

#include "widgets/statisticslabel.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
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
// The share of the text colour in the grid's (the rest is the background's).
const double GridShare = 0.12;
const double FrameShare = 0.5;
// Lanes lower than this give up the line above them for their names.
const int MinLaneHeightPx = 24;
const int CompactLaneGapPx = 3;

// Line colours on a light background, and on a dark one; as names they
// stand out from it by 4.5:1 at least.
const QColor LightLineColours[] = {QColor(0, 0, 255),   QColor(0, 128, 0),  QColor(160, 0, 160),
                                   QColor(180, 80, 0),  QColor(0, 128, 128), QColor(120, 70, 20)};
const QColor DarkLineColours[] = {QColor(140, 180, 255), QColor(100, 210, 100), QColor(240, 150, 240),
                                  QColor(255, 170, 70),  QColor(70, 210, 210),  QColor(220, 180, 120)};

QColor mixed(const QColor &a, const QColor &b, double shareOfB)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * shareOfB,
                            a.greenF() + (b.greenF() - a.greenF()) * shareOfB,
                            a.blueF() + (b.blueF() - a.blueF()) * shareOfB);
}

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
    // A plot's background and text, light or dark as the palette is.
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
    setMouseTracking(true);
    setMinimumSize(320, 240);
    setToolTip(tr("Wheel: zoom · left drag: zoom into a band · right drag or Ctrl+drag: pan · "
                  "double-click or Home: the whole recording"));

    m_band = new QRubberBand(QRubberBand::Rectangle, this);
    m_liveButton = new QToolButton(this);
    m_liveButton->setObjectName(QStringLiteral("historyLiveButton"));
    m_liveButton->setText(tr("Back to the live recording"));
    m_liveButton->hide();
    connect(m_liveButton, &QToolButton::clicked, this, &HistoryView::showLive);

    m_progress = new QFrame(this);
    m_progress->setObjectName(QStringLiteral("historyProgress"));
    m_progress->setFrameShape(QFrame::StyledPanel);
    m_progress->setAutoFillBackground(true);
    m_progress->setBackgroundRole(QPalette::Window);
    auto *row = new QHBoxLayout(m_progress);
    m_progressText = new QLabel(m_progress);
    m_progressBar = new QProgressBar(m_progress);
    m_progressBar->setRange(0, 100);
    auto *cancel = new QPushButton(tr("Cancel"), m_progress);
    cancel->setObjectName(QStringLiteral("historyCancelButton"));
    row->addWidget(m_progressText);
    row->addWidget(m_progressBar, 1);
    row->addWidget(cancel);
    m_progress->hide();
    connect(cancel, &QPushButton::clicked, this, &HistoryView::cancelRequested);
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
    m_figuresValid = false;
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
    m_figuresValid = false;
    m_fileName.clear();
    m_liveButton->hide();
    m_all = true;
    historyChanged();
    emit rangeChanged();
    emit liveShown();
}

QString HistoryView::title() const
{
    if (m_showingFile)
        return tr("Recording %1 (read-only)").arg(m_fileName);
    return tr("History since the port was opened");
}

void HistoryView::showProgress(const QString &text, int percent)
{
    m_progressText->setText(text);
    m_progressBar->setValue(percent);
    if (!m_progress->isVisible()) {
        layoutProgress();
        m_progress->show();
        m_progress->raise();
    }
}

void HistoryView::hideProgress()
{
    m_progress->hide();
}

bool HistoryView::isShowingProgress() const
{
    return !m_progress->isHidden();
}

void HistoryView::layoutProgress()
{
    const QRect plot = plotRect();
    const int width = std::min(plot.width() - 16, std::max(360, plot.width() / 2));
    const int height = m_progress->sizeHint().height();
    m_progress->setGeometry(plot.center().x() - width / 2, plot.center().y() - height / 2,
                            std::max(width, 1), height);
}

HistoryView::Colours HistoryView::colours() const
{
    Colours c;
    c.background = palette().color(QPalette::Base);
    c.text = palette().color(QPalette::Text);
    c.grid = mixed(c.background, c.text, GridShare);
    c.frame = mixed(c.background, c.text, FrameShare);
    c.dark = c.background.lightnessF() < 0.5;
    return c;
}

QColor HistoryView::Colours::line(int index) const
{
    const int count = int(std::size(LightLineColours));
    const int at = ((index % count) + count) % count;
    return dark ? DarkLineColours[at] : LightLineColours[at];
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
    m_figuresValid = false;
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
    const qint64 t0 = rangeStart();
    const qint64 t1 = rangeEnd();
    if (!m_figuresValid || t0 != m_figuresT0 || t1 != m_figuresT1) {
        m_figures = ReadingStatistics();
        m_figuresFunction.clear();
        m_figuresUnit.clear();
        const ReadingHistory &history = shownHistory();
        const int reference = referenceSegment();
        if (reference >= 0) {
            const ReadingHistory::Segment &chosen = history.segments()[size_t(reference)];
            for (const ReadingHistory::Range &range : history.rangesIn(t0, t1)) {
                const ReadingHistory::Segment &segment = history.segments()[size_t(range.segment)];
                if (segment.function == chosen.function && segment.unit == chosen.unit)
                    m_figures.add(history, range.first, range.last);
            }
            m_figuresFunction = chosen.function;
            m_figuresUnit = chosen.unit;
        }
        m_figuresT0 = t0;
        m_figuresT1 = t1;
        m_figuresValid = true;
    }
    if (function)
        *function = m_figuresFunction;
    if (unit)
        *unit = m_figuresUnit;
    return m_figures;
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

QHash<QString, HistoryView::ValueRange> HistoryView::valueRanges() const
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
    for (const QString &key : ranges.keys()) {
        for (const double limit : limitsIn(key.section(QLatin1Char('\n'), 1)))
            widen(key, limit);
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
    layoutProgress();
}

std::vector<HistoryView::Lane> HistoryView::lanes() const
{
    std::vector<Lane> laneList;
    const ReadingHistory &history = shownHistory();
    if (history.isEmpty())
        return laneList;
    const QRect plot = plotRect();
    const QHash<QString, ValueRange> ranges = valueRanges();
    QStringList keys;
    for (const DecimatedSegment &drawn : drawnSegments()) {
        const QString key = keyOf(history.segments()[size_t(drawn.segment)]);
        if (!keys.contains(key) && ranges.contains(key))
            keys << key;
    }
    if (keys.isEmpty())
        return laneList;
    // Each lane below the first has a line above it for its unit and name.
    const int line = QFontMetrics(font()).height();
    const int count = int(keys.size());
    int gap = line + line / 2 + 4;
    int height = (plot.height() - (count - 1) * gap) / count;
    // Too many to fit so: narrow gaps, each name inside its lane.
    const bool compact = count > 1 && height < MinLaneHeightPx;
    if (compact) {
        gap = CompactLaneGapPx;
        height = std::max(1, (plot.height() - (count - 1) * gap) / count);
    }
    for (int i = 0; i < count; ++i) {
        Lane lane;
        lane.nameInside = compact;
        lane.function = keys[i].section(QLatin1Char('\n'), 0, 0);
        lane.unit = keys[i].section(QLatin1Char('\n'), 1);
        const int top = plot.top() + i * (height + gap);
        // The last lane reaches the time axis.
        lane.rect = QRect(plot.left(), top, plot.width(),
                          i == count - 1 ? std::max(1, plot.bottom() - top + 1) : height);
        const ValueRange values = ranges.value(keys[i]);
        lane.low = values.low;
        lane.high = values.high;
        laneList.push_back(lane);
    }
    return laneList;
}

qsizetype HistoryView::readingNear(const QString &key, qint64 t) const
{
    const ReadingHistory &history = shownHistory();
    qsizetype best = -1;
    qint64 bestDistance = std::numeric_limits<qint64>::max();
    for (const ReadingHistory::Range &range : history.rangesIn(rangeStart(), rangeEnd())) {
        if (keyOf(history.segments()[size_t(range.segment)]) != key)
            continue;
        const qint64 *begin = history.times() + range.first;
        const qint64 *end = history.times() + range.last;
        const qsizetype after = qsizetype(std::lower_bound(begin, end, t) - history.times());
        for (const qsizetype i : {after - 1, after}) {
            if (i < range.first || i >= range.last)
                continue;
            const qint64 distance = std::abs(history.timeAt(i) - t);
            if (distance < bestDistance) {
                bestDistance = distance;
                best = i;
            }
        }
    }
    return best;
}

HistoryView::Pointed HistoryView::pointed(const std::vector<Lane> &laneList) const
{
    Pointed found;
    if (!m_pointer || m_drag != Drag::None || isShowingProgress())
        return found;
    for (int i = 0; i < int(laneList.size()); ++i) {
        if (laneList[size_t(i)].rect.contains(*m_pointer))
            found.lane = i;
    }
    if (found.lane < 0)
        return found;
    const Lane &lane = laneList[size_t(found.lane)];
    found.reading = readingNear(lane.function + QLatin1Char('\n') + lane.unit, timeAt(m_pointer->x()));
    return found;
}

QString HistoryView::pointerReadout() const
{
    const std::vector<Lane> laneList = lanes();
    const Pointed at = pointed(laneList);
    if (at.reading < 0)
        return QString();
    const ReadingHistory &history = shownHistory();
    const Lane &lane = laneList[size_t(at.lane)];
    const QDateTime time = QDateTime::fromMSecsSinceEpoch(history.timeAt(at.reading));
    const bool fine = rangeEnd() - rangeStart() < 60000;
    const float value = history.valueAt(at.reading);
    const QString valueText = std::isnan(value)
        ? tr("no value")
        : StatisticsLabel::numberText(double(value))
            + (lane.unit.isEmpty() ? QString() : QLatin1Char(' ') + lane.unit);
    return time.toString(fine ? QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")
                              : QStringLiteral("yyyy-MM-dd hh:mm:ss"))
        + QLatin1Char('\n') + valueText + QStringLiteral("  ") + lane.function;
}

void HistoryView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QFontMetrics metrics(font());
    const int line = metrics.height();
    const QRect plot = plotRect();
    const ReadingHistory &history = shownHistory();
    const Colours colours = this->colours();

    // Title, then the figures of what is in view.
    painter.setPen(colours.text);
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

    const std::vector<Lane> laneList = lanes();
    painter.setPen(colours.frame);
    if (laneList.empty()) {
        painter.drawRect(plot.adjusted(0, 0, -1, -1));
        return;
    }
    for (const Lane &lane : laneList)
        painter.drawRect(lane.rect.adjusted(0, 0, -1, -1));

    const qint64 t0 = rangeStart();
    const qint64 t1 = rangeEnd();
    const double spanMs = double(std::max<qint64>(t1 - t0, 1));
    auto xOf = [&](double t) { return plot.left() + (t - double(t0)) / spanMs * plot.width(); };
    auto yIn = [](const Lane &lane, double v) {
        return lane.rect.bottom() - (v - lane.low) / (lane.high - lane.low) * lane.rect.height();
    };
    QHash<QString, int> colourOf;
    for (const ReadingHistory::Segment &segment : history.segments()) {
        const QString key = keyOf(segment);
        if (!colourOf.contains(key))
            colourOf.insert(key, colourOf.size());
    }
    auto colourFor = [&](const QString &key) { return colours.line(colourOf.value(key)); };
    auto keyOfLane = [](const Lane &lane) { return lane.function + QLatin1Char('\n') + lane.unit; };

    // A value axis per lane, its unit above it; with several lanes, each
    // named there in its line's colour.
    for (const Lane &lane : laneList) {
        const double valueSpan = lane.high - lane.low;
        const double valueStep =
            niceStep(valueSpan, std::max(2, lane.rect.height() / ValueTickSpacingPx));
        QVector<QPair<double, double>> valueTicks;
        for (double v = std::ceil(lane.low / valueStep) * valueStep; v <= lane.high; v += valueStep) {
            valueTicks.append({v, yIn(lane, v)});
            if (valueTicks.size() > 100)
                break;
        }
        painter.setPen(colours.grid);
        for (const auto &[v, y] : valueTicks)
            painter.drawLine(QPointF(lane.rect.left(), y), QPointF(lane.rect.right(), y));
        painter.setPen(colours.text);
        for (const auto &[v, y] : valueTicks) {
            const double shown = std::fabs(v) < valueStep * 1e-6 ? 0.0 : v;
            painter.drawText(QRectF(0, y - line / 2.0, plot.left() - 6, line),
                             Qt::AlignRight | Qt::AlignVCenter, StatisticsLabel::numberText(shown));
        }
        const QRect header(0, lane.rect.top() - line - line / 2 - 1, plot.left() - 6, line);
        if (!lane.unit.isEmpty() && !lane.nameInside)
            painter.drawText(header, Qt::AlignRight | Qt::AlignBottom, lane.unit);
        if (laneList.size() > 1) {
            painter.setPen(colourFor(keyOfLane(lane)));
            const int top = lane.nameInside ? lane.rect.top() + 1 : header.top();
            painter.drawText(QRect(plot.left() + 4, top, plot.width() - 8, line),
                             Qt::AlignLeft | Qt::AlignBottom,
                             QString(lane.function + QLatin1Char(' ') + lane.unit).trimmed());
        }
    }

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
        painter.setPen(colours.grid);
        for (const Lane &lane : laneList)
            painter.drawLine(QPointF(x, lane.rect.top()), QPointF(x, lane.rect.bottom()));
        painter.setPen(colours.text);
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

    // The lines, each clipped to its lane; a colour per function and unit.
    painter.setRenderHint(QPainter::Antialiasing, false);
    QHash<QString, int> laneOf;
    for (int i = 0; i < int(laneList.size()); ++i)
        laneOf.insert(keyOfLane(laneList[size_t(i)]), i);
    QPolygonF polyline;
    QStringList legend;
    for (const DecimatedSegment &drawn : drawnSegments()) {
        const QString key = keyOf(history.segments()[size_t(drawn.segment)]);
        const auto found = laneOf.constFind(key);
        if (found == laneOf.constEnd())
            continue;
        const Lane &lane = laneList[size_t(*found)];
        if (!legend.contains(key))
            legend << key;
        painter.save();
        painter.setClipRect(lane.rect);
        const QColor penColour = colourFor(key);
        painter.setPen(QPen(penColour, LinePenWidth));
        painter.setBrush(penColour);
        for (const QVector<QPointF> &run : drawn.runs) {
            polyline.resize(run.size());
            for (int i = 0; i < run.size(); ++i)
                polyline[i] = QPointF(xOf(run[i].x()), yIn(lane, run[i].y()));
            if (polyline.size() == 1)
                painter.drawEllipse(polyline[0], 2, 2);
            else
                painter.drawPolyline(polyline);
        }
        // Readings without a number: a red tick at the top of the lane.
        painter.setPen(QPen(Qt::red, 1));
        for (const qint64 mark : drawn.marks) {
            const double x = xOf(double(mark));
            painter.drawLine(QPointF(x, lane.rect.top()), QPointF(x, lane.rect.top() + 6));
        }
        painter.restore();
    }
    // The limits, in every lane of a unit they apply to.
    painter.setPen(QPen(Qt::red, 1, Qt::DashLine));
    for (const Lane &lane : laneList) {
        painter.save();
        painter.setClipRect(lane.rect);
        for (const double limit : limitsIn(lane.unit)) {
            const double y = yIn(lane, limit);
            painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        }
        painter.restore();
    }

    // The legend, right of the title: a swatch and the function's name and
    // unit, the one the statistics are of first, as many as there is room for.
    const QString referenceKey = function.isEmpty() ? QString() : function + QLatin1Char('\n') + unit;
    if (legend.removeAll(referenceKey) > 0)
        legend.prepend(referenceKey);
    const int right = (m_liveButton->isVisible() ? m_liveButton->x() : width()) - 8;
    int left = std::max(4 + metrics.horizontalAdvance(title()) + 24, width() / 3);
    for (int i = 0; i < legend.size(); ++i) {
        const QString text = QString(legend[i]).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
        const int textWidth = metrics.horizontalAdvance(text);
        if (left + line + textWidth > right)
            break;
        const QColor swatch = colourFor(legend[i]);
        painter.fillRect(QRect(left, 2 + line / 4, line / 2, line / 2), swatch);
        painter.setPen(i == 0 ? colours.text : swatch);
        painter.drawText(QRect(left + line * 2 / 3, 2, textWidth, line),
                         Qt::AlignLeft | Qt::AlignVCenter, text);
        left += line + textWidth + 8;
    }

    // The reading under the pointer: a cursor line, a ring on the reading,
    // and its time and value in a box beside it.
    const Pointed at = pointed(laneList);
    if (at.reading < 0)
        return;
    const Lane &lane = laneList[size_t(at.lane)];
    const double x = xOf(double(history.timeAt(at.reading)));
    painter.setPen(QPen(colours.frame, 1, Qt::DotLine));
    painter.drawLine(QPointF(m_pointer->x(), plot.top()), QPointF(m_pointer->x(), plot.bottom()));
    const float value = history.valueAt(at.reading);
    QPointF spot(x, m_pointer->y());
    if (!std::isnan(value)) {
        spot.setY(yIn(lane, double(value)));
        painter.setRenderHint(QPainter::Antialiasing, true);
        painter.setPen(QPen(colours.text, 2));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(spot, 4, 4);
    }
    const QStringList readout = pointerReadout().split(QLatin1Char('\n'));
    int boxWidth = 0;
    for (const QString &text : readout)
        boxWidth = std::max(boxWidth, metrics.horizontalAdvance(text));
    QRect box(0, 0, boxWidth + 12, int(readout.size()) * line + 8);
    box.moveTopLeft(QPoint(int(spot.x()) + 12, int(spot.y()) - box.height() - 8));
    if (box.right() > plot.right())
        box.moveRight(int(spot.x()) - 12);
    if (box.top() < plot.top())
        box.moveTop(int(spot.y()) + 12);
    box.moveTop(std::clamp(box.top(), plot.top(), std::max(plot.top(), plot.bottom() - box.height())));
    box.moveLeft(std::clamp(box.left(), plot.left(), std::max(plot.left(), plot.right() - box.width())));
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(colours.frame);
    painter.setBrush(palette().color(QPalette::ToolTipBase));
    painter.drawRect(box.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::ToolTipText));
    for (int i = 0; i < readout.size(); ++i)
        painter.drawText(QRect(box.left() + 6, box.top() + 4 + i * line, boxWidth, line),
                         Qt::AlignLeft | Qt::AlignVCenter, readout[i]);
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
    m_pointer = event->pos();
    if (m_drag == Drag::None)
        update();
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

void HistoryView::leaveEvent(QEvent *event)
{
    m_pointer.reset();
    update();
    QWidget::leaveEvent(event);
}

bool HistoryView::event(QEvent *event)
{
    // Over a reading the readout tells more than the hint on using the chart.
    if (event->type() == QEvent::ToolTip && !pointerReadout().isEmpty()) {
        event->ignore();
        return true;
    }
    return QWidget::event(event);
}

void HistoryView::mouseDoubleClickEvent(QMouseEvent *)
{
    showAll();
}

void HistoryView::keyPressEvent(QKeyEvent *event)
{
    const qint64 middle = rangeStart() + (rangeEnd() - rangeStart()) / 2;
    if (event->key() == Qt::Key_Escape && isShowingProgress()) {
        emit cancelRequested();
        event->accept();
        return;
    }
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
