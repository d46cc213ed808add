// Reports benchmark: MESSAGES sent messages over 30 days among clients named by code and by number.
// Measures building the sent list and the count per day from the store, and opening rptSentList over
// all of them until it has painted, in both modes.
//   bench_reports [MESSAGES]      (default 1000000; PostgreSQL too when KELVRA_PG_URL is set)
#include "BenchStores.h"
#include "DeskSession.h"
#include "MessageQueueTable.h"
#include "Prompter.h"
#include "Reports.h"
#include "rptSentList.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QPushButton>

#include <cstdio>

namespace {

constexpr int kRounds = 3;
constexpr int kDays = 30;
const QDate kFirstDay(2026, 11, 1);

/// Never asked: the benchmark exports nothing.
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

void fill(const Store& store, int count)
{
    std::vector<QueuedMessage> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i) {
        // Half the texts name their client's code, half are ledger texts found by the number.
        const QString text =
            i % 2 ? QStringLiteral("Dear Client C%1: RELIANCE Buy 150@2450.25,TCS Sell 40@3301.10")
                        .arg(i % 50000, 6, 10, QLatin1Char('0'))
                  : QStringLiteral("Ledger balance 1500.00 as on today, thank you");
        rows.push_back({mobile(i % 50000), text, QStringLiteral("admin"), 1, QStringLiteral("BSE"),
                        QStringLiteral("BROKER")});
    }
    MessageQueueTable(store).insertAll(rows);
    // As the dispatch server leaves them: "Sent", with the day it took them.
    store.exec(
        store.engine() == Store::Engine::Sqlite
            ? QStringLiteral("UPDATE MessageQueue SET Status = 'Sent', "
                             "QDateTime = date('2026-11-01', '+' || (nid % 30) || ' days') || ' 00:00:00'")
            : QStringLiteral("UPDATE MessageQueue SET Status = 'Sent', "
                             "QDateTime = TIMESTAMP '2026-11-01' + (nid % 30) * INTERVAL '1 day'"));
    Transaction transaction(store);
    for (int i = 0; i < 50000; i += 500) {
        QStringList marks;
        QVariantList values;
        for (int j = i; j < i + 500; ++j) {
            marks << QStringLiteral("(?, ?, ?, ?)");
            values << QStringLiteral("Client %1").arg(j) << mobile(j)
                   << QStringLiteral("C%1").arg(j, 6, 10, QLatin1Char('0')) << QString();
        }
        store.exec(QStringLiteral("INSERT INTO ClientMaster (cName, cMobile, cdpinid, cEmail) VALUES ") +
                       marks.join(u','),
                   values);
    }
    transaction.commit();
    if (store.engine() == Store::Engine::Postgres)
        store.exec(QStringLiteral("ANALYZE"));
}

double seconds(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e9;
}

// Opens the sent list in the mode over every day until it has painted; returns the seconds and rows.
std::pair<double, int> openScreen(DeskSession& session, int mode, Prompter& prompter)
{
    session.setSentReportMode(mode);
    QElapsedTimer timer;
    timer.start();
    rptSentList screen(session, QString(), prompter, [](const QString&) {});
    screen.findChild<QDateEdit*>(QStringLiteral("DTPicker1"))->setDate(kFirstDay);
    screen.findChild<QDateEdit*>(QStringLiteral("DTPicker2"))->setDate(kFirstDay.addDays(kDays - 1));
    // Opening reads today's list; the range is then read as "Refresh" reads it.
    const double opening = seconds(timer);
    timer.restart();
    screen.findChild<QPushButton*>(QStringLiteral("cmdrefresh"))->click();
    screen.resize(1200, 700);
    screen.show();
    QApplication::processEvents();
    screen.repaint();
    const double refreshed = seconds(timer);
    const int rows = screen.findChild<QAbstractItemView*>(QStringLiteral("vsSentList"))->model()->rowCount();
    return {opening + refreshed, rows};
}

void measure(BenchStores& stores, Store::Engine engine, int count)
{
    const char* name = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    auto store = stores.fresh(engine);
    fill(*store, count);
    DeskSession session(*store);
    SilentPrompter prompter;
    const QDate last = kFirstDay.addDays(kDays - 1);

    double sent = 1e9, counter = 1e9, detailScreen = 1e9, summaryScreen = 1e9;
    int sentRows = 0, days = 0, shownRows = 0, shownDays = 0;
    for (int round = 0; round < kRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        sentRows = Reports(*store).sent(kFirstDay, last).rowCount() - 1;
        sent = std::min(sent, seconds(timer));
        timer.restart();
        days = Reports(*store).counter(kFirstDay, last).rowCount() - 1;
        counter = std::min(counter, seconds(timer));
        QApplication::processEvents();

        auto [detail, detailRows] = openScreen(session, 0, prompter);
        detailScreen = std::min(detailScreen, detail);
        shownRows = detailRows;
        QApplication::processEvents();
        auto [summary, summaryRows] = openScreen(session, 1, prompter);
        summaryScreen = std::min(summaryScreen, summary);
        shownDays = summaryRows;
        QApplication::processEvents();
    }
    if (sentRows != count || shownRows != count || days != kDays || shownDays != kDays)
        qFatal("%s: %d and %d rows, %d and %d days, expected %d and %d", name, sentRows, shownRows, days,
               shownDays, count, kDays);
    std::printf("%-10s sent list from the store:       %7d rows in %6.3f s\n", name, count, sent);
    std::printf("%-10s count per day from the store:   %7d rows in %6.3f s\n", name, count, counter);
    std::printf("%-10s rptSentList detail, painted:     %7d rows in %6.3f s (target under 2 s)\n", name,
                count, detailScreen);
    std::printf("%-10s rptSentList count per day, painted: %4d days in %6.3f s (target under 1 s)\n", name,
                kDays, summaryScreen);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int count = argc > 1 ? std::atoi(argv[1]) : 1000000;
    BenchStores stores;
    measure(stores, Store::Engine::Sqlite, count);
    if (BenchStores::havePostgres())
        measure(stores, Store::Engine::Postgres, count);
    else
        std::printf("postgresql skipped: set KELVRA_PG_URL (bench/run starts a server)\n");
    return 0;
}
