#pragma once

#include <QList>
#include <QSqlQuery>
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

    /// Stages trades inside the caller's transaction through one reused prepared statement (on
    /// PostgreSQL 500 rows to a statement, where one round trip per row would dominate), numbering
    /// them in the order they are added.
    class Writer
    {
    public:
        explicit Writer(const FutureTradeTable& table);
        Writer(const Writer&) = delete;
        Writer& operator=(const Writer&) = delete;

        void add(const FutureTradeRow& row);
        /// Writes the rows still held back; call it before the transaction commits.
        void flush();
        qint64 written() const { return m_written; }

    private:
        void bind(QSqlQuery& query, const FutureTradeRow& row, qint64 sequence);

        const FutureTradeTable& m_table;
        bool m_batched;
        QSqlQuery m_single;
        QSqlQuery m_chunk;
        QList<FutureTradeRow> m_pending;
        qint64 m_written = 0;
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
