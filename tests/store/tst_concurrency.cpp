#include "Store.h"
#include "TestEnvironment.h"

#include <QProcess>
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

    std::vector<std::unique_ptr<QProcess>> workers;
    const QList<QStringList> roles = {{QStringLiteral("server"), env.storeUrl(), QString::number(total)},
                                      {QStringLiteral("desk"), env.storeUrl(), QString::number(rounds)},
                                      {QStringLiteral("desk"), env.storeUrl(), QString::number(rounds)}};
    for (const QStringList& role : roles) {
        auto process = std::make_unique<QProcess>();
        process->start(QStringLiteral(STORE_WORKER_EXE), role);
        QVERIFY(process->waitForStarted());
        workers.push_back(std::move(process));
    }

    QSet<int> batchNumbers;
    int handedOut = 0;
    for (const auto& process : workers) {
        QVERIFY(process->waitForFinished(180000));
        const QString errors = QString::fromUtf8(process->readAllStandardError());
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
        QCOMPARE(process->exitStatus(), QProcess::NormalExit);
        QCOMPARE(process->exitCode(), 0);
        for (const QByteArray& line : process->readAllStandardOutput().split('\n')) {
            if (line.isEmpty())
                continue;
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
