#include "ServerHarness.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>

namespace {

// How often the test asks for a sign of life, as WatchdogSec= would: five ticks of the pass loop.
constexpr qint64 kWatchdogMs = 5000;

QMap<QString, QString> underSystemd(const NotifySocket& notify)
{
    QMap<QString, QString> variables = notify.variables();
    variables.insert(QStringLiteral("WATCHDOG_USEC"), QString::number(kWatchdogMs * 1000));
    return variables;
}

} // namespace

/// The real server as systemd runs it, without systemd: the notify protocol on a socket the test
/// keeps, and the journal's priorities on a stream the test names the journal.
class TestQuaylinkService : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void notifiesReadinessStatusAndLife();
    void wedgedLoopStarvesTheWatchdog();
    void journalLinesCarryTheirPriority_data();
    void journalLinesCarryTheirPriority();
};

void TestQuaylinkService::notifiesReadinessStatusAndLife()
{
    TestEnvironment env;
    auto store = env.openStore();
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    NotifySocket notify(env.path(QStringLiteral("notify")));
    ServerProcess server(env, unattendedArguments(gateway), underSystemd(notify));
    QTRY_VERIFY_WITH_TIMEOUT(notify.count(QStringLiteral("WATCHDOG=1")) >= 3, 60000);
    QVERIFY2(notify.messages().first().startsWith(QLatin1String("READY=1\nSTATUS=")),
             qPrintable(notify.messages().join(u'|')));

    queue(*store, numbered(5));
    const QRegularExpression afterPass(
        QStringLiteral(R"(^connected; 0 queued; last pass \d\d:\d\d:\d\d Sent 5 in \d+\.\d s$)"));
    QTRY_VERIFY2_WITH_TIMEOUT(!notify.statuses().filter(afterPass).isEmpty(),
                              qPrintable(notify.statuses().join(u'|')), 60000);
    const int pings = notify.count(QStringLiteral("WATCHDOG=1"));
    QTRY_VERIFY_WITH_TIMEOUT(notify.count(QStringLiteral("WATCHDOG=1")) > pings, 60000);
    // Idle or sending, the loop never left the watchdog waiting for an interval.
    QVERIFY2(notify.longestSilenceMs() < kWatchdogMs, qPrintable(QString::number(notify.longestSilenceMs())));

    const ServerRun run = server.stop();
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(notify.count(QStringLiteral("STOPPING=1")), 1);
    QCOMPARE(notify.count(QStringLiteral("READY=1")), 1);
}

// A pass stuck on a store another program keeps locked stops the signs of life: systemd restarts it.
void TestQuaylinkService::wedgedLoopStarvesTheWatchdog()
{
    TestEnvironment env;
    auto store = env.openStore();
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                         {QStringLiteral("--lock-store"), env.storeUrl(), QStringLiteral("--lock-at"),
                          QStringLiteral("debit"), QStringLiteral("--lock-ms"), QStringLiteral("600000")});
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    NotifySocket notify(env.path(QStringLiteral("notify")));
    QMap<QString, QString> variables = underSystemd(notify);
    variables.insert(QStringLiteral("KELVRA_BUSY_TIMEOUT_MS"), QStringLiteral("600000"));
    ServerProcess server(env, unattendedArguments(gateway), variables);
    QTRY_VERIFY_WITH_TIMEOUT(notify.count(QStringLiteral("WATCHDOG=1")) >= 2, 60000);

    queue(*store, numbered(3));
    QTRY_COMPARE_WITH_TIMEOUT(gateway.log(QStringLiteral("lock")).size(), 1, 60000);
    QVERIFY2(notify.longestSilenceMs() < kWatchdogMs, "the watchdog went unfed before the loop wedged");
    QTRY_VERIFY_WITH_TIMEOUT(notify.longestSilenceMs() > kWatchdogMs, 60000);
    QVERIFY(server.isRunning());
}

void TestQuaylinkService::journalLinesCarryTheirPriority_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QStringList>("expected"); // lines as the journal stream gets them
    QTest::newRow("wrong password") << QStringList() << QStringLiteral("wrong")
                                    << QStringList{"<6>DatabaseLoad: Success", "<3>Login: Incorrect!"};
    QTest::newRow("refused chunk") << QStringList{"--refuse-chunk", "1"} << QStringLiteral("demo")
                                   << QStringList{"<4>Send Fail!", "<4>Sent: Failed 3 ",
                                                  "<6>Successfully Sent: 3 "};
}

// Where stdout is the journal (JOURNAL_STREAM names it) every line starts with its syslog priority and
// leaves the time to the journal.
void TestQuaylinkService::journalLinesCarryTheirPriority()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, password);
    QFETCH(QStringList, expected);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(3));
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, faults);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    QStringList arguments = serverArguments(gateway);
    arguments[arguments.indexOf(QStringLiteral("--password")) + 1] = password;
    const QStringList asTheJournal{
        QStringLiteral("sh"), QStringLiteral("-c"),
        QStringLiteral("JOURNAL_STREAM=$(stat -L -c %d:%i /proc/$$/fd/1) exec \"$@\""), QStringLiteral("sh")};
    ServerProcess server(env, arguments, {}, asTheJournal);
    server.finished();
    const QStringList lines = server.output().split(u'\n', Qt::SkipEmptyParts);
    QVERIFY2(!lines.isEmpty() &&
                 lines.filter(QRegularExpression(QStringLiteral("^<[0-7]>"))).size() == lines.size(),
             qPrintable(lines.join(u'\n')));
    for (const QString& line : std::as_const(expected))
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString& written) { return written.startsWith(line); }),
                 qPrintable(line + QStringLiteral(" not in:\n") + lines.join(u'\n')));
}

QTEST_GUILESS_MAIN(TestQuaylinkService)
#include "tst_quaylink_service.moc"
