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
    case 501:
        return "Not Implemented";
    default:
        return "Status";
    }
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
    connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
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
            return;
        }
        if (reply.delayMs <= 0) {
            send(reply.status, reply.body, keepAlive);
            continue;
        }
        m_waiting = true;
        QTimer::singleShot(reply.delayMs, this, [this, reply, keepAlive] {
            m_waiting = false;
            send(reply.status, reply.body, keepAlive);
            readRequests();
        });
    }
}

void HttpConnection::send(int status, const QByteArray& body, bool keepAlive)
{
    if (!m_socket || m_closing)
        return;
    // Headers and body in one write: written separately, Nagle's algorithm holds the body back until
    // the client's delayed acknowledgement of the headers arrives.
    QByteArray response = "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    response += "Content-Type: text/html\r\nCache-Control: private\r\nContent-Length: " +
                QByteArray::number(body.size()) + "\r\n";
    if (!keepAlive)
        response += "Connection: close\r\n";
    response += "\r\n" + body;
    m_socket->write(response);
    if (!keepAlive) {
        m_closing = true;
        m_socket->disconnectFromHost();
    }
}

void HttpConnection::fail(int status, const QByteArray& body)
{
    send(status, body, false);
    m_closing = true;
}
