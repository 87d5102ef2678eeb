#include "metersimulator.h"

#include "meter/meterprotocol.h"
#include "meter/commandrecord.h"

#include <cmath>
#include <limits>

namespace {

const double Pi = 3.14159265358979323846;
const double SlowDriftPeriodS = 60.0;
const double FastDriftPeriodS = 17.0;
const int DefaultVersion = 2;
const int NcvLevels = 5; // EF, then one to four dashes

// One range of a function: the unit shown, display units per base unit, the
// digits after the point, and the largest count it can show.
struct Range {
    const char *unit;
    double factor;
    int decimals;
    int maxCounts;
};

const Range VoltRanges[] = {{"mV", 1e3, 1, 6000}, {"V", 1, 3, 6000}, {"V", 1, 2, 6000},
                            {"V", 1, 1, 6000},    {"V", 1, 0, 1000}};
const Range AmpRanges[] = {{"A", 1, 3, 6000}, {"A", 1, 2, 1000}};
const Range MilliAmpRanges[] = {{"mA", 1e3, 2, 6000}, {"mA", 1e3, 1, 6000}};
const Range MicroAmpRanges[] = {{"uA", 1e6, 1, 6000}, {"uA", 1e6, 0, 6000}};
const Range OhmRanges[] = {{"Ω", 1, 1, 6000},    {"kΩ", 1e-3, 3, 6000}, {"kΩ", 1e-3, 2, 6000},
                           {"kΩ", 1e-3, 1, 6000}, {"MΩ", 1e-6, 3, 6000}, {"MΩ", 1e-6, 2, 6000}};
const Range CapRanges[] = {{"nF", 1e9, 2, 6000}, {"nF", 1e9, 1, 6000}, {"uF", 1e6, 3, 6000},
                           {"uF", 1e6, 2, 6000}, {"uF", 1e6, 1, 6000}, {"mF", 1e3, 3, 6000},
                           {"mF", 1e3, 2, 6000}, {"F", 1, 3, 6000}};
const Range FreqRanges[] = {{"Hz", 1, 3, 9999},     {"Hz", 1, 2, 9999},     {"Hz", 1, 1, 9999},
                            {"kHz", 1e-3, 3, 9999}, {"kHz", 1e-3, 2, 9999}, {"kHz", 1e-3, 1, 9999},
                            {"MHz", 1e-6, 3, 9999}};
const Range DutyRanges[] = {{"%", 1, 1, 1000}};
const Range CelsiusRanges[] = {{"℃", 1, 1, 9999}};
const Range FahrenheitRanges[] = {{"℉", 1, 1, 9999}};
const Range HfeRanges[] = {{"", 1, 0, 9999}};
const Range DiodeRanges[] = {{"V", 1, 3, 3000}};
const Range BeepRanges[] = {{"Ω", 1, 1, 6000}};

enum class Special { None, Ncv, Live };

struct Function {
    const char *name;
    const Range *ranges;
    int rangeCount;
    double base;      // what it measures, in base units (V, A, Ω, F, Hz, %, degrees)
    double drift;     // slow swing, relative to the base
    double noise;     // jitter, relative to the base
    bool dc, ac, dio, beep, hfe;
    Special special;
    double lightningAbove; // high-voltage symbol from this magnitude on; 0: never
    const char *selectNext; // the function SELECT moves to
};

template <int N>
constexpr int countOf(const Range (&)[N])
{
    return N;
}

#define RANGES(table) table, countOf(table)

const Function Functions[] = {
    {"DCV", RANGES(VoltRanges), 3.3, 0.05, 0.002, true, false, false, false, false, Special::None, 30, "ACV"},
    {"ACV", RANGES(VoltRanges), 230, 0.02, 0.003, false, true, false, false, false, Special::None, 30, "DCV"},
    {"DCA", RANGES(AmpRanges), 1.25, 0.08, 0.004, true, false, false, false, false, Special::None, 0, "ACA"},
    {"ACA", RANGES(AmpRanges), 2.4, 0.05, 0.004, false, true, false, false, false, Special::None, 0, "DCA"},
    {"DCmA", RANGES(MilliAmpRanges), 0.0425, 0.08, 0.004, true, false, false, false, false, Special::None, 0, "ACmA"},
    {"ACmA", RANGES(MilliAmpRanges), 0.12, 0.05, 0.004, false, true, false, false, false, Special::None, 0, "DCmA"},
    {"DCuA", RANGES(MicroAmpRanges), 235e-6, 0.08, 0.004, true, false, false, false, false, Special::None, 0, "ACuA"},
    {"ACuA", RANGES(MicroAmpRanges), 120e-6, 0.05, 0.004, false, true, false, false, false, Special::None, 0, "DCuA"},
    {"OHM", RANGES(OhmRanges), 220, 0.01, 0.001, false, false, false, false, false, Special::None, 0, "DIODE"},
    {"DIODE", RANGES(DiodeRanges), 0.612, 0.01, 0.001, false, false, true, false, false, Special::None, 0, "BEEP"},
    {"BEEP", RANGES(BeepRanges), 1.2, 0.05, 0.02, false, false, false, true, false, Special::None, 0, "CAP"},
    {"CAP", RANGES(CapRanges), 100e-9, 0.01, 0.002, false, false, false, false, false, Special::None, 0, "OHM"},
    {"HZ", RANGES(FreqRanges), 50, 0.002, 0.0005, false, false, false, false, false, Special::None, 0, "DUTY"},
    {"DUTY", RANGES(DutyRanges), 50, 0.02, 0.004, false, false, false, false, false, Special::None, 0, "HZ"},
    {"TEMPC", RANGES(CelsiusRanges), 23.5, 0.03, 0.002, false, false, false, false, false, Special::None, 0, "TEMPF"},
    {"TEMPF", RANGES(FahrenheitRanges), 74.3, 0.03, 0.002, false, false, false, false, false, Special::None, 0, "TEMPC"},
    {"HFE", RANGES(HfeRanges), 152, 0.02, 0.005, false, false, false, false, true, Special::None, 0, "HFE"},
    {"NCV", nullptr, 0, 0, 0, 0, false, false, false, false, false, Special::Ncv, 0, "LIVE"},
    {"LIVE", nullptr, 0, 0, 0, 0, false, false, false, false, false, Special::Live, 0, "NCV"},
};
const int FunctionCount = int(sizeof(Functions) / sizeof(Functions[0]));

int functionIndex(const char *name)
{
    for (int i = 0; i < FunctionCount; ++i) {
        if (qstrcmp(Functions[i].name, name) == 0)
            return i;
    }
    return 0;
}

const double DefaultBase = std::numeric_limits<double>::quiet_NaN();
const double Open = std::numeric_limits<double>::infinity();

struct Scenario {
    const char *name;
    const char *description;
    const char *function;
    double base; // NaN: the function's own
    bool hold, rel;
    int maxMin; // 0 off, 1 MAX, 2 MIN
    bool manualRange, apo, bat;
    int version; // byte 18
};

const Scenario Scenarios[] = {
    {"dcv", "DC voltage drifting slowly around 3.3 V, with noise (the default)", "DCV", DefaultBase, false, false, 0, false, false, false, 2},
    {"mv", "DC millivolts, around 123 mV", "DCV", 0.1234, false, false, 0, false, false, false, 2},
    {"negative", "negative DC voltage, around -4.5 V (minus sign)", "DCV", -4.5, false, false, 0, false, false, false, 2},
    {"acv", "mains AC voltage, 230 V, with the lightning symbol", "ACV", DefaultBase, false, false, 0, false, false, false, 2},
    {"dca", "DC current in A", "DCA", DefaultBase, false, false, 0, false, false, false, 2},
    {"aca", "AC current in A", "ACA", DefaultBase, false, false, 0, false, false, false, 2},
    {"ma", "DC current in mA", "DCmA", DefaultBase, false, false, 0, false, false, false, 2},
    {"ua", "DC current in uA", "DCuA", DefaultBase, false, false, 0, false, false, false, 2},
    {"ohm", "resistance in Ω, 220 Ω", "OHM", DefaultBase, false, false, 0, false, false, false, 2},
    {"kohm", "resistance in kΩ, 4.7 kΩ", "OHM", 4700, false, false, 0, false, false, false, 2},
    {"mohm", "resistance in MΩ, 2.2 MΩ", "OHM", 2.2e6, false, false, 0, false, false, false, 2},
    {"overload", "open leads on resistance: the overload display 0.L", "OHM", Open, false, false, 0, false, false, false, 2},
    {"nf", "capacitance in nF, 100 nF", "CAP", DefaultBase, false, false, 0, false, false, false, 2},
    {"uf", "capacitance in uF, 47 uF", "CAP", 47e-6, false, false, 0, false, false, false, 2},
    {"mf", "capacitance in mF, 2.2 mF", "CAP", 2.2e-3, false, false, 0, false, false, false, 2},
    {"farad", "capacitance in F, 1.5 F", "CAP", 1.5, false, false, 0, false, false, false, 2},
    {"hz", "frequency in Hz, 50 Hz", "HZ", DefaultBase, false, false, 0, false, false, false, 2},
    {"khz", "frequency in kHz, 32.77 kHz", "HZ", 32768, false, false, 0, false, false, false, 2},
    {"mhz", "frequency in MHz, 8 MHz", "HZ", 8e6, false, false, 0, false, false, false, 2},
    {"duty", "duty cycle in %", "DUTY", DefaultBase, false, false, 0, false, false, false, 2},
    {"tempc", "temperature in ℃", "TEMPC", DefaultBase, false, false, 0, false, false, false, 2},
    {"tempf", "temperature in ℉", "TEMPF", DefaultBase, false, false, 0, false, false, false, 2},
    {"hfe", "transistor gain (hFE)", "HFE", DefaultBase, false, false, 0, false, false, false, 2},
    {"diode", "diode test (DIO), 0.612 V", "DIODE", DefaultBase, false, false, 0, false, false, false, 2},
    {"beep", "continuity (BEEP), 1.2 Ω", "BEEP", DefaultBase, false, false, 0, false, false, false, 2},
    {"ncv", "non-contact voltage: EF, then one to four dashes", "NCV", DefaultBase, false, false, 0, false, false, false, 2},
    {"live", "live-wire detection: LIVE", "LIVE", DefaultBase, false, false, 0, false, false, false, 2},
    {"hold", "DC voltage frozen by HOLD", "DCV", DefaultBase, true, false, 0, false, false, false, 2},
    {"rel", "DC voltage relative to the first reading (REL)", "DCV", DefaultBase, false, true, 0, false, false, false, 2},
    {"max", "DC voltage, MAX shown", "DCV", DefaultBase, false, false, 1, false, false, false, 2},
    {"min", "DC voltage, MIN shown", "DCV", DefaultBase, false, false, 2, false, false, false, 2},
    {"range", "DC voltage in manual range (Range lit, AUTO off)", "DCV", DefaultBase, false, false, 0, true, false, false, 2},
    {"apo", "DC voltage with APO (auto power off) lit", "DCV", DefaultBase, false, false, 0, false, true, false, 2},
    {"bat", "DC voltage with BAT (low battery) lit", "DCV", DefaultBase, false, false, 0, false, false, true, 2},
    {"lightning", "DC voltage of 48 V: the lightning symbol", "DCV", 48, false, false, 0, false, false, false, 2},
    {"v1", "version byte 1 (V1.0, the meter without bar graph)", "DCV", DefaultBase, false, false, 0, false, false, false, 1},
    {"v2", "version byte 2 (V2.0)", "DCV", DefaultBase, false, false, 0, false, false, false, 2},
    {"v4", "version byte 4 (V3.0)", "DCV", DefaultBase, false, false, 0, false, false, false, 4},
    {"v8", "version byte 8 (V4.0)", "DCV", DefaultBase, false, false, 0, false, false, false, 8},
};
const int ScenarioCount = int(sizeof(Scenarios) / sizeof(Scenarios[0]));
const char TourName[] = "tour";

QString keyName(quint8 keyCode)
{
    switch (keyCode) {
    case MeterKey::Select: return QStringLiteral("SELECT");
    case MeterKey::MaxMin: return QStringLiteral("MAX/MIN");
    case MeterKey::ExitMaxMin: return QStringLiteral("EXIT MAX/MIN");
    case MeterKey::HzDuty: return QStringLiteral("Hz/DUTY");
    case MeterKey::Hold: return QStringLiteral("HOLD");
    case MeterKey::Light: return QStringLiteral("LIGHT");
    case MeterKey::ExitRange: return QStringLiteral("EXIT RANGE");
    case MeterKey::Range: return QStringLiteral("RANGE");
    case MeterKey::Rel: return QStringLiteral("REL");
    default: return QStringLiteral("key 0x%1").arg(keyCode, 2, 16, QLatin1Char('0'));
    }
}

QString hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

} // namespace

MeterSimulator::MeterSimulator(quint32 seed)
    : m_random(seed)
{
    applyScenario(0);
}

QStringList MeterSimulator::scenarioNames()
{
    QStringList names;
    for (const Scenario &scenario : Scenarios)
        names << QString::fromLatin1(scenario.name);
    names << QString::fromLatin1(TourName);
    return names;
}

QString MeterSimulator::scenarioDescription(const QString &name)
{
    if (name == QLatin1String(TourName))
        return QStringLiteral("walks through all the scenarios above, one after the other");
    for (const Scenario &scenario : Scenarios) {
        if (name == QLatin1String(scenario.name))
            return QString::fromUtf8(scenario.description);
    }
    return QString();
}

bool MeterSimulator::setScenario(const QString &name)
{
    if (name == QLatin1String(TourName)) {
        m_tour = true;
        applyScenario(0);
        return true;
    }
    for (int i = 0; i < ScenarioCount; ++i) {
        if (name == QLatin1String(Scenarios[i].name)) {
            m_tour = false;
            applyScenario(i);
            return true;
        }
    }
    return false;
}

QString MeterSimulator::scenarioName() const
{
    return QString::fromLatin1(m_tour ? TourName : Scenarios[m_scenario].name);
}

QString MeterSimulator::functionName() const
{
    return QString::fromLatin1(Functions[m_function].name);
}

void MeterSimulator::setFramesPerSecond(double rate)
{
    if (rate > 0)
        m_rate = rate;
}

void MeterSimulator::setTourFrames(int framesPerScenario)
{
    if (framesPerScenario > 0)
        m_tourFrames = framesPerScenario;
}

void MeterSimulator::setFaults(const Faults &faults)
{
    m_faults = faults;
}

void MeterSimulator::setStartFlags(const StartFlags &flags)
{
    m_startFlags = flags;
    applyScenario(m_scenario);
}

void MeterSimulator::applyScenario(int index)
{
    m_scenario = index;
    const Scenario &scenario = Scenarios[index];
    switchFunction(functionIndex(scenario.function), scenario.base);
    m_hold = false;
    m_freezeNext = scenario.hold || m_startFlags.hold;
    m_relFromNext = scenario.rel || m_startFlags.rel;
    const int maxMin = m_startFlags.max ? 1 : m_startFlags.min ? 2 : scenario.maxMin;
    m_maxMin = maxMin == 1 ? MaxMin::Max : maxMin == 2 ? MaxMin::Min : MaxMin::Off;
    m_maxMinFresh = true;
    m_autoRange = !(scenario.manualRange || m_startFlags.manualRange);
    m_rangeIndex = -1; // manual from the start: the range the first reading needs
}

void MeterSimulator::switchFunction(int index, double base)
{
    m_function = index;
    m_base = std::isnan(base) ? Functions[index].base : base;
    m_rel = false;
    m_relFromNext = false;
    m_maxMin = MaxMin::Off;
    m_autoRange = true;
    m_rangeIndex = 0;
    m_shownRange = 0;
}

double MeterSimulator::uniform(double low, double high)
{
    return std::uniform_real_distribution<double>(low, high)(m_random);
}

double MeterSimulator::measure()
{
    const Function &function = Functions[m_function];
    if (!std::isfinite(m_base))
        return m_base;
    const double t = m_frameCount / m_rate;
    const double swing = std::sin(2 * Pi * t / SlowDriftPeriodS)
        + 0.4 * std::sin(2 * Pi * t / FastDriftPeriodS);
    return m_base * (1.0 + function.drift * swing + function.noise * uniform(-1.0, 1.0));
}

MeterDisplay MeterSimulator::format(double shown, double measured)
{
    const Function &function = Functions[m_function];
    MeterDisplay display;
    display.dc = function.dc;
    display.ac = function.ac;
    display.dio = function.dio;
    display.beep = function.beep;
    display.hfe = function.hfe;

    if (function.special == Special::Ncv) {
        // The field strength wanders up and down: EF, then dashes.
        m_ncvLevel = qBound(0, m_ncvLevel + int(std::uniform_int_distribution<int>(-1, 1)(m_random)),
                            NcvLevels - 1);
        display.digits = m_ncvLevel == 0 ? QStringLiteral("EF")
                                         : QString(m_ncvLevel, QLatin1Char('-'));
    } else if (function.special == Special::Live) {
        display.digits = QStringLiteral("LIVE");
    } else {
        const double magnitude = std::fabs(shown);
        auto countsIn = [magnitude](const Range &range) {
            return magnitude * range.factor * std::pow(10.0, range.decimals);
        };
        int range = function.rangeCount - 1;
        if (m_autoRange || m_rangeIndex < 0) {
            for (int i = 0; i < function.rangeCount; ++i) {
                if (std::isfinite(magnitude) && std::llround(countsIn(function.ranges[i]))
                        <= function.ranges[i].maxCounts) {
                    range = i;
                    break;
                }
            }
            if (m_rangeIndex < 0)
                m_rangeIndex = range;
        } else {
            range = m_rangeIndex;
        }
        m_shownRange = range;
        const Range &r = function.ranges[range];
        display.unit = QString::fromUtf8(r.unit);
        const double counts = countsIn(r);
        if (!std::isfinite(counts) || std::llround(counts) > r.maxCounts) {
            display.digits = QStringLiteral(" 0.L "); // the meter's overload display
        } else {
            const qint64 whole = std::llround(counts);
            QString text = QString::number(whole).rightJustified(4, QLatin1Char('0'));
            if (r.decimals > 0)
                text.insert(text.size() - r.decimals, QLatin1Char('.'));
            display.digits = text;
            display.minus = shown < 0 && whole != 0;
        }
        display.autoRange = m_autoRange && function.rangeCount > 1;
        display.range = !m_autoRange && function.rangeCount > 1;
    }

    display.lightning = m_startFlags.lightning
        || (function.lightningAbove > 0 && std::fabs(measured) >= function.lightningAbove);
    display.rel = m_rel;
    display.max = m_maxMin == MaxMin::Max;
    display.min = m_maxMin == MaxMin::Min;
    display.apo = Scenarios[m_scenario].apo || m_startFlags.apo;
    display.bat = Scenarios[m_scenario].bat || m_startFlags.bat;
    display.version = quint8(m_startFlags.version >= 0 ? m_startFlags.version
                                                       : Scenarios[m_scenario].version);
    return display;
}

MeterDisplay MeterSimulator::nextDisplay()
{
    if (m_tour && m_frameCount > 0 && m_frameCount % m_tourFrames == 0)
        applyScenario((m_scenario + 1) % ScenarioCount);
    ++m_frameCount;

    const double measured = measure();
    m_lastMeasured = measured;
    if (m_hold) {
        MeterDisplay held = m_heldDisplay;
        held.hold = true;
        return held;
    }
    if (m_relFromNext) {
        m_rel = true;
        m_relFromNext = false;
        m_relReference = measured;
    }
    double shown = m_rel ? measured - m_relReference : measured;
    if (m_maxMin != MaxMin::Off) {
        if (m_maxMinFresh) {
            m_max = m_min = shown;
            m_maxMinFresh = false;
        }
        m_max = std::max(m_max, shown);
        m_min = std::min(m_min, shown);
        shown = m_maxMin == MaxMin::Max ? m_max : m_min;
    }
    MeterDisplay display = format(shown, measured);
    m_lastDisplay = display;
    if (m_freezeNext) {
        m_freezeNext = false;
        m_hold = true;
        m_heldDisplay = display;
        display.hold = true;
    }
    return display;
}

QByteArray MeterSimulator::nextFrame()
{
    const MeterDisplay display = nextDisplay();
    QByteArray frame;
    if (!encodeFrame(display, &frame)) {
        // Every display built above can be shown; keep the line alive anyway.
        MeterDisplay blank;
        blank.version = display.version;
        encodeFrame(blank, &frame);
    }
    m_lastFrame = frame;
    return frame;
}

QList<QByteArray> MeterSimulator::nextWrites()
{
    QByteArray frame = nextFrame();
    if (m_faults.badChecksumEvery > 0 && m_frameCount % m_faults.badChecksumEvery == 0)
        frame[MeterProtocol::ChecksumByte] = char(quint8(frame.at(MeterProtocol::ChecksumByte)) ^ 0x5A);

    QList<QByteArray> writes;
    if (m_faults.split) {
        const int pieces = std::uniform_int_distribution<int>(2, 3)(m_random);
        int start = 0;
        for (int i = 1; i < pieces; ++i) {
            const int end = std::uniform_int_distribution<int>(start + 1,
                                                               frame.size() - (pieces - i))(m_random);
            writes << frame.mid(start, end - start);
            start = end;
        }
        writes << frame.mid(start);
    } else {
        writes << frame;
    }

    if (m_faults.garbageMaxBytes > 0) {
        const int count = std::uniform_int_distribution<int>(1, m_faults.garbageMaxBytes)(m_random);
        QByteArray garbage;
        for (int i = 0; i < count; ++i) {
            int byte = std::uniform_int_distribution<int>(0, 254)(m_random);
            if (byte >= MeterProtocol::FrameStart)
                ++byte; // line noise, but never a start byte
            garbage.append(char(byte));
        }
        writes << garbage;
    }
    return writes;
}

QStringList MeterSimulator::receive(const QByteArray &bytes)
{
    QStringList log;
    m_rx.append(bytes);
    while (!m_rx.isEmpty()) {
        const int start = m_rx.indexOf(CommandStartByte);
        if (start < 0) {
            log << QStringLiteral("stray bytes: %1").arg(hexBytes(m_rx));
            m_rx.clear();
            break;
        }
        if (start > 0) {
            log << QStringLiteral("stray bytes: %1").arg(hexBytes(m_rx.left(start)));
            m_rx.remove(0, start);
        }
        if (m_rx.size() < CommandRecordLength)
            break; // the rest of the record is still on its way
        const QByteArray record = m_rx.left(CommandRecordLength);
        quint8 key = 0;
        if (parseCommandRecord(record, &key)) {
            log << QStringLiteral("received %1: %2").arg(hexBytes(record), pressKey(key));
            m_rx.remove(0, CommandRecordLength);
        } else {
            log << QStringLiteral("bad record %1 (wrong checksum), skipped").arg(hexBytes(record));
            m_rx.remove(0, 1);
        }
    }
    return log;
}

QString MeterSimulator::pressKey(quint8 keyCode)
{
    const Function &function = Functions[m_function];
    if (m_hold && keyCode != MeterKey::Hold && keyCode != MeterKey::Light)
        return QStringLiteral("%1 ignored while HOLD is on").arg(keyName(keyCode));

    switch (keyCode) {
    case MeterKey::Select: {
        const QString from = functionName();
        switchFunction(functionIndex(function.selectNext), DefaultBase);
        m_hzDutyReturn = -1;
        return QStringLiteral("SELECT: %1 -> %2").arg(from, functionName());
    }
    case MeterKey::HzDuty: {
        const QString from = functionName();
        const int hz = functionIndex("HZ");
        const int duty = functionIndex("DUTY");
        if (m_function == hz) {
            switchFunction(duty, DefaultBase);
        } else if (m_function == duty && m_hzDutyReturn >= 0) {
            switchFunction(m_hzDutyReturn, DefaultBase);
            m_hzDutyReturn = -1;
        } else if (m_function == duty) {
            switchFunction(hz, DefaultBase);
        } else if (function.special == Special::None && function.rangeCount > 0) {
            m_hzDutyReturn = m_function;
            switchFunction(hz, DefaultBase);
        } else {
            return QStringLiteral("Hz/DUTY: not in %1").arg(from);
        }
        return QStringLiteral("Hz/DUTY: %1 -> %2").arg(from, functionName());
    }
    case MeterKey::MaxMin:
        if (function.special != Special::None)
            return QStringLiteral("MAX/MIN: not in %1").arg(functionName());
        if (m_maxMin == MaxMin::Off)
            m_maxMinFresh = true;
        m_maxMin = m_maxMin == MaxMin::Max ? MaxMin::Min : MaxMin::Max;
        return m_maxMin == MaxMin::Max ? QStringLiteral("MAX/MIN: MAX") : QStringLiteral("MAX/MIN: MIN");
    case MeterKey::ExitMaxMin:
        m_maxMin = MaxMin::Off;
        return QStringLiteral("EXIT MAX/MIN");
    case MeterKey::Hold:
        m_hold = !m_hold;
        m_heldDisplay = m_lastDisplay;
        return m_hold ? QStringLiteral("HOLD on") : QStringLiteral("HOLD off");
    case MeterKey::Light:
        m_backlight = !m_backlight;
        return m_backlight ? QStringLiteral("LIGHT: backlight on") : QStringLiteral("LIGHT: backlight off");
    case MeterKey::ExitRange:
        m_autoRange = true;
        return QStringLiteral("EXIT RANGE: AUTO");
    case MeterKey::Range:
        if (function.rangeCount < 2)
            return QStringLiteral("RANGE: %1 has one range").arg(functionName());
        if (m_autoRange) {
            m_autoRange = false;
            m_rangeIndex = m_shownRange;
        } else {
            m_rangeIndex = (m_rangeIndex + 1) % function.rangeCount;
        }
        return QStringLiteral("RANGE: manual, range %1 (%2)")
            .arg(m_rangeIndex + 1)
            .arg(QString::fromUtf8(function.ranges[m_rangeIndex].unit));
    case MeterKey::Rel:
        if (function.special != Special::None)
            return QStringLiteral("REL: not in %1").arg(functionName());
        m_rel = !m_rel;
        m_relFromNext = false;
        m_relReference = m_lastMeasured;
        return m_rel ? QStringLiteral("REL on") : QStringLiteral("REL off");
    default:
        return QStringLiteral("unknown %1").arg(keyName(keyCode));
    }
}
