#include "ProgramRun.h"
#include "TestEnvironment.h"

#include <QFile>
#include <QTest>

#include <sys/stat.h>

/// The dispatch server's command-line frame, run as the real executable.
class TestQuaylinkCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void usageErrors_data();
    void usageErrors();
    void unusableStoreEndsWithOneLine();
    void passwordFileRefused_data();
    void passwordFileRefused();
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
    QTest::newRow("standby with a window") << QStringList{"--standby", "--connect"}
                                           << QStringLiteral("--standby goes with --headless --connect");
    QTest::newRow("metrics on a name")
        << QStringList{"--headless", "--metrics", "localhost:9100"} << QStringLiteral("not 'localhost:9100'");
    QTest::newRow("metrics port out of range")
        << QStringList{"--headless", "--metrics", "127.0.0.1:70000"} << QStringLiteral("ADDRESS:PORT");
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

void TestQuaylinkCli::passwordFileRefused_data()
{
    QTest::addColumn<QByteArray>("contents"); // no file at all when null
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("withPassword");
    QTest::addColumn<QString>("reason");
    QTest::newRow("group may read") << QByteArray("secret\n") << 0640 << false
                                    << "allow only its owner (chmod 600)";
    QTest::newRow("anyone may read") << QByteArray("secret\n") << 0604 << false << "allow only its owner";
    QTest::newRow("group may change") << QByteArray("secret\n") << 0620 << false << "allow only its owner";
    QTest::newRow("no password in it") << QByteArray("\r\n") << 0600 << false << "holds no password";
    QTest::newRow("no such file") << QByteArray() << 0600 << false << "cannot be read";
    QTest::newRow("with --password") << QByteArray("secret\n") << 0600 << true << "cannot be given together";
}

void TestQuaylinkCli::passwordFileRefused()
{
    QFETCH(QByteArray, contents);
    QFETCH(int, mode);
    QFETCH(bool, withPassword);
    QFETCH(QString, reason);
    TestEnvironment env;
    const QString file = env.path(QStringLiteral("password"));
    if (!contents.isNull()) {
        QFile written(file);
        QVERIFY(written.open(QIODevice::WriteOnly));
        written.write(contents);
        written.close();
        QVERIFY(::chmod(QFile::encodeName(file).constData(), mode_t(mode)) == 0);
    }
    QStringList arguments{"--headless", "--connect", "--password-file", file};
    if (withPassword)
        arguments << "--password"
                  << "secret";
    const ProgramRun run = RunProgram(QStringLiteral(QUAYLINK_EXE), arguments, env.processEnvironment());
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.startsWith(QLatin1String("quaylink: ")) && run.err.contains(reason),
             qPrintable(run.err));
    QCOMPARE(run.out, QString());
}

QTEST_GUILESS_MAIN(TestQuaylinkCli)
#include "tst_quaylink_cli.moc"
