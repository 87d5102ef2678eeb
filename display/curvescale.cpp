#include "curvescale.h"

#include "decoder/meterreading.h"

double CurveScale::plotted(double value, const QString &unitText, const QString &functionText,
                           bool isMark)
{
    if (functionText != m_functionText) {
        m_functionText = functionText;
        m_hasUnit = false;
    }
    if (isMark)
        return value;

    const MeterReading::UnitScale scale = MeterReading::unitScale(unitText);
    // A unit of another kind (℃ after ℉) cannot be converted by a factor:
    // it starts the scale afresh.
    if (!m_hasUnit || scale.baseUnit != m_baseUnit) {
        m_hasUnit = true;
        m_baseUnit = scale.baseUnit;
        m_factor = scale.factor;
        return value;
    }
    return value * (scale.factor / m_factor);
}
