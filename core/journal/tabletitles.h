#ifndef TABLETITLES_H
#define TABLETITLES_H

#include <QStringList>

// The sample table's five column titles: "Serial number", "unconnected",
// "Numeric value", "Per unit", "time". The window's table and its PDF show
// them; the journal's header line and the recorder's CSV begin with them.
namespace TableTitles {

constexpr int ColumnCount = 5;

// As files keep them: the same words whatever the language shown, so that
// programs reading the journal find their columns.
QStringList inFiles();

// As the window shows them (translated where a translation is loaded).
QStringList onScreen();

} // namespace TableTitles

#endif // TABLETITLES_H
