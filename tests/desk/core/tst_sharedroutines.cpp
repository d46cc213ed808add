#include "DeskSession.h"
#include "MessageText.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QSqlRecord>
#include <QTest>

namespace {

struct QueueRow
{
    QString mobileNo, message, userName, appId, superUser;
    int batchNo;
};

QList<QueueRow> queueRows(const Store& store)
{
    QList<QueueRow> rows;
    QSqlQuery query = store.exec(QStringLiteral(
        "SELECT MobileNo, Message, UserName, AppID, SuperUser, BatchNo FROM MessageQueue ORDER BY nid"));
    while (query.next())
        rows.push_back({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                        query.value(3).toString(), query.value(4).toString(), query.value(5).toInt()});
    return rows;
}

} // namespace

/// The desk program's shared routines and program-wide values.
class TestSharedRoutines : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanMobileNumber_data();
    void cleanMobileNumber();
    void messageLength_data();
    void messageLength();
    void startupSettings();
    void startupSettingsWithoutRow();
    void nextBatchNumberHandsOutTheStoredValue();
    void nextBatchNumberFailsWithoutConfigRow();
    void addToQueueStampsTheSession();
    void addToQueueRemovesOnlyQuotesFromTheText();
    void queueBatchSendsUnderOneBatchNumber();
    void queueBatchKeepsWhatWentInBeforeAFailure();
};

void TestSharedRoutines::cleanMobileNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("blanks and comma") << QStringLiteral("  98 765,43210 ") << QStringLiteral("9876543210");
    QTest::newRow("no-break space") << QStringLiteral("98765\u00A043210") << QStringLiteral("9876543210");
    QTest::newRow("quote inside stays a blank")
        << QStringLiteral("98765'43210") << QStringLiteral("98765 43210");
    QTest::newRow("quotes at the ends go") << QStringLiteral("'9876543210'") << QStringLiteral("9876543210");
    QTest::newRow("letters are kept")
        << QStringLiteral("+91 98765-43210") << QStringLiteral("+9198765-43210");
    QTest::newRow("empty") << QString() << QString();
}

void TestSharedRoutines::cleanMobileNumber()
{
    QFETCH(QString, typed);
    QFETCH(QString, cleaned);
    QCOMPARE(CleanMobileNumber(typed), cleaned);
}

void TestSharedRoutines::messageLength_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("length");
    QTest::newRow("letter tilde letter") << QStringLiteral("a~b") << 4;
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("plain") << QStringLiteral("Dear client") << 11;
    QTest::newRow("tildes only") << QStringLiteral("~~~") << 6;
    QTest::newRow("too long to count") << QString(40000, u'~') << 32767;
}

void TestSharedRoutines::messageLength()
{
    QFETCH(QString, text);
    QFETCH(int, length);
    QCOMPARE(int(MessageLength(text)), length);
}

void TestSharedRoutines::startupSettings()
{
    TestEnvironment env;
    auto store = env.openStore();
    store->exec(QStringLiteral("UPDATE proxyconfig SET SuperUser = ?, FileType = ?"),
                {QStringLiteral("HEADOFFICE"), QStringLiteral("ORIN")});
    DeskSession session(*store);
    QVERIFY(session.TradeFileType().isEmpty());
    session.LoadStartupSettings();
    QCOMPARE(session.SuperUserName(), QStringLiteral("HEADOFFICE"));
    QCOMPARE(session.TradeFileType(), QStringLiteral("ORIN"));
}

void TestSharedRoutines::startupSettingsWithoutRow()
{
    TestEnvironment env;
    auto store = env.openStore();
    store->exec(QStringLiteral("DELETE FROM proxyconfig"));
    DeskSession session(*store);
    session.LoadStartupSettings();
    QVERIFY(session.SuperUserName().isEmpty());
    QVERIFY(session.TradeFileType().isEmpty());
    // Messages then carry an empty super user.
    session.setCurrentUserName(QStringLiteral("admin"));
    session.AddToQueue(QStringLiteral("BSE"), QStringLiteral("9812345678"), QStringLiteral("hi"));
    QCOMPARE(queueRows(*store).first().superUser, QString());
}

void TestSharedRoutines::nextBatchNumberHandsOutTheStoredValue()
{
    TestEnvironment env;
    auto store = env.openStore();
    store->exec(QStringLiteral("UPDATE config SET batchno = ?"), {41});
    DeskSession session(*store);
    QCOMPARE(session.CurrentBatchNo(), 0);
    session.NextBatchNumber();
    QCOMPARE(session.CurrentBatchNo(), 41);
    QSqlQuery stored = store->exec(QStringLiteral("SELECT batchno FROM config"));
    QVERIFY(stored.next());
    QCOMPARE(stored.value(0).toInt(), 42);
    session.NextBatchNumber();
    QCOMPARE(session.CurrentBatchNo(), 42);
}

void TestSharedRoutines::nextBatchNumberFailsWithoutConfigRow()
{
    TestEnvironment env;
    auto store = env.openStore();
    store->exec(QStringLiteral("UPDATE config SET batchno = ?"), {9});
    DeskSession session(*store);
    session.NextBatchNumber();
    store->exec(QStringLiteral("DELETE FROM config"));
    QVERIFY_THROWS_EXCEPTION(StoreError, session.NextBatchNumber());
    // The number already taken stays in force.
    QCOMPARE(session.CurrentBatchNo(), 9);
}

void TestSharedRoutines::addToQueueStampsTheSession()
{
    TestEnvironment env;
    auto store = env.openStore();
    store->exec(QStringLiteral("UPDATE config SET batchno = ?"), {77});
    DeskSession session(*store);
    session.LoadStartupSettings();
    session.setCurrentUserName(QStringLiteral("O'Hara"));
    session.NextBatchNumber();
    session.AddToQueue(QStringLiteral("Ledger"), QStringLiteral("98'76543210"),
                       QStringLiteral("Balance 100.00"));

    const QList<QueueRow> rows = queueRows(*store);
    QCOMPARE(rows.size(), 1);
    // The number and the user name are stored as they are, quote included.
    QCOMPARE(rows[0].mobileNo, QStringLiteral("98'76543210"));
    QCOMPARE(rows[0].userName, QStringLiteral("O'Hara"));
    QCOMPARE(rows[0].message, QStringLiteral("Balance 100.00"));
    QCOMPARE(rows[0].appId, QStringLiteral("Ledger"));
    QCOMPARE(rows[0].superUser, QStringLiteral("BROKER"));
    QCOMPARE(rows[0].batchNo, 77);
}

void TestSharedRoutines::addToQueueRemovesOnlyQuotesFromTheText()
{
    TestEnvironment env;
    auto store = env.openStore();
    DeskSession session(*store);
    session.setCurrentUserName(QStringLiteral("admin"));
    const QString text = QStringLiteral("Don't forget: 50% of \"X\" \\ done ~ ok\r\nline two\t'");
    session.AddToQueue(QStringLiteral("Advanced"), QStringLiteral("9812345678"), text);
    QCOMPARE(queueRows(*store).first().message,
             QStringLiteral("Dont forget: 50% of \"X\" \\ done ~ ok\r\nline two\t"));
    // Before any batch number is taken the messages carry 0.
    QCOMPARE(queueRows(*store).first().batchNo, 0);
}

void TestSharedRoutines::queueBatchSendsUnderOneBatchNumber()
{
    TestEnvironment env;
    auto store = env.openStore();
    store->exec(QStringLiteral("UPDATE config SET batchno = ?"), {5});
    DeskSession session(*store);
    session.LoadStartupSettings();
    session.setCurrentUserName(QStringLiteral("ADMIN"));
    for (int press = 0; press < 2; ++press) {
        session.NextBatchNumber();
        QueueBatch batch(session);
        batch.AddToQueue(QStringLiteral("BSE"), QStringLiteral("9800000001"), QStringLiteral("a'1"));
        batch.AddToQueue(QStringLiteral("BSE"), QStringLiteral("9800000002"), QStringLiteral("b"));
        QCOMPARE(batch.send(), 2);
        QCOMPARE(batch.size(), 0);
    }
    const QList<QueueRow> rows = queueRows(*store);
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].message, QStringLiteral("a1"));
    QCOMPARE(rows[0].batchNo, 5);
    QCOMPARE(rows[1].batchNo, 5);
    QCOMPARE(rows[2].batchNo, 6);
    QCOMPARE(rows[3].userName, QStringLiteral("ADMIN"));
}

void TestSharedRoutines::queueBatchKeepsWhatWentInBeforeAFailure()
{
    TestEnvironment env;
    auto store = env.openStore();
    DeskSession session(*store);
    session.setCurrentUserName(QStringLiteral("admin"));
    QueueBatch batch(session);
    for (int i = 0; i < 5; ++i)
        batch.AddToQueue(QStringLiteral("BSE"), QStringLiteral("980000000%1").arg(i),
                         QStringLiteral("m%1").arg(i));
    // The store goes away part way: nothing is lost that was written, and the failure reaches the caller.
    store->close();
    QVERIFY_THROWS_EXCEPTION(StoreError, batch.send());
    auto reopened = env.openStore();
    QCOMPARE(queueRows(*reopened).size(), 0);
}

QTEST_GUILESS_MAIN(TestSharedRoutines)
#include "tst_sharedroutines.moc"
