#include "aboutdlgform.h"

#include "app/formparts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>

void Ui::AboutDlg::setupUi(QDialog *AboutDlg)
{
    if (AboutDlg->objectName().isEmpty())
        AboutDlg->setObjectName(QStringLiteral("AboutDlg"));
    AboutDlg->resize(350, 150);
    AboutDlg->setMinimumSize(QSize(300, 150));
    AboutDlg->setMaximumSize(QSize(350, 150));
    AboutDlg->setFont(FormParts::font(12, true));
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
    lbAppName->setFont(FormParts::font(14, true));
    gridLayout->addWidget(lbAppName, 0, 0, 1, 1);

    lbAppVersion = new QLabel(layoutWidget);
    lbAppVersion->setObjectName(QStringLiteral("lbAppVersion"));
    lbAppVersion->setFont(FormParts::font(14, true));
    gridLayout->addWidget(lbAppVersion, 1, 0, 1, 1);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalSpacer = FormParts::horizontalSpacer(40, 20);
    horizontalLayout->addItem(horizontalSpacer);
    btnAboutOk = new QPushButton(layoutWidget);
    btnAboutOk->setObjectName(QStringLiteral("btnAboutOk"));
    btnAboutOk->setFont(FormParts::font(14, true));
    horizontalLayout->addWidget(btnAboutOk);
    horizontalSpacer_2 = FormParts::horizontalSpacer(40, 20);
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
