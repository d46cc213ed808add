#include "DeskSession.h"
#include "GoldenCase.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TradeConfirmations.h"

#include <QSqlQuery>
#include <QTest>

/// The net-position engine: golden folders through reading and generating in both layouts, and
/// sending.
class TestNetPosition : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void golden_data();
    void golden();
    void sendTakesBatchEveryPressUnderNp();
};

// Each folder holds layout (qty-avg or qty-amt-avg) besides the usual files, and the expected
// staged.txt (msf1), fragments.txt (Mf after generating), warnings.txt and messages.txt.
void TestNetPosition::golden_data()
{
    GoldenCase::addRows(QStringLiteral(GOLDEN_DIR));
}

void TestNetPosition::golden()
{
    QFETCH(QString, folder);
    const GoldenCase golden;
    const QDir dir(folder);
    QCOMPARE(ReadLines(dir.filePath(QStringLiteral("kind"))), QStringList{QStringLiteral("netpos")});
    const TradeFileKind& kind = KindNamed(QStringLiteral("netpos"));
    const QString layoutName = ReadLines(dir.filePath(QStringLiteral("layout"))).value(0);
    int layout = 0;
    while (layout < kind.layouts.size() && kind.layouts[layout].commandName != layoutName)
        ++layout;
    QVERIFY(layout < kind.layouts.size());

    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    StoreClients(*store, dir.filePath(QStringLiteral("clients.csv")));
    const std::unique_ptr<TradeConfirmations> engine = TradeConfirmations::create(session, kind);
    engine->setLayout(layout);
    engine->open();

    QStringList files;
    for (const QString& name : dir.entryList({QStringLiteral("trades*.txt")}, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    const TradeReadReport report = engine->readFiles(files);
    const QString prefix = QString::fromUtf8(ReadFile(dir.filePath(QStringLiteral("prefix"))));
    const QList<QueueGridRow> grid = engine->generate(prefix);

    const QStringList staged = JoinedRows(engine->stagedGrid());
    QCOMPARE(staged, golden.expected(QStringLiteral("staged.txt"), staged));
    QCOMPARE(report.staged + 1, qint64(staged.size()));
    const QStringList fragments = JoinedRows(engine->rawGrid());
    QCOMPARE(fragments, golden.expected(QStringLiteral("fragments.txt"), fragments));
    // In the order the command writes them.
    QStringList warnings = report.problems + report.notices;
    for (const QString& code : engine->missingClientCodes())
        warnings << QStringLiteral("Not Found: ") + code;
    warnings += engine->generationWarnings();
    for (QString& line : warnings)
        line.replace(folder + u'/', QString());
    QCOMPARE(warnings, golden.expected(QStringLiteral("warnings.txt"), warnings));
    QStringList messages;
    for (const QueueGridRow& row : grid)
        messages << row.mobileNo + u'\t' + row.message;
    QCOMPARE(messages, golden.expected(QStringLiteral("messages.txt"), messages));

    // Under 159 characters, unless a text holds one fragment that was named as too long.
    const QStringList named = engine->generationWarnings();
    for (const QueueGridRow& row : grid) {
        const bool isNamed = std::any_of(named.begin(), named.end(), [&](const QString& w) {
            return w.endsWith(QStringLiteral(" %1 characters.").arg(row.message.size()));
        });
        QVERIFY2(row.message.size() < 159 || isNamed, qPrintable(row.message));
    }
}

void TestNetPosition::sendTakesBatchEveryPressUnderNp()
{
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    const std::unique_ptr<TradeConfirmations> engine =
        TradeConfirmations::create(session, KindNamed(QStringLiteral("netpos")));
    QVERIFY(engine);
    const QList<QueueGridRow> grid = {{"9811111111", "EOD C001 NSE  RELIANCE B 100@2500"},
                                      {"", "EOD C009 NSE SBIN S 5@612.3"},
                                      {"9822222222", ""}};
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
    QCOMPARE(queued, (QStringList{"9811111111|EOD C001 NSE  RELIANCE B 100@2500|1|NP",
                                  "9811111111|EOD C001 NSE  RELIANCE B 100@2500|3|NP"}));
}

QTEST_GUILESS_MAIN(TestNetPosition)
#include "tst_netposition.moc"
