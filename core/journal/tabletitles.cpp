#include "journal/tabletitles.h"

#include <QCoreApplication>

namespace {

const char *const Titles[TableTitles::ColumnCount] = {
    QT_TRANSLATE_NOOP("SampleTable", "Serial number"),
    QT_TRANSLATE_NOOP("SampleTable", "unconnected"),
    QT_TRANSLATE_NOOP("SampleTable", "Numeric value"),
    QT_TRANSLATE_NOOP("SampleTable", "Per unit"),
    QT_TRANSLATE_NOOP("SampleTable", "time"),
};

} // namespace

namespace TableTitles {

QStringList inFiles()
{
    QStringList titles;
    for (const char *title : Titles)
        titles << QString::fromLatin1(title);
    return titles;
}

QStringList onScreen()
{
    QStringList titles;
    for (const char *title : Titles)
        titles << QCoreApplication::translate("SampleTable", title);
    return titles;
}

} // namespace TableTitles
