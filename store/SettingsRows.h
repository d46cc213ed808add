#pragma once

#include <QString>

#include <optional>

class Store;

/// The one-row settings tables: config (the batch counter) and proxyconfig.
class SettingsRows
{
public:
    explicit SettingsRows(const Store& store);

    struct StartupSettings
    {
        QString superUser;
        QString fileType;
    };
    /// SuperUser and FileType of the proxyconfig row; nothing when the table has no row.
    std::optional<StartupSettings> startupSettings() const;

    /// Hands out the stored batch number and advances that row's counter in one transaction, so that
    /// two programs asking at the same moment never get the same number. Should config hold more than
    /// one row, the one with the highest counter is read and advanced, and no other: a number already
    /// handed out is never handed out again. Throws StoreError when config has no row or its batchno
    /// is empty.
    qint64 takeBatchNumber() const;

private:
    const Store& m_store;
};
