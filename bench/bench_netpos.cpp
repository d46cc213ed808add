// Net-position benchmark: a "Qty,Avg" report of 200,000 positions for 50,000 clients, read and worded
// into texts for every client, on SQLite and then on PostgreSQL when KELVRA_PG_URL is set. Target:
// read and generate together under 5 s.
//   bench_netpos [LINES] [CLIENTS]   (default 200000 50000)
#include "BenchConfirm.h"
#include "DeskSession.h"
#include "NetPositionConfirmations.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>

namespace {

const char* const kScripts[] = {"FUTIDX NIFTY 26DEC2026",    "FUTIDX BANKNIFTY 26DEC2026",
                                "FUTSTK RELIANCE 28JAN2027", "OPTIDX NIFTY 26DEC2026 24500 CE",
                                "FUTSTK TCS 26DEC2026",      "OPTSTK INFY 28JAN2027 1540 PE"};
constexpr qint64 kScriptCount = qint64(sizeof(kScripts) / sizeof(kScripts[0]));

QByteArray right(const QByteArray& text, int width)
{
    return text.rightJustified(width, ' ');
}

// Position i: the clients in turn, in runs of four positions of one client; squared off, bought and
// sold apart, or with both legs open.
QByteArray lineAt(qint64 i, int clients)
{
    const qint64 client = (i / 4) % clients;
    const int shape = int(i % 3);
    const qint64 qty = 25 * (1 + i % 8);
    const qint64 buyQty = shape == 2 ? 0 : qty;
    const qint64 saleQty = shape == 1 ? 0 : (shape == 0 ? qty : qty * 2);
    const QByteArray buy = QByteArray::number(double(1000 + (i * 7919) % 50000) / 100, 'f', 2);
    const QByteArray sale = QByteArray::number(double(1000 + (i * 104729) % 50000) / 100, 'f', 2);
    return QByteArray("NFO").leftJustified(15, ' ') + BenchClientCode(int(client)).leftJustified(15, ' ') +
           QByteArray(kScripts[i % kScriptCount]).leftJustified(35, ' ') +
           right(QByteArray::number(buyQty) + ".00", 15) + right(buy, 10) +
           right(QByteArray::number(saleQty) + ".00", 15) + right(sale, 19) + ' ' +
           right(QByteArray::number(buyQty - saleQty), 14) + right("0.00", 15) + '\n';
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

// Returns the seconds of the whole confirmation: read, generate and send.
double measureOn(BenchStores& stores, Store::Engine engine, const QString& path, qint64 lines, int clients)
{
    const char* name = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    auto store = stores.fresh(engine);
    storeClients(*store, clients);
    DeskSession session(*store);
    NetPositionConfirmations confirmations(session, *TradeFileKind::byCommand(QStringLiteral("netpos")));
    confirmations.open();

    QElapsedTimer timer;
    timer.start();
    const TradeReadReport report = confirmations.readFiles({path});
    const double read = SecondsSince(timer);
    if (report.staged != lines || !report.problems.isEmpty())
        qFatal("%s: %lld of %lld positions read", name, report.staged, lines);
    timer.restart();
    const QList<QueueGridRow> grid = confirmations.generate(QStringLiteral("EOD 08-Dec"));
    const double generate = SecondsSince(timer);
    if (grid.size() < clients)
        qFatal("%s: %lld texts for %d clients", name, qlonglong(grid.size()), clients);
    const double total = read + generate;
    std::printf(
        "%s: read %.3f s (%.0f lines/s), generate %.3f s (%lld texts), together %.3f s: %s (target < 5 s)\n",
        name, read, double(lines) / read, generate, qlonglong(grid.size()), total,
        total < 5 ? "met" : "MISSED");
    timer.restart();
    const int queued = confirmations.send(grid);
    const double send = SecondsSince(timer);
    std::printf("%s: send %.3f s (%d texts queued); read, generate and send %.3f s\n", name, send, queued,
                total + send);
    return total + send;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qint64 lines = arguments.size() > 1 ? arguments[1].toLongLong() : 200000;
    const int clients = arguments.size() > 2 ? arguments[2].toInt() : 50000;

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("netpos_report.txt"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    file.write("EXCHANGE       CLIENT         CONTRACT                           BUY QTY\n");
    for (qint64 i = 0; i < lines; ++i)
        file.write(lineAt(i, clients));
    std::printf("net-position report: %lld lines, %d clients, %.1f MB\n", lines, clients,
                double(file.size()) / 1e6);
    file.close();

    BenchStores stores;
    const double lite = measureOn(stores, Store::Engine::Sqlite, path, lines, clients);
    if (BenchStores::havePostgres())
        std::printf("ratio postgresql / sqlite, the whole confirmation: %.2f (target at most 1.25)\n",
                    measureOn(stores, Store::Engine::Postgres, path, lines, clients) / lite);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
