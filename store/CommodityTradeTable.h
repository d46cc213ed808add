#pragma once

#include "BulkInsert.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class Store;

/// One commodity trade as the readers stage it.
struct CommodityTradeRow
{
    QString clid;
    QString scriptName;
    /// The rate as "#0.00" text, so that the stored amount is exactly what the file said.
    QString rate;
    qint32 qty = 0;
    QString flag;
    QString month;
};

/// A commodity staging table, `commodity` (MCX) or `ncdex`; on a desk program's connection, its private
/// one (Store::openPrivateStaging).
class CommodityTradeTable
{
public:
    CommodityTradeTable(const Store& store, const QString& table);

    /// Deletes every staged trade.
    void clear() const;

    /// Stages trades inside the caller's transaction through the store's bulk path (BulkInsert).
    class Writer
    {
    public:
        explicit Writer(const CommodityTradeTable& table);
        Writer(const Writer&) = delete;
        Writer& operator=(const Writer&) = delete;

        void add(const CommodityTradeRow& row);
        /// Ends the writing; call it before the transaction commits.
        void flush();

    private:
        BulkInsert m_insert;
    };

    /// The staged trades as msf1 lists them: clid, scriptname, rate ("#0.00"), qty, bsflag, monthnm; by
    /// client code (a client's trades in a fixed order of their values, as the table keeps none).
    QList<QStringList> stagedRows() const;

    /// The distinct client codes of the staged trades (letter case ignored), in order.
    QStringList clientCodes() const;

    /// Calls back with clid and mymsg of every row of the stored query, in the order it returns them.
    void
    forEachFragment(const QString& storedQuery,
                    const std::function<void(const QString& clid, const QString& fragment)>& visit) const;

private:
    const Store& m_store;
    QString m_table;
};
