#ifndef INFLUXLINE_H
#define INFLUXLINE_H

#include "link/ticksampler.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// InfluxDB's line protocol for the recorder's readings: the one place that
// words a reading as a point, for standard output and for the database alike.
namespace InfluxLine {

// The measurement every reading goes to.
inline constexpr char Measurement[] = "ravelo";

// One point, without the newline:
//   ravelo,meter=bench3-ttyUSB0,function=DC,unit=V value=3.446,base_value=3.446,seq=42i,flags="AUTO DC" 1796633248412
// Tags without text (no unit) are left out; a reading without a number (an
// overload, the detectors) has no value fields, only seq and flags. The time
// stamp is the reading's own, in milliseconds since 1970 UTC.
QByteArray line(const RecordedReading &recorded, const QString &meter);

// A tag key or value with the characters the protocol gives a meaning (comma,
// equals sign, space) escaped; line breaks, which no line may hold, become spaces.
QByteArray tagText(const QString &text);

// Where the points of --influx URL are posted, at millisecond precision:
//   http://HOST:8086/DB                             -> http://HOST:8086/write?db=DB&precision=ms
//   http://HOST:8086/api/v2/write?org=ORG&bucket=B  -> the same with precision=ms
// Nothing, with *error saying why, when the address is neither form or holds
// a password (which every local user would see on the command line). A user
// name in the address is left out: see authorization().
std::optional<QUrl> writeUrl(const QString &address, QString *error);

// Who writes, as told outside the command line.
struct Login {
    QString user;                    // RAVELO_INFLUX_USER
    std::optional<QString> password; // --influx-password-file, else RAVELO_INFLUX_PASSWORD
    QByteArray token;                // RAVELO_INFLUX_TOKEN
};

// The Authorization header for the writes to `address`: "Token TOKEN" with a
// token (InfluxDB 2; 1.8 and later also take USER:PASSWORD as the token);
// Basic with a user (USER@ in the address, or the login's) and password,
// which every InfluxDB 1.x takes, and InfluxDB 2 on its 1.x /write with a
// 1.x authorization; empty for none. Nothing, with *error, when a user
// lacks a password, a password lacks a user, a token comes with either, or
// the address and the login name different users.
std::optional<QByteArray> authorization(const QString &address, const Login &login, QString *error);

} // namespace InfluxLine

#endif // INFLUXLINE_H
