#ifndef ABOUTDLG_H
#define ABOUTDLG_H

#include <QDialog>
#include <QString>

QT_BEGIN_NAMESPACE
namespace Ui {
class AboutDlg;
}
QT_END_NAMESPACE

// Shows the model name and version of the meter the program has identified.
class AboutDlg : public QDialog
{
    Q_OBJECT

    friend class tst_Output;

public:
    explicit AboutDlg(QWidget *parent = nullptr);
    ~AboutDlg() override;

    // Appends the two texts to the captions of their labels.
    void getAppInfo(QString appName, QString appVersion);

private slots:
    void on_btnAboutOk_clicked();

private:
    Ui::AboutDlg *ui = nullptr;
    QString m_appName;
    QString m_appVersion;
};

#endif // ABOUTDLG_H
