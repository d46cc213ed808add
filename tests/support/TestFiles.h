#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class Store;

/// The whole content of a file; empty when it cannot be read.
QByteArray ReadFile(const QString& path);

/// The lines of a UTF-8 text file, without the empty one after its last line feed.
QStringList ReadLines(const QString& path);

/// Writes the lines to a file, each ended by a line feed; false when it cannot be written.
bool WriteLines(const QString& path, const QStringList& lines);

/// Stores the clients of a CSV file with a header line and name,mobile,code,email on every other line.
void StoreClients(const Store& store, const QString& csvPath);
