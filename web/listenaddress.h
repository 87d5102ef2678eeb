#ifndef LISTENADDRESS_H
#define LISTENADDRESS_H

#include <QHostAddress>
#include <QString>

#include <optional>

// Where the web server listens: an address of this machine and a port
// (0: any free one), from "[ADDRESS:]PORT" as --http takes it.
struct ListenAddress {
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    quint16 port = 0;

    // "8080", "0", "127.0.0.1:8080", "0.0.0.0:8080" (every interface),
    // "localhost:8080", "[::1]:8080"; nothing, with *error saying what is
    // wrong, otherwise.
    static std::optional<ListenAddress> parse(const QString &text, QString *error);
    // "http://127.0.0.1:8080/", "http://[::1]:8080/"
    QString url(quint16 actualPort) const;
};

#endif // LISTENADDRESS_H
