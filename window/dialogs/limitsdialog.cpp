#include "dialogs/limitsdialog.h"
#include "ui_limitsdialog.h"

#include "widgets/readablecolors.h"
#include "limits/limitwatch.h"
#include "meter/meterreading.h"
#include "history/readinghistory.h"

#include <QLocale>
#include <QLineEdit>
#include <QPushButton>

#include <cmath>

namespace {

// The units the meter shows, as it writes them.
const char *const MeterUnits[] = {"V", "mV", "A", "mA", "uA", "Ω", "kΩ", "MΩ",
                                  "Hz", "kHz", "MHz", "nF", "uF", "mF", "℃", "℉", "%"};

QString limitText(const std::optional<double> &value)
{
    return value ? LimitWatch::numberText(*value) : QString();
}

} // namespace

LimitsDialog::LimitsDialog(const AppConfig::LimitSettings &settings, const QString &shownUnit,
                           QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::LimitsDialog)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    for (const char *unit : MeterUnits)
        ui->unitBox->addItem(QString::fromUtf8(unit));
    for (const QString &unit : {settings.unit, shownUnit}) {
        if (!unit.isEmpty() && ui->unitBox->findText(unit) < 0)
            ui->unitBox->addItem(unit);
    }

    // The limits in the unit shown when they measure the same quantity;
    // as they were typed otherwise.
    QString unit = shownUnit.isEmpty() ? settings.unit : shownUnit;
    std::optional<double> low = settings.low, high = settings.high;
    if (!settings.unit.isEmpty() && unit != settings.unit) {
        auto converted = [&](const std::optional<double> &value) -> std::optional<double> {
            if (!value)
                return std::nullopt;
            const std::optional<double> inShown = ReadingHistory::inUnit(*value, settings.unit, unit);
            return inShown ? std::optional<double>(LimitWatch::rounded(*inShown)) : std::nullopt;
        };
        const bool sameQuantity = MeterReading::unitScale(unit).baseUnit
            == MeterReading::unitScale(settings.unit).baseUnit;
        if (sameQuantity) {
            low = converted(low);
            high = converted(high);
        } else if (settings.low || settings.high) {
            unit = settings.unit;
        }
    }
    if (unit.isEmpty())
        unit = QStringLiteral("V");
    ui->unitBox->setCurrentText(unit);
    ui->enabledBox->setChecked(settings.enabled);
    ui->lowEdit->setText(limitText(low));
    ui->highEdit->setText(limitText(high));
    ui->problemLabel->setStyleSheet(ReadableColors::alarmStyleSheet(palette()));
    ui->problemLabel->hide();

    // Typing a limit means watching it; Clear empties both, so that OK
    // removes them.
    for (QLineEdit *edit : {ui->lowEdit, ui->highEdit})
        connect(edit, &QLineEdit::textEdited, ui->enabledBox, [this] { ui->enabledBox->setChecked(true); });
    QPushButton *clear = ui->buttonBox->addButton(tr("Clear"), QDialogButtonBox::ResetRole);
    clear->setObjectName(QStringLiteral("clearButton"));
    connect(clear, &QPushButton::clicked, this, [this] {
        ui->lowEdit->clear();
        ui->highEdit->clear();
        ui->problemLabel->hide();
    });
}

LimitsDialog::~LimitsDialog()
{
    delete ui;
}

bool LimitsDialog::readNumber(const QString &text, std::optional<double> *value) const
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        value->reset();
        return true;
    }
    bool ok = false;
    double number = QLocale().toDouble(trimmed, &ok);
    if (!ok)
        number = trimmed.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    *value = number;
    return true;
}

AppConfig::LimitSettings LimitsDialog::settings() const
{
    AppConfig::LimitSettings settings;
    settings.enabled = ui->enabledBox->isChecked();
    readNumber(ui->lowEdit->text(), &settings.low);
    readNumber(ui->highEdit->text(), &settings.high);
    settings.unit = ui->unitBox->currentText();
    return settings;
}

void LimitsDialog::accept()
{
    std::optional<double> low, high;
    QString problem;
    if (!readNumber(ui->lowEdit->text(), &low))
        problem = tr("The low limit is not a number.");
    else if (!readNumber(ui->highEdit->text(), &high))
        problem = tr("The high limit is not a number.");
    else if (low && high && *low > *high)
        problem = tr("The low limit is above the high limit.");
    if (!problem.isEmpty()) {
        ui->problemLabel->setText(problem);
        ui->problemLabel->show();
        QLineEdit *wrong = problem == tr("The high limit is not a number.") ? ui->highEdit : ui->lowEdit;
        wrong->setFocus();
        wrong->selectAll();
        return;
    }
    QDialog::accept();
}
