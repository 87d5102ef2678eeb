#include "savefiledialog.h"

#include <QFileDialog>
#include <QFileInfo>

QString askSaveFileName(QWidget *parent, const QString &caption, const QString &filter,
                        const QString &suffix)
{
    QFileDialog dialog(parent, caption, QStringLiteral("."), filter);
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
