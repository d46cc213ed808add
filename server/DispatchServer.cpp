#include "DispatchServer.h"

#include "DispatchQueue.h"
#include "ServerNotifier.h"
#include "Store.h"
#include "UploadPayload.h"
#include "cZLIB.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkInterface>

#include <algorithm>

namespace {

const QByteArray kServerConnected = QByteArrayLiteral("Server Connected");
// The debit page takes this fixed password for every account, not the operator's.
const QByteArray kDebitPassword = QByteArrayLiteral("qerlodnasti");
constexpr int kMaxPerPass = 2000;

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss AP"));
}

// The upload file is named after the user id; keep whatever the operator typed out of the path.
QString fileSafe(const QString& text)
{
    QString safe;
    for (const QChar c : text)
        safe += (c.isLetterOrNumber() && c.unicode() < 128) || c == u'-' || c == u'_' || c == u'.'
                    ? c
                    : QChar(u'_');
    return safe;
}

} // namespace

class DispatchServer::Busy
{
public:
    explicit Busy(DispatchServer& server)
        : m_server(server)
    {
        ++m_server.m_busy;
    }
    ~Busy()
    {
        if (--m_server.m_busy > 0)
            return;
        // A connection is kept only for the requests of one operation.
        m_server.m_gateway.endSession();
        if (m_server.m_exitRequested && !m_server.m_finished)
            m_server.finish(m_server.m_exitStatus, true);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    DispatchServer& m_server;
};

DispatchServer::DispatchServer(ServerOptions options, ServerSettings& settings, ServerNotifier& notifier,
                               QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_settings(settings)
    , m_notifier(notifier)
{
    m_sendMessage.setObjectName(QStringLiteral("SendMessage"));
    m_sendMessage.setInterval(1000);
    connect(&m_sendMessage, &QTimer::timeout, this, &DispatchServer::tick);
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
    m_localAddresses = buildAddressList(addresses);

    // One server per store: a lock beside an SQLite file; on PostgreSQL an advisory lock, below.
    if (m_options.store.engine() == StoreLocation::Engine::Sqlite) {
        m_lock = std::make_unique<QLockFile>(m_options.store.sqlitePath() + QStringLiteral(".quaylink.lock"));
        m_lock->setStaleLockTime(0);
        if (!m_lock->tryLock(0)) {
            m_lock.reset();
            m_notifier.message(QStringLiteral("SERVER Allready Running"));
            finish(1, false);
            return false;
        }
    }

    m_timeText = QTime::currentTime().toString(QStringLiteral("hh:mm:ss:AP"));
    if (m_settings.userId().isEmpty())
        m_settings.setUserId(QString());
    m_remember = m_settings.rememberIdPassword();
    if (m_remember) {
        m_userId = m_settings.userId();
        m_password = m_settings.password();
    }
    if (m_options.userId)
        m_userId = *m_options.userId;
    if (m_options.password)
        m_password = *m_options.password;
    m_serverNumber = m_options.serverNumber ? *m_options.serverNumber : m_settings.serverNumber().toInt();

    const ServerSettings::Proxy proxy = m_settings.proxy();
    if (proxy.enabled && !proxy.address.trimmed().isEmpty() && !proxy.port.trimmed().isEmpty()) {
        QNetworkProxy networkProxy(QNetworkProxy::HttpProxy, proxy.address.trimmed(),
                                   proxy.port.trimmed().toUShort());
        if (!proxy.password.trimmed().isEmpty() && !proxy.userName.trimmed().isEmpty()) {
            networkProxy.setUser(proxy.userName);
            networkProxy.setPassword(proxy.password);
        }
        m_gateway.setProxy(networkProxy);
    }

    try {
        m_store = Store::open(m_options.store);
        if (m_store->engine() == StoreLocation::Engine::Postgres) {
            QSqlQuery lock = m_store->exec(QStringLiteral("SELECT pg_try_advisory_lock(44170002)"));
            if (!lock.next() || !lock.value(0).toBool()) {
                m_store.reset();
                m_notifier.message(QStringLiteral("SERVER Allready Running"));
                finish(1, false);
                return false;
            }
        }
        AppendStatusLine(QStringLiteral("DatabaseLoad: Success"));
        DispatchQueue queue(*m_store);
        // Rows caught in an interrupted pass may or may not have reached the gateway: written off.
        queue.setReadTo(QStringLiteral("Deleted"));
        if (queue.countQueued() > 0)
            m_notifier.message(
                QStringLiteral(
                    "Messages are in Queued, Please check Message Queue before connect the server"),
                QStringLiteral("Kelvra Solutions"), ServerNotifier::Icon::Information);
    } catch (const StoreError& error) {
        m_store.reset();
        AppendStatusLine(QStringLiteral("DatabaseError: ") +
                         (error.code().isEmpty() ? QStringLiteral("-1") : error.code()));
        AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
        AppendStatusLine(QStringLiteral("DatabaseLoad: Fail"));
        setConnectEnabled(false);
        if (m_options.headless) {
            std::fprintf(stderr, "quaylink: %s\n", qPrintable(error.message().simplified()));
            finish(1, false);
            return false;
        }
    }
    Q_EMIT stateChanged();
    if (m_options.connect && m_store)
        QMetaObject::invokeMethod(this, &DispatchServer::cmdConnect2_Click, Qt::QueuedConnection);
    return true;
}

void DispatchServer::AppendStatusLine(const QString& line)
{
    Q_EMIT statusLine(line);
}

void DispatchServer::setConnectEnabled(bool enabled)
{
    m_connectEnabled = enabled;
    Q_EMIT stateChanged();
}

void DispatchServer::setBalance(int balance, const QString& text)
{
    m_balance = balance;
    m_balanceText = text;
    Q_EMIT stateChanged();
}

void DispatchServer::processEvents()
{
    QCoreApplication::processEvents();
}

void DispatchServer::pause(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

QString DispatchServer::addressFor(int serverNumber) const
{
    if (serverNumber == 9)
        return m_options.gateway ? *m_options.gateway : m_settings.server9Address();
    if (serverNumber >= 1 && serverNumber <= 5)
        return m_settings.serverAddress(serverNumber);
    return {};
}

QByteArray DispatchServer::pageUrl(const char* page, const QByteArray& query) const
{
    return QByteArrayLiteral("http://") + m_gatewayAddress.toUtf8() + QByteArrayLiteral("/Quaylink/") + page +
           query;
}

GatewayClient::Reply DispatchServer::checkServer()
{
    m_lastRequestUrl = pageUrl("QuaylinkChk.asp");
    return m_gateway.get(m_lastRequestUrl);
}

void DispatchServer::cmdConnect2_Click()
{
    if (m_finished)
        return;
    Busy busy(*this);
    m_loggedIn = true;
    processEvents();
    if (m_userId.isEmpty() || m_password.isEmpty()) {
        m_notifier.message(m_userId.isEmpty() ? QStringLiteral("Empty: Userid")
                                              : QStringLiteral("Empty: UserPassword"),
                           QStringLiteral("Quaylink"), ServerNotifier::Icon::Question);
        setConnectEnabled(true);
        m_loggedIn = false;
        endWhenIdle(1);
        return;
    }
    processEvents();
    if (!m_connectEnabled || m_exitRequested)
        return; // a connect is already running
    setConnectEnabled(false);

    QByteArray reply;
    if (!m_gatewayAddress.isEmpty()) {
        pause(100);
        AppendStatusLine(
            QStringLiteral("Server: Trying to Connect server - 0 Server NO =%1").arg(m_serverNumber));
        reply = checkServer().body;
    } else {
        const int firstServer = m_serverNumber;
        for (;;) {
            const QString address = addressFor(m_serverNumber).trimmed();
            if (m_serverNumber == 9 && address.isEmpty())
                m_notifier.message(QStringLiteral("IP Address Not Set, Contact to your Vendor"));
            if (address.isEmpty())
                break;
            m_gatewayAddress = address;
            reply.clear();
            for (int attempt = 1; attempt <= 2 && reply.isEmpty() && !m_exitRequested; ++attempt) {
                pause(500);
                AppendStatusLine(QStringLiteral("Server: Trying to Connect server - %1 Server NO =%2")
                                     .arg(attempt)
                                     .arg(m_serverNumber));
                reply = checkServer().body;
                processEvents();
            }
            if (reply == kServerConnected)
                break;
            m_gatewayAddress.clear();
            reply.clear();
            const int tried = m_serverNumber;
            if (m_serverNumber == 1)
                m_serverNumber = 2;
            else if (m_serverNumber == 2)
                m_serverNumber = 1;
            // The search goes on until a server answers; unattended runs give up after one round.
            if (m_exitRequested ||
                (m_options.exitWhenIdle && (m_serverNumber == firstServer || m_serverNumber == tried)))
                break;
        }
    }

    if (reply != kServerConnected) {
        m_loggedIn = false;
        AppendStatusLine(QStringLiteral("Server: NOT Connected "));
        m_gatewayAddress.clear();
        setConnectEnabled(true);
        m_sendMessage.stop();
        endWhenIdle(1);
        return;
    }

    m_loginQuery = QByteArrayLiteral("?UserId=") + EncodeQueryValue(m_userId) +
                   QByteArrayLiteral("&UserPassWord=") + EncodeQueryValue(m_password) +
                   QByteArrayLiteral("&IP=") + EncodeQueryValue(m_localAddresses);
    m_lastRequestUrl = pageUrl("Logonchk.asp", m_loginQuery);
    const QString login = QString::fromUtf8(m_gateway.get(m_lastRequestUrl).body);
    AppendStatusLine(QStringLiteral("Server: Connected   ") + now());

    const QStringList fields = login.split(QStringLiteral("||"));
    if (fields.first() == QLatin1String("logonyes")) {
        if (fields.size() > 1) {
            const QString balanceText = fields.at(1).trimmed();
            bool number = false;
            const int balance = balanceText.toInt(&number);
            // The balance never goes below 0.
            setBalance(number ? std::max(0, balance) : m_balance,
                       QStringLiteral("Balance SMS: ") + balanceText);
        }
        m_sendMessage.start();
        setConnectEnabled(false);
        return;
    }
    m_loggedIn = false;
    AppendStatusLine(fields.first() == QLatin1String("logonno") ? QStringLiteral("Login: Incorrect!")
                                                                : QStringLiteral("Login: Fail!"));
    setBalance(0, QStringLiteral("Balance SMS: 0"));
    m_sendMessage.stop();
    setConnectEnabled(true);
    endWhenIdle(1);
}

void DispatchServer::tick()
{
    if (m_finished)
        return;
    Busy busy(*this);
    m_timeText = QTime::currentTime().toString(QStringLiteral("hh:mm:ss:AP"));
    Q_EMIT stateChanged();
    m_sendMessage.stop();
    try {
        if (m_balance != 0) {
            DecideSendSMS();
        } else {
            setConnectEnabled(true);
            endWhenIdle(1);
        }
    } catch (const StoreError& error) {
        AppendStatusLine(QStringLiteral("DatabaseError: ") + error.message());
    }
    if (!m_exitRequested)
        m_sendMessage.start();
}

void DispatchServer::DecideSendSMS()
{
    DispatchQueue queue(*m_store);
    const int queued = queue.countQueued();
    processEvents();
    if (queued > 0) {
        AppendStatusLine(QStringLiteral("Records found - %1").arg(queued));
        m_loggedIn = false;
        setConnectEnabled(true);
        cmdConnect2_Click();
        if (m_loggedIn && !m_exitRequested) {
            m_loggedIn = false;
            SendSmsSingleFile();
        }
    } else {
        endWhenIdle(0);
    }
    processEvents();
}

bool DispatchServer::buildUpload(const QString& path, int* count)
{
    DispatchQueue queue(*m_store);
    Transaction transaction(*m_store);
    const QList<DispatchQueue::Row> rows = queue.selectQueued(kMaxPerPass);
    QList<int> discarded;
    QList<int> read;
    QByteArray list;
    for (const DispatchQueue::Row& row : rows) {
        if (row.message.isEmpty()) {
            discarded << row.nid;
            continue;
        }
        const qsizetype length = row.mobileNo.size();
        if (length >= 10 && length <= 12) {
            if (*count >= m_balance)
                break; // does not fit in the balance: stays queued
            AppendMessageRecord(list, row.mobileNo.right(10), row.message);
            ++*count;
        }
        // A row with an unusable number is taken too, and shares the pass's outcome.
        read << row.nid;
        if (*count == kMaxPerPass)
            break;
    }
    queue.markDiscarded(discarded);
    queue.markRead(read, QDateTime::currentDateTime());
    QElapsedTimer timer;
    timer.start();
    // The rows become "Read" only together with the upload file that holds them.
    WriteWholeFile(path, list);
    m_timing.writeFile = timer.nsecsElapsed();
    transaction.commit();
    return true;
}

void DispatchServer::SendSmsSingleFile()
{
    const QString folder = QDir(m_options.dataDir).filePath(QStringLiteral("SMS/Pending"));
    QDir().mkpath(folder);
    const QString path = QDir(folder).filePath(fileSafe(m_userId) + QStringLiteral("_NWM.SMS"));
    DispatchQueue queue(*m_store);

    int count = 0;
    m_timing = PassTiming();
    QElapsedTimer pass;
    pass.start();
    try {
        buildUpload(path, &count);
        m_timing.selectAndMark = pass.nsecsElapsed() - m_timing.writeFile;
    } catch (const std::exception& error) {
        const StoreError* storeError = dynamic_cast<const StoreError*>(&error);
        AppendStatusLine(QStringLiteral("DatabaseError: ") +
                         (storeError ? storeError->message() : QString::fromLocal8Bit(error.what())));
        AppendStatusLine(QStringLiteral("Sent: Failed 0 ") + now());
        return;
    }

    if (count >= m_balance)
        m_notifier.message(QStringLiteral("SMS balance zero Send only %1 SMS").arg(m_balance));

    bool uploaded = false;
    QString stamp;
    if (count != 0) {
        stamp = uploadStamp();
        uploaded = httpConnectSingle(path, stamp + QStringLiteral("_NWM"));
    }
    if (uploaded) {
        setBalance(std::max(0, m_balance - count), m_balanceText);
        m_lastRequestUrl =
            pageUrl("Debit.asp", QByteArrayLiteral("?UserId=") + EncodeQueryValue(m_userId.trimmed()) +
                                     QByteArrayLiteral("&UserPassWord=") + kDebitPassword +
                                     QByteArrayLiteral("&DebitSMS=") + QByteArray::number(count) +
                                     QByteArrayLiteral("&Flnm=") + EncodeQueryValue(stamp.trimmed()));
        // No reply at all counts as an unconfirmed debit: the upload itself was accepted.
        QElapsedTimer debitTimer;
        debitTimer.start();
        const GatewayClient::Reply debit = m_gateway.get(m_lastRequestUrl);
        m_timing.debit = debitTimer.nsecsElapsed();
        QElapsedTimer update;
        update.start();
        if (debit.delivered && debit.body == "Success") {
            AppendStatusLine(QStringLiteral("Successfully Sent: %1 ").arg(count) + now());
            queue.setReadTo(QStringLiteral("Sent"));
        } else {
            AppendStatusLine(
                QStringLiteral("Message Sent but Balance not Deducted %1 , Contect to your vendor ")
                    .arg(count) +
                now());
            queue.setReadTo(QStringLiteral("DelSent"));
        }
        m_timing.statusUpdate = update.nsecsElapsed();
        setBalance(m_balance, QStringLiteral("Balance SMS: %1").arg(m_balance));
        m_timing.messages = count;
        m_timing.total = pass.nsecsElapsed();
        Q_EMIT passTimed(m_timing);
    } else {
        AppendStatusLine(QStringLiteral("Sent: Failed %1 ").arg(count) + now());
        queue.setReadTo(QStringLiteral("Queued"));
    }
}

bool DispatchServer::httpConnectSingle(const QString& tcfname, const QString& Flnm)
{
    bool succeeded = false;
    try {
        QElapsedTimer timer;
        timer.start();
        QByteArray data = ReadWholeFile(tcfname);
        static cZLIB zlib;
        zlib.CompressString(data, 15);
        const QByteArray hex = HexEncodeText(data);
        WriteWholeFile(tcfname, hex);
        m_timing.encode = timer.nsecsElapsed();
        timer.restart();

        const QList<UploadChunk> chunks = SplitIntoChunks(hex);
        m_timing.chunks = int(chunks.size());
        for (const UploadChunk& chunk : chunks) {
            processEvents();
            if (m_exitRequested)
                break; // Exit during an upload: nothing complete reached the gateway
            const QByteArray url = QByteArrayLiteral("HTTP://") + m_gatewayAddress.toUtf8() +
                                   QByteArrayLiteral("/Quaylink/PostDataZSM.ASP") +
                                   ChunkQuery(m_userId, chunk.text.size(), chunk.status, Flnm);
            const GatewayClient::Reply reply = m_gateway.post(url, ChunkDocument(chunk.text));
            if (!reply.delivered) {
                AppendStatusLine(QStringLiteral("Upload: ") + reply.error);
                break;
            }
            const QByteArray answer = reply.body.toLower();
            if (chunk.status == 0) {
                if (answer != "done")
                    break;
            } else {
                succeeded = answer == "complete";
                break;
            }
        }
        m_timing.chunkRequests = timer.nsecsElapsed();
    } catch (const PayloadFileError& error) {
        AppendStatusLine(QStringLiteral("Upload: ") + QString::fromLocal8Bit(error.what()));
    }
    if (!succeeded)
        m_notifier.message(QStringLiteral("Send Fail!"));
    return succeeded;
}

QString DispatchServer::uploadStamp()
{
    // Milliseconds close the pattern's seconds; the generator is never seeded, as before.
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmsszzz")) + u'_' +
           QString::number(m_random() % 9999999u);
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
    m_sendMessage.stop();
}

void DispatchServer::exitServer()
{
    m_exitRequested = true;
    m_sendMessage.stop();
    if (m_busy == 0)
        finish(m_exitStatus, true);
}

void DispatchServer::closeServer()
{
    m_exitRequested = true;
    m_sendMessage.stop();
    m_gateway.abort();
    finish(m_exitStatus, false);
}

void DispatchServer::finish(int exitStatus, bool requeue)
{
    if (m_finished)
        return;
    m_finished = true;
    m_sendMessage.stop();
    if (m_store && m_store->isOpen()) {
        try {
            if (requeue)
                DispatchQueue(*m_store).setReadTo(QStringLiteral("Queued"));
        } catch (const StoreError&) { // leaving anyway; the next start writes such rows off
        }
        m_store->close();
    }
    m_lock.reset();
    Q_EMIT finished(exitStatus);
}
