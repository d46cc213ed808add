#include "ProgramRun.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QDir>
#include <QSqlQuery>
#include <QTest>

/// `brisant confirm netpos` as a real process: the layout option, the warnings on stderr, sending, and
/// a layout that does not exist.
class TestNetPositionCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void printsTheTextsOfTheLayout_data();
    void printsTheTextsOfTheLayout();
    void refusesAnUnknownLayout();
};

void TestNetPositionCli::printsTheTextsOfTheLayout_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("options");
    QTest::newRow("default layout") << "qty_avg_profit_loss_and_legs" << QStringList{};
    QTest::newRow("qty-amt-avg") << "qty_amt_avg_profit_loss_and_legs"
                                 << QStringList{"--layout", "qty-amt-avg", "--send"};
    QTest::newRow("overflow") << "qty_avg_overflow" << QStringList{"--layout", "qty-avg", "--send"};
    QTest::newRow("wrong layout") << "qty_amt_avg_wrong_layout"
                                  << QStringList{"--layout", "qty-amt-avg", "--send"};
}

void TestNetPositionCli::printsTheTextsOfTheLayout()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, options);
    const QDir dir(QStringLiteral(GOLDEN_DIR "/") + folder);
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    StoreClients(*store, dir.filePath(QStringLiteral("clients.csv")));

    const QString prefix = QString::fromUtf8(ReadFile(dir.filePath(QStringLiteral("prefix"))));
    const ProgramRun run = RunProgram(QStringLiteral(BRISANT_EXE),
                                      QStringList{"confirm", "netpos", "--prefix", prefix} + options +
                                          QStringList{dir.filePath(QStringLiteral("trades.txt"))},
                                      env.processEnvironment());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.outLines(), ReadLines(dir.filePath(QStringLiteral("messages.txt"))));
    const bool send = options.contains(QStringLiteral("--send"));
    QStringList warnings = ReadLines(dir.filePath(QStringLiteral("warnings.txt")));
    if (send)
        warnings << QStringLiteral("Message has been sent in Queue");
    QCOMPARE(run.errLines(), warnings);

    QSqlQuery queued = store->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue WHERE AppID = 'NP'"));
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toInt(), send ? run.outLines().size() : 0);
}

void TestNetPositionCli::refusesAnUnknownLayout()
{
    TestEnvironment env;
    const ProgramRun run = RunProgram(
        QStringLiteral(BRISANT_EXE),
        {"confirm", "netpos", "--layout", "qty", QStringLiteral(GOLDEN_DIR "/qty_avg_overflow/trades.txt")},
        env.processEnvironment());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QStringLiteral("--layout takes qty-avg or qty-amt-avg, not qty")),
             qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestNetPositionCli)
#include "tst_netposition_cli.moc"
