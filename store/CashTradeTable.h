#pragma once

#include "BulkInsert.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Store;

/// One staged cash-market trade, as the readers prepare it.
struct CashTradeRow
{
    QString clientCode;
    QString scriptName;
    /// The rate as "#0.00" text, so that the stored amount is exactly what the file said.
    QString rate;
    qint32 qty = 0;
    QString flag;
};

/// A staging table of the cash family (StagingTable: bsetrade, nsetrade) and its stored query
/// (bse_query, nse_query); on a desk program's connection, its private ones (Store::openPrivateStaging).
class CashTradeTable
{
public:
    CashTradeTable(const Store& store, const QString& tableName, const QString& queryName);

    /// Deletes every staged trade.
    void clear() const;

    /// Stages trades inside the caller's transaction through the store's bulk path (BulkInsert).
    class Writer
    {
    public:
        explicit Writer(const CashTradeTable& table);
        Writer(const Writer&) = delete;
        Writer& operator=(const Writer&) = delete;

        void add(const CashTradeRow& row);
        /// Ends the writing; call it before the transaction commits.
        void flush();
        qint64 written() const { return m_insert.written(); }

    private:
        BulkInsert m_insert;
    };

    /// The staged trades: client code, script name, rate ("#0.00"), quantity, buy/sale; ordered by
    /// client code, script name and buy/sale.
    QList<QStringList> stagedRows() const;

    /// Every column of the stored query, as text, by client code and then in the query's own order.
    QList<QStringList> summaryRows() const;

    /// The distinct client codes of the staged trades (letter case ignored), in order.
    QStringList clientCodes() const;

    /// Calls back with the client code and fragment of every row of the stored query in one pass:
    /// by client code and, within a client, in the query's own order.
    void
    forEachFragment(const std::function<void(const QString& clientCode, const QString& mymsg)>& visit) const;

    QString tableName() const;
    QString queryName() const;

private:
    const Store& m_store;
    QString m_tableName;
    QString m_queryName;
};
