#include "webserver.h"

#include "livestate.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <sys/socket.h>
#endif
#include <microhttpd.h>

// Quiet unless asked for (QT_LOGGING_RULES="ravelo.web.debug=true").
Q_LOGGING_CATEGORY(lcWeb, "ravelo.web", QtWarningMsg)

static void initPageResources()
{
    Q_INIT_RESOURCE(page);
}

namespace {

const int DefaultColumns = 1000;
const int MaxColumns = 10000;
const int StreamBatchBytes = 64 * 1024;
const size_t StreamBlockBytes = 16 * 1024;

const char *const SecurityPolicy =
    "default-src 'self'; script-src 'self'; style-src 'self'; img-src 'self' data:; connect-src 'self'; "
    "base-uri 'none'; form-action 'none'; frame-ancestors 'none'";
const char *const CookieName = "ravelo_token";

// A steady clock's milliseconds (the keep-alive's, whatever the wall clock does).
qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Whether two secrets are equal, in a time that depends on their lengths only.
bool sameSecret(const QByteArray &given, const QByteArray &secret)
{
    const int length = std::max(given.size(), secret.size());
    unsigned difference = unsigned(given.size() ^ secret.size());
    for (int i = 0; i < length; ++i) {
        const unsigned char a = i < given.size() ? uchar(given[i]) : 0;
        const unsigned char b = i < secret.size() ? uchar(secret[i]) : 0;
        difference |= unsigned(a ^ b);
    }
    return difference == 0 && !secret.isEmpty();
}

void addCommonHeaders(MHD_Response *response, const char *type)
{
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, type);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
    MHD_add_response_header(response, "Content-Security-Policy", SecurityPolicy);
    MHD_add_response_header(response, "X-Content-Type-Options", "nosniff");
    MHD_add_response_header(response, "Referrer-Policy", "no-referrer");
}

MHD_Result queue(MHD_Connection *connection, unsigned status, MHD_Response *response)
{
    const MHD_Result result = MHD_queue_response(connection, status, response);
    MHD_destroy_response(response);
    return result;
}

MHD_Result reply(MHD_Connection *connection, unsigned status, const QByteArray &body, const char *type,
                 const std::vector<std::pair<const char *, QByteArray>> &headers = {})
{
    MHD_Response *response = MHD_create_response_from_buffer(size_t(body.size()),
                                                             const_cast<char *>(body.constData()),
                                                             MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    addCommonHeaders(response, type);
    for (const auto &header : headers)
        MHD_add_response_header(response, header.first, header.second.constData());
    return queue(connection, status, response);
}

// An error: one plain sentence.
MHD_Result fail(MHD_Connection *connection, unsigned status, const QString &sentence,
                const std::vector<std::pair<const char *, QByteArray>> &headers = {})
{
    return reply(connection, status, sentence.toUtf8() + '\n', "text/plain; charset=utf-8", headers);
}

const char *value(MHD_Connection *connection, MHD_ValueKind kind, const char *key)
{
    return MHD_lookup_connection_value(connection, kind, key);
}

// A whole number from the query, when given; *ok false when not one.
std::optional<qint64> wholeNumber(MHD_Connection *connection, const char *key, bool *ok)
{
    const char *text = value(connection, MHD_GET_ARGUMENT_KIND, key);
    if (!text || !*text)
        return std::nullopt;
    bool parsed = false;
    const qint64 number = QByteArray(text).toLongLong(&parsed);
    if (!parsed)
        *ok = false;
    return number;
}

// The library's last message on this thread: why a start failed.
thread_local QString startFailure;

void logLibraryMessage(void *, const char *format, va_list arguments)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, arguments);
    startFailure = QString::fromLocal8Bit(text).trimmed();
    qCDebug(lcWeb).noquote() << startFailure;
}

} // namespace

// One client's event stream: what is left to send, and the next event's id.
struct WebServer::EventStream {
    WebServer *server = nullptr;
    MHD_Connection *connection = nullptr;
    qint64 next = 1;
    QByteArray out;
    int sent = 0;
    qint64 lastWriteMs = 0;
    bool suspended = false;
};

struct WebServer::Callbacks {
    static MHD_Result handle(void *cls, MHD_Connection *connection, const char *url, const char *method,
                             const char *, const char *, size_t *uploadSize, void **context)
    {
        // Nothing is read from a body: the answer goes on the first call.
        static int seen;
        if (*context != &seen && *uploadSize == 0 && (!std::strcmp(method, "GET") || !std::strcmp(method, "HEAD"))) {
            *context = &seen;
            return MHD_YES;
        }
        *uploadSize = 0;
        auto *server = static_cast<WebServer *>(cls);
        return MHD_Result(server->respond(connection, QByteArray(url), QByteArray(method)));
    }

    static ssize_t readEvents(void *cls, uint64_t, char *buffer, size_t max)
    {
        auto *stream = static_cast<EventStream *>(cls);
        WebServer *server = stream->server;
        while (stream->sent >= stream->out.size()) {
            stream->out.clear();
            stream->sent = 0;
            stream->next = server->m_state->eventsFrom(stream->next, &stream->out, StreamBatchBytes);
            if (!stream->out.isEmpty())
                break;
            if (server->m_stopping)
                return MHD_CONTENT_READER_END_OF_STREAM;
            if (nowMs() - stream->lastWriteMs >= KeepAliveMs) {
                stream->out = ": keep-alive\n\n";
                break;
            }
            // Nothing to send: wait, unless an event came meanwhile (the
            // keeper resumes the streams it finds suspended under this lock).
            std::lock_guard<std::mutex> lock(server->m_streamsMutex);
            if (server->m_state->lastEventId() >= stream->next || server->m_stopping)
                continue;
            stream->suspended = true;
            MHD_suspend_connection(stream->connection);
            return 0;
        }
        const size_t count = std::min(max, size_t(stream->out.size() - stream->sent));
        std::memcpy(buffer, stream->out.constData() + stream->sent, count);
        stream->sent += int(count);
        stream->lastWriteMs = nowMs();
        return ssize_t(count);
    }

    static void freeEvents(void *cls)
    {
        auto *stream = static_cast<EventStream *>(cls);
        {
            std::lock_guard<std::mutex> lock(stream->server->m_streamsMutex);
            auto &streams = stream->server->m_streams;
            streams.erase(std::remove(streams.begin(), streams.end(), stream), streams.end());
        }
        delete stream;
    }

    static ssize_t readFile(void *cls, uint64_t pos, char *buffer, size_t max)
    {
        auto *file = static_cast<QFile *>(cls);
        if (!file->seek(qint64(pos)))
            return MHD_CONTENT_READER_END_WITH_ERROR;
        const qint64 count = file->read(buffer, qint64(max));
        return count > 0 ? ssize_t(count) : MHD_CONTENT_READER_END_WITH_ERROR;
    }

    static void freeFile(void *cls) { delete static_cast<QFile *>(cls); }
};

WebServer::WebServer(LiveState *state) : m_state(state)
{
    initPageResources();
    const struct {
        const char *path;
        const char *resource;
        const char *type;
    } pages[] = {
        {"/", ":/page/index.html", "text/html; charset=utf-8"},
        {"/index.html", ":/page/index.html", "text/html; charset=utf-8"},
        {"/app.js", ":/page/app.js", "text/javascript; charset=utf-8"},
        {"/style.css", ":/page/style.css", "text/css; charset=utf-8"},
        {"/vendor/uPlot.iife.min.js", ":/page/vendor/uPlot.iife.min.js", "text/javascript; charset=utf-8"},
        {"/vendor/uPlot.min.css", ":/page/vendor/uPlot.min.css", "text/css; charset=utf-8"},
    };
    for (const auto &page : pages) {
        QFile file(QString::fromLatin1(page.resource));
        if (file.open(QIODevice::ReadOnly))
            m_pages.insert(page.path, {file.readAll(), page.type});
    }
}

WebServer::~WebServer()
{
    stop();
}

bool WebServer::start(const Settings &settings, QString *error)
{
    m_settings = settings;
    const QHostAddress &address = settings.listen.address;
    sockaddr_in v4 {};
    sockaddr_in6 v6 {};
    const sockaddr *socketAddress = nullptr;
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_AUTO | MHD_ALLOW_SUSPEND_RESUME | MHD_USE_ERROR_LOG;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = qToBigEndian(settings.listen.port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&v6.sin6_addr, bytes.c, sizeof bytes.c);
        socketAddress = reinterpret_cast<const sockaddr *>(&v6);
        flags |= MHD_USE_IPv6;
    } else {
        v4.sin_family = AF_INET;
        v4.sin_port = qToBigEndian(settings.listen.port);
        v4.sin_addr.s_addr = qToBigEndian(address.toIPv4Address());
        socketAddress = reinterpret_cast<const sockaddr *>(&v4);
    }
    m_stopping = false;
    startFailure.clear();
    m_daemon = MHD_start_daemon(
        flags, settings.listen.port, nullptr, nullptr, &Callbacks::handle, this,
        MHD_OPTION_EXTERNAL_LOGGER, &logLibraryMessage, nullptr,
        MHD_OPTION_SOCK_ADDR, socketAddress,
        MHD_OPTION_CONNECTION_LIMIT, ConnectionLimit,
        MHD_OPTION_CONNECTION_TIMEOUT, ConnectionTimeoutS,
        MHD_OPTION_CONNECTION_MEMORY_LIMIT, ConnectionMemory,
        MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u,
        MHD_OPTION_END);
    const QString where = QStringLiteral("%1 port %2").arg(address.toString()).arg(settings.listen.port);
    if (!m_daemon) {
        if (startFailure.contains(QLatin1String("in use")))
            *error = QStringLiteral("cannot serve the live page on %1: another program uses that port; pick another "
                                    "with --http (0 takes any free port)").arg(where);
        else if (startFailure.contains(QLatin1String("assign")) || startFailure.contains(QLatin1String("not available")))
            *error = QStringLiteral("cannot serve the live page on %1: %2 is not an address of this machine; "
                                    "give one of its own, or 0.0.0.0 for every interface").arg(where, address.toString());
        else if (startFailure.contains(QLatin1String("denied")))
            *error = QStringLiteral("cannot serve the live page on %1: not allowed to listen there (ports below "
                                    "1024 need privileges); pick a port from 1024 up").arg(where);
        else
            *error = QStringLiteral("cannot serve the live page on %1: %2")
                         .arg(where, startFailure.isEmpty() ? QStringLiteral("the server did not start") : startFailure);
        return false;
    }
    const MHD_DaemonInfo *info = MHD_get_daemon_info(m_daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_port = info ? quint16(info->port) : settings.listen.port;
    m_state->setEventListener([this] { wake(); });
    m_keeperEnd = false;
    m_keeper = std::thread([this] { keep(); });
    qCDebug(lcWeb).noquote() << "serving" << url() << (settings.token.isEmpty() ? "" : "(a token is asked)");
    return true;
}

void WebServer::stop()
{
    if (!m_daemon)
        return;
    m_state->setEventListener(nullptr);
    m_stopping = true;
    // Every stream ends (after the events it has not sent yet).
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_streamsMutex);
            for (EventStream *stream : m_streams) {
                if (stream->suspended) {
                    stream->suspended = false;
                    MHD_resume_connection(stream->connection);
                }
            }
            if (m_streams.empty() || waited.elapsed() > 1000)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    {
        std::lock_guard<std::mutex> lock(m_keeperMutex);
        m_keeperEnd = true;
    }
    m_keeperWake.notify_one();
    if (m_keeper.joinable())
        m_keeper.join();
    MHD_stop_daemon(m_daemon);
    m_daemon = nullptr;
}

void WebServer::wake()
{
    {
        std::lock_guard<std::mutex> lock(m_keeperMutex);
        m_eventWaiting = true;
    }
    m_keeperWake.notify_one();
}

void WebServer::keep()
{
    qint64 lastKeepAlive = nowMs();
    std::unique_lock<std::mutex> lock(m_keeperMutex);
    while (!m_keeperEnd) {
        m_keeperWake.wait_for(lock, std::chrono::seconds(1), [this] { return m_eventWaiting || m_keeperEnd; });
        if (m_keeperEnd)
            break;
        const bool event = m_eventWaiting;
        m_eventWaiting = false;
        lock.unlock();
        const bool keepAlive = nowMs() - lastKeepAlive >= KeepAliveMs / 3;
        if (keepAlive)
            lastKeepAlive = nowMs();
        if (event || keepAlive) {
            std::lock_guard<std::mutex> streams(m_streamsMutex);
            for (EventStream *stream : m_streams) {
                if (stream->suspended) {
                    stream->suspended = false;
                    MHD_resume_connection(stream->connection);
                }
            }
        }
        if (event)
            m_state->updateHistory();
        // Events are handed on in batches, at most about fifty times a second.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        lock.lock();
    }
}

bool WebServer::authorized(MHD_Connection *connection) const
{
    if (m_settings.token.isEmpty())
        return true;
    if (const char *header = value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_AUTHORIZATION)) {
        const QByteArray text(header);
        if (text.left(7).toLower() == "bearer " && sameSecret(text.mid(7).trimmed(), m_settings.token))
            return true;
    }
    if (const char *cookie = value(connection, MHD_COOKIE_KIND, CookieName))
        return sameSecret(QByteArray(cookie), m_settings.token);
    return false;
}

int WebServer::respond(MHD_Connection *connection, const QByteArray &path, const QByteArray &method)
{
    if (method != "GET" && method != "HEAD")
        return fail(connection, MHD_HTTP_METHOD_NOT_ALLOWED,
                    QStringLiteral("This server only shows the recording: it answers GET and HEAD, not %1.")
                        .arg(QString::fromLatin1(method)),
                    {{MHD_HTTP_HEADER_ALLOW, "GET, HEAD"}});
    if (path == "/" && !m_settings.token.isEmpty()) {
        if (const char *token = value(connection, MHD_GET_ARGUMENT_KIND, "token")) {
            if (!sameSecret(QByteArray(token), m_settings.token))
                return fail(connection, MHD_HTTP_UNAUTHORIZED, QStringLiteral("The token in the address is not this recorder's."),
                            {{MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer realm=\"ravelo-record\""}});
            // The token leaves the address bar for a cookie. Relative, so
            // that a proxy serving the page under a path of its own works.
            return reply(connection, MHD_HTTP_SEE_OTHER, "See the page without the token.\n",
                         "text/plain; charset=utf-8",
                         {{MHD_HTTP_HEADER_LOCATION, "./"},
                          {MHD_HTTP_HEADER_SET_COOKIE,
                           QByteArray(CookieName) + '=' + m_settings.token + "; HttpOnly; SameSite=Strict; Path=/"}});
        }
    }
    if (!authorized(connection))
        return fail(connection, MHD_HTTP_UNAUTHORIZED,
                    QStringLiteral("This recorder asks for its token: open the page once as /?token=... or send "
                                   "Authorization: Bearer ..."),
                    {{MHD_HTTP_HEADER_WWW_AUTHENTICATE, "Bearer realm=\"ravelo-record\""}});

    const auto page = m_pages.constFind(path);
    if (page != m_pages.constEnd())
        return reply(connection, MHD_HTTP_OK, page->content, page->type.constData());
    if (path == "/events")
        return serveEvents(connection);
    if (path == "/api/status")
        return reply(connection, MHD_HTTP_OK, m_state->statusJson(), "application/json");
    if (path == "/api/history")
        return serveHistory(connection);
    if (path == "/recording.csv")
        return serveJournal(connection);
    if (path == "/metrics")
        return reply(connection, MHD_HTTP_OK, m_state->metricsText(), "text/plain; version=0.0.4; charset=utf-8");
    return fail(connection, MHD_HTTP_NOT_FOUND,
                QStringLiteral("There is nothing at %1 here; the live page is at /.").arg(QString::fromUtf8(path)));
}

int WebServer::serveEvents(MHD_Connection *connection)
{
    auto *stream = new EventStream;
    stream->server = this;
    stream->connection = connection;
    stream->lastWriteMs = nowMs();
    // Without Last-Event-ID: the events to come; with it, those after it.
    stream->next = m_state->lastEventId() + 1;
    if (const char *last = value(connection, MHD_HEADER_KIND, MHD_HTTP_HEADER_LAST_EVENT_ID)) {
        bool ok = false;
        const qint64 id = QByteArray(last).trimmed().toLongLong(&ok);
        if (ok && id >= 0)
            stream->next = id + 1;
    }
    stream->out = "retry: 2000\n\n";
    MHD_Response *response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, StreamBlockBytes,
                                                               &Callbacks::readEvents, stream, &Callbacks::freeEvents);
    if (!response) {
        delete stream;
        return MHD_NO;
    }
    {
        std::lock_guard<std::mutex> lock(m_streamsMutex);
        m_streams.push_back(stream);
    }
    addCommonHeaders(response, "text/event-stream; charset=utf-8");
    MHD_add_response_header(response, "X-Accel-Buffering", "no");
    return queue(connection, MHD_HTTP_OK, response);
}

int WebServer::serveHistory(MHD_Connection *connection)
{
    bool ok = true;
    const std::optional<qint64> from = wholeNumber(connection, "from", &ok);
    const std::optional<qint64> to = wholeNumber(connection, "to", &ok);
    const std::optional<qint64> columns = wholeNumber(connection, "columns", &ok);
    if (!ok)
        return fail(connection, MHD_HTTP_BAD_REQUEST,
                    QStringLiteral("from, to and columns are whole numbers (from and to in milliseconds since 1970)."));
    if (columns && (*columns < 1 || *columns > MaxColumns))
        return fail(connection, MHD_HTTP_BAD_REQUEST,
                    QStringLiteral("columns goes from 1 to %1.").arg(MaxColumns));
    if (from && to && *to < *from)
        return fail(connection, MHD_HTTP_BAD_REQUEST, QStringLiteral("to comes before from."));
    return reply(connection, MHD_HTTP_OK, m_state->historyJson(from, to, int(columns.value_or(DefaultColumns))),
                 "application/json");
}

int WebServer::serveJournal(MHD_Connection *connection)
{
    const QString path = m_state->filePath();
    if (path.isEmpty())
        return fail(connection, MHD_HTTP_NOT_FOUND,
                    QStringLiteral("This run writes no file: start ravelo-record with --output to have one."));
    auto file = std::make_unique<QFile>(path);
    if (!file->open(QIODevice::ReadOnly))
        return fail(connection, MHD_HTTP_INTERNAL_SERVER_ERROR,
                    QStringLiteral("Cannot read %1: %2.").arg(QFileInfo(path).fileName(), file->errorString()));
    // The lines written so far: up to the last line end.
    qint64 size = file->size();
    const qint64 tailStart = std::max<qint64>(0, size - 4096);
    file->seek(tailStart);
    const QByteArray tail = file->read(size - tailStart);
    const int lastEnd = tail.lastIndexOf('\n');
    size = lastEnd < 0 ? tailStart : tailStart + lastEnd + 1;
    // The name as it is; an ASCII stand-in for the few clients that do not
    // read filename* (RFC 6266).
    const QString fileName = QFileInfo(path).fileName();
    QByteArray ascii;
    for (const QChar c : fileName)
        ascii += c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('"') && c != QLatin1Char('\\')
            ? char(c.unicode()) : '_';
    const QByteArray disposition = "attachment; filename=\"" + ascii + '"'
        + (ascii == fileName.toLatin1() ? QByteArray() : "; filename*=UTF-8''" + QUrl::toPercentEncoding(fileName));
    MHD_Response *response = MHD_create_response_from_callback(uint64_t(size), StreamBlockBytes, &Callbacks::readFile,
                                                               file.get(), &Callbacks::freeFile);
    if (!response)
        return MHD_NO;
    file.release();
    addCommonHeaders(response, "text/csv; charset=utf-8");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_DISPOSITION, disposition.constData());
    return queue(connection, MHD_HTTP_OK, response);
}
