#ifndef METERSIMULATOR_H
#define METERSIMULATOR_H

#include "meter/frameencoder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <random>

// A handheld multimeter without the hardware: what it measures, how its
// display looks, how it reacts to the keys pressed over the line, and the
// faults a real line shows. No I/O here: the program around it moves bytes.
class MeterSimulator
{
public:
    // Faults put into the byte stream by nextWrites().
    struct Faults {
        int garbageMaxBytes = 0; // 1..N random bytes (never 0xA5) after each frame
        int badChecksumEvery = 0; // every Nth frame carries a wrong checksum
        bool split = false;       // each frame is written in two or three pieces
    };

    // Annunciators lit from the start (on top of the scenario's own).
    struct StartFlags {
        bool hold = false, rel = false, max = false, min = false, manualRange = false;
        bool apo = false, bat = false, lightning = false;
        int version = -1; // byte 18; -1: the scenario's (2 unless it says otherwise)
    };

    explicit MeterSimulator(quint32 seed = 1);

    // The scenarios, in tour order, with a line of description each.
    static QStringList scenarioNames();
    static QString scenarioDescription(const QString &name);
    // "tour" walks through all the others; false for an unknown name.
    bool setScenario(const QString &name);
    QString scenarioName() const;
    QString functionName() const;

    void setFramesPerSecond(double rate);
    void setTourFrames(int framesPerScenario);
    void setFaults(const Faults &faults);
    void setStartFlags(const StartFlags &flags);

    // The next display, one frame period later.
    MeterDisplay nextDisplay();
    // The next frame, valid and whole.
    QByteArray nextFrame();
    // The next frame as written to the line, with the faults applied: the
    // pieces to write one after the other.
    QList<QByteArray> nextWrites();
    // The last frame built, before any fault was applied to it.
    QByteArray lastFrame() const { return m_lastFrame; }
    int framesBuilt() const { return m_frameCount; }

    // Bytes received from the program: command records are checked and the
    // keys pressed. Returns one log line per record or stray bytes.
    QStringList receive(const QByteArray &bytes);
    // Presses one key; returns what the meter did.
    QString pressKey(quint8 keyCode);

    // The meter's current modes, for tests and logs.
    bool isHolding() const { return m_hold; }
    bool isRelative() const { return m_rel; }
    bool isAutoRange() const { return m_autoRange; }
    int rangeIndex() const { return m_rangeIndex; }
    int maxMinMode() const { return int(m_maxMin); }
    bool isBacklightOn() const { return m_backlight; }

private:
    enum class MaxMin { Off, Max, Min };

    void applyScenario(int index);
    void switchFunction(int functionIndex, double base);
    double measure();
    MeterDisplay format(double shown, double measured);
    double uniform(double low, double high);

    std::mt19937 m_random;
    double m_rate = 3.0;
    int m_tourFrames = 12;
    bool m_tour = false;
    int m_scenario = 0;
    int m_function = 0;
    double m_base = 0.0;
    int m_frameCount = 0;
    Faults m_faults;
    StartFlags m_startFlags;

    bool m_hold = false;
    MeterDisplay m_heldDisplay;
    bool m_freezeNext = false;
    bool m_rel = false;
    bool m_relFromNext = false;
    double m_relReference = 0.0;
    MaxMin m_maxMin = MaxMin::Off;
    bool m_maxMinFresh = true;
    double m_max = 0.0;
    double m_min = 0.0;
    bool m_autoRange = true;
    int m_rangeIndex = 0;
    int m_shownRange = 0;
    int m_hzDutyReturn = -1;
    bool m_backlight = false;
    int m_ncvLevel = 0;
    double m_lastMeasured = 0.0;
    MeterDisplay m_lastDisplay;
    QByteArray m_lastFrame;
    QByteArray m_rx;
};

#endif // METERSIMULATOR_H
