#pragma once

#include <QString>

#include <memory>

struct PassReport;

/// The server's figures in the Prometheus text format, kept as it works and served as GET /metrics by
/// prometheus-cpp on threads of their own (civetweb), so that no client of the port, however slow or
/// hostile, holds up a pass: a request has 5 s and 16 KiB to arrive, and any other page or method is
/// refused (404, 405).
class ServerMetrics
{
public:
    /// The address --metrics takes: "HOST:PORT" with HOST an IP address ([V6] in brackets), or PORT
    /// alone for 127.0.0.1; port 0 takes a free one. Empty with a reason when it is not one.
    static QString listeningAddress(const QString& option, QString* error);
    /// Serves on a listening address; nothing, with a reason, when it cannot listen there.
    static std::unique_ptr<ServerMetrics> listen(const QString& address, QString* error);
    ~ServerMetrics();

    ServerMetrics(const ServerMetrics&) = delete;
    ServerMetrics& operator=(const ServerMetrics&) = delete;

    /// "http://HOST:PORT/metrics" as bound.
    QString url() const;

    void textsSettled(const QString& status, int count);
    void passEnded(const PassReport& report);
    void gatewayRequestEnded(const QString& page, double seconds);
    void queueCounted(int queued, int read);
    void balanceReported(int balance);
    void setState(bool storeConnected, bool gatewayConnected, bool holdsLock);

private:
    struct Figures;
    explicit ServerMetrics(std::unique_ptr<Figures> figures);

    std::unique_ptr<Figures> m_figures;
};
