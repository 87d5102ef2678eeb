#include "widgets/failurenotice.h"

#include <QStatusBar>

namespace FailureNotice {

void show(QStatusBar *statusBar, const QString &text)
{
    statusBar->showMessage(text, ShownMs);
}

} // namespace FailureNotice
