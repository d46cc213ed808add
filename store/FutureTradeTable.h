#pragma once

#include "BulkInsert.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Store;

/// One futures-and-options trade, as the readers stage it and the composer reads it back.
struct FutureTradeRow
{
    QString clid;
    QString scriptName;
    /// Staging: the rate as "#0.00" text, so that the stored amount is exactly what the file said.
    QString rate;
    qint32 qty = 0;
    QString flag;
    QString month;
    QString optType;
    QString optValue;
};

/// A staged trade as read back: the amount as the store holds it.
struct StagedFutureTrade
{
    QString clid;
    QString scriptName;
    double rate = 0;
    qint64 qty = 0;
    QString flag;
    QString month;
    QString optType;
    QString optValue;
};

/// A staging table of the futures-and-options family (StagingTable: `future`); on a desk program's
/// connection, its private one (Store::openPrivateStaging). A table keeps no order, so every row
/// carries its place in the read (column lineseq): the trades of a client come back in file order on
/// every engine.
class FutureTradeTable
{
public:
    FutureTradeTable(const Store& store, const QString& tableName);

    /// Deletes every staged trade.
    void clear() const;

    /// Stages trades inside the caller's transaction through the store's bulk path (BulkInsert),
    /// numbering them in the order they are added.
    class Writer
    {
    public:
        explicit Writer(const FutureTradeTable& table);
        Writer(const Writer&) = delete;
        Writer& operator=(const Writer&) = delete;

        void add(const FutureTradeRow& row);
        /// Ends the writing; call it before the transaction commits.
        void flush();
        qint64 written() const { return m_insert.written(); }

    private:
        BulkInsert m_insert;
    };

    /// The staged trades as msf1 lists them: clid, scriptname, rate ("#0.00"), qty, bsflag, fut_month,
    /// opttype, optval; by client code, and a client's trades in file order.
    QList<QStringList> stagedRows() const;

    /// The distinct client codes of the staged trades (letter case ignored), in order.
    QStringList clientCodes() const;

    /// Calls back with every staged trade in one pass, in file order.
    void forEachTrade(const std::function<void(const StagedFutureTrade& trade)>& visit) const;

private:
    const Store& m_store;
    QString m_table;
};
