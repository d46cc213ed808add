#pragma once

#include <QList>

/// The tables trade files are staged in, each of a family: the tables of one family have the same
/// columns, and the stored query over one the same form, so that a kind of trade file staged like an
/// existing one needs only its entry here. Each desk connection gets its own staging tables and stored
/// queries under these names (Store::openPrivateStaging); the shared ones stay for older programs.
struct StagingTable
{
    enum class Family {
        /// clientcode, scriptname, rate, qty, bs_stat; a query summing each client's scripts by side.
        Cash,
        /// clid, scriptname, rate, qty, bsflag, fut_month, opttype, optval; each trade in file order.
        Future,
        /// clid, scriptname, rate, qty, bsflag, monthnm; a query summing by script, month and side.
        Commodity,
        /// MobileNo, Message: the texts a spreadsheet screen builds.
        Messages,
    };

    const char* table;
    Family family;
    /// The stored query over the table; nullptr where the family has none.
    const char* storedQuery;

    /// Every staging table, in the order the store creates them.
    static const QList<StagingTable>& all();
};
