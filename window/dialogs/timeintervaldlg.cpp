#include "dialogs/timeintervaldlg.h"
#include "ui_timeintervaldlg.h"

#include "widgets/textfit.h"

#include <QIntValidator>
#include <QLineEdit>

namespace {

const int MsPerSecond = 1000;
const int MaxEntryChars = 2;

} // namespace

TimeIntervalDlg::TimeIntervalDlg(QWidget *parent, int intervalMs)
    : QDialog(parent)
    , ui(new Ui::TimeIntervalDlg)
    , m_intervalMs(intervalMs)
{
    ui->setupUi(this);
    ui->etTime->setStyleSheet(QStringLiteral(
        "QLineEdit{background-color : white;border-color: black;}"
        "QTextEdit:focus{border: 1px solid #666666;}"));
    ui->etTime->setValidator(new QIntValidator(MinSeconds, MaxSeconds, this));
    ui->etTime->setMaxLength(MaxEntryChars);
    ui->etTime->setText(QString::number(intervalMs / MsPerSecond));
    TextFit::fitLabel(ui->label_3); // the note is one long line
}

TimeIntervalDlg::~TimeIntervalDlg()
{
    delete ui;
}

void TimeIntervalDlg::on_btnOk_clicked()
{
    // Text the validator still lets stand while editing (empty, 0) is not a
    // setting: the dialog stays open until it is.
    bool isNumber = false;
    const int seconds = ui->etTime->text().toInt(&isNumber, 10);
    if (!isNumber || seconds < MinSeconds || seconds > MaxSeconds)
        return;
    m_intervalMs = seconds * MsPerSecond;
    accept();
}

void TimeIntervalDlg::on_btnExit_clicked()
{
    reject();
}
