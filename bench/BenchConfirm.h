#pragma once

#include "BenchStores.h"
#include "Store.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>

class BulkInsert;
struct CashTradeRow;
struct TradeFileKind;

/// The code of a bench client: CL00000, CL00001, …
QByteArray BenchClientCode(int client);

/// Cash-market trade i of a bench day: the clients in turn, a script that moves on with every round of
/// them, and a quantity and a rate that vary with i.
struct BenchTrade
{
    QByteArray client;
    const char* script;
    int qty;
    qint64 paise;
    /// How many rounds of the clients came before.
    qint64 round;
};
BenchTrade BenchTradeAt(qint64 i, int clients);

/// The seconds since timer started, to the nanosecond.
double SecondsSince(const QElapsedTimer& timer);

/// The floor a read is held against: rows already prepared, written into the connection's private
/// staging table by the engine's own bulk path with nothing else to do, in one transaction: COPY on
/// PostgreSQL, one prepared insert on SQLite. add adds row i. Returns the seconds taken.
double PlainInsert(Store& store, const QString& table, const QStringList& columns, qsizetype rows,
                   const std::function<void(BulkInsert& insert, qsizetype i)>& add);
/// The same for cash-market rows into bsetrade.
double PlainInsert(Store& store, const QList<CashTradeRow>& rows);

/// A confirmation benchmark: a trade file of LINES lines for CLIENTS clients (its command line's,
/// 1,000,000 and 50,000 unless given) read into staging by the engine of a kind, on SQLite and then on
/// PostgreSQL when KELVRA_PG_URL names a server. For each engine it prints the floor of a plain insert
/// of the same rows, the read and its ratio to the floor, the read's peak memory, Generate Message for
/// every client, the one pass over the staging that Generate Message makes, and Send Message; then the
/// whole confirmation on PostgreSQL against the same on SQLite.
class ConfirmBench
{
public:
    /// Inserts the rows the read staged with PlainInsert into a fresh store; returns its seconds.
    using Floor = std::function<double(Store& store)>;

    ConfirmBench(int argc, char** argv);

    qint64 lines() const { return m_lines; }
    int clients() const { return m_clients; }
    const QString& path() const { return m_path; }

    /// Writes the trade file, name, into a temporary folder: header, then line(i, clients) for every
    /// line; prints its size after title.
    void writeFile(const QString& name, const char* title, const QByteArray& header,
                   const std::function<QByteArray(qint64 i, int clients)>& line);

    /// Measures the engine of the kind command, whose read of the file is to stage staged rows; where
    /// that is not a row a line, the read's rate counts lines. peakTargetMb: the peak memory the read
    /// is to stay under, 0 when it has no target.
    void measure(const QString& command, qint64 staged, const Floor& floor, int peakTargetMb = 0) const;

private:
    void measureOn(BenchStores& stores, Store::Engine engine, const TradeFileKind& kind, qint64 staged,
                   const Floor& floor, int peakTargetMb) const;

    qint64 m_lines;
    int m_clients;
    mutable double m_sqliteTotal = 0;
    QTemporaryDir m_folder;
    QString m_path;
};
