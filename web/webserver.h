#ifndef WEBSERVER_H
#define WEBSERVER_H

#include "listenaddress.h"

#include <QByteArray>
#include <QHash>
#include <QLoggingCategory>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcWeb)

class LiveState;
struct MHD_Connection;
struct MHD_Daemon;

// The recorder's read-only web server: the live page, its event stream, the
// history, the status, the journal and the metrics, from a LiveState.
//
// Built on GNU libmicrohttpd: a mature C library that Debian ships for every
// architecture, with one internal polling thread on epoll (poll elsewhere)
// instead of a thread per connection, a limit on connections, a memory limit
// per connection (oversized headers are refused), timeouts for idle and slow
// clients, and suspend/resume for the event streams. So a thousand idle
// connections or slow clients cost no threads, and nothing a client does
// reaches the recording: the server only reads the LiveState, whose locks
// the recorder holds for a moment each reading.
//
// A second thread of the server's own wakes on each event: it moves new
// readings into the chart's history and resumes the streams waiting for
// events (and every 15 s, for their keep-alive).
class WebServer
{
public:
    struct Settings {
        ListenAddress listen;
        QByteArray token; // empty: no token asked
    };

    static constexpr unsigned ConnectionLimit = 1200;
    static constexpr unsigned ConnectionTimeoutS = 30;
    // Per connection; headers beyond about half of it are refused (431).
    static constexpr size_t ConnectionMemory = 32 * 1024;
    static constexpr int KeepAliveMs = 15000;

    explicit WebServer(LiveState *state);
    ~WebServer();
    WebServer(const WebServer &) = delete;
    WebServer &operator=(const WebServer &) = delete;

    // Listens and serves; false, with the reason in words, when it cannot.
    bool start(const Settings &settings, QString *error);
    // Ends every stream and stops.
    void stop();
    quint16 port() const { return m_port; }
    QString url() const { return m_settings.listen.url(m_port); }

private:
    struct EventStream;
    struct Page {
        QByteArray content;
        QByteArray type;
    };

    struct Callbacks; // libmicrohttpd's calls into the server
    int respond(MHD_Connection *connection, const QByteArray &path, const QByteArray &method);
    bool authorized(MHD_Connection *connection) const;
    int serveEvents(MHD_Connection *connection);
    int serveHistory(MHD_Connection *connection);
    int serveJournal(MHD_Connection *connection);
    void keep();
    void wake();

    LiveState *m_state;
    Settings m_settings;
    MHD_Daemon *m_daemon = nullptr;
    quint16 m_port = 0;
    QHash<QByteArray, Page> m_pages;

    std::mutex m_streamsMutex;
    std::vector<EventStream *> m_streams;
    std::atomic<bool> m_stopping{false};

    std::mutex m_keeperMutex;
    std::condition_variable m_keeperWake;
    bool m_eventWaiting = false;
    bool m_keeperEnd = false;
    std::thread m_keeper;
};

#endif // WEBSERVER_H
