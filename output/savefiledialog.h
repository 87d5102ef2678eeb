#ifndef SAVEFILEDIALOG_H
#define SAVEFILEDIALOG_H

#include <QString>

QT_BEGIN_NAMESPACE
class QWidget;
QT_END_NAMESPACE

// Asks where to save an export, starting in the current folder. A name typed
// without a suffix gets `suffix` (without the dot), before the dialog asks
// whether to replace an existing file of that name; a name with any suffix
// stays as typed. Empty when the user cancels.
QString askSaveFileName(QWidget *parent, const QString &caption, const QString &filter,
                        const QString &suffix);

#endif // SAVEFILEDIALOG_H
