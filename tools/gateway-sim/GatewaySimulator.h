#pragma once

#include "HttpServer.h"
#include "StoreLocation.h"

#include <QFile>
#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QRandomGenerator>
#include <QSet>
#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <utility>

class StoreLock;

/// The gateway's pages, by their request counters and option names.
enum class GatewayPage { Check, Login, Chunk, Debit };

/// A write lock that another program takes on the message store when a given request arrives.
struct StoreLockOptions
{
    StoreLocation store;
    GatewayPage page = GatewayPage::Check;
    qint64 request = 0; // 0: every request to the page; K: its K-th request only
    int holdMs = 0;     // counted from the reply
};

/// A request handled as usual whose reply is then spoilt: an HTTP error status with an error page, an
/// empty body, a body of 10 MiB, or a body that never ends.
struct BadReply
{
    GatewayPage page = GatewayPage::Check;
    qint64 request = 0; // 0: every request to the page; K: its K-th request only
    QString kind;       // "500" (any status from 100 to 599), "empty", "big" or "endless"
};

/// How the simulated gateway behaves, faults included.
struct GatewayOptions
{
    enum class ReplyCase { Lower, Upper, Capitalised };

    QString logPath;            // empty: no log
    QSet<qint64> refusedChunks; // chunk requests (1-based, counted over the run) answered with an error
    ReplyCase replyCase = ReplyCase::Lower;
    QString replySuffix; // appended to "done" and "complete"
    int delayMs = 0;
    std::optional<GatewayPage> delayPage;   // none: every page is delayed
    QMap<GatewayPage, qint64> dropRequests; // 0: every request to the page; K: its K-th request only
    std::optional<QString> checkReply;
    std::optional<QString> loginReply;
    std::optional<QString> debitReply;
    int latencyMs = 0; // added to every reply's delay, with an offset of up to jitterMs either way
    int jitterMs = 0;
    quint32 seed = 1;
    int splitReplyMs = 0;                                  // 0: every reply in one piece
    QMap<std::pair<GatewayPage, qint64>, int> lateReplies; // a page's K-th request: its reply's delay
    std::optional<StoreLockOptions> storeLock;
    QList<BadReply> badReplies;
};

/// One account of the gateway: its password and its remaining SMS balance.
struct GatewayAccount
{
    QString password;
    qint64 balance = 0;
};

/// The provider's gateway in miniature: checks accounts, keeps balances, joins, decodes and validates
/// uploads, debits, and logs every request and decoded message as JSON lines.
class GatewaySimulator : public QObject
{
    Q_OBJECT

public:
    /// The account used when no accounts file is given.
    static QMap<QString, GatewayAccount> demoAccounts();
    /// Reads "user password balance" lines ('#' comments and blank lines skipped); throws
    /// std::runtime_error naming the line that is not of that form or repeats a user.
    static QMap<QString, GatewayAccount> readAccounts(const QString& path);
    /// The page an option names: its file name or check, login, chunk or debit, in any letter case.
    static std::optional<GatewayPage> pageByName(const QString& name);

    GatewaySimulator(GatewayOptions options, QMap<QString, GatewayAccount> accounts,
                     QObject* parent = nullptr);
    ~GatewaySimulator() override;

    /// Opens the log and the store to lock, and listens on 127.0.0.1 (port 0: any free port); throws
    /// std::runtime_error.
    void start(quint16 port);
    quint16 port() const { return m_http.port(); }

    HttpReply handle(const HttpRequest& request);

private:
    struct Upload
    {
        QString user;
        QString flag;
        QByteArray hex;
        int chunks = 0;
        bool complete = false;
        bool failed = false;
        qsizetype messages = 0;
    };
    using Query = QList<std::pair<QString, QString>>;

    QString check();
    QString login(const Query& query);
    QString chunk(const HttpRequest& request, const Query& query, qint64 number);
    QString debit(const Query& query);
    QString failUpload(Upload& upload, const QString& reason);
    QString chunkReply(const QString& lowerCaseReply) const;
    int replyDelay(int serverDelayMs, std::optional<int> lateMs);
    std::function<void()> lockStore(GatewayPage page, qint64 number);
    void unlockStore();
    void log(const QJsonObject& line);
    void writeLog(const QByteArray& lines);

    GatewayOptions m_options;
    QMap<QString, GatewayAccount> m_accounts;
    QHash<QString, Upload> m_uploads; // by user id and upload name
    QMap<GatewayPage, qint64> m_requestCounts;
    qint64 m_requests = 0;
    QFile m_log;
    QRandomGenerator m_random;
    std::unique_ptr<StoreLock> m_storeLock;
    int m_storeLockHolders = 0; // requests whose replies keep the lock
    HttpServer m_http;
};
