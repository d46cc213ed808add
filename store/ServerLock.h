#pragma once

#include <QString>

#include <memory>

class Store;

/// The lock that lets one dispatch server at a time work on a message store, whichever path or
/// machine it reaches the store by. On PostgreSQL a session advisory lock, which ends with the
/// connection; on SQLite a lock on the store file itself (its inode, so that a second name for the
/// file, a symbolic or a hard link, meets the same lock), which ends with the process.
class ServerLock
{
public:
    /// The PostgreSQL advisory lock's key, in the database of the store.
    static constexpr qint64 AdvisoryLockKey = 44170002;

    /// Takes the lock on the store this connection reaches; nothing when another server holds it.
    /// Throws StoreError when the store cannot be asked. On PostgreSQL the connection is then watched
    /// by the database server too, so that the lock frees within seconds when its holder's machine or
    /// network dies, and it names the holder's machine (application_name).
    static std::unique_ptr<ServerLock> tryTake(const Store& store);

    /// Whether some server holds the lock on the SQLite store file at path. It opens and closes a
    /// descriptor of the file, which drops every lock this process holds on it: never call it while
    /// this process has a connection to that store open. Throws StoreError when the file cannot be read.
    static bool heldOnFile(const QString& path);
    ~ServerLock();

    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

    /// Whether this lock still covers the store behind the connection: false on PostgreSQL once the
    /// connection it was taken on has been replaced; on SQLite once the path names another file.
    bool covers(const Store& store) const;

private:
    ServerLock() = default;

    int m_descriptor = -1; // SQLite: the store file, held open for its lock
};
