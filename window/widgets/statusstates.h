#ifndef STATUSSTATES_H
#define STATUSSTATES_H

#include <QWidget>

QT_BEGIN_NAMESPACE
class QHBoxLayout;
class QStatusBar;
QT_END_NAMESPACE

// The states the status bar keeps in sight (the limits, the statistics, the
// journal) in one row at its right. While a temporary message shows, the
// whole row gives way, so the message has the bar's width to be read in;
// the states come back, as they are by then, when it goes. A message wider
// than the bar is drawn in a smaller font, its full text in the tool tip. A state shows
// and hides itself within the row, also while the row is away. Hovering a
// menu entry without a status tip leaves the message where it is (the
// window would otherwise clear it with the entry's empty tip).
class StatusStates : public QWidget
{
    Q_OBJECT
public:
    explicit StatusStates(QStatusBar *statusBar);

    // `state` at `index` in the row (-1: at its end), taking `stretch`
    // shares of the room the others leave.
    void insertState(int index, QWidget *state, int stretch = 0);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void messageChanged(const QString &message);
    bool paintLongMessage();

    QHBoxLayout *m_layout = nullptr;
    QStatusBar *m_bar = nullptr;
};

#endif // STATUSSTATES_H
