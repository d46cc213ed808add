// Client import benchmark: a workbook of ROWS clients, each with a code, name and mobile number of its
// own, written as .xlsx by libxlsxwriter (through ledger_writer). Measures the workbook read, and on
// each engine the import ("Show Data" and "SAVE": ClientImport::split and save into an empty
// ClientMaster), the same save again (every code then stored: all rows skipped), and the floor: the
// same rows written by the engine's bulk path (COPY on PostgreSQL, a prepared insert on SQLite) in
// one transaction into an empty ClientMaster.
// Target: read + import within read + 2 x floor.
//   bench_import [ROWS]      (default 100000)
#include "BenchStores.h"
#include "BulkInsert.h"
#include "ClientImport.h"
#include "ClientTable.h"
#include "Workbook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRounds = 3;
// ledger_writer's columns: Client Code, Client Name, Mobile, Balance, As On.
const ImportColumns kColumns{2, 3, 0, 1};

// The workbook is written by ledger_writer, the ledger benchmark's writer: one ledger row per client
// makes a client list.
bool writeWorkbook(const QString& folder, int rows)
{
    QProcess writer;
    writer.setProcessChannelMode(QProcess::ForwardedChannels);
    writer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/ledger_writer"),
                 {folder, QString::number(rows), QString::number(rows)});
    return writer.waitForFinished(-1) && writer.exitStatus() == QProcess::NormalExit &&
           writer.exitCode() == 0;
}

double secondsSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

double floorInsert(const Store& store, const QList<ClientRow>& clients)
{
    QElapsedTimer timer;
    timer.start();
    Transaction transaction(store);
    BulkInsert insert(store, QStringLiteral("ClientMaster"),
                      {QStringLiteral("cName"), QStringLiteral("cMobile"), QStringLiteral("cdpinid"),
                       QStringLiteral("cEmail")});
    for (const ClientRow& client : clients)
        insert.add({client.name, client.mobile, client.code, client.email});
    insert.finish();
    transaction.commit();
    return secondsSince(timer);
}

void run(BenchStores& stores, Store::Engine engine, const Worksheet& sheet, double read)
{
    const char* name = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    const ImportPreview sample = ClientImport::split(sheet, kColumns);
    QList<ClientRow> clients;
    clients.reserve(sample.valid.size());
    for (const ImportRow& row : sample.valid)
        clients.append({0, row.name, row.mobile.trimmed(), row.code.trimmed(), row.email});

    double floor = 1e9;
    double split = 1e9;
    double save = 1e9;
    double again = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        floor = std::min(floor, floorInsert(*stores.fresh(engine), clients));

        const std::unique_ptr<Store> store = stores.fresh(engine);
        const ClientImport import(*store);
        QElapsedTimer timer;
        timer.start();
        const ImportPreview preview = ClientImport::split(sheet, kColumns);
        split = std::min(split, secondsSince(timer));
        timer.restart();
        const ImportResult result = import.save(preview.valid);
        save = std::min(save, secondsSince(timer));
        if (result.added != clients.size() || !result.skipped.isEmpty())
            qFatal("%s: %d added, %lld skipped of %lld", name, result.added, qlonglong(result.skipped.size()),
                   qlonglong(clients.size()));
        timer.restart();
        const ImportResult repeated = import.save(preview.valid);
        again = std::min(again, secondsSince(timer));
        if (repeated.added != 0)
            qFatal("%s: the second save added %d", name, repeated.added);
    }
    const double importing = split + save;
    const bool lite = engine == Store::Engine::Sqlite;
    std::printf("%-10s floor (%s of the %lld rows, one transaction): %6.2f s\n", name,
                lite ? "prepared INSERT" : "COPY", qlonglong(clients.size()), floor);
    std::printf("%-10s import: Show Data (split) %6.2f s + SAVE %6.2f s = %6.2f s; ratio import / floor %.2f "
                "(target at most 2)\n",
                name, split, save, importing, importing / floor);
    std::printf("%-10s read + import %6.2f s against read + 2 x floor %6.2f s: %s\n", name, read + importing,
                read + 2 * floor, read + importing <= read + 2 * floor ? "within target" : "OVER TARGET");
    std::printf("%-10s SAVE again, every code stored (all skipped): %6.2f s\n", name, again);
    if (!lite)
        std::printf("%-10s SAVE of %lld clients: %6.2f s (target at most 1 s)\n", name,
                    qlonglong(clients.size()), save);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 100000;
    QTemporaryDir folder;
    if (!folder.isValid() || !writeWorkbook(folder.path(), rows))
        qFatal("the client workbook cannot be written");
    const QString xlsx = folder.filePath(QStringLiteral("ledger.xlsx"));
    std::printf("client list of %d rows: .xlsx %.1f MB (libxlsxwriter, shared strings); best of %d runs\n",
                rows, QFileInfo(xlsx).size() / 1048576.0, kRounds);

    Worksheet sheet;
    double read = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        sheet = Worksheet();
        QElapsedTimer timer;
        timer.start();
        sheet = Workbook::open(xlsx).sheet(0);
        read = std::min(read, secondsSince(timer));
    }
    if (sheet.rowCount() != rows + 1 || sheet.cell(2, 3) != QLatin1String("9800000000"))
        qFatal("%s read wrong: %d rows", qPrintable(xlsx), sheet.rowCount());
    std::printf("workbook read (Workbook::open + sheet(0)): %6.2f s\n", read);
    std::fflush(stdout);

    BenchStores stores;
    run(stores, Store::Engine::Sqlite, sheet, read);
    if (BenchStores::havePostgres())
        run(stores, Store::Engine::Postgres, sheet, read);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
