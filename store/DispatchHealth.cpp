#include "DispatchHealth.h"

#include "ServerLock.h"
#include "StoreError.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <atomic>

namespace {

// As Store::dateTimeValue writes times, so that bound values compare with the stored ones.
const QString kDateTimePattern = QStringLiteral("yyyy-MM-dd HH:mm:ss");
// History of passes and lock holder: schema version 9.
constexpr int kHistoryVersion = 9;

QDateTime readTime(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    return QDateTime::fromString(value.toString(), kDateTimePattern);
}

/// A connection that can only read: SQLite opened read-only, PostgreSQL in read-only transactions.
class ReadingConnection
{
public:
    explicit ReadingConnection(const StoreLocation& location)
        : m_name(QStringLiteral("kelvra-health-%1").arg(++s_count))
        , m_where(location.displayName())
    {
        QSqlDatabase db;
        if (location.engine() == StoreLocation::Engine::Sqlite) {
            db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
            db.setDatabaseName(location.sqlitePath());
            db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000"));
        } else {
            db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
            db.setHostName(location.host());
            db.setPort(location.port());
            db.setUserName(location.userName());
            db.setPassword(location.password());
            db.setDatabaseName(location.databaseName());
            db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        }
        if (!db.isValid())
            fail(QStringLiteral("the database driver is not installed"));
        if (!db.open())
            fail(db.lastError().text().simplified());
        if (location.engine() == StoreLocation::Engine::Postgres) {
            exec(QStringLiteral("SET default_transaction_read_only TO on"));
            // A monitor asks again; it must not hang on a table another program has locked.
            exec(QStringLiteral("SET statement_timeout TO 15000"));
            exec(QStringLiteral("SET DateStyle TO 'ISO, YMD'"));
        }
    }

    ~ReadingConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }

    ReadingConnection(const ReadingConnection&) = delete;
    ReadingConnection& operator=(const ReadingConnection&) = delete;

    QSqlQuery exec(const QString& sql, const QVariantList& values = {}) const
    {
        QSqlQuery query(QSqlDatabase::database(m_name, false));
        query.setForwardOnly(true);
        bool ok = false;
        if (values.isEmpty()) {
            ok = query.exec(sql);
        } else if (query.prepare(sql)) {
            for (const QVariant& value : values)
                query.addBindValue(value);
            ok = query.exec();
        }
        if (!ok)
            fail(query.lastError().text().simplified());
        return query;
    }

private:
    [[noreturn]] void fail(const QString& reason) const
    {
        throw StoreError(QStringLiteral("cannot read the message store %1: %2").arg(m_where, reason));
    }

    static inline std::atomic<int> s_count{0};
    QString m_name;
    QString m_where;
};

int countOf(const ReadingConnection& store, const QString& sql, const QVariantList& values)
{
    QSqlQuery query = store.exec(sql, values);
    return query.next() ? query.value(0).toInt() : 0;
}

} // namespace

DispatchHealth DispatchHealth::read(const StoreLocation& location, const QDateTime& now)
{
    DispatchHealth health;
    const bool sqlite = location.engine() == StoreLocation::Engine::Sqlite;
    if (sqlite) {
        // Asked before the connection opens: the probe closes a descriptor of the store file, which
        // would drop the locks of a connection of this process.
        if (!QFileInfo::exists(location.sqlitePath()))
            throw StoreError(
                QStringLiteral("cannot read the message store %1: no such file").arg(location.displayName()));
        health.server.holdsLock = ServerLock::heldOnFile(location.sqlitePath());
    }
    const ReadingConnection store(location);
    if (!sqlite)
        health.server.holdsLock =
            countOf(
                store,
                QStringLiteral("SELECT COUNT(*) FROM pg_locks WHERE locktype = 'advisory' AND granted AND "
                               "classid = ? AND objid = ? AND objsubid = 1 AND database = (SELECT oid "
                               "FROM pg_database WHERE datname = current_database())"),
                {qint64(ServerLock::AdvisoryLockKey >> 32),
                 qint64(ServerLock::AdvisoryLockKey & 0xFFFFFFFF)}) > 0;

    const QString queued = QStringLiteral("Queued");
    QSqlQuery byUser = store.exec(
        QStringLiteral("SELECT UserName, COUNT(*) FROM MessageQueue WHERE Status = ? GROUP BY UserName "
                       "ORDER BY UserName"),
        {queued});
    while (byUser.next()) {
        health.queuedByUser.append({byUser.value(0).toString(), byUser.value(1).toInt()});
        health.queued += byUser.value(1).toInt();
    }
    QSqlQuery oldest =
        store.exec(QStringLiteral("SELECT MIN(QDateTime) FROM MessageQueue WHERE Status = ?"), {queued});
    if (oldest.next())
        health.oldestQueued = readTime(oldest.value(0));
    health.readNow = countOf(store, QStringLiteral("SELECT COUNT(*) FROM MessageQueue WHERE Status = ?"),
                             {QStringLiteral("Read")});
    const QDateTime midnight = now.date().startOfDay();
    QSqlQuery today = store.exec(
        QStringLiteral("SELECT Status, COUNT(*) FROM MessageQueue WHERE QDateTime >= ? "
                       "AND QDateTime < ? GROUP BY Status"),
        {midnight.toString(kDateTimePattern), now.date().addDays(1).startOfDay().toString(kDateTimePattern)});
    while (today.next())
        health.today[today.value(0).toString()] = today.value(1).toInt();

    QSqlQuery open = store.exec(QStringLiteral("SELECT UploadName, Stage, Started, Nids FROM DispatchPass "
                                               "ORDER BY Started"));
    while (open.next())
        health.openPasses.append({open.value(0).toString(), open.value(1).toString(), readTime(open.value(2)),
                                  int(open.value(3).toString().split(u',', Qt::SkipEmptyParts).size())});

    health.historyKept =
        countOf(store, QStringLiteral("SELECT version FROM schema_version"), {}) >= kHistoryVersion;
    if (!health.historyKept)
        return health;
    const auto readPass = [](const QSqlQuery& row) {
        Pass pass{row.value(0).toString(), readTime(row.value(1)), readTime(row.value(2)),
                  row.value(3).toInt(), row.value(4).toString()};
        if (!row.value(5).isNull())
            pass.seconds = row.value(5).toDouble();
        pass.settled = row.value(6).toString();
        return pass;
    };
    const QString passColumns = QStringLiteral(
        "SELECT UploadName, Started, Ended, Rows, Outcome, Seconds, Settled FROM DispatchHistory ");
    QSqlQuery last =
        store.exec(passColumns + QStringLiteral("WHERE Settled IS NULL ORDER BY Ended DESC LIMIT ?"), {1});
    if (last.next())
        health.lastPass = readPass(last);
    QSqlQuery settled =
        store.exec(passColumns + QStringLiteral("WHERE Settled IS NOT NULL AND Ended >= ? ORDER BY Ended"),
                   {midnight.toString(kDateTimePattern)});
    while (settled.next())
        health.settledToday.append(readPass(settled));
    if (health.server.holdsLock) {
        QSqlQuery holder = store.exec(QStringLiteral("SELECT Host, Pid, Since FROM DispatchLockHolder"));
        if (holder.next()) {
            health.server.host = holder.value(0).toString();
            health.server.pid = holder.value(1).toLongLong();
            health.server.since = readTime(holder.value(2));
        }
    }
    return health;
}
