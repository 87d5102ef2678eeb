#ifndef LIMITSDIALOG_H
#define LIMITSDIALOG_H

#include "config/appconfig.h"

#include <QDialog>

namespace Ui {
class LimitsDialog;
}

// The low and high limit (either may be left empty), switched on or off, in
// a unit of the meter's: the one the meter shows when the dialog opens.
class LimitsDialog : public QDialog
{
    Q_OBJECT
public:
    // `shownUnit`: the unit of the reading on the display, empty before one.
    LimitsDialog(const AppConfig::LimitSettings &settings, const QString &shownUnit,
                 QWidget *parent = nullptr);
    ~LimitsDialog() override;

    AppConfig::LimitSettings settings() const;

    void accept() override;

private:
    bool readNumber(const QString &text, std::optional<double> *value) const;

    Ui::LimitsDialog *ui;
};

#endif // LIMITSDIALOG_H
