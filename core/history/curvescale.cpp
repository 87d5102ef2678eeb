#include "history/curvescale.h"

#include "meter/meterreading.h"
#include "history/readinghistory.h"

double CurveScale::plotted(double value, const QString &unitText, const QString &functionText,
                           bool isMark)
{
    if (functionText != m_functionText) {
        m_functionText = functionText;
        m_hasUnit = false;
    }
    if (isMark)
        return value;

    if (m_hasUnit) {
        if (const std::optional<double> inUnit = ReadingHistory::inUnit(value, unitText, m_unit))
            return *inUnit;
    }
    // The first value, or a unit of another kind (℃ after ℉), which cannot be
    // converted by a factor: it starts the scale afresh.
    const MeterReading::UnitScale scale = MeterReading::unitScale(unitText);
    m_hasUnit = true;
    m_unit = unitText;
    m_baseUnit = scale.baseUnit;
    m_factor = scale.factor;
    return value;
}
