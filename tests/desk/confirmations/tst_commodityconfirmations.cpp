#include "CommodityConfirmations.h"
#include "DeskSession.h"
#include "GoldenCase.h"
#include "Schema.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "TestFiles.h"

#include <QTest>

/// The MCX and NCDEX confirmation engine: golden folders through reading and generating, and the
/// guard that leaves out what a number was already queued today.
class TestCommodityConfirmations : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void sameDayGuard();
    void olderStoreGainsQueueTimeIndex();
    void golden_data();
    void golden();
};

void TestCommodityConfirmations::sameDayGuard()
{
    TestEnvironment env;
    const std::unique_ptr<Store> store = env.openStore();
    DeskSession session(*store);
    const QString folder = QStringLiteral(GOLDEN_DIR "/mcx_values_and_delimiters");
    StoreClients(*store, folder + QStringLiteral("/clients.csv"));
    CommodityConfirmations engine(session, KindNamed(QStringLiteral("mcx")));
    engine.open();
    engine.readFiles({folder + QStringLiteral("/trades.txt")});

    const QList<QueueGridRow> all = engine.generate({});
    // Aarav, Vivaan, and Aditya D'Souza whose text holds quotes that the queue does not keep.
    QCOMPARE(all.size(), 3);
    QVERIFY(all[2].message.contains(u'\''));

    QCOMPARE(engine.send(all), 3);
    QCOMPARE(engine.alreadyQueued(), 0);
    QCOMPARE(engine.generate({}), QList<QueueGridRow>());
    QCOMPARE(engine.alreadyQueued(), 3);
    QCOMPARE(engine.alreadyQueuedText(),
             QStringLiteral("3 messages were left out: they were queued today already for the same mobile "
                            "numbers."));
    // A grid generated before another desk sent the same texts: the write checks again.
    QCOMPARE(engine.send(all), 0);
    QCOMPARE(engine.alreadyQueued(), 3);

    // Letter case does not make a text another; the same text for another number does.
    engine.setToday(engine.today().addDays(1));
    QCOMPARE(engine.generate({}), all);
    store->exec(QStringLiteral("DELETE FROM MessageQueue"));
    engine.setToday({});
    engine.send(
        {{all[0].mobileNo, all[0].message.toUpper()}, {QStringLiteral("9999999999"), all[1].message}});
    QCOMPARE(engine.generate({}), (QList<QueueGridRow>{all[1], all[2]}));

    // Yesterday's texts do not count.
    engine.setToday(engine.today().addDays(-1));
    QCOMPARE(engine.generate({}), all);
}

void TestCommodityConfirmations::olderStoreGainsQueueTimeIndex()
{
    TestEnvironment env;
    QVERIFY(env.upgradeRestoresIndex(QStringLiteral("MessageQueue_QDateTime"), 4));
}

// The golden folders also hold the expected staged.txt (msf1), warnings.txt and messages.txt.
void TestCommodityConfirmations::golden_data()
{
    GoldenCase::addRows(QStringLiteral(GOLDEN_DIR));
}

void TestCommodityConfirmations::golden()
{
    GoldenCase golden;
    QVERIFY(golden.run({QStringLiteral("mcx"), QStringLiteral("ncdex")}));

    const QStringList staged = JoinedRows(golden.engine().stagedGrid());
    QCOMPARE(staged, golden.expected(QStringLiteral("staged.txt"), staged));
    QCOMPARE(golden.report().staged, qint64(staged.size()));
    const QStringList warnings = golden.warnings();
    QCOMPARE(warnings, golden.expected(QStringLiteral("warnings.txt"), warnings));
    const QStringList messages = golden.messages();
    QCOMPARE(messages, golden.expected(QStringLiteral("messages.txt"), messages));

    // Every text ends a fragment and holds more than its header; only a text of one fragment reaches
    // 158 characters.
    for (const QueueGridRow& row : golden.grid()) {
        QVERIFY2(row.message.startsWith(QStringLiteral("Dear ")) &&
                     row.message.endsWith(QStringLiteral(", ")),
                 qPrintable(row.message));
        const qsizetype header = row.message.indexOf(QStringLiteral(",  ")) + 3;
        const qsizetype body = row.message.indexOf(QStringLiteral(": "), header) + 2;
        QVERIFY2(header > 2 && body > 1 && row.message.size() > body, qPrintable(row.message));
        const bool oneFragment = row.message.indexOf(QStringLiteral(", "), body) == row.message.size() - 2;
        QVERIFY2(row.message.size() < 158 || oneFragment, qPrintable(row.message));
    }
}

QTEST_GUILESS_MAIN(TestCommodityConfirmations)
#include "tst_commodityconfirmations.moc"
