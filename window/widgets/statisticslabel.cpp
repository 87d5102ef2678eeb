#include "widgets/statisticslabel.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace {

// The meter shows four digits; a fifth keeps a mean or a spread honest.
const int SignificantDigits = 5;
const int MinimumChars = 16;
// The width it asks for: the status bar gives it the room the others leave
// (it stretches), so the journal's file name is cut last.
const int PreferredChars = 24;

} // namespace

// 2.2 MΩ kept in Ω is 2200000, not 2.2e+06.
QString StatisticsLabel::numberText(double value)
{
    const double size = std::fabs(value);
    if (size == 0 || size >= 1e12 || size < 1e-6)
        return QString::number(value, 'g', SignificantDigits);
    const int decimals = std::clamp(SignificantDigits - 1 - int(std::floor(std::log10(size))), 0, 9);
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0')))
            text.chop(1);
        if (text.endsWith(QLatin1Char('.')))
            text.chop(1);
    }
    return text;
}

StatisticsLabel::StatisticsLabel(QWidget *parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("statisticsLabel"));
    refresh();
}

void StatisticsLabel::addReading(const RecordedReading &recorded)
{
    const MeterReading &reading = recorded.reading;
    m_statistics.add(reading.functionText, reading.unitText, reading.number());
    refresh();
}

void StatisticsLabel::reset()
{
    m_statistics.reset();
    refresh();
}

QString StatisticsLabel::shortText(const QString &function, const QString &unit,
                                   const ReadingStatistics &figures)
{
    if (figures.isEmpty())
        return function.isEmpty() ? tr("No readings yet") : tr("%1  no numbers yet").arg(function);
    QString text = tr("%1  n %2  min %3  max %4  mean %5  sd %6")
                       .arg(function)
                       .arg(figures.count())
                       .arg(numberText(figures.minimum()), numberText(figures.maximum()),
                            numberText(figures.mean()), numberText(figures.standardDeviation()));
    if (!unit.isEmpty())
        text += QLatin1Char(' ') + unit;
    return text;
}

QString StatisticsLabel::fullText(const QString &function, const QString &unit,
                                  const ReadingStatistics &figures, const QString &over)
{
    if (figures.isEmpty())
        return tr("No readings with a number %1").arg(over);
    const QString suffix = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    return tr("%1 %2\nCount: %3\nMinimum: %4\nMaximum: %5\nMean: %6\nStandard deviation: %7")
        .arg(function, over)
        .arg(figures.count())
        .arg(numberText(figures.minimum()) + suffix, numberText(figures.maximum()) + suffix,
             numberText(figures.mean()) + suffix, numberText(figures.standardDeviation()) + suffix);
}

void StatisticsLabel::refresh()
{
    const ReadingStatistics &figures = m_statistics.current();
    m_fullText = shortText(m_statistics.function(), m_statistics.unit(), figures);
    setToolTip(fullText(m_statistics.function(), m_statistics.unit(), figures,
                        tr("since the port was opened or the statistics were reset")));
    updateGeometry();
    fitText();
}

QSize StatisticsLabel::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    const int full = metrics.horizontalAdvance(m_fullText) + margins.left() + margins.right()
        + 2 * margin();
    return QSize(qMin(full, metrics.averageCharWidth() * PreferredChars), QLabel::sizeHint().height());
}

QSize StatisticsLabel::minimumSizeHint() const
{
    const QFontMetrics metrics(font());
    return QSize(qMin(metrics.averageCharWidth() * MinimumChars, sizeHint().width()),
                 QLabel::minimumSizeHint().height());
}

void StatisticsLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    fitText();
}

void StatisticsLabel::fitText()
{
    const QFontMetrics metrics(font());
    const int room = contentsRect().width();
    const QString shown = metrics.horizontalAdvance(m_fullText) <= room
        ? m_fullText
        : metrics.elidedText(m_fullText, Qt::ElideRight, room);
    if (shown != text())
        setText(shown);
}
