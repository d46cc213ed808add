// Queueing benchmark: a screen's "Send" of many messages through AddToQueue, against the floor of the
// engine's bulk path writing the same rows in one transaction, measured in one run; then the queue
// screen's Delete of every row ticked.
//   bench_queue [MESSAGES]      (default 100000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchStores.h"
#include "BulkInsert.h"
#include "DeskSession.h"
#include "QueueListing.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>

namespace {

struct Message
{
    QString mobileNo;
    QString text;
};

std::vector<Message> makeMessages(int count)
{
    std::vector<Message> messages;
    messages.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        const QString code = QStringLiteral("CL%1").arg(i % 50000, 5, 10, QLatin1Char('0'));
        messages.push_back(
            {QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')),
             QStringLiteral("EOD %1: RELIANCE Buy 150@2450.25,TCS Sell 40@3301.10,INFY Buy 25@1510.00,"
                            "HDFCBANK Buy 10@1620.45,SBIN Sell 300@612.30 - client's copy")
                 .arg(code)});
    }
    return messages;
}

// The floor: the same rows written by the engine's bulk path alone (COPY on PostgreSQL, a prepared
// insert on SQLite) in one transaction.
double plainInsert(Store& store, const std::vector<Message>& messages)
{
    QElapsedTimer timer;
    timer.start();
    Transaction transaction(store);
    BulkInsert insert(store, QStringLiteral("MessageQueue"),
                      {QStringLiteral("MobileNo"), QStringLiteral("Message"), QStringLiteral("UserName"),
                       QStringLiteral("BatchNo"), QStringLiteral("AppID"), QStringLiteral("SuperUser")});
    const QString user = QStringLiteral("admin");
    const QString appId = QStringLiteral("BSE");
    const QString superUser = QStringLiteral("BROKER");
    for (const Message& message : messages)
        insert.add({message.mobileNo, message.text, user, 1, appId, superUser});
    insert.finish();
    transaction.commit();
    return double(timer.nsecsElapsed()) / 1e9;
}

// The queue screen's "Delete" of every row ticked, against the floor of one statement deleting them all
// by their status; returns {delete, floor} in seconds.
std::pair<double, double> deleteTicked(BenchStores& stores, Store::Engine engine,
                                       const std::vector<Message>& messages)
{
    auto store = stores.fresh(engine);
    plainInsert(*store, messages);
    QList<qint64> ticked;
    QSqlQuery nids = store->exec(QStringLiteral("SELECT nid FROM MessageQueue"));
    while (nids.next())
        ticked << nids.value(0).toLongLong();
    nids.finish();
    QElapsedTimer timer;
    timer.start();
    const int deleted = QueueListing(*store).deleteQueued(ticked);
    const double seconds = double(timer.nsecsElapsed()) / 1e9;
    if (deleted != int(messages.size()))
        qFatal("%d of %lld ticked rows deleted", deleted, qlonglong(messages.size()));

    plainInsert(*store, messages);
    timer.restart();
    store->exec(QStringLiteral("DELETE FROM MessageQueue WHERE Status = 'Queued'"));
    return {seconds, double(timer.nsecsElapsed()) / 1e9};
}

double screenSend(Store& store, const std::vector<Message>& messages)
{
    QElapsedTimer timer;
    timer.start();
    DeskSession session(store);
    session.setCurrentUserName(QStringLiteral("admin"));
    session.LoadStartupSettings();
    session.NextBatchNumber();
    QueueBatch batch(session);
    for (const Message& message : messages)
        batch.AddToQueue(QStringLiteral("BSE"), message.mobileNo, message.text);
    batch.send();
    return double(timer.nsecsElapsed()) / 1e9;
}

int queued(Store& store)
{
    QSqlQuery query = store.exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue"));
    return query.next() ? query.value(0).toInt() : -1;
}

void measure(BenchStores& stores, Store::Engine engine, const std::vector<Message>& messages)
{
    const char* name = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    const int n = int(messages.size());
    // Best of two runs each, every run on a fresh store.
    double floor = 1e9;
    double send = 1e9;
    for (int round = 0; round < 2; ++round) {
        auto plainStore = stores.fresh(engine);
        floor = std::min(floor, plainInsert(*plainStore, messages));
        auto sendStore = stores.fresh(engine);
        send = std::min(send, screenSend(*sendStore, messages));
        if (queued(*sendStore) != n || queued(*plainStore) != n)
            qFatal("%s: rows missing after the run", name);
    }
    std::printf("%-10s floor (%s, one transaction):%*s %7d rows in %6.3f s = %8.0f rows/s\n", name,
                engine == Store::Engine::Sqlite ? "prepared insert" : "COPY",
                engine == Store::Engine::Sqlite ? 0 : 11, "", n, floor, n / floor);
    std::printf("%-10s Send through AddToQueue:                %7d msgs in %6.3f s = %8.0f msgs/s\n", name, n,
                send, n / send);
    std::printf("%-10s ratio Send / plain insert: %.2f%s\n", name, send / floor,
                engine == Store::Engine::Sqlite ? " (target at most 2)" : "");
    const auto [deleting, deleteFloor] = deleteTicked(stores, engine, messages);
    std::printf(
        "%-10s Delete of %d ticked rows: %6.3f s (target at most 1 s); floor, one DELETE by status: %6.3f s; "
        "ratio %.2f\n",
        name, n, deleting, deleteFloor, deleting / deleteFloor);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    const std::vector<Message> messages = makeMessages(count);
    BenchStores stores;
    measure(stores, Store::Engine::Sqlite, messages);
    if (BenchStores::havePostgres())
        measure(stores, Store::Engine::Postgres, messages);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
