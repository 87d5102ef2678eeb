#ifndef TIMEINTERVALDLG_H
#define TIMEINTERVALDLG_H

#include <QDialog>

QT_BEGIN_NAMESPACE
namespace Ui {
class TimeIntervalDlg;
}
QT_END_NAMESPACE

// Sets the sampling interval in whole seconds, 1 to 60.
class TimeIntervalDlg : public QDialog
{
    Q_OBJECT

public:
    explicit TimeIntervalDlg(QWidget *parent);
    ~TimeIntervalDlg() override;

    static const int MinSeconds = 1;
    static const int MaxSeconds = 60;

signals:
    // The new interval in milliseconds.
    void sendTimeData(int data);

private slots:
    void on_btnOk_clicked();
    void on_btnExit_clicked();

private:
    Ui::TimeIntervalDlg *ui = nullptr;
};

#endif // TIMEINTERVALDLG_H
