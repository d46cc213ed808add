#pragma once

#include <memory>

class Store;
class StoreLocation;

/// A write lock on the message store, as another program's long transaction holds it: other writers
/// wait for it, readers go on. gateway-sim holds it to try the programs against a busy store.
class StoreLock
{
public:
    /// Opens the store; throws StoreError.
    explicit StoreLock(const StoreLocation& location);
    ~StoreLock();

    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;

    /// Begins the locking transaction; throws StoreError when another program's lock is not gone within
    /// 2 s. The whole gateway waits with it, so not for long.
    void take();
    /// Rolls the transaction back; throws StoreError.
    void release();

private:
    std::unique_ptr<Store> m_store;
    bool m_held = false;
};
