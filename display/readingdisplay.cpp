// The display panel: shows each decoded reading on the big digits, the sign
// and the bar graph, and hands it on to the sample table and the curve.
#include "mainwindow.h"

#include "gauge/tickgauge.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QDebug>
#include <QLabel>

#include <climits>
#include <cmath>

namespace {

// What the curve and the bar are given for a reading the meter shows as
// overload, non-contact voltage or live wire: beyond any real reading.
const double OverRangeMark = 7000.0;
// Largest count the meter displays; anything above is over range.
const double FullScaleCounts = 6000.0;
// The bar graph lights one step per 100 display counts.
const double CountsPerBarStep = 100.0;

const char *const TimeFormat = "yyyy/MM/dd hh:mm:ss";

bool isTemperatureUnit(const QString &unit)
{
    return unit == QStringLiteral("℃") || unit == QStringLiteral("℉");
}

// The value text as a number; 0 when it is not one (letters, blanks).
float valueOf(const QString &text)
{
    const float x = text.toFloat();
    return std::isfinite(x) ? x : 0.0f;
}

// Bar steps for the digits shown, decimal point ignored: 0..99 counts give 1,
// 6000 counts give 61.
int barStepsFor(const QString &valueText)
{
    QString digits = valueText;
    digits.remove(QLatin1Char('.'));
    const double steps = std::fabs(double(valueOf(digits))) / CountsPerBarStep + 1.0;
    return steps >= double(INT_MAX) ? INT_MAX : int(steps);
}

} // namespace

QDateTime MainWindow::currentDateTime() const
{
    return m_now ? m_now() : QDateTime::currentDateTime();
}

void MainWindow::updateDisplay()
{
    m_rowTime = currentDateTime();
    const QString timeText = m_rowTime.toString(QLatin1String(TimeFormat));
    qDebug() << "m_appVersion->" << m_appVersion << "m_appName" << m_appName;

    const QString &value = mStrDataValue;

    // The meter's special displays. EF or dashes without the sign are the
    // non-contact voltage detector; with the sign they are left as they are.
    if (value.contains(QLatin1String("EF")) || value.contains(QLatin1Char('-'))) {
        if (!m_isNegative) {
            m_functionText = QStringLiteral("NCV");
            ui->tickGauge->hide();
        }
    } else if (value.contains(QLatin1String("LIVE"))) {
        m_functionText = QStringLiteral("LIVE");
        ui->tickGauge->hide();
    } else {
        ui->tickGauge->show();
    }

    qDebug() << "mStrDataValue->" << value;
    const float x = valueOf(value);
    const bool temperature = isTemperatureUnit(m_unitText);

    double barMagnitude = 0.0;
    double curveValue = 0.0;
    if (m_isNegative) {
        ui->lbMinMinus->setText(QStringLiteral("-"));
        addTableRow(m_functionText, QLatin1Char('-') + value, m_unitText, timeText);
        if (value.contains(QLatin1Char('L')) || value.contains(QLatin1Char('E'))) {
            ui->lbData->setText(value);
            barMagnitude = -OverRangeMark;
            curveValue = -OverRangeMark;
        } else {
            ui->lbData->setText(temperature ? QString::number(double(x), 'g', 6) : value);
            barMagnitude = double(x);
            curveValue = -double(x);
        }
    } else {
        ui->lbMinMinus->setText(QString());
        addTableRow(m_functionText, value, m_unitText, timeText);
        if (value.contains(QLatin1Char('L')) || value.contains(QLatin1Char('E'))
            || value.contains(QLatin1Char('-'))) {
            ui->lbData->setText(value);
            barMagnitude = OverRangeMark;
            curveValue = OverRangeMark;
        } else {
            ui->lbData->setText(temperature ? QString::number(double(x), 'g', 6) : value);
            barMagnitude = double(x);
            curveValue = double(x);
        }
    }

    updateChart(curveValue, m_functionText);

    // Over range keeps adding a full bar to what is shown, so a run of
    // overloads stays visibly over the top; the sum saturates.
    int barValue = 0;
    if (value.contains(QLatin1Char('L')) || std::fabs(barMagnitude) > FullScaleCounts) {
        const int current = ui->tickGauge->getCurrentProgressBarValue();
        barValue = current > INT_MAX - TickGauge::FullScale ? INT_MAX
                                                            : current + TickGauge::FullScale;
    } else {
        barValue = barStepsFor(value);
    }
    ui->tickGauge->setCurrentProgressBarValue(barValue);
    update();
}
