#include "LocalGateway.h"
#include "MessageQueueTable.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTest>

#include <csignal>

namespace {

using Gateway = LocalGateway;

struct ServerRun
{
    int exitCode = -1;
    QStringList lines; // status lines without their time
    QString err;

    bool has(const QString& start) const
    {
        for (const QString& line : lines) {
            if (line.startsWith(start))
                return true;
        }
        return false;
    }
};

QStringList statusLines(const QByteArray& out)
{
    QStringList lines;
    for (const QString& line : QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts))
        lines << line.mid(20); // "yyyy-MM-dd HH:mm:ss "
    return lines;
}

QStringList serverArguments(const Gateway& gateway, const QStringList& extra)
{
    return QStringList{"--headless",      "--connect",
                       "--user",          "demo",
                       "--password",      "demo",
                       "--server",        "9",
                       "--gateway",       gateway.address(),
                       "--exit-when-idle"} +
           extra;
}

ServerRun runServer(TestEnvironment& env, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(env.processEnvironment());
    process.start(QStringLiteral(QUAYLINK_EXE), arguments);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    ServerRun run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.lines = statusLines(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

void queue(const Store& store, const QList<std::pair<QString, QString>>& messages)
{
    std::vector<QueuedMessage> rows;
    for (const auto& [mobile, text] : messages)
        rows.push_back(
            {mobile, text, QStringLiteral("admin"), 1, QStringLiteral("BSE"), QStringLiteral("BROKER")});
    MessageQueueTable(store).insertAll(rows);
}

QList<std::pair<QString, QString>> numbered(int count, int textLength = 60)
{
    QList<std::pair<QString, QString>> messages;
    for (int i = 0; i < count; ++i)
        messages.push_back({QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')),
                            QStringLiteral("C%1: RELIANCE Buy %2@2450.25")
                                .arg(i)
                                .arg(i % 97)
                                .leftJustified(textLength, u'.')});
    return messages;
}

// Texts that do not compress, so that an upload needs several chunks.
QList<std::pair<QString, QString>> incompressible(int count)
{
    QList<std::pair<QString, QString>> messages;
    auto* random = QRandomGenerator::global();
    for (int i = 0; i < count; ++i) {
        QString text;
        for (int c = 0; c < 150; ++c)
            text += QChar(u'!' + random->bounded(90));
        text.remove(u'\'');
        messages.push_back({QStringLiteral("97%1").arg(i, 8, 10, QLatin1Char('0')), text});
    }
    return messages;
}

QMap<QString, int> statuses(const Store& store)
{
    QMap<QString, int> counts;
    QSqlQuery query = store.exec(QStringLiteral("SELECT Status, COUNT(*) FROM MessageQueue GROUP BY Status"));
    while (query.next())
        counts[query.value(0).toString()] = query.value(1).toInt();
    return counts;
}

QString statusOf(const Store& store, const QString& mobile)
{
    QSqlQuery query =
        store.exec(QStringLiteral("SELECT Status FROM MessageQueue WHERE MobileNo = ?"), {mobile});
    return query.next() ? query.value(0).toString() : QString();
}

bool waitForStatus(const Store& store, const QString& status, int milliseconds = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds) {
        if (statuses(store).value(status) > 0)
            return true;
        QTest::qWait(20);
    }
    return false;
}

} // namespace

/// The real dispatch server against the real local gateway: the queue and the gateway's log.
class TestQuaylinkEndToEnd : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void messagesTravelToTheGatewayAsQueued();
    void passesTakeAtMost2000();
    void balanceLimitsThePass();
    void passOfEmptyTextsOnly();
    void debitNotConfirmed_data();
    void debitNotConfirmed();
    void failedUploadReturnsRowsToTheQueue_data();
    void failedUploadReturnsRowsToTheQueue();
    void chunkRepliesInAnyCase();
    void checkAndLoginReplies_data();
    void checkAndLoginReplies();
    void passwordReachesTheGatewayIntact();
    void searchAlternatesBetweenServersOneAndTwo();
    void secondServerOnTheSameStoreIsRefused();
    void serverKilledDuringAPassLeavesRowsDeleted();
    void serverEndedDuringAPassRequeuesItsRows();
};

void TestQuaylinkEndToEnd::messagesTravelToTheGatewayAsQueued()
{
    TestEnvironment env;
    auto store = env.openStore();
    const QString accented = QStringLiteral("Dear Ana, C7: TCS Sell 5@3301.10 – fee €1, café");
    queue(*store, {{QStringLiteral("9812345670"), QStringLiteral("Dear Ravi, C1: RELIANCE Buy 10@2450.00,")},
                   {QStringLiteral("919812345671"), accented},
                   {QStringLiteral("+919812345672"), QStringLiteral("thirteen characters")},
                   {QStringLiteral("9812345673"), QString::fromLatin1("")},
                   {QStringLiteral("98123"), QStringLiteral("too short")}});
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.has(QStringLiteral("Successfully Sent: 2 ")), qPrintable(run.lines.join(u'\n')));

    const QList<QJsonObject> messages = gateway.log(QStringLiteral("message"));
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].value(QLatin1String("number")).toString(), QStringLiteral("9812345670"));
    QCOMPARE(messages[0].value(QLatin1String("text")).toString(),
             QStringLiteral("Dear Ravi, C1: RELIANCE Buy 10@2450.00,"));
    // A 12-character number is sent as its last ten; the text arrives exactly as queued.
    QCOMPARE(messages[1].value(QLatin1String("number")).toString(), QStringLiteral("9812345671"));
    QCOMPARE(messages[1].value(QLatin1String("text")).toString(), accented);

    QCOMPARE(statusOf(*store, QStringLiteral("9812345670")), QStringLiteral("Sent"));
    QCOMPARE(statusOf(*store, QStringLiteral("919812345671")), QStringLiteral("Sent"));
    // Unusable numbers are taken into the pass without being uploaded, and share its outcome.
    QCOMPARE(statusOf(*store, QStringLiteral("+919812345672")), QStringLiteral("Sent"));
    QCOMPARE(statusOf(*store, QStringLiteral("98123")), QStringLiteral("Sent"));
    QCOMPARE(statusOf(*store, QStringLiteral("9812345673")), QStringLiteral("Discarded"));

    QSqlQuery taken =
        store->exec(QStringLiteral("SELECT QDateTime, DelDate FROM MessageQueue WHERE MobileNo = ?"),
                    {QStringLiteral("9812345670")});
    QVERIFY(taken.next());
    QCOMPARE(Store::readDateTime(taken.value(0)), QDate::currentDate().startOfDay());
    QVERIFY(Store::readDateTime(taken.value(1)).time().isValid());

    const QList<QJsonObject> debits = gateway.log(QStringLiteral("debit"));
    QCOMPARE(debits.size(), 1);
    QCOMPARE(debits[0].value(QLatin1String("count")).toInt(), 2);
    QVERIFY(debits[0].value(QLatin1String("matches")).toBool());
    QCOMPARE(debits[0].value(QLatin1String("balance")).toInt(), 9998);
}

void TestQuaylinkEndToEnd::passesTakeAtMost2000()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(2500));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, {}, QStringLiteral("demo demo 5000\n"));
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    QCOMPARE(run.exitCode, 0);
    const QList<QJsonObject> uploads = gateway.log(QStringLiteral("upload"));
    QCOMPARE(uploads.size(), 2);
    QCOMPARE(uploads[0].value(QLatin1String("messages")).toInt(), 2000);
    QCOMPARE(uploads[1].value(QLatin1String("messages")).toInt(), 500);
    QVERIFY(uploads[0].value(QLatin1String("chunks")).toInt() > 1);
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 2500}}));
    QVERIFY(run.has(QStringLiteral("Successfully Sent: 2000 ")));
    QVERIFY(run.has(QStringLiteral("Successfully Sent: 500 ")));
    QCOMPARE(gateway.log(QStringLiteral("message")).size(), 2500);
}

void TestQuaylinkEndToEnd::balanceLimitsThePass()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(5));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, {}, QStringLiteral("demo demo 3\n"));
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    // The balance is then 0: the server stops sending and ends unattended runs as not idle.
    QCOMPARE(run.exitCode, 1);
    QVERIFY(run.lines.contains(QStringLiteral("SMS balance zero Send only 3 SMS")));
    QCOMPARE(statuses(*store),
             (QMap<QString, int>{{QStringLiteral("Sent"), 3}, {QStringLiteral("Queued"), 2}}));
    QCOMPARE(statusOf(*store, QStringLiteral("9800000003")), QStringLiteral("Queued"));
    QCOMPARE(gateway.log(QStringLiteral("message")).size(), 3);
}

void TestQuaylinkEndToEnd::passOfEmptyTextsOnly()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, {{QStringLiteral("9812345670"), QString::fromLatin1("")},
                   {QStringLiteral("9812345671"), QString()}});
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.has(QStringLiteral("Sent: Failed 0 ")));
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Discarded"), 2}}));
    QCOMPARE(gateway.log(QStringLiteral("upload")).size(), 0);
}

void TestQuaylinkEndToEnd::debitNotConfirmed_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("reply in lower case") << QStringList{"--debit-reply", "success"};
    QTest::newRow("connection dropped") << QStringList{"--drop-connection", "debit"};
}

void TestQuaylinkEndToEnd::debitNotConfirmed()
{
    QFETCH(QStringList, faults);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(4));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, faults);
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.has(QStringLiteral("Message Sent but Balance not Deducted 4 , Contect to your vendor ")),
             qPrintable(run.lines.join(u'\n')));
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("DelSent"), 4}}));
    // Uploaded once only: an unconfirmed debit never sends the messages again.
    QCOMPARE(gateway.log(QStringLiteral("message")).size(), 4);
}

void TestQuaylinkEndToEnd::failedUploadReturnsRowsToTheQueue_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("refused chunk") << QStringList{"--refuse-chunk", "2"};
    QTest::newRow("dropped chunk") << QStringList{"--drop-connection", "chunk:2"};
}

void TestQuaylinkEndToEnd::failedUploadReturnsRowsToTheQueue()
{
    QFETCH(QStringList, faults);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, incompressible(30));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, faults);
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.lines.contains(QStringLiteral("Send Fail!")));
    QVERIFY(run.has(QStringLiteral("Sent: Failed 30 ")));
    // The next pass sends them under a new name.
    QVERIFY(run.has(QStringLiteral("Successfully Sent: 30 ")));
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 30}}));
    const QList<QJsonObject> uploads = gateway.log(QStringLiteral("upload"));
    QVERIFY(!uploads.isEmpty());
    QVERIFY(uploads.last().value(QLatin1String("valid")).toBool());
    QCOMPARE(uploads.last().value(QLatin1String("messages")).toInt(), 30);
    QVERIFY(uploads.last().value(QLatin1String("chunks")).toInt() >= 3);
}

void TestQuaylinkEndToEnd::chunkRepliesInAnyCase()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, incompressible(20));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                    {QStringLiteral("--reply-case"), QStringLiteral("capitalised")});
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 20}}));
}

void TestQuaylinkEndToEnd::checkAndLoginReplies_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<int>("sent");
    QTest::newRow("check reply in other case") << QStringList{"--check-reply", "server connected"}
                                               << QStringLiteral("Server: NOT Connected ") << 1 << 0;
    QTest::newRow("check reply with a line break") << QStringList{"--check-reply", "Server Connected\n"}
                                                   << QStringLiteral("Server: NOT Connected ") << 1 << 0;
    QTest::newRow("refused account") << QStringList{"--login-reply", "logonno||0"}
                                     << QStringLiteral("Login: Incorrect!") << 1 << 0;
    QTest::newRow("failed login") << QStringList{"--login-reply", "maintenance"}
                                  << QStringLiteral("Login: Fail!") << 1 << 0;
    QTest::newRow("balance with blanks") << QStringList{"--login-reply", "logonyes||  250"}
                                         << QStringLiteral("Successfully Sent: 2 ") << 0 << 2;
}

void TestQuaylinkEndToEnd::checkAndLoginReplies()
{
    QFETCH(QStringList, faults);
    QFETCH(QString, line);
    QFETCH(int, exitCode);
    QFETCH(int, sent);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(2));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, faults);
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.has(line), qPrintable(run.lines.join(u'\n')));
    QCOMPARE(statuses(*store).value(QStringLiteral("Sent")), sent);
    QCOMPARE(statuses(*store).value(QStringLiteral("Queued")), 2 - sent);
}

void TestQuaylinkEndToEnd::passwordReachesTheGatewayIntact()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(1));
    const QString password = QStringLiteral("a+b&c=d?e#f%25g");
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, {},
                    QStringLiteral("broker%1 %2 100\n").arg(QStringLiteral("&1"), password));
    const ServerRun run =
        runServer(env, QStringList{"--headless", "--connect", "--user", "broker&1", "--password", password,
                                   "--server", "9", "--gateway", gateway.address(), "--exit-when-idle"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 1}}));
}

void TestQuaylinkEndToEnd::searchAlternatesBetweenServersOneAndTwo()
{
    TestEnvironment env;
    {
        QSettings settings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvra"),
                           QStringLiteral("Kelvra"));
        settings.setValue(QStringLiteral("QUAYLINK/Server1"), QStringLiteral("127.0.0.1:1"));
        settings.setValue(QStringLiteral("QUAYLINK/Server2"), QStringLiteral("127.0.0.1:2"));
    }
    auto store = env.openStore();
    queue(*store, numbered(1));
    const ServerRun run =
        runServer(env, QStringList{"--headless", "--connect", "--user", "demo", "--password", "demo",
                                   "--server", "1", "--exit-when-idle"});
    QCOMPARE(run.exitCode, 1);
    QStringList attempts;
    for (const QString& line : run.lines) {
        if (line.startsWith(QLatin1String("Server: Trying")))
            attempts << line;
    }
    QCOMPARE(attempts, (QStringList{"Server: Trying to Connect server - 1 Server NO =1",
                                    "Server: Trying to Connect server - 2 Server NO =1",
                                    "Server: Trying to Connect server - 1 Server NO =2",
                                    "Server: Trying to Connect server - 2 Server NO =2"}));
    QCOMPARE(run.lines.last(), QStringLiteral("Server: NOT Connected "));
}

void TestQuaylinkEndToEnd::secondServerOnTheSameStoreIsRefused()
{
    TestEnvironment env;
    env.openStore();
    QProcess first;
    first.setProcessEnvironment(env.processEnvironment());
    first.start(QStringLiteral(QUAYLINK_EXE), {QStringLiteral("--headless")});
    QVERIFY(first.waitForReadyRead(30000));
    QVERIFY(
        QString::fromUtf8(first.readAllStandardOutput()).contains(QLatin1String("DatabaseLoad: Success")));

    const ServerRun second = runServer(env, {QStringLiteral("--headless")});
    QCOMPARE(second.exitCode, 1);
    QCOMPARE(second.lines, QStringList{QStringLiteral("SERVER Allready Running")});

    QCOMPARE(first.state(), QProcess::Running);
    first.terminate();
    QVERIFY(first.waitForFinished(30000));
    QCOMPARE(first.exitCode(), 0);
}

void TestQuaylinkEndToEnd::serverKilledDuringAPassLeavesRowsDeleted()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(3));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                    {QStringLiteral("--delay-ms"), QStringLiteral("20000"), QStringLiteral("--delay-page"),
                     QStringLiteral("chunk")});
    QProcess server;
    server.setProcessEnvironment(env.processEnvironment());
    server.start(QStringLiteral(QUAYLINK_EXE), serverArguments(gateway, {}));
    QVERIFY(waitForStatus(*store, QStringLiteral("Read")));
    server.kill();
    QVERIFY(server.waitForFinished());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Read"), 3}}));

    QProcess restarted;
    restarted.setProcessEnvironment(env.processEnvironment());
    restarted.start(QStringLiteral(QUAYLINK_EXE), {QStringLiteral("--headless")});
    QVERIFY(restarted.waitForReadyRead(30000));
    restarted.terminate();
    QVERIFY(restarted.waitForFinished(30000));
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Deleted"), 3}}));
}

void TestQuaylinkEndToEnd::serverEndedDuringAPassRequeuesItsRows()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, incompressible(30));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                    {QStringLiteral("--delay-ms"), QStringLiteral("1500"), QStringLiteral("--delay-page"),
                     QStringLiteral("chunk")});
    QProcess server;
    server.setProcessEnvironment(env.processEnvironment());
    server.start(QStringLiteral(QUAYLINK_EXE), serverArguments(gateway, {}));
    QVERIFY(waitForStatus(*store, QStringLiteral("Read")));
    server.terminate();
    QVERIFY(server.waitForFinished(60000));
    QCOMPARE(server.exitStatus(), QProcess::NormalExit);
    QCOMPARE(server.exitCode(), 0);
    // The upload was cut short before its last chunk: nothing was sent, everything is queued again.
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Queued"), 30}}));
    for (const QJsonObject& upload : gateway.log(QStringLiteral("upload")))
        QVERIFY(!upload.value(QLatin1String("valid")).toBool());
}

QTEST_GUILESS_MAIN(TestQuaylinkEndToEnd)
#include "tst_quaylink_e2e.moc"
