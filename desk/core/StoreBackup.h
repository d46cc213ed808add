#pragma once

#include <QString>

class Store;

/// Copies the open message store to a file, consistently while other programs keep using it:
/// SQLite through VACUUM INTO, PostgreSQL through pg_dump.
class StoreBackup
{
public:
    explicit StoreBackup(const Store& store);

    /// What is appended to every chosen name: ".db" for an SQLite store, ".sql" for a PostgreSQL dump.
    QString extension() const;
    /// The save dialog's filter.
    QString filter() const;

    /// Writes the copy to chosenName + extension(), replacing an existing file. Returns the file
    /// written; throws StoreError with the reason on any failure, leaving an existing file alone.
    QString backup(const QString& chosenName) const;

private:
    void copySqlite(const QString& target) const;
    void dumpPostgres(const QString& target) const;

    const Store& m_store;
};
