#include "mainwindow.h"
#include "textfit.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    // Names the user's folders (the recordings under the application data).
    QCoreApplication::setApplicationName(QStringLiteral("Ravelo"));
    // Lets the desktop match the window to its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(RAVELO_APP_ID));
    int result = 0;
    {
        TextFit::chooseApplicationFont(); // before the window is built
        MainWindow w;
        w.show();
        // For the tests that run the whole program against the meter
        // simulator: the port to open at start, as if chosen in the menus.
        const QString testPort = qEnvironmentVariable("RAVELO_TEST_OPEN_PORT");
        if (!testPort.isEmpty())
            w.openPortNamed(testPort);
        result = a.exec();
    }
    return result;
}
