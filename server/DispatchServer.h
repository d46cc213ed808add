#pragma once

#include "DispatchCycle.h"
#include "GatewaySession.h"
#include "ServerSettings.h"
#include "StoreLocation.h"

#include <QDateTime>
#include <QObject>

#include <memory>
#include <optional>

class Store;
class ServerClock;
class ServerLock;
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
    /// On a PostgreSQL store whose lock another server holds: wait and take over when its session ends.
    bool standby = false;
};

/// The dispatch server's life: start-up (single copy, settings, store, passes a crash interrupted),
/// the operator's Connect, the one-second dispatch timer that starts a pass, and the exit.
///
/// Everything runs on the window thread without nested event loops: the connect and the pass are
/// driven by replies and by the clock, message boxes are shown without waiting for them to close, and
/// the timer is armed again only when a pass has ended, so passes never overlap; its second then runs
/// from the pass's last gateway request, so that what the pass records afterwards falls within it. A
/// standby waits for the store's lock instead of ending, trying it every few seconds, and takes over as a
/// start would once the server holding it is gone.
class DispatchServer : public QObject
{
    Q_OBJECT

public:
    DispatchServer(ServerOptions options, ServerSettings& settings, ServerNotifier& notifier,
                   ServerClock& clock, QObject* parent = nullptr);
    DispatchServer(ServerOptions options, ServerSettings& settings, ServerNotifier& notifier,
                   QObject* parent = nullptr);
    ~DispatchServer() override;

    /// Start-up in order: address list, settings, proxy, store, single copy, interrupted passes. False
    /// when the program must end at once (another server runs on this store); finished() is then emitted.
    /// A standby returns true while it waits for the lock.
    bool start();

    /// This server holds the store's lock (not a standby still waiting for it).
    bool holdsLock() const { return m_lock && !m_standby && !m_finished; }
    bool isStandby() const { return m_standby; }
    bool storeConnected() const { return m_store && !m_storeLost && !m_finished; }
    /// The last connect to the gateway logged in.
    bool gatewayConnected() const { return m_gatewayConnected; }
    /// One line for the service manager: the state, the queue, the last pass.
    QString summaryLine() const;

    // What the window shows and edits.
    const QString& userId() const { return m_session.userId; }
    void setUserId(const QString& userId) { m_session.userId = userId; }
    const QString& password() const { return m_session.password; }
    void setPassword(const QString& password) { m_session.password = password; }
    bool rememberIdPassword() const { return m_remember; }
    bool connectEnabled() const { return m_session.connectEnabled(); }
    QString balanceText() const { return m_session.balanceText(); }
    QString timeText() const { return m_timeText; }
    int serverNumber() const { return m_session.serverNumber; }
    int balance() const { return m_session.balance(); }
    /// The dispatch timer is armed or a pass is running.
    bool isDispatching() const { return m_timerArmed || (m_cycle && m_cycle->isRunning()); }
    bool isBusy() const { return m_operation != Operation::None; }
    const QString& localAddressList() const { return m_session.localAddresses; }

    /// "&Connect": find a gateway server, log in, show the balance, start the dispatch timer.
    void cmdConnect2_Click();
    /// "E&xit": stop, resolve rows left "Read", close the store, end. During a connect or a pass the
    /// server ends once its current request has been answered.
    void exitServer();
    /// Closing the window by other means: close the store and end, no status changed.
    void closeServer();
    /// Stops the dispatch timer (the settings frame is open).
    void stopDispatch();
    /// Ends any network request in progress (the server settings are being saved).
    void cancelTransfer() { m_session.client().abort(); }

    /// One tick of the dispatch timer; public so that tests can drive the cycle.
    void tick();

    /// The local address list: IPv4 addresses from the highest to the lowest, each followed by ",".
    static QString buildAddressList(QList<quint32> addresses);

Q_SIGNALS:
    void statusLine(const QString& line);
    void stateChanged();
    /// The program ends with this exit status.
    void finished(int exitStatus);
    /// Start-up is done: the store is open and its lock held, or a standby has begun to wait for it.
    void ready();
    /// The server is ending (Exit, SIGTERM).
    void stopping();
    /// The dispatch loop has moved on: a tick, a gateway reply, a store retry, a standby's try. A loop
    /// that stops emitting this is wedged.
    void progressed();
    void queueCounted(int queued, int read);
    /// count rows took status (also "Queued" again), as recorded in the store.
    void textsSettled(const QString& status, int count);
    void passEnded(const PassReport& report);
    void gatewayRequestEnded(const QString& page, double seconds, bool delivered);
    void balanceReported(int balance);

private:
    enum class Operation { None, Connect, Pass };
    static constexpr int kTickMs = 1000;

    void AppendStatusLine(const QString& line);
    bool takeSingleCopyLock();
    /// What holding the lock starts with: the lock's holder recorded, old history forgotten, the passes
    /// others left unfinished settled. Throws StoreError.
    void takeUp(const QString& settledBy);
    /// The dispatch engine over the open store, and the unattended connect.
    void startDispatching();
    /// A standby: says so once, then tries the lock every few seconds.
    bool waitForLock();
    void tryTakeOver();
    void takeOver();
    void countQueue();
    void resolveInterruptedPasses(const QString& orphanStatus, const QString& keepUpload,
                                  const QString& settledBy);
    /// After a failed store statement: a lost connection is opened anew, the single-copy lock taken
    /// again and the passes it cut short settled. False when another server took the store meanwhile
    /// (this one then ends); true otherwise, the statement to be tried again a second later.
    bool recoverStore();
    /// Started unattended (no window, no --exit-when-idle): nobody is there to press Connect.
    bool unattended() const { return m_options.headless && !m_options.exitWhenIdle; }
    /// Unattended, a failed connect or an empty balance is followed by a new connect after a while:
    /// 10 s, then 20 s, 30 s and from then on once a minute, until a login brings a balance.
    void connectLater();
    void DecideSendSMS();
    /// The tick comes delayMs from now (a second unless told otherwise).
    void armTimer(int delayMs = kTickMs);
    /// What is left of the second between passes, counted from the last gateway request's end.
    int pauseAfterLastRequest() const;
    void stopTimer();
    void operationEnded();
    QString addressFor(int serverNumber) const;
    void endWhenIdle(int exitStatus);
    void finish(int exitStatus, bool resolve);

    ServerOptions m_options;
    ServerSettings& m_settings;
    ServerNotifier& m_notifier;
    ServerClock& m_clock;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<ServerLock> m_lock;
    GatewaySession m_session;
    std::unique_ptr<DispatchCycle> m_cycle; // once the store is open

    bool m_remember = false;
    QString m_timeText;
    bool m_timerArmed = false;
    QDateTime m_lastRequestEnded;
    quint64 m_timerGeneration = 0;
    Operation m_operation = Operation::None;
    bool m_exitRequested = false;
    int m_connectRetries = 0;
    bool m_connectPending = false;
    bool m_storeLost = false;
    int m_storeAttempts = 0;
    bool m_standby = false;
    bool m_gatewayConnected = false;
    int m_queued = 0;
    std::optional<PassReport> m_lastPass;
    int m_exitStatus = 0;
    bool m_finished = false;
};
