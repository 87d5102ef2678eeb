#ifndef METERREADING_H
#define METERREADING_H

// One reading of the meter, decoded from one frame: what the display shows
// and everything the program derives from it. A plain value, no widgets: the
// window shows it, the tests, the fuzzer and the recorder use it as it is.

#include "meter/meterprotocol.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

class MeterReading
{
public:
    // What the digits show, as the program recognises it.
    enum class Kind {
        Ordinary,  // a number (or digits that read as none: they count as 0)
        Overload,  // an "L" or an "E" on the digits, such as 0.L
        NcvField,  // EF without the minus sign: the non-contact voltage detector
        NcvDashes, // dashes without the minus sign: the detector, no field
        Live,      // LIVE: the live-wire detector
        Blank,     // every digit position dark
    };

    // The largest count the meter displays; readings beyond it are over range.
    static constexpr double FullScaleCounts = 6000.0;
    // What the curve plots for an overload or a detector display: beyond any
    // real reading, with the reading's sign.
    static constexpr double OverRangeMark = 7000.0;
    // The bar graph lights one step per 100 display counts.
    static constexpr double CountsPerBarStep = 100.0;

    // The reading of one frame, or nothing when the frame fails the check
    // (wrong length, start byte or checksum).
    static std::optional<MeterReading> fromFrame(const QByteArray &frameBytes);    // 20 raw bytes
    static std::optional<MeterReading> fromFrameText(const QByteArray &frameText);  // 40 hex characters

    QString valueText;         // as the meter's digits show it: "01.34", "0.L", "EF", "LIVE"
    bool negative = false;     // the minus annunciator is lit
    QString unitText;          // "V", "mA", "kΩ", "℃"; empty without a unit bit
    QString functionText;      // as the table shows it: "DC", "Resistance", "NCV", "LIVE"
    quint32 annunciators = 0;  // lit annunciators, MeterProtocol::annunciatorMask bits
    QString model, version;    // "DMM", "V2.0"; both empty for an unknown version byte
    bool withoutBarGraph = false; // the meter's version has no bar graph (version 1)
    Kind kind = Kind::Blank;

    bool isLit(MeterProtocol::Annunciator annunciator) const
    {
        return (annunciators & MeterProtocol::annunciatorMask(annunciator)) != 0;
    }
    // The non-contact voltage and live-wire displays: the bar graph means
    // nothing there and the curve is drawn over range.
    static bool isDetector(Kind kind)
    {
        return kind == Kind::NcvField || kind == Kind::NcvDashes || kind == Kind::Live;
    }
    bool isDetector() const { return isDetector(kind); }
    // EF or dashes with the minus sign lit are not the detector; the bar
    // graph is left as it was rather than shown.
    bool keepsBarGraphAsItWas() const;

    // The table's "Numeric value" cell: the digits with the sign in front.
    QString tableValueText() const;
    // The big digits of the panel: the digits as shown, except that a
    // temperature reads as a plain number without leading zeros.
    QString panelText() const;
    // The plain number in the unit shown; empty for overload, NCV, LIVE,
    // blank digits and digits that are not a number.
    std::optional<double> number() const;
    // A unit taken apart into its prefix and the unit without it: "kΩ" is
    // 1000 Ω, "uA" 0.000001 A, "V" 1 V; a unit without a prefix ("℃", "%",
    // "") is itself with the factor 1.
    struct UnitScale {
        QString baseUnit;
        double factor = 1.0;
    };
    static UnitScale unitScale(const QString &unitText);
    // The number in the unit without its prefix: 2.19 MΩ gives 2190000 (Ω);
    // empty where number() is.
    std::optional<double> baseValue() const;
    // The signed value the curve plots: the number (as the meter's single
    // precision gives it, 0 when not a number), or the over-range mark.
    double curveValue() const;
    // Steps of the bar graph for the digits shown, point ignored: 0..99
    // counts give 1, 6000 give 61. Empty when the reading is over range:
    // the bar then adds a full scale to what it showed.
    std::optional<int> barSteps() const;
    // The lit annunciators as the panel words them ("HOLD", "AUTO", "DC",
    // "-", "AC", "T-RMS", ...): byte 4's, hFE, then byte 9's; the lightning symbol
    // has no word.
    QStringList annunciatorWords() const;

    bool operator==(const MeterReading &other) const;
    bool operator!=(const MeterReading &other) const { return !(*this == other); }

private:
    // The reading of 20 checked bytes; a digit byte whose bit is clear in
    // readableDigitBytes shows nothing.
    static MeterReading decode(const quint8 *bytes, quint32 readableDigitBytes);
    float digitsAsNumber() const;
};

#endif // METERREADING_H
