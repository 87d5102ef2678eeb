#ifndef LIMITKEEPER_H
#define LIMITKEEPER_H

#include "config/appconfig.h"
#include "limits/limitwatch.h"
#include "meter/recordedreading.h"

#include <QObject>

// The window's limits: the user's settings ([Limits] in config.ini, in the
// unit they were typed in) turned into a LimitWatch in the unit without its
// prefix, the rule the recorder's --low and --high use, fed with every
// reading the table receives.
class LimitKeeper : public QObject
{
    Q_OBJECT
public:
    explicit LimitKeeper(QObject *parent = nullptr);

    void setSettings(const AppConfig::LimitSettings &settings);
    const AppConfig::LimitSettings &settings() const { return m_settings; }
    // The limits in the unit without prefix ("V" for limits typed in mV);
    // both empty while the limits are off.
    std::optional<double> low() const { return m_watch.low(); }
    std::optional<double> high() const { return m_watch.high(); }
    QString unit() const { return m_watch.unit(); }
    bool isOutside() const { return m_watch.state() != LimitWatch::State::Ok; }

    void addReading(const RecordedReading &recorded);
    // A new run begins: the watch starts within the range again.
    void beginRun();

signals:
    void crossed(const LimitCrossing &crossing);
    // The crossing was out of the range (not from one side to the other).
    void leftRange(const LimitCrossing &crossing);
    // A reading judged outside the limits (n: its number in the run; where:
    // its side, value and unit).
    void readingOutside(qint64 n, const LimitCrossing &where);
    // Other limits, or none.
    void limitsChanged();

private:
    void rebuild();

    AppConfig::LimitSettings m_settings;
    LimitWatch m_watch;
};

#endif // LIMITKEEPER_H
