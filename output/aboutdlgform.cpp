#include "aboutdlgform.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>

namespace {

const int BoldWeight = 75;

QFont boldFont(int pointSize)
{
    QFont font;
    font.setPointSize(pointSize);
    font.setBold(true);
    font.setWeight(BoldWeight);
    return font;
}

QSpacerItem *hSpacer()
{
    return new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
}

} // namespace

void Ui::AboutDlg::setupUi(QDialog *AboutDlg)
{
    if (AboutDlg->objectName().isEmpty())
        AboutDlg->setObjectName(QStringLiteral("AboutDlg"));
    AboutDlg->resize(350, 150);
    AboutDlg->setMinimumSize(QSize(300, 150));
    AboutDlg->setMaximumSize(QSize(350, 150));
    AboutDlg->setFont(boldFont(12));
    QIcon icon;
    icon.addFile(QStringLiteral(":/img/serial_logo.png"), QSize(), QIcon::Normal, QIcon::Off);
    AboutDlg->setWindowIcon(icon);

    layoutWidget = new QWidget(AboutDlg);
    layoutWidget->setObjectName(QStringLiteral("layoutWidget"));
    layoutWidget->setGeometry(QRect(9, 10, 331, 121));
    gridLayout = new QGridLayout(layoutWidget);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setContentsMargins(0, 0, 0, 0);

    lbAppName = new QLabel(layoutWidget);
    lbAppName->setObjectName(QStringLiteral("lbAppName"));
    lbAppName->setFont(boldFont(14));
    gridLayout->addWidget(lbAppName, 0, 0, 1, 1);

    lbAppVersion = new QLabel(layoutWidget);
    lbAppVersion->setObjectName(QStringLiteral("lbAppVersion"));
    lbAppVersion->setFont(boldFont(14));
    gridLayout->addWidget(lbAppVersion, 1, 0, 1, 1);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalSpacer = hSpacer();
    horizontalLayout->addItem(horizontalSpacer);
    btnAboutOk = new QPushButton(layoutWidget);
    btnAboutOk->setObjectName(QStringLiteral("btnAboutOk"));
    btnAboutOk->setFont(boldFont(14));
    horizontalLayout->addWidget(btnAboutOk);
    horizontalSpacer_2 = hSpacer();
    horizontalLayout->addItem(horizontalSpacer_2);
    gridLayout->addLayout(horizontalLayout, 2, 0, 1, 1);

    retranslateUi(AboutDlg);

    QMetaObject::connectSlotsByName(AboutDlg);
}

void Ui::AboutDlg::retranslateUi(QDialog *AboutDlg)
{
    AboutDlg->setWindowTitle(QCoreApplication::translate("AboutDlg", "About"));
    lbAppName->setText(QCoreApplication::translate("AboutDlg", "The name of the software："));
    lbAppVersion->setText(QCoreApplication::translate("AboutDlg", "Software Version："));
    btnAboutOk->setText(QCoreApplication::translate("AboutDlg", "OK"));
}
