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

qint64 SettingsRows::takeBatchNumber() const
{
    // config has no key of its own: the row is named by the engine's row address, which stays put
    // while this transaction holds the row.
    const bool lite = m_store.engine() == Store::Engine::Sqlite;
    Transaction transaction(m_store);
    QSqlQuery read = m_store.exec(lite ? QStringLiteral("SELECT rowid, batchno FROM config "
                                                        "ORDER BY batchno IS NULL, batchno DESC LIMIT 1")
                                       : QStringLiteral("SELECT ctid, batchno FROM config "
                                                        "ORDER BY batchno IS NULL, batchno DESC LIMIT 1 "
                                                        "FOR UPDATE"));
    if (!read.next())
        throw StoreError(QStringLiteral("the config table has no row to take a batch number from"));
    if (read.value(1).isNull())
        throw StoreError(QStringLiteral("the batch number in the config table is empty"));
    const QVariant row = read.value(0);
    read.finish();
    QSqlQuery advance = m_store.exec(
        lite ? QStringLiteral("UPDATE config SET batchno = batchno + 1 WHERE rowid = ? RETURNING batchno - 1")
             : QStringLiteral("UPDATE config SET batchno = batchno + 1 WHERE ctid = CAST(? AS tid) "
                              "RETURNING batchno - 1"),
        {row});
    if (!advance.next())
        throw StoreError(QStringLiteral("the config row of the batch number has gone"));
    const qint64 taken = advance.value(0).toLongLong();
    advance.finish();
    transaction.commit();
    return taken;
}
