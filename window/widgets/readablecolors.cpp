#include "widgets/readablecolors.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace ReadableColors {

namespace {

const QColor DarkAlarm(170, 0, 0);
const QColor LightAlarm(0xff, 0x8c, 0x8c);

double channel(double value)
{
    return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double luminance(const QColor &colour)
{
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF())
        + 0.0722 * channel(colour.blueF());
}

} // namespace

double contrastRatio(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor alarm(const QPalette &palette)
{
    const QColor background = palette.color(QPalette::Window);
    return contrastRatio(DarkAlarm, background) >= contrastRatio(LightAlarm, background) ? DarkAlarm
                                                                                          : LightAlarm;
}

QString alarmStyleSheet(const QPalette &palette)
{
    return QStringLiteral("color: %1; font-weight: bold;").arg(alarm(palette).name());
}

} // namespace ReadableColors
