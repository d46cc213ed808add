#pragma once

#include <QByteArray>
#include <QNetworkProxy>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class QTcpSocket;
class ServerClock;

/// HTTP/1.1 requests to the gateway, each sent once only and one at a time, answered through a
/// callback on the event loop: nothing waits in a nested loop, so the window keeps answering.
///
/// Qt's network access manager quietly sends a request again when its connection drops; the gateway
/// must see each chunk and each debit at most once, so the requests are made here on a plain socket.
/// The connection is kept between the requests of one operation and closed by endSession(); a
/// request whose connection fails is never repeated, and a request made while another is in flight
/// fails at once rather than share its connection.
class GatewayClient : public QObject
{
    Q_OBJECT

public:
    struct Reply
    {
        /// False: no complete reply (refused, dropped, timed out, aborted, longer than MaxReplyBytes).
        bool delivered = false;
        /// The reply ran past MaxReplyBytes and was cut off unread.
        bool oversized = false;
        /// The server keeps the connection open for a further request.
        bool keepAlive = false;
        int status = 0;
        QByteArray body;
        QString error;
    };
    using Done = std::function<void(const Reply&)>;

    /// Every reply the server relies on is a few bytes; one longer than this (headers included) is a
    /// failed request, so that an endless reply cannot fill the memory.
    static constexpr qsizetype MaxReplyBytes = 64 * 1024;

    explicit GatewayClient(ServerClock& clock, QObject* parent = nullptr);
    ~GatewayClient() override;

    /// Requests go through this HTTP proxy (absolute URLs, basic authorization when it has a user).
    void setProxy(const QNetworkProxy& proxy) { m_proxy = proxy; }
    /// A request that stays unanswered this long is a transport failure (default 60 s).
    void setTimeoutMs(int milliseconds) { m_timeoutMs = milliseconds; }

    /// url: "http://host[:port]/page?query", already encoded; the scheme in any letter case. done runs
    /// once, never before get() or post() has returned; written runs once the whole request has been
    /// handed to the network.
    void get(const QByteArray& url, Done done, std::function<void()> written = {});
    void post(const QByteArray& url, const QByteArray& body, Done done, std::function<void()> written = {});

    bool isBusy() const { return m_pending != nullptr; }
    /// Ends the request in progress, if any, as a transport failure; its callback still runs.
    void abort();
    /// Closes the kept connection; the next request opens a new one.
    void endSession();

    /// Reads one complete HTTP response from raw; false while it is incomplete.
    static bool parseResponse(const QByteArray& raw, bool closed, Reply* reply);

Q_SIGNALS:
    /// A request has ended, answered or not, after seconds; page is the file name of its address
    /// ("Logonchk.asp"). Emitted before its callback runs.
    void requestEnded(const QString& page, double seconds, bool delivered);

private:
    struct Pending;

    void request(const QByteArray& method, const QByteArray& url, const QByteArray& body, Done done,
                 std::function<void()> written);
    void openSocket(const QByteArray& target);
    void dropSocket();
    void onConnected();
    void onReadyRead();
    void onBytesWritten(qint64 bytes);
    void onDisconnected();
    void complete(const QString& error);

    ServerClock& m_clock;
    QNetworkProxy m_proxy = QNetworkProxy(QNetworkProxy::NoProxy);
    std::unique_ptr<QTcpSocket> m_socket;
    QByteArray m_socketTarget;
    std::unique_ptr<Pending> m_pending;
    quint64 m_requests = 0;
    bool m_starting = false;
    int m_timeoutMs = 60000;
};
