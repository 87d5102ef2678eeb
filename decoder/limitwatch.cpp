#include "limitwatch.h"

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
    const bool overload = reading.kind == MeterReading::Kind::Overload;
    const std::optional<double> base = reading.baseValue();
    if (!overload && !base)
        return std::nullopt;
    const QString unit = MeterReading::unitScale(reading.unitText).baseUnit;
    if (!m_unitKnown) {
        m_unit = unit;
        m_unitKnown = true;
    } else if (unit != m_unit) {
        return std::nullopt;
    }

    const double infinity = std::numeric_limits<double>::infinity();
    const double value = overload ? (reading.negative ? -infinity : infinity) : rounded(*base);
    State state = State::Ok;
    if (m_high && value > *m_high)
        state = State::High;
    else if (m_low && value < *m_low)
        state = State::Low;
    if (state == m_state)
        return std::nullopt;
    m_state = state;

    LimitCrossing crossing;
    crossing.state = state;
    if (overload) {
        crossing.valueText = reading.negative ? QStringLiteral("-OL") : QStringLiteral("OL");
    } else {
        crossing.value = value;
        crossing.valueText = numberText(value);
    }
    crossing.unit = unit;
    crossing.time = time;
    return crossing;
}
