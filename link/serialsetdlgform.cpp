#include "serialsetdlgform.h"

#include "app/formparts.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpacerItem>

namespace Ui {

void SerialSetDlg::setupUi(QDialog *SerialSetDlg)
{
    if (SerialSetDlg->objectName().isEmpty())
        SerialSetDlg->setObjectName(QStringLiteral("SerialSetDlg"));
    SerialSetDlg->resize(260, 120);
    SerialSetDlg->setMinimumSize(QSize(260, 120));
    SerialSetDlg->setMaximumSize(QSize(260, 120));
    SerialSetDlg->setFont(FormParts::font(12));

    widget = new QWidget(SerialSetDlg);
    widget->setObjectName(QStringLiteral("widget"));
    widget->setGeometry(QRect(22, 14, 217, 91));
    gridLayout = new QGridLayout(widget);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setContentsMargins(0, 0, 0, 0);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    label_serialNo = new QLabel(widget);
    label_serialNo->setObjectName(QStringLiteral("label_serialNo"));
    horizontalLayout->addWidget(label_serialNo);
    cb_serialNo = new QComboBox(widget);
    cb_serialNo->setObjectName(QStringLiteral("cb_serialNo"));
    cb_serialNo->setMinimumSize(QSize(100, 26));
    cb_serialNo->setMaximumSize(QSize(100, 26));
    horizontalLayout->addWidget(cb_serialNo);
    gridLayout->addLayout(horizontalLayout, 0, 0, 1, 1);

    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    btnOk = new QPushButton(widget);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    horizontalLayout_2->addWidget(btnOk);
    horizontalSpacer = FormParts::horizontalSpacer(28, 20);
    horizontalLayout_2->addItem(horizontalSpacer);
    btnCancel = new QPushButton(widget);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    horizontalLayout_2->addWidget(btnCancel);
    gridLayout->addLayout(horizontalLayout_2, 1, 0, 1, 1);

    retranslateUi(SerialSetDlg);
    QObject::connect(btnOk, &QPushButton::clicked, SerialSetDlg, &QDialog::accept);
    QObject::connect(btnCancel, &QPushButton::clicked, SerialSetDlg, &QDialog::reject);

    QMetaObject::connectSlotsByName(SerialSetDlg);
}

void SerialSetDlg::retranslateUi(QDialog *SerialSetDlg)
{
    auto tr = [](const char *text) { return QCoreApplication::translate("SerialSetDlg", text); };
    SerialSetDlg->setWindowTitle(tr("Serial port setting"));
    label_serialNo->setText(tr("String slogans"));
    btnOk->setText(tr("OK"));
    btnCancel->setText(tr("Cancel"));
}

} // namespace Ui
