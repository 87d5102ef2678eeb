#ifndef TIMEINTERVALDLGFORM_H
#define TIMEINTERVALDLGFORM_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QDialog;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpacerItem;
class QWidget;

namespace Ui {

// The sampling interval dialog's widget tree, written by hand in the shape
// uic gives a form.
class TimeIntervalDlg
{
public:
    QGroupBox *groupBox = nullptr;
    QLabel *label_3 = nullptr;
    QWidget *layoutWidget = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QLabel *label = nullptr;
    QLineEdit *etTime = nullptr;
    QLabel *label_2 = nullptr;
    QSpacerItem *horizontalSpacer_2 = nullptr;
    QWidget *layoutWidget1 = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QSpacerItem *horizontalSpacer_3 = nullptr;
    QPushButton *btnOk = nullptr;
    QSpacerItem *horizontalSpacer_4 = nullptr;
    QPushButton *btnExit = nullptr;
    QSpacerItem *horizontalSpacer_5 = nullptr;

    void setupUi(QDialog *TimeIntervalDlg);
    void retranslateUi(QDialog *TimeIntervalDlg);
};

} // namespace Ui
QT_END_NAMESPACE

#endif // TIMEINTERVALDLGFORM_H
