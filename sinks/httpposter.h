#ifndef HTTPPOSTER_H
#define HTTPPOSTER_H

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <QUrl>

class QTcpSocket;

// Posts to one HTTP address over one kept-open connection, one request at a
// time, in the event loop. Lighter than QNetworkAccessManager, whose
// request machinery costs ten times the processor time per write, which a
// recorder writing once a second for months would pay on every reading.
class HttpPoster : public QObject
{
    Q_OBJECT
public:
    // `url`: http or https, without user information; `authorization`: the
    // Authorization header's value, empty for none.
    HttpPoster(const QUrl &url, const QByteArray &authorization, QObject *parent = nullptr);
    ~HttpPoster() override;

    // Posts `body` as text/plain; finished() follows once, at the latest
    // after timeoutMs.
    void post(const QByteArray &body, int timeoutMs);
    // Drops the post under way without finished().
    void abort();
    bool busy() const { return m_busy; }

    struct Response {
        int status = 0;
        QByteArray body;
        bool keepAlive = true; // the connection may carry the next request
    };
    enum class Parse { NeedMore, Complete, Malformed };
    // The answer in `bytes` (all received so far; atEnd: the server closed
    // the connection after them): complete, with *response filled, or not yet.
    static Parse parseResponse(const QByteArray &bytes, bool atEnd, Response *response);

signals:
    // The server's answer (status 100-599), or status 0 with the reason in error.
    void finished(int status, const QByteArray &body, const QString &error);

private:
    void send();
    void onConnected();
    void onReadyRead();
    void onClosed();
    void fail(const QString &error);

    QUrl m_url;
    QByteArray m_authorization;
    QTcpSocket *m_socket = nullptr;
    QByteArray m_request;
    QByteArray m_received;
    QTimer m_timeout;
    bool m_busy = false;
    bool m_sent = false;
    bool m_reused = false;
    bool m_freshTried = false;
    bool m_reconnecting = false;
};

#endif // HTTPPOSTER_H
