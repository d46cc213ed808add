#pragma once

#include <memory>

class Store;

/// The lock that lets one dispatch server at a time work on a message store, whichever path or
/// machine it reaches the store by. On PostgreSQL a session advisory lock, which ends with the
/// connection; on SQLite a lock on the store file itself (its inode, so that a second name for the
/// file, a symbolic or a hard link, meets the same lock), which ends with the process.
class ServerLock
{
public:
    /// Takes the lock on the store this connection reaches; nothing when another server holds it.
    /// Throws StoreError when the store cannot be asked.
    static std::unique_ptr<ServerLock> tryTake(const Store& store);
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
