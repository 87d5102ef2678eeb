#include "statusstates.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QStatusBar>
#include <QStatusTipEvent>

StatusStates::StatusStates(QStatusBar *statusBar)
    : QWidget(statusBar)
    , m_layout(new QHBoxLayout(this))
{
    setObjectName(QStringLiteral("statusStates"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    statusBar->addPermanentWidget(this, 1);
    connect(statusBar, &QStatusBar::messageChanged, this, &StatusStates::messageChanged);
    if (QWidget *window = statusBar->window(); window != statusBar)
        window->installEventFilter(this);
}

bool StatusStates::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::StatusTip && static_cast<QStatusTipEvent *>(event)->tip().isEmpty())
        return true;
    return QWidget::eventFilter(watched, event);
}

void StatusStates::insertState(int index, QWidget *state, int stretch)
{
    m_layout->insertWidget(index, state, stretch);
}

void StatusStates::messageChanged(const QString &message)
{
    setVisible(message.isEmpty());
}
