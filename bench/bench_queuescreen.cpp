// Queue screen benchmark: MESSAGES messages waiting for the desk user, among other users' waiting
// messages and a history of sent ones, half of them to numbers of stored clients. Measures reading
// the screen's rows from the store, opening frmMessageQueue over them until it has painted, and
// deleting them all from the screen.
//   bench_queuescreen [MESSAGES]      (default 100000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchStores.h"
#include "MessageQueueTable.h"
#include "Prompter.h"
#include "QueueListing.h"
#include "frmMessageQueue.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>

namespace {

constexpr int kRounds = 3;
const QString kUser = QStringLiteral("admin");

/// Never asked: the benchmark presses no button.
class SilentPrompter : public Prompter
{
public:
    PromptAnswer message(const PromptMessage&) override { return PromptAnswer::Ok; }
    QString saveFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> text(const QString&, const QString&, bool) override { return std::nullopt; }
};

QString mobile(int i)
{
    return QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0'));
}

std::vector<QueuedMessage> messages(int count, int firstNumber, const QString& user)
{
    std::vector<QueuedMessage> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        rows.push_back({mobile(firstNumber + i),
                        QStringLiteral("EOD CL%1: RELIANCE Buy 150@2450.25,TCS Sell 40@3301.10,INFY Buy "
                                       "25@1510.00,HDFCBANK Buy 10@1620.45,SBIN Sell 300@612.30")
                            .arg(i % 50000, 5, 10, QLatin1Char('0')),
                        user, 1, QStringLiteral("BSE"), QStringLiteral("BROKER")});
    }
    return rows;
}

void storeClients(const Store& store, int count)
{
    Transaction transaction(store);
    constexpr int kChunk = 500;
    for (int first = 0; first < count; first += kChunk) {
        const int rows = std::min(kChunk, count - first);
        QStringList marks;
        QVariantList values;
        for (int i = first; i < first + rows; ++i) {
            marks << QStringLiteral("(?, ?, ?, ?)");
            // Every second waiting message goes to a client's number.
            values << QStringLiteral("Client %1").arg(i) << mobile(2 * i)
                   << QStringLiteral("C%1").arg(i, 6, 10, QLatin1Char('0')) << QString();
        }
        store.exec(QStringLiteral("INSERT INTO ClientMaster (cName, cMobile, cdpinid, cEmail) VALUES ") +
                       marks.join(u','),
                   values);
    }
    transaction.commit();
}

void fill(const Store& store, int count)
{
    const MessageQueueTable queue(store);
    // Yesterday's sent messages stay in the table, as the reports read them.
    queue.insertAll(messages(5 * count, 0, kUser));
    store.exec(QStringLiteral("UPDATE MessageQueue SET Status = 'Sent'"));
    queue.insertAll(messages(count / 5, count, QStringLiteral("operator2")));
    queue.insertAll(messages(count, 0, kUser));
    storeClients(store, count / 2);
    if (store.engine() == Store::Engine::Postgres)
        store.exec(QStringLiteral("ANALYZE"));
}

double seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

void measure(BenchStores& stores, Store::Engine engine, int count)
{
    const char* name = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    auto store = stores.fresh(engine);
    fill(*store, count);

    double load = 1e9;
    double open = 1e9;
    size_t rows = 0;
    int shown = 0;
    SilentPrompter prompter;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        const QueueListing listing(*store);
        const QList<QueueLength> lengths = listing.lengths();
        rows = listing.messagesOf(kUser).size();
        load = std::min(load, seconds(timer));

        timer.restart();
        {
            frmMessageQueue screen(*store, kUser, prompter);
            screen.resize(1200, 700);
            screen.show();
            QApplication::processEvents();
            screen.repaint();
            open = std::min(open, seconds(timer));
            shown = screen.findChild<QAbstractItemView*>(QStringLiteral("vsmq"))->model()->rowCount();
        }
        QApplication::processEvents();
    }
    if (int(rows) != count || shown != count)
        qFatal("%s: %zu rows read, %d shown, %d expected", name, rows, shown, count);

    frmMessageQueue screen(*store, kUser, prompter);
    screen.findChild<QPushButton*>(QStringLiteral("cmdSelAll"))->click();
    QElapsedTimer timer;
    timer.start();
    screen.findChild<QPushButton*>(QStringLiteral("cmdUpdate"))->click();
    const double purge = seconds(timer);
    if (screen.findChild<QAbstractItemView*>(QStringLiteral("vsmq"))->model()->rowCount() != 0)
        qFatal("%s: messages left after deleting them all", name);
    std::printf("%-10s rows read from the store:     %7d rows in %6.3f s\n", name, count, load);
    std::printf("%-10s queue screen open and painted: %7d rows in %6.3f s (target under 1 s)\n", name, count,
                open);
    std::printf("%-10s Select All, Update & Refresh:  %7d rows in %6.3f s\n", name, count, purge);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    BenchStores stores;
    measure(stores, Store::Engine::Sqlite, count);
    if (BenchStores::havePostgres())
        measure(stores, Store::Engine::Postgres, count);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
