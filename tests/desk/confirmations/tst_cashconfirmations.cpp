#include "CashConfirmations.h"
#include "ClientTable.h"
#include "ColumnPositions.h"
#include "DeskSession.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <algorithm>

namespace {

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

QStringList readLines(const QString& path)
{
    QStringList lines = readText(path).split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void writeLines(const QString& path, const QStringList& lines)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    for (const QString& line : lines)
        file.write(line.toUtf8() + '\n');
}

void storeClients(const Store& store, const QString& csv)
{
    const QStringList lines = readLines(csv);
    for (const QString& line : lines.mid(1)) {
        const QStringList fields = line.split(u',');
        ClientTable(store).insert({0, fields.value(0), fields.value(1), fields.value(2), fields.value(3)});
    }
}

void writeTradeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

/// The cash-market confirmation engine: golden folders through reading and generating, and sending.
class TestCashConfirmations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void golden_data();
    void golden();
    void sendQueuesCompleteRows_data();
    void sendQueuesCompleteRows();
    void readReportsProgressByBytesAndUnreadableFiles();
    void positionsMustBeFieldNumbers_data();
    void positionsMustBeFieldNumbers();
};

// A golden folder holds kind (bse or nse), trades*.txt read in name order, clients.csv
// (name,mobile,code,email), optionally positions (five numbers) and prefix (the text as typed), and
// the expected staged.txt, summary.txt, warnings.txt and messages.txt. KELVRA_GOLDEN_UPDATE=1 writes the
// expected files from what the engine does, to be read over before they are kept.
void TestCashConfirmations::golden_data()
{
    QTest::addColumn<QString>("folder");
    const QDir root(QStringLiteral(GOLDEN_DIR));
    const QStringList cases = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    QVERIFY(!cases.isEmpty());
    for (const QString& name : cases)
        QTest::newRow(qPrintable(name)) << root.filePath(name);
}

void TestCashConfirmations::golden()
{
    QFETCH(QString, folder);
    const QDir dir(folder);
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);

    const QString kind = readText(dir.filePath(QStringLiteral("kind"))).trimmed();
    QVERIFY(kind == "bse" || kind == "nse");
    CashConfirmations engine(session, kind == "bse" ? CashExchange::Bse : CashExchange::Nse);
    if (dir.exists(QStringLiteral("positions"))) {
        QList<int> positions;
        const QStringList numbers =
            readText(dir.filePath(QStringLiteral("positions"))).split(u' ', Qt::SkipEmptyParts);
        for (const QString& number : numbers)
            positions << number.trimmed().toInt();
        QVERIFY(ColumnPositions(*store).write(engine.positionsKey(), positions));
    }
    storeClients(*store, dir.filePath(QStringLiteral("clients.csv")));
    engine.open();

    QStringList files;
    for (const QString& name : dir.entryList({QStringLiteral("trades*.txt")}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    const CashReadReport report = engine.readFiles(files);

    // Rows that tie on client code, script name and buy/sale come in no fixed order.
    QStringList staged;
    for (const QStringList& row : engine.stagedTrades())
        staged << row.join(u'\t');
    std::sort(staged.begin(), staged.end());

    QStringList summary;
    for (const QStringList& row : engine.summary())
        summary << row.join(u'\t');

    QStringList warnings = report.conversionErrors + report.problems;
    for (QString& warning : warnings)
        warning.replace(dir.path() + u'/', QString());
    for (const QString& code : engine.missingClientCodes())
        warnings << QStringLiteral("Not Found: ") + code;

    const QList<QueueGridRow> grid = engine.generate(readText(dir.filePath(QStringLiteral("prefix"))));
    QStringList messages;
    for (const QueueGridRow& row : grid)
        messages << row.mobileNo + u'\t' + row.message;

    if (qEnvironmentVariableIntValue("KELVRA_GOLDEN_UPDATE") == 1) {
        writeLines(dir.filePath(QStringLiteral("staged.txt")), staged);
        writeLines(dir.filePath(QStringLiteral("summary.txt")), summary);
        writeLines(dir.filePath(QStringLiteral("warnings.txt")), warnings);
        writeLines(dir.filePath(QStringLiteral("messages.txt")), messages);
    }
    QCOMPARE(staged, readLines(dir.filePath(QStringLiteral("staged.txt"))));
    QCOMPARE(summary, readLines(dir.filePath(QStringLiteral("summary.txt"))));
    QCOMPARE(warnings, readLines(dir.filePath(QStringLiteral("warnings.txt"))));
    QCOMPARE(messages, readLines(dir.filePath(QStringLiteral("messages.txt"))));
    QCOMPARE(report.staged, qint64(staged.size()));
    for (const QueueGridRow& row : grid) {
        const bool oneLongFragment = !row.message.mid(1).contains(u',');
        QVERIFY2(row.message.size() <= 158 || oneLongFragment, qPrintable(row.message));
    }
}

void TestCashConfirmations::sendQueuesCompleteRows_data()
{
    QTest::addColumn<CashExchange>("exchange");
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QList<int>>("batches");
    // The delivered counter hands out 1 first; NSE keeps the number last taken in this run: none.
    QTest::newRow("bse") << CashExchange::Bse << "BSE" << QList<int>{1, 2};
    QTest::newRow("nse") << CashExchange::Nse << "NSE" << QList<int>{0, 0};
}

void TestCashConfirmations::sendQueuesCompleteRows()
{
    QFETCH(CashExchange, exchange);
    QFETCH(QString, appId);
    QFETCH(QList<int>, batches);
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    session.setCurrentUserName(QStringLiteral("O'Brien"));
    CashConfirmations engine(session, exchange);
    const QList<QueueGridRow> grid = {{"9820012345", "EOD AB100:RELIANCE Buy 10@2450.25"},
                                      {"", "EOD CD200:TCS Sell 3@3301.10"},
                                      {"9820054321", ""},
                                      {"9820099999", "EOD EF300:D'SOUZA Buy 1@1.00"}};
    QCOMPARE(engine.send(grid), 2);
    QCOMPARE(engine.send(grid), 2);
    QCOMPARE(engine.send({}), 0);

    QSqlQuery rows = store->exec(
        QStringLiteral("SELECT MobileNo, Message, UserName, BatchNo, AppID FROM MessageQueue ORDER BY nid"));
    QStringList queued;
    while (rows.next()) {
        QStringList row;
        for (int i = 0; i < 5; ++i)
            row << rows.value(i).toString();
        queued << row.join(u'|');
    }
    const QString user = QStringLiteral("O'Brien");
    QStringList expected;
    for (const int batch : batches) {
        expected << QStringLiteral("9820012345|EOD AB100:RELIANCE Buy 10@2450.25|%1|%2|%3")
                        .arg(user)
                        .arg(batch)
                        .arg(appId)
                 << QStringLiteral("9820099999|EOD EF300:DSOUZA Buy 1@1.00|%1|%2|%3")
                        .arg(user)
                        .arg(batch)
                        .arg(appId);
    }
    QCOMPARE(queued, expected);
    // BSE takes a number on every press, even with nothing to send.
    QCOMPARE(session.CurrentBatchNo(), exchange == CashExchange::Bse ? 3 : 0);
}

void TestCashConfirmations::readReportsProgressByBytesAndUnreadableFiles()
{
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    CashConfirmations engine(session, CashExchange::Bse);
    engine.open();

    // Large enough for several reads of the file; the last line has no line feed.
    QByteArray big;
    for (int i = 0; i < 30000; ++i)
        big += "T" + QByteArray::number(i) + "|08/12/2026|09:15:01|500325|RELIANCE|B|10|245025|AB" +
               QByteArray::number(i % 300) + "|0412|2026231\n";
    big.chop(1);
    writeTradeFile(env.path(QStringLiteral("big.txt")), big);
    const QString missing = env.path(QStringLiteral("missing.txt"));

    QList<qint64> done;
    qint64 total = -1;
    const CashReadReport report =
        engine.readFiles({env.path(QStringLiteral("big.txt")), missing, env.path(QStringLiteral("big.txt"))},
                         [&](qint64 bytes, qint64 all) {
                             done << bytes;
                             total = all;
                         });
    QCOMPARE(report.staged, 60000);
    QCOMPARE(report.problems.size(), 1);
    QVERIFY(report.problems.first().startsWith(missing + QStringLiteral(": the file cannot be read")));
    QCOMPARE(total, 2 * big.size());
    QVERIFY(done.size() > 2);
    QVERIFY(std::is_sorted(done.begin(), done.end()));
    QCOMPARE(done.last(), total);
    QCOMPARE(engine.stagedTrades().size(), 60000);

    // A new read replaces what the last one staged.
    writeTradeFile(env.path(QStringLiteral("one.txt")),
                   "T1|08/12/2026|09:15:01|500325|RELIANCE|B|10|245025|AB1|0412|2026231\n");
    QCOMPARE(engine.readFiles({env.path(QStringLiteral("one.txt"))}).staged, 1);
    QCOMPARE(engine.stagedTrades().size(), 1);
    engine.open();
    QCOMPARE(engine.stagedTrades().size(), 0);
}

void TestCashConfirmations::positionsMustBeFieldNumbers_data()
{
    QTest::addColumn<QString>("statement");
    QTest::newRow("empty position") << "UPDATE bnfconfigure SET rate = NULL WHERE cd = 'N'";
    QTest::newRow("negative position") << "UPDATE bnfconfigure SET qty = -1 WHERE cd = 'N'";
    QTest::newRow("row missing") << "DELETE FROM bnfconfigure WHERE cd = 'N'";
}

void TestCashConfirmations::positionsMustBeFieldNumbers()
{
    QFETCH(QString, statement);
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    CashConfirmations engine(session, CashExchange::Nse);
    engine.loadPositions();
    QCOMPARE(*engine.positions()[0], 7);
    store->exec(statement);
    QVERIFY_THROWS_EXCEPTION(StoreError, engine.loadPositions());
    // Months and options are not the cash screens' business: leaving them empty is fine.
    store->exec(QStringLiteral("UPDATE bnfconfigure SET monthnm = NULL WHERE cd = 'B'"));
    CashConfirmations(session, CashExchange::Bse).loadPositions();
}

QTEST_GUILESS_MAIN(TestCashConfirmations)
#include "tst_cashconfirmations.moc"
