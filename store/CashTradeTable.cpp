#include "CashTradeTable.h"

#include "Store.h"

#include <QSqlRecord>

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
    : m_insert(table.m_store, table.tableName(),
               {QStringLiteral("clientcode"), QStringLiteral("scriptname"), QStringLiteral("rate"),
                QStringLiteral("qty"), QStringLiteral("bs_stat")})
{
}

void CashTradeTable::Writer::add(const CashTradeRow& row)
{
    m_insert.add({row.clientCode, row.scriptName, row.rate, row.qty, row.flag});
}

void CashTradeTable::Writer::flush()
{
    m_insert.finish();
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
