#include "DispatchServer.h"

#include "DispatchQueue.h"
#include "PassJournal.h"
#include "ServerClock.h"
#include "ServerNotifier.h"
#include "Store.h"

#include <QDir>
#include <QFileInfo>
#include <QHostAddress>
#include <QNetworkInterface>
#include <QTime>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kTickMs = 1000;

// Two paths to one store file (a symbolic link, "..", a relative path) must meet at one lock.
QString canonicalStorePath(const QString& path)
{
    const QFileInfo file(path);
    const QString canonical = file.canonicalFilePath();
    if (!canonical.isEmpty())
        return canonical;
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return QDir(folder.isEmpty() ? file.absolutePath() : folder).filePath(file.fileName());
}

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
    m_session.giveUpAfterOneRound = m_options.exitWhenIdle;
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
            m_store.reset();
            m_notifier.message(QStringLiteral("SERVER Allready Running"));
            finish(1, false);
            return false;
        }
        AppendStatusLine(QStringLiteral("DatabaseLoad: Success"));
        // Rows caught in an interrupted pass end as far as its journal shows the upload got.
        resolveInterruptedPasses(QStringLiteral("Deleted"));
        if (DispatchQueue(*m_store).countQueued() > 0)
            m_notifier.message(
                QStringLiteral(
                    "Messages are in Queued, Please check Message Queue before connect the server"),
                QStringLiteral("Kelvra Solutions"), ServerNotifier::Icon::Information);
    } catch (const StoreError& error) {
        m_store.reset();
        m_lock.reset();
        AppendStatusLine(QStringLiteral("DatabaseError: ") +
                         (error.code().isEmpty() ? QStringLiteral("-1") : error.code()));
        AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
        AppendStatusLine(QStringLiteral("DatabaseLoad: Fail"));
        m_session.setConnectEnabled(false);
        if (m_options.headless) {
            std::fprintf(stderr, "quaylink: %s\n", qPrintable(error.message().simplified()));
            finish(1, false);
            return false;
        }
    }
    if (m_store) {
        m_cycle =
            std::make_unique<DispatchCycle>(*m_store, m_session, m_notifier, m_clock,
                                            QDir(m_options.dataDir).filePath(QStringLiteral("SMS/Pending")));
        connect(m_cycle.get(), &DispatchCycle::statusLine, this, &DispatchServer::AppendStatusLine);
    }
    Q_EMIT stateChanged();
    if (m_options.connect && m_store)
        QMetaObject::invokeMethod(this, &DispatchServer::cmdConnect2_Click, Qt::QueuedConnection);
    return true;
}

bool DispatchServer::takeSingleCopyLock()
{
    // One server per store: a lock beside an SQLite file; on PostgreSQL an advisory lock in the store.
    if (m_store->engine() == StoreLocation::Engine::Postgres)
        return TryTakeServerLock(*m_store);
    m_lock = std::make_unique<QLockFile>(canonicalStorePath(m_options.store.sqlitePath()) +
                                         QStringLiteral(".quaylink.lock"));
    m_lock->setStaleLockTime(0);
    if (m_lock->tryLock(0))
        return true;
    m_lock.reset();
    return false;
}

void DispatchServer::resolveInterruptedPasses(const QString& orphanStatus)
{
    for (const PassJournal::Resolution& pass : PassJournal(*m_store).resolveInterrupted(orphanStatus)) {
        const QString counts = QStringLiteral("%1 Queued, %2 Sent, %3 DelSent, %4 Deleted")
                                   .arg(pass.queued)
                                   .arg(pass.sent)
                                   .arg(pass.delSent)
                                   .arg(pass.deleted);
        AppendStatusLine(pass.uploadName.isEmpty()
                             ? QStringLiteral("Interrupted pass without a journal: %1").arg(counts)
                             : QStringLiteral("Interrupted pass %1: %2").arg(pass.uploadName, counts));
    }
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
            armTimer();
        } else {
            stopTimer();
            if (result == GatewaySession::ConnectResult::Failed)
                endWhenIdle(1);
        }
        operationEnded();
    });
    // Refused before anything was sent (an empty box): the callback has run already.
    if (!m_session.isConnecting() && m_operation == Operation::Connect)
        m_operation = Operation::None;
}

void DispatchServer::armTimer()
{
    m_timerArmed = true;
    const quint64 generation = ++m_timerGeneration;
    m_clock.callAfter(kTickMs, this, [this, generation] {
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
    stopTimer();
    m_timeText = QTime::currentTime().toString(QStringLiteral("hh:mm:ss:AP"));
    Q_EMIT stateChanged();
    if (m_session.balance() != 0 && m_cycle)
        return DecideSendSMS();
    m_session.setConnectEnabled(true);
    endWhenIdle(1);
    if (!m_exitRequested)
        armTimer();
}

void DispatchServer::DecideSendSMS()
{
    int queued = 0;
    try {
        queued = DispatchQueue(*m_store).countQueued();
    } catch (const StoreError& error) {
        AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
        if (!m_exitRequested)
            armTimer();
        return;
    }
    if (queued == 0) {
        endWhenIdle(0);
        if (!m_exitRequested)
            armTimer();
        return;
    }
    AppendStatusLine(QStringLiteral("Records found - %1").arg(queued));
    m_operation = Operation::Pass;
    m_session.setConnectEnabled(true);
    m_session.connectGateway([this](GatewaySession::ConnectResult result) {
        if (result != GatewaySession::ConnectResult::LoggedIn) {
            if (result == GatewaySession::ConnectResult::Failed)
                endWhenIdle(1);
            if (!m_exitRequested)
                armTimer();
            return operationEnded();
        }
        m_cycle->run([this] {
            if (!m_exitRequested)
                armTimer();
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
    m_exitRequested = true;
    stopTimer();
    if (m_operation == Operation::None)
        return finish(m_exitStatus, true);
    // The operation ends before its next request and then finishes the server.
    m_session.stop();
    if (m_cycle)
        m_cycle->stop();
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
            if (resolve)
                resolveInterruptedPasses(QStringLiteral("Queued"));
        } catch (const StoreError&) { // leaving anyway; the next start resolves them
        }
        m_store->close();
    }
    m_lock.reset();
    Q_EMIT finished(exitStatus);
}
