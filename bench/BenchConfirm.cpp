#include "BenchConfirm.h"

#include "BulkInsert.h"
#include "CashTradeTable.h"
#include "DeskSession.h"
#include "FutureTradeTable.h"
#include "QueuedTexts.h"
#include "TradeConfirmations.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstdlib>
#include <malloc.h>

namespace {

const char* const kScripts[] = {"RELIANCE",   "TCS",      "INFY",       "HDFCBANK",   "SBIN",
                                "ICICIBANK",  "ITC",      "LT",         "HINDUNILVR", "BHARTIARTL",
                                "ASIANPAINT", "AXISBANK", "TATAMOTORS", "BAJAJFINSV", "BAJFINANCE",
                                "KOTAKBANK",  "MARUTI",   "TITAN",      "WIPRO",      "NMDC"};
constexpr qint64 kScriptCount = qint64(sizeof(kScripts) / sizeof(kScripts[0]));

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

} // namespace

QByteArray BenchClientCode(int client)
{
    return "CL" + QByteArray::number(client).rightJustified(5, '0');
}

BenchTrade BenchTradeAt(qint64 i, int clients)
{
    const int client = int(i % clients);
    const qint64 round = i / clients;
    return {BenchClientCode(client), kScripts[(client + round * 7) % kScriptCount], int(1 + (i * 37) % 500),
            10000 + (i * 7919) % 900000, round};
}

double SecondsSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

double PlainInsert(Store& store, const QString& table, const QStringList& columns, qsizetype rows,
                   const std::function<void(BulkInsert& insert, qsizetype i)>& add)
{
    QElapsedTimer timer;
    timer.start();
    Transaction transaction(store, Transaction::Writes::PrivateStaging);
    BulkInsert insert(store, table, columns);
    for (qsizetype i = 0; i < rows; ++i)
        add(insert, i);
    insert.finish();
    transaction.commit();
    return SecondsSince(timer);
}

double PlainInsert(Store& store, const QList<CashTradeRow>& rows)
{
    const QStringList columns = {QStringLiteral("clientcode"), QStringLiteral("scriptname"),
                                 QStringLiteral("rate"), QStringLiteral("qty"), QStringLiteral("bs_stat")};
    return PlainInsert(store, QStringLiteral("bsetrade"), columns, rows.size(),
                       [&](BulkInsert& insert, qsizetype i) {
                           const CashTradeRow& row = rows[i];
                           insert.add({row.clientCode, row.scriptName, row.rate, row.qty, row.flag});
                       });
}

ConfirmBench::ConfirmBench(int argc, char** argv)
    : m_lines(argc > 1 ? std::atoll(argv[1]) : 1000000)
    , m_clients(argc > 2 ? std::atoi(argv[2]) : 50000)
{
}

void ConfirmBench::writeFile(const QString& name, const char* title, const QByteArray& header,
                             const std::function<QByteArray(qint64 i, int clients)>& line)
{
    m_path = QDir(m_folder.path()).filePath(name);
    QFile file(m_path);
    if (!file.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(m_path));
    QByteArray block = header;
    for (qint64 i = 0; i < m_lines; ++i) {
        block += line(i, m_clients);
        if (block.size() > (1 << 20)) {
            file.write(block);
            block.clear();
        }
    }
    file.write(block);
    file.close();
    std::printf("%s: %lld lines%s, %.0f MB, %d clients\n", title, m_lines,
                header.isEmpty() ? "" : " after its header", double(file.size()) / 1e6, m_clients);
    std::fflush(stdout);
}

void ConfirmBench::measure(const QString& command, qint64 staged, const Floor& floor, int peakTargetMb) const
{
    const TradeFileKind* kind = TradeFileKind::byCommand(command);
    if (!kind)
        qFatal("no trade-file kind %s", qPrintable(command));
    BenchStores stores;
    measureOn(stores, Store::Engine::Sqlite, *kind, staged, floor, peakTargetMb);
    if (BenchStores::havePostgres())
        measureOn(stores, Store::Engine::Postgres, *kind, staged, floor, peakTargetMb);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
}

void ConfirmBench::measureOn(BenchStores& stores, Store::Engine engine, const TradeFileKind& kind,
                             qint64 staged, const Floor& floor, int peakTargetMb) const
{
    const bool lite = engine == Store::Engine::Sqlite;
    const char* name = lite ? "sqlite" : "postgresql";
    auto store = stores.fresh(engine);
    storeClients(*store, m_clients);
    DeskSession session(*store);
    const std::unique_ptr<TradeConfirmations> confirmations = TradeConfirmations::create(session, kind);
    if (!confirmations)
        qFatal("kind %s has no engine", qPrintable(kind.command));
    confirmations->open();

    // Give back what earlier runs freed, so that the peak is the read's own.
    malloc_trim(0);
    const bool reset = resetPeak();
    const double before = peakMegabytes();
    QElapsedTimer timer;
    timer.start();
    const TradeReadReport report = confirmations->readFiles({m_path}, [](qint64, qint64) {});
    const double read = SecondsSince(timer);
    const double peak = peakMegabytes();
    if (report.staged != staged || !report.problems.isEmpty())
        qFatal("%s: %lld of %lld rows staged", name, report.staged, staged);

    timer.restart();
    const QList<QueueGridRow> grid = confirmations->generate(QStringLiteral("EOD 08-Dec"));
    const double generate = SecondsSince(timer);
    if (grid.size() < m_clients)
        qFatal("%s: %lld texts for %d clients", name, qlonglong(grid.size()), m_clients);

    // Timed alone: the one pass over the staging that Generate Message makes.
    const bool byQuery = kind.messages == TradeFileKind::MessageSource::StoredQuery;
    qint64 passed = 0;
    timer.restart();
    if (byQuery) {
        CashTradeTable(*store, kind.stagingTable, kind.storedQuery)
            .forEachFragment([&](const QString&, const QString&) { ++passed; });
    } else {
        FutureTradeTable(*store, QStringLiteral("future")).forEachTrade([&](const StagedFutureTrade&) {
            ++passed;
        });
    }
    const double pass = SecondsSince(timer);

    timer.restart();
    const int queued = confirmations->send(grid);
    const double send = SecondsSince(timer);
    // Timed alone: the same-day guard's read of the day's texts, as a second Send would make it.
    qint64 guarded = 0;
    timer.restart();
    QueuedTexts(*store).forEachOn(QDate::currentDate(), [&](const QString&, const QString&) { ++guarded; });
    const double guard = SecondsSince(timer);

    auto floorStore = stores.fresh(engine);
    floorStore->openPrivateStaging(); // the desk stages into its connection's own tables, as measured
    const double floorSeconds = floor(*floorStore);

    // The floor of Send Message: the same texts written into the queue of a store of their own by the
    // bulk path alone.
    const auto sendFloorStore = stores.fresh(engine);
    QElapsedTimer sendFloorTimer;
    sendFloorTimer.start();
    {
        Transaction transaction(*sendFloorStore);
        BulkInsert insert(*sendFloorStore, QStringLiteral("MessageQueue"),
                          {QStringLiteral("MobileNo"), QStringLiteral("Message"), QStringLiteral("UserName"),
                           QStringLiteral("BatchNo"), QStringLiteral("AppID"), QStringLiteral("SuperUser")});
        const QString user = QStringLiteral("admin");
        for (const QueueGridRow& row : grid)
            insert.add({row.mobileNo, row.message, user, 1, kind.appId, user});
        insert.finish();
        transaction.commit();
    }
    const double sendFloor = SecondsSince(sendFloorTimer);

    std::printf("%-10s floor (%s):%*s %8lld rows in %6.2f s = %8.0f rows/s\n", name,
                lite ? "plain prepared insert, one transaction" : "COPY of the same rows", lite ? 0 : 18, "",
                staged, floorSeconds, double(staged) / floorSeconds);
    const bool rowALine = staged == m_lines;
    const QString readLabel = rowALine ? QStringLiteral("Read File(s) into %1:").arg(kind.stagingTable)
                                       : QStringLiteral("Read File(s), %1 %2 lines into %3:")
                                             .arg(m_lines)
                                             .arg(kind.command, kind.stagingTable);
    std::printf("%-10s %-47s %8lld rows in %6.2f s = %8.0f %s/s\n", name, qPrintable(readLabel), staged, read,
                double(m_lines) / read, rowALine ? "rows" : "lines");
    std::printf("%-10s ratio read / floor: %.2f (target at most 2)\n", name, read / floorSeconds);
    const QString target =
        peakTargetMb > 0 ? QStringLiteral("; target under %1 MB").arg(peakTargetMb) : QString();
    std::printf("%-10s peak memory of the read: %.0f MB (VmHWM%s; %.0f MB before it%s)\n", name, peak,
                reset ? ", reset before the read" : "", before, qPrintable(target));
    std::printf(
        "%-10s Generate Message: %d clients, %lld texts in %.2f s = %.0f clients/s (target under %d s)\n",
        name, m_clients, qlonglong(grid.size()), generate, m_clients / generate, lite ? 10 : 20);
    const QString passLabel =
        byQuery
            ? QStringLiteral("the one ordered pass over %1: %2 fragments").arg(kind.storedQuery).arg(passed)
            : QStringLiteral("the one pass over the staged trades in file order: "
                             "%1 trades")
                  .arg(passed);
    std::printf("%-10s   of which %s in %.2f s\n", name, qPrintable(passLabel), pass);
    std::printf("%-10s Send Message: %d texts queued in %.2f s = %.0f texts/s\n", name, queued, send,
                queued / send);
    std::printf("%-10s   floor of the send (%s of the same texts into MessageQueue): %.2f s; ratio %.2f\n",
                name, lite ? "prepared insert" : "COPY", sendFloor, send / sendFloor);
    std::printf("%-10s   the same-day guard's read of %lld texts queued today, alone: %.2f s\n", name,
                guarded, guard);
    const double total = read + generate + send;
    std::printf("%-10s the whole confirmation (read, generate, send): %.2f s\n", name, total);
    if (lite)
        m_sqliteTotal = total;
    else if (m_sqliteTotal > 0)
        std::printf("%-10s ratio postgresql / sqlite, the whole confirmation: %.2f (target at most 1.25)\n",
                    name, total / m_sqliteTotal);
    std::fflush(stdout);
}
