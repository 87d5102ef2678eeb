// MainWindow's Help menu: the About dialog and the user guide.
#include "mainwindow/mainwindow.h"
#include "mainwindow/windowtracing.h"

#include "dialogs/aboutdlg.h"
#include "widgets/failurenotice.h"
#include "ui_mainwindow.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace {

// Both lie beside the executable, or in the documentation folder of an
// installed program.
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

// The guide's file of that name: beside the executable (a build, or a
// portable copy) or else where the installation puts it. Empty if neither.
QString findGuideFile(const char *name)
{
    const QString dir = QCoreApplication::applicationDirPath();
    for (const QString &folder : {dir, QDir::cleanPath(dir + QLatin1String("/" RAVELO_DOCDIR_FROM_BINDIR))}) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(name);
        if (QFileInfo::exists(path))
            return path;
    }
    return QString();
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
    // Desktops take a file URL where a bare path would be read as a relative link.
    const QString chm = findGuideFile(CompiledHelpName);
    if (compiledHelpViewer && !chm.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(chm)))
        return;
    // No compiled help, or nothing here opens it: the same guide as a web page.
    QString html = findGuideFile(HtmlHelpName);
    if (html.isEmpty())
        html = QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(HtmlHelpName);
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(html))) {
        qCDebug(lcOutput) << "help: could not open" << chm << "nor" << html;
        // Nothing here shows web pages: the user can still open it by hand.
        FailureNotice::show(ui->statusbar, tr("Could not open the user guide; it is %1")
                                               .arg(QDir::toNativeSeparators(html)));
    }
}
