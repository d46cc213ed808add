#include "CashTradeTable.h"

#include "Store.h"

#include <QSqlRecord>

namespace {

// Staged trades and the stored query's rows: by client code, script name and buy/sale, without regard
// to letter case.
QString orderOfTrades(const Store& store)
{
    return store.foldedKeys(
        {QStringLiteral("clientcode"), QStringLiteral("scriptname"), QStringLiteral("bs_stat")});
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
                                                  "ORDER BY %2")
                                       .arg(tableName(), orderOfTrades(m_store)));
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
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT * FROM %1 ORDER BY %2").arg(queryName(), orderOfTrades(m_store)));
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
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT %1 FROM %2 GROUP BY %3 ORDER BY %3")
                         .arg(m_store.engine() == Store::Engine::Sqlite ? QStringLiteral("clientcode")
                                                                        : QStringLiteral("min(clientcode)"),
                              tableName(), m_store.foldedKey(QStringLiteral("clientcode"))));
    QStringList codes;
    while (query.next())
        codes << query.value(0).toString();
    return codes;
}

void CashTradeTable::forEachFragment(
    const std::function<void(const QString& clientCode, const QString& mymsg)>& visit) const
{
    // The query's own order within a client is by script name and buy/sale.
    m_store.readRows(QStringLiteral("SELECT clientcode, mymsg FROM %1 ORDER BY %2")
                         .arg(queryName(), orderOfTrades(m_store)),
                     {}, [&visit](std::span<const QByteArrayView> row) {
                         visit(QString::fromUtf8(row[0]), QString::fromUtf8(row[1]));
                     });
}
