#pragma once

#include <QString>

/// Runs a statement as the administrator of the PostgreSQL server that adminUrl names, around any
/// store: databases can be neither created in a transaction nor prepared. Ends the program on failure.
void RunOnPostgresServer(const QString& adminUrl, const QString& sql);
