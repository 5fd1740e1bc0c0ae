#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QPair>
#include <QString>
#include <QUrlQuery>

#include <functional>
#include <memory>

class QTcpServer;
class QThread;

// A small HTTP/1.1 server for loopback use: the replica site and the tests'
// servers. Every answer closes its connection. Answers can be made to
// misbehave on purpose (late, never, trickling, cut off) to exercise clients.

struct HttpRequest final
{
    QByteArray method;
    QByteArray target; // as sent: path plus query
    QString path;      // decoded path
    QUrlQuery query;
    QList<QPair<QByteArray, QByteArray>> headers; // names in lower case
    qint64 receivedAtMs = 0;                      // when its head was in, in ms since the epoch

    QByteArray header(const QByteArray &lowerName) const;
};

struct HttpResponse final
{
    enum class Framing {
        ContentLength, // Content-Length header, body, close
        Chunked,       // Transfer-Encoding: chunked
        UntilClose,    // no length at all; the body ends when the connection does
    };

    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    Framing framing = Framing::ContentLength;

    int delayMs = 0;          // wait this long before answering
    bool neverAnswer = false; // read the request, then say nothing at all
    qint64 dropAfter = -1;    // close the connection once this many body bytes are out
    // Once this many body bytes are out, close the connection as if the answer
    // were over: what was written arrives, then the body ends short.
    qint64 hangUpAfter = -1;
    int trickleBytes = 0; // with trickleMs: send the body this many bytes at a time...
    int trickleMs = 0;    // ...one piece every trickleMs milliseconds
    // Advertise this Content-Length instead of the body's real size (>= 0).
    qint64 announcedLength = -1;
    // Send the body over and over, never ending (until the peer goes away).
    bool endless = false;
    // Bytes per write, and so per chunk of a chunked body.
    qint64 pieceBytes = 64 * 1024;

    static HttpResponse text(int status, const QByteArray &body,
                             const QByteArray &contentType = "text/plain; charset=utf-8");
    HttpResponse &withHeader(const QByteArray &name, const QByteArray &value);
};

using HttpHandler = std::function<HttpResponse(const HttpRequest &)>;

// The server itself. Lives on the thread that created it (or was moved to);
// the handler runs there.
class HttpServer final : public QObject
{
    Q_OBJECT
public:
    explicit HttpServer(QObject *parent = nullptr);
    ~HttpServer() override;

    bool listen(const QHostAddress &address, quint16 port);
    quint16 port() const;
    QString errorString() const;

    void setHandler(HttpHandler handler);

private:
    void acceptConnections();
    HttpResponse dispatch(const HttpRequest &request);

    QTcpServer *m_server;
    QMutex m_handlerLock;
    HttpHandler m_handler;
};

// A server on 127.0.0.1 on its own thread, so that clients which wait in a
// local event loop (or not at all) are served all the same. Tests set the
// handler per case and read back what was asked.
class LoopbackServer final
{
public:
    LoopbackServer();
    ~LoopbackServer();
    LoopbackServer(const LoopbackServer &) = delete;
    LoopbackServer &operator=(const LoopbackServer &) = delete;

    // Starts on a free port (0) or the one given; false when it cannot listen.
    bool start(quint16 port = 0);
    quint16 port() const { return m_port; }
    // "http://127.0.0.1:<port>"
    QString base() const;

    void setHandler(HttpHandler handler);
    // Every request seen so far, oldest first.
    QList<HttpRequest> requests() const;
    int requestCount() const;

private:
    std::unique_ptr<QThread> m_thread;
    HttpServer *m_server = nullptr; // lives on m_thread
    quint16 m_port = 0;
    mutable QMutex m_lock;
    QList<HttpRequest> m_requests;
    HttpHandler m_handler;
};
