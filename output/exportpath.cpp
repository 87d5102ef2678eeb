// MainWindow's question where an export goes, shared by the Excel and PDF exports.
#include "mainwindow.h"

#include <QFileDialog>
#include <QFileInfo>

// Starts in the current folder. A name typed without a suffix gets `suffix`
// (without the dot) before the dialog asks whether to replace a file of that
// name; a name with any suffix stays as typed. Empty when the user cancels.
QString MainWindow::askExportPath(const QString &filter, const QString &suffix)
{
    QFileDialog dialog(this, tr("Save"), QStringLiteral("."), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    QString path = dialog.selectedFiles().value(0);
    // A desktop's own dialog may hand the name back as typed; the rule is the
    // dialog's: a file name without any dot has no suffix.
    if (!path.isEmpty() && !QFileInfo(path).fileName().contains(QLatin1Char('.')))
        path += QLatin1Char('.') + suffix;
    return path;
}
