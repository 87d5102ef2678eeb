// MainWindow's Help menu: the About dialog and the user guide.
#include "mainwindow.h"

#include "aboutdlg.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

namespace {
// Both lie beside the executable.
const char CompiledHelpName[] = "raveloHelp.chm";
const char HtmlHelpName[] = "raveloHelp.html";
} // namespace

void MainWindow::on_act_about_triggered()
{
    auto *dialog = new AboutDlg(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose); // a fresh dialog for every opening
    connect(this, &MainWindow::sendAppInfo, dialog, &AboutDlg::getAppInfo);
    emit sendAppInfo(m_appName, m_appVersion);
    dialog->exec();
}

void MainWindow::on_act_useDoc_triggered()
{
    const QString dir = QCoreApplication::applicationDirPath();
    // Desktops take a file URL where a bare path would be read as a relative link.
    const QString chm = dir + QLatin1Char('/') + QLatin1String(CompiledHelpName);
    if (QFileInfo::exists(chm) && QDesktopServices::openUrl(QUrl::fromLocalFile(chm)))
        return;
    // No compiled help, or nothing on this desktop opens it: the same guide as a web page.
    const QString html = dir + QLatin1Char('/') + QLatin1String(HtmlHelpName);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(html)))
        qDebug() << "help: nothing opened" << chm << "nor" << html;
}
