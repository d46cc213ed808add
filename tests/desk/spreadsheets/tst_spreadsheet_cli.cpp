#include "ClientTable.h"
#include "ProgramRun.h"
#include "SpreadsheetMessages.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QDate>
#include <QDir>
#include <QSqlQuery>
#include <QTest>

namespace {

QString fixture(const QString& name)
{
    return QDir(QStringLiteral(WORKBOOK_FIXTURES)).filePath(name);
}

} // namespace

/// `brisant ledger`, `brisant template` and `brisant stock`, run as the real executable on the fixtures.
class TestSpreadsheetCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void printsTheGrid_data();
    void printsTheGrid();
    void sendQueuesOneBatch_data();
    void sendQueuesOneBatch();
    void refusals_data();
    void refusals();

private:
    ProgramRun brisant(const QStringList& arguments)
    {
        return RunProgram(QStringLiteral(BRISANT_EXE), arguments, m_env->processEnvironment());
    }
    std::unique_ptr<TestEnvironment> m_env;
};

void TestSpreadsheetCli::init()
{
    m_env = std::make_unique<TestEnvironment>();
    const std::unique_ptr<Store> store = m_env->openStore();
    const ClientTable clients(*store);
    clients.insert({0, "Anand Rao", "9876543210", "A001", ""});
    clients.insert({0, "Bina Shah", "9876500001", "A002", ""});
    clients.insert({0, "Chitra Iyer", "9876500002", "A003", ""});
    clients.insert({0, "Dev", "9876500004", "A004", ""});
}

void TestSpreadsheetCli::cleanup()
{
    m_env.reset();
}

void TestSpreadsheetCli::printsTheGrid_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QStringList>("err");
    const QString today = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    const QStringList ledgerNotFound{"Not Found: ZZ99", "Not Found: Total"};
    QTest::newRow("ledger") << QStringList{"ledger", fixture("ledger.xlsx"), "--amount-col",
                                           "4",      "--template",           "CODE AMT"}
                            << QStringList{"9876543210\tA001 1234.5 Cr", "9876500001\tA002 1234 Dr",
                                           "9876500004\tA004 1234.5 Cr"}
                            << ledgerNotFound;
    QTest::newRow("ledger, zeros only") << QStringList{"ledger",
                                                       "--select",
                                                       "--include-zero",
                                                       "--from",
                                                       "0",
                                                       "--to",
                                                       "0",
                                                       "--code-col",
                                                       "1",
                                                       "--amount-col",
                                                       "4",
                                                       "--template",
                                                       "CODE AMT",
                                                       fixture("ledger.csv")}
                                        << QStringList{"9876500002\tA003 0 Cr"} << ledgerNotFound;
    // Settings saved by the screen: the Double column and a template of their own.
    QTest::newRow("ledger, saved settings")
        << QStringList{"ledger", fixture("ledger.ods")}
        << QStringList{"9876543210\tA001: 2469 Cr", "9876500001\tA002: 2468 Dr"}
        << QStringList{"Not Found: ZZ99"};
    QTest::newRow("template") << QStringList{"template",   fixture("template.xlsx"), "--sheet", "Template",
                                             "--template", "COL1\tCOL5 TODAY"}
                              << QStringList{"9876543210\tA001\\tPay \"today\" \u2013 thanks " + today,
                                             "9876500001\tA002\\tsee COL7 here " + today,
                                             "9876500002\tA003\\t " + today}
                              << QStringList{"Notfound: row 4", "Notfound: row 5"};
    QTest::newRow("stock") << QStringList{"stock", "--prefix", "Holding", fixture("stock.csv")}
                           << QStringList{"9876543210\tHolding A001 : RELIANCE 10,TCS 1250,INFY 10.5,",
                                          "9876500001\tHolding A002 : HDFCBANK 100,",
                                          "9876543210\tHolding A001 : SBIN 5,"}
                           << QStringList{"Not Found: ZZ99", "Not Found: Total"};
    const QString longPrefix = QString(120, u'P') + "12345cut";
    QTest::newRow("stock, prefix cut as the box does")
        << QStringList{"stock", "--prefix", longPrefix, fixture("stock.csv")}
        << QStringList{"9876543210\t" + longPrefix.left(125) + " A001 : RELIANCE 10,TCS 1250,",
                       "9876543210\t" + longPrefix.left(125) + " A001 : INFY 10.5,",
                       "9876500001\t" + longPrefix.left(125) + " A002 : HDFCBANK 100,",
                       "9876543210\t" + longPrefix.left(125) + " A001 : SBIN 5,"}
        << QStringList{"the prefix is cut to its first 125 characters, as the Prefix box takes no more",
                       "Not Found: ZZ99", "Not Found: Total"};
}

void TestSpreadsheetCli::printsTheGrid()
{
    QFETCH(QStringList, arguments);
    SpreadsheetSettings::setLedgerAmountColumn("6");
    SpreadsheetSettings::setLedgerTemplate("CODE: AMT");
    const ProgramRun run = brisant(arguments);
    QTEST(run.errLines(), "err");
    QTEST(run.outLines(), "out");
    QCOMPARE(run.exitCode, 0);
    // The commands read the saved settings and never write them.
    QCOMPARE(SpreadsheetSettings::ledgerAmountColumn(), 6);
    QCOMPARE(SpreadsheetSettings::excelTemplate(), QStringLiteral("COL1  COL2  TODAY"));

    const std::unique_ptr<Store> store = m_env->openStore();
    QSqlQuery queued = store->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue"));
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toInt(), 0);
}

void TestSpreadsheetCli::sendQueuesOneBatch_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QString>("confirmation");
    QTest::newRow("ledger") << QStringList{"ledger", fixture("ledger.csv")} << "Ledger"
                            << "queued 3 messages, batch %1";
    QTest::newRow("template") << QStringList{"template", fixture("template.csv")} << "ExcCode"
                              << "Message has been sent to Queue";
    QTest::newRow("stock") << QStringList{"stock", fixture("stock.xlsx")} << "Stock"
                           << "Message Place in Queued";
}

void TestSpreadsheetCli::sendQueuesOneBatch()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, appId);
    QFETCH(QString, confirmation);
    for (int batch = 1; batch <= 2; ++batch) {
        const ProgramRun run = brisant(arguments + QStringList{"--send", "--user", "ADMIN"});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.errLines().last(), confirmation.contains(u'%') ? confirmation.arg(batch) : confirmation);
        QCOMPARE(run.outLines().size(), 3);
    }
    const std::unique_ptr<Store> store = m_env->openStore();
    QSqlQuery rows = store->exec(QStringLiteral("SELECT BatchNo, COUNT(*), MIN(UserName), MAX(AppID) "
                                                "FROM MessageQueue GROUP BY BatchNo ORDER BY BatchNo"));
    QStringList batches;
    while (rows.next())
        batches << QStringList{rows.value(0).toString(), rows.value(1).toString(), rows.value(2).toString(),
                               rows.value(3).toString()}
                       .join(u'|');
    QCOMPARE(batches, (QStringList{"1|3|ADMIN|" + appId, "2|3|ADMIN|" + appId}));
}

void TestSpreadsheetCli::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    const QString damaged = QStringLiteral("damaged.xlsx");
    QTest::newRow("missing file") << QStringList{"ledger", "/nonexistent/ledger.xlsx"} << 1
                                  << "brisant: .*/nonexistent/ledger.xlsx.*";
    QTest::newRow("damaged file") << QStringList{"stock", damaged} << 1 << "brisant: .*damaged.xlsx.*";
    QTest::newRow("no such sheet") << QStringList{"template", fixture("template.ods"), "--sheet", "Nope"} << 1
                                   << "brisant: .*Nope.*";
    QTest::newRow("amount column beyond the sheet")
        << QStringList{"ledger", fixture("ledger.xlsx"), "--amount-col", "7"} << 1
        << "Pl enter the valid column no of Amount from excel sheet";
    QTest::newRow("code column beyond the sheet")
        << QStringList{"template", fixture("template.xlsx"), "--code-col", "6"} << 1
        << "Pl enter the valid column no of code from excel sheet";
    QTest::newRow("unknown user") << QStringList{"stock", fixture("stock.csv"), "--user", "nobody"} << 1
                                  << "brisant: the desk user nobody is not in UserMaster";
    QTest::newRow("select and deselect")
        << QStringList{"ledger", "--select", "--deselect", fixture("ledger.csv")} << 2
        << "brisant: --select and --deselect exclude each other";
}

void TestSpreadsheetCli::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    const QString damaged = m_env->writeFile("damaged.xlsx", "PK\x03\x04 not really a workbook");
    arguments.replaceInStrings(QRegularExpression("^damaged.xlsx$"), damaged);
    const ProgramRun run = brisant(arguments + QStringList{"--send"});
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(reason))
                 .match(run.errLines().value(0))
                 .hasMatch(),
             qPrintable(run.err));
    if (exitCode == 1)
        QCOMPARE(run.errLines().size(), 1);
    QCOMPARE(run.out, QString());
    const std::unique_ptr<Store> store = m_env->openStore();
    QSqlQuery queued = store->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue"));
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestSpreadsheetCli)
#include "tst_spreadsheet_cli.moc"
