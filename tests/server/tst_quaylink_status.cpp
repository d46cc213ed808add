#include "ServerHarness.h"

#include "DispatchQueue.h"
#include "PassJournal.h"
#include "ProgramRun.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSysInfo>
#include <QTest>

namespace {

const QString kUpload = QStringLiteral("20261208_140211000_1_NWM");

// The rows of a pass that took every queued row, as the server marks them.
void beginPass(const Store& store)
{
    const DispatchQueue queue(store);
    QList<int> nids;
    for (const DispatchQueue::Row& row : queue.selectQueued(2000))
        nids << row.nid;
    Transaction transaction(store);
    queue.markRead(nids, QDateTime::currentDateTime());
    PassJournal(store).begin(kUpload, QStringLiteral("demo"), nids);
    transaction.commit();
}

/// Brings the store into a state `quaylink status` reports, as the server and the desks would leave it.
void prepare(const Store& store, const QString& state)
{
    if (state == QLatin1String("empty"))
        return;
    queue(store, numbered(3));
    const PassJournal journal(store);
    if (state == QLatin1String("old")) {
        store.exec(QStringLiteral("UPDATE MessageQueue SET QDateTime = ?"),
                   {store.dateTimeValue(QDateTime::currentDateTime().addSecs(-20 * 60))});
    } else if (state == QLatin1String("sent") || state == QLatin1String("delsent")) {
        beginPass(store);
        journal.setStage(kUpload, PassJournal::Stage::Debited);
        journal.finish(kUpload,
                       state == QLatin1String("sent") ? QStringLiteral("Sent") : QStringLiteral("DelSent"),
                       4.1);
    } else if (state == QLatin1String("cut")) {
        beginPass(store);
        journal.setStage(kUpload, PassJournal::Stage::LastPosted);
        journal.resolveInterrupted(QStringLiteral("Deleted"));
    } else if (state == QLatin1String("reading")) {
        beginPass(store);
    }
}

QJsonValue at(const QJsonValue& root, const QString& path)
{
    QJsonValue value = root;
    for (const QString& key : path.split(u'.')) {
        bool index = false;
        const int position = key.toInt(&index);
        value = index ? value.toArray().at(position) : value.toObject().value(key);
    }
    return value;
}

} // namespace

/// `quaylink status` run as a monitor runs it, on stores in each state it tells apart.
class TestQuaylinkStatus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tellsTheHealth_data();
    void tellsTheHealth();
    void refusals_data();
    void refusals();
};

void TestQuaylinkStatus::tellsTheHealth_data()
{
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("serverRuns");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("text"); // lines starting so
    QTest::addColumn<QVariantMap>("json");
    const QString host = QSysInfo::machineHostName();
    QTest::newRow("empty, no server")
        << "empty" << false << QStringList() << 0
        << QStringList{"Server: none holds the store's lock", "Queued: 0", "Health: OK"}
        << QVariantMap{{"server.holdsLock", false}, {"queued", 0}, {"lastPass", {}}};
    QTest::newRow("texts wait, no server")
        << "waiting" << false << QStringList() << 1
        << QStringList{"Queued: 3 (admin 3); oldest ",
                       "Health: needs a person: no server holds the store's lock while 3 texts wait"}
        << QVariantMap{{"healthy", false}, {"queuedByUser.admin", 3}};
    QTest::newRow("texts wait, a server holds the lock")
        << "waiting" << true << QStringList() << 0
        << QStringList{"Server: holds the store's lock since ", "Health: OK"}
        << QVariantMap{{"server.holdsLock", true}, {"server.host", host}, {"queued", 3}};
    QTest::newRow("oldest text past --max-age")
        << "old" << true << QStringList() << 1
        << QStringList{"Health: needs a person: the oldest queued text has waited 20 min, over 15"}
        << QVariantMap{{"healthy", false}};
    QTest::newRow("oldest text within --max-age 30")
        << "old" << true << QStringList{"--max-age", "30"} << 0 << QStringList{"Health: OK"}
        << QVariantMap{{"healthy", true}};
    QTest::newRow("a pass sent its texts")
        << "sent" << true << QStringList() << 0 << QStringList{"Last pass: ", "Today: Sent 3", "Health: OK"}
        << QVariantMap{{"lastPass.rows", 3},
                       {"lastPass.outcome", "Sent"},
                       {"lastPass.uploadName", kUpload},
                       {"today.Sent", 3},
                       {"readNow", 0}};
    QTest::newRow("debit not confirmed")
        << "delsent" << true << QStringList() << 1
        << QStringList{"Health: needs a person: 0 texts Deleted and 3 DelSent today"}
        << QVariantMap{{"lastPass.outcome", "DelSent"}, {"today.DelSent", 3}};
    QTest::newRow("cut short after the last chunk")
        << "cut" << true << QStringList() << 1
        << QStringList{"Cut short today: " + kUpload, "Health: needs a person: pass " + kUpload}
        << QVariantMap{{"interruptedToday.0.outcome", "Deleted"},
                       {"interruptedToday.0.settled", "start-up"},
                       {"interruptedToday.0.rows", 3},
                       {"today.Deleted", 3},
                       {"lastPass", {}}};
    QTest::newRow("pass in progress")
        << "reading" << true << QStringList() << 0
        << QStringList{"Read now: 3", "Pass in progress: " + kUpload + ", 3 rows, stage marked", "Health: OK"}
        << QVariantMap{{"readNow", 3}, {"openPasses.0.stage", "marked"}, {"openPasses.0.rows", 3}};
    QTest::newRow("pass cut short, no server to settle it")
        << "reading" << false << QStringList() << 1
        << QStringList{"Pass cut short, not settled yet: " + kUpload,
                       "Health: needs a person: no server holds the store's lock while 3 texts wait"}
        << QVariantMap{{"readNow", 3}, {"queued", 0}};
}

void TestQuaylinkStatus::tellsTheHealth()
{
    QFETCH(QString, state);
    QFETCH(bool, serverRuns);
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QStringList, text);
    QFETCH(QVariantMap, json);
    TestEnvironment env;
    auto store = env.openStore();
    NotifySocket notify(env.path(QStringLiteral("notify")));
    std::unique_ptr<ServerProcess> server;
    if (serverRuns) {
        // Started first, and done with its start-up, which settles whatever pass the store shows cut short.
        server = std::make_unique<ServerProcess>(env, QStringList{QStringLiteral("--headless")},
                                                 notify.variables());
        QTRY_COMPARE_WITH_TIMEOUT(notify.count(QStringLiteral("READY=1")), 1, 60000);
    }
    prepare(*store, state);

    const ProgramRun run =
        RunProgram(QStringLiteral(QUAYLINK_EXE), QStringList{"status"} + options, env.processEnvironment());
    QVERIFY2(run.exitCode == exitCode, qPrintable(run.out + run.err));
    const QStringList lines = run.outLines();
    for (const QString& start : std::as_const(text))
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString& line) { return line.startsWith(start); }),
                 qPrintable(start + QStringLiteral(" not in:\n") + run.out));

    const ProgramRun asJson = RunProgram(QStringLiteral(QUAYLINK_EXE),
                                         QStringList{"status", "--json"} + options, env.processEnvironment());
    QCOMPARE(asJson.exitCode, exitCode);
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(asJson.out.toUtf8(), &error);
    QVERIFY2(document.isObject(), qPrintable(error.errorString() + asJson.out));
    QCOMPARE(at(document.object(), QStringLiteral("healthy")).toBool(), exitCode == 0);
    QCOMPARE(at(document.object(), QStringLiteral("problems")).toArray().isEmpty(), exitCode == 0);
    for (auto expected = json.begin(); expected != json.end(); ++expected)
        QVERIFY2(at(document.object(), expected.key()) == QJsonValue::fromVariant(expected.value()),
                 qPrintable(expected.key() + QStringLiteral(" in:\n") + asJson.out));
    if (server)
        QCOMPARE(server->stop().exitCode, 0);
}

void TestQuaylinkStatus::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    QTest::newRow("--max-age not a number")
        << QStringList{"--max-age", "ten"} << 2 << "--max-age takes whole minutes";
    QTest::newRow("unknown option") << QStringList{"--headless"} << 2 << "headless";
    QTest::newRow("stray argument") << QStringList{"now"} << 2 << "unexpected argument 'now'";
    QTest::newRow("no such store") << QStringList{"--store", "missing/SMSDB.db"} << 1
                                   << "cannot read the message store";
}

// A store that is not there stays so: the status command only reads.
void TestQuaylinkStatus::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    TestEnvironment env;
    const QStringList absolute =
        arguments.replaceInStrings(QStringLiteral("missing/"), env.path(QStringLiteral("missing/")));
    const ProgramRun run =
        RunProgram(QStringLiteral(QUAYLINK_EXE), QStringList{"status"} + absolute, env.processEnvironment());
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.startsWith(QLatin1String("quaylink status: ")) && run.err.contains(reason),
             qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QVERIFY(!QFile::exists(env.path(QStringLiteral("missing"))));
}

QTEST_GUILESS_MAIN(TestQuaylinkStatus)
#include "tst_quaylink_status.moc"
