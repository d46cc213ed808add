#include "ProgramRun.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QTest>

/// `brisant confirm orion-bse|orion-nse --send`, run as the real executable on the sample files.
class TestOrionCashCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void readsGeneratesAndQueues_data();
    void readsGeneratesAndQueues();
};

void TestOrionCashCli::readsGeneratesAndQueues_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("appId");
    const QDir samples(QStringLiteral(SAMPLES_DIR));
    QTest::newRow("orion-bse") << "orion-bse" << samples.filePath("orion_bse_trades.txt") << "BSE";
    QTest::newRow("orion-nse") << "orion-nse" << samples.filePath("orion_nse_trades.txt") << "NSE";
}

void TestOrionCashCli::readsGeneratesAndQueues()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(QString, appId);
    TestEnvironment env;
    const ProgramRun clients = RunProgram(
        QStringLiteral(DEMO_CLIENTS_EXE),
        {"--store", env.storeUrl(), QStringLiteral(SAMPLES_DIR "/clients.csv")}, env.processEnvironment());
    QCOMPARE(clients.exitCode, 0);

    const ProgramRun run =
        RunProgram(QStringLiteral(BRISANT_EXE), {"confirm", kind, "--prefix", "EOD", "--send", file},
                   env.processEnvironment());
    QCOMPARE(run.exitCode, 0);
    // The sample's one code missing from the client master, as cut from the file.
    QCOMPARE(run.errLines().size(), 2);
    QCOMPARE(run.errLines().first().trimmed(), QStringLiteral("Not Found: ZX999"));
    QCOMPARE(run.errLines().last(), QStringLiteral("Message has been sent in Queue"));
    const QStringList grid = run.outLines();
    QVERIFY(grid.size() > 36);
    QVERIFY2(grid.first().startsWith("8085519739\tEOD AS100:"), qPrintable(grid.first()));

    const std::unique_ptr<Store> store = env.openStore();
    QSqlQuery queued = store->exec(QStringLiteral("SELECT COUNT(*), MIN(AppID), MAX(AppID), MIN(BatchNo), "
                                                  "MAX(BatchNo) FROM MessageQueue"));
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toInt(), grid.size());
    QCOMPARE(queued.value(1).toString(), appId);
    QCOMPARE(queued.value(2).toString(), appId);
    QCOMPARE(queued.value(3).toInt(), 1);
    QCOMPARE(queued.value(4).toInt(), 1);
}

QTEST_GUILESS_MAIN(TestOrionCashCli)
#include "tst_orioncash_cli.moc"
