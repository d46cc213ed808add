#include "GatewayClient.h"

#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

namespace {

struct Target
{
    QByteArray host;
    quint16 port = 80;
    QByteArray hostHeader;
    QByteArray path;
};

bool parseUrl(const QByteArray& url, Target* target)
{
    const qsizetype schemeEnd = url.indexOf("://");
    if (schemeEnd < 0 || url.left(schemeEnd).toLower() != "http")
        return false;
    const QByteArray rest = url.mid(schemeEnd + 3);
    const qsizetype slash = rest.indexOf('/');
    target->hostHeader = slash < 0 ? rest : rest.left(slash);
    target->path = slash < 0 ? QByteArrayLiteral("/") : rest.mid(slash);
    const qsizetype colon = target->hostHeader.lastIndexOf(':');
    target->host = target->hostHeader;
    if (colon > 0 && !target->hostHeader.contains(']')) {
        bool ok = false;
        const uint port = target->hostHeader.mid(colon + 1).toUInt(&ok);
        if (!ok || port == 0 || port > 65535)
            return false;
        target->port = quint16(port);
        target->host = target->hostHeader.left(colon);
    }
    return !target->host.isEmpty();
}

bool decodeChunked(const QByteArray& data, QByteArray* body)
{
    qsizetype at = 0;
    body->clear();
    for (;;) {
        const qsizetype lineEnd = data.indexOf("\r\n", at);
        if (lineEnd < 0)
            return false;
        bool ok = false;
        const qsizetype size = data.mid(at, lineEnd - at).split(';').first().trimmed().toLongLong(&ok, 16);
        if (!ok)
            return false;
        at = lineEnd + 2;
        if (size == 0)
            return true;
        if (data.size() < at + size + 2)
            return false;
        body->append(data.mid(at, size));
        at += size + 2;
    }
}

} // namespace

bool GatewayClient::parseResponse(const QByteArray& raw, bool closed, Reply* reply)
{
    const qsizetype headerEnd = raw.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return false;
    const QList<QByteArray> lines = raw.left(headerEnd).split('\n');
    const QList<QByteArray> statusLine = lines.first().trimmed().split(' ');
    if (statusLine.size() < 2 || !statusLine.first().startsWith("HTTP/"))
        return false;
    reply->status = statusLine.at(1).toInt();
    qsizetype contentLength = -1;
    bool chunked = false;
    bool close = statusLine.first() == "HTTP/1.0";
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const qsizetype colon = lines.at(i).indexOf(':');
        if (colon < 0)
            continue;
        const QByteArray name = lines.at(i).left(colon).trimmed().toLower();
        const QByteArray value = lines.at(i).mid(colon + 1).trimmed();
        if (name == "content-length")
            contentLength = value.toLongLong();
        else if (name == "transfer-encoding" && value.toLower().contains("chunked"))
            chunked = true;
        else if (name == "connection")
            close = value.toLower() == "close" ? true : (value.toLower() == "keep-alive" ? false : close);
    }
    reply->keepAlive = !close && (chunked || contentLength >= 0);
    const QByteArray data = raw.mid(headerEnd + 4);
    if (chunked)
        return decodeChunked(data, &reply->body);
    if (contentLength >= 0) {
        if (data.size() < contentLength)
            return false;
        reply->body = data.left(contentLength);
        return true;
    }
    reply->body = data;
    return closed; // no length given: the body runs to the end of the connection
}

GatewayClient::GatewayClient() = default;

GatewayClient::~GatewayClient() = default;

GatewayClient::Reply GatewayClient::get(const QByteArray& url)
{
    return request(QByteArrayLiteral("GET"), url, {});
}

GatewayClient::Reply GatewayClient::post(const QByteArray& url, const QByteArray& body)
{
    return request(QByteArrayLiteral("POST"), url, body);
}

void GatewayClient::abort()
{
    if (m_busy && m_socket)
        m_socket->abort();
}

void GatewayClient::endSession()
{
    if (m_socket && !m_busy)
        m_socket.reset();
}

GatewayClient::Reply GatewayClient::request(const QByteArray& method, const QByteArray& url,
                                            const QByteArray& body)
{
    Reply reply;
    Target target;
    if (!parseUrl(url, &target)) {
        reply.error = QStringLiteral("not a gateway address: %1").arg(QString::fromUtf8(url));
        return reply;
    }
    const bool viaProxy = m_proxy.type() == QNetworkProxy::HttpProxy;
    QByteArray message = method + ' ' + (viaProxy ? url : target.path) +
                         QByteArrayLiteral(" HTTP/1.1\r\nHost: ") + target.hostHeader +
                         QByteArrayLiteral("\r\nUser-Agent: Quaylink\r\n");
    if (viaProxy && !m_proxy.user().isEmpty())
        message += QByteArrayLiteral("Proxy-Authorization: Basic ") +
                   (m_proxy.user() + u':' + m_proxy.password()).toUtf8().toBase64() +
                   QByteArrayLiteral("\r\n");
    if (method == "POST")
        message += QByteArrayLiteral("Content-Type: text/xml\r\nContent-Length: ") +
                   QByteArray::number(body.size()) + QByteArrayLiteral("\r\n");
    message += QByteArrayLiteral("\r\n") + body;

    const QByteArray socketTarget =
        viaProxy ? m_proxy.hostName().toUtf8() + ':' + QByteArray::number(m_proxy.port()) : target.hostHeader;
    const bool reuse = m_socket && m_socketTarget == socketTarget &&
                       m_socket->state() == QAbstractSocket::ConnectedState &&
                       m_socket->bytesAvailable() == 0;
    if (!reuse) {
        m_socket = std::make_unique<QTcpSocket>();
        m_socket->setProxy(QNetworkProxy::NoProxy);
        m_socketTarget = socketTarget;
    }
    QTcpSocket& socket = *m_socket;
    m_busy = true;
    // Connections made here end with this request; the socket outlives it.
    QObject context;
    QEventLoop loop;
    QTimer timeout;
    timeout.setSingleShot(true);
    QByteArray received;
    bool done = false;
    const auto finishWith = [&](const QString& error) {
        if (done)
            return;
        done = true;
        reply.error = error;
        loop.quit();
    };
    QObject::connect(&socket, &QTcpSocket::connected, &context, [&] {
        socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket.write(message);
    });
    QObject::connect(&socket, &QTcpSocket::readyRead, &context, [&] {
        received += socket.readAll();
        if (parseResponse(received, false, &reply)) {
            reply.delivered = true;
            finishWith({});
        }
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &context, [&] {
        if (socket.isOpen() && socket.bytesAvailable() > 0)
            received += socket.readAll();
        if (parseResponse(received, true, &reply)) {
            reply.delivered = true;
            reply.keepAlive = false;
            finishWith({});
        } else {
            finishWith(QStringLiteral("the connection closed without a complete reply"));
        }
    });
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &context, [&](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            return; // handled by disconnected, which may still carry a whole reply
        finishWith(socket.errorString());
    });
    QObject::connect(&timeout, &QTimer::timeout, &loop, [&] {
        finishWith(QStringLiteral("no reply within %1 seconds").arg(m_timeoutMs / 1000));
    });

    timeout.start(m_timeoutMs);
    if (reuse) {
        socket.write(message);
    } else if (viaProxy) {
        socket.connectToHost(m_proxy.hostName(), m_proxy.port());
    } else {
        socket.connectToHost(QString::fromUtf8(target.host), target.port);
    }
    if (!done)
        loop.exec();
    if (!done) // the program is ending and the wait was cut short
        reply.error = QStringLiteral("request abandoned");
    if (!reply.error.isEmpty())
        reply.delivered = false;
    m_busy = false;
    if (!reply.delivered || !reply.keepAlive)
        m_socket.reset();
    return reply;
}
