// Commodity confirmations benchmark: a file of a million MCX trades for 50,000 clients read into
// staging, against the floor of a plain insert of the same rows measured in the same run; then Generate
// Message for every client with 200,000 texts already queued today, a quarter of them the clients'
// own texts (letter case changed) that the same-day guard must leave out.
//   bench_commodity [TRADES] [CLIENTS]   (default 1000000 50000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchConfirm.h"
#include "BulkInsert.h"
#include "CommodityConfirmations.h"
#include "CommodityTradeTable.h"
#include "DeskSession.h"
#include "MessageQueueTable.h"
#include "TradeFileKind.h"

#include <QCoreApplication>

#include <cstdio>

namespace {

constexpr qsizetype kQueuedToday = 200000;

struct Commodity
{
    const char* symbol;
    int lot;
    int price;
};

const Commodity kCommodities[] = {{"GOLDM", 10, 72150},      {"SILVERM", 5, 86300}, {"CRUDEOIL", 100, 5920},
                                  {"NATURALGAS", 1250, 262}, {"COPPER", 2500, 815}, {"ZINC", 5000, 254},
                                  {"ALUMINIUM", 5000, 232},  {"LEAD", 5000, 186},   {"NICKEL", 1500, 1390},
                                  {"GOLD", 1, 72400}};
constexpr int kCommodityCount = int(sizeof(kCommodities) / sizeof(kCommodities[0]));
const char* const kExpiries[] = {"31DEC2026", "29JAN2027", "05FEB2027"};

// One trade of the day as staged; the line carries it at the delivered "C" positions.
CommodityTradeRow tradeAt(qint64 i, int clients)
{
    const int client = int(i % clients);
    const qint64 round = i / clients;
    const Commodity& c = kCommodities[(client + round * 3) % kCommodityCount];
    CommodityTradeRow row;
    row.clid = QString::fromLatin1(BenchClientCode(client));
    row.scriptName = QString::fromLatin1(c.symbol);
    row.rate = QString::number(c.price + double((i * 7919) % 2000 - 1000) / 100, 'f', 2);
    row.qty = c.lot * int(1 + i % 4);
    row.flag = round % 3 == 0 ? QStringLiteral("S") : QStringLiteral("B");
    row.month = QString::fromLatin1(kExpiries[i % 3]).mid(2, 3);
    return row;
}

QByteArray tradeLine(qint64 i, int clients)
{
    const CommodityTradeRow t = tradeAt(i, clients);
    return QByteArray::number(2026000000 + i) + ',' + t.scriptName.toLatin1() + ',' + kExpiries[i % 3] + ',' +
           (t.flag == QLatin1String("S") ? '2' : '1') + ',' + QByteArray::number(t.qty) + ',' +
           t.rate.toLatin1() + ',' + t.clid.toLatin1() + ",10:15:00," + QByteArray::number(1100000000 + i) +
           ",MCX,56120\n";
}

void storeClients(const Store& store, int clients)
{
    Transaction transaction(store);
    QSqlQuery insert = store.prepare(
        QStringLiteral("INSERT INTO ClientMaster (cName, cMobile, cdpinid, cEmail) VALUES (?, ?, ?, ?)"));
    for (int c = 0; c < clients; ++c) {
        insert.addBindValue(QStringLiteral("Client %1").arg(c));
        insert.addBindValue(QStringLiteral("98%1").arg(c, 8, 10, QLatin1Char('0')));
        insert.addBindValue(QString::fromLatin1(BenchClientCode(c)));
        insert.addBindValue(QString());
        Store::exec(insert);
    }
    transaction.commit();
}

// Returns the seconds of the whole confirmation: read, generate over today's queue and send.
double measureOn(BenchStores& stores, Store::Engine engine, const ConfirmBench& bench)
{
    const bool lite = engine == Store::Engine::Sqlite;
    const char* name = lite ? "sqlite" : "postgresql";
    auto store = stores.fresh(engine);
    storeClients(*store, bench.clients());
    DeskSession session(*store);
    CommodityConfirmations engineOfMcx(session, *TradeFileKind::byCommand(QStringLiteral("mcx")));
    engineOfMcx.open();

    QElapsedTimer timer;
    timer.start();
    const TradeReadReport report = engineOfMcx.readFiles({bench.path()});
    const double read = SecondsSince(timer);
    if (report.staged != bench.lines() || !report.problems.isEmpty())
        qFatal("%s: %lld of %lld rows staged", name, report.staged, bench.lines());

    timer.restart();
    const QList<QueueGridRow> all = engineOfMcx.generate({});
    const double unguarded = SecondsSince(timer);

    // Today's queue: a quarter of the day's texts are the clients' own, in capitals; the rest other
    // texts for the same numbers.
    std::vector<QueuedMessage> queued;
    queued.reserve(size_t(kQueuedToday));
    const qsizetype own = std::min<qsizetype>(kQueuedToday / 4, all.size());
    for (qsizetype i = 0; i < kQueuedToday; ++i) {
        const QueueGridRow& row = all[i % all.size()];
        queued.push_back({row.mobileNo, i < own ? row.message.toUpper() : QStringLiteral("Ledger %1").arg(i),
                          QStringLiteral("admin"), 1, QStringLiteral("MCX"), QStringLiteral("BROKER")});
    }
    MessageQueueTable(*store).insertAll(queued);

    timer.restart();
    const QList<QueueGridRow> grid = engineOfMcx.generate({});
    const double guarded = SecondsSince(timer);
    if (grid.size() != all.size() - own)
        qFatal("%s: %lld texts left of %lld", name, qlonglong(grid.size()), qlonglong(all.size()));
    timer.restart();
    const int sent = engineOfMcx.send(grid);
    const double send = SecondsSince(timer);

    auto floorStore = stores.fresh(engine);
    floorStore->openPrivateStaging();
    const QStringList columns = {QStringLiteral("clid"),   QStringLiteral("scriptname"),
                                 QStringLiteral("rate"),   QStringLiteral("qty"),
                                 QStringLiteral("bsflag"), QStringLiteral("monthnm")};
    QList<CommodityTradeRow> rows;
    rows.reserve(bench.lines());
    for (qint64 i = 0; i < bench.lines(); ++i)
        rows.append(tradeAt(i, bench.clients()));
    const double floorSeconds = PlainInsert(
        *floorStore, QStringLiteral("commodity"), columns, rows.size(), [&](BulkInsert& insert, qsizetype i) {
            const CommodityTradeRow& row = rows[i];
            insert.add({row.clid, row.scriptName, row.rate, row.qty, row.flag, row.month});
        });

    std::printf("%-10s floor (bulk insert into commodity):  %8lld rows in %6.2f s\n", name, bench.lines(),
                floorSeconds);
    std::printf("%-10s Read File(s) into commodity:         %8lld rows in %6.2f s; ratio read / floor %.2f "
                "(target at most 2)\n",
                name, report.staged, read, read / floorSeconds);
    std::printf("%-10s Generate Message, empty queue:       %8lld texts in %6.2f s\n", name,
                qlonglong(all.size()), unguarded);
    std::printf(
        "%-10s Generate Message, %lld queued today: %8lld texts in %6.2f s, %lld left out (target under "
        "%d s)\n",
        name, qlonglong(kQueuedToday), qlonglong(grid.size()), guarded, qlonglong(own), lite ? 10 : 20);
    std::printf("%-10s Send Message: %d texts queued in %.2f s; read, generate and send %.2f s\n", name, sent,
                send, read + guarded + send);
    std::fflush(stdout);
    return read + guarded + send;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ConfirmBench bench(argc, argv);
    bench.writeFile(QStringLiteral("mcx_day.txt"), "MCX trade file", {}, &tradeLine);
    BenchStores stores;
    const double lite = measureOn(stores, Store::Engine::Sqlite, bench);
    if (BenchStores::havePostgres())
        std::printf("ratio postgresql / sqlite, the whole confirmation: %.2f (target at most 1.25)\n",
                    measureOn(stores, Store::Engine::Postgres, bench) / lite);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
