#include "FutureTradeTable.h"

#include "Store.h"

namespace {

const QString kColumns = QStringLiteral("clid, scriptname, rate, qty, bsflag, fut_month, opttype, optval");

} // namespace

FutureTradeTable::FutureTradeTable(const Store& store, const QString& tableName)
    : m_store(store)
    , m_table(tableName)
{
}

void FutureTradeTable::clear() const
{
    m_store.exec(QStringLiteral("DELETE FROM ") + m_table);
}

FutureTradeTable::Writer::Writer(const FutureTradeTable& table)
    : m_insert(table.m_store, table.m_table,
               (kColumns + QStringLiteral(", lineseq")).split(QStringLiteral(", ")))
{
}

void FutureTradeTable::Writer::add(const FutureTradeRow& row)
{
    m_insert.add({row.clid, row.scriptName, row.rate, row.qty, row.flag, row.month, row.optType, row.optValue,
                  m_insert.written() + 1});
}

void FutureTradeTable::Writer::flush()
{
    m_insert.finish();
}

QList<QStringList> FutureTradeTable::stagedRows() const
{
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3, lineseq")
                                       .arg(kColumns, m_table, m_store.foldedKey(QStringLiteral("clid"))));
    QList<QStringList> rows;
    while (query.next()) {
        rows << QStringList{query.value(0).toString(),
                            query.value(1).toString(),
                            QString::number(query.value(2).toDouble(), 'f', 2),
                            query.value(3).toString(),
                            query.value(4).toString(),
                            query.value(5).toString(),
                            query.value(6).toString(),
                            query.value(7).toString()};
    }
    return rows;
}

QStringList FutureTradeTable::clientCodes() const
{
    // Grouped by the folded code rather than DISTINCT: on PostgreSQL that sorts by lowered text in
    // byte order instead of by the case-insensitive type's own comparison, many times slower.
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT %1 FROM %2 GROUP BY %3 ORDER BY %3")
                         .arg(m_store.engine() == Store::Engine::Sqlite ? QStringLiteral("clid")
                                                                        : QStringLiteral("min(clid)"),
                              m_table, m_store.foldedKey(QStringLiteral("clid"))));
    QStringList codes;
    while (query.next())
        codes << query.value(0).toString();
    return codes;
}

void FutureTradeTable::forEachTrade(const std::function<void(const StagedFutureTrade& trade)>& visit) const
{
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY lineseq").arg(kColumns, m_table));
    StagedFutureTrade trade;
    while (query.next()) {
        trade.clid = query.value(0).toString();
        trade.scriptName = query.value(1).toString();
        trade.rate = query.value(2).toDouble();
        trade.qty = query.value(3).toLongLong();
        trade.flag = query.value(4).toString();
        trade.month = query.value(5).toString();
        trade.optType = query.value(6).toString();
        trade.optValue = query.value(7).toString();
        visit(trade);
    }
}
