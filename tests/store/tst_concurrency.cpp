#include "ProgramRun.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QSet>
#include <QTest>

/// Two desk programs and the dispatch server on one store at the same moment.
class TestConcurrency : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void deskProgramsAndServerShareTheStore();
};

void TestConcurrency::deskProgramsAndServerShareTheStore()
{
    TestEnvironment env;
    {
        auto store = env.openStore(); // created before the workers start, as by init-store
    }
    const int rounds = 150;
    const int total = 2 * rounds * 20;

    const QProcessEnvironment environment = env.processEnvironment();
    QList<std::function<ProgramRun()>> workers;
    for (const QStringList& role : {QStringList{"server", env.storeUrl(), QString::number(total)},
                                    QStringList{"desk", env.storeUrl(), QString::number(rounds)},
                                    QStringList{"desk", env.storeUrl(), QString::number(rounds)}}) {
        workers << [role, environment] {
            return RunProgram(STORE_WORKER_EXE, role, environment, {}, 180000);
        };
    }

    QSet<int> batchNumbers;
    int handedOut = 0;
    for (const ProgramRun& worker : RunTogether(workers)) {
        QVERIFY2(worker.err.isEmpty(), qPrintable(worker.err));
        QCOMPARE(worker.exitCode, 0);
        for (const QString& line : worker.outLines()) {
            batchNumbers.insert(line.toInt());
            ++handedOut;
        }
    }
    // Every batch number was handed out once, and the counter moved past all of them.
    QCOMPARE(handedOut, 2 * rounds);
    QCOMPARE(batchNumbers.size(), 2 * rounds);

    auto store = env.openStore();
    QSqlQuery counter = store->exec(QStringLiteral("SELECT batchno FROM config"));
    QVERIFY(counter.next());
    QCOMPARE(counter.value(0).toInt(), 1 + 2 * rounds);
    QSqlQuery statuses =
        store->exec(QStringLiteral("SELECT Status, COUNT(*) FROM MessageQueue GROUP BY Status"));
    QVERIFY(statuses.next());
    QCOMPARE(statuses.value(0).toString(), QStringLiteral("Sent"));
    QCOMPARE(statuses.value(1).toInt(), total);
    QVERIFY(!statuses.next());
}

QTEST_GUILESS_MAIN(TestConcurrency)
#include "tst_concurrency.moc"
