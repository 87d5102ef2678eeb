#ifndef TIMEINTERVALDLG_H
#define TIMEINTERVALDLG_H

#include "config/appconfig.h"

#include <QDialog>

QT_BEGIN_NAMESPACE
namespace Ui {
class TimeIntervalDlg;
}
QT_END_NAMESPACE

// Sets the sampling interval in whole seconds, 1 to 60. Opens on the current
// interval; the new one is read from intervalMs() once exec() has returned
// Accepted.
class TimeIntervalDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TimeIntervalDlg(QWidget *parent, int intervalMs = AppConfig::DefaultTimeIntervalMs);
    ~TimeIntervalDlg() override;

    static const int MinSeconds = 1;
    static const int MaxSeconds = 60;

    // The interval in milliseconds: the one it opened on until OK took another.
    int intervalMs() const { return m_intervalMs; }

private slots:
    void on_btnOk_clicked();
    void on_btnExit_clicked();

private:
    Ui::TimeIntervalDlg *ui = nullptr;
    int m_intervalMs;
};

#endif // TIMEINTERVALDLG_H
