#include "dialogs/serialsetdlg.h"
#include "mainwindow/windowtracing.h"
#include "ui_serialsetdlg.h"

#include "widgets/textfit.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QSerialPortInfo>

const char SerialSetDlg::ExtraPortsVariable[] = "RAVELO_EXTRA_PORTS";

namespace {

const int PopupMarginPx = 24;

} // namespace

SerialSetDlg::SerialSetDlg(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::SerialSetDlg)
{
    ui->setupUi(this);
    // Ports the system does not list (pseudo-terminals, some adapters) can be
    // typed in as a device path.
    ui->cb_serialNo->setEditable(true);
    ui->cb_serialNo->setInsertPolicy(QComboBox::NoInsert);
    enumeratePorts();
    // The box is narrow for device paths such as /dev/pts/12.
    TextFit::fitComboBox(ui->cb_serialNo);
}

SerialSetDlg::~SerialSetDlg()
{
    delete ui;
}

QStringList SerialSetDlg::extraPorts()
{
    const QString value = qEnvironmentVariable(ExtraPortsVariable);
    QStringList ports;
    const QStringList entries = value.split(QDir::listSeparator(), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        const QString port = entry.trimmed();
        if (!port.isEmpty() && !ports.contains(port))
            ports << port;
    }
    return ports;
}

void SerialSetDlg::enumeratePorts()
{
    QStringList found;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        found << info.portName();
    const QStringList extra = extraPorts();
    for (const QString &port : extra) {
        if (!found.contains(port))
            found << port;
    }
    m_portNameList << found;
    ui->cb_serialNo->insertItems(ui->cb_serialNo->count(), m_portNameList);
    // The box is narrow; its list opens wide enough for device paths.
    QAbstractItemView *list = ui->cb_serialNo->view();
    list->setMinimumWidth(list->sizeHintForColumn(0) + PopupMarginPx);
}

void SerialSetDlg::on_btnOk_clicked()
{
    // What the user picked or typed stays the choice; an empty box takes the
    // first port that has appeared since the dialog opened.
    const QString chosen = ui->cb_serialNo->currentText().trimmed();
    enumeratePorts();
    if (!chosen.isEmpty())
        ui->cb_serialNo->setEditText(chosen);
    m_portName = ui->cb_serialNo->currentText().trimmed();
}

void SerialSetDlg::on_btnCancel_clicked()
{
    qCDebug(lcLink) << "串口设置界面点击了取消按钮";
}
