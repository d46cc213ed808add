#include "StoreCopy.h"

#include "Store.h"

#include <QDir>

void WriteSqliteCopy(const Store& store, const QString& path)
{
    if (store.engine() != Store::Engine::Sqlite)
        throw StoreError(QStringLiteral("only an SQLite store can be copied to a file"));
    store.exec(QStringLiteral("VACUUM INTO ?"), {QDir::toNativeSeparators(path)});
}
