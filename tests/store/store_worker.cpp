// Plays one of the two programs against a shared store, for the concurrency test:
//   store_worker desk URL ROUNDS     takes ROUNDS batch numbers, queueing 20 messages under each,
//                                    and prints every batch number it got
//   store_worker server URL TOTAL    takes queued rows as the dispatch server does until TOTAL are sent
#include "DeskSession.h"
#include "Store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

namespace {

int runDesk(Store& store, int rounds)
{
    DeskSession session(store);
    session.setCurrentUserName(QStringLiteral("desk%1").arg(QCoreApplication::applicationPid()));
    session.LoadStartupSettings();
    for (int round = 0; round < rounds; ++round) {
        session.NextBatchNumber();
        QueueBatch batch(session);
        for (int i = 0; i < 20; ++i)
            batch.AddToQueue(QStringLiteral("BSE"), QStringLiteral("98765%1").arg(i, 5, 10, QLatin1Char('0')),
                             QStringLiteral("round %1 message %2").arg(round).arg(i));
        batch.send();
        store.exec(QStringLiteral("SELECT COUNT(*) FROM v_QueueLen")).next();
        std::printf("%lld\n", static_cast<long long>(session.CurrentBatchNo()));
    }
    return 0;
}

int runServer(Store& store, int total)
{
    QElapsedTimer timer;
    timer.start();
    int sent = 0;
    while (sent < total) {
        if (timer.elapsed() > 120000) {
            std::fprintf(stderr, "only %d of %d sent\n", sent, total);
            return 1;
        }
        QList<int> taken;
        {
            Transaction transaction(store);
            QSqlQuery queued =
                store.exec(QStringLiteral("SELECT nid FROM MessageQueue WHERE Status = ? ORDER BY nid "
                                          "LIMIT 50"),
                           {QStringLiteral("Queued")});
            while (queued.next())
                taken << queued.value(0).toInt();
            QSqlQuery mark =
                store.prepare(QStringLiteral("UPDATE MessageQueue SET Status = 'Read', QDateTime = ?, "
                                             "DelDate = ? WHERE nid = ?"));
            for (int nid : std::as_const(taken)) {
                mark.addBindValue(store.dateValue(QDate::currentDate()));
                mark.addBindValue(store.dateTimeValue(QDateTime::currentDateTime()));
                mark.addBindValue(nid);
                Store::exec(mark);
            }
            transaction.commit();
        }
        if (taken.isEmpty()) {
            QThread::msleep(5);
            continue;
        }
        store.exec(QStringLiteral("UPDATE MessageQueue SET Status = 'Sent' WHERE Status = ?"),
                   {QStringLiteral("Read")});
        sent += int(taken.size());
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() != 4) {
        std::fprintf(stderr, "usage: store_worker desk|server URL COUNT\n");
        return 2;
    }
    try {
        StoreLocation location;
        QString error;
        if (!StoreLocation::parse(arguments.at(2), &location, &error))
            throw StoreError(error);
        auto store = Store::open(location);
        const int n = arguments.at(3).toInt();
        return arguments.at(1) == QLatin1String("desk") ? runDesk(*store, n) : runServer(*store, n);
    } catch (const StoreError& error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.message()));
        return 1;
    }
}
