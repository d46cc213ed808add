#pragma once

#include "GatewayClient.h"

#include <QObject>
#include <QString>

#include <functional>

class ServerClock;
class ServerNotifier;

/// The dispatch server's connection to the gateway: the page addresses, the server search and the
/// login with their replies, the chunk requests of an upload and the debit. Every step waits on a
/// reply or on the clock, never in a nested event loop; one request is in flight at a time.
class GatewaySession : public QObject
{
    Q_OBJECT

public:
    enum class ConnectResult { LoggedIn, Failed, Stopped };
    using AddressOf = std::function<QString(int serverNumber)>;

    GatewaySession(ServerClock& clock, ServerNotifier& notifier, AddressOf addressOf,
                   QObject* parent = nullptr);

    GatewayClient& client() { return m_client; }

    // The connection state.
    QString userId;
    QString password;
    QString localAddresses;
    int serverNumber = 1;
    /// Unattended runs end the server search after one round of the servers instead of searching on.
    bool giveUpAfterOneRound = false;

    const QString& gatewayAddress() const { return m_gatewayAddress; }
    int balance() const { return m_balance; }
    const QString& balanceText() const { return m_balanceText; }
    void setBalance(int balance, const QString& text);
    bool connectEnabled() const { return m_connectEnabled; }
    void setConnectEnabled(bool enabled);
    bool isConnecting() const { return m_connecting; }

    /// "&Connect": finds a gateway server that answers its check page, logs in and takes the balance.
    /// done runs once with the outcome, unless a connect is already running (then nothing happens).
    void connectGateway(std::function<void(ConnectResult)> done);
    /// The connect in progress ends before its next request (the server is ending).
    void stop() { m_stopping = true; }

    /// One chunk request of an upload; written runs once the request is on the network.
    void postChunk(const QByteArray& chunk, int status, const QString& uploadName, GatewayClient::Done done,
                   std::function<void()> written = {});
    /// The debit request for count messages of the upload stamp.
    void debit(int count, const QString& stamp, GatewayClient::Done done);

Q_SIGNALS:
    void statusLine(const QString& line);
    void stateChanged();
    /// A login was accepted with this balance.
    void balanceReported(int balance);

private:
    QByteArray pageUrl(const char* page, const QByteArray& query = {}) const;
    void checkKnownServer();
    void searchFrom(int firstServer);
    void attempt(int firstServer, int number);
    void afterSearchRound(int firstServer, const QByteArray& reply);
    void check(std::function<void(const QByteArray&)> then);
    void checked(const QByteArray& reply);
    void login();
    void end(ConnectResult result);

    ServerClock& m_clock;
    ServerNotifier& m_notifier;
    AddressOf m_addressOf;
    GatewayClient m_client;
    QString m_gatewayAddress;
    int m_balance = 0;
    QString m_balanceText;
    bool m_connectEnabled = true;
    bool m_connecting = false;
    bool m_stopping = false;
    QByteArray m_lastRequestUrl;
    QByteArray m_loginQuery;
    std::function<void(ConnectResult)> m_done;
};
