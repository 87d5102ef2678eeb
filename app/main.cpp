#include "mainwindow.h"
#include "textfit.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    TextFit::chooseApplicationFont();
    int result = 0;
    {
        MainWindow w;
        w.show();
        result = a.exec();
    }
    return result;
}
