#include "TestEnvironment.h"

#include <QProcess>
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
    QProcess process;
    process.setProcessEnvironment(env.processEnvironment());
    process.start(QStringLiteral(QUAYLINK_EXE), arguments);
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QVERIFY2(err.startsWith(QLatin1String("quaylink: ")) && err.contains(reason), qPrintable(err));
    QVERIFY(err.contains(QLatin1String("--exit-when-idle")));
}

void TestQuaylinkCli::unusableStoreEndsWithOneLine()
{
    TestEnvironment env;
    QProcess process;
    process.setProcessEnvironment(env.processEnvironment());
    process.start(QStringLiteral(QUAYLINK_EXE), {QStringLiteral("--headless"), QStringLiteral("--store"),
                                                 QStringLiteral("postgresql://q:pw@127.0.0.1:1/x")});
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 1);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    QCOMPARE(err.count(u'\n'), 1);
    QVERIFY2(err.startsWith(QLatin1String("quaylink: cannot open the message store")), qPrintable(err));
}

QTEST_GUILESS_MAIN(TestQuaylinkCli)
#include "tst_quaylink_cli.moc"
