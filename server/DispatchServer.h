#pragma once

#include "GatewayClient.h"
#include "ServerSettings.h"
#include "StoreLocation.h"

#include <QDateTime>
#include <QLockFile>
#include <QObject>
#include <QTimer>

#include <memory>
#include <optional>
#include <random>

class Store;
class ServerNotifier;

/// How this run of the server was started (command line).
struct ServerOptions
{
    QString dataDir;
    StoreLocation store;
    bool headless = false;
    bool connect = false;
    std::optional<QString> userId;
    std::optional<QString> password;
    std::optional<int> serverNumber;
    std::optional<QString> gateway;
    bool exitWhenIdle = false;
};

/// Where the time of one dispatch pass went, in nanoseconds.
struct PassTiming
{
    int messages = 0;
    int chunks = 0;
    qint64 selectAndMark = 0;
    qint64 writeFile = 0;
    qint64 encode = 0; // read back, compress, hex-encode, rewrite
    qint64 chunkRequests = 0;
    qint64 debit = 0;
    qint64 statusUpdate = 0;
    qint64 total = 0;
};

/// The dispatch server: start-up, the gateway connection, and the one-second dispatch cycle that
/// takes queued messages, uploads them, asks for the debit and records the outcome.
///
/// Everything runs on the window thread; network waits run a local event loop, so the window stays
/// responsive and passes never overlap (the timer is stopped for the whole of a tick).
class DispatchServer : public QObject
{
    Q_OBJECT

public:
    DispatchServer(ServerOptions options, ServerSettings& settings, ServerNotifier& notifier,
                   QObject* parent = nullptr);
    ~DispatchServer() override;

    /// Start-up in order: address list, single instance, settings, proxy, store. False when the
    /// program must end at once (another server runs on this store); finished() is then emitted.
    bool start();

    // What the window shows and edits.
    const QString& userId() const { return m_userId; }
    void setUserId(const QString& userId) { m_userId = userId; }
    const QString& password() const { return m_password; }
    void setPassword(const QString& password) { m_password = password; }
    bool rememberIdPassword() const { return m_remember; }
    bool connectEnabled() const { return m_connectEnabled; }
    QString balanceText() const { return m_balanceText; }
    QString timeText() const { return m_timeText; }
    int serverNumber() const { return m_serverNumber; }
    int balance() const { return m_balance; }
    bool isDispatching() const { return m_sendMessage.isActive(); }
    const QString& localAddressList() const { return m_localAddresses; }

    /// "&Connect": find a gateway server, log in, show the balance, start the dispatch timer.
    void cmdConnect2_Click();
    /// "E&xit": stop, put rows left "Read" back to "Queued", close the store, end. During a pass
    /// the server ends once the pass has finished its current request.
    void exitServer();
    /// Closing the window by other means: close the store and end, no status changed.
    void closeServer();
    /// Stops the dispatch timer (the settings frame is open).
    void stopDispatch();
    /// Ends any network request in progress (the server settings are being saved).
    void cancelTransfer() { m_gateway.abort(); }

    /// One tick of the dispatch timer; public so that tests can drive the cycle.
    void tick();

    /// The local address list: IPv4 addresses from the highest to the lowest, each followed by ",".
    static QString buildAddressList(QList<quint32> addresses);

Q_SIGNALS:
    void statusLine(const QString& line);
    void stateChanged();
    /// The program ends with this exit status.
    void finished(int exitStatus);
    /// A pass that uploaded something has ended.
    void passTimed(const PassTiming& timing);

private:
    void AppendStatusLine(const QString& line);
    void setConnectEnabled(bool enabled);
    void setBalance(int balance, const QString& text);
    void DecideSendSMS();
    void SendSmsSingleFile();
    bool httpConnectSingle(const QString& tcfname, const QString& Flnm);
    bool buildUpload(const QString& path, int* count);
    QString addressFor(int serverNumber) const;
    GatewayClient::Reply checkServer();
    QByteArray pageUrl(const char* page, const QByteArray& query = {}) const;
    void pause(int milliseconds);
    void processEvents();
    QString uploadStamp();
    void endWhenIdle(int exitStatus);
    void finish(int exitStatus, bool requeue);
    bool exitRequested() const { return m_exitRequested; }

    /// Counts nested operations, so that an Exit asked for meanwhile runs when the last one returns.
    class Busy;

    ServerOptions m_options;
    ServerSettings& m_settings;
    ServerNotifier& m_notifier;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<QLockFile> m_lock;
    GatewayClient m_gateway;
    QTimer m_sendMessage;

    QString m_localAddresses;
    QString m_userId;
    QString m_password;
    bool m_remember = false;
    bool m_connectEnabled = true;
    QString m_balanceText;
    QString m_timeText;
    int m_serverNumber = 1;
    QString m_gatewayAddress;
    int m_balance = 0;
    bool m_loggedIn = false;
    QByteArray m_lastRequestUrl;
    QByteArray m_loginQuery;

    int m_busy = 0;
    bool m_exitRequested = false;
    int m_exitStatus = 0;
    bool m_finished = false;
    std::minstd_rand m_random;
    PassTiming m_timing;
};
