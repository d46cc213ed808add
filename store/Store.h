#pragma once

#include "StoreError.h"
#include "StoreLocation.h"

#include <QDateTime>
#include <QMutex>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <QWaitCondition>

#include <functional>
#include <memory>
#include <span>

class QThread;

/// One open connection to the message store, on SQLite or PostgreSQL.
///
/// Opening creates whatever tables and views are missing, with their delivered rows. Every
/// statement is prepared and takes its values bound; a failed statement throws StoreError.
class Store
{
public:
    using Engine = StoreLocation::Engine;

    /// Opens the store; throws StoreError naming the store and the store's reason.
    static std::unique_ptr<Store> open(const StoreLocation& location);
    ~Store();

    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    Engine engine() const { return m_location.engine(); }
    const StoreLocation& location() const { return m_location; }
    bool isOpen() const;
    /// Closes the connection; later statements fail. Closing twice does nothing.
    void close();

    /// Whether the connection still reaches the store: a read of it succeeds (and the SQLite file is
    /// still there). False once a PostgreSQL server has dropped the connection, say on a restart.
    bool isReachable() const;
    /// Opens a new connection to the same store in place of this one, which is closed; the store is
    /// never created here. On failure this connection stays as it was. Throws StoreError.
    void reopen();

    /// A prepared statement on this connection.
    QSqlQuery prepare(const QString& sql) const;
    /// Executes a prepared statement; throws StoreError with the store's message.
    static void exec(QSqlQuery& query);
    /// Prepares, binds positionally and executes in one step. A statement without values runs unprepared.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {}) const;

    /// Runs a query and hands take each row's values as UTF-8 texts (NULL as an empty text), valid
    /// during the call, read straight through the engine's own client library rather than as a
    /// QVariant for every value: for lists of a million rows. A failed statement throws StoreError.
    void readRows(const QString& sql, const QVariantList& values,
                  const std::function<void(std::span<const QByteArrayView> row)>& take) const;

    /// A condition that column is one of a list of numbers given as one bound value, idListValue: a
    /// statement of any length whatever the list's. "nid IN (…)" with a mark for every number would
    /// send a value for each and run into the engines' limits on them.
    QString idListCondition(const QString& column) const;
    QVariant idListValue(const QList<qint64>& ids) const;

    /// A text column as a key to group or order by without regard to letter case. SQLite's columns
    /// compare so by their own collation and stand as they are; on PostgreSQL the key is the lowered
    /// text in byte order, which sorts many times faster than the case-insensitive type's own
    /// comparison and orders as SQLite does.
    static QString foldedKey(Engine engine, const QString& column);
    QString foldedKey(const QString& column) const { return foldedKey(engine(), column); }
    /// foldedKey of each column, joined by commas.
    QString foldedKeys(const QStringList& columns) const;

    /// A date and time as this engine stores it, so that stored values compare correctly.
    QVariant dateTimeValue(const QDateTime& value) const;
    /// A date alone (midnight), as the dispatch server stores the day it took a message.
    QVariant dateValue(const QDate& value) const;
    /// A stored date and time read back.
    static QDateTime readDateTime(const QVariant& value);

    int schemaVersion() const;

    /// Gives this connection staging tables of its own (bsetrade, nsetrade, future, commodity, ncdex,
    /// TempMessage) and the stored queries over them, under the same names. They hide the shared ones
    /// from this connection alone and end with it, so desk programs reading trade files at the same
    /// time never see each other's trades; the shared tables stay, empty, for older programs. The
    /// desk program asks for them, the dispatch server does not. Only the first call does anything.
    void openPrivateStaging();

    /// Hands the connection to one thread for a while: statements from any other thread wait until
    /// the turn ends. The desk reads trade files on a worker thread through its only connection; a
    /// window that starts store work meanwhile waits for the read instead of interleaving with it.
    /// Taken by the thread that starts the worker (so nothing slips in before the worker begins), and
    /// ended by whichever thread is done with it.
    class Turn
    {
    public:
        Turn(const Store& store, QThread* thread);
        ~Turn() { end(); }
        Turn(const Turn&) = delete;
        Turn& operator=(const Turn&) = delete;
        void end();

    private:
        const Store* m_store;
    };

private:
    Store(const StoreLocation& location, const QString& connectionName);
    static QString newConnectionName();
    /// Opens the connection named m_connectionName; create: a missing SQLite file is made first.
    void connect(bool create);
    void configureConnection();
    /// The connection, once the thread holding the turn (if another) has ended it.
    QSqlDatabase database() const;
    void awaitTurn() const;

    StoreLocation m_location;
    QString m_connectionName;
    bool m_closed = false;
    bool m_privateStaging = false;
    // Kept here rather than looked up by name: a lookup is refused on any thread but the one that
    // opened the connection, and the turn lets a worker thread use it.
    QSqlDatabase m_db;
    mutable bool m_inTransaction = false;
    mutable QMutex m_turnLock;
    mutable QWaitCondition m_turnEnded;
    mutable QThread* m_turnHolder = nullptr;

    friend class Transaction;
    friend class BulkInsert;
};

/// A write transaction: BEGIN IMMEDIATE on SQLite, so that two programs never deadlock on an
/// upgrade from reading to writing. Rolled back when left without commit(). Transactions do not nest:
/// a second one on a connection that has one open throws StoreError rather than sending a BEGIN that
/// SQLite refuses and PostgreSQL ignores, whose COMMIT would then commit the outer one half done.
class Transaction
{
public:
    /// What the transaction writes. PrivateStaging: only the connection's private staging tables,
    /// which SQLite keeps outside the store file; it then takes no lock on the file (a deferred BEGIN),
    /// so the other programs write on meanwhile.
    enum class Writes { Store, PrivateStaging };

    explicit Transaction(const Store& store, Writes writes = Writes::Store);
    ~Transaction();

    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();
    void rollback();
    bool isActive() const { return m_active; }

private:
    const Store& m_store;
    bool m_active = false;
};
