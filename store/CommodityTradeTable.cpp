#include "CommodityTradeTable.h"

#include "Store.h"

namespace {

const QString kColumns = QStringLiteral("clid, scriptname, rate, qty, bsflag, monthnm");

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
    : m_insert(table.m_store, table.m_table, kColumns.split(QStringLiteral(", ")))
{
}

void CommodityTradeTable::Writer::add(const CommodityTradeRow& row)
{
    m_insert.add({row.clid, row.scriptName, row.rate, row.qty, row.flag, row.month});
}

void CommodityTradeTable::Writer::flush()
{
    m_insert.finish();
}

QList<QStringList> CommodityTradeTable::stagedRows() const
{
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY %3, rate, qty")
                         .arg(kColumns, m_table,
                              m_store.foldedKeys({QStringLiteral("clid"), QStringLiteral("scriptname"),
                                                  QStringLiteral("monthnm"), QStringLiteral("bsflag")})));
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

void CommodityTradeTable::forEachFragment(
    const QString& storedQuery,
    const std::function<void(const QString& clid, const QString& fragment)>& visit) const
{
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT clid, mymsg FROM %1").arg(storedQuery));
    while (query.next())
        visit(query.value(0).toString(), query.value(1).toString());
}
