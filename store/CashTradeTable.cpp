#include "CashTradeTable.h"

#include "Store.h"

#include <QSqlRecord>

namespace {

// Rows per statement on PostgreSQL, where one round trip per row would dominate.
constexpr qsizetype kChunkRows = 500;

QString insertStatement(const QString& table, qsizetype rows)
{
    QString sql =
        QStringLiteral("INSERT INTO %1 (clientcode, scriptname, rate, qty, bs_stat) VALUES ").arg(table);
    for (qsizetype i = 0; i < rows; ++i) {
        if (i > 0)
            sql += QStringLiteral(", ");
        sql += QStringLiteral("(?, ?, ?, ?, ?)");
    }
    return sql;
}

} // namespace

CashTradeTable::CashTradeTable(const Store& store, const QString& tableName, const QString& queryName)
    : m_store(store)
    , m_tableName(tableName)
    , m_queryName(queryName)
{
}

QString CashTradeTable::tableName() const
{
    return m_tableName;
}

QString CashTradeTable::queryName() const
{
    return m_queryName;
}

void CashTradeTable::clear() const
{
    m_store.exec(QStringLiteral("DELETE FROM %1").arg(tableName()));
}

CashTradeTable::Writer::Writer(const CashTradeTable& table)
    : m_table(table)
    , m_batched(table.m_store.engine() == Store::Engine::Postgres)
{
    if (m_batched) {
        m_pending.reserve(kChunkRows);
        m_chunk = m_table.m_store.prepare(insertStatement(m_table.tableName(), kChunkRows));
    } else {
        m_single = m_table.m_store.prepare(insertStatement(m_table.tableName(), 1));
    }
}

void CashTradeTable::Writer::bind(QSqlQuery& query, const CashTradeRow& row)
{
    query.addBindValue(row.clientCode);
    query.addBindValue(row.scriptName);
    query.addBindValue(row.rate);
    query.addBindValue(row.qty);
    query.addBindValue(row.flag);
}

void CashTradeTable::Writer::add(const CashTradeRow& row)
{
    if (!m_batched) {
        bind(m_single, row);
        Store::exec(m_single);
        ++m_written;
        return;
    }
    m_pending.append(row);
    if (m_pending.size() == kChunkRows) {
        for (const CashTradeRow& pending : std::as_const(m_pending))
            bind(m_chunk, pending);
        Store::exec(m_chunk);
        m_written += m_pending.size();
        m_pending.clear();
    }
}

void CashTradeTable::Writer::flush()
{
    if (m_pending.isEmpty())
        return;
    QSqlQuery rest = m_table.m_store.prepare(insertStatement(m_table.tableName(), m_pending.size()));
    for (const CashTradeRow& pending : std::as_const(m_pending))
        bind(rest, pending);
    Store::exec(rest);
    m_written += m_pending.size();
    m_pending.clear();
}

QList<QStringList> CashTradeTable::stagedRows() const
{
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT clientcode, scriptname, rate, qty, bs_stat FROM %1 "
                                                  "ORDER BY clientcode, scriptname, bs_stat")
                                       .arg(tableName()));
    QList<QStringList> rows;
    while (query.next()) {
        rows << QStringList{query.value(0).toString(), query.value(1).toString(),
                            QString::number(query.value(2).toDouble(), 'f', 2), query.value(3).toString(),
                            query.value(4).toString()};
    }
    return rows;
}

QList<QStringList> CashTradeTable::summaryRows() const
{
    // By client code, and within a client in the query's own order, whatever the engine's sort does with
    // ties.
    QSqlQuery query = m_store.exec(
        QStringLiteral("SELECT * FROM %1 ORDER BY clientcode, scriptname, bs_stat").arg(queryName()));
    QList<QStringList> rows;
    while (query.next()) {
        const int columns = query.record().count();
        QStringList row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row << query.value(i).toString();
        rows << row;
    }
    return rows;
}

QStringList CashTradeTable::clientCodes() const
{
    QSqlQuery query = m_store.exec(
        QStringLiteral("SELECT DISTINCT clientcode FROM %1 ORDER BY clientcode").arg(tableName()));
    QStringList codes;
    while (query.next())
        codes << query.value(0).toString();
    return codes;
}

void CashTradeTable::forEachFragment(
    const std::function<void(const QString& clientCode, const QString& mymsg)>& visit) const
{
    // The query's own order within a client is by script name and buy/sale.
    QSqlQuery query = m_store.exec(
        QStringLiteral("SELECT clientcode, mymsg FROM %1 ORDER BY clientcode, scriptname, bs_stat")
            .arg(queryName()));
    while (query.next())
        visit(query.value(0).toString(), query.value(1).toString());
}
