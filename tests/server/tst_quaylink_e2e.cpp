#include "ServerHarness.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Gateway = LocalGateway;

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
    void passwordOffTheCommandLine_data();
    void passwordOffTheCommandLine();
    void passesTakeAtMost2000();
    void passesInOrderAtLatency_data();
    void passesInOrderAtLatency();
    void exitWhenIdleWaitsForSlowChunks();
    void lineBreaksAndUnusableNumbers_data();
    void lineBreaksAndUnusableNumbers();
    void unusableNumbersDoNotHoldUpTheQueue_data();
    void unusableNumbersDoNotHoldUpTheQueue();
    void uploadFileIsOwnerOnly_data();
    void uploadFileIsOwnerOnly();
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
    void secondServerOnTheSameStoreIsRefused_data();
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
                   {QStringLiteral("98123"), QStringLiteral("too short")},
                   {QStringLiteral("9812345674"), QStringLiteral("Paid \u20B9500 \U0001F600")}});
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    const ServerRun run = runServer(env, serverArguments(gateway, {}));
    QCOMPARE(run.err, QString());
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.has(QStringLiteral("Successfully Sent: 3 ")), qPrintable(run.lines.join(u'\n')));

    const QList<QJsonObject> messages = gateway.log(QStringLiteral("message"));
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages[0].value(QLatin1String("number")).toString(), QStringLiteral("9812345670"));
    QCOMPARE(messages[0].value(QLatin1String("text")).toString(),
             QStringLiteral("Dear Ravi, C1: RELIANCE Buy 10@2450.00,"));
    // A 12-character number is sent as its last ten; the text arrives exactly as queued.
    QCOMPARE(messages[1].value(QLatin1String("number")).toString(), QStringLiteral("9812345671"));
    QCOMPARE(messages[1].value(QLatin1String("text")).toString(), accented);
    // Outside the code page: the rupee sign in its readable form, the emoji lost.
    QCOMPARE(messages[2].value(QLatin1String("text")).toString(), QStringLiteral("Paid Rs.500 ?"));

    QCOMPARE(statusOf(*store, QStringLiteral("9812345670")), QStringLiteral("Sent"));
    QCOMPARE(statusOf(*store, QStringLiteral("919812345671")), QStringLiteral("Sent"));
    // Unusable numbers are never uploaded: they end "Invalid".
    QCOMPARE(statusOf(*store, QStringLiteral("+919812345672")), QStringLiteral("Invalid"));
    QCOMPARE(statusOf(*store, QStringLiteral("98123")), QStringLiteral("Invalid"));
    QCOMPARE(statusOf(*store, QStringLiteral("9812345673")), QStringLiteral("Discarded"));

    QSqlQuery taken =
        store->exec(QStringLiteral("SELECT QDateTime, DelDate FROM MessageQueue WHERE MobileNo = ?"),
                    {QStringLiteral("9812345670")});
    QVERIFY(taken.next());
    QCOMPARE(Store::readDateTime(taken.value(0)), QDate::currentDate().startOfDay());
    QVERIFY(Store::readDateTime(taken.value(1)).time().isValid());

    const QList<QJsonObject> debits = gateway.log(QStringLiteral("debit"));
    QCOMPARE(debits.size(), 1);
    QCOMPARE(debits[0].value(QLatin1String("count")).toInt(), 3);
    QVERIFY(debits[0].value(QLatin1String("matches")).toBool());
    QCOMPARE(debits[0].value(QLatin1String("balance")).toInt(), 9997);
}

void TestQuaylinkEndToEnd::passwordOffTheCommandLine_data()
{
    QTest::addColumn<QString>("environment"); // QUAYLINK_PASSWORD; none when null
    QTest::addColumn<QString>("file");        // the password file's line; no --password-file when null
    QTest::addColumn<QString>("option");      // --password; none when null
    QTest::newRow("from the environment") << "demo" << QString() << QString();
    QTest::newRow("file before the environment") << "wrong"
                                                 << "demo" << QString();
    QTest::newRow("option before the environment") << "wrong" << QString() << "demo";
}

void TestQuaylinkEndToEnd::passwordOffTheCommandLine()
{
    QFETCH(QString, environment);
    QFETCH(QString, file);
    QFETCH(QString, option);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(3));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    QStringList arguments = serverArguments(gateway);
    arguments.remove(arguments.indexOf(QStringLiteral("--password")), 2);
    if (!file.isNull()) {
        const QString path = env.path(QStringLiteral("password"));
        QFile written(path);
        QVERIFY(written.open(QIODevice::WriteOnly));
        written.write(file.toUtf8() + "\n");
        written.close();
        QVERIFY(written.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        arguments << "--password-file" << path;
    }
    if (!option.isNull())
        arguments << "--password" << option;
    QMap<QString, QString> variables;
    if (!environment.isNull())
        variables.insert(QStringLiteral("QUAYLINK_PASSWORD"), environment);
    const ServerRun run = runServer(env, arguments, variables);
    QVERIFY2(run.exitCode == 0 && run.has(QStringLiteral("Successfully Sent: 3 ")), run.describe());
    QCOMPARE(statuses(*store).value(QStringLiteral("Sent")), 3);
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

void TestQuaylinkEndToEnd::passesInOrderAtLatency_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("latency");
    QTest::addColumn<int>("uploads");
    QTest::newRow("4,500 at 200 ms") << 4500 << QStringList{"--latency-ms", "200"} << 3;
    QTest::newRow("20,000 at 50 +- 40 ms")
        << 20000 << QStringList{"--latency-ms", "50", "--jitter-ms", "40", "--seed", "7"} << 10;
}

// Slow replies must not let one pass start before the last has ended, nor a message go out twice.
void TestQuaylinkEndToEnd::passesInOrderAtLatency()
{
    QFETCH(int, count);
    QFETCH(QStringList, latency);
    QFETCH(int, uploads);
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(count));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env, latency, QStringLiteral("demo demo 100000\n"));
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const ServerRun run = runServer(env, serverArguments(gateway), {}, 400000);
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), count}}));
    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    QCOMPARE(log.passes.size(), uploads);
    QCOMPARE(log.debited(), uploads);
    QCOMPARE(decodedOnce(gateway, count), QString());
}

void TestQuaylinkEndToEnd::exitWhenIdleWaitsForSlowChunks()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, incompressible(30));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                    {QStringLiteral("--delay-ms"), QStringLiteral("1000"), QStringLiteral("--delay-page"),
                     QStringLiteral("chunk")});
    const ServerRun run = runServer(env, serverArguments(gateway));
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 30}}));
    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    QCOMPARE(log.passes.size(), 1);
    QVERIFY(log.passes[0].chunks >= 3);
    QVERIFY(log.passes[0].debited);
    QCOMPARE(decodedOnce(gateway, 30), QString());
}

void TestQuaylinkEndToEnd::lineBreaksAndUnusableNumbers_data()
{
    // NULL stands for a row whose MobileNo is NULL.
    QTest::addColumn<QString>("mobile");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("number"); // as the gateway decodes it; empty when never uploaded
    QTest::addColumn<QString>("decoded");
    const QString good = QStringLiteral("9812345670");
    const QString text = QStringLiteral("C1: RELIANCE Buy 10@2450.00");
    QTest::newRow("text: CR LF around ten digits")
        << good << QStringLiteral("Hello\r\n9999999999\r\nspoofed") << QStringLiteral("Sent") << good
        << QStringLiteral("Hello\n9999999999\nspoofed");
    QTest::newRow("text: lone CR") << good << QStringLiteral("Buy 10\rRELIANCE") << QStringLiteral("Sent")
                                   << good << QStringLiteral("Buy 10\nRELIANCE");
    QTest::newRow("text: lone LF") << good << QStringLiteral("Buy 10\nRELIANCE") << QStringLiteral("Sent")
                                   << good << QStringLiteral("Buy 10\nRELIANCE");
    QTest::newRow("text: CR then CR LF")
        << good << QStringLiteral("Buy 10\r\r\nRELIANCE") << QStringLiteral("Sent") << good
        << QStringLiteral("Buy 10\n\nRELIANCE");
    QTest::newRow("number: CR LF before ten digits")
        << QStringLiteral("\r\n9812345670") << text << QStringLiteral("Sent") << good << text;
    QTest::newRow("number: CR LF after ten digits")
        << QStringLiteral("9812345670\r\n") << text << QStringLiteral("Invalid") << QString() << QString();
    QTest::newRow("number: a letter")
        << QStringLiteral("98123O5670") << text << QStringLiteral("Invalid") << QString() << QString();
    QTest::newRow("number: a blank") << QStringLiteral("98123 45670") << text << QStringLiteral("Invalid")
                                     << QString() << QString();
    QTest::newRow("number: NULL") << QStringLiteral("NULL") << text << QStringLiteral("Invalid") << QString()
                                  << QString();
}

// Each row is queued ahead of a good message; both go in one pass.
void TestQuaylinkEndToEnd::lineBreaksAndUnusableNumbers()
{
    QFETCH(QString, mobile);
    QFETCH(QString, text);
    QFETCH(QString, status);
    QFETCH(QString, number);
    QFETCH(QString, decoded);
    TestEnvironment env;
    auto store = env.openStore();
    const QString companion = QStringLiteral("9800000001");
    queue(*store, {{mobile, text}, {companion, QStringLiteral("companion")}});
    store->exec(QStringLiteral("UPDATE MessageQueue SET MobileNo = NULL WHERE MobileNo = ?"),
                {QStringLiteral("NULL")});
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    const ServerRun run = runServer(env, serverArguments(gateway));
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(statusesInQueueOrder(*store), (QStringList{status, QStringLiteral("Sent")}));

    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    QCOMPARE(log.passes.size(), 1);
    QCOMPARE(decodedOnce(gateway, number.isEmpty() ? 1 : 2), QString());
    QMap<QString, QString> messages;
    for (const QJsonObject& message : gateway.log(QStringLiteral("message")))
        messages.insert(message.value(QLatin1String("number")).toString(),
                        message.value(QLatin1String("text")).toString());
    QCOMPARE(messages.value(companion), QStringLiteral("companion"));
    if (!number.isEmpty())
        QCOMPARE(messages.value(number), decoded);
}

void TestQuaylinkEndToEnd::unusableNumbersDoNotHoldUpTheQueue_data()
{
    QTest::addColumn<int>("unusable");
    QTest::addColumn<int>("good");
    QTest::newRow("only unusable numbers") << 4 << 0;
    QTest::newRow("30 unusable ahead of 5 good") << 30 << 5;
}

void TestQuaylinkEndToEnd::unusableNumbersDoNotHoldUpTheQueue()
{
    QFETCH(int, unusable);
    QFETCH(int, good);
    TestEnvironment env;
    auto store = env.openStore();
    const QStringList kinds{QStringLiteral("98123"), QStringLiteral("98123O5670"),
                            QStringLiteral("9812345670\r\n"), QStringLiteral("+919812345672")};
    QList<std::pair<QString, QString>> messages;
    for (int i = 0; i < unusable; ++i)
        messages.push_back({kinds[i % kinds.size()], QStringLiteral("unusable %1").arg(i)});
    queue(*store, messages + numbered(good));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    const ServerRun run = runServer(env, serverArguments(gateway));
    QVERIFY2(run.exitCode == 0, run.describe());
    QMap<QString, int> expected{{QStringLiteral("Invalid"), unusable}};
    if (good > 0)
        expected.insert(QStringLiteral("Sent"), good);
    QCOMPARE(statuses(*store), expected);
    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty(), qPrintable(log.error));
    QCOMPARE(log.passes.size(), good > 0 ? 1 : 0);
    QCOMPARE(decodedOnce(gateway, good), QString());
}

void TestQuaylinkEndToEnd::uploadFileIsOwnerOnly_data()
{
    QTest::addColumn<bool>("leftOpen");
    QTest::newRow("new folders") << false;
    QTest::newRow("folders and file left open by an earlier version") << true;
}

// The upload file holds every message of a pass in the clear.
void TestQuaylinkEndToEnd::uploadFileIsOwnerOnly()
{
    QFETCH(bool, leftOpen);
    TestEnvironment env;
    auto store = env.openStore();
    const QString sms = QDir(env.dataDir()).filePath(QStringLiteral("SMS"));
    const QString pending = QDir(sms).filePath(QStringLiteral("Pending"));
    const QString upload = QDir(pending).filePath(QStringLiteral("demo_NWM.SMS"));
    if (leftOpen) {
        QVERIFY(QDir().mkpath(pending));
        QFile file(upload);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QVERIFY(::chmod(qPrintable(sms), 0755) == 0 && ::chmod(qPrintable(pending), 0755) == 0 &&
                ::chmod(qPrintable(upload), 0644) == 0);
    }
    queue(*store, numbered(2));
    Gateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    const ServerRun run = runServer(env, serverArguments(gateway));
    QVERIFY2(run.exitCode == 0, run.describe());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Sent"), 2}}));
    const auto mode = [](const QString& path) {
        struct stat info = {};
        return ::stat(qPrintable(path), &info) == 0 ? int(info.st_mode & 07777) : -1;
    };
    QCOMPARE(mode(sms), 0700);
    QCOMPARE(mode(pending), 0700);
    QCOMPARE(mode(upload), 0600);
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

void TestQuaylinkEndToEnd::secondServerOnTheSameStoreIsRefused_data()
{
    QTest::addColumn<QString>("link"); // how the second names the store file: its own path, or a link to it
    QTest::newRow("same store") << QString();
    QTest::newRow("through a symbolic link") << QStringLiteral("symbolic");
    QTest::newRow("through a hard link") << QStringLiteral("hard");
}

void TestQuaylinkEndToEnd::secondServerOnTheSameStoreIsRefused()
{
    QFETCH(QString, link);
    TestEnvironment env;
    if (!link.isEmpty() && TestEnvironment::onPostgres())
        QSKIP("a link names an SQLite store only");
    env.openStore();
    QStringList arguments{QStringLiteral("--headless")};
    if (!link.isEmpty()) {
        const QString linked = env.path(QStringLiteral("link.db"));
        if (link == u"symbolic")
            QVERIFY(QFile::link(env.storeUrl(), linked));
        else
            QCOMPARE(::link(qPrintable(env.storeUrl()), qPrintable(linked)), 0);
        arguments << QStringLiteral("--store") << linked;
    }
    QProcess first;
    first.setProcessEnvironment(env.processEnvironment());
    first.start(QStringLiteral(QUAYLINK_EXE), {QStringLiteral("--headless")});
    QVERIFY(first.waitForReadyRead(30000));
    QVERIFY(
        QString::fromUtf8(first.readAllStandardOutput()).contains(QLatin1String("DatabaseLoad: Success")));

    const ServerRun second = runServer(env, arguments, {}, 30000);
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
    // Killed while it waits for the reply to its last chunk, which the gateway has decoded.
    QTRY_VERIFY_WITH_TIMEOUT(!gateway.log(QStringLiteral("upload")).isEmpty(), 30000);
    server.kill();
    QVERIFY(server.waitForFinished());
    QCOMPARE(statuses(*store), (QMap<QString, int>{{QStringLiteral("Read"), 3}}));
    const PassLog log = checkPassesOrdered(gateway);
    QVERIFY2(log.error.isEmpty() && log.passes.size() == 1, qPrintable(log.error));

    const ServerRun restarted = runStartUp(env, QStringLiteral("Interrupted pass "));
    QVERIFY2(
        restarted.lines.contains(QStringLiteral("Interrupted pass %1: 0 Queued, 0 Sent, 0 DelSent, 3 Deleted")
                                     .arg(log.passes[0].upload)),
        restarted.describe());
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
