// MainWindow's decoder members: frame check, digits, annunciators and units.
//
// One Frame text a tick arrives here. The check either rejects it (nothing
// changes at all) or fills m_fieldList; the sub-decoders then run in the
// meter's order, building the unit and function texts in the working
// strings, lighting the annunciator labels as they go, and updateDisplay()
// shows the result. Every table comes from MeterProtocol.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "decoder/meterprotocol.h"

#include "gauge/tickgauge.h"

#include <QLabel>

using MeterProtocol::Annunciator;
using MeterProtocol::FlagBit;
using MeterProtocol::FunctionRule;

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

// Writes the word of every lit annunciator of one flag byte into its label;
// a picture label is shown instead.
template <int N>
void lightLabels(Ui::MainWindow *ui, const FlagBit (&table)[N], quint32 lit)
{
    for (const FlagBit &flag : table) {
        if (!(lit & MeterProtocol::annunciatorMask(flag.annunciator)))
            continue;
        QLabel *label = annunciatorLabel(ui, flag.annunciator);
        if (!label)
            continue;
        if (flag.word)
            label->setText(QString::fromUtf8(flag.word));
        else
            label->show();
    }
}

void blank(std::initializer_list<QLabel *> labels)
{
    for (QLabel *label : labels)
        label->clear();
}

} // namespace

void MainWindow::decodeFrame(QByteArray frameText)
{
    if (!checkFrame(frameText))
        return;

    decodeMainUnit(m_fieldList);
    decodeSubUnit(m_fieldList);
    decodeStatusFlags(m_fieldList);
    decodeDigits(m_fieldList);

    // The version byte names the meter; any other value keeps what we knew.
    const int version = MeterProtocol::fieldValue(m_fieldList.value(MeterProtocol::VersionByte));
    if (const MeterProtocol::VersionEntry *entry = MeterProtocol::findVersion(version)) {
        m_appName = QString::fromUtf8(MeterProtocol::ModelName);
        m_appVersion = QString::fromUtf8(entry->version);
        if (entry->hidesGauge)
            ui->tickGauge->hide();
    }

    decodeModeFlags(m_fieldList);
    updateDisplay();
}

bool MainWindow::checkFrame(QByteArray frameText)
{
    return MeterProtocol::checkFrameText(frameText, &m_fieldList);
}

void MainWindow::decodeMainUnit(QStringList fieldList)
{
    blank({ui->lbAuto, ui->lbHfe});
    m_unitWork.clear();

    const int value = MeterProtocol::fieldValue(fieldList.value(MeterProtocol::MainUnitByte));
    MeterProtocol::applyFlagBits(MeterProtocol::MainUnitBits, value, FunctionRule::Assign,
                                 &m_unitWork, &m_functionWork);
    MeterProtocol::applyUnitRewrite(MeterProtocol::FirstUnitRewrites, &m_unitWork,
                                    &m_functionWork);

    ui->lbSymbol->setText(m_unitWork);
    m_unitText = m_unitWork;
    blank({ui->lbMin, ui->lbMax});
}

void MainWindow::decodeSubUnit(QStringList fieldList)
{
    blank({ui->lbAuto, ui->lbHfe});
    ui->lbLightning->hide();

    const int value = MeterProtocol::fieldValue(fieldList.value(MeterProtocol::SubUnitByte));
    const quint32 lit = MeterProtocol::applyFlagBits(MeterProtocol::SubUnitBits, value,
                                                     FunctionRule::Assign, &m_unitWork,
                                                     &m_functionWork);
    lightLabels(ui, MeterProtocol::SubUnitBits, lit);
    MeterProtocol::applyUnitRewrite(MeterProtocol::SecondUnitRewrites, &m_unitWork,
                                    &m_functionWork);

    ui->lbSymbol->setText(m_unitWork);
    m_unitText = m_unitWork;
    m_unitWork.clear();
}

void MainWindow::decodeStatusFlags(QStringList fieldList)
{
    blank({ui->lbHold, ui->lbRange, ui->lbRel, ui->lbAuto, ui->lbBeep, ui->lbDio, ui->lbBat,
           ui->lbApo});

    const int value = MeterProtocol::fieldValue(fieldList.value(MeterProtocol::StatusByte));
    const quint32 lit = MeterProtocol::applyFlagBits(MeterProtocol::StatusBits, value,
                                                     FunctionRule::Assign, nullptr,
                                                     &m_functionWork);
    lightLabels(ui, MeterProtocol::StatusBits, lit);

    // Interim: the mode byte appends DC/AC and publishes it again.
    m_functionText = m_functionWork;
}

void MainWindow::decodeDigits(QStringList fieldList)
{
    m_digitWork.clear();
    for (int byte : MeterProtocol::DigitBytes) {
        if (const MeterProtocol::DigitCode *digit = MeterProtocol::findDigit(fieldList.value(byte)))
            m_digitWork.append(QLatin1String(digit->text));
    }
    mStrDataValue = m_digitWork;
    m_digitWork.clear();
}

void MainWindow::decodeModeFlags(QStringList fieldList)
{
    blank({ui->lbDc, ui->lbMinus, ui->lbMin, ui->lbMax, ui->lbAc, ui->lbAc_2});
    m_isNegative = false;

    const int value = MeterProtocol::fieldValue(fieldList.value(MeterProtocol::ModeByte));
    const quint32 lit = MeterProtocol::applyFlagBits(MeterProtocol::ModeBits, value,
                                                     FunctionRule::Append, nullptr,
                                                     &m_functionWork);
    lightLabels(ui, MeterProtocol::ModeBits, lit);
    m_isNegative = (value & MeterProtocol::MinusBit) != 0;

    m_functionText = m_functionWork;
    m_functionWork.clear();
}
