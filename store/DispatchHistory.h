#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

class Store;

/// The dispatch server's record for `quaylink status`: every pass once its rows have their final
/// status, whether it ended by itself or was settled later by its journal (table DispatchHistory),
/// and the server that holds the store's lock (table DispatchLockHolder).
class DispatchHistory
{
public:
    struct Pass
    {
        QString uploadName{}; // empty for rows left "Read" that no journal named
        QString userId{};
        QDateTime started{};
        int rows = 0;
        QString outcome{};               // the status its rows took
        std::optional<double> seconds{}; // known only for a pass that ended by itself
        QString settled{};               // empty: ended by itself; else when it was settled
    };

    explicit DispatchHistory(const Store& store);

    /// Runs inside the transaction that gives the pass's rows their status.
    void recordPass(const Pass& pass, const QDateTime& ended) const;
    /// This server has taken the store's lock.
    void recordLockTaken(const QString& host, qint64 pid, const QDateTime& since) const;
    /// Forgets passes that ended before the given time.
    void forgetBefore(const QDateTime& before) const;

private:
    const Store& m_store;
};
