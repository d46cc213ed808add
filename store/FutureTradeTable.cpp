#include "FutureTradeTable.h"

#include "Store.h"

namespace {

// Rows per statement on PostgreSQL, where one round trip per row would dominate.
constexpr qsizetype kChunkRows = 500;

const QString kColumns = QStringLiteral("clid, scriptname, rate, qty, bsflag, fut_month, opttype, optval");

QString insertStatement(const QString& table, qsizetype rows)
{
    QString sql = QStringLiteral("INSERT INTO %1 (%2, lineseq) VALUES ").arg(table, kColumns);
    for (qsizetype i = 0; i < rows; ++i) {
        if (i > 0)
            sql += QStringLiteral(", ");
        sql += QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?)");
    }
    return sql;
}

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
    : m_table(table)
    , m_batched(table.m_store.engine() == Store::Engine::Postgres)
{
    if (m_batched) {
        m_pending.reserve(kChunkRows);
        m_chunk = m_table.m_store.prepare(insertStatement(m_table.m_table, kChunkRows));
    } else {
        m_single = m_table.m_store.prepare(insertStatement(m_table.m_table, 1));
    }
}

void FutureTradeTable::Writer::bind(QSqlQuery& query, const FutureTradeRow& row, qint64 sequence)
{
    query.addBindValue(row.clid);
    query.addBindValue(row.scriptName);
    query.addBindValue(row.rate);
    query.addBindValue(row.qty);
    query.addBindValue(row.flag);
    query.addBindValue(row.month);
    query.addBindValue(row.optType);
    query.addBindValue(row.optValue);
    query.addBindValue(sequence);
}

void FutureTradeTable::Writer::add(const FutureTradeRow& row)
{
    if (!m_batched) {
        bind(m_single, row, m_written + 1);
        Store::exec(m_single);
        ++m_written;
        return;
    }
    m_pending.append(row);
    if (m_pending.size() == kChunkRows) {
        for (qsizetype i = 0; i < m_pending.size(); ++i)
            bind(m_chunk, m_pending.at(i), m_written + i + 1);
        Store::exec(m_chunk);
        m_written += m_pending.size();
        m_pending.clear();
    }
}

void FutureTradeTable::Writer::flush()
{
    if (m_pending.isEmpty())
        return;
    QSqlQuery rest = m_table.m_store.prepare(insertStatement(m_table.m_table, m_pending.size()));
    for (qsizetype i = 0; i < m_pending.size(); ++i)
        bind(rest, m_pending.at(i), m_written + i + 1);
    Store::exec(rest);
    m_written += m_pending.size();
    m_pending.clear();
}

QList<QStringList> FutureTradeTable::stagedRows() const
{
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY clid, lineseq").arg(kColumns, m_table));
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
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT DISTINCT clid FROM %1 ORDER BY clid").arg(m_table));
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
