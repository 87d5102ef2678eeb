#include "listenaddress.h"

std::optional<ListenAddress> ListenAddress::parse(const QString &text, QString *error)
{
    ListenAddress listen;
    QString host;
    QString portText = text.trimmed();
    if (portText.startsWith(QLatin1Char('['))) {
        const int close = portText.indexOf(QLatin1String("]:"));
        if (close < 0) {
            *error = QStringLiteral("--http wants [ADDRESS]:PORT for an IPv6 address, such as [::1]:8080, not '%1'")
                         .arg(text);
            return std::nullopt;
        }
        host = portText.mid(1, close - 1);
        portText = portText.mid(close + 2);
    } else if (portText.count(QLatin1Char(':')) > 1) {
        *error = QStringLiteral("--http: an IPv6 address goes in brackets, such as [::1]:8080, not '%1'").arg(text);
        return std::nullopt;
    } else if (portText.contains(QLatin1Char(':'))) {
        host = portText.section(QLatin1Char(':'), 0, 0);
        portText = portText.section(QLatin1Char(':'), 1);
    }
    bool ok = false;
    const uint port = portText.toUInt(&ok);
    if (!ok || port > 65535) {
        *error = QStringLiteral("--http wants a port from 0 to 65535 (0: any free one), perhaps after an "
                                "address and ':', not '%1'")
                     .arg(text);
        return std::nullopt;
    }
    listen.port = quint16(port);
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        listen.address = QHostAddress(QHostAddress::LocalHost);
    } else if (!host.isNull() || text.trimmed().startsWith(QLatin1Char(':'))) {
        if (!listen.address.setAddress(host)
            || (listen.address.protocol() != QAbstractSocket::IPv4Protocol
                && listen.address.protocol() != QAbstractSocket::IPv6Protocol)) {
            *error = QStringLiteral("--http: '%1' is not an IP address of this machine (such as 127.0.0.1, "
                                    "0.0.0.0 for every interface, or [::1])")
                         .arg(host);
            return std::nullopt;
        }
    }
    return listen;
}

QString ListenAddress::url(quint16 actualPort) const
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
        : address.toString();
    return QStringLiteral("http://%1:%2/").arg(host).arg(actualPort);
}
