#ifndef CURVESCALE_H
#define CURVESCALE_H

#include <QString>

// The unit the curve plots in. The meter changes its range by itself, and the
// digits alone would draw 4.68 kΩ followed by 2.19 MΩ as a fall from 4.68 to
// 2.19. While the function stays the same, every reading is plotted in the
// unit of the first reading since the function changed: 4.68 kΩ then 2.19 MΩ
// plot as 4.68 and 2190.
class CurveScale
{
public:
    // The value to plot for `value`, shown in `unitText` while the meter is
    // in `functionText`. A mark (an overload or a detector display, which
    // has no value in any unit) is plotted as it is and chooses no unit.
    double plotted(double value, const QString &unitText, const QString &functionText,
                   bool isMark = false);

    // The unit the current function's values are plotted in, as a unit
    // without prefix and the factor of the plotted unit to it ("kΩ": "Ω",
    // 1000); an empty unit before a value chose one.
    QString baseUnit() const { return m_hasUnit ? m_baseUnit : QString(); }
    double factor() const { return m_factor; }

private:
    QString m_functionText;
    bool m_hasUnit = false; // a value since the function changed chose the unit
    QString m_unit;         // as the meter showed it ("kΩ")
    QString m_baseUnit;
    double m_factor = 1.0;
};

#endif // CURVESCALE_H
