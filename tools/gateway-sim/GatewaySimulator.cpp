#include "GatewaySimulator.h"

#include "StoreError.h"
#include "StoreLock.h"
#include "UploadDecoder.h"
#include "UploadPayload.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <stdexcept>

namespace {

struct PageName
{
    GatewayPage page;
    QString file;
    QString alias;
};

const QList<PageName>& pageNames()
{
    static const QList<PageName> names = {
        {GatewayPage::Check, QStringLiteral("QuaylinkChk.asp"), QStringLiteral("check")},
        {GatewayPage::Login, QStringLiteral("Logonchk.asp"), QStringLiteral("login")},
        {GatewayPage::Chunk, QStringLiteral("PostDataZSM.ASP"), QStringLiteral("chunk")},
        {GatewayPage::Debit, QStringLiteral("Debit.asp"), QStringLiteral("debit")},
    };
    return names;
}

QString fileName(GatewayPage page)
{
    for (const PageName& name : pageNames()) {
        if (name.page == page)
            return name.file;
    }
    return {};
}

// A whole number written with digits alone, as the gateway's counts and lengths must be.
std::optional<qint64> decimal(const QString& text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,15}$"));
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    return text.toLongLong();
}

// Values are taken as they are but for percent escapes; "+" stays a plus sign.
QList<std::pair<QString, QString>> parseQuery(const QByteArray& query)
{
    QList<std::pair<QString, QString>> items;
    if (query.isEmpty())
        return items;
    for (const QByteArray& item : query.split('&')) {
        const qsizetype equals = item.indexOf('=');
        const QByteArray key = equals < 0 ? item : item.left(equals);
        const QByteArray value = equals < 0 ? QByteArray() : item.mid(equals + 1);
        items.append({QString::fromUtf8(QByteArray::fromPercentEncoding(key)),
                      QString::fromUtf8(QByteArray::fromPercentEncoding(value))});
    }
    return items;
}

std::optional<QString> queryValue(const QList<std::pair<QString, QString>>& query, QStringView key)
{
    for (const auto& [name, value] : query) {
        if (name.compare(key, Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

// A JSON string as QJsonDocument writes it: UTF-8, with quotes, backslashes and control characters
// escaped.
void appendJsonString(QByteArray& out, QStringView text)
{
    out += '"';
    for (const char c : text.toUtf8()) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20)
                out += "\\u00" + QByteArray::number(static_cast<unsigned char>(c), 16).rightJustified(2, '0');
            else
                out += c;
        }
    }
    out += '"';
}

} // namespace

QMap<QString, GatewayAccount> GatewaySimulator::demoAccounts()
{
    return {{QStringLiteral("demo"), {QStringLiteral("demo"), 10000}}};
}

QMap<QString, GatewayAccount> GatewaySimulator::readAccounts(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        throw std::runtime_error(QStringLiteral("cannot read the accounts file %1: %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
    QMap<QString, GatewayAccount> accounts;
    static const QRegularExpression blanks(QStringLiteral("[ \\t]+"));
    int lineNumber = 0;
    while (!file.atEnd()) {
        ++lineNumber;
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList fields = line.split(blanks);
        const std::optional<qint64> balance = fields.size() == 3 ? decimal(fields[2]) : std::nullopt;
        if (!balance || accounts.contains(fields[0]))
            throw std::runtime_error(QStringLiteral("%1 line %2: expected \"user password balance\" with a "
                                                    "new user and a whole number not below 0")
                                         .arg(path)
                                         .arg(lineNumber)
                                         .toStdString());
        accounts.insert(fields[0], {fields[1], *balance});
    }
    return accounts;
}

std::optional<GatewayPage> GatewaySimulator::pageByName(const QString& name)
{
    for (const PageName& page : pageNames()) {
        if (name.compare(page.file, Qt::CaseInsensitive) == 0 ||
            name.compare(page.alias, Qt::CaseInsensitive) == 0)
            return page.page;
    }
    return std::nullopt;
}

GatewaySimulator::GatewaySimulator(GatewayOptions options, QMap<QString, GatewayAccount> accounts,
                                   QObject* parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_accounts(std::move(accounts))
    , m_random(m_options.seed)
    , m_http([this](const HttpRequest& request) { return handle(request); })
{
}

GatewaySimulator::~GatewaySimulator() = default;

void GatewaySimulator::start(quint16 port)
{
    if (!m_options.logPath.isEmpty()) {
        m_log.setFileName(m_options.logPath);
        if (!m_log.open(QIODevice::WriteOnly | QIODevice::Append))
            throw std::runtime_error(QStringLiteral("cannot open the log %1: %2")
                                         .arg(m_options.logPath, m_log.errorString())
                                         .toStdString());
    }
    if (m_options.storeLock)
        m_storeLock = std::make_unique<StoreLock>(m_options.storeLock->store);
    if (!m_http.listen(port))
        throw std::runtime_error(QStringLiteral("cannot listen on 127.0.0.1:%1: %2")
                                     .arg(port)
                                     .arg(m_http.errorString())
                                     .toStdString());
}

HttpReply GatewaySimulator::handle(const HttpRequest& request)
{
    ++m_requests;
    const Query query = parseQuery(request.query);
    QJsonObject queryObject;
    for (const auto& [key, value] : query)
        queryObject.insert(key, value);
    QJsonObject line{{QStringLiteral("event"), QStringLiteral("request")},
                     {QStringLiteral("n"), m_requests},
                     {QStringLiteral("method"), QString::fromLatin1(request.method)},
                     {QStringLiteral("target"), QString::fromUtf8(request.target)},
                     {QStringLiteral("query"), queryObject},
                     {QStringLiteral("bodyLength"), request.body.size()}};

    std::optional<GatewayPage> page;
    const QString path = QString::fromUtf8(QByteArray::fromPercentEncoding(request.path));
    for (const PageName& name : pageNames()) {
        if (path.compare(QStringLiteral("/Quaylink/") + name.file, Qt::CaseInsensitive) == 0)
            page = name.page;
    }
    HttpReply reply;
    reply.splitMs = m_options.splitReplyMs;
    if (!page) {
        reply.status = 404;
        reply.body = "Not Found";
        reply.delayMs = replyDelay(0, std::nullopt);
        line.insert(QStringLiteral("page"), QString());
        line.insert(QStringLiteral("status"), reply.status);
        line.insert(QStringLiteral("reply"), QString::fromUtf8(reply.body));
        line.insert(QStringLiteral("delayMs"), reply.delayMs);
        log(line);
        return reply;
    }
    line.insert(QStringLiteral("page"), fileName(*page));
    const qint64 number = ++m_requestCounts[*page];
    if (m_options.storeLock && m_options.storeLock->page == *page &&
        (m_options.storeLock->request == 0 || m_options.storeLock->request == number))
        reply.finished = lockStore(*page, number);
    if (m_options.dropRequests.contains(*page) &&
        (m_options.dropRequests.value(*page) == 0 || m_options.dropRequests.value(*page) == number)) {
        line.insert(QStringLiteral("dropped"), true);
        log(line);
        reply.drop = true;
        return reply;
    }

    const QByteArray expectedMethod = *page == GatewayPage::Chunk ? "POST" : "GET";
    QString text;
    if (request.method != expectedMethod) {
        reply.status = 405;
        text = QStringLiteral("Method Not Allowed");
    } else {
        switch (*page) {
        case GatewayPage::Check:
            text = check();
            break;
        case GatewayPage::Login:
            text = login(query);
            break;
        case GatewayPage::Chunk:
            text = chunk(request, query, number);
            break;
        case GatewayPage::Debit:
            text = debit(query);
            break;
        }
    }
    reply.body = text.toUtf8();
    for (const BadReply& bad : std::as_const(m_options.badReplies)) {
        if (bad.page != *page || (bad.request != 0 && bad.request != number))
            continue;
        line.insert(QStringLiteral("badReply"), bad.kind);
        if (bad.kind == u"empty") {
            reply.body.clear();
        } else if (bad.kind == u"big") {
            reply.body = QByteArray(10 * 1024 * 1024, 'x');
        } else if (bad.kind == u"endless") {
            reply.endless = true;
        } else {
            reply.status = bad.kind.toInt();
            reply.body = "<html><head><title>Server Error</title></head><body><h1>" + bad.kind.toLatin1() +
                         " Server Error</h1></body></html>";
        }
    }
    const auto late = m_options.lateReplies.constFind({*page, number});
    reply.delayMs =
        replyDelay(!m_options.delayPage || *m_options.delayPage == *page ? m_options.delayMs : 0,
                   late != m_options.lateReplies.constEnd() ? std::optional<int>(*late) : std::nullopt);
    line.insert(QStringLiteral("status"), reply.status);
    line.insert(QStringLiteral("reply"), text);
    line.insert(QStringLiteral("delayMs"), reply.delayMs);
    log(line);
    return reply;
}

// Every answered request draws its offset, a late one too, so that one seed gives one sequence of delays
// whichever replies are made late.
int GatewaySimulator::replyDelay(int serverDelayMs, std::optional<int> lateMs)
{
    int networkMs = m_options.latencyMs;
    if (m_options.jitterMs > 0)
        networkMs = std::max(0, networkMs + m_random.bounded(-m_options.jitterMs, m_options.jitterMs + 1));
    return lateMs.value_or(serverDelayMs + networkMs);
}

// Taken before the request is handled, as by a program that got there first; the reply's finished()
// starts the hold. A request that comes while the lock is held keeps it until its own hold is over.
std::function<void()> GatewaySimulator::lockStore(GatewayPage page, qint64 number)
{
    if (m_storeLockHolders == 0) {
        QJsonObject line{{QStringLiteral("event"), QStringLiteral("lock")},
                         {QStringLiteral("page"), fileName(page)},
                         {QStringLiteral("n"), number},
                         {QStringLiteral("ms"), m_options.storeLock->holdMs}};
        try {
            m_storeLock->take();
        } catch (const StoreError& error) {
            line.insert(QStringLiteral("error"), error.message());
            log(line);
            return {};
        }
        log(line);
    }
    ++m_storeLockHolders;
    return [this] {
        QTimer::singleShot(m_options.storeLock->holdMs, Qt::PreciseTimer, this,
                           &GatewaySimulator::unlockStore);
    };
}

void GatewaySimulator::unlockStore()
{
    if (--m_storeLockHolders > 0)
        return;
    QJsonObject line{{QStringLiteral("event"), QStringLiteral("unlock")}};
    try {
        m_storeLock->release();
    } catch (const StoreError& error) {
        line.insert(QStringLiteral("error"), error.message());
    }
    log(line);
}

QString GatewaySimulator::check()
{
    return m_options.checkReply.value_or(QStringLiteral("Server Connected"));
}

QString GatewaySimulator::login(const Query& query)
{
    if (m_options.loginReply)
        return *m_options.loginReply;
    const auto account = m_accounts.constFind(queryValue(query, u"UserId").value_or(QString()));
    if (account == m_accounts.constEnd() || queryValue(query, u"UserPassWord") != account->password)
        return QStringLiteral("logonno||0");
    return QStringLiteral("logonyes||%1").arg(account->balance);
}

QString GatewaySimulator::chunk(const HttpRequest& request, const Query& query, qint64 number)
{
    const std::optional<QString> user = queryValue(query, u"ID");
    const std::optional<QString> msgLen = queryValue(query, u"MsgLen");
    const std::optional<QString> status = queryValue(query, u"Status");
    const std::optional<QString> flag = queryValue(query, u"Flag");
    if (!user || !msgLen || !status || !flag || flag->isEmpty())
        return QStringLiteral("Error: ID, MsgLen, Status and Flag are required");
    if (!m_accounts.contains(*user))
        return QStringLiteral("Error: unknown user");

    Upload& upload = m_uploads[*user + u'\n' + *flag];
    upload.user = *user;
    upload.flag = *flag;
    if (upload.complete)
        return QStringLiteral("Error: upload already complete");
    if (upload.failed)
        return QStringLiteral("Error: upload already failed");
    if (m_options.refusedChunks.contains(number))
        return failUpload(upload, QStringLiteral("chunk request %1 refused").arg(number));
    if (*status != u"0" && *status != u"1")
        return failUpload(upload, QStringLiteral("Status must be 0 or 1"));
    const std::optional<QByteArray> text = ChunkFromDocument(request.body);
    if (!text)
        return failUpload(upload, QStringLiteral("the body is not a chunk document"));
    if (decimal(*msgLen) != text->size())
        return failUpload(
            upload,
            QStringLiteral("MsgLen %1 but the chunk holds %2 characters").arg(*msgLen).arg(text->size()));
    for (const char c : *text) {
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F')))
            return failUpload(upload, QStringLiteral("the chunk holds characters other than 0-9 and A-F"));
    }
    const bool last = *status == u"1";
    if (!last && text->size() != UploadChunkLength)
        return failUpload(upload, QStringLiteral("a chunk with Status 0 must hold 2048 characters"));
    if (last && (text->isEmpty() || text->size() > UploadChunkLength))
        return failUpload(upload, QStringLiteral("the last chunk must hold 1 to 2048 characters"));

    upload.hex += *text;
    ++upload.chunks;
    if (!last)
        return chunkReply(QStringLiteral("done"));

    const DecodedUpload decoded = DecodeUpload(upload.hex);
    if (!decoded.error.isEmpty())
        return failUpload(upload, decoded.error);
    // The lines of the upload's messages are written at once and composed here, with the keys in the
    // order QJsonObject gives them: through it, and flushed one by one, they kept the last chunk's reply
    // waiting 10 ms for 2,000 messages.
    QByteArray lines;
    for (const DecodedMessage& message : decoded.messages) {
        lines += "{\"event\":\"message\",\"number\":";
        appendJsonString(lines, message.number);
        lines += ",\"text\":";
        appendJsonString(lines, message.text);
        lines += ",\"upload\":";
        appendJsonString(lines, upload.flag);
        lines += ",\"user\":";
        appendJsonString(lines, upload.user);
        lines += "}\n";
    }
    writeLog(lines);
    upload.complete = true;
    upload.messages = decoded.messages.size();
    upload.hex.clear();
    log({{QStringLiteral("event"), QStringLiteral("upload")},
         {QStringLiteral("upload"), upload.flag},
         {QStringLiteral("user"), upload.user},
         {QStringLiteral("chunks"), upload.chunks},
         {QStringLiteral("messages"), upload.messages},
         {QStringLiteral("valid"), true}});
    return chunkReply(QStringLiteral("complete"));
}

QString GatewaySimulator::failUpload(Upload& upload, const QString& reason)
{
    upload.failed = true;
    upload.hex.clear();
    log({{QStringLiteral("event"), QStringLiteral("upload")},
         {QStringLiteral("upload"), upload.flag},
         {QStringLiteral("user"), upload.user},
         {QStringLiteral("chunks"), upload.chunks},
         {QStringLiteral("messages"), 0},
         {QStringLiteral("valid"), false},
         {QStringLiteral("error"), reason}});
    return QStringLiteral("Error: ") + reason;
}

QString GatewaySimulator::chunkReply(const QString& lowerCaseReply) const
{
    QString reply = lowerCaseReply;
    switch (m_options.replyCase) {
    case GatewayOptions::ReplyCase::Lower:
        break;
    case GatewayOptions::ReplyCase::Upper:
        reply = reply.toUpper();
        break;
    case GatewayOptions::ReplyCase::Capitalised:
        reply[0] = reply[0].toUpper();
        break;
    }
    return reply + m_options.replySuffix;
}

QString GatewaySimulator::debit(const Query& query)
{
    const QString user = queryValue(query, u"UserId").value_or(QString());
    const QString stamp = queryValue(query, u"Flnm").value_or(QString());
    const QString countText = queryValue(query, u"DebitSMS").value_or(QString());
    const std::optional<qint64> count = decimal(countText);
    const auto account = m_accounts.find(user);
    const bool ok = queryValue(query, u"UserPassWord") == u"qerlodnasti" && account != m_accounts.end() &&
                    count && *count <= account->balance;
    if (ok)
        account->balance -= *count;

    const QString uploadName = stamp + QStringLiteral("_NWM");
    const auto upload = m_uploads.constFind(user + u'\n' + uploadName);
    const bool uploaded = upload != m_uploads.constEnd() && upload->complete;
    log({{QStringLiteral("event"), QStringLiteral("debit")},
         {QStringLiteral("user"), user},
         {QStringLiteral("count"), count ? QJsonValue(*count) : QJsonValue(countText)},
         {QStringLiteral("flnm"), stamp},
         {QStringLiteral("ok"), ok},
         {QStringLiteral("balance"),
          account != m_accounts.end() ? QJsonValue(account->balance) : QJsonValue()},
         {QStringLiteral("upload"), uploadName},
         {QStringLiteral("uploadMessages"), uploaded ? QJsonValue(upload->messages) : QJsonValue()},
         {QStringLiteral("matches"), uploaded && count && upload->messages == *count}});
    return m_options.debitReply.value_or(ok ? QStringLiteral("Success") : QStringLiteral("Fail"));
}

void GatewaySimulator::log(const QJsonObject& line)
{
    writeLog(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}

void GatewaySimulator::writeLog(const QByteArray& lines)
{
    if (!m_log.isOpen())
        return;
    m_log.write(lines);
    m_log.flush();
}
