#pragma once

class Store;

/// The tables, views and delivered rows of the message store, for both engines.
namespace Schema {

/// The schema version this build writes and reads.
constexpr int kCurrentVersion = 9;

/// Brings an older store up to this version, creates every missing table (with its delivered rows)
/// and view in one transaction, and records the schema version. Throws StoreError, also for a store
/// written by a newer version.
void ensure(const Store& store);

/// Creates the connection's own staging tables and the stored queries over them, as temporary
/// tables and views under the shared names (see Store::openPrivateStaging).
void createPrivateStaging(const Store& store);

} // namespace Schema
