// Dispatch benchmark: the real `quaylink --headless --connect --exit-when-idle` sends 20,000 queued
// messages of about 160 characters to the real gateway-sim on loopback, which answers every request
// after 0, 20 and 100 ms. The floor is the protocol's: each pass (one per 2,000 messages) makes its
// requests one after another (check, login, the chunks, the debit) and waits one second for its
// timer tick, and the connect of the pass after it waits 100 ms before it checks the gateway it
// knows; so a pass's floor is its number of requests in the gateway's log times the latency, plus one
// second, plus 0.1 s unless it is the last. Time is measured from the first request of the first
// pass, as it appears in the gateway's log, to quaylink's exit. On PostgreSQL the run's transactions
// and the server's flushes of its log to disk are counted too. --busy-day: 160,000 messages at 50 ms
// instead.
//   bench_dispatch QUAYLINK GATEWAY_SIM [--busy-day] [--engine sqlite|postgresql] [--latency MS]...
//   (PostgreSQL too when KELVRA_PG_URL is set; every latency given, else 0, 20 and 100 ms)
#include "BenchStores.h"
#include "MessageQueueTable.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QSqlError>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

constexpr int PassSize = 2000;
constexpr double TickSeconds = 1.0;
constexpr double CheckWaitSeconds = 0.1;

// The goal, as a ratio to the floor: with no latency the store's work shows most.
double target(int latencyMs)
{
    return latencyMs == 0 ? 1.10 : 1.05;
}

struct Programs
{
    QString quaylink;
    QString gatewaySim;
};

std::vector<QueuedMessage> makeMessages(int count)
{
    std::vector<QueuedMessage> rows;
    rows.reserve(size_t(count));
    for (int i = 0; i < count; ++i)
        rows.push_back(
            {QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')),
             QStringLiteral(
                 "Dear Client, CL%1: RELIANCE Buy %2@2450.25,TCS Sell 40@3301.10,INFY Buy 25@1510.00,"
                 "HDFCBANK Buy 10@1620.45,SBIN Sell 300@612.30,ITC Buy 5@%3.55,LT Buy %4@3512.90,")
                 .arg(i, 5, 10, QLatin1Char('0'))
                 .arg(i % 500)
                 .arg(400 + i % 37)
                 .arg(1 + i % 9)
                 .left(159),
             QStringLiteral("admin"), 1, QStringLiteral("BSE"), QStringLiteral("BROKER")});
    return rows;
}

/// The gateway's JSON-lines log read while it grows, each request stamped with the time it appeared.
class LogFollower
{
public:
    struct Request
    {
        QString page;
        double seconds; // since quaylink started
    };

    LogFollower(const QString& path, const QElapsedTimer& clock)
        : m_file(path)
        , m_clock(clock)
    {
    }

    void poll()
    {
        if (!m_file.isOpen() && !m_file.open(QIODevice::ReadOnly))
            return;
        m_partial += m_file.readAll();
        const double now = double(m_clock.nsecsElapsed()) / 1e9;
        qsizetype start = 0;
        for (qsizetype end = m_partial.indexOf('\n'); end >= 0; end = m_partial.indexOf('\n', start)) {
            const QByteArray line = m_partial.mid(start, end - start);
            start = end + 1;
            // Compact JSON escapes the quotes inside values, so this cannot match a message's text.
            if (line.contains("\"event\":\"request\"")) {
                const QJsonObject request = QJsonDocument::fromJson(line).object();
                requests.push_back({request.value(QLatin1String("page")).toString(), now});
            } else if (line.contains("\"event\":\"upload\"")) {
                const QJsonObject upload = QJsonDocument::fromJson(line).object();
                uploads.push_back(upload.value(QLatin1String("messages")).toInt());
            }
        }
        m_partial.remove(0, start);
    }

    std::vector<Request> requests;
    std::vector<int> uploads; // messages of each decoded upload, in order

private:
    QFile m_file;
    const QElapsedTimer& m_clock;
    QByteArray m_partial;
};

struct Pass
{
    int requests = 0;
    int messages = 0;
    double start = 0;
    double seconds = 0; // to the next pass's first request, or to the exit
    bool last = false;  // no check of a next pass follows it
    double floor(int latencyMs) const
    {
        return requests * latencyMs / 1000.0 + TickSeconds + (last ? 0 : CheckWaitSeconds);
    }
};

// A pass starts at a check and has chunks; a check and login without chunks (the first connect of
// a run) belong to no pass.
std::vector<Pass> splitIntoPasses(const LogFollower& log, double exitSeconds)
{
    std::vector<Pass> passes;
    Pass current;
    bool hasChunks = false;
    const auto close = [&] {
        if (hasChunks)
            passes.push_back(current);
        current = Pass();
        hasChunks = false;
    };
    for (const LogFollower::Request& request : log.requests) {
        if (request.page.compare(QLatin1String("QuaylinkChk.asp"), Qt::CaseInsensitive) == 0) {
            close();
            current.start = request.seconds;
        }
        hasChunks =
            hasChunks || request.page.compare(QLatin1String("PostDataZSM.ASP"), Qt::CaseInsensitive) == 0;
        ++current.requests;
    }
    close();
    for (size_t i = 0; i < passes.size(); ++i) {
        passes[i].seconds = (i + 1 < passes.size() ? passes[i + 1].start : exitSeconds) - passes[i].start;
        passes[i].messages = i < log.uploads.size() ? log.uploads[i] : 0;
        passes[i].last = i + 1 == passes.size();
    }
    return passes;
}

/// What the PostgreSQL server counts for the store's database: the transactions committed there, and
/// its flushes of its log to disk (one for each commit that waits for the disk, and those of its
/// background writers). Read through a connection of their own to the server's first database, so that
/// reading them counts nothing in the store's.
class PostgresCounts
{
public:
    PostgresCounts(const Store& store, const QString& storeUrl)
        : m_store(store)
        , m_database(QUrl(storeUrl).path().mid(1))
    {
        const QUrl admin(qEnvironmentVariable("KELVRA_PG_URL"));
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
        db.setHostName(admin.host());
        db.setPort(admin.port(5432));
        db.setUserName(admin.userName());
        db.setPassword(admin.password());
        db.setDatabaseName(admin.path().mid(1));
        if (!db.open())
            qFatal("cannot reach the PostgreSQL server: %s", qPrintable(db.lastError().text()));
        QSqlQuery pid = store.exec(QStringLiteral("SELECT pg_backend_pid()"));
        pid.next();
        m_ownPid = pid.value(0).toLongLong();
    }

    ~PostgresCounts() { QSqlDatabase::removeDatabase(m_connection); }

    PostgresCounts(const PostgresCounts&) = delete;
    PostgresCounts& operator=(const PostgresCounts&) = delete;

    struct Figures
    {
        qint64 commits = 0;
        qint64 flushes = 0;
    };

    /// Once every other connection to the store has ended: a backend counts its figures as it goes.
    Figures now() const
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection);
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            QSqlQuery others(db);
            others.prepare(QStringLiteral(
                "SELECT COUNT(*) FROM pg_stat_activity WHERE datname = ? AND pid <> ? AND backend_type = "
                "'client backend'"));
            others.addBindValue(m_database);
            others.addBindValue(m_ownPid);
            if (!others.exec() || !others.next() || others.value(0).toInt() == 0 || waited.elapsed() > 10000)
                break;
            QThread::msleep(20);
        }
        // The store's own connection hands over what it has counted so far.
        m_store.exec(QStringLiteral("SELECT pg_stat_force_next_flush()"));
        QSqlQuery query(db);
        query.prepare(QStringLiteral("SELECT (SELECT xact_commit FROM pg_stat_database WHERE datname = ?), "
                                     "(SELECT wal_sync FROM pg_stat_wal)"));
        query.addBindValue(m_database);
        if (!query.exec() || !query.next())
            qFatal("cannot read the PostgreSQL server's counts: %s", qPrintable(query.lastError().text()));
        return {query.value(0).toLongLong(), query.value(1).toLongLong()};
    }

private:
    const Store& m_store;
    QString m_database;
    QString m_connection = QStringLiteral("bench-dispatch-counts");
    qint64 m_ownPid = 0;
};

QString writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(contents) < 0)
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

/// One run: a fresh store with count messages, a gateway at this latency, quaylink to its exit.
/// Returns false when quaylink failed or did not send everything.
bool measure(const Programs& programs, BenchStores& stores, Store::Engine engine, int count, int latencyMs,
             bool passTable)
{
    const char* engineName = engine == Store::Engine::Sqlite ? "sqlite" : "postgresql";
    const std::vector<QueuedMessage> messages = makeMessages(count);
    std::printf("%s, %d messages of %d characters, gateway latency %d ms per request\n", engineName, count,
                int(messages.front().message.size()), latencyMs);
    std::fflush(stdout);

    QTemporaryDir folder;
    const auto path = [&](const char* name) {
        return QDir(folder.path()).filePath(QString::fromLatin1(name));
    };
    QString storeUrl;
    auto store = stores.fresh(engine, &storeUrl);
    MessageQueueTable(*store).insertAll(messages);
    std::optional<PostgresCounts> counts;
    PostgresCounts::Figures countsBefore;
    if (engine == Store::Engine::Postgres) {
        counts.emplace(*store, storeUrl);
        countsBefore = counts->now();
    }

    const QString logPath = writeFile(path("gateway.log"), {});
    QStringList gatewayArguments{
        QStringLiteral("--port"),     QStringLiteral("0"),
        QStringLiteral("--accounts"), writeFile(path("accounts"), "demo demo 10000000\n"),
        QStringLiteral("--log"),      logPath};
    if (latencyMs > 0)
        gatewayArguments << QStringLiteral("--latency-ms") << QString::number(latencyMs);
    QProcess gateway;
    gateway.start(programs.gatewaySim, gatewayArguments);
    while (!gateway.canReadLine() && gateway.waitForReadyRead(20000)) {
    }
    const QString listening = QString::fromUtf8(gateway.readLine()).trimmed();
    if (!listening.startsWith(QLatin1String("listening on "))) {
        std::printf("  gateway-sim did not start: %s%s\n", qPrintable(listening),
                    gateway.readAllStandardError().constData());
        return false;
    }

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), path("config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), path("data"));
    environment.insert(QStringLiteral("KELVRA_HOME"), path("app"));
    environment.insert(QStringLiteral("KELVRA_STORE"), storeUrl);
    QProcess server;
    server.setProcessEnvironment(environment);
    QElapsedTimer clock;
    LogFollower log(logPath, clock);
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] { log.poll(); });
    QEventLoop loop;
    QObject::connect(&server, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&server, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    // Generous: ten times a floor with chunks of 1,000 compressed bytes, as such texts give.
    const int passCount = (count + PassSize - 1) / PassSize;
    QTimer::singleShot(120000 + 10 * passCount * (1000 + 30 * latencyMs), &loop, &QEventLoop::quit);

    clock.start();
    server.start(programs.quaylink,
                 {QStringLiteral("--headless"), QStringLiteral("--connect"), QStringLiteral("--user"),
                  QStringLiteral("demo"), QStringLiteral("--password"), QStringLiteral("demo"),
                  QStringLiteral("--server"), QStringLiteral("9"), QStringLiteral("--gateway"),
                  listening.mid(13), QStringLiteral("--exit-when-idle")});
    poll.start();
    loop.exec();
    const double exitSeconds = double(clock.nsecsElapsed()) / 1e9;
    poll.stop();
    bool ok = true;
    if (server.state() != QProcess::NotRunning) {
        std::printf("  quaylink did not end within %.0f s\n", exitSeconds);
        server.kill();
        server.waitForFinished();
        ok = false;
    }
    log.poll();
    gateway.terminate();
    gateway.waitForFinished();
    PostgresCounts::Figures countsAfter;
    if (counts)
        countsAfter = counts->now();

    const std::vector<Pass> passes = splitIntoPasses(log, exitSeconds);
    if (passTable) {
        std::printf("  pass  messages  requests  time (s)  floor (s)  ratio\n");
        for (size_t i = 0; i < passes.size(); ++i)
            std::printf("  %4d  %8d  %8d  %8.3f  %9.3f  %5.2f\n", int(i + 1), passes[i].messages,
                        passes[i].requests, passes[i].seconds, passes[i].floor(latencyMs),
                        passes[i].seconds / passes[i].floor(latencyMs));
    }
    int requests = 0;
    double floor = 0;
    double worst = 0;
    for (const Pass& pass : passes) {
        requests += pass.requests;
        floor += pass.floor(latencyMs);
        worst = std::max(worst, pass.seconds / pass.floor(latencyMs));
    }
    const int passCountSeen = int(passes.size());
    const int checkWaits = std::max(0, passCountSeen - 1);

    QSqlQuery sent = store->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue WHERE Status = 'Sent'"));
    sent.next();
    const int sentCount = sent.value(0).toInt();
    const int exitStatus = server.exitStatus() == QProcess::NormalExit ? server.exitCode() : -1;
    ok = ok && sentCount == count && exitStatus == 0 && !passes.empty();
    std::printf("  %d of %d \"Sent\", quaylink exit status %d%s\n", sentCount, count, exitStatus,
                ok ? "" : "  FAILED");
    if (passes.empty()) {
        std::printf("  no pass in the gateway's log\n\n");
        return false;
    }
    const double measured = exitSeconds - passes.front().start;
    std::printf("  from the first request of the first pass to the exit: %.2f s, %.0f messages/s "
                "(from quaylink's start: %.2f s)\n",
                measured, sentCount / measured, exitSeconds);
    if (counts) {
        const qint64 commits = countsAfter.commits - countsBefore.commits;
        const qint64 flushes = countsAfter.flushes - countsBefore.flushes;
        std::printf("  store: %lld transactions and %lld flushes of the log to disk in the run, start-up and "
                    "exit included: %.1f and %.1f a pass\n",
                    commits, flushes, double(commits) / passCountSeen, double(flushes) / passCountSeen);
    }
    const double ratio = measured / floor;
    std::printf("  floor: %d passes, %d requests x %d ms + %d x %.0f s tick + %d x %.1f s before the check "
                "= %.2f s\n",
                passCountSeen, requests, latencyMs, passCountSeen, TickSeconds, checkWaits, CheckWaitSeconds,
                floor);
    std::printf("  ratio %.2f (target %.2f: %s), slowest pass %.2f; without the 0.1 s waits in the floor "
                "%.2f\n\n",
                ratio, target(latencyMs), ratio <= target(latencyMs) ? "met" : "missed", worst,
                measured / (floor - checkWaits * CheckWaitSeconds));
    std::fflush(stdout);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    bool busyDay = false;
    QStringList programPaths;
    QString engineName;
    QList<int> latencies;
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    bool usage = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--busy-day"))
            busyDay = true;
        else if (argument == QLatin1String("--engine") && i + 1 < arguments.size())
            engineName = arguments[++i];
        else if (argument == QLatin1String("--latency") && i + 1 < arguments.size())
            latencies << arguments[++i].toInt();
        else if (argument.startsWith(QLatin1String("--")))
            usage = true;
        else
            programPaths << argument;
    }
    if (usage || programPaths.size() != 2 ||
        !(engineName.isEmpty() || engineName == QLatin1String("sqlite") ||
          engineName == QLatin1String("postgresql"))) {
        std::fprintf(stderr, "usage: bench_dispatch QUAYLINK GATEWAY_SIM [--busy-day] [--engine "
                             "sqlite|postgresql] [--latency MS]...\n");
        return 2;
    }
    if (latencies.isEmpty())
        latencies = {0, 20, 100};
    const Programs programs{programPaths[0], programPaths[1]};

    BenchStores stores;
    QList<Store::Engine> engines;
    if (engineName != QLatin1String("postgresql"))
        engines << Store::Engine::Sqlite;
    if (engineName != QLatin1String("sqlite") && BenchStores::havePostgres())
        engines << Store::Engine::Postgres;
    bool ok = true;
    for (const Store::Engine engine : std::as_const(engines)) {
        if (busyDay) {
            ok = measure(programs, stores, engine, 160000, 50, false) && ok;
            continue;
        }
        for (const int latencyMs : std::as_const(latencies))
            ok = measure(programs, stores, engine, 20000, latencyMs, true) && ok;
    }
    return ok ? 0 : 1;
}
