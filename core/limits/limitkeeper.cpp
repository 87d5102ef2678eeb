#include "limits/limitkeeper.h"

#include "history/readinghistory.h"

LimitKeeper::LimitKeeper(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<LimitCrossing>("LimitCrossing");
}

void LimitKeeper::setSettings(const AppConfig::LimitSettings &settings)
{
    m_settings = settings;
    rebuild();
    emit limitsChanged();
}

void LimitKeeper::rebuild()
{
    if (!m_settings.enabled || (!m_settings.low && !m_settings.high)) {
        m_watch = LimitWatch();
        return;
    }
    const MeterReading::UnitScale scale = MeterReading::unitScale(m_settings.unit);
    auto inBase = [&](const std::optional<double> &value) -> std::optional<double> {
        if (!value)
            return std::nullopt;
        return LimitWatch::rounded(
            ReadingHistory::inUnit(*value, m_settings.unit, scale.baseUnit).value_or(*value));
    };
    m_watch = LimitWatch(inBase(m_settings.low), inBase(m_settings.high), scale.baseUnit);
}

void LimitKeeper::addReading(const RecordedReading &recorded)
{
    if (!m_watch.isActive())
        return;
    const bool wasOutside = isOutside();
    if (const std::optional<LimitCrossing> crossing = m_watch.check(recorded.reading, recorded.time)) {
        emit crossed(*crossing);
        if (!wasOutside)
            emit leftRange(*crossing);
    }
    // A reading the watch passed over (another unit, a detector display)
    // leaves the state as it was but is not outside itself.
    const std::optional<LimitCrossing> where = m_watch.judge(recorded.reading, recorded.time);
    if (where && isOutside())
        emit readingOutside(recorded.n, *where);
}

void LimitKeeper::beginRun()
{
    rebuild();
}
