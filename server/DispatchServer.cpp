#include "DispatchServer.h"

#include "DispatchHistory.h"
#include "DispatchQueue.h"
#include "HeadlessOutput.h"
#include "PassJournal.h"
#include "ServerClock.h"
#include "ServerLock.h"
#include "ServerNotifier.h"
#include "Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QHostAddress>
#include <QLocale>
#include <QNetworkInterface>
#include <QSysInfo>
#include <QTime>

#include <algorithm>

namespace {

// How long Exit waits for the gateway's reply to the request in progress.
constexpr int kExitWaitMs = 10000;
constexpr int kConnectRetrySeconds[] = {10, 20, 30, 60};
// While the store is out of reach, one status line a minute says so (one attempt a second).
constexpr int kStoreAttemptsPerLine = 60;
// A standby tries the lock this often: sending resumes a few seconds after the other server's session ends.
constexpr int kStandbyTryMs = 2000;
// The history of passes that `quaylink status` reads is kept this long.
constexpr int kHistoryDays = 92;

} // namespace

DispatchServer::DispatchServer(ServerOptions options, ServerSettings& settings, ServerNotifier& notifier,
                               ServerClock& clock, QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_settings(settings)
    , m_notifier(notifier)
    , m_clock(clock)
    , m_session(clock, notifier, [this](int number) { return addressFor(number); })
{
    connect(&m_session, &GatewaySession::statusLine, this, &DispatchServer::AppendStatusLine);
    connect(&m_session, &GatewaySession::stateChanged, this, &DispatchServer::stateChanged);
    connect(&m_session, &GatewaySession::balanceReported, this, &DispatchServer::balanceReported);
    connect(&m_session.client(), &GatewayClient::requestEnded, this,
            [this](const QString& page, double seconds, bool delivered) {
                m_lastRequestEnded = m_clock.now();
                Q_EMIT progressed();
                Q_EMIT gatewayRequestEnded(page, seconds, delivered);
            });
    // Without a window the server search gives up after one round; unattended, connectLater() paces
    // the next one.
    m_session.giveUpAfterOneRound = m_options.exitWhenIdle || m_options.headless;
    bool ok = false;
    const int timeout = qEnvironmentVariableIntValue("QUAYLINK_REQUEST_TIMEOUT_MS", &ok);
    if (ok && timeout > 0)
        m_session.client().setTimeoutMs(timeout);
}

DispatchServer::DispatchServer(ServerOptions options, ServerSettings& settings, ServerNotifier& notifier,
                               QObject* parent)
    : DispatchServer(std::move(options), settings, notifier, SystemClock::instance(), parent)
{
}

DispatchServer::~DispatchServer() = default;

QString DispatchServer::buildAddressList(QList<quint32> addresses)
{
    std::sort(addresses.begin(), addresses.end());
    QString list;
    for (quint32 address : std::as_const(addresses))
        list.prepend(QHostAddress(address).toString() + u',');
    return list;
}

bool DispatchServer::start()
{
    QList<quint32> addresses;
    for (const QHostAddress& address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            addresses << address.toIPv4Address();
    }
    m_session.localAddresses = buildAddressList(addresses);

    m_timeText = QTime::currentTime().toString(QStringLiteral("hh:mm:ss:AP"));
    if (m_settings.userId().isEmpty())
        m_settings.setUserId(QString());
    m_remember = m_settings.rememberIdPassword();
    if (m_remember) {
        m_session.userId = m_settings.userId();
        m_session.password = m_settings.password();
    }
    if (m_options.userId)
        m_session.userId = *m_options.userId;
    if (m_options.password)
        m_session.password = *m_options.password;
    m_session.serverNumber =
        m_options.serverNumber ? *m_options.serverNumber : m_settings.serverNumber().toInt();

    const ServerSettings::Proxy proxy = m_settings.proxy();
    if (proxy.enabled && !proxy.address.trimmed().isEmpty() && !proxy.port.trimmed().isEmpty()) {
        QNetworkProxy networkProxy(QNetworkProxy::HttpProxy, proxy.address.trimmed(),
                                   proxy.port.trimmed().toUShort());
        if (!proxy.password.trimmed().isEmpty() && !proxy.userName.trimmed().isEmpty()) {
            networkProxy.setUser(proxy.userName);
            networkProxy.setPassword(proxy.password);
        }
        m_session.client().setProxy(networkProxy);
    }

    try {
        m_store = Store::open(m_options.store);
        if (!takeSingleCopyLock()) {
            if (m_options.standby) {
                AppendStatusLine(QStringLiteral("DatabaseLoad: Success"));
                return waitForLock();
            }
            m_store.reset();
            m_notifier.message(QStringLiteral("SERVER Allready Running"));
            finish(1, false);
            return false;
        }
        AppendStatusLine(QStringLiteral("DatabaseLoad: Success"));
        takeUp(QStringLiteral("start-up"));
    } catch (const StoreError& error) {
        m_store.reset();
        m_lock.reset();
        AppendStatusLine(QStringLiteral("DatabaseError: ") +
                         (error.code().isEmpty() ? QStringLiteral("-1") : error.code()));
        AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
        AppendStatusLine(QStringLiteral("DatabaseLoad: Fail"));
        m_session.setConnectEnabled(false);
        if (m_options.headless) {
            HeadlessOutput::printError(error.message().simplified());
            finish(1, false);
            return false;
        }
    }
    startDispatching();
    if (m_store)
        Q_EMIT ready();
    return true;
}

void DispatchServer::startDispatching()
{
    if (m_store) {
        m_cycle =
            std::make_unique<DispatchCycle>(*m_store, m_session, m_notifier, m_clock,
                                            QDir(m_options.dataDir).filePath(QStringLiteral("SMS/Pending")));
        connect(m_cycle.get(), &DispatchCycle::statusLine, this, &DispatchServer::AppendStatusLine);
        // Counted from what the pass took rather than again in the store: the pass is about to talk to the
        // gateway, and the next tick counts anew.
        connect(m_cycle.get(), &DispatchCycle::rowsMarked, this, [this](int read, int taken) {
            m_queued = std::max(0, m_queued - taken);
            Q_EMIT queueCounted(m_queued, read);
            Q_EMIT stateChanged();
        });
        connect(m_cycle.get(), &DispatchCycle::textsSettled, this, &DispatchServer::textsSettled);
        connect(m_cycle.get(), &DispatchCycle::passEnded, this, [this](const PassReport& report) {
            m_lastPass = report;
            Q_EMIT passEnded(report);
            Q_EMIT stateChanged();
        });
        m_cycle->setStoreRecovery([this] { return recoverStore(); });
        countQueue();
    }
    Q_EMIT stateChanged();
    if (m_options.connect && m_store)
        QMetaObject::invokeMethod(this, &DispatchServer::cmdConnect2_Click, Qt::QueuedConnection);
}

bool DispatchServer::takeSingleCopyLock()
{
    m_lock = ServerLock::tryTake(*m_store);
    return m_lock != nullptr;
}

void DispatchServer::takeUp(const QString& settledBy)
{
    const QDateTime now = QDateTime::currentDateTime();
    const DispatchHistory history(*m_store);
    history.recordLockTaken(QSysInfo::machineHostName(), QCoreApplication::applicationPid(), now);
    history.forgetBefore(now.addDays(-kHistoryDays));
    // Rows caught in an interrupted pass end as far as its journal shows the upload got.
    resolveInterruptedPasses(QStringLiteral("Deleted"), {}, settledBy);
    if (DispatchQueue(*m_store).countQueued() > 0)
        m_notifier.message(
            QStringLiteral("Messages are in Queued, Please check Message Queue before connect the server"),
            QStringLiteral("Kelvra Solutions"), ServerNotifier::Icon::Information);
}

bool DispatchServer::waitForLock()
{
    m_standby = true;
    AppendStatusLine(QStringLiteral("Standby: another server holds the message store; this one takes over "
                                    "when that server's connection ends"));
    Q_EMIT stateChanged();
    Q_EMIT ready();
    m_clock.callAfter(kStandbyTryMs, this, [this] { tryTakeOver(); });
    return true;
}

void DispatchServer::tryTakeOver()
{
    if (m_finished || m_exitRequested)
        return;
    Q_EMIT progressed();
    std::unique_ptr<ServerLock> lock;
    try {
        if (!m_store->isReachable())
            m_store->reopen();
        lock = ServerLock::tryTake(*m_store);
    } catch (const StoreError& error) {
        if (m_storeAttempts++ % kStoreAttemptsPerLine == 0)
            AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
    }
    if (!lock) {
        m_clock.callAfter(kStandbyTryMs, this, [this] { tryTakeOver(); });
        return;
    }
    m_lock = std::move(lock);
    m_standby = false;
    m_storeAttempts = 0;
    AppendStatusLine(QStringLiteral("Standby: the server that held the message store is gone; this one "
                                    "takes over"));
    takeOver();
}

void DispatchServer::takeOver()
{
    try {
        takeUp(QStringLiteral("take-over"));
    } catch (const StoreError& error) {
        AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
        // Nothing is sent before the passes the other server left are settled.
        if (recoverStore())
            m_clock.callAfter(kTickMs, this, [this] { takeOver(); });
        return;
    }
    startDispatching();
}

void DispatchServer::countQueue()
{
    if (!m_store || m_standby || m_storeLost || m_finished)
        return;
    try {
        const DispatchQueue::Counts counts = DispatchQueue(*m_store).countWaiting();
        m_queued = counts.queued;
        Q_EMIT queueCounted(counts.queued, counts.read);
        Q_EMIT stateChanged();
    } catch (const StoreError&) { // only figures; the pass meets the fault itself
    }
}

QString DispatchServer::summaryLine() const
{
    const QLocale numbers(QLocale::English);
    QString state = QStringLiteral("not connected");
    if (m_finished || m_exitRequested)
        state = QStringLiteral("stopping");
    else if (m_standby)
        state = QStringLiteral("standby, waiting for the store's lock");
    else if (m_storeLost)
        state = QStringLiteral("store lost, opening it again");
    else if (m_connectPending)
        state = QStringLiteral("connecting again");
    else if (m_gatewayConnected)
        state = QStringLiteral("connected");
    if (m_standby)
        return state;
    QString line = state + QStringLiteral("; %1 queued").arg(numbers.toString(m_queued));
    if (m_lastPass)
        line += QStringLiteral("; last pass %1 %2 %3 in %4 s")
                    .arg(m_lastPass->ended.toString(QStringLiteral("HH:mm:ss")), m_lastPass->outcome,
                         numbers.toString(m_lastPass->rows), numbers.toString(m_lastPass->seconds, 'f', 1));
    return line;
}

void DispatchServer::resolveInterruptedPasses(const QString& orphanStatus, const QString& keepUpload,
                                              const QString& settledBy)
{
    for (const PassJournal::Resolution& pass :
         PassJournal(*m_store).resolveInterrupted(orphanStatus, keepUpload, settledBy)) {
        const QString counts = QStringLiteral("%1 Queued, %2 Sent, %3 DelSent, %4 Deleted")
                                   .arg(pass.queued)
                                   .arg(pass.sent)
                                   .arg(pass.delSent)
                                   .arg(pass.deleted);
        AppendStatusLine(pass.uploadName.isEmpty()
                             ? QStringLiteral("Interrupted pass without a journal: %1").arg(counts)
                             : QStringLiteral("Interrupted pass %1: %2").arg(pass.uploadName, counts));
        for (const auto& [status, rows] :
             {std::pair(QStringLiteral("Queued"), pass.queued), std::pair(QStringLiteral("Sent"), pass.sent),
              std::pair(QStringLiteral("DelSent"), pass.delSent),
              std::pair(QStringLiteral("Deleted"), pass.deleted)}) {
            if (rows > 0)
                Q_EMIT textsSettled(status, rows);
        }
    }
}

bool DispatchServer::recoverStore()
{
    if (m_finished || !m_store)
        return false;
    Q_EMIT progressed();
    // A store that still answers under this server's lock had a passing fault: a lock held by
    // another program, a full disk. The statement is simply tried again.
    if (m_store->isReachable() && m_lock && m_lock->covers(*m_store))
        return true;
    if (!m_storeLost) {
        m_storeLost = true;
        m_storeAttempts = 0;
        AppendStatusLine(QStringLiteral("DatabaseError: the connection to the message store is lost; "
                                        "opening it again every second"));
    }
    try {
        m_store->reopen();
        // The lock went with the connection (PostgreSQL) or stayed on a file the path no longer names:
        // it is taken again before anything else is read or written.
        if (!m_lock || !m_lock->covers(*m_store)) {
            std::unique_ptr<ServerLock> lock = ServerLock::tryTake(*m_store);
            if (!lock) {
                AppendStatusLine(QStringLiteral("DatabaseError: another server took the message store while "
                                                "the connection was lost; this server stops dispatching"));
                m_notifier.message(QStringLiteral("SERVER Allready Running"));
                stopTimer();
                if (m_cycle)
                    m_cycle->stop();
                finish(1, false);
                return false;
            }
            m_lock = std::move(lock);
            DispatchHistory(*m_store).recordLockTaken(QSysInfo::machineHostName(),
                                                      QCoreApplication::applicationPid(),
                                                      QDateTime::currentDateTime());
        }
        // Passes another server left unfinished meanwhile are settled as a start would settle them;
        // the pass in progress here goes on.
        resolveInterruptedPasses(QStringLiteral("Deleted"), m_cycle ? m_cycle->uploadInProgress() : QString(),
                                 QStringLiteral("store reopened"));
    } catch (const StoreError& error) {
        if (m_storeAttempts++ % kStoreAttemptsPerLine == 0)
            AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
        return true;
    }
    m_storeLost = false;
    AppendStatusLine(QStringLiteral("DatabaseLoad: Success"));
    Q_EMIT stateChanged();
    return true;
}

void DispatchServer::AppendStatusLine(const QString& line)
{
    Q_EMIT statusLine(line);
}

QString DispatchServer::addressFor(int serverNumber) const
{
    if (serverNumber == 9)
        return m_options.gateway ? *m_options.gateway : m_settings.server9Address();
    if (serverNumber >= 1 && serverNumber <= 5)
        return m_settings.serverAddress(serverNumber);
    return {};
}

void DispatchServer::cmdConnect2_Click()
{
    if (m_finished || m_exitRequested || m_operation != Operation::None)
        return;
    m_operation = Operation::Connect;
    m_session.connectGateway([this](GatewaySession::ConnectResult result) {
        if (result == GatewaySession::ConnectResult::LoggedIn) {
            m_gatewayConnected = true;
            if (m_session.balance() > 0)
                m_connectRetries = 0;
            armTimer();
        } else {
            stopTimer();
            if (result == GatewaySession::ConnectResult::Failed) {
                m_gatewayConnected = false;
                endWhenIdle(1);
                if (unattended())
                    connectLater();
            }
        }
        operationEnded();
    });
    // Refused before anything was sent (an empty box): the callback has run already.
    if (!m_session.isConnecting() && m_operation == Operation::Connect)
        m_operation = Operation::None;
}

void DispatchServer::connectLater()
{
    if (m_connectPending || m_finished || m_exitRequested)
        return;
    stopTimer();
    const int seconds =
        kConnectRetrySeconds[std::min<std::size_t>(m_connectRetries, std::size(kConnectRetrySeconds) - 1)];
    ++m_connectRetries;
    m_connectPending = true;
    AppendStatusLine(QStringLiteral("Server: connecting again in %1 s").arg(seconds));
    Q_EMIT stateChanged();
    m_clock.callAfter(seconds * 1000, this, [this] {
        m_connectPending = false;
        Q_EMIT progressed();
        cmdConnect2_Click();
    });
}

int DispatchServer::pauseAfterLastRequest() const
{
    const qint64 since = m_lastRequestEnded.isValid() ? m_lastRequestEnded.msecsTo(m_clock.now()) : 0;
    return int(std::clamp<qint64>(kTickMs - since, 0, kTickMs));
}

void DispatchServer::armTimer(int delayMs)
{
    m_timerArmed = true;
    const quint64 generation = ++m_timerGeneration;
    m_clock.callAfter(delayMs, this, [this, generation] {
        if (m_timerArmed && generation == m_timerGeneration)
            tick();
    });
    Q_EMIT stateChanged();
}

void DispatchServer::stopTimer()
{
    m_timerArmed = false;
    ++m_timerGeneration;
}

void DispatchServer::tick()
{
    if (m_finished || m_operation != Operation::None)
        return;
    Q_EMIT progressed();
    stopTimer();
    m_timeText = QTime::currentTime().toString(QStringLiteral("hh:mm:ss:AP"));
    Q_EMIT stateChanged();
    if (m_session.balance() != 0 && m_cycle)
        return DecideSendSMS();
    m_session.setConnectEnabled(true);
    endWhenIdle(1);
    if (m_exitRequested)
        return;
    // With an operator the Connect button waits for a new login; unattended, the server logs in again
    // itself to learn of a new balance.
    if (unattended())
        return connectLater();
    armTimer();
}

void DispatchServer::DecideSendSMS()
{
    int queued = 0;
    try {
        const DispatchQueue::Counts counts = DispatchQueue(*m_store).countWaiting();
        queued = counts.queued;
        if (queued != m_queued) {
            m_queued = queued;
            Q_EMIT stateChanged();
        }
        Q_EMIT queueCounted(counts.queued, counts.read);
    } catch (const StoreError& error) {
        if (!m_storeLost)
            AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
        if (recoverStore() && !m_exitRequested)
            armTimer();
        return;
    }
    if (queued == 0) {
        endWhenIdle(0);
        if (!m_exitRequested)
            armTimer();
        return;
    }
    // Never a pass without the lock: a connection cut meanwhile may have let a standby take the store.
    if (!m_lock || !m_lock->covers(*m_store)) {
        if (recoverStore() && !m_exitRequested)
            armTimer();
        return;
    }
    AppendStatusLine(QStringLiteral("Records found - %1").arg(queued));
    m_operation = Operation::Pass;
    m_session.setConnectEnabled(true);
    m_session.connectGateway([this](GatewaySession::ConnectResult result) {
        if (result != GatewaySession::ConnectResult::LoggedIn) {
            const bool failed = result == GatewaySession::ConnectResult::Failed;
            if (failed) {
                m_gatewayConnected = false;
                endWhenIdle(1);
            }
            if (!m_exitRequested) {
                if (failed && unattended())
                    connectLater();
                else
                    armTimer();
            }
            return operationEnded();
        }
        m_gatewayConnected = true;
        if (m_session.balance() > 0)
            m_connectRetries = 0;
        m_cycle->run([this] {
            // The pause before the next pass runs from this pass's last request: what the pass recorded
            // after the gateway's last reply, and the count below, take place within it.
            if (!m_exitRequested)
                armTimer(pauseAfterLastRequest());
            countQueue();
            operationEnded();
        });
    });
}

void DispatchServer::operationEnded()
{
    m_operation = Operation::None;
    // A connection is kept only for the requests of one operation.
    m_session.client().endSession();
    if (m_exitRequested && !m_finished)
        finish(m_exitStatus, true);
}

void DispatchServer::endWhenIdle(int exitStatus)
{
    if (!m_options.exitWhenIdle || m_exitRequested)
        return;
    m_exitStatus = exitStatus;
    exitServer();
}

void DispatchServer::stopDispatch()
{
    stopTimer();
}

void DispatchServer::exitServer()
{
    if (!m_exitRequested)
        Q_EMIT stopping();
    m_exitRequested = true;
    stopTimer();
    if (m_operation == Operation::None)
        return finish(m_exitStatus, true);
    // The operation ends before its next request and then finishes the server. A gateway that does not
    // answer the request in progress would hold the exit for the whole request time-out: after a while
    // the request is given up, and its rows end as the journal has them.
    m_session.stop();
    if (m_cycle)
        m_cycle->stop();
    m_clock.callAfter(kExitWaitMs, this, [this] {
        if (m_finished || m_operation == Operation::None || !m_session.client().isBusy())
            return;
        AppendStatusLine(
            QStringLiteral("Exit: no reply from the gateway within %1 s; the request is given up")
                .arg(kExitWaitMs / 1000));
        m_session.client().abort();
    });
}

void DispatchServer::closeServer()
{
    m_exitRequested = true;
    stopTimer();
    m_session.stop();
    if (m_cycle)
        m_cycle->stop();
    finish(m_exitStatus, false);
    m_session.client().abort();
}

void DispatchServer::finish(int exitStatus, bool resolve)
{
    if (m_finished)
        return;
    m_finished = true;
    stopTimer();
    if (m_store && m_store->isOpen()) {
        try {
            // Rows of a pass that never finished posting go back to the queue; the rest end as far as
            // the journal shows their upload got.
            if (resolve && !m_standby)
                resolveInterruptedPasses(QStringLiteral("Queued"), {}, QStringLiteral("exit"));
        } catch (const StoreError&) { // leaving anyway; the next start resolves them
        }
        m_store->close();
    }
    m_lock.reset();
    Q_EMIT finished(exitStatus);
}
