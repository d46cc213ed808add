#pragma once

#include "StoreError.h"
#include "StoreLocation.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <memory>

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

    /// A prepared statement on this connection.
    QSqlQuery prepare(const QString& sql) const;
    /// Executes a prepared statement; throws StoreError with the store's message.
    static void exec(QSqlQuery& query);
    /// Prepares, binds positionally and executes in one step. A statement without values runs unprepared.
    QSqlQuery exec(const QString& sql, const QVariantList& values = {}) const;

    /// A date and time as this engine stores it, so that stored values compare correctly.
    QVariant dateTimeValue(const QDateTime& value) const;
    /// A date alone (midnight), as the dispatch server stores the day it took a message.
    QVariant dateValue(const QDate& value) const;
    /// A stored date and time read back.
    static QDateTime readDateTime(const QVariant& value);

    int schemaVersion() const;

private:
    Store(const StoreLocation& location, const QString& connectionName);
    void configureConnection();
    QSqlDatabase database() const;

    StoreLocation m_location;
    QString m_connectionName;
    bool m_closed = false;

    friend class Transaction;
};

/// A write transaction: BEGIN IMMEDIATE on SQLite, so that two programs never deadlock on an
/// upgrade from reading to writing. Rolled back when left without commit().
class Transaction
{
public:
    explicit Transaction(const Store& store);
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
