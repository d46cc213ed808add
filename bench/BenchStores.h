#pragma once

#include "Store.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

/// Fresh, empty stores for benchmark runs: SQLite files in a temporary folder, and databases on the
/// PostgreSQL server that KELVRA_PG_URL names (dropped again when this object goes).
class BenchStores
{
public:
    BenchStores();
    ~BenchStores();

    static bool havePostgres();
    /// url, when given, receives the store's URL, for a program run on the same store.
    std::unique_ptr<Store> fresh(Store::Engine engine, QString* url = nullptr);

private:
    QTemporaryDir m_dir;
    int m_count = 0;
    QStringList m_databases;
};
