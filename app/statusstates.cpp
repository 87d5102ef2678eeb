#include "statusstates.h"

#include <QHBoxLayout>
#include <QStatusBar>
#include <QStyle>

StatusStates::StatusStates(QStatusBar *statusBar)
    : QWidget(statusBar)
    , m_layout(new QHBoxLayout(this))
{
    setObjectName(QStringLiteral("statusStates"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    statusBar->addPermanentWidget(this, 1);
    connect(statusBar, &QStatusBar::messageChanged, this, &StatusStates::messageChanged);
}

void StatusStates::insertState(int index, QWidget *state, int stretch)
{
    m_layout->insertWidget(index, state, stretch);
}

void StatusStates::messageChanged(const QString &message)
{
    setVisible(message.isEmpty());
}
