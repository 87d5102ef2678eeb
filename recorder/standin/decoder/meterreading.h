#ifndef METERREADING_H
#define METERREADING_H
// Temporary stand-in until the core's reading lands (same names).
#include "decoder/meterprotocol.h"
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
class MeterReading
{
public:
    enum class Kind { Ordinary, Overload, NcvField, NcvDashes, Live, Blank };
    static std::optional<MeterReading> fromFrame(const QByteArray &frameBytes);
    static std::optional<MeterReading> fromFrameText(const QByteArray &t) { return fromFrame(QByteArray::fromHex(t)); }
    QString valueText;
    bool negative = false;
    QString unitText;
    QString functionText;
    quint32 annunciators = 0;
    QString model, version;
    Kind kind = Kind::Blank;
    QString tableValueText() const;
    std::optional<double> number() const;
    QStringList annunciatorWords() const;
};
#endif
