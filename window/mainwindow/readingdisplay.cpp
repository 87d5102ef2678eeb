// The display panel: shows each decoded reading on the big digits, the sign
// and the bar graph, and hands it on to the sample table and the curve.
#include "mainwindow/mainwindow.h"

#include "mainwindow/windowtracing.h"
#include "tickgauge.h"
#include "journal/journalwriter.h"
#include "ui_mainwindow.h"

#include <QDateTime>
#include <QLabel>

#include <climits>

QDateTime MainWindow::currentDateTime() const
{
    return m_now ? m_now() : QDateTime::currentDateTime();
}

void MainWindow::updateDisplay()
{
    const MeterReading &reading = m_reading;
    m_rowTime = currentDateTime();
    const QString timeText = JournalWriter::tableTimeText(m_rowTime);
    qCDebug(lcDisplay) << "m_appVersion->" << m_appVersion << "m_appName" << m_appName;

    switch (reading.kind) {
    case MeterReading::Kind::NcvField:
    case MeterReading::Kind::NcvDashes:
    case MeterReading::Kind::Live:
        // The detectors: the bar graph means nothing there.
        ui->tickGauge->hide();
        break;
    case MeterReading::Kind::Ordinary:
    case MeterReading::Kind::Overload:
    case MeterReading::Kind::Blank:
        if (!reading.keepsBarGraphAsItWas())
            ui->tickGauge->show();
        break;
    }

    qCDebug(lcDisplay) << "mStrDataValue->" << mStrDataValue;
    ui->lbMinMinus->setText(reading.negative ? QStringLiteral("-") : QString());
    addTableRow(m_functionText, reading.tableValueText(), m_unitText, timeText);
    emit readingRecorded({ui->tableWidget->rowCount(), m_rowTime, reading});
    ui->lbData->setText(reading.panelText());

    updateChart(reading.curveValue(), m_functionText, reading.kind, reading.unitText);

    // Over range keeps adding a full bar to what is shown, so a run of
    // overloads stays visibly over the top; the sum saturates.
    const std::optional<int> steps = reading.barSteps();
    int barValue = 0;
    if (steps) {
        barValue = *steps;
    } else {
        const int current = ui->tickGauge->getCurrentProgressBarValue();
        barValue = current > INT_MAX - TickGauge::FullScale ? INT_MAX
                                                            : current + TickGauge::FullScale;
    }
    ui->tickGauge->setCurrentProgressBarValue(barValue);
    update();
}
