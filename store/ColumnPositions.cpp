#include "ColumnPositions.h"

#include "Store.h"

namespace {

const std::array<const char*, ColumnPositions::kCount> kColumns = {
    "clientcode", "script_name", "rate", "qty", "bs_state", "monthnm", "opttype", "optval"};

} // namespace

ColumnPositions::ColumnPositions(const Store& store)
    : m_store(store)
{
}

std::optional<ColumnPositions::Row> ColumnPositions::read(const QString& cd) const
{
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT clientcode, script_name, rate, qty, bs_state, monthnm, "
                                    "opttype, optval FROM bnfconfigure WHERE cd = ?"),
                     {cd});
    if (!query.next())
        return std::nullopt;
    Row row;
    for (int k = 0; k < kCount; ++k) {
        bool ok = false;
        const int value = query.value(k).toInt(&ok);
        if (!query.value(k).isNull() && ok)
            row[size_t(k)] = value;
    }
    return row;
}

bool ColumnPositions::write(const QString& cd, const QList<int>& values) const
{
    QStringList assignments;
    QVariantList bound;
    for (qsizetype k = 0; k < values.size() && k < kCount; ++k) {
        assignments << QStringLiteral("%1 = ?").arg(QLatin1String(kColumns[size_t(k)]));
        bound << values.at(k);
    }
    if (assignments.isEmpty())
        return read(cd).has_value();
    bound << cd;
    QSqlQuery query = m_store.exec(
        QStringLiteral("UPDATE bnfconfigure SET %1 WHERE cd = ?").arg(assignments.join(QStringLiteral(", "))),
        bound);
    return query.numRowsAffected() > 0;
}

void ColumnPositions::addMissing(const QString& cd, const QList<int>& values) const
{
    if (read(cd))
        return;
    QStringList columns{QStringLiteral("cd")};
    QStringList marks{QStringLiteral("?")};
    QVariantList bound{cd};
    for (qsizetype k = 0; k < values.size() && k < kCount; ++k) {
        columns << QLatin1String(kColumns[size_t(k)]);
        marks << QStringLiteral("?");
        bound << values.at(k);
    }
    try {
        m_store.exec(QStringLiteral("INSERT INTO bnfconfigure (%1) VALUES (%2)")
                         .arg(columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                     bound);
    } catch (const StoreError&) {
        // Another desk added it meanwhile (cd is unique); anything else shows on the next read.
        if (!read(cd))
            throw;
    }
}
