#include "mainwindow/mainwindow.h"
#include "widgets/textfit.h"
#include "windowoptions.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <optional>

namespace {

const int ExitUsage = 2;

// Help and version go to standard output; true when one of them was asked.
bool answered(const std::optional<WindowOptions> &options)
{
    if (!options || options->action == WindowOptions::Action::Run)
        return false;
    const QString text = options->action == WindowOptions::Action::Help
        ? WindowOptions::helpText()
        : WindowOptions::versionText(QStringLiteral(RAVELO_VERSION));
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Help and version need no display: answered before the application
    // looks for one (when Qt's own options are not among the arguments).
    QStringList rawArguments;
    for (int i = 0; i < argc; ++i)
        rawArguments << QString::fromLocal8Bit(argv[i]);
    QString error;
    if (answered(WindowOptions::parse(rawArguments, &error)))
        return 0;

    QApplication a(argc, argv);
    // Names the user's folders (the recordings under the application data).
    QCoreApplication::setApplicationName(QStringLiteral("Ravelo"));
    QCoreApplication::setApplicationVersion(QStringLiteral(RAVELO_VERSION));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(RAVELO_APP_ID));
    const std::optional<WindowOptions> options = WindowOptions::parse(QCoreApplication::arguments(), &error);
    if (!options) {
        const QString text = QStringLiteral("ravelo: %1\nTry 'ravelo --help' for more information.\n").arg(error);
        std::fputs(text.toLocal8Bit().constData(), stderr);
        return ExitUsage;
    }
    if (answered(options))
        return 0;

    int result = 0;
    {
        TextFit::chooseApplicationFont(); // before the window is built
        MainWindow w;
        w.show();
        // The port named on the command line, once the window is up.
        if (!options->port.isEmpty()) {
            const QString port = options->port;
            QTimer::singleShot(0, &w, [&w, port] { w.openPortNamed(port); });
        }
        result = a.exec();
    }
    return result;
}
