// MainWindow's question where an export goes, shared by the Excel and PDF exports.
#include "mainwindow/mainwindow.h"

#include "journal/journalkeeper.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>

namespace {

// The name with ".<suffix>" added unless it already ends so, in any letter
// case: "rail-3.3V" becomes "rail-3.3V.xlsx", "DATA.XLSX" stays.
QString withSuffix(const QString &path, const QString &suffix)
{
    if (path.endsWith(QLatin1Char('.') + suffix, Qt::CaseInsensitive))
        return path;
    return path + QLatin1Char('.') + suffix;
}

// The save dialog puts the suffix on the typed name before it checks for a
// file of that name, so that the question whether to replace one is asked
// about the file that will be written.
class ExportFileDialog : public QFileDialog
{
public:
    ExportFileDialog(QWidget *parent, const QString &folder, const QString &filter, const QString &suffix)
        : QFileDialog(parent, MainWindow::tr("Save"), folder, filter), m_suffix(suffix)
    {
        setAcceptMode(QFileDialog::AcceptSave);
        setDefaultSuffix(suffix);
    }

protected:
    void accept() override
    {
        // The name field of Qt's own dialog; a desktop's dialog has none.
        auto *nameEdit = findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        const QString chosen = selectedFiles().value(0);
        if (nameEdit && !chosen.isEmpty() && !QFileInfo(chosen).isDir()
            && withSuffix(chosen, m_suffix) != chosen)
            nameEdit->setText(withSuffix(nameEdit->text(), m_suffix));
        QFileDialog::accept();
    }

private:
    QString m_suffix;
};

} // namespace

// Starts in the folder of the last file chosen. A name gets `suffix`
// (without the dot) unless it ends with it already, before the dialog asks
// whether to replace a file of that name. Empty when the user cancels.
QString MainWindow::askExportPath(const QString &filter, const QString &suffix)
{
    ExportFileDialog dialog(this, dialogFolder(), filter, suffix);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QString path = dialog.selectedFiles().value(0);
    if (path.isEmpty())
        return path;
    rememberFolder(path);
    // A desktop's own dialog may hand the name back as typed.
    return withSuffix(path, suffix);
}

// The folder of the last file chosen in a file dialog during this run; the
// recordings folder before one (where it exists), else the home folder.
QString MainWindow::dialogFolder() const
{
    if (!m_lastFolder.isEmpty() && QFileInfo(m_lastFolder).isDir())
        return m_lastFolder;
    const QString recordings = m_journalKeeper->settings().folder;
    return QFileInfo(recordings).isDir() ? recordings : QDir::homePath();
}

void MainWindow::rememberFolder(const QString &chosenFile)
{
    m_lastFolder = QFileInfo(chosenFile).absolutePath();
}
