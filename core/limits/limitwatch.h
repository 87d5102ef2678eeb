#ifndef LIMITWATCH_H
#define LIMITWATCH_H

#include "meter/meterreading.h"

#include <QDateTime>
#include <QString>

#include <optional>

// A reading that left the range between the low and high limit, or came back
// into it.
struct LimitCrossing {
    enum class State { Ok, Low, High };

    State state = State::Ok;
    // The reading in `unit`; empty for an overload.
    std::optional<double> value;
    // "5.234", "2190000"; "OL" or "-OL" for an overload.
    QString valueText;
    // The unit without its prefix: "V" for mV, V and kV readings alike.
    QString unit;
    QDateTime time;

    // "ok", "low", "high"
    static QString stateName(State state);
    QString stateName() const { return stateName(state); }
};

// Watches readings against a low and a high limit (either may be left out),
// given in the unit without its prefix (--high 5.1 for volts), and tells each
// change between below, within and above the range once: a run of readings
// outside gives one crossing, the first one back another. Both limits belong
// to the range (a reading equal to the high limit is within it), and the
// watch starts within it, so a first reading outside is a crossing.
//
// - The limits apply to readings in one unit: the one given, or else the unit
//   of the first reading watched. Readings in any other unit (the dial turned
//   from volts to ohms) are passed over and leave the state as it was.
// - An overload ("0.L") is beyond the meter's range on the side of its sign:
//   above any high limit, or below any low limit when the minus is lit.
// - Readings without a number and no overload (a detector display, a blank
//   display) say nothing about the range and leave the state as it was.
//
// QtCore only: the recorder and the window share it.
class LimitWatch
{
public:
    using State = LimitCrossing::State;

    // No limits: never a crossing.
    LimitWatch() = default;
    // `unit` without a prefix ("V"); empty: the first reading's.
    LimitWatch(std::optional<double> low, std::optional<double> high, const QString &unit = QString());

    bool isActive() const { return m_low || m_high; }
    std::optional<double> low() const { return m_low; }
    std::optional<double> high() const { return m_high; }
    // The unit the limits apply to; empty while no reading has named it.
    QString unit() const { return m_unit; }
    State state() const { return m_state; }

    // The crossing this reading makes, if it makes one.
    std::optional<LimitCrossing> check(const MeterReading &reading, const QDateTime &time);
    // Where this reading stands (state, value, unit), without changing the
    // watch; empty for a reading it passes over.
    std::optional<LimitCrossing> judge(const MeterReading &reading, const QDateTime &time) const;

    // A number as the crossings give it: at most 12 significant digits, so
    // that 5100 mV is 5.1 V exactly and not a hair above it.
    static double rounded(double value);
    static QString numberText(double value);

private:
    std::optional<double> m_low, m_high;
    QString m_unit;
    bool m_unitKnown = false;
    State m_state = State::Ok;
};

#endif // LIMITWATCH_H
