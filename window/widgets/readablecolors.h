#ifndef READABLECOLORS_H
#define READABLECOLORS_H

#include <QColor>
#include <QString>

QT_BEGIN_NAMESPACE
class QPalette;
QT_END_NAMESPACE

// Text colours that stay readable whatever the desktop's palette.
namespace ReadableColors {

// The contrast between two colours as the Web Content Accessibility
// Guidelines define it: 1 (none) to 21 (black on white); 4.5 reads well.
double contrastRatio(const QColor &a, const QColor &b);

// The dark red of an alarm on a light background; a light red on a dark one.
QColor alarm(const QPalette &palette);

// A style sheet's "color: …;" for text in the alarm colour, bold.
QString alarmStyleSheet(const QPalette &palette);

} // namespace ReadableColors

#endif // READABLECOLORS_H
