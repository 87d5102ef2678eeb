#ifndef SERIALSETDLGFORM_H
#define SERIALSETDLGFORM_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QComboBox;
class QDialog;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSpacerItem;
class QWidget;

namespace Ui {

// The serial port settings dialog's widget tree, written by hand in the shape
// uic gives a form.
class SerialSetDlg
{
public:
    QWidget *widget = nullptr;
    QGridLayout *gridLayout = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QLabel *label_serialNo = nullptr;
    QComboBox *cb_serialNo = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QPushButton *btnOk = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QPushButton *btnCancel = nullptr;

    void setupUi(QDialog *SerialSetDlg);
    void retranslateUi(QDialog *SerialSetDlg);
};

} // namespace Ui
QT_END_NAMESPACE

#endif // SERIALSETDLGFORM_H
