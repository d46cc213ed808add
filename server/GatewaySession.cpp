#include "GatewaySession.h"

#include "ServerClock.h"
#include "ServerNotifier.h"
#include "UploadPayload.h"

#include <QDateTime>

#include <algorithm>

namespace {

const QByteArray kServerConnected = QByteArrayLiteral("Server Connected");
// The debit page takes this fixed password for every account, not the operator's.
const QByteArray kDebitPassword = QByteArrayLiteral("qerlodnasti");

QString now()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("dd/MM/yyyy hh:mm:ss AP"));
}

} // namespace

GatewaySession::GatewaySession(ServerClock& clock, ServerNotifier& notifier, AddressOf addressOf,
                               QObject* parent)
    : QObject(parent)
    , m_clock(clock)
    , m_notifier(notifier)
    , m_addressOf(std::move(addressOf))
    , m_client(clock)
{
}

void GatewaySession::setBalance(int balance, const QString& text)
{
    m_balance = balance;
    m_balanceText = text;
    Q_EMIT stateChanged();
}

void GatewaySession::setConnectEnabled(bool enabled)
{
    m_connectEnabled = enabled;
    Q_EMIT stateChanged();
}

QByteArray GatewaySession::pageUrl(const char* page, const QByteArray& query) const
{
    return QByteArrayLiteral("http://") + m_gatewayAddress.toUtf8() + QByteArrayLiteral("/Quaylink/") + page +
           query;
}

void GatewaySession::connectGateway(std::function<void(ConnectResult)> done)
{
    if (m_stopping)
        return done(ConnectResult::Stopped);
    if (m_connecting)
        return;
    if (userId.isEmpty() || password.isEmpty()) {
        m_notifier.message(userId.isEmpty() ? QStringLiteral("Empty: Userid")
                                            : QStringLiteral("Empty: UserPassword"),
                           QStringLiteral("Quaylink"), ServerNotifier::Icon::Question);
        setConnectEnabled(true);
        done(ConnectResult::Failed);
        return;
    }
    if (!m_connectEnabled)
        return; // a connect is already running
    setConnectEnabled(false);
    m_connecting = true;
    m_done = std::move(done);
    if (!m_gatewayAddress.isEmpty())
        checkKnownServer();
    else
        searchFrom(serverNumber);
}

void GatewaySession::checkKnownServer()
{
    m_clock.callAfter(100, this, [this] {
        if (m_stopping)
            return end(ConnectResult::Stopped);
        Q_EMIT statusLine(
            QStringLiteral("Server: Trying to Connect server - 0 Server NO =%1").arg(serverNumber));
        check([this](const QByteArray& reply) { checked(reply); });
    });
}

void GatewaySession::searchFrom(int firstServer)
{
    const QString address = m_addressOf(serverNumber).trimmed();
    if (serverNumber == 9 && address.isEmpty())
        m_notifier.message(QStringLiteral("IP Address Not Set, Contact to your Vendor"));
    if (address.isEmpty())
        return checked({});
    m_gatewayAddress = address;
    attempt(firstServer, 1);
}

void GatewaySession::attempt(int firstServer, int number)
{
    m_clock.callAfter(500, this, [this, firstServer, number] {
        if (m_stopping)
            return end(ConnectResult::Stopped);
        Q_EMIT statusLine(QStringLiteral("Server: Trying to Connect server - %1 Server NO =%2")
                              .arg(number)
                              .arg(serverNumber));
        check([this, firstServer, number](const QByteArray& reply) {
            if (reply.isEmpty() && number < 2)
                attempt(firstServer, number + 1);
            else
                afterSearchRound(firstServer, reply);
        });
    });
}

void GatewaySession::afterSearchRound(int firstServer, const QByteArray& reply)
{
    if (reply == kServerConnected)
        return checked(reply);
    m_gatewayAddress.clear();
    const int tried = serverNumber;
    if (serverNumber == 1)
        serverNumber = 2;
    else if (serverNumber == 2)
        serverNumber = 1;
    if (m_stopping)
        return end(ConnectResult::Stopped);
    // The search goes on until a server answers; unattended runs give up after one round.
    if (giveUpAfterOneRound && (serverNumber == firstServer || serverNumber == tried))
        return checked({});
    searchFrom(firstServer);
}

void GatewaySession::check(std::function<void(const QByteArray&)> then)
{
    m_lastRequestUrl = pageUrl("QuaylinkChk.asp");
    // A transport failure counts as an empty reply.
    m_client.get(m_lastRequestUrl, [then](const GatewayClient::Reply& reply) {
        then(reply.delivered ? reply.body : QByteArray());
    });
}

void GatewaySession::checked(const QByteArray& reply)
{
    if (reply != kServerConnected) {
        Q_EMIT statusLine(QStringLiteral("Server: NOT Connected "));
        m_gatewayAddress.clear();
        setConnectEnabled(true);
        return end(ConnectResult::Failed);
    }
    if (m_stopping)
        return end(ConnectResult::Stopped);
    login();
}

void GatewaySession::login()
{
    m_loginQuery = QByteArrayLiteral("?UserId=") + EncodeQueryValue(userId) +
                   QByteArrayLiteral("&UserPassWord=") + EncodeQueryValue(password) +
                   QByteArrayLiteral("&IP=") + EncodeQueryValue(localAddresses);
    m_lastRequestUrl = pageUrl("Logonchk.asp", m_loginQuery);
    m_client.get(m_lastRequestUrl, [this](const GatewayClient::Reply& reply) {
        Q_EMIT statusLine(QStringLiteral("Server: Connected   ") + now());
        const QStringList fields =
            QString::fromUtf8(reply.delivered ? reply.body : QByteArray()).split(QStringLiteral("||"));
        if (fields.first() == QLatin1String("logonyes")) {
            if (fields.size() > 1) {
                const QString balanceText = fields.at(1).trimmed();
                bool number = false;
                const int balance = balanceText.toInt(&number);
                // The balance never goes below 0.
                setBalance(number ? std::max(0, balance) : m_balance,
                           QStringLiteral("Balance SMS: ") + balanceText);
                if (number)
                    Q_EMIT balanceReported(std::max(0, balance));
            }
            setConnectEnabled(false);
            return end(ConnectResult::LoggedIn);
        }
        Q_EMIT statusLine(fields.first() == QLatin1String("logonno") ? QStringLiteral("Login: Incorrect!")
                                                                     : QStringLiteral("Login: Fail!"));
        setBalance(0, QStringLiteral("Balance SMS: 0"));
        setConnectEnabled(true);
        end(ConnectResult::Failed);
    });
}

void GatewaySession::end(ConnectResult result)
{
    m_connecting = false;
    const auto done = std::move(m_done);
    m_done = nullptr;
    if (done)
        done(result);
}

void GatewaySession::postChunk(const QByteArray& chunk, int status, const QString& uploadName,
                               GatewayClient::Done done, std::function<void()> written)
{
    const QByteArray url = QByteArrayLiteral("HTTP://") + m_gatewayAddress.toUtf8() +
                           QByteArrayLiteral("/Quaylink/PostDataZSM.ASP") +
                           ChunkQuery(userId, chunk.size(), status, uploadName);
    m_client.post(url, ChunkDocument(chunk), std::move(done), std::move(written));
}

void GatewaySession::debit(int count, const QString& stamp, GatewayClient::Done done)
{
    m_lastRequestUrl =
        pageUrl("Debit.asp", QByteArrayLiteral("?UserId=") + EncodeQueryValue(userId.trimmed()) +
                                 QByteArrayLiteral("&UserPassWord=") + kDebitPassword +
                                 QByteArrayLiteral("&DebitSMS=") + QByteArray::number(count) +
                                 QByteArrayLiteral("&Flnm=") + EncodeQueryValue(stamp.trimmed()));
    m_client.get(m_lastRequestUrl, std::move(done));
}
