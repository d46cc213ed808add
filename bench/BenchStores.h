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
    std::unique_ptr<Store> fresh(Store::Engine engine);

private:
    QTemporaryDir m_dir;
    int m_count = 0;
    QStringList m_databases;
};
