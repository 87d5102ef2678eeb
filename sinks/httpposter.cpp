#include "httpposter.h"

#include <QSignalBlocker>
#include <QSslSocket>
#include <QTcpSocket>

namespace {

const char HeaderEnd[] = "\r\n\r\n";
const int HttpPortPlain = 80;
const int HttpPortTls = 443;

bool isTls(const QUrl &url)
{
    return url.scheme() == QLatin1String("https");
}

} // namespace

HttpPoster::HttpPoster(const QUrl &url, const QByteArray &authorization, QObject *parent)
    : QObject(parent), m_url(url), m_authorization(authorization)
{
    m_socket = isTls(url) ? new QSslSocket(this) : new QTcpSocket(this);
    if (isTls(url))
        connect(static_cast<QSslSocket *>(m_socket), &QSslSocket::encrypted, this, &HttpPoster::onConnected);
    else
        connect(m_socket, &QTcpSocket::connected, this, &HttpPoster::onConnected);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpPoster::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpPoster::onClosed);
    // A closing server is told by disconnected(); other failures (refused,
    // unreachable, TLS) by the error alone.
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error != QAbstractSocket::RemoteHostClosedError)
            onClosed();
    });
    m_timeout.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        fail(QStringLiteral("no answer in %1 s").arg(m_timeout.interval() / 1000.0));
    });
}

HttpPoster::~HttpPoster()
{
    m_busy = false;
    m_socket->abort();
}

void HttpPoster::post(const QByteArray &body, int timeoutMs)
{
    QByteArray target = m_url.path(QUrl::FullyEncoded).toLatin1();
    if (target.isEmpty())
        target = "/";
    if (m_url.hasQuery())
        target += '?' + m_url.query(QUrl::FullyEncoded).toLatin1();
    m_request = "POST " + target + " HTTP/1.1\r\nHost: " + m_url.authority(QUrl::FullyEncoded).toLatin1()
        + "\r\nUser-Agent: ravelo-record\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: "
        + QByteArray::number(body.size()) + "\r\n";
    if (!m_authorization.isEmpty())
        m_request += "Authorization: " + m_authorization + "\r\n";
    m_request += "\r\n" + body;
    m_busy = true;
    m_freshTried = false;
    m_timeout.start(timeoutMs);
    send();
}

void HttpPoster::send()
{
    if (!m_busy)
        return;
    m_received.clear();
    m_sent = false;
    m_reconnecting = false;
    if (m_socket->state() == QAbstractSocket::ConnectedState
        && (!isTls(m_url) || static_cast<QSslSocket *>(m_socket)->isEncrypted())) {
        m_reused = true;
        onConnected();
        return;
    }
    m_reused = false;
    {
        const QSignalBlocker quiet(m_socket);
        m_socket->abort();
    }
    const quint16 port = quint16(m_url.port(isTls(m_url) ? HttpPortTls : HttpPortPlain));
    if (isTls(m_url))
        static_cast<QSslSocket *>(m_socket)->connectToHostEncrypted(m_url.host(), port);
    else
        m_socket->connectToHost(m_url.host(), port);
}

void HttpPoster::onConnected()
{
    if (!m_busy || m_sent)
        return;
    m_sent = true;
    m_socket->write(m_request);
}

void HttpPoster::onReadyRead()
{
    const QByteArray bytes = m_socket->readAll();
    if (!m_busy || m_reconnecting)
        return; // an idle connection has nothing to say
    m_received += bytes;
    Response response;
    switch (parseResponse(m_received, false, &response)) {
    case Parse::NeedMore:
        return;
    case Parse::Malformed:
        fail(QStringLiteral("not an HTTP answer"));
        return;
    case Parse::Complete:
        break;
    }
    // The connection settled before the answer is handed on: its receiver
    // may post again at once.
    m_busy = false;
    m_timeout.stop();
    if (!response.keepAlive)
        m_socket->abort();
    emit finished(response.status, response.body, QString());
}

// The connection closed, or failed to open.
void HttpPoster::onClosed()
{
    if (!m_busy || m_reconnecting)
        return;
    m_received += m_socket->readAll();
    Response response;
    if (!m_received.isEmpty() && parseResponse(m_received, true, &response) == Parse::Complete) {
        m_busy = false;
        m_timeout.stop();
        m_socket->abort();
        emit finished(response.status, response.body, QString());
        return;
    }
    // A kept-open connection the server had closed meanwhile: once more on a new one.
    if (m_reused && m_received.isEmpty() && !m_freshTried) {
        m_freshTried = true;
        m_reconnecting = true;
        QMetaObject::invokeMethod(this, &HttpPoster::send, Qt::QueuedConnection);
        return;
    }
    QString reason = m_socket->errorString();
    if (m_socket->error() == QAbstractSocket::UnknownSocketError || reason.isEmpty())
        reason = QStringLiteral("the connection closed without an answer");
    fail(reason);
}

void HttpPoster::fail(const QString &error)
{
    if (!m_busy)
        return;
    m_busy = false;
    m_timeout.stop();
    m_socket->abort();
    emit finished(0, QByteArray(), error);
}

void HttpPoster::abort()
{
    m_busy = false;
    m_timeout.stop();
    m_socket->abort();
}

HttpPoster::Parse HttpPoster::parseResponse(const QByteArray &bytes, bool atEnd, Response *response)
{
    const int headerEnd = bytes.indexOf(HeaderEnd);
    if (headerEnd < 0)
        return atEnd || !bytes.startsWith(QByteArray("HTTP/1.").left(bytes.size())) ? Parse::Malformed
                                                                                  : Parse::NeedMore;
    const QList<QByteArray> lines = bytes.left(headerEnd).split('\n');
    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    bool ok = false;
    const int status = statusLine.value(1).toInt(&ok);
    if (!statusLine.first().startsWith("HTTP/1.") || !ok || status < 100 || status > 599)
        return Parse::Malformed;
    const int bodyStart = headerEnd + int(sizeof(HeaderEnd)) - 1;
    // An interim answer (100 Continue) comes before the real one.
    if (status < 200)
        return parseResponse(bytes.mid(bodyStart), atEnd, response);

    qint64 contentLength = -1;
    bool chunked = false;
    QByteArray connection;
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = lines[i].left(colon).trimmed().toLower();
        const QByteArray value = lines[i].mid(colon + 1).trimmed().toLower();
        if (name == "content-length")
            contentLength = value.toLongLong(&ok);
        else if (name == "transfer-encoding")
            chunked = value.contains("chunked");
        else if (name == "connection")
            connection = value;
    }
    response->status = status;
    response->keepAlive = statusLine.first() == "HTTP/1.1" ? !connection.contains("close")
                                                           : connection.contains("keep-alive");
    response->body.clear();

    if (status == 204 || status == 304)
        return Parse::Complete;
    if (chunked) {
        int at = bodyStart;
        for (;;) {
            const int lineEnd = bytes.indexOf("\r\n", at);
            if (lineEnd < 0)
                return atEnd ? Parse::Malformed : Parse::NeedMore;
            const qint64 size = bytes.mid(at, lineEnd - at).split(';').first().trimmed().toLongLong(&ok, 16);
            if (!ok || size < 0)
                return Parse::Malformed;
            at = lineEnd + 2;
            if (size == 0) {
                // Trailers, if any, end with an empty line.
                if (bytes.mid(at, 2) == "\r\n" || bytes.indexOf(HeaderEnd, at - 2) >= 0)
                    return Parse::Complete;
                return atEnd ? Parse::Complete : Parse::NeedMore;
            }
            if (bytes.size() < at + size + 2)
                return atEnd ? Parse::Malformed : Parse::NeedMore;
            response->body += bytes.mid(at, int(size));
            at += int(size) + 2;
        }
    }
    if (contentLength >= 0) {
        if (bytes.size() - bodyStart < contentLength)
            return atEnd ? Parse::Malformed : Parse::NeedMore;
        response->body = bytes.mid(bodyStart, int(contentLength));
        return Parse::Complete;
    }
    // Neither length nor chunks: the body ends where the connection does.
    if (!atEnd)
        return Parse::NeedMore;
    response->body = bytes.mid(bodyStart);
    response->keepAlive = false;
    return Parse::Complete;
}
