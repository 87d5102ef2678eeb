#ifndef FAILURENOTICE_H
#define FAILURENOTICE_H

#include <QString>

QT_BEGIN_NAMESPACE
class QStatusBar;
QT_END_NAMESPACE

// A failure the user must not miss (a port that would not open, a file that
// was not saved, a folder nothing here can show) goes to the status bar,
// with the reason, for ShownMs or until the next message; no dialog
// interrupts the work. Callers trace it in their own category as well.
namespace FailureNotice {

const int ShownMs = 10000;

void show(QStatusBar *statusBar, const QString &text);

} // namespace FailureNotice

#endif // FAILURENOTICE_H
