#include "HttpServer.h"

#include <QTcpSocket>
#include <QTimer>

namespace {

constexpr qsizetype MaxHeaderBytes = 64 * 1024;
constexpr qsizetype MaxBodyBytes = 64 * 1024 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Payload Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray responseHead(int status, qsizetype bodyLength, bool keepAlive)
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    head += "Content-Type: text/html\r\nCache-Control: private\r\nContent-Length: " +
            QByteArray::number(bodyLength) + "\r\n";
    if (!keepAlive)
        head += "Connection: close\r\n";
    return head + "\r\n";
}

} // namespace

HttpServer::HttpServer(Handler handler, QObject* parent)
    : QObject(parent)
    , m_handler(std::move(handler))
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpServer::acceptConnections);
}

bool HttpServer::listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

void HttpServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection())
        new HttpConnection(socket, m_handler, this);
}

HttpConnection::HttpConnection(QTcpSocket* socket, HttpServer::Handler handler, QObject* parent)
    : QObject(parent)
    , m_socket(socket)
    , m_handler(std::move(handler))
{
    socket->setParent(this);
    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    connect(socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequests);
    connect(socket, &QTcpSocket::disconnected, this, &HttpConnection::closed);
}

void HttpConnection::closed()
{
    m_closed = true;
    // A reply on its way keeps the connection until it is due, so that its finished() still comes then.
    if (!m_waiting)
        deleteLater();
}

void HttpConnection::readRequests()
{
    if (!m_socket)
        return;
    m_buffer += m_socket->readAll();
    // Requests are answered in order: a pipelined request waits until the delayed reply before it is out.
    while (!m_waiting && !m_closing) {
        const qsizetype headerEnd = m_buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            if (m_buffer.size() > MaxHeaderBytes)
                fail(400, "Bad Request");
            return;
        }
        const QList<QByteArray> lines = m_buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.first().trimmed().split(' ');
        if (requestLine.size() != 3 || !requestLine[2].startsWith("HTTP/1.")) {
            fail(400, "Bad Request");
            return;
        }
        qsizetype contentLength = 0;
        bool keepAlive = requestLine[2] == "HTTP/1.1";
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            if (name == "content-length") {
                bool ok = false;
                contentLength = value.toLongLong(&ok);
                if (!ok || contentLength < 0) {
                    fail(400, "Bad Request");
                    return;
                }
            } else if (name == "transfer-encoding" && value.toLower() != "identity") {
                fail(501, "Not Implemented");
                return;
            } else if (name == "connection") {
                const QByteArray token = value.toLower();
                if (token.contains("close"))
                    keepAlive = false;
                else if (token.contains("keep-alive"))
                    keepAlive = true;
            }
        }
        if (contentLength > MaxBodyBytes) {
            fail(413, "Payload Too Large");
            return;
        }
        const qsizetype bodyStart = headerEnd + 4;
        if (m_buffer.size() < bodyStart + contentLength)
            return;

        HttpRequest request;
        request.method = requestLine[0];
        request.target = requestLine[1];
        const qsizetype question = request.target.indexOf('?');
        request.path = question < 0 ? request.target : request.target.left(question);
        request.query = question < 0 ? QByteArray() : request.target.mid(question + 1);
        request.body = m_buffer.mid(bodyStart, contentLength);
        m_buffer.remove(0, bodyStart + contentLength);

        const HttpReply reply = m_handler(request);
        if (reply.drop) {
            m_closing = true;
            m_socket->abort();
            if (reply.finished)
                reply.finished();
            return;
        }
        if (reply.endless && reply.delayMs <= 0) {
            streamEndless(reply);
            return;
        }
        if (reply.delayMs <= 0 && reply.splitMs <= 0) {
            // Headers and body in one write: written separately, Nagle's algorithm holds the body back
            // until the client's delayed acknowledgement of the headers arrives.
            write(responseHead(reply.status, reply.body.size(), keepAlive) + reply.body);
            endReply(reply, keepAlive);
            continue;
        }
        answerLater(reply, keepAlive);
    }
}

void HttpConnection::answerLater(const HttpReply& reply, bool keepAlive)
{
    m_waiting = true;
    QTimer::singleShot(reply.delayMs, Qt::PreciseTimer, this, [this, reply, keepAlive] {
        if (reply.endless) {
            m_waiting = false;
            return streamEndless(reply);
        }
        const QByteArray head = responseHead(reply.status, reply.body.size(), keepAlive);
        if (reply.splitMs <= 0) {
            finishWaiting(reply, keepAlive, head + reply.body);
            return;
        }
        write(head);
        QTimer::singleShot(reply.splitMs, Qt::PreciseTimer, this,
                           [this, reply, keepAlive] { finishWaiting(reply, keepAlive, reply.body); });
    });
}

void HttpConnection::finishWaiting(const HttpReply& reply, bool keepAlive, const QByteArray& rest)
{
    write(rest);
    endReply(reply, keepAlive);
    m_waiting = false;
    if (m_closed)
        deleteLater();
    else
        readRequests();
}

void HttpConnection::endReply(const HttpReply& reply, bool keepAlive)
{
    if (!keepAlive) {
        m_closing = true;
        m_socket->disconnectFromHost();
    }
    if (reply.finished)
        reply.finished();
}

// The connection carries nothing else from now on; the body goes on while the client takes it, a
// little at a time so that gateway-sim's own memory stays small.
void HttpConnection::streamEndless(const HttpReply& reply)
{
    m_closing = true;
    if (reply.finished)
        reply.finished();
    if (m_closed) {
        deleteLater();
        return;
    }
    write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n\r\n");
    static const QByteArray filler(64 * 1024, 'x');
    const auto more = [this] {
        if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState &&
            m_socket->bytesToWrite() < 4 * filler.size())
            m_socket->write(filler);
    };
    connect(m_socket.data(), &QTcpSocket::bytesWritten, this, more);
    more();
}

// A reply due after its client has gone is dropped without a word, as a real server's would be.
void HttpConnection::write(const QByteArray& bytes)
{
    if (m_socket && m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->write(bytes);
}

void HttpConnection::fail(int status, const QByteArray& body)
{
    write(responseHead(status, body.size(), false) + body);
    m_closing = true;
    m_socket->disconnectFromHost();
}
