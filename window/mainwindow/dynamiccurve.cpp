// The dynamic curve: every reading plotted against the time it was taken,
// on a time axis that slides with the present moment.
#include "mainwindow/mainwindow.h"

#include "mainwindow/windowtracing.h"
#include "ui_mainwindow.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

using namespace QtCharts;

namespace {

const int PenWidth = 2;
// Readings beyond full scale (and the meter's NCV and LIVE displays) switch
// the curve to the red over-range mode, on a fixed axis as wide as the
// over-range mark.
const qreal OverRangeAxisLimit = MeterReading::OverRangeMark;
// The axis shown for a zero reading, where twice the value gives no range.
const qreal ZeroAxisLimit = 60.0;
// The time axis spans four sampling intervals, in whole seconds.
const int TimeWindowIntervals = 4;

// Points older than the widest time window the axis can show (four times the
// longest interval of 60 s), plus a margin, can never be seen again. They are
// dropped in batches, so each reading costs the same however long the
// recording has been going on.
const qint64 WidestTimeWindowMs = qint64(TimeWindowIntervals) * 60 * 1000;
const qint64 HiddenPointMarginMs = 60 * 1000;
const int HiddenPointBatch = 64;

QValueAxis *valueAxisOf(QChart *chart)
{
    const auto axes = chart->axes(Qt::Vertical);
    return axes.isEmpty() ? nullptr : qobject_cast<QValueAxis *>(axes.first());
}

QDateTimeAxis *timeAxisOf(QChart *chart)
{
    const auto axes = chart->axes(Qt::Horizontal);
    return axes.isEmpty() ? nullptr : qobject_cast<QDateTimeAxis *>(axes.first());
}

// Width of the time window in whole seconds (never less than one).
qint64 timeWindowSeconds(int intervalMs)
{
    return qint64(TimeWindowIntervals) * std::max(1, intervalMs / 1000);
}

// The value axis from -2|value| to 2|value|; a zero value, which would
// collapse the axis to a line, gets the start-up range instead.
void fitValueAxis(QValueAxis *axis, double value)
{
    const qreal a = std::fabs(value);
    if (a == 0.0)
        axis->setRange(-ZeroAxisLimit, ZeroAxisLimit);
    else
        axis->setRange(-2 * a, 2 * a);
}

} // namespace

void MainWindow::initChart()
{
    m_chart = new QChart();
    // The view made an empty chart of its own and does not delete it when
    // given another one.
    QChart *emptyChart = ui->chartView->chart();
    ui->chartView->setChart(m_chart);
    if (emptyChart != m_chart)
        delete emptyChart;
    ui->chartView->setRenderHint(QPainter::Antialiasing);

    m_series = new QLineSeries();
    m_series->clear();
    m_series->setName(QStringLiteral("Dynamic curve of meter"));
    m_series->setPen(QPen(QBrush(Qt::blue), PenWidth, Qt::SolidLine));
    m_chart->addSeries(m_series);

    auto *timeAxis = new QDateTimeAxis();
    timeAxis->setFormat(QStringLiteral("mm:ss"));
    timeAxis->setTickCount(5);
    timeAxis->setTitleText(QStringLiteral("Time"));

    auto *valueAxis = new QValueAxis();
    valueAxis->setRange(-(m_axisSpan / 2), m_axisSpan / 2);
    valueAxis->setTickCount(11);
    valueAxis->setMinorTickCount(4);
    valueAxis->setTitleText(QStringLiteral("Data"));

    m_chart->addAxis(valueAxis, Qt::AlignLeft);
    m_chart->addAxis(timeAxis, Qt::AlignBottom);
    m_series->attachAxis(valueAxis);
    m_series->attachAxis(timeAxis);
}

void MainWindow::updateChart(double value, QString functionText, MeterReading::Kind kind,
                             const QString &unitText)
{
    QValueAxis *valueAxis = valueAxisOf(m_chart);
    QDateTimeAxis *timeAxis = timeAxisOf(m_chart);
    if (!valueAxis || !timeAxis)
        return;

    // Over range is judged on the digits as shown; what is plotted is the
    // value in the unit of this function's first reading.
    const bool overRange =
        std::fabs(value) > MeterReading::FullScaleCounts || MeterReading::isDetector(kind);
    value = m_curveScale.plotted(value, unitText, functionText,
                                 overRange || kind != MeterReading::Kind::Ordinary);
    if (overRange) {
        if (!m_overRangePlot) {
            m_overRangePlot = true;
            m_series->clear();
        }
        m_series->setPen(QPen(QBrush(Qt::red), PenWidth, Qt::SolidLine));
        valueAxis->setRange(-OverRangeAxisLimit, OverRangeAxisLimit);
    } else {
        m_series->setPen(QPen(QBrush(Qt::blue), PenWidth, Qt::SolidLine));
        if (functionText != m_lastCurveFunction) {
            fitValueAxis(valueAxis, value);
            m_series->clear();
        } else {
            if (m_overRangePlot) {
                m_overRangePlot = false;
                m_series->clear();
            }
            // A rise over the previous reading widens or narrows the axis
            // around it; a fall keeps the axis as it is.
            if (value > curData)
                fitValueAxis(valueAxis, value);
        }
    }

    curData = value;
    m_lastCurveFunction = functionText;

    // One range change rather than two: each one redraws the whole curve.
    const qint64 windowMs = timeWindowSeconds(m_config.timeIntervalMs) * 1000;
    timeAxis->setRange(currentDateTime().addMSecs(-windowMs), currentDateTime());
    qCDebug(lcDisplay) << "curData===" << curData;

    const qint64 nowMs = currentDateTime().toMSecsSinceEpoch();
    dropHiddenCurvePoints(nowMs);
    m_series->append(double(nowMs), value);
}

void MainWindow::dropHiddenCurvePoints(qint64 nowMs)
{
    if (m_series->count() <= HiddenPointBatch)
        return;
    const qint64 keepMs =
        std::max(WidestTimeWindowMs, timeWindowSeconds(m_config.timeIntervalMs) * 1000) + HiddenPointMarginMs;
    const double oldest = double(nowMs - keepMs);
    // Points far ahead of the clock (it was set back) can no longer be seen
    // either.
    const double newest = double(nowMs + keepMs);
    auto hidden = [&](int index) {
        const double x = m_series->at(index).x();
        return x < oldest || x > newest;
    };

    // Checked one point per reading; the scan runs once a whole batch is due.
    if (!hidden(HiddenPointBatch - 1))
        return;
    int count = 0;
    const int total = m_series->count();
    while (count < total && hidden(count))
        ++count;
    // The last old point stays: the line from it into the window is visible
    // when the readings paused for longer than the margin.
    if (count > 0 && m_series->at(count - 1).x() < oldest)
        --count;
    if (count > 0)
        m_series->removePoints(0, count);
}
