#include "ServerHarness.h"

#include <QRegularExpression>
#include <QTest>

/// The real dispatch server cut short against the real local gateway: killed part way through a pass,
/// a store locked while it records the outcome, a last chunk that is never answered.
class TestQuaylinkFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void serverKilledAtEachStage_data();
    void serverKilledAtEachStage();
    void storeLockedWhileRecordingTheOutcome();
    void lastChunkUnanswered_data();
    void lastChunkUnanswered();
};

void TestQuaylinkFaults::serverKilledAtEachStage_data()
{
    QTest::addColumn<QString>("stage");
    QTest::addColumn<int>("decodedBeforeKill");
    QTest::addColumn<QString>("resolved"); // by the start-up after the kill
    QTest::addColumn<QString>("final");    // once a further run has sent what was queued again
    QTest::newRow("marked") << QStringLiteral("marked") << 0 << QStringLiteral("Queued")
                            << QStringLiteral("Sent");
    QTest::newRow("chunk:1") << QStringLiteral("chunk:1") << 0 << QStringLiteral("Queued")
                             << QStringLiteral("Sent");
    QTest::newRow("lastposted") << QStringLiteral("lastposted") << 30 << QStringLiteral("Deleted")
                                << QStringLiteral("Deleted");
    QTest::newRow("complete") << QStringLiteral("complete") << 30 << QStringLiteral("DelSent")
                              << QStringLiteral("DelSent");
    QTest::newRow("debited") << QStringLiteral("debited") << 30 << QStringLiteral("Sent")
                             << QStringLiteral("Sent");
}

// Across the killed run and the next, every message reaches the gateway once, and its row says so.
void TestQuaylinkFaults::serverKilledAtEachStage()
{
    QFETCH(QString, stage);
    QFETCH(int, decodedBeforeKill);
    QFETCH(QString, resolved);
    QFETCH(QString, final);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, incompressible(30)); // several chunks
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);

    const ServerRun killed =
        runServer(env, serverArguments(gateway), {{QStringLiteral("QUAYLINK_STOP_AT"), stage}});
    QVERIFY2(killed.crashed, killed.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Read"), 30}}));
    // The gateway may still be reading the last request the server wrote.
    QTRY_COMPARE_WITH_TIMEOUT(gateway.log(QStringLiteral("message")).size(), decodedBeforeKill, 30000);
    const PassLog before = checkPassesOrdered(gateway);
    QVERIFY2(before.error.isEmpty(), qPrintable(before.error));

    const ServerRun restarted = runStartUp(env, QStringLiteral("Interrupted pass "));
    const QString name = before.passes.isEmpty() ? QStringLiteral("\\S+_NWM")
                                                 : QRegularExpression::escape(before.passes[0].upload);
    const auto count = [&](const char* status) {
        return resolved == QLatin1String(status) ? 30 : 0;
    };
    const QRegularExpression line(
        QStringLiteral("^Interrupted pass %1: %2 Queued, %3 Sent, %4 DelSent, %5 Deleted$")
            .arg(name)
            .arg(count("Queued"))
            .arg(count("Sent"))
            .arg(count("DelSent"))
            .arg(count("Deleted")));
    QVERIFY2(!restarted.lines.filter(line).isEmpty(), restarted.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{resolved, 30}}));

    const ServerRun resumed = runServer(env, serverArguments(gateway));
    QVERIFY2(resumed.exitCode == 0, resumed.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{final, 30}}));
    const PassLog after = checkPassesOrdered(gateway);
    QVERIFY2(after.error.isEmpty(), qPrintable(after.error));
    QCOMPARE(decodedOnce(gateway, 30), QString());
}

void TestQuaylinkFaults::storeLockedWhileRecordingTheOutcome()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(10));
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                         {QStringLiteral("--lock-store"), env.storeUrl(), QStringLiteral("--lock-at"),
                          QStringLiteral("debit"), QStringLiteral("--lock-ms"), QStringLiteral("3000")});
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const ServerRun run = runServer(env, serverArguments(gateway),
                                    {{QStringLiteral("KELVRA_BUSY_TIMEOUT_MS"), QStringLiteral("500")}});
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(gateway.log(QStringLiteral("lock")).size(), 1);
    QVERIFY2(run.has(QStringLiteral("DatabaseError: ")), run.describe());
    QVERIFY2(run.has(QStringLiteral("Successfully Sent: 10 ")), run.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 10}}));
    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    QCOMPARE(log.passes.size(), 1);
    QCOMPARE(decodedOnce(gateway, 10), QString());
}

void TestQuaylinkFaults::lastChunkUnanswered_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("decoded");
    QTest::newRow("answered after the time-out") << QStringList{"--late", "chunk:1:5000"} << 3;
    QTest::newRow("connection dropped") << QStringList{"--drop-connection", "chunk:1"} << 0;
}

// The gateway may or may not have the upload: the rows are written off, never sent again.
void TestQuaylinkFaults::lastChunkUnanswered()
{
    QFETCH(QStringList, faults);
    QFETCH(int, decoded);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(3)); // one chunk
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, faults);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const ServerRun run =
        runServer(env, serverArguments(gateway),
                  {{QStringLiteral("QUAYLINK_REQUEST_TIMEOUT_MS"), QStringLiteral("1000")}});
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Deleted"), 3}}));
    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    QCOMPARE(log.passes.size(), 1);
    QCOMPARE(log.passes[0].chunks, 1);
    QVERIFY2(
        run.lines.contains(QStringLiteral("Upload %1: no reply to the last chunk; 3 messages marked Deleted")
                               .arg(log.passes[0].upload)),
        run.describe());
    QCOMPARE(decodedOnce(gateway, decoded), QString());
}

QTEST_GUILESS_MAIN(TestQuaylinkFaults)
#include "tst_quaylink_faults.moc"
