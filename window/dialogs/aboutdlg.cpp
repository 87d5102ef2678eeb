#include "dialogs/aboutdlg.h"

#include "ui_aboutdlg.h"

#include <QLabel>

AboutDlg::AboutDlg(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::AboutDlg)
{
    ui->setupUi(this);
}

AboutDlg::~AboutDlg()
{
    delete ui;
}

void AboutDlg::getAppInfo(QString appName, QString appVersion)
{
    m_appName = appName;
    m_appVersion = appVersion;
    ui->lbAppName->setText(ui->lbAppName->text() + m_appName);
    ui->lbAppVersion->setText(ui->lbAppVersion->text() + m_appVersion);
}

void AboutDlg::on_btnAboutOk_clicked()
{
    accept();
}
