#include "widgets/journalindicator.h"

#include "widgets/readablecolors.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QResizeEvent>

namespace {

// The shortest the indicator gets in a crowded status bar, in characters.
const int MinimumChars = 16;

} // namespace

JournalIndicator::JournalIndicator(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("journalIndicator"));
    setTextFormat(Qt::PlainText);
    hide();
}

void JournalIndicator::showRecording(const QString &path)
{
    showState(QFileInfo(path).fileName(), QDir::toNativeSeparators(path), false);
}

void JournalIndicator::showStopped(const QString &reason, const QString &path)
{
    showState(tr("Journal stopped: %1").arg(reason),
         QDir::toNativeSeparators(path) + QLatin1Char('\n') + reason, true);
}

void JournalIndicator::showOff()
{
    showState(tr("Journal off"), tr("The recording journal is switched off in config.ini"), false);
}

void JournalIndicator::showState(const QString &text, const QString &toolTip, bool alarming)
{
    // Only what differs is set: the rest follows the status bar.
    QFont shownFont;
    QPalette shownPalette;
    if (alarming) {
        shownFont.setBold(true);
        shownPalette.setColor(QPalette::WindowText, ReadableColors::alarm(shownPalette));
    }
    setFont(shownFont);
    setPalette(shownPalette);
    m_fullText = text;
    setToolTip(toolTip);
    updateGeometry();
    fitText();
    show();
}

QSize JournalIndicator::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    return QSize(metrics.horizontalAdvance(m_fullText) + margins.left() + margins.right()
                     + 2 * margin(),
                 QLabel::sizeHint().height());
}

QSize JournalIndicator::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    const int minimumWidth = metrics.averageCharWidth() * MinimumChars;
    return QSize(qMin(minimumWidth, sizeHint().width()), QLabel::minimumSizeHint().height());
}

void JournalIndicator::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitText();
}

void JournalIndicator::fitText()
{
    const QFontMetrics metrics(font());
    const int room = contentsRect().width();
    // elidedText() may shorten a text that fits to the pixel.
    const QString shown = metrics.horizontalAdvance(m_fullText) <= room
        ? m_fullText
        : metrics.elidedText(m_fullText, Qt::ElideMiddle, room);
    if (shown != text())
        setText(shown);
}
