#include "widgets/statusstates.h"

#include "widgets/textfit.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QPainter>
#include <QSizeGrip>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QStyleOption>

namespace {

// Where the status bar draws its message while nothing else shows: from 6
// pixels in to 12 before its end, or to the size grip.
QRect messageRoom(const QStatusBar *bar)
{
    int right = bar->width() - 12;
    if (const auto *grip = bar->findChild<QSizeGrip *>(QString(), Qt::FindDirectChildrenOnly);
        grip && grip->isVisible())
        right = grip->x();
    return QRect(6, 0, right - 6, bar->height());
}

} // namespace

StatusStates::StatusStates(QStatusBar *statusBar)
    : QWidget(statusBar)
    , m_layout(new QHBoxLayout(this))
    , m_bar(statusBar)
{
    setObjectName(QStringLiteral("statusStates"));
    m_layout->setContentsMargins(0, 0, 0, 0);
    statusBar->addPermanentWidget(this, 1);
    connect(statusBar, &QStatusBar::messageChanged, this, &StatusStates::messageChanged);
    statusBar->installEventFilter(this);
    if (QWidget *window = statusBar->window(); window != statusBar)
        window->installEventFilter(this);
}

bool StatusStates::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::StatusTip && static_cast<QStatusTipEvent *>(event)->tip().isEmpty())
        return true;
    if (watched == m_bar && event->type() == QEvent::Paint && paintLongMessage())
        return true;
    return QWidget::eventFilter(watched, event);
}

// A message wider than the bar (a long path in it) is drawn in a smaller
// font, as far as TextFit goes, and only then shortened in its middle; the
// bar's tool tip holds it whole. False when the bar draws it itself.
bool StatusStates::paintLongMessage()
{
    const QString message = m_bar->currentMessage();
    const QRect room = messageRoom(m_bar);
    if (message.isEmpty() || m_bar->fontMetrics().horizontalAdvance(message) <= room.width())
        return false;
    const QFont font = TextFit::fitted(m_bar->font(), {message}, room.width());
    QPainter painter(m_bar);
    QStyleOption option;
    option.initFrom(m_bar);
    m_bar->style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, m_bar);
    painter.setFont(font);
    painter.setPen(m_bar->palette().windowText().color());
    painter.drawText(room, Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
                     QFontMetrics(font).elidedText(message, Qt::ElideMiddle, room.width()));
    return true;
}

void StatusStates::insertState(int index, QWidget *state, int stretch)
{
    m_layout->insertWidget(index, state, stretch);
}

void StatusStates::messageChanged(const QString &message)
{
    setVisible(message.isEmpty());
    m_bar->setToolTip(message);
}
