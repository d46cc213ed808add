#include "DecimalText.h"
#include "DeskSession.h"
#include "MessageText.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QSqlRecord>
#include <QTest>

namespace {

// One message queued as a screen's Send queues it.
void AddToQueue(DeskSession& session, const QString& appId, const QString& mobileNo, const QString& message)
{
    QueueBatch batch(session);
    batch.AddToQueue(appId, mobileNo, message);
    batch.send();
}

struct QueueRow
{
    QString mobileNo, message, userName, appId, superUser;
    qint64 batchNo;
};

QList<QueueRow> queueRows(const Store& store)
{
    QList<QueueRow> rows;
    QSqlQuery query = store.exec(QStringLiteral(
        "SELECT MobileNo, Message, UserName, AppID, SuperUser, BatchNo FROM MessageQueue ORDER BY nid"));
    while (query.next())
        rows.push_back({query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                        query.value(3).toString(), query.value(4).toString(), query.value(5).toLongLong()});
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
    void roundToHundredthsFromTheDigits_data();
    void roundToHundredthsFromTheDigits();
    void nextBatchNumberHandsOutTheStoredValue_data();
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
    AddToQueue(session, QStringLiteral("BSE"), QStringLiteral("9812345678"), QStringLiteral("hi"));
    QCOMPARE(queueRows(*store).first().superUser, QString());
}

void TestSharedRoutines::roundToHundredthsFromTheDigits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pointShift");
    // RoundToHundredths, then ReadHundredths as trade files write numbers, then ReadWholeNumber; empty
    // where there is none.
    QTest::addColumn<QString>("formatted");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("whole");
    const auto row = [](const char* name, const char* text, int pointShift, const char* formatted,
                        const char* written, const char* whole) {
        QTest::newRow(name) << QString::fromLatin1(text) << pointShift << QString::fromLatin1(formatted)
                            << QString::fromLatin1(written) << QString::fromLatin1(whole);
    };
    // As binary fractions 1.005, 2.675 and 438.145 lie just below the half.
    row("half a paisa up", "1.005", 0, "1.01", "1.01", "");
    row("paise, half up", "100.5", -2, "1.01", "1.01", "");
    row("2.675", "2.675", 0, "2.68", "2.68", "");
    row("438.145", "438.145", 0, "438.15", "438.15", "");
    row("negative away from zero", "-1.005", 0, "-1.01", "-1.01", "");
    row("below the half", "1.00499", 0, "1.00", "1.00", "");
    row("paise below a rupee", "0.5", -2, "0.01", "0.01", "");
    row("blanks, sign, bare point", " +.5\t", 0, "0.50", "0.50", "");
    row("whole paise", "0012345", -2, "123.45", "123.45", "12345");
    row("no negative zero", "-0.001", 0, "0.00", "0.00", "");
    row("sixteen digits", "9999999999999999.994", 0, "9999999999999999.99", "9999999999999999.99", "");
    row("seventeen digits", "10000000000000000", 0, "", "", "10000000000000000");
    row("two points", "1.2.3", 0, "", "", "");
    row("sign alone", "-", 0, "", "", "");
    row("word", "Price", 0, "", "", "");
    row("whole with zero decimals", "2.00", 0, "2.00", "2.00", "2");
    // Grouped by thousands or in the Indian way; a comma that groups nothing makes no number.
    row("thousands", "1,234,567.891", 0, "", "1234567.89", "");
    row("lakhs", " -12,34,567 ", 0, "", "-1234567.00", "-1234567");
    row("grouped paise", "3,28,788", -2, "", "3287.88", "328788");
    row("decimal comma", "1,5", 0, "", "", "");
    row("group of four", "1,0000", 0, "", "", "");
    row("first group of four", "1234,567", 0, "", "", "");
    row("comma in the decimals", "1.234,5", 0, "", "", "");
    row("leading comma", ",123", 0, "", "", "");
    row("blank inside", "1 000", 0, "", "", "");
    // Exponents move the point.
    row("exponent", "1e3", 0, "", "1000.00", "1000");
    row("exponent, sign, fraction", "-1.5E+3", 0, "", "-1500.00", "-1500");
    row("negative exponent, half up", "5e-3", 0, "", "0.01", "");
    row("grouped with exponent", "1,234.5E1", 0, "", "12345.00", "12345");
    row("exponent without digits", "1.5E", 0, "", "", "");
    row("exponent too large", "1E400", 0, "", "", "");
    row("exponent too small", "1E-400", 0, "", "0.00", "");
}

void TestSharedRoutines::roundToHundredthsFromTheDigits()
{
    QFETCH(QString, text);
    QFETCH(int, pointShift);
    QFETCH(QString, formatted);
    QFETCH(QString, written);
    QFETCH(QString, whole);
    const QByteArray bytes = text.toLatin1();
    const auto compare = [](const std::optional<qint64>& hundredths, const QString& expected) {
        QCOMPARE(hundredths.has_value(), !expected.isEmpty());
        if (hundredths)
            QCOMPARE(FormatHundredths(*hundredths), expected);
    };
    compare(RoundToHundredths(QStringView(text), pointShift), formatted);
    compare(RoundToHundredths(QByteArrayView(bytes), pointShift), formatted);
    compare(ReadHundredths(QStringView(text), pointShift), written);
    compare(ReadHundredths(QByteArrayView(bytes), pointShift), written);
    // A number too large for hundredths is a number still.
    const bool tooLarge = text == QLatin1String("1E400") || text == QLatin1String("10000000000000000");
    QCOMPARE(IsWrittenNumber(QByteArrayView(bytes)), !written.isEmpty() || tooLarge);
    const std::optional<qint64> number = ReadWholeNumber(QByteArrayView(bytes));
    QCOMPARE(number ? QString::number(*number) : QString(), whole);
}

void TestSharedRoutines::nextBatchNumberHandsOutTheStoredValue_data()
{
    QTest::addColumn<qint64>("stored");
    QTest::addColumn<qint64>("otherRow");
    QTest::newRow("41") << qint64(41) << qint64(-1);
    QTest::newRow("past 32 bits") << qint64(2147483647) << qint64(-1);
    // A second config row: only the row read is advanced.
    QTest::newRow("two config rows") << qint64(41) << qint64(7);
}

void TestSharedRoutines::nextBatchNumberHandsOutTheStoredValue()
{
    QFETCH(qint64, stored);
    QFETCH(qint64, otherRow);
    TestEnvironment env;
    auto store = env.openStore();
    store->exec(QStringLiteral("UPDATE config SET batchno = ?"), {stored});
    if (otherRow >= 0)
        store->exec(QStringLiteral("INSERT INTO config (batchno) VALUES (?)"), {otherRow});
    DeskSession session(*store);
    session.setCurrentUserName(QStringLiteral("admin"));
    QCOMPARE(session.CurrentBatchNo(), 0);
    session.NextBatchNumber();
    QCOMPARE(session.CurrentBatchNo(), stored);
    session.NextBatchNumber();
    QCOMPARE(session.CurrentBatchNo(), stored + 1);
    AddToQueue(session, QStringLiteral("BSE"), QStringLiteral("9812345678"), QStringLiteral("hi"));
    QCOMPARE(queueRows(*store).first().batchNo, stored + 1);

    QSqlQuery rows = store->exec(QStringLiteral("SELECT batchno FROM config ORDER BY batchno"));
    QList<qint64> counters;
    while (rows.next())
        counters << rows.value(0).toLongLong();
    QList<qint64> expected{stored + 2};
    if (otherRow >= 0)
        expected.prepend(otherRow);
    QCOMPARE(counters, expected);
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
    AddToQueue(session, QStringLiteral("Ledger"), QStringLiteral("98'76543210"),
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
    AddToQueue(session, QStringLiteral("Advanced"), QStringLiteral("9812345678"), text);
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
