#include "ServerHarness.h"

#include "ProgramRun.h"
#include "ServerLock.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

namespace {

bool rowsRead(const Store& store)
{
    return statuses(store).value(QStringLiteral("Read")) > 0;
}

// Ends the database session that holds the server's lock, as a cut network or a dead machine would.
void cutTheLockHoldersConnection(const Store& store)
{
    store.exec(
        QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_locks WHERE locktype = 'advisory' AND "
                       "granted AND classid = ? AND objid = ? AND objsubid = 1 AND database = (SELECT "
                       "oid FROM pg_database WHERE datname = current_database())"),
        {qint64(ServerLock::AdvisoryLockKey >> 32), qint64(ServerLock::AdvisoryLockKey & 0xFFFFFFFF)});
}

} // namespace

/// Two real servers on one PostgreSQL store, as two machines run the service with --standby: the
/// active one dies at each stage of a pass, or loses its connection, and the standby takes over.
class TestQuaylinkStandby : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void refusedOnSqlite();
    void takesOverFromADeadServer_data();
    void takesOverFromADeadServer();
};

void TestQuaylinkStandby::refusedOnSqlite()
{
    if (TestEnvironment::onPostgres())
        QSKIP("a standby is refused on SQLite only");
    TestEnvironment env;
    const ProgramRun run = RunProgram(QStringLiteral(QUAYLINK_EXE),
                                      {"--headless", "--connect", "--standby", "--store", env.storeUrl()},
                                      env.processEnvironment());
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.errLines(),
             QStringList{"quaylink: --standby needs a PostgreSQL store; an SQLite store has one "
                         "machine, one server"});
    QVERIFY(!QFile::exists(env.storeUrl()));
}

void TestQuaylinkStandby::takesOverFromADeadServer_data()
{
    QTest::addColumn<QString>("stage");    // where QUAYLINK_STOP_AT kills the active server; empty: cut off
    QTest::addColumn<QString>("resolved"); // what the standby makes of its 30 rows
    QTest::newRow("killed at marked") << QStringLiteral("marked") << QStringLiteral("Queued");
    QTest::newRow("killed at chunk:1") << QStringLiteral("chunk:1") << QStringLiteral("Queued");
    QTest::newRow("killed at lastposted") << QStringLiteral("lastposted") << QStringLiteral("Deleted");
    QTest::newRow("killed at complete") << QStringLiteral("complete") << QStringLiteral("DelSent");
    QTest::newRow("killed at debited") << QStringLiteral("debited") << QStringLiteral("Sent");
    QTest::newRow("connection cut mid-pass") << QString() << QStringLiteral("Queued");
}

// Every text reaches the gateway once, or is "Deleted" where the journal cannot know; the standby
// prints how long after the other server's end it took over and sent again.
void TestQuaylinkStandby::takesOverFromADeadServer()
{
    QFETCH(QString, stage);
    QFETCH(QString, resolved);
    if (!TestEnvironment::onPostgres())
        QSKIP("a standby takes over a PostgreSQL store");
    TestEnvironment env;
    auto store = env.openStore();
    const bool cut = stage.isEmpty();
    // Cut off, the active server goes on posting chunks until it next needs the store.
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                         cut ? QStringList{"--delay-ms", "2000", "--delay-page", "chunk"} : QStringList());
    QMap<QString, QString> variables;
    if (!cut)
        variables.insert(QStringLiteral("QUAYLINK_STOP_AT"), stage);
    ServerProcess active(env, unattendedArguments(gateway), variables);
    QVERIFY2(active.waitForLine(QStringLiteral("Server: Connected")), qPrintable(active.output()));
    ServerProcess standby(env, unattendedArguments(gateway, {QStringLiteral("--standby")}));
    QVERIFY2(standby.waitForLine(QStringLiteral("Standby: another server holds the message store")),
             qPrintable(standby.output()));

    queue(*store, incompressible(30)); // several chunks
    QElapsedTimer sinceDeath;
    if (cut) {
        QTRY_VERIFY_WITH_TIMEOUT(rowsRead(*store), 30000);
        cutTheLockHoldersConnection(*store);
    } else {
        const ServerRun killed = active.finished();
        QVERIFY2(killed.crashed, killed.describe());
    }
    sinceDeath.start();
    queue(*store, numbered(5));

    QVERIFY2(standby.waitForLine(QStringLiteral("Standby: the server that held the message store is gone")),
             qPrintable(standby.output()));
    const qint64 tookOver = sinceDeath.elapsed();
    QVERIFY2(standby.waitForLine(QStringLiteral("Successfully Sent: ")), qPrintable(standby.output()));
    const qint64 sending = sinceDeath.elapsed();
    qInfo("%s: the standby took over %.1f s and had sent again %.1f s after the active server's end",
          QTest::currentDataTag(), double(tookOver) / 1000, double(sending) / 1000);

    QMap<QString, int> expected{{QStringLiteral("Sent"), 5}};
    expected[resolved == QLatin1String("Queued") ? QStringLiteral("Sent") : resolved] += 30;
    QTRY_COMPARE_WITH_TIMEOUT(statuses(*store), expected, 90000);
    const auto count = [&](const char* status) {
        return resolved == QLatin1String(status) ? 30 : 0;
    };
    const QRegularExpression settled(
        QStringLiteral("^Interrupted pass \\S+_NWM: %1 Queued, %2 Sent, %3 DelSent, %4 "
                       "Deleted$")
            .arg(count("Queued"))
            .arg(count("Sent"))
            .arg(count("DelSent"))
            .arg(count("Deleted")));
    QVERIFY2(!standby.lines().filter(settled).isEmpty(), qPrintable(standby.output()));
    if (cut) {
        // It finds the store taken when it next needs it, and stops before its last chunk.
        const ServerRun stopped = active.finished();
        QVERIFY2(stopped.exitCode == 1 && stopped.has(QStringLiteral("SERVER Allready Running")),
                 stopped.describe());
    } else {
        const PassLog log = checkPassesOrdered(gateway);
        QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    }
    QCOMPARE(decodedOnce(gateway, 35), QString());
    const ServerRun ended = standby.stop();
    QVERIFY2(ended.exitCode == 0, ended.describe());
}

QTEST_GUILESS_MAIN(TestQuaylinkStandby)
#include "tst_quaylink_standby.moc"
