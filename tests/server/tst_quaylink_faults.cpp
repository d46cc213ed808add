#include "ServerHarness.h"

#include "PostgresAdmin.h"
#include "ProgramRun.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

namespace {

bool rowsRead(const Store& store)
{
    return statuses(store).value(QStringLiteral("Read")) > 0;
}

StoreLocation locationOf(const QString& url)
{
    StoreLocation location;
    QString error;
    if (!StoreLocation::parse(url, &location, &error))
        qFatal("%s", qPrintable(error));
    return location;
}

} // namespace

/// The real dispatch server cut short against the real local gateway: killed part way through a pass,
/// a store locked while it records the outcome, a last chunk that is never answered; and left alone as
/// the service runs it, through a failed login, a database restart, a silent gateway and a full disk.
class TestQuaylinkFaults : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void serverKilledAtEachStage_data();
    void serverKilledAtEachStage();
    void storeLocked_data();
    void storeLocked();
    void lastChunkUnanswered_data();
    void lastChunkUnanswered();
    void unattendedServerConnectsAgain_data();
    void unattendedServerConnectsAgain();
    void databaseRestarted_data();
    void databaseRestarted();
    void anotherServerTakesTheStoreMeanwhile();
    void exitBoundedWithASilentGateway_data();
    void exitBoundedWithASilentGateway();
    void uploadFolderFull();
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

void TestQuaylinkFaults::storeLocked_data()
{
    QTest::addColumn<QString>("lockAt"); // the request at which the gateway locks the queue for 3 s
    QTest::addColumn<int>("messages");
    QTest::addColumn<bool>("firstChunksLeft"); // failed passes left first chunks of uploads at the gateway
    QTest::newRow("recording the outcome") << QStringLiteral("debit") << 10 << false;
    // The rows are marked as the upload's only chunk is about to go, or once its first chunk has gone.
    QTest::newRow("marking one chunk") << QStringLiteral("login:2") << 10 << false;
    QTest::newRow("marking several chunks") << QStringLiteral("login:2") << 30 << true;
}

// A store that cannot be written for a while costs time, never a message lost or sent twice.
void TestQuaylinkFaults::storeLocked()
{
    QFETCH(QString, lockAt);
    QFETCH(int, messages);
    QFETCH(bool, firstChunksLeft);
    // SQLite's lock, unlike PostgreSQL's, keeps the pass from reading the queue, before any chunk goes.
    if (lockAt.startsWith(QLatin1String("login")) && !TestEnvironment::onPostgres())
        QSKIP("only PostgreSQL lets a pass read the queue while another program holds it for writing");
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, messages > 10 ? incompressible(messages) : numbered(messages));
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                         {QStringLiteral("--lock-store"), env.storeUrl(), QStringLiteral("--lock-at"), lockAt,
                          QStringLiteral("--lock-ms"), QStringLiteral("3000")});
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const ServerRun run = runServer(env, serverArguments(gateway),
                                    {{QStringLiteral("KELVRA_BUSY_TIMEOUT_MS"), QStringLiteral("500")}});
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(gateway.log(QStringLiteral("lock")).size(), 1);
    QVERIFY2(run.has(QStringLiteral("DatabaseError: ")), run.describe());
    QVERIFY2(run.has(QStringLiteral("Successfully Sent: %1 ").arg(messages)), run.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), messages}}));
    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    QCOMPARE(log.passes.size() > 1, firstChunksLeft);
    QVERIFY(log.passes.last().debited);
    QCOMPARE(decodedOnce(gateway, messages), QString());
}

void TestQuaylinkFaults::lastChunkUnanswered_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<int>("decoded");
    QTest::addColumn<QString>("reply"); // as the status line names it
    QTest::newRow("answered after the time-out")
        << QStringList{"--late", "chunk:1:5000"} << 3 << QStringLiteral("no reply");
    QTest::newRow("connection dropped")
        << QStringList{"--drop-connection", "chunk:1"} << 0 << QStringLiteral("no reply");
    // Taken and delivered, then answered with something other than the gateway's own word.
    QTest::newRow("error page") << QStringList{"--bad-reply", "chunk:1:500"} << 3
                                << QStringLiteral("HTTP 500");
    QTest::newRow("empty reply") << QStringList{"--bad-reply", "chunk:1:empty"} << 3
                                 << QStringLiteral("an empty reply");
    QTest::newRow("10 MiB reply") << QStringList{"--bad-reply", "chunk:1:big"} << 3
                                  << QStringLiteral("an oversized reply");
    QTest::newRow("endless reply") << QStringList{"--bad-reply", "chunk:1:endless"} << 3
                                   << QStringLiteral("an oversized reply");
}

// The gateway may or may not have the upload: the rows are written off, never sent again.
void TestQuaylinkFaults::lastChunkUnanswered()
{
    QFETCH(QStringList, faults);
    QFETCH(int, decoded);
    QFETCH(QString, reply);
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
    QVERIFY2(run.lines.contains(QStringLiteral("Upload %1: %2 to the last chunk; 3 messages marked Deleted")
                                    .arg(log.passes[0].upload, reply)),
             run.describe());
    QCOMPARE(decodedOnce(gateway, decoded), QString());
}

void TestQuaylinkFaults::unattendedServerConnectsAgain_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<bool>("restartDuringLogin");
    QTest::newRow("login answered HTTP 500") << QStringList{"--bad-reply", "login:1:500"} << false;
    QTest::newRow("login dropped") << QStringList{"--drop-connection", "login:1"} << false;
    QTest::newRow("login answered endlessly") << QStringList{"--bad-reply", "login:1:endless"} << false;
    QTest::newRow("gateway restarted during the login") << QStringList{"--late", "login:1:30000"} << true;
}

// Nobody is at the window to press Connect: the server connects again by itself and sends everything
// once, its memory bounded whatever the gateway answers.
void TestQuaylinkFaults::unattendedServerConnectsAgain()
{
    QFETCH(QStringList, faults);
    QFETCH(bool, restartDuringLogin);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(5));
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, faults);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    ServerProcess server(env, unattendedArguments(gateway));
    if (restartDuringLogin) {
        QTRY_VERIFY_WITH_TIMEOUT(
            !gateway.log(QStringLiteral("request")).isEmpty() &&
                gateway.log(QStringLiteral("request")).last().value(QLatin1String("page")) ==
                    QLatin1String("Logonchk.asp"),
            30000);
        QVERIFY2(gateway.restart(), qPrintable(gateway.startError()));
    }
    QVERIFY2(server.waitForLine(QStringLiteral("Server: connecting again in 10 s")),
             qPrintable(server.lines().join(u'\n')));
    QVERIFY2(server.lines().contains(QStringLiteral("Login: Fail!")), qPrintable(server.lines().join(u'\n')));
    const qint64 resident = server.residentKiB();
    QVERIFY2(resident > 0 && resident < 200 * 1024, qPrintable(QString::number(resident)));
    QTRY_COMPARE_WITH_TIMEOUT(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 5}}), 60000);
    const ServerRun run = server.stop();
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(decodedOnce(gateway, 5), QString());
}

void TestQuaylinkFaults::databaseRestarted_data()
{
    QTest::addColumn<bool>("midPass");
    QTest::addColumn<int>("downMs"); // 0: restarted at once
    QTest::newRow("restarted mid-pass") << true << 0;
    QTest::newRow("down for 3 s while idle") << false << 3000;
}

// A few seconds without the database cost a few seconds of sending: the server opens the store again,
// takes its lock again, finishes the pass it was in and sends what was queued meanwhile.
void TestQuaylinkFaults::databaseRestarted()
{
    QFETCH(bool, midPass);
    QFETCH(int, downMs);
    if (!TestEnvironment::onPostgres())
        QSKIP("a database server that restarts is PostgreSQL's");
    TestEnvironment env;
    OwnPostgresServer database;
    QVERIFY2(database.error().isEmpty(), qPrintable(database.error()));
    auto store = Store::open(locationOf(database.url()));
    queue(*store, incompressible(300)); // about forty chunks
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                         {QStringLiteral("--delay-ms"), QStringLiteral("100"), QStringLiteral("--delay-page"),
                          QStringLiteral("chunk")});
    ServerProcess server(env, unattendedArguments(gateway, {QStringLiteral("--store"), database.url()}));
    if (midPass)
        QTRY_VERIFY_WITH_TIMEOUT(rowsRead(*store), 30000);
    else
        QTRY_COMPARE_WITH_TIMEOUT(statuses(*store).value(QStringLiteral("Sent")), 300, 60000);
    store.reset();
    QVERIFY2(database.restart(downMs), qPrintable(database.error()));

    QVERIFY2(server.waitForLine(QStringLiteral("DatabaseLoad: Success"), 2),
             qPrintable(server.lines().join(u'\n')));
    // The lock is this server's again: a second one is refused.
    const ServerRun second =
        runServer(env, {QStringLiteral("--headless"), QStringLiteral("--store"), database.url()}, {}, 30000);
    QCOMPARE(second.lines, QStringList{QStringLiteral("SERVER Allready Running")});

    store = Store::open(locationOf(database.url()));
    queue(*store, numbered(20));
    QTRY_COMPARE_WITH_TIMEOUT(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 320}}), 90000);
    const ServerRun run = server.stop();
    QVERIFY2(run.exitCode == 0, run.describe());
    QVERIFY2(run.has(QStringLiteral("DatabaseError: the connection to the message store is lost")),
             run.describe());
    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    QCOMPARE(decodedOnce(gateway, 320), QString());
}

// A second server that starts while the first is cut off from the database takes the store: the first
// stops at once, before its last chunk, and nothing goes out twice.
void TestQuaylinkFaults::anotherServerTakesTheStoreMeanwhile()
{
    if (!TestEnvironment::onPostgres())
        QSKIP("a database server that restarts is PostgreSQL's");
    TestEnvironment env;
    OwnPostgresServer database;
    QVERIFY2(database.error().isEmpty(), qPrintable(database.error()));
    auto store = Store::open(locationOf(database.url()));
    queue(*store, incompressible(30)); // five chunks
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                         {QStringLiteral("--delay-ms"), QStringLiteral("2000"),
                          QStringLiteral("--delay-page"), QStringLiteral("chunk")});
    const QStringList onDatabase{QStringLiteral("--store"), database.url()};
    ServerProcess first(env, unattendedArguments(gateway, onDatabase));
    QTRY_VERIFY_WITH_TIMEOUT(rowsRead(*store), 30000);
    store.reset();
    QVERIFY2(database.restart(), qPrintable(database.error()));

    ServerProcess second(env, QStringList{QStringLiteral("--headless")} + onDatabase);
    QVERIFY2(second.waitForLine(QStringLiteral("Interrupted pass ")), qPrintable(second.lines().join(u'\n')));
    const ServerRun stopped = first.finished(60000);
    QVERIFY2(stopped.exitCode == 1 && stopped.has(QStringLiteral("SERVER Allready Running")),
             stopped.describe());
    QVERIFY2(second.stop().exitCode == 0, "the second server did not end cleanly");

    const ServerRun resumed = runServer(env, serverArguments(gateway, onDatabase));
    QVERIFY2(resumed.exitCode == 0, resumed.describe());
    store = Store::open(locationOf(database.url()));
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 30}}));
    QCOMPARE(decodedOnce(gateway, 30), QString());
}

void TestQuaylinkFaults::exitBoundedWithASilentGateway_data()
{
    QTest::addColumn<bool>("lastChunk"); // the silent request is the upload's last chunk
    QTest::addColumn<QString>("rows");   // their status once the server has ended
    QTest::newRow("silent on a chunk") << false << QStringLiteral("Queued");
    QTest::newRow("silent on the last chunk") << true << QStringLiteral("Deleted");
}

// Exit waits for the request in progress a while, not the whole request time-out, and leaves the rows as
// far as the journal has them.
void TestQuaylinkFaults::exitBoundedWithASilentGateway()
{
    QFETCH(bool, lastChunk);
    QFETCH(QString, rows);
    TestEnvironment env;
    auto store = env.openStore();
    const int count = lastChunk ? 3 : 30;
    queue(*store, lastChunk ? numbered(count) : incompressible(count));
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                         {QStringLiteral("--late"), QStringLiteral("chunk:1:120000")});
    ServerProcess server(env, unattendedArguments(gateway));
    QTRY_VERIFY_WITH_TIMEOUT(!gateway.log(QStringLiteral("request")).isEmpty() &&
                                 gateway.log(QStringLiteral("request")).last().value(QLatin1String("page")) ==
                                     QLatin1String("PostDataZSM.ASP"),
                             30000);
    // Well inside the request time-out of 60 s.
    const ServerRun run = server.stop(40000);
    QVERIFY2(run.exitCode == 0, run.describe());
    QVERIFY2(run.has(QStringLiteral("Exit: no reply from the gateway within 10 s")), run.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{rows, count}}));
}

// The upload file cannot be written: the reason is named, and the rows stay queued.
void TestQuaylinkFaults::uploadFolderFull()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, incompressible(30)); // a message list of some 4.6 kB
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    const QString sms = QDir(env.dataDir()).filePath(QStringLiteral("SMS"));
    QVERIFY(QDir().mkpath(sms));
    // A file system of one page, mounted for the server alone.
    const QStringList fullDisk{QStringLiteral("unshare"),
                               QStringLiteral("--user"),
                               QStringLiteral("--map-root-user"),
                               QStringLiteral("--mount"),
                               QStringLiteral("sh"),
                               QStringLiteral("-c"),
                               QStringLiteral("mount -t tmpfs -o size=4k none \"$0\" && exec \"$@\""),
                               sms};
    if (RunProgram(fullDisk.first(), fullDisk.mid(1) + QStringList{QStringLiteral("true")},
                   env.processEnvironment())
            .exitCode != 0)
        QSKIP("no user namespace here to mount a small file system in");
    ServerProcess server(env, unattendedArguments(gateway), {}, fullDisk);
    QVERIFY2(server.waitForLine(QStringLiteral("Sent: Failed 30 ")), qPrintable(server.lines().join(u'\n')));
    const ServerRun run = server.stop();
    QVERIFY2(run.exitCode == 0, run.describe());
    QVERIFY2(!run.lines
                  .filter(QRegularExpression(QStringLiteral(
                      "^Upload: cannot write .*demo_NWM.SMS: No space left on device; 30 messages "
                      "stay Queued$")))
                  .isEmpty(),
             run.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Queued"), 30}}));
    QCOMPARE(gateway.log(QStringLiteral("upload")).size(), 0);
}

QTEST_GUILESS_MAIN(TestQuaylinkFaults)
#include "tst_quaylink_faults.moc"
