// MainWindow's Help menu: the About dialog and the user guide.
#include "mainwindow.h"
#include "app/tracing.h"

#include "aboutdlg.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

// Both lie beside the executable.
const char CompiledHelpName[] = "raveloHelp.chm";
const char HtmlHelpName[] = "raveloHelp.html";
const int MimeQueryTimeoutMs = 2000;

// Whether the desktop has a program for compiled HTML help. Windows always
// has one; freedesktop desktops are asked, since their launcher starts even
// when nothing can show the file.
bool desktopShowsCompiledHelp()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"),
                 QStringLiteral("application/vnd.ms-htmlhelp")});
    if (!query.waitForFinished(MimeQueryTimeoutMs) || query.exitCode() != 0)
        return false;
    return !query.readAllStandardOutput().trimmed().isEmpty();
#else
    return true;
#endif
}

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
    openUserGuide(desktopShowsCompiledHelp());
}

void MainWindow::openUserGuide(bool compiledHelpViewer)
{
    const QString dir = QCoreApplication::applicationDirPath();
    // Desktops take a file URL where a bare path would be read as a relative link.
    const QString chm = dir + QLatin1Char('/') + QLatin1String(CompiledHelpName);
    if (compiledHelpViewer && QFileInfo::exists(chm)
        && QDesktopServices::openUrl(QUrl::fromLocalFile(chm)))
        return;
    // No compiled help, or nothing here opens it: the same guide as a web page.
    const QString html = dir + QLatin1Char('/') + QLatin1String(HtmlHelpName);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(html)))
        qCDebug(lcOutput) << "help: could not open" << chm << "nor" << html;
}
