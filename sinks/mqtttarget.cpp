#include "mqtttarget.h"

#include <QUrl>

std::optional<MqttTarget> MqttTarget::fromUrl(const QString &text, QString *error)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))
        || url.host().isEmpty()) {
        *error = QStringLiteral("--mqtt wants mqtt://[USER@]HOST[:PORT]/PREFIX or mqtts://..., not '%1'")
                     .arg(text);
        return std::nullopt;
    }
    if (!url.password().isEmpty()) {
        *error = QStringLiteral("--mqtt takes no password: set %1 or use --mqtt-password-file")
                     .arg(QLatin1String(PasswordVariable));
        return std::nullopt;
    }
    if (url.hasQuery() || url.hasFragment()) {
        *error = QStringLiteral("--mqtt: '%1' has a query or fragment; a topic prefix cannot hold '?' or '#'")
                     .arg(text);
        return std::nullopt;
    }
    MqttTarget target;
    target.tls = scheme == QLatin1String("mqtts");
    target.host = url.host();
    target.port = url.port(target.tls ? DefaultTlsPort : DefaultPort);
    if (target.port == 0) {
        *error = QStringLiteral("--mqtt: port 0 is not a port; leave it out for %1").arg(target.tls ? DefaultTlsPort : DefaultPort);
        return std::nullopt;
    }
    target.user = url.userName();
    QString prefix = url.path();
    while (prefix.startsWith(QLatin1Char('/')))
        prefix.remove(0, 1);
    while (prefix.endsWith(QLatin1Char('/')))
        prefix.chop(1);
    if (prefix.contains(QLatin1Char('+')) || prefix.contains(QLatin1String("//"))) {
        *error = QStringLiteral("--mqtt: the topic prefix '%1' cannot hold '+' or empty levels").arg(prefix);
        return std::nullopt;
    }
    target.prefix = prefix;
    return target;
}

bool MqttTarget::isTopicLevel(const QString &name)
{
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('+'))
        && !name.contains(QLatin1Char('#'));
}

QString MqttTarget::topic(const char *leaf) const
{
    QString topic = prefix.isEmpty() ? QString() : prefix + QLatin1Char('/');
    return topic + meter + QLatin1Char('/') + QLatin1String(leaf);
}

QString MqttTarget::address() const
{
    return host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]:%2").arg(host).arg(port)
                                           : QStringLiteral("%1:%2").arg(host).arg(port);
}
