#include "DeskSession.h"
#include "FutureConfirmations.h"
#include "GoldenCase.h"
#include "Schema.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QFile>
#include <QSqlRecord>
#include <QTest>

/// The futures-and-options confirmation engine, delimited and Orion: golden folders through reading
/// and generating, file order at scale, the positions each kind needs, and sending.
class TestFutureConfirmations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void clientTradesKeepFileOrderAcrossChunksAndFiles();
    void positionsTheKindReads_data();
    void positionsTheKindReads();
    void sendTakesBatchEveryPressUnderFut();
    void sharedTableKeepsTheStoreLayout();
    void golden_data();
    void golden();
};

void TestFutureConfirmations::clientTradesKeepFileOrderAcrossChunksAndFiles()
{
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    StoreClients(*store, QStringLiteral(SAMPLES_DIR "/clients.csv"));
    FutureConfirmations engine(session, KindNamed(QStringLiteral("fno")));
    engine.open();

    // Several read chunks and, on PostgreSQL, several batched statements and a remainder; the
    // quantities count up, so file order shows in every text. The last line has no line feed.
    const QStringList codes = {QStringLiteral("AS100"), QStringLiteral("vs107"), QStringLiteral("AC114")};
    QByteArray lines[2];
    for (int i = 0; i < 40001; ++i) {
        lines[i % 2] += "2026" + QByteArray::number(i) + ",FUTSTK,SBIN,26FEB2026,,,1," +
                        QByteArray::number(i + 1) + ",612.3," + codes[i % 3].toLatin1() + ",09:15:01\n";
    }
    lines[1].chop(1);
    const QStringList files = {env.path(QStringLiteral("a.txt")), env.path(QStringLiteral("missing.txt")),
                               env.path(QStringLiteral("b.txt"))};
    for (const int i : {0, 1}) {
        QFile file(files[i * 2]);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(lines[i]);
    }
    qint64 lastDone = -1;
    const TradeReadReport report = engine.readFiles(files, [&](qint64 done, qint64 total) {
        QVERIFY(done >= lastDone && done <= total);
        lastDone = done;
    });
    QCOMPARE(report.staged, 40001);
    QCOMPARE(report.problems.size(), 1);
    QVERIFY(report.problems.first().startsWith(files[1] + QStringLiteral(": the file cannot be read")));
    QCOMPARE(lastDone, lines[0].size() + lines[1].size());

    // Client by client, the quantities of a's lines come first, each in file order, then b's.
    const QList<QueueGridRow> grid = engine.generate(QStringLiteral("EOD"));
    QHash<QString, QList<int>> quantities;
    for (const QueueGridRow& row : grid) {
        const QString code = row.message.section(u':', 0, 0).section(u' ', 1);
        for (const QString& fragment :
             row.message.section(QStringLiteral(": "), 1).split(u',', Qt::SkipEmptyParts))
            quantities[code.toCaseFolded()] << fragment.section(u' ', 3).section(u'@', 0, 0).toInt();
    }
    QCOMPARE(quantities.size(), 3);
    for (int c = 0; c < 3; ++c) {
        QList<int> expected;
        for (const int file : {0, 1}) {
            for (int i = 0; i < 40001; ++i) {
                if (i % 2 == file && i % 3 == c)
                    expected << i + 1;
            }
        }
        QCOMPARE(quantities.value(codes[c].toCaseFolded()), expected);
    }
}

void TestFutureConfirmations::positionsTheKindReads_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<bool>("usable");
    // The Orion layout cuts code and script from fixed places: their positions may be anything.
    QTest::newRow("fno without a client position")
        << "fno"
        << "UPDATE bnfconfigure SET clientcode = NULL WHERE cd = 'F'" << false;
    QTest::newRow("orion-fno without a client position")
        << "orion-fno"
        << "UPDATE bnfconfigure SET clientcode = NULL, script_name = -1 WHERE cd = 'F'" << true;
    QTest::newRow("orion-fno with a negative option value")
        << "orion-fno"
        << "UPDATE bnfconfigure SET optval = -1 WHERE cd = 'F'" << false;
    QTest::newRow("row missing") << "fno"
                                 << "DELETE FROM bnfconfigure WHERE cd = 'F'" << false;
}

void TestFutureConfirmations::positionsTheKindReads()
{
    QFETCH(QString, kind);
    QFETCH(QString, statement);
    QFETCH(bool, usable);
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    store->exec(statement);
    FutureConfirmations engine(session, KindNamed(kind));
    if (usable)
        engine.loadPositions();
    else
        QVERIFY_THROWS_EXCEPTION(StoreError, engine.loadPositions());
}

void TestFutureConfirmations::sendTakesBatchEveryPressUnderFut()
{
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    const std::unique_ptr<TradeConfirmations> engine =
        TradeConfirmations::create(session, KindNamed(QStringLiteral("orion-fno")));
    QVERIFY(engine);
    const QList<QueueGridRow> grid = {{"9820012345", "EOD O'NEIL: NIFTY FEB B 50@24512.35,"},
                                      {"", "EOD CD200: NIFTY FEB S 75@24500,"},
                                      {"9820054321", ""}};
    QCOMPARE(engine->send(grid), 1);
    QCOMPARE(engine->send({}), 0);
    QCOMPARE(engine->send(grid), 1);

    QSqlQuery rows = store->exec(
        QStringLiteral("SELECT MobileNo, Message, BatchNo, AppID FROM MessageQueue ORDER BY nid"));
    QStringList queued;
    while (rows.next())
        queued << QStringList{rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString(),
                              rows.value(3).toString()}
                      .join(u'|');
    // The delivered counter hands out 1 first; the empty press took 2.
    QCOMPARE(queued, (QStringList{"9820012345|EOD ONEIL: NIFTY FEB B 50@24512.35,|1|FUT",
                                  "9820012345|EOD ONEIL: NIFTY FEB B 50@24512.35,|3|FUT"}));
}

void TestFutureConfirmations::sharedTableKeepsTheStoreLayout()
{
    // The eight columns in the order older programs fill them positionally: on a new store, and on one
    // that a version before gave a ninth.
    const QStringList layout = {"clid",   "scriptname", "rate",    "qty",
                                "bsflag", "fut_month",  "opttype", "optval"};
    const QVariantList trade = {"C001", "NIFTY", 24512.35, 50, "B", "FEB2", "", ""};
    TestEnvironment env;
    for (const bool upgraded : {false, true}) {
        if (upgraded) {
            auto store = env.openStore();
            store->exec(QStringLiteral("DELETE FROM future"));
            store->exec(QStringLiteral("ALTER TABLE future ADD COLUMN lineseq BIGINT"));
            store->exec(QStringLiteral("UPDATE schema_version SET version = 7"));
        }
        auto store = env.openStore();
        QCOMPARE(store->schemaVersion(), Schema::kCurrentVersion);
        const QSqlRecord record = store->exec(QStringLiteral("SELECT * FROM future WHERE 1 = 0")).record();
        QStringList columns;
        for (int i = 0; i < record.count(); ++i)
            columns << record.fieldName(i).toLower();
        QCOMPARE(columns, layout);
        store->exec(QStringLiteral("INSERT INTO future VALUES (?, ?, ?, ?, ?, ?, ?, ?)"), trade);
    }
}

// The golden folders also hold the expected staged.txt (msf1 with its mark), warnings.txt and
// messages.txt.
void TestFutureConfirmations::golden_data()
{
    GoldenCase::addRows(QStringLiteral(GOLDEN_DIR));
}

void TestFutureConfirmations::golden()
{
    GoldenCase golden;
    QVERIFY(golden.run({QStringLiteral("fno"), QStringLiteral("orion-fno")}));

    const QStringList staged = JoinedRows(golden.engine().stagedGrid());
    QCOMPARE(staged, golden.expected(QStringLiteral("staged.txt"), staged));
    QCOMPARE(golden.report().staged, qint64(staged.size()));
    const QStringList warnings = golden.warnings();
    QCOMPARE(warnings, golden.expected(QStringLiteral("warnings.txt"), warnings));
    const QStringList messages = golden.messages();
    QCOMPARE(messages, golden.expected(QStringLiteral("messages.txt"), messages));

    // Every text ends a fragment, and none is its header alone; only a text of one fragment is longer
    // than 157 characters.
    for (const QueueGridRow& row : golden.grid()) {
        QVERIFY2(row.message.endsWith(u','), qPrintable(row.message));
        const qsizetype header = row.message.indexOf(QStringLiteral(": "), golden.prefix().size()) + 2;
        QVERIFY2(header > 1 && row.message.size() > header, qPrintable(row.message));
        const bool oneFragment = row.message.indexOf(u',', header) == row.message.size() - 1;
        QVERIFY2(row.message.size() < 158 || oneFragment, qPrintable(row.message));
    }
}

QTEST_GUILESS_MAIN(TestFutureConfirmations)
#include "tst_futureconfirmations.moc"
