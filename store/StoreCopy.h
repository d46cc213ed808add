#pragma once

#include <QString>

class Store;

/// Writes a consistent copy of an open SQLite store to the new file path (which must not exist yet),
/// while other programs go on using the store. Throws StoreError with the store's reason.
void WriteSqliteCopy(const Store& store, const QString& path);
