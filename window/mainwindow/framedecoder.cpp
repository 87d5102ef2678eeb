// MainWindow's decoder members: the frame check and the sub-decoders.
//
// One Frame text a tick arrives here. The check decodes it into a
// MeterReading or rejects it (then nothing changes at all); the sub-decoders
// then show the reading in the meter's order, each lighting the annunciator
// labels of its byte, and updateDisplay() shows the value.

#include "mainwindow/mainwindow.h"
#include "ui_mainwindow.h"

#include "tickgauge.h"

#include <QLabel>

using MeterProtocol::Annunciator;
using MeterProtocol::FlagBit;

namespace {

// The panel label of an annunciator (the lightning symbol is a picture label).
QLabel *annunciatorLabel(Ui::MainWindow *ui, Annunciator annunciator)
{
    switch (annunciator) {
    case Annunciator::Hfe: return ui->lbHfe;
    case Annunciator::Lightning: return ui->lbLightning;
    case Annunciator::Hold: return ui->lbHold;
    case Annunciator::Rel: return ui->lbRel;
    case Annunciator::Dio: return ui->lbDio;
    case Annunciator::Beep: return ui->lbBeep;
    case Annunciator::Auto: return ui->lbAuto;
    case Annunciator::Apo: return ui->lbApo;
    case Annunciator::Range: return ui->lbRange;
    case Annunciator::Bat: return ui->lbBat;
    case Annunciator::Dc: return ui->lbDc;
    case Annunciator::Minus: return ui->lbMinus;
    case Annunciator::Ac: return ui->lbAc;
    case Annunciator::Trms: return ui->lbAc_2;
    case Annunciator::Min: return ui->lbMin;
    case Annunciator::Max: return ui->lbMax;
    case Annunciator::None: break;
    }
    return nullptr;
}

// Every annunciator label of one flag byte shows its word when the reading
// has it lit and nothing otherwise; the picture label is shown or hidden.
template <int N>
void lightLabels(Ui::MainWindow *ui, const FlagBit (&table)[N], const MeterReading &reading)
{
    for (const FlagBit &flag : table) {
        QLabel *label = annunciatorLabel(ui, flag.annunciator);
        if (!label)
            continue;
        const bool lit = reading.isLit(flag.annunciator);
        if (!flag.word)
            label->setVisible(lit);
        else if (lit)
            label->setText(QString::fromUtf8(flag.word));
        else
            label->clear(); // no text at all, which lays out unlike an empty one
    }
}

} // namespace

void MainWindow::decodeFrame(QByteArray frameText)
{
    if (!checkFrame(frameText))
        return;

    decodeMainUnit(m_reading);
    decodeSubUnit(m_reading);
    decodeStatusFlags(m_reading);
    decodeDigits(m_reading);

    // The version byte names the meter; any other value keeps what we knew.
    if (!m_reading.model.isEmpty()) {
        m_appName = m_reading.model;
        m_appVersion = m_reading.version;
        if (m_reading.withoutBarGraph)
            ui->tickGauge->hide();
    }

    decodeModeFlags(m_reading);
    updateDisplay();
}

bool MainWindow::checkFrame(QByteArray frameText)
{
    std::optional<MeterReading> reading = MeterReading::fromFrameText(frameText);
    if (!reading)
        return false;
    m_reading = std::move(*reading);
    m_fieldList = MeterProtocol::frameFields(frameText);
    return true;
}

void MainWindow::decodeMainUnit(const MeterReading &reading)
{
    m_unitText = reading.unitText;
    ui->lbSymbol->setText(m_unitText);
}

void MainWindow::decodeSubUnit(const MeterReading &reading)
{
    lightLabels(ui, MeterProtocol::SubUnitBits, reading);
}

void MainWindow::decodeStatusFlags(const MeterReading &reading)
{
    lightLabels(ui, MeterProtocol::StatusBits, reading);
}

void MainWindow::decodeDigits(const MeterReading &reading)
{
    mStrDataValue = reading.valueText;
}

void MainWindow::decodeModeFlags(const MeterReading &reading)
{
    lightLabels(ui, MeterProtocol::ModeBits, reading);
    m_isNegative = reading.negative;
    m_functionText = reading.functionText;
}
