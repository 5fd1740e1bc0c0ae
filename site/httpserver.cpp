#include "site/httpserver.h"

#include <QDateTime>
#include <QMetaObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <limits>

namespace {

constexpr qint64 kMaxRequestHead = 64 * 1024;
constexpr qint64 kWriteHighWater = 256 * 1024;

QByteArray reasonFor(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

// One accepted connection: reads one request, writes one answer, closes.
class Connection final : public QObject
{
public:
    Connection(QTcpSocket *socket, std::function<HttpResponse(const HttpRequest &)> dispatch)
        : QObject(socket)
        , m_socket(socket)
        , m_dispatch(std::move(dispatch))
    {
        connect(socket, &QTcpSocket::readyRead, this, &Connection::readRequest);
        connect(socket, &QTcpSocket::bytesWritten, this, &Connection::writeMore);
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        readRequest();
    }

private:
    void readRequest()
    {
        if (m_answered)
            return;
        m_head += m_socket->readAll();
        const qsizetype end = m_head.indexOf("\r\n\r\n");
        if (end < 0) {
            if (m_head.size() > kMaxRequestHead)
                m_socket->abort();
            return;
        }
        m_answered = true;
        HttpRequest request;
        request.receivedAtMs = QDateTime::currentMSecsSinceEpoch();
        const QList<QByteArray> lines = m_head.left(end).split('\n');
        const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
        request.method = first.value(0);
        request.target = first.value(1);
        const QUrl url = QUrl::fromEncoded("http://localhost" + request.target);
        request.path = url.path();
        request.query = QUrlQuery(url);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon > 0)
                request.headers.append({line.left(colon).trimmed().toLower(), line.mid(colon + 1).trimmed()});
        }
        m_response = m_dispatch(request);
        if (m_response.neverAnswer)
            return;
        if (m_response.delayMs > 0)
            QTimer::singleShot(m_response.delayMs, this, &Connection::startAnswer);
        else
            startAnswer();
    }

    void startAnswer()
    {
        const HttpResponse &r = m_response;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(r.status) + ' ' + reasonFor(r.status) + "\r\n";
        for (const auto &[name, value] : r.headers)
            head += name + ": " + value + "\r\n";
        switch (r.framing) {
        case HttpResponse::Framing::ContentLength:
            head +=
                "Content-Length: " + QByteArray::number(r.announcedLength >= 0 ? r.announcedLength : r.body.size()) +
                "\r\n";
            break;
        case HttpResponse::Framing::Chunked:
            head += "Transfer-Encoding: chunked\r\n";
            break;
        case HttpResponse::Framing::UntilClose:
            break;
        }
        head += "Connection: close\r\n\r\n";
        m_socket->write(head);
        m_limit = r.endless && !r.body.isEmpty() ? std::numeric_limits<qint64>::max() : r.body.size();
        for (const qint64 cut : {r.dropAfter, r.hangUpAfter}) {
            if (cut >= 0)
                m_limit = std::min(m_limit, cut);
        }
        if (r.trickleBytes > 0 && r.trickleMs > 0) {
            auto *trickle = new QTimer(this);
            connect(trickle, &QTimer::timeout, this, [this, trickle] {
                if (!sendPiece(m_response.trickleBytes))
                    trickle->stop();
            });
            trickle->start(r.trickleMs);
            sendPiece(r.trickleBytes);
        } else {
            writeMore();
        }
    }

    void writeMore()
    {
        if (!m_answered || m_response.trickleMs > 0 || m_finished)
            return;
        while (m_socket->bytesToWrite() < kWriteHighWater && !m_finished)
            sendPiece(std::max<qint64>(1, m_response.pieceBytes));
    }

    // Sends up to `size` more body bytes; false once the answer is complete.
    bool sendPiece(qint64 size)
    {
        if (m_finished)
            return false;
        const qint64 n = std::min(size, m_limit - m_sent);
        if (n > 0) {
            const QByteArray piece = m_response.endless ? endlessPiece(n) : m_response.body.mid(m_sent, n);
            if (m_response.framing == HttpResponse::Framing::Chunked)
                m_socket->write(QByteArray::number(n, 16) + "\r\n" + piece + "\r\n");
            else
                m_socket->write(piece);
            m_sent += n;
        }
        if (m_sent < m_limit)
            return true;
        const bool cutOff = m_limit < m_response.body.size();
        if (m_response.framing == HttpResponse::Framing::Chunked && !cutOff)
            m_socket->write("0\r\n\r\n");
        m_finished = true;
        if (cutOff && m_limit != m_response.hangUpAfter)
            m_socket->abort(); // the peer sees the connection reset mid-body
        else
            m_socket->disconnectFromHost();
        return false;
    }

    // The next `size` bytes of the body repeated without end.
    QByteArray endlessPiece(qint64 size) const
    {
        const QByteArray &body = m_response.body;
        QByteArray piece;
        for (qint64 at = m_sent; piece.size() < size;) {
            const qint64 offset = at % body.size();
            piece += body.mid(offset, size - piece.size());
            at = m_sent + piece.size();
        }
        return piece;
    }

    QTcpSocket *m_socket;
    std::function<HttpResponse(const HttpRequest &)> m_dispatch;
    QByteArray m_head;
    bool m_answered = false;
    bool m_finished = false;
    HttpResponse m_response;
    qint64 m_sent = 0;
    qint64 m_limit = 0;
};

} // namespace

QByteArray HttpRequest::header(const QByteArray &lowerName) const
{
    for (const auto &[name, value] : headers) {
        if (name == lowerName)
            return value;
    }
    return {};
}

HttpResponse HttpResponse::text(int status, const QByteArray &body, const QByteArray &contentType)
{
    HttpResponse response;
    response.status = status;
    response.body = body;
    response.headers.append({"Content-Type", contentType});
    return response;
}

HttpResponse &HttpResponse::withHeader(const QByteArray &name, const QByteArray &value)
{
    headers.append({name, value});
    return *this;
}

HttpServer::HttpServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &HttpServer::acceptConnections);
}

HttpServer::~HttpServer() = default;

bool HttpServer::listen(const QHostAddress &address, quint16 port)
{
    return m_server->listen(address, port);
}

quint16 HttpServer::port() const
{
    return m_server->serverPort();
}

QString HttpServer::errorString() const
{
    return m_server->errorString();
}

void HttpServer::setHandler(HttpHandler handler)
{
    QMutexLocker lock(&m_handlerLock);
    m_handler = std::move(handler);
}

HttpResponse HttpServer::dispatch(const HttpRequest &request)
{
    HttpHandler handler;
    {
        QMutexLocker lock(&m_handlerLock);
        handler = m_handler;
    }
    if (!handler)
        return HttpResponse::text(404, "no handler");
    return handler(request);
}

void HttpServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection())
        new Connection(socket, [this](const HttpRequest &request) { return dispatch(request); });
}

LoopbackServer::LoopbackServer()
    : m_thread(std::make_unique<QThread>())
{
    m_thread->setObjectName(QStringLiteral("loopback-server"));
}

LoopbackServer::~LoopbackServer()
{
    if (m_server) {
        HttpServer *server = m_server;
        QMetaObject::invokeMethod(
            server, [server] { delete server; }, Qt::BlockingQueuedConnection);
    }
    m_thread->quit();
    m_thread->wait();
}

bool LoopbackServer::start(quint16 port)
{
    if (m_server)
        return m_port != 0;
    m_server = new HttpServer;
    m_server->setHandler([this](const HttpRequest &request) {
        HttpHandler handler;
        {
            QMutexLocker lock(&m_lock);
            m_requests.append(request);
            handler = m_handler;
        }
        return handler ? handler(request) : HttpResponse::text(404, "no handler");
    });
    m_server->moveToThread(m_thread.get());
    m_thread->start();
    bool ok = false;
    QMetaObject::invokeMethod(
        m_server,
        [&] {
            ok = m_server->listen(QHostAddress::LocalHost, port);
            m_port = ok ? m_server->port() : 0;
        },
        Qt::BlockingQueuedConnection);
    return ok;
}

QString LoopbackServer::base() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

void LoopbackServer::setHandler(HttpHandler handler)
{
    QMutexLocker lock(&m_lock);
    m_handler = std::move(handler);
}

QList<HttpRequest> LoopbackServer::requests() const
{
    QMutexLocker lock(&m_lock);
    return m_requests;
}

int LoopbackServer::requestCount() const
{
    QMutexLocker lock(&m_lock);
    return static_cast<int>(m_requests.size());
}
