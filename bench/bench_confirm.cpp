// Cash-market confirmations benchmark: a BSE file of a million trades for 50,000 clients read into
// staging, against the floor of a plain insert of the same rows measured in the same run; the line
// splitting alone; the messages generated for every client; the peak memory of the read.
//   bench_confirm [TRADES] [CLIENTS]     (default 1000000 50000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchStores.h"
#include "CashConfirmations.h"
#include "CashTradeTable.h"
#include "DeskSession.h"
#include "TradeLineSplitter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>

namespace {

const char* const kScripts[] = {"RELIANCE",   "TCS",      "INFY",       "HDFCBANK",   "SBIN",
                                "ICICIBANK",  "ITC",      "LT",         "HINDUNILVR", "BHARTIARTL",
                                "ASIANPAINT", "AXISBANK", "TATAMOTORS", "BAJAJFINSV", "BAJFINANCE",
                                "KOTAKBANK",  "MARUTI",   "TITAN",      "WIPRO",      "NMDC"};
constexpr int kScriptCount = int(sizeof(kScripts) / sizeof(kScripts[0]));

struct Trade
{
    QByteArray client;
    const char* script;
    char side;
    int qty;
    qint64 paise;
};

QByteArray clientCode(int client)
{
    return "CL" + QByteArray::number(client).rightJustified(5, '0');
}

Trade tradeAt(qint64 i, int clients)
{
    const int client = int(i % clients);
    const qint64 round = i / clients;
    return {clientCode(client), kScripts[(client + round * 7) % kScriptCount], round % 3 == 0 ? 'S' : 'B',
            int(1 + (i * 37) % 500), 10000 + (i * 7919) % 900000};
}

QString writeTradeFile(const QString& folder, qint64 trades, int clients)
{
    const QString path = folder + QStringLiteral("/bse_day.txt");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    QByteArray block;
    for (qint64 i = 0; i < trades; ++i) {
        const Trade t = tradeAt(i, clients);
        block += QByteArray::number(713000000 + i) + "|08/12/2026|10:15:00|500325|" + t.script + '|' +
                 t.side + '|' + QByteArray::number(t.qty) + '|' + QByteArray::number(t.paise) + '|' +
                 t.client + "|0412|2026231\n";
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    return path;
}

void storeClients(Store& store, int clients)
{
    Transaction transaction(store);
    QSqlQuery insert = store.prepare(
        QStringLiteral("INSERT INTO ClientMaster (cName, cMobile, cdpinid, cEmail) VALUES (?, ?, ?, ?)"));
    for (int c = 0; c < clients; ++c) {
        insert.addBindValue(QStringLiteral("Client %1").arg(c));
        insert.addBindValue(QStringLiteral("98%1").arg(c, 8, 10, QLatin1Char('0')));
        insert.addBindValue(QString::fromLatin1(clientCode(c)));
        insert.addBindValue(QString());
        Store::exec(insert);
    }
    transaction.commit();
}

// Peak resident memory of this process in MB; reset where the kernel allows it.
double peakMegabytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

double splitOnly(const QString& path, qint64* lines)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    QElapsedTimer timer;
    timer.start();
    TradeLineSplitter splitter('|', ',');
    qint64 fields = 0;
    *lines = 0;
    QByteArray buffer;
    while (true) {
        const QByteArray chunk = file.read(1 << 20);
        buffer += chunk;
        qsizetype start = 0;
        qsizetype newline;
        while ((newline = buffer.indexOf('\n', start)) >= 0) {
            fields += splitter.split(QByteArrayView(buffer).sliced(start, newline - start));
            fields += splitter.field(8).size();
            ++*lines;
            start = newline + 1;
        }
        buffer.remove(0, start);
        if (chunk.isEmpty())
            break;
    }
    if (fields == 0)
        qFatal("nothing split");
    return double(timer.nsecsElapsed()) / 1e9;
}

double plainInsert(Store& store, const QList<CashTradeRow>& rows)
{
    QElapsedTimer timer;
    timer.start();
    Transaction transaction(store, Transaction::Writes::PrivateStaging);
    const bool lite = store.engine() == Store::Engine::Sqlite;
    const qsizetype chunk = lite ? 1 : 500;
    QString sql = QStringLiteral("INSERT INTO bsetrade (clientcode, scriptname, rate, qty, bs_stat) VALUES ");
    for (qsizetype i = 0; i < chunk; ++i)
        sql += i == 0 ? QStringLiteral("(?, ?, ?, ?, ?)") : QStringLiteral(", (?, ?, ?, ?, ?)");
    QSqlQuery insert = store.prepare(sql);
    for (qsizetype start = 0; start + chunk <= rows.size(); start += chunk) {
        for (qsizetype i = start; i < start + chunk; ++i) {
            insert.addBindValue(rows[i].clientCode);
            insert.addBindValue(rows[i].scriptName);
            insert.addBindValue(rows[i].rate);
            insert.addBindValue(rows[i].qty);
            insert.addBindValue(rows[i].flag);
        }
        Store::exec(insert);
    }
    transaction.commit();
    return double(timer.nsecsElapsed()) / 1e9;
}

void measure(BenchStores& stores, Store::Engine engine, const QString& path, qint64 trades, int clients)
{
    const char* name = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    auto store = stores.fresh(engine);
    storeClients(*store, clients);
    DeskSession session(*store);
    CashConfirmations confirmations(session, CashExchange::Bse);
    confirmations.open();

    // Give back what earlier runs freed, so that the peak is the read's own.
    malloc_trim(0);
    const bool reset = resetPeak();
    const double before = peakMegabytes();
    QElapsedTimer timer;
    timer.start();
    const CashReadReport report = confirmations.readFiles({path}, [](qint64, qint64) {});
    const double read = double(timer.nsecsElapsed()) / 1e9;
    const double peak = peakMegabytes();
    if (report.staged != trades)
        qFatal("%s: %lld of %lld trades staged", name, report.staged, trades);

    timer.restart();
    const QList<QueueGridRow> grid = confirmations.generate(QStringLiteral("EOD 08-Dec"));
    const double generate = double(timer.nsecsElapsed()) / 1e9;
    if (grid.size() < clients)
        qFatal("%s: %lld texts for %d clients", name, qlonglong(grid.size()), clients);

    timer.restart();
    qint64 fragments = 0;
    CashTradeTable(*store, CashTradeTable::Kind::Bse).forEachFragment([&](const QString&, const QString&) {
        ++fragments;
    });
    const double pass = double(timer.nsecsElapsed()) / 1e9;

    QList<CashTradeRow> rows;
    rows.reserve(trades);
    for (qint64 i = 0; i < trades; ++i) {
        const Trade t = tradeAt(i, clients);
        rows.append({QString::fromLatin1(t.client), QString::fromLatin1(t.script),
                     QString::number(double(t.paise) / 100, 'f', 2), t.qty, QString(QLatin1Char(t.side))});
    }
    auto floorStore = stores.fresh(engine);
    floorStore->openPrivateStaging(); // the desk stages into its connection's own tables, as measured
    const double floor = plainInsert(*floorStore, rows);

    std::printf("%-10s floor (%s):%*s %8lld rows in %6.2f s = %8.0f rows/s\n", name,
                engine == Store::Engine::Sqlite ? "plain prepared insert, one transaction"
                                                : "500-row inserts",
                engine == Store::Engine::Sqlite ? 0 : 23, "", trades, floor, double(trades) / floor);
    std::printf(
        "%-10s Read File(s) into bsetrade:                     %8lld rows in %6.2f s = %8.0f rows/s\n", name,
        trades, read, double(trades) / read);
    std::printf("%-10s ratio read / floor: %.2f (target at most 2)\n", name, read / floor);
    std::printf("%-10s peak memory of the read: %.0f MB (VmHWM%s; %.0f MB before it; target under 500 MB)\n",
                name, peak, reset ? ", reset before the read" : "", before);
    std::printf(
        "%-10s Generate Message: %d clients, %lld texts in %.2f s = %.0f clients/s (target under %d s)\n",
        name, clients, qlonglong(grid.size()), generate, clients / generate,
        engine == Store::Engine::Sqlite ? 10 : 20);
    std::printf("%-10s   of which the one ordered pass over bse_query: %lld fragments in %.2f s\n", name,
                fragments, pass);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 trades = argc > 1 ? std::atoll(argv[1]) : 1000000;
    const int clients = argc > 2 ? std::atoi(argv[2]) : 50000;
    QTemporaryDir folder;
    const QString path = writeTradeFile(folder.path(), trades, clients);
    std::printf("trade file: %lld lines, %.0f MB, %d clients\n", trades, double(QFile(path).size()) / 1e6,
                clients);

    qint64 lines = 0;
    const double split = splitOnly(path, &lines);
    std::printf("line splitting alone (TradeLineSplitter): %lld lines in %.3f s = %.0f lines/s\n", lines,
                split, double(lines) / split);
    std::fflush(stdout);

    BenchStores stores;
    measure(stores, Store::Engine::Sqlite, path, trades, clients);
    if (BenchStores::havePostgres())
        measure(stores, Store::Engine::Postgres, path, trades, clients);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
