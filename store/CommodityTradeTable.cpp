#include "CommodityTradeTable.h"

#include "Store.h"

namespace {

// Rows per statement on PostgreSQL, where one round trip per row would dominate.
constexpr qsizetype kChunkRows = 500;

const QString kColumns = QStringLiteral("clid, scriptname, rate, qty, bsflag, monthnm");

QString insertStatement(const QString& table, qsizetype rows)
{
    QString sql = QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, kColumns);
    for (qsizetype i = 0; i < rows; ++i) {
        if (i > 0)
            sql += QStringLiteral(", ");
        sql += QStringLiteral("(?, ?, ?, ?, ?, ?)");
    }
    return sql;
}

} // namespace

CommodityTradeTable::CommodityTradeTable(const Store& store, const QString& table)
    : m_store(store)
    , m_table(table)
{
}

void CommodityTradeTable::clear() const
{
    m_store.exec(QStringLiteral("DELETE FROM %1").arg(m_table));
}

CommodityTradeTable::Writer::Writer(const CommodityTradeTable& table)
    : m_table(table)
    , m_batched(table.m_store.engine() == Store::Engine::Postgres)
{
    if (m_batched)
        m_pending.reserve(kChunkRows);
    m_statement = m_table.m_store.prepare(insertStatement(m_table.m_table, m_batched ? kChunkRows : 1));
}

void CommodityTradeTable::Writer::bind(QSqlQuery& query, const CommodityTradeRow& row)
{
    query.addBindValue(row.clid);
    query.addBindValue(row.scriptName);
    query.addBindValue(row.rate);
    query.addBindValue(row.qty);
    query.addBindValue(row.flag);
    query.addBindValue(row.month);
}

void CommodityTradeTable::Writer::add(const CommodityTradeRow& row)
{
    if (!m_batched) {
        bind(m_statement, row);
        Store::exec(m_statement);
        return;
    }
    m_pending.append(row);
    if (m_pending.size() == kChunkRows) {
        for (const CommodityTradeRow& pending : std::as_const(m_pending))
            bind(m_statement, pending);
        Store::exec(m_statement);
        m_pending.clear();
    }
}

void CommodityTradeTable::Writer::flush()
{
    if (m_pending.isEmpty())
        return;
    QSqlQuery rest = m_table.m_store.prepare(insertStatement(m_table.m_table, m_pending.size()));
    for (const CommodityTradeRow& pending : std::as_const(m_pending))
        bind(rest, pending);
    Store::exec(rest);
    m_pending.clear();
}

QList<QStringList> CommodityTradeTable::stagedRows() const
{
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY clid, scriptname, monthnm, bsflag, rate, qty")
                         .arg(kColumns, m_table));
    QList<QStringList> rows;
    while (query.next()) {
        rows << QStringList{query.value(0).toString(),
                            query.value(1).toString(),
                            QString::number(query.value(2).toDouble(), 'f', 2),
                            query.value(3).toString(),
                            query.value(4).toString(),
                            query.value(5).toString()};
    }
    return rows;
}

QStringList CommodityTradeTable::clientCodes() const
{
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT DISTINCT clid FROM %1 ORDER BY clid").arg(m_table));
    QStringList codes;
    while (query.next())
        codes << query.value(0).toString();
    return codes;
}

void CommodityTradeTable::forEachFragment(
    const QString& storedQuery,
    const std::function<void(const QString& clid, const QString& fragment)>& visit) const
{
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT clid, mymsg FROM %1").arg(storedQuery));
    while (query.next())
        visit(query.value(0).toString(), query.value(1).toString());
}
