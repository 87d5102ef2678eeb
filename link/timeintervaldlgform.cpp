#include "timeintervaldlgform.h"

#include "app/formparts.h"

#include <QCoreApplication>
#include <QDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpacerItem>

namespace Ui {

void TimeIntervalDlg::setupUi(QDialog *TimeIntervalDlg)
{
    if (TimeIntervalDlg->objectName().isEmpty())
        TimeIntervalDlg->setObjectName(QStringLiteral("TimeIntervalDlg"));
    TimeIntervalDlg->resize(470, 170);
    TimeIntervalDlg->setMinimumSize(QSize(470, 170));
    TimeIntervalDlg->setMaximumSize(QSize(470, 200));

    groupBox = new QGroupBox(TimeIntervalDlg);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    groupBox->setGeometry(QRect(10, 8, 451, 111));
    groupBox->setMinimumSize(QSize(0, 0));
    groupBox->setMaximumSize(QSize(490, 180));
    label_3 = new QLabel(groupBox);
    label_3->setObjectName(QStringLiteral("label_3"));
    label_3->setGeometry(QRect(20, 70, 411, 20));
    layoutWidget = new QWidget(groupBox);
    layoutWidget->setObjectName(QStringLiteral("layoutWidget"));
    layoutWidget->setGeometry(QRect(20, 30, 418, 42));
    horizontalLayout = new QHBoxLayout(layoutWidget);
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->setContentsMargins(0, 0, 0, 0);
    horizontalSpacer = FormParts::horizontalSpacer(18, 20);
    horizontalLayout->addItem(horizontalSpacer);
    label = new QLabel(layoutWidget);
    label->setObjectName(QStringLiteral("label"));
    const QFont font = FormParts::font(12, true);
    label->setFont(font);
    horizontalLayout->addWidget(label);
    etTime = new QLineEdit(layoutWidget);
    etTime->setObjectName(QStringLiteral("etTime"));
    etTime->setMaximumSize(QSize(30, 16777215));
    horizontalLayout->addWidget(etTime);
    label_2 = new QLabel(layoutWidget);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setFont(font);
    horizontalLayout->addWidget(label_2);
    horizontalSpacer_2 = FormParts::horizontalSpacer(18, 20);
    horizontalLayout->addItem(horizontalSpacer_2);

    layoutWidget1 = new QWidget(TimeIntervalDlg);
    layoutWidget1->setObjectName(QStringLiteral("layoutWidget1"));
    layoutWidget1->setGeometry(QRect(20, 130, 421, 30));
    horizontalLayout_2 = new QHBoxLayout(layoutWidget1);
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->setContentsMargins(0, 0, 0, 0);
    horizontalSpacer_3 = FormParts::horizontalSpacer(40, 20);
    horizontalLayout_2->addItem(horizontalSpacer_3);
    btnOk = new QPushButton(layoutWidget1);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setMinimumSize(QSize(75, 28));
    btnOk->setMaximumSize(QSize(75, 28));
    const QFont buttonFont = FormParts::font(12);
    btnOk->setFont(buttonFont);
    horizontalLayout_2->addWidget(btnOk);
    horizontalSpacer_4 = FormParts::horizontalSpacer(40, 20);
    horizontalLayout_2->addItem(horizontalSpacer_4);
    btnExit = new QPushButton(layoutWidget1);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnExit->setMinimumSize(QSize(75, 28));
    btnExit->setMaximumSize(QSize(75, 28));
    btnExit->setFont(buttonFont);
    horizontalLayout_2->addWidget(btnExit);
    horizontalSpacer_5 = FormParts::horizontalSpacer(40, 20);
    horizontalLayout_2->addItem(horizontalSpacer_5);

    retranslateUi(TimeIntervalDlg);

    QMetaObject::connectSlotsByName(TimeIntervalDlg);
}

void TimeIntervalDlg::retranslateUi(QDialog *TimeIntervalDlg)
{
    auto tr = [](const char *text) {
        return QCoreApplication::translate("TimeIntervalDlg", text);
    };
    TimeIntervalDlg->setWindowTitle(tr("The time interval between data collection"));
    groupBox->setTitle(tr("Set it manually"));
    label_3->setText(
        tr("Illustrate:The range of time intervals between sampled data（1~60 s）"));
    label->setText(tr("The time interval between data collection："));
    label_2->setText(tr("S"));
    btnOk->setText(tr("OK"));
    btnExit->setText(tr("Cancel"));
}

} // namespace Ui
