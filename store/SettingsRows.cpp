#include "SettingsRows.h"

#include "Store.h"

SettingsRows::SettingsRows(const Store& store)
    : m_store(store)
{
}

std::optional<SettingsRows::StartupSettings> SettingsRows::startupSettings() const
{
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT SuperUser, FileType FROM proxyconfig"));
    if (!query.next())
        return std::nullopt;
    return StartupSettings{query.value(0).toString(), query.value(1).toString()};
}

qint32 SettingsRows::takeBatchNumber() const
{
    QSqlQuery query =
        m_store.exec(QStringLiteral("UPDATE config SET batchno = batchno + 1 RETURNING batchno - 1"));
    if (!query.next())
        throw StoreError(QStringLiteral("the config table has no row to take a batch number from"));
    const QVariant value = query.value(0);
    if (value.isNull())
        throw StoreError(QStringLiteral("the batch number in the config table is empty"));
    return value.toInt();
}
