#include "limits/limitwatch.h"

#include <cmath>
#include <limits>

namespace {

const int SignificantDigits = 12;

} // namespace

QString LimitCrossing::stateName(State state)
{
    switch (state) {
    case State::Low: return QStringLiteral("low");
    case State::High: return QStringLiteral("high");
    case State::Ok: break;
    }
    return QStringLiteral("ok");
}

LimitWatch::LimitWatch(std::optional<double> low, std::optional<double> high, const QString &unit)
    : m_low(low), m_high(high), m_unit(unit), m_unitKnown(!unit.isEmpty())
{
}

double LimitWatch::rounded(double value)
{
    return numberText(value).toDouble();
}

QString LimitWatch::numberText(double value)
{
    // A reading of -0.000 is 0.
    return QString::number(value == 0 ? 0.0 : value, 'g', SignificantDigits);
}

std::optional<LimitCrossing> LimitWatch::check(const MeterReading &reading, const QDateTime &time)
{
    if (!isActive())
        return std::nullopt;
    const QString unit = MeterReading::unitScale(reading.unitText).baseUnit;
    if (!m_unitKnown && (reading.kind == MeterReading::Kind::Overload || reading.baseValue())) {
        m_unit = unit;
        m_unitKnown = true;
    }
    std::optional<LimitCrossing> where = judge(reading, time);
    if (!where || where->state == m_state)
        return std::nullopt;
    m_state = where->state;
    return where;
}

std::optional<LimitCrossing> LimitWatch::judge(const MeterReading &reading, const QDateTime &time) const
{
    if (!isActive())
        return std::nullopt;
    const bool overload = reading.kind == MeterReading::Kind::Overload;
    const std::optional<double> base = reading.baseValue();
    if (!overload && !base)
        return std::nullopt;
    const QString unit = MeterReading::unitScale(reading.unitText).baseUnit;
    if (!m_unitKnown || unit != m_unit)
        return std::nullopt;

    const double infinity = std::numeric_limits<double>::infinity();
    const double value = overload ? (reading.negative ? -infinity : infinity) : rounded(*base);
    LimitCrossing where;
    if (m_high && value > *m_high)
        where.state = State::High;
    else if (m_low && value < *m_low)
        where.state = State::Low;
    if (overload) {
        where.valueText = reading.negative ? QStringLiteral("-OL") : QStringLiteral("OL");
    } else {
        where.value = value;
        where.valueText = numberText(value);
    }
    where.unit = unit;
    where.time = time;
    return where;
}
