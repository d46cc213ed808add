#include "OrionPositionsRow.h"

#include "Store.h"

#include <QStringList>

namespace {

const std::array<const char*, OrionPositionsRow::kCount> kColumns = {
    "clientstart",  "clientlen",  "scriptstart",  "scriptlen",  "buyqtystart",   "buyqtylen",
    "buyratestart", "buyratelen", "saleqtystart", "saleqtylen", "saleratestart", "saleratelen"};

QString columnList()
{
    QStringList columns;
    for (const char* column : kColumns)
        columns << QLatin1String(column);
    return columns.join(QStringLiteral(", "));
}

} // namespace

OrionPositionsRow::OrionPositionsRow(const Store& store)
    : m_store(store)
{
}

QString OrionPositionsRow::columnName(int k)
{
    return k >= 0 && k < kCount ? QLatin1String(kColumns[size_t(k)]) : QString();
}

std::optional<OrionPositionsRow::Texts> OrionPositionsRow::read(const QString& exchange) const
{
    QSqlQuery query = m_store.exec(
        QStringLiteral("SELECT %1 FROM bnfOrion WHERE Exchange = ?").arg(columnList()), {exchange});
    if (!query.next())
        return std::nullopt;
    Texts texts;
    for (int k = 0; k < kCount; ++k)
        texts[size_t(k)] = query.value(k).isNull() ? QString() : query.value(k).toString();
    return texts;
}

bool OrionPositionsRow::write(const QString& exchange, const Values& values) const
{
    QStringList assignments;
    QVariantList bound;
    for (int k = 0; k < kCount; ++k) {
        assignments << QStringLiteral("%1 = ?").arg(QLatin1String(kColumns[size_t(k)]));
        bound << values[size_t(k)];
    }
    bound << exchange;
    QSqlQuery query = m_store.exec(QStringLiteral("UPDATE bnfOrion SET %1 WHERE Exchange = ?")
                                       .arg(assignments.join(QStringLiteral(", "))),
                                   bound);
    return query.numRowsAffected() > 0;
}
