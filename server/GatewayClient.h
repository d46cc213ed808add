#pragma once

#include <QByteArray>
#include <QNetworkProxy>
#include <QString>

#include <memory>

class QTcpSocket;

/// HTTP/1.1 requests to the gateway, each sent once only.
///
/// Qt's network access manager quietly sends a request again when its connection drops; the gateway
/// must see each chunk and each debit at most once, so the requests are made here on a plain socket.
/// The connection is kept between the requests of one pass and closed by endSession(); a request
/// whose connection fails is never repeated.
/// Each request waits for its reply in a local event loop, so the window keeps answering; a request
/// that stays silent for 60 seconds is a transport failure.
class GatewayClient
{
public:
    struct Reply
    {
        /// False: no complete reply (refused, dropped, timed out, aborted).
        bool delivered = false;
        /// The server keeps the connection open for a further request.
        bool keepAlive = false;
        int status = 0;
        QByteArray body;
        QString error;
    };

    /// Requests go through this HTTP proxy (absolute URLs, basic authorization when it has a user).
    void setProxy(const QNetworkProxy& proxy) { m_proxy = proxy; }
    void setTimeoutMs(int milliseconds) { m_timeoutMs = milliseconds; }

    GatewayClient();
    ~GatewayClient();

    /// url: "http://host[:port]/page?query", already encoded; the scheme in any letter case.
    Reply get(const QByteArray& url);
    Reply post(const QByteArray& url, const QByteArray& body);

    /// Ends the request in progress, if any, as a transport failure.
    void abort();
    /// Closes the kept connection; the next request opens a new one.
    void endSession();

    /// Reads one complete HTTP response from raw; false while it is incomplete.
    static bool parseResponse(const QByteArray& raw, bool closed, Reply* reply);

private:
    Reply request(const QByteArray& method, const QByteArray& url, const QByteArray& body);

    QNetworkProxy m_proxy = QNetworkProxy(QNetworkProxy::NoProxy);
    std::unique_ptr<QTcpSocket> m_socket;
    QByteArray m_socketTarget;
    bool m_busy = false;
    int m_timeoutMs = 60000;
};
