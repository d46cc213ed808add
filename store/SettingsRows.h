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

    /// Hands out the stored batch number and advances the counter in one statement, so that two
    /// programs asking at the same moment never get the same number. Throws StoreError when the
    /// config row is missing or its batchno is empty.
    qint32 takeBatchNumber() const;

private:
    const Store& m_store;
};
