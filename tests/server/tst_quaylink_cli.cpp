#include "ProgramRun.h"
#include "TestEnvironment.h"

#include <QTest>

/// The dispatch server's command-line frame, run as the real executable.
class TestQuaylinkCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usageErrors_data();
    void usageErrors();
    void unusableStoreEndsWithOneLine();
};

void TestQuaylinkCli::usageErrors_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("reason");
    QTest::newRow("unknown option") << QStringList{"--headless", "--turbo"} << QStringLiteral("turbo");
    QTest::newRow("server not a number")
        << QStringList{"--headless", "--server", "two"} << QStringLiteral("two");
    QTest::newRow("missing value") << QStringList{"--headless", "--gateway"} << QStringLiteral("gateway");
    QTest::newRow("stray argument") << QStringList{"--headless", "now"} << QStringLiteral("now");
}

void TestQuaylinkCli::usageErrors()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, reason);
    TestEnvironment env;
    const ProgramRun run = RunProgram(QStringLiteral(QUAYLINK_EXE), arguments, env.processEnvironment());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith(QLatin1String("quaylink: ")) && run.err.contains(reason),
             qPrintable(run.err));
    QVERIFY(run.err.contains(QLatin1String("--exit-when-idle")));
}

void TestQuaylinkCli::unusableStoreEndsWithOneLine()
{
    TestEnvironment env;
    const ProgramRun run =
        RunProgram(QStringLiteral(QUAYLINK_EXE), {"--headless", "--store", "postgresql://q:pw@127.0.0.1:1/x"},
                   env.processEnvironment());
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.err.count(u'\n'), 1);
    QVERIFY2(run.err.startsWith(QLatin1String("quaylink: cannot open the message store")),
             qPrintable(run.err));
}

QTEST_GUILESS_MAIN(TestQuaylinkCli)
#include "tst_quaylink_cli.moc"
