#include "mainwindow.h"
#include "textfit.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    int result = 0;
    {
        TextFit::chooseApplicationFont(); // before the window is built
        MainWindow w;
        w.show();
        result = a.exec();
    }
    return result;
}
