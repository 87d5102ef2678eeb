#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication a(argc, argv);
    int result = 0;
    {
        MainWindow w;
        w.show();
        result = a.exec();
    }
    return result;
}
