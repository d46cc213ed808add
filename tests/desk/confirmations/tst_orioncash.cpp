#include "CashConfirmations.h"
#include "DeskSession.h"
#include "GoldenCase.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QTest>

#include <algorithm>

/// The Orion-layout cash files through the cash-market engine: golden folders through reading and
/// generating, sending under each screen's id, and the positions as the engine loads them.
class TestOrionCash : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sendTakesABatchOnEveryPress_data();
    void sendTakesABatchOnEveryPress();
    void unusablePositionsAreRefused_data();
    void unusablePositionsAreRefused();
    void golden_data();
    void golden();
};

void TestOrionCash::sendTakesABatchOnEveryPress_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("appId");
    QTest::newRow("orion-bse") << "orion-bse"
                               << "BSE";
    // Worded by the BSE query, but queued as the NSE screen's.
    QTest::newRow("orion-nse") << "orion-nse"
                               << "NSE";
}

void TestOrionCash::sendTakesABatchOnEveryPress()
{
    QFETCH(QString, kind);
    QFETCH(QString, appId);
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    CashConfirmations engine(session, KindNamed(kind));
    const QList<QueueGridRow> grid = {{"9820012345", "EOD AB100:RELIANCE Buy 10@2450.25"},
                                      {"", "EOD CD200:TCS Sell 3@3301.10"}};
    QCOMPARE(engine.send(grid), 1);
    QCOMPARE(engine.send({}), 0);
    QCOMPARE(engine.send(grid), 1);

    QSqlQuery rows = store->exec(QStringLiteral("SELECT BatchNo, AppID FROM MessageQueue ORDER BY nid"));
    QStringList queued;
    while (rows.next())
        queued << rows.value(0).toString() + u' ' + rows.value(1).toString();
    QCOMPARE(queued, QStringList({"1 " + appId, "3 " + appId}));
}

void TestOrionCash::unusablePositionsAreRefused_data()
{
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("named");
    QTest::newRow("row missing") << "DELETE FROM bnfOrion WHERE Exchange = 'N'"
                                 << "row N";
    QTest::newRow("empty") << "UPDATE bnfOrion SET clientlen = NULL WHERE Exchange = 'N'"
                           << "Client column length (clientlen) of bnfOrion row N is \"\"";
    QTest::newRow("negative") << "UPDATE bnfOrion SET buyratestart = -1 WHERE Exchange = 'N'"
                              << "Buy Rate column start (buyratestart) of bnfOrion row N is \"-1\"";
    QTest::newRow("beyond 16 bits") << "UPDATE bnfOrion SET saleratelen = 32768 WHERE Exchange = 'N'"
                                    << "Sale Rate column length (saleratelen) of bnfOrion row N is \"32768\"";
}

void TestOrionCash::unusablePositionsAreRefused()
{
    QFETCH(QString, statement);
    QFETCH(QString, named);
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    CashConfirmations engine(session, KindNamed(QStringLiteral("orion-nse")));
    engine.loadPositions();
    store->exec(statement);
    try {
        engine.loadPositions();
        QFAIL("unusable positions were loaded");
    } catch (const StoreError& error) {
        QVERIFY2(error.message().contains(named), qPrintable(error.message()));
    }
    // The largest position is still one; the other exchange's row is its own.
    store->exec(QStringLiteral("UPDATE bnfOrion SET saleratelen = 32767 WHERE Exchange = 'B'"));
    CashConfirmations(session, KindNamed(QStringLiteral("orion-bse"))).loadPositions();
}

// The golden folders also hold the expected staged.txt, warnings.txt and messages.txt.
void TestOrionCash::golden_data()
{
    GoldenCase::addRows(QStringLiteral(GOLDEN_DIR));
}

void TestOrionCash::golden()
{
    GoldenCase golden;
    QVERIFY(golden.run({QStringLiteral("orion-bse"), QStringLiteral("orion-nse")}));

    // Quoted: a code cut from a fixed-width field keeps its blanks.
    const QStringList warnings = golden.warnings(QStringLiteral("Not Found: \"%1\""));
    QCOMPARE(warnings, golden.expected(QStringLiteral("warnings.txt"), warnings));
    // msf1's first column is empty on these screens; rows that tie on client code, script name and
    // buy/sale come in no fixed order.
    QStringList staged = JoinedRows(golden.engine().stagedGrid(), 1);
    std::sort(staged.begin(), staged.end());
    QCOMPARE(staged, golden.expected(QStringLiteral("staged.txt"), staged));
    QCOMPARE(golden.report().staged, qint64(staged.size()));
    const QStringList messages = golden.messages();
    QCOMPARE(messages, golden.expected(QStringLiteral("messages.txt"), messages));
}

QTEST_GUILESS_MAIN(TestOrionCash)
#include "tst_orioncash.moc"
