#include "Store.h"

#include "Schema.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlRecord>
#include <QThread>
#include <QTimeZone>

#include <atomic>
#include <optional>
#include <utility>

namespace {

// How long a statement waits for another program's lock before it fails: 30 s on SQLite, no limit on
// PostgreSQL, unless KELVRA_BUSY_TIMEOUT_MS says otherwise.
std::optional<int> busyTimeoutMs()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("KELVRA_BUSY_TIMEOUT_MS", &ok);
    return ok && value >= 0 ? std::optional<int>(value) : std::nullopt;
}

QString errorText(const QSqlError& error)
{
    QString text = error.text().simplified();
    if (text.isEmpty())
        text = QStringLiteral("unknown error");
    return text;
}

// SQLite keeps dates as text; one fixed pattern on both engines keeps stored values comparable.
const QString kDateTimePattern = QStringLiteral("yyyy-MM-dd HH:mm:ss");

} // namespace

Store::Store(const StoreLocation& location, const QString& connectionName)
    : m_location(location)
    , m_connectionName(connectionName)
{
}

std::unique_ptr<Store> Store::open(const StoreLocation& location)
{
    std::unique_ptr<Store> store(new Store(location, newConnectionName()));
    store->connect(true);
    return store;
}

void Store::reopen()
{
    // A store that is gone is not made anew here: the programs would part ways on two stores.
    if (engine() == Engine::Sqlite && !QFileInfo::exists(m_location.sqlitePath()))
        throw StoreError(QStringLiteral("cannot open the message store %1: the file is gone")
                             .arg(m_location.displayName()));
    const QString previous = m_connectionName;
    m_connectionName = newConnectionName();
    try {
        connect(false);
    } catch (const StoreError&) {
        m_db = QSqlDatabase::database(previous, false);
        QSqlDatabase::removeDatabase(m_connectionName);
        m_connectionName = previous;
        throw;
    }
    {
        QSqlDatabase old = QSqlDatabase::database(previous, false);
        if (old.isOpen())
            old.close();
    }
    QSqlDatabase::removeDatabase(previous);
    m_closed = false;
    m_inTransaction = false;
    if (m_privateStaging) {
        m_privateStaging = false;
        openPrivateStaging();
    }
}

bool Store::isReachable() const
{
    if (m_closed || !database().isOpen())
        return false;
    if (engine() == Engine::Sqlite && !QFileInfo::exists(m_location.sqlitePath()))
        return false;
    // A read of the store itself: on PostgreSQL it fails once the server has dropped the connection.
    QSqlQuery probe(database());
    return probe.exec(QStringLiteral("SELECT version FROM schema_version")) && probe.next();
}

QString Store::newConnectionName()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("kelvra-store-%1").arg(++counter);
}

void Store::connect(bool create)
{
    const StoreLocation& location = m_location;
    const QString& name = m_connectionName;
    const QString where = location.displayName();

    QSqlDatabase db;
    if (location.engine() == Engine::Sqlite) {
        const QString path = location.sqlitePath();
        if (create && !QFileInfo::exists(path)) {
            // Created here, owner-only, before SQLite opens it; its journal files inherit the mode.
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                           QFileDevice::ReadOwner | QFileDevice::WriteOwner) &&
                !QFileInfo::exists(path))
                throw StoreError(
                    QStringLiteral("cannot open the message store %1: %2").arg(where, file.errorString()));
        }
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs().value_or(30000)));
    } else {
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(location.host());
        db.setPort(location.port());
        db.setUserName(location.userName());
        db.setPassword(location.password());
        db.setDatabaseName(location.databaseName());
        // A server whose network falls silent is noticed within seconds, not when TCP gives up
        // minutes later: keep-alive probes on an idle connection, a time-out on unanswered data.
        db.setConnectOptions(
            QStringLiteral("connect_timeout=15;keepalives=1;keepalives_idle=10;"
                           "keepalives_interval=5;keepalives_count=3;tcp_user_timeout=20000"));
    }
    if (!db.isValid())
        throw StoreError(
            QStringLiteral("cannot open the message store %1: the database driver is not installed")
                .arg(where));
    const QSqlDatabase previous = std::exchange(m_db, db);
    if (!db.open()) {
        m_db = previous;
        throw StoreError(
            QStringLiteral("cannot open the message store %1: %2").arg(where, errorText(db.lastError())),
            db.lastError().nativeErrorCode());
    }

    try {
        configureConnection();
        Schema::ensure(*this);
    } catch (const StoreError& error) {
        throw StoreError(QStringLiteral("cannot open the message store %1: %2").arg(where, error.message()),
                         error.code());
    }
}

Store::~Store()
{
    close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

void Store::configureConnection()
{
    if (engine() == Engine::Sqlite) {
        QSqlQuery mode = exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        if (!mode.next() || mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            throw StoreError(QStringLiteral("the store file cannot be shared: WAL mode refused"));
        exec(QStringLiteral("PRAGMA synchronous=FULL"));
    } else {
        exec(QStringLiteral("SET client_min_messages TO warning"));
        // A time read as text is then "yyyy-MM-dd HH:mm:ss", whatever the server's own style.
        exec(QStringLiteral("SET DateStyle TO 'ISO, YMD'"));
        if (const std::optional<int> timeout = busyTimeoutMs()) {
            QSqlQuery query = prepare(QStringLiteral("SELECT set_config('lock_timeout', ?, false)"));
            query.addBindValue(QString::number(*timeout));
            exec(query);
        }
        // Column defaults take the local date and time of the desk, as on SQLite.
        const QByteArray zone = QTimeZone::systemTimeZoneId();
        if (!zone.isEmpty()) {
            QSqlQuery query = prepare(QStringLiteral("SELECT set_config('TimeZone', ?, false)"));
            query.addBindValue(QString::fromUtf8(zone));
            if (!query.exec()) // an unknown zone name leaves the server's own
                qWarning("the store does not know the time zone %s", zone.constData());
        }
    }
}

QSqlDatabase Store::database() const
{
    awaitTurn();
    return m_db;
}

void Store::awaitTurn() const
{
    QMutexLocker locker(&m_turnLock);
    while (m_turnHolder && m_turnHolder != QThread::currentThread())
        m_turnEnded.wait(&m_turnLock);
}

Store::Turn::Turn(const Store& store, QThread* thread)
    : m_store(&store)
{
    QMutexLocker locker(&store.m_turnLock);
    while (store.m_turnHolder && store.m_turnHolder != QThread::currentThread())
        store.m_turnEnded.wait(&store.m_turnLock);
    store.m_turnHolder = thread;
}

void Store::Turn::end()
{
    if (!m_store)
        return;
    QMutexLocker locker(&m_store->m_turnLock);
    m_store->m_turnHolder = nullptr;
    m_store->m_turnEnded.wakeAll();
    m_store = nullptr;
}

bool Store::isOpen() const
{
    return !m_closed && database().isOpen();
}

void Store::close()
{
    if (m_closed)
        return;
    m_closed = true;
    QSqlDatabase db = database();
    if (db.isOpen())
        db.close();
}

QSqlQuery Store::prepare(const QString& sql) const
{
    if (m_closed)
        throw StoreError(QStringLiteral("the message store is closed"));
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        throw StoreError(errorText(query.lastError()), query.lastError().nativeErrorCode());
    return query;
}

void Store::exec(QSqlQuery& query)
{
    if (!query.exec())
        throw StoreError(errorText(query.lastError()), query.lastError().nativeErrorCode());
}

QSqlQuery Store::exec(const QString& sql, const QVariantList& values) const
{
    if (values.isEmpty()) {
        // Statements without values run as they stand: PostgreSQL cannot prepare SET, BEGIN or DDL.
        if (m_closed)
            throw StoreError(QStringLiteral("the message store is closed"));
        QSqlQuery query(database());
        query.setForwardOnly(true);
        if (!query.exec(sql))
            throw StoreError(errorText(query.lastError()), query.lastError().nativeErrorCode());
        return query;
    }
    QSqlQuery query = prepare(sql);
    for (const QVariant& value : values)
        query.addBindValue(value);
    exec(query);
    return query;
}

QVariant Store::dateTimeValue(const QDateTime& value) const
{
    return value.toString(kDateTimePattern);
}

QVariant Store::dateValue(const QDate& value) const
{
    return value.startOfDay().toString(kDateTimePattern);
}

QDateTime Store::readDateTime(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    const QString text = value.toString();
    QDateTime result = QDateTime::fromString(text, kDateTimePattern);
    if (!result.isValid())
        result = QDateTime::fromString(text, Qt::ISODate);
    if (!result.isValid())
        result = QDate::fromString(text, Qt::ISODate).startOfDay();
    return result;
}

int Store::schemaVersion() const
{
    QSqlQuery query = exec(QStringLiteral("SELECT version FROM schema_version"));
    return query.next() ? query.value(0).toInt() : 0;
}

QString Store::foldedKey(Engine engine, const QString& column)
{
    return engine == Engine::Sqlite ? column
                                    : QStringLiteral("lower(CAST(%1 AS TEXT)) COLLATE \"C\"").arg(column);
}

QString Store::foldedKeys(const QStringList& columns) const
{
    QStringList keys;
    for (const QString& column : columns)
        keys << foldedKey(column);
    return keys.join(QStringLiteral(", "));
}

QString Store::idListCondition(const QString& column) const
{
    // A JSON array read by json_each on SQLite, an array of numbers on PostgreSQL.
    return engine() == Engine::Sqlite ? QStringLiteral("%1 IN (SELECT value FROM json_each(?))").arg(column)
                                      : QStringLiteral("%1 = ANY (CAST(? AS bigint[]))").arg(column);
}

QVariant Store::idListValue(const QList<qint64>& ids) const
{
    QByteArray list;
    list.reserve(ids.size() * 8 + 2);
    list += engine() == Engine::Sqlite ? '[' : '{';
    for (qsizetype i = 0; i < ids.size(); ++i) {
        if (i > 0)
            list += ',';
        list += QByteArray::number(ids[i]);
    }
    list += engine() == Engine::Sqlite ? ']' : '}';
    return QString::fromLatin1(list);
}

void Store::openPrivateStaging()
{
    if (m_privateStaging)
        return;
    Schema::createPrivateStaging(*this);
    m_privateStaging = true;
}

Transaction::Transaction(const Store& store, Writes writes)
    : m_store(store)
{
    m_store.awaitTurn();
    if (m_store.m_inTransaction)
        throw StoreError(QStringLiteral("a transaction is already open on this connection of the message "
                                        "store; a second one cannot begin inside it"));
    const bool immediate = m_store.engine() == Store::Engine::Sqlite && writes == Writes::Store;
    m_store.exec(immediate ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
    m_active = true;
    m_store.m_inTransaction = true;
}

Transaction::~Transaction()
{
    if (m_active) {
        try {
            rollback();
        } catch (const StoreError&) { // the connection is gone; the store drops the transaction itself
        }
    }
}

void Transaction::commit()
{
    m_store.exec(QStringLiteral("COMMIT"));
    m_active = false;
    m_store.m_inTransaction = false;
}

void Transaction::rollback()
{
    m_active = false;
    m_store.m_inTransaction = false;
    if (m_store.isOpen())
        m_store.exec(QStringLiteral("ROLLBACK"));
}
