#include "influxline.h"

#include <QUrlQuery>

#include <cmath>

namespace {

// Enough digits for every reading the meter shows, few enough that a value
// scaled by its unit's prefix (1.234 mV as 0.001234 V) carries no binary noise.
const int ValueDigits = 15;

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', ValueDigits);
}

QByteArray stringField(const QString &text)
{
    QByteArray out = "\"";
    for (const char c : text.toUtf8()) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace

QByteArray InfluxLine::tagText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray out;
    out.reserve(utf8.size() + 4);
    for (const char c : utf8) {
        switch (c) {
        case ',': case '=': case ' ':
            out += '\\';
            out += c;
            break;
        case '\n': case '\r': case '\t':
            out += "\\ ";
            break;
        default:
            out += c;
        }
    }
    // A value ending in a backslash would escape the separator after it.
    if (out.endsWith('\\') && !out.endsWith("\\ "))
        out += ' ';
    return out;
}

QByteArray InfluxLine::line(const RecordedReading &recorded, const QString &meter)
{
    const MeterReading &reading = recorded.reading;
    QByteArray out = Measurement;
    out.reserve(128);
    const auto tag = [&out](const char *key, const QString &value) {
        if (!value.isEmpty())
            out += QByteArray(",") + key + '=' + tagText(value);
    };
    tag("meter", meter);
    tag("function", reading.functionText);
    tag("unit", reading.unitText);

    out += ' ';
    const std::optional<double> value = reading.number();
    const std::optional<double> base = reading.baseValue();
    if (value && std::isfinite(*value))
        out += "value=" + number(*value) + ',';
    if (base && std::isfinite(*base))
        out += "base_value=" + number(*base) + ',';
    out += "seq=" + QByteArray::number(recorded.n) + "i,flags="
        + stringField(reading.annunciatorWords().join(QLatin1Char(' '))) + ' '
        + QByteArray::number(recorded.time.toMSecsSinceEpoch());
    return out;
}

std::optional<QUrl> InfluxLine::writeUrl(const QString &address, QString *error)
{
    const QUrl given(address, QUrl::StrictMode);
    const QString scheme = given.scheme();
    const QString path = given.path();
    const QUrlQuery givenQuery(given);
    const auto refuse = [&](const QString &why) -> std::optional<QUrl> {
        *error = QStringLiteral("--influx wants http://HOST:8086/DATABASE or "
                                "http://HOST:8086/api/v2/write?org=ORG&bucket=BUCKET, not '%1': %2")
                     .arg(address, why);
        return std::nullopt;
    };
    if (!given.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return refuse(QStringLiteral("an http or https address is needed"));
    if (given.host().isEmpty())
        return refuse(QStringLiteral("no host"));
    if (given.hasFragment())
        return refuse(QStringLiteral("no # part is understood"));

    if (!given.password().isEmpty()) {
        *error = QStringLiteral("--influx takes no password: set RAVELO_INFLUX_PASSWORD or use "
                                "--influx-password-file");
        return std::nullopt;
    }
    // The user goes in a header (see authorization()), not in the address.
    QUrl url = given;
    url.setUserInfo(QString());
    QByteArray query;
    if (path == QLatin1String("/api/v2/write")) {
        if (givenQuery.queryItemValue(QStringLiteral("org")).isEmpty()
            || givenQuery.queryItemValue(QStringLiteral("bucket")).isEmpty())
            return refuse(QStringLiteral("org and bucket are needed"));
        QUrlQuery kept = givenQuery;
        kept.removeAllQueryItems(QStringLiteral("precision"));
        query = kept.query(QUrl::FullyEncoded).toLatin1();
    } else {
        const QString database = path.mid(1);
        if (!path.startsWith(QLatin1Char('/')) || database.isEmpty() || database.contains(QLatin1Char('/')))
            return refuse(QStringLiteral("one database name after the host"));
        if (given.hasQuery())
            return refuse(QStringLiteral("no ? part is understood here"));
        url.setPath(QStringLiteral("/write"));
        // Everything but letters, digits and -._~ encoded: the server reads + as a space.
        query = "db=" + QUrl::toPercentEncoding(database);
    }
    url.setQuery(QString::fromLatin1(query + "&precision=ms"), QUrl::StrictMode);
    return url;
}

std::optional<QByteArray> InfluxLine::authorization(const QString &address, const Login &login, QString *error)
{
    const QString addressUser = QUrl(address).userName();
    if (!addressUser.isEmpty() && !login.user.isEmpty() && addressUser != login.user) {
        *error = QStringLiteral("--influx names the user %1, RAVELO_INFLUX_USER %2: which one?")
                     .arg(addressUser, login.user);
        return std::nullopt;
    }
    const QString user = addressUser.isEmpty() ? login.user : addressUser;
    if (!login.token.isEmpty()) {
        if (!user.isEmpty() || login.password) {
            *error = QStringLiteral("RAVELO_INFLUX_TOKEN and an InfluxDB user or password: give one or the other");
            return std::nullopt;
        }
        return "Token " + login.token;
    }
    if (user.isEmpty()) {
        if (login.password) {
            *error = QStringLiteral("an InfluxDB password needs a user: http://USER@HOST:8086/DATABASE "
                                    "or RAVELO_INFLUX_USER");
            return std::nullopt;
        }
        return QByteArray();
    }
    if (!login.password) {
        *error = QStringLiteral("the InfluxDB user %1 needs a password: set RAVELO_INFLUX_PASSWORD or use "
                                "--influx-password-file")
                     .arg(user);
        return std::nullopt;
    }
    return "Basic " + (user + QLatin1Char(':') + *login.password).toUtf8().toBase64();
}
