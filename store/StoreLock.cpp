#include "StoreLock.h"

#include "Store.h"

StoreLock::StoreLock(const StoreLocation& location)
    : m_store(Store::open(location))
{
    if (m_store->engine() == Store::Engine::Sqlite)
        m_store->exec(QStringLiteral("PRAGMA busy_timeout = 2000"));
    else
        m_store->exec(QStringLiteral("SET lock_timeout = 2000"));
}

StoreLock::~StoreLock()
{
    try {
        release();
    } catch (const StoreError&) { // closing the connection drops the transaction all the same
    }
}

void StoreLock::take()
{
    if (m_store->engine() == Store::Engine::Sqlite) {
        // The store runs in WAL mode, where EXCLUSIVE is IMMEDIATE: writers wait, readers go on.
        m_store->exec(QStringLiteral("BEGIN EXCLUSIVE"));
        m_held = true;
        return;
    }
    m_store->exec(QStringLiteral("BEGIN"));
    m_held = true;
    try {
        // EXCLUSIVE lets plain SELECTs through and stops every INSERT, UPDATE and DELETE of the queue.
        m_store->exec(QStringLiteral("LOCK TABLE MessageQueue IN EXCLUSIVE MODE"));
    } catch (const StoreError&) {
        release();
        throw;
    }
}

void StoreLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    m_store->exec(QStringLiteral("ROLLBACK"));
}
