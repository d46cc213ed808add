#pragma once

#include "StoreLocation.h"

#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>

#include <optional>
#include <utility>

/// The dispatch as `quaylink status` reports it: the server holding the store's lock, the queue, the
/// passes and the day's statuses. Read through a connection of its own that only reads: it never
/// creates or upgrades a store, takes no lock of the store's and no server's lock, and writes nothing.
struct DispatchHealth
{
    struct Server
    {
        bool holdsLock = false;
        // As the server recorded itself when it took the lock; empty when the store does not tell.
        QString host{};
        qint64 pid = 0;
        QDateTime since{};
    };

    struct Pass
    {
        QString uploadName{}; // empty for rows left "Read" that no journal named
        QDateTime started{};
        QDateTime ended{};
        int rows = 0;
        QString outcome{};
        std::optional<double> seconds{};
        QString settled{}; // empty: the pass ended by itself; else when its journal settled it
    };

    /// A journal still open: the pass in progress, or one cut short that no server has settled yet.
    struct OpenPass
    {
        QString uploadName{};
        QString stage{};
        QDateTime started{};
        int rows = 0;
    };

    Server server;
    int queued = 0;
    QList<std::pair<QString, int>> queuedByUser; // by desk user, in name order
    QDateTime oldestQueued{};                    // invalid when nothing waits
    int readNow = 0;
    std::optional<Pass> lastPass; // the last pass that ended by itself
    QList<Pass> settledToday;     // passes cut short whose journal settled them today
    QList<OpenPass> openPasses;
    QMap<QString, int> today; // rows per status taken or queued today
    bool historyKept = true;  // false for a store written before the history of passes

    /// Reads the store at location as of now. Throws StoreError with a one-line reason.
    static DispatchHealth read(const StoreLocation& location, const QDateTime& now);
};
