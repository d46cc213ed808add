#include "GatewayClient.h"

#include "ServerClock.h"

#include <QElapsedTimer>
#include <QTcpSocket>

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

struct GatewayClient::Pending
{
    quint64 id = 0;
    QString page;
    QElapsedTimer elapsed;
    QByteArray message;
    qint64 unwritten = 0;
    Done done;
    std::function<void()> written;
    QByteArray received;
    Reply reply;
};

GatewayClient::GatewayClient(ServerClock& clock, QObject* parent)
    : QObject(parent)
    , m_clock(clock)
{
}

GatewayClient::~GatewayClient()
{
    m_pending.reset();
    dropSocket();
}

void GatewayClient::get(const QByteArray& url, Done done, std::function<void()> written)
{
    request(QByteArrayLiteral("GET"), url, {}, std::move(done), std::move(written));
}

void GatewayClient::post(const QByteArray& url, const QByteArray& body, Done done,
                         std::function<void()> written)
{
    request(QByteArrayLiteral("POST"), url, body, std::move(done), std::move(written));
}

void GatewayClient::abort()
{
    if (m_pending)
        complete(QStringLiteral("request abandoned"));
}

void GatewayClient::endSession()
{
    if (!m_pending)
        dropSocket();
}

void GatewayClient::request(const QByteArray& method, const QByteArray& url, const QByteArray& body,
                            Done done, std::function<void()> written)
{
    const auto failLater = [this, done](const QString& error) {
        Reply reply;
        reply.error = error;
        QMetaObject::invokeMethod(
            this, [done, reply] { done(reply); }, Qt::QueuedConnection);
    };
    Target target;
    if (!parseUrl(url, &target))
        return failLater(QStringLiteral("not a gateway address: %1").arg(QString::fromUtf8(url)));
    if (m_pending)
        return failLater(QStringLiteral("another request is in progress"));

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

    m_pending = std::make_unique<Pending>();
    m_pending->id = ++m_requests;
    m_pending->message = message;
    m_pending->unwritten = message.size();
    m_pending->done = std::move(done);
    m_pending->written = std::move(written);
    m_pending->page = QString::fromUtf8(target.path.split('?').first().split('/').last());
    m_pending->elapsed.start();
    const quint64 id = m_pending->id;
    m_clock.callAfter(m_timeoutMs, this, [this, id] {
        if (m_pending && m_pending->id == id)
            complete(QStringLiteral("no reply within %1 seconds").arg(m_timeoutMs / 1000));
    });

    const QByteArray socketTarget =
        viaProxy ? m_proxy.hostName().toUtf8() + ':' + QByteArray::number(m_proxy.port()) : target.hostHeader;
    const bool reuse = m_socket && m_socketTarget == socketTarget &&
                       m_socket->state() == QAbstractSocket::ConnectedState &&
                       m_socket->bytesAvailable() == 0;
    m_starting = true;
    if (reuse) {
        m_socket->write(message);
    } else {
        openSocket(socketTarget);
        if (viaProxy)
            m_socket->connectToHost(m_proxy.hostName(), m_proxy.port());
        else
            m_socket->connectToHost(QString::fromUtf8(target.host), target.port);
    }
    m_starting = false;
}

void GatewayClient::openSocket(const QByteArray& target)
{
    dropSocket();
    m_socket = std::make_unique<QTcpSocket>();
    m_socket->setProxy(QNetworkProxy::NoProxy);
    m_socket->setReadBufferSize(MaxReplyBytes);
    m_socketTarget = target;
    QTcpSocket* socket = m_socket.get();
    connect(socket, &QTcpSocket::connected, this, &GatewayClient::onConnected);
    connect(socket, &QTcpSocket::readyRead, this, &GatewayClient::onReadyRead);
    connect(socket, &QTcpSocket::bytesWritten, this, &GatewayClient::onBytesWritten);
    connect(socket, &QTcpSocket::disconnected, this, &GatewayClient::onDisconnected);
    connect(socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            return; // handled by disconnected, which may still carry a whole reply
        if (m_pending)
            complete(m_socket ? m_socket->errorString() : QStringLiteral("connection failed"));
    });
}

void GatewayClient::dropSocket()
{
    if (!m_socket)
        return;
    // The socket may be the sender of the signal being handled: it goes when control is back in the loop.
    QTcpSocket* socket = m_socket.release();
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void GatewayClient::onConnected()
{
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_pending)
        m_socket->write(m_pending->message);
}

void GatewayClient::onReadyRead()
{
    if (!m_pending) {
        m_socket->readAll(); // nothing was asked: a late reply to an abandoned request
        return;
    }
    m_pending->received += m_socket->readAll();
    if (m_pending->received.size() > MaxReplyBytes) {
        m_pending->reply.oversized = true;
        return complete(QStringLiteral("a reply of more than %1 KiB").arg(MaxReplyBytes / 1024));
    }
    if (parseResponse(m_pending->received, false, &m_pending->reply)) {
        m_pending->reply.delivered = true;
        complete({});
    }
}

void GatewayClient::onBytesWritten(qint64 bytes)
{
    if (!m_pending || m_pending->unwritten <= 0)
        return;
    m_pending->unwritten -= bytes;
    if (m_pending->unwritten <= 0 && m_pending->written) {
        const auto written = std::move(m_pending->written);
        written();
    }
}

void GatewayClient::onDisconnected()
{
    if (!m_pending) {
        dropSocket();
        return;
    }
    if (m_socket->bytesAvailable() > 0)
        m_pending->received += m_socket->readAll();
    if (m_pending->received.size() > MaxReplyBytes) {
        m_pending->reply.oversized = true;
        complete(QStringLiteral("a reply of more than %1 KiB").arg(MaxReplyBytes / 1024));
    } else if (parseResponse(m_pending->received, true, &m_pending->reply)) {
        m_pending->reply.delivered = true;
        m_pending->reply.keepAlive = false;
        complete({});
    } else {
        complete(QStringLiteral("the connection closed without a complete reply"));
    }
}

void GatewayClient::complete(const QString& error)
{
    const std::unique_ptr<Pending> pending = std::move(m_pending);
    Reply reply = pending->reply;
    if (!error.isEmpty()) {
        reply.error = error;
        reply.delivered = false;
    }
    if (!reply.delivered || !reply.keepAlive)
        dropSocket();
    Q_EMIT requestEnded(pending->page, pending->elapsed.elapsed() / 1000.0, reply.delivered);
    if (m_starting) // failed while being sent: the caller hears of it once request() has returned
        QMetaObject::invokeMethod(
            this, [done = pending->done, reply] { done(reply); }, Qt::QueuedConnection);
    else
        pending->done(reply);
}
