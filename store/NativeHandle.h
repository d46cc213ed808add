#pragma once

#include "StoreError.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

/// The engine's own handle of a connection ("sqlite3*" or "pg_conn*", as the Qt driver names its
/// type), for the store's routines that talk to the client library directly.
template <typename Handle>
Handle* NativeHandle(const QSqlDatabase& database, const char* typeName)
{
    const QVariant handle = database.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), typeName) != 0)
        throw StoreError(
            QStringLiteral("the store's connection gives no %1 handle").arg(QLatin1String(typeName)));
    return *static_cast<Handle* const*>(handle.constData());
}

#include <libpq-fe.h>

/// The PostgreSQL connection, ready for a statement of the store's own: a query run through Qt may
/// still hold the end of its results on the connection (the driver takes it only when its next query
/// begins), and libpq refuses a new statement until it is taken. Taken here, as the driver would.
inline PGconn* ReadyPostgresConnection(const QSqlDatabase& database)
{
    PGconn* connection = NativeHandle<PGconn>(database, "pg_conn*");
    while (PGresult* pending = PQgetResult(connection))
        PQclear(pending);
    return connection;
}
