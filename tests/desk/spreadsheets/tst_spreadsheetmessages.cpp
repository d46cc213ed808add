#include "ClientTable.h"
#include "DeskSession.h"
#include "SpreadsheetMessages.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "Workbook.h"

#include <QDir>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTest>

Q_DECLARE_METATYPE(LedgerChoices)

namespace {

using Rows = QList<QStringList>;

const QDate kToday(2026, 12, 8);

QStringList gridLines(const QList<QueueGridRow>& grid)
{
    QStringList lines;
    for (const QueueGridRow& row : grid)
        lines << row.mobileNo + u'\t' + row.message;
    return lines;
}

QStringList rawLines(const QList<QStringList>& raw)
{
    QStringList lines;
    for (const QStringList& line : raw)
        lines << line.join(u'|');
    return lines;
}

LedgerChoices ledgerChoices(const std::function<void(LedgerChoices&)>& change = {})
{
    LedgerChoices choices;
    if (change)
        change(choices);
    return choices;
}

QString cutWarning(const QString& mobile, const QString& code)
{
    return "Message lenth is grater then 159, So this message is reduce \n Mobile No = " + mobile +
           " and Code= " + code;
}

// A ledger in columns A (code) and D (amount) under a heading row.
const Rows kLedger{
    {"Client Code", "Name", "Mobile", "Balance"},
    {"A001", "Anand", "", "1,234.50"},
    {"A002", "", "", "-1,234.00"},
    {},
    {QStringLiteral(" A\u00a0 003 "), "", "", "0"},
    {"ZZ99", "", "", "250"},
    {"Total", "", "", "251.25"},
    {"", "", "", "7"},
    {"AMT1", "", "", "5"},
};

const QStringList kLedgerRaw{
    "|A001|Anand Rao|9876543210|1234.5", "|A002|Bina Shah|9876500001|-1234",
    "|A003|Chitra Iyer|9876500002|0",    "Not Found|ZZ99|||250",
    "Not Found|Total|||251.25",          "Not Found||||7",
    "|AMT1|Amt Holder|9876500005|5",
};

QString balance(const QString& mobile, const QString& code, const QString& amount)
{
    return mobile + "\tBalance update as on 08/12/2026 for " + code + "  Rs. " + amount;
}

const QString kA001 = balance("9876543210", "A001", "1234.5 Cr");
const QString kA002 = balance("9876500001", "A002", "1234 Dr");
const QString kA003 = balance("9876500002", "A003", "0 Cr");
const QString kAmt1 = balance("9876500005", "AMT1", "5 Cr");

// A stock statement: codes in A, items in B, quantities in C.
const Rows kStock{
    {"Code", "Scrip", "Quantity"}, {"A001", "RELIANCE", "10"},  {"A001", "TCS", "1,250"},
    {"A001", "INFY", "10.50"},     {"A002", "HDFCBANK", "100"}, {},
    {"A001", "SBIN", "5"},         {"ZZ99", "ITC", "20"},       {"E001", "GOLD", "1"},
    {"Total", "", "145.5"},
};

QString fixture(const QString& name)
{
    return QDir(QStringLiteral(WORKBOOK_FIXTURES)).filePath(name);
}

} // namespace

/// The ledger, template and stock-statement engines over sheets and a client master of the store.
class TestSpreadsheetMessages : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void ledger_data();
    void ledger();
    void templateMessages_data();
    void templateMessages();
    void stock_data();
    void stock();
    void progressEveryThousandRows_data();
    void progressEveryThousandRows();
    void sendQueuesOneBatch_data();
    void sendQueuesOneBatch();
    void everyFormatGivesTheSameMessages_data();
    void everyFormatGivesTheSameMessages();
    void settings();

private:
    SpreadsheetReading readAs(const QString& kind, const Worksheet& sheet,
                              const SpreadsheetProgress& progress = {});

    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<Store> m_store;
    std::unique_ptr<DeskSession> m_session;
    const QLocale m_locale{QLocale::English, QLocale::UnitedKingdom};
};

void TestSpreadsheetMessages::initTestCase()
{
    m_env = std::make_unique<TestEnvironment>();
    m_store = m_env->openStore();
    const ClientTable clients(*m_store);
    const QList<ClientRow> rows{
        {0, "Anand Rao", "9876543210", "A001", ""},   {0, "Bina Shah", "9876500001", "A002", ""},
        {0, "Chitra Iyer", "9876500002", "A003", ""}, {0, "Dev", "9876500004", "A004", ""},
        {0, "Amt Holder", "9876500005", "AMT1", ""},  {0, "Empty Phone", "", "E001", ""},
    };
    for (const ClientRow& row : rows)
        clients.insert(row);
    m_session = std::make_unique<DeskSession>(*m_store);
    m_session->setCurrentUserName(QStringLiteral("admin"));
}

void TestSpreadsheetMessages::cleanupTestCase()
{
    m_session.reset();
    m_store.reset();
    m_env.reset();
}

void TestSpreadsheetMessages::ledger_data()
{
    QTest::addColumn<Rows>("sheet");
    QTest::addColumn<LedgerChoices>("choices");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QStringList>("raw");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("warnings");

    // The heading, the empty row and an empty code cell are passed over or never looked up; a code
    // holding AMT keeps it, as values are not scanned again; a zero balance is listed only.
    QTest::newRow("defaults") << kLedger << ledgerChoices() << "" << kLedgerRaw
                              << QStringList{kA001, kA002, kAmt1} << QStringList{};
    QTest::newRow("Incl. 0") << kLedger << ledgerChoices([](auto& c) {
        c.includeZero = "YES";
        c.amountColumn = " 4th";
    }) << "" << kLedgerRaw << QStringList{kA001, kA002, kA003, kAmt1}
                             << QStringList{};
    QTest::newRow("SELECT, empty bounds: zero only") << kLedger << ledgerChoices([](auto& c) {
        c.selection = "SELECT";
        c.includeZero = "YES";
    }) << "" << kLedgerRaw << QStringList{kA003} << QStringList{};
    QTest::newRow("SELECT keeps its bounds") << kLedger << ledgerChoices([](auto& c) {
        c.selection = "SELECT";
        c.fromAmount = "-1234";
        c.toAmount = "5";
    }) << "" << kLedgerRaw << QStringList{kA002, kAmt1}
                                             << QStringList{};
    QTest::newRow("DESELECT drops strictly between, keeps its bounds")
        << kLedger << ledgerChoices([](auto& c) {
               c.fromAmount = "-1234";
               c.toAmount = "1234.5";
           })
        << "" << kLedgerRaw << QStringList{kA001, kA002} << QStringList{};
    QTest::newRow("DESELECT bounds read as their leading number") << kLedger << ledgerChoices([](auto& c) {
        c.fromAmount = "-2000 Rs";
        c.toAmount = "6x";
    }) << "" << kLedgerRaw << QStringList{kA001} << QStringList{};
    QTest::newRow("another selection keeps nothing")
        << kLedger << ledgerChoices([](auto& c) { c.selection = "ALL"; }) << "" << kLedgerRaw << QStringList{}
        << QStringList{};
    QTest::newRow("template trimmed, no placeholders")
        << kLedger << ledgerChoices([](auto& c) { c.templateText = "  DAT CODECODE AMTAMT  "; }) << ""
        << kLedgerRaw
        << QStringList{"9876543210\tDAT A001A001 1234.5 Cr1234.5 Cr",
                       "9876500001\tDAT A002A002 1234 Dr1234 Dr", "9876500005\tDAT AMT1AMT1 5 Cr5 Cr"}
        << QStringList{};

    const Rows one{{"A001", "", "", "1"}};
    const QStringList oneRaw{"|A001|Anand Rao|9876543210|1"};
    const QString x159(159, u'x');
    QTest::newRow("159 characters go whole")
        << one << ledgerChoices([&](auto& c) { c.templateText = ' ' + x159 + ' '; }) << "" << oneRaw
        << QStringList{"9876543210\t" + x159} << QStringList{};
    QTest::newRow("160 characters: warning and cut")
        << one << ledgerChoices([&](auto& c) { c.templateText = "CODE" + QString(156, u'x'); }) << ""
        << oneRaw << QStringList{"9876543210\tA001" + QString(155, u'x')}
        << QStringList{cutWarning("9876543210", "A001")};
    // An emoji is two UTF-16 units: the cut goes before it rather than through it.
    QTest::newRow("cut before a character it would split") << one << ledgerChoices([&](auto& c) {
        c.templateText = QString(158, u'x') + QStringLiteral("\U0001F600y");
    }) << "" << oneRaw << QStringList{"9876543210\t" + QString(158, u'x')}
                                                           << QStringList{cutWarning("9876543210", "A001")};
    // Amounts as a currency or accounting format shows them.
    QTest::newRow("amounts as formats show them")
        << Rows{{"A001", "", "", QStringLiteral("\u20B9 1,234.50")},
                {"A002", "", "", "(1,234.00)"},
                {"AMT1", "", "", "Rs. 5"}}
        << ledgerChoices() << ""
        << QStringList{"|A001|Anand Rao|9876543210|1234.5", "|A002|Bina Shah|9876500001|-1234",
                       "|AMT1|Amt Holder|9876500005|5"}
        << QStringList{kA001, kA002, kAmt1} << QStringList{};

    const auto stopped = [&](const char* name, QString amount, QString code, const char* message) {
        QTest::newRow(name) << kLedger << ledgerChoices([&](auto& c) {
            c.amountColumn = amount;
            c.codeColumn = code;
        }) << message << QStringList{}
                            << QStringList{} << QStringList{};
    };
    stopped("no amount column", "", "x", "Pl enter the column no of Amount from excel sheet");
    stopped("no code column", "4", "abc", "Pl enter the column no of code from excel sheet");
    stopped("code column 0 before amount beyond", "5", "0",
            "Pl enter the column no of code from excel sheet");
    stopped("amount beyond the sheet", "5", "5", "Pl enter the valid column no of Amount from excel sheet");
    stopped("code beyond the sheet", "4", "4.5", "Pl enter the valid column no of code from excel sheet");
}

void TestSpreadsheetMessages::ledger()
{
    QFETCH(Rows, sheet);
    QFETCH(LedgerChoices, choices);
    LedgerMessages engine(*m_session, m_locale);
    const SpreadsheetReading reading = engine.read(Worksheet("Ledger", sheet), choices, kToday);
    QTEST(reading.stopMessage, "stop");
    QTEST(rawLines(reading.rawData), "raw");
    QTEST(gridLines(reading.messages), "messages");
    QTEST(reading.warnings, "warnings");
}

void TestSpreadsheetMessages::templateMessages_data()
{
    QTest::addColumn<QString>("codeColumn");
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QList<int>>("notFound");
    QTest::addColumn<QStringList>("messages");

    const QList<int> notFound{3, 4};
    QTest::newRow("defaults") << "1"
                              << "COL1  COL2  TODAY"
                              << "" << notFound
                              << QStringList{"9876500001\tA002  Bina  08/12/2026",
                                             "9876500004\ta004  Dev  08/12/2026"};
    QTest::newRow("one pass; COLn beyond the sheet is empty")
        << "1"
        << "<COL3|COL7|COL9>TODAYCOL1"
        << "" << notFound
        << QStringList{"9876500001\t<see COL7 here||>08/12/2026A002", "9876500004\t<2||>08/12/2026a004"};
    QTest::newRow("template as typed")
        << "1st"
        << " COL2 "
        << "" << notFound << QStringList{"9876500001\t Bina ", "9876500004\t Dev "};
    QTest::newRow("cut to 159 without warning, never through a character")
        << "1"
        << "COL2" + QString(154, u'x') + QStringLiteral("\U0001F600") << "" << notFound
        << QStringList{"9876500001\tBina" + QString(154, u'x'),
                       "9876500004\tDev" + QString(154, u'x') + QStringLiteral("\U0001F600")};
    QTest::newRow("another code column") << "2"
                                         << "COL1"
                                         << "" << QList<int>{2, 3, 4, 5} << QStringList{};
    QTest::newRow("code column 0") << "0"
                                   << "COL1"
                                   << "Pl enter the column no of code from excel sheet" << QList<int>{}
                                   << QStringList{};
    QTest::newRow("code column empty")
        << ""
        << "COL1"
        << "Pl enter the column no of code from excel sheet" << QList<int>{} << QStringList{};
    QTest::newRow("code column beyond the sheet")
        << "3.5"
        << "COL1"
        << "Pl enter the valid column no of code from excel sheet" << QList<int>{} << QStringList{};
}

void TestSpreadsheetMessages::templateMessages()
{
    QFETCH(QString, codeColumn);
    QFETCH(QString, templateText);
    // Row 1 holds a client's code yet is the heading row; row 3 is no client's; row 4 has no code.
    const Worksheet sheet("Template", {{"A001", "Heading", "x"},
                                       {"A002", "Bina", "see COL7 here"},
                                       {" ZZ99 ", "Nobody", "1"},
                                       {"", "Blank", "3"},
                                       {" a004 ", "Dev", "2"}});
    const SpreadsheetReading reading =
        TemplateMessages(*m_session).read(sheet, codeColumn, templateText, kToday);
    QTEST(reading.stopMessage, "stop");
    QTEST(reading.notFoundRows, "notFound");
    QTEST(gridLines(reading.messages), "messages");
    QVERIFY(reading.rawData.isEmpty());
    QVERIFY(reading.warnings.isEmpty());
}

void TestSpreadsheetMessages::stock_data()
{
    QTest::addColumn<Rows>("sheet");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("raw");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("warnings");

    const QStringList raw{
        "|A001|Anand Rao|9876543210|10|RELIANCE",
        "|A001|Anand Rao|9876543210|1250|TCS",
        "|A001|Anand Rao|9876543210|10.5|INFY",
        "|A002|Bina Shah|9876500001|100|HDFCBANK",
        "|A001|Anand Rao|9876543210|5|SBIN",
        "Not Found|ZZ99|||20|ITC",
        "|E001|Empty Phone||1|GOLD",
        "Not Found|Total|||145.5|",
    };
    // Runs of one client's rows make one text each; an empty mobile number gets none.
    QTest::newRow("grouping") << kStock << " Holding " << raw
                              << QStringList{"9876543210\tHolding A001 : RELIANCE 10,TCS 1250,INFY 10.5,",
                                             "9876500001\tHolding A002 : HDFCBANK 100,",
                                             "9876543210\tHolding A001 : SBIN 5,"}
                              << QStringList{};
    QTest::newRow("empty prefix") << kStock.mid(0, 2) << "" << raw.mid(0, 1)
                                  << QStringList{"9876543210\t A001 : RELIANCE 10,"} << QStringList{};

    // The heading "H A001 : " is 9 characters and every piece is the name, " 1,".
    const auto items = [](std::initializer_list<int> nameLengths) {
        Rows rows;
        for (const int length : nameLengths)
            rows << QStringList{"A001", QString(length, u'n'), "1"};
        return rows;
    };
    const auto texts = [](std::initializer_list<QList<int>> messages) {
        QStringList lines;
        for (const QList<int>& names : messages) {
            QString text = "9876543210\tH A001 : ";
            for (const int length : names)
                text += QString(length, u'n') + " 1,";
            lines << text;
        }
        return lines;
    };
    QTest::newRow("158 in one text") << items({70, 73}) << "H" << QStringList{} << texts({{70, 73}})
                                     << QStringList{};
    QTest::newRow("159 continues in a second text")
        << items({70, 74}) << "H" << QStringList{} << texts({{70}, {74}}) << QStringList{};
    QTest::newRow("one item of 159 stays whole")
        << items({147}) << "H" << QStringList{} << texts({{147}}) << QStringList{};
    QTest::newRow("one item of 160 stays whole in a text of its own, never a heading alone")
        << items({1, 148}) << "H" << QStringList{} << texts({{1}, {148}}) << QStringList{};
}

void TestSpreadsheetMessages::stock()
{
    QFETCH(Rows, sheet);
    QFETCH(QString, prefix);
    QFETCH(QStringList, raw);
    const SpreadsheetReading reading = StockMessages(*m_session).read(Worksheet("Stock", sheet), prefix);
    if (!raw.isEmpty())
        QCOMPARE(rawLines(reading.rawData), raw);
    QTEST(gridLines(reading.messages), "messages");
    QTEST(reading.warnings, "warnings");
    QVERIFY(reading.stopMessage.isEmpty());
}

SpreadsheetReading TestSpreadsheetMessages::readAs(const QString& kind, const Worksheet& sheet,
                                                   const SpreadsheetProgress& progress)
{
    if (kind == QLatin1String("ledger"))
        return LedgerMessages(*m_session, m_locale).read(sheet, LedgerChoices(), kToday, progress);
    if (kind == QLatin1String("template"))
        return TemplateMessages(*m_session).read(sheet, "1", "COL1 COL3 COL4 COL5 TODAY", kToday, progress);
    return StockMessages(*m_session).read(sheet, "Holding", progress);
}

void TestSpreadsheetMessages::progressEveryThousandRows_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("ledger") << "ledger" << QStringList{"C1", "C1001", "C2001"};
    QTest::newRow("template, from row 2") << "template" << QStringList{"C2", "C1002", "C2002"};
    QTest::newRow("stock") << "stock" << QStringList{"C1", "C1001", "C2001"};
}

void TestSpreadsheetMessages::progressEveryThousandRows()
{
    QFETCH(QString, kind);
    Rows rows;
    for (int row = 1; row <= 2500; ++row)
        rows << QStringList{QStringLiteral(" C%1 ").arg(row), "", "1", "1"};
    QStringList shown;
    const auto progress = [&](const QString& code) {
        shown << code;
    };
    readAs(kind, Worksheet("Sheet", rows), progress);
    QTEST(shown, "shown");
    shown.clear();
    readAs(kind, Worksheet(), progress);
    QCOMPARE(shown, QStringList());
}

void TestSpreadsheetMessages::sendQueuesOneBatch_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("appId");
    QTest::newRow("ledger") << "ledger"
                            << "Ledger";
    QTest::newRow("template") << "template"
                              << "ExcCode";
    QTest::newRow("stock") << "stock"
                           << "Stock";
}

void TestSpreadsheetMessages::sendQueuesOneBatch()
{
    QFETCH(QString, kind);
    QFETCH(QString, appId);
    const QList<QueueGridRow> grid{
        {"9876543210", "Don't wait"}, {"", "no number"}, {"9876500001", ""}, {"9876500004", "Last"}};
    const auto send = [&] {
        if (kind == QLatin1String("ledger"))
            return LedgerMessages(*m_session, m_locale).send(grid);
        if (kind == QLatin1String("template"))
            return TemplateMessages(*m_session).send(grid);
        return StockMessages(*m_session).send(grid);
    };
    QCOMPARE(send(), 2);
    const qint64 batch = m_session->CurrentBatchNo();
    QCOMPARE(send(), 2);
    QCOMPARE(m_session->CurrentBatchNo(), batch + 1);

    QSqlQuery rows = m_store->exec(
        QStringLiteral("SELECT BatchNo, MobileNo, Message, UserName FROM MessageQueue WHERE AppID = ? "
                       "ORDER BY nid"),
        {appId});
    QStringList queued;
    while (rows.next())
        queued << QStringList{QString::number(rows.value(0).toLongLong() - batch), rows.value(1).toString(),
                              rows.value(2).toString(), rows.value(3).toString()}
                      .join(u'|');
    QCOMPARE(queued, (QStringList{"0|9876543210|Dont wait|admin", "0|9876500004|Last|admin",
                                  "1|9876543210|Dont wait|admin", "1|9876500004|Last|admin"}));
}

void TestSpreadsheetMessages::everyFormatGivesTheSameMessages_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("messages");

    const QStringList ledger{kA001, kA002, balance("9876500004", "A004", "1234.5 Cr")};
    const QStringList templateTexts{
        QStringLiteral("9876543210\tA001 1500 10/12/2026 Pay \"today\" \u2013 thanks 08/12/2026"),
        "9876500001\tA002 2500.5 11/12/2026 see COL7 here 08/12/2026",
        "9876500002\tA003 0 13/12/2026  08/12/2026"};
    const QStringList stock{"9876543210\tHolding A001 : RELIANCE 10,TCS 1250,INFY 10.5,",
                            "9876500001\tHolding A002 : HDFCBANK 100,", "9876543210\tHolding A001 : SBIN 5,"};
    for (const char* format : {"csv", "xls", "xlsx", "ods"}) {
        QTest::addRow("ledger.%s", format)
            << "ledger" << fixture(QStringLiteral("ledger.") + QLatin1String(format)) << ledger;
        QTest::addRow("template.%s", format)
            << "template" << fixture(QStringLiteral("template.") + QLatin1String(format)) << templateTexts;
        QTest::addRow("stock.%s", format)
            << "stock" << fixture(QStringLiteral("stock.") + QLatin1String(format)) << stock;
    }
    QTest::newRow("ledger-xlsxwriter.xlsx") << "ledger" << fixture("ledger-xlsxwriter.xlsx") << ledger;
    QTest::newRow("ledger-inline.xlsx") << "ledger" << fixture("ledger-inline.xlsx") << ledger;
}

void TestSpreadsheetMessages::everyFormatGivesTheSameMessages()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    // The .xls fixtures hold formulas whose values only a conversion through LibreOffice gives.
    if (file.endsWith(QLatin1String(".xls")) && QStandardPaths::findExecutable("soffice").isEmpty())
        QSKIP("soffice is not installed");
    const SpreadsheetReading reading = readAs(kind, Workbook::open(file).sheet(0));
    QTEST(gridLines(reading.messages), "messages");
}

void TestSpreadsheetMessages::settings()
{
    QCOMPARE(SpreadsheetSettings::ledgerAmountColumn(), 4);
    QCOMPARE(SpreadsheetSettings::ledgerCodeColumn(), 1);
    QCOMPARE(SpreadsheetSettings::ledgerTemplate(),
             QStringLiteral("Balance update as on DATE for CODE  Rs. AMT"));
    QCOMPARE(SpreadsheetSettings::excelTemplate(), QStringLiteral("COL1  COL2  TODAY"));
    QCOMPARE(SpreadsheetSettings::excelCodeColumn(), QStringLiteral("1"));

    SpreadsheetSettings::setLedgerAmountColumn(" 7th");
    SpreadsheetSettings::setLedgerCodeColumn("B");
    SpreadsheetSettings::setLedgerTemplate(" CODE AMT ");
    SpreadsheetSettings::setExcelTemplate(" COL3 ");
    SpreadsheetSettings::setExcelCodeColumn("2nd");
    QCOMPARE(SpreadsheetSettings::ledgerAmountColumn(), 7);
    QCOMPARE(SpreadsheetSettings::ledgerCodeColumn(), 0);
    QCOMPARE(SpreadsheetSettings::ledgerTemplate(), QStringLiteral(" CODE AMT "));
    QCOMPARE(SpreadsheetSettings::excelTemplate(), QStringLiteral(" COL3 "));
    QCOMPARE(SpreadsheetSettings::excelCodeColumn(), QStringLiteral("2nd"));
}

QTEST_GUILESS_MAIN(TestSpreadsheetMessages)
#include "tst_spreadsheetmessages.moc"
