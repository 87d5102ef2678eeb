#ifndef ABOUTDLGFORM_H
#define ABOUTDLGFORM_H

#include <QtGlobal>

QT_BEGIN_NAMESPACE
class QDialog;
class QGridLayout;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QSpacerItem;
class QWidget;

namespace Ui {

// The About dialog's widgets, in the shape uic gives a form.
class AboutDlg
{
public:
    QWidget *layoutWidget = nullptr;
    QGridLayout *gridLayout = nullptr;
    QLabel *lbAppName = nullptr;
    QLabel *lbAppVersion = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QSpacerItem *horizontalSpacer = nullptr;
    QPushButton *btnAboutOk = nullptr;
    QSpacerItem *horizontalSpacer_2 = nullptr;

    void setupUi(QDialog *AboutDlg);
    void retranslateUi(QDialog *AboutDlg);
};

} // namespace Ui
QT_END_NAMESPACE

#endif // ABOUTDLGFORM_H
