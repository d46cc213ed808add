// Queueing benchmark: a screen's "Send" of many messages through AddToQueue, against a plain
// prepared insert of the same rows in one transaction on the same engine, measured in one run.
//   bench_queue [MESSAGES]      (default 100000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchStores.h"
#include "DeskSession.h"

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

double plainInsert(Store& store, const std::vector<Message>& messages)
{
    QElapsedTimer timer;
    timer.start();
    Transaction transaction(store);
    QSqlQuery insert =
        store.prepare(QStringLiteral("INSERT INTO MessageQueue (MobileNo, Message, UserName, BatchNo, "
                                     "AppID, SuperUser) VALUES (?, ?, ?, ?, ?, ?)"));
    for (const Message& message : messages) {
        insert.addBindValue(message.mobileNo);
        insert.addBindValue(message.text);
        insert.addBindValue(QStringLiteral("admin"));
        insert.addBindValue(1);
        insert.addBindValue(QStringLiteral("BSE"));
        insert.addBindValue(QStringLiteral("BROKER"));
        Store::exec(insert);
    }
    transaction.commit();
    return double(timer.nsecsElapsed()) / 1e9;
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
    std::printf("%-10s plain prepared insert, one transaction: %7d rows in %6.3f s = %8.0f rows/s\n", name, n,
                floor, n / floor);
    std::printf("%-10s Send through AddToQueue:                %7d msgs in %6.3f s = %8.0f msgs/s\n", name, n,
                send, n / send);
    std::printf("%-10s ratio Send / plain insert: %.2f%s\n", name, send / floor,
                engine == Store::Engine::Sqlite ? " (target at most 2)" : "");
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
