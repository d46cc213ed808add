#include "ClientTable.h"
#include "ProgramRun.h"
#include "SpreadsheetMessages.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTest>

#include <sys/resource.h>
#include <zip.h>

#include <functional>

namespace {

QString fixture(const QString& name)
{
    return QDir(QStringLiteral(WORKBOOK_FIXTURES)).filePath(name);
}

/// One zip entry, written a piece at a time so that a huge part never sits in memory.
struct ZipPart
{
    QString name;
    std::function<void(const std::function<void(const QByteArray&)>&)> write;
};

ZipPart Part(const QString& name, const QByteArray& content)
{
    return {name, [content](const auto& put) {
                put(content);
            }};
}

bool WriteZip(const QString& path, const QList<ZipPart>& parts)
{
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return false;
    bool written = true;
    for (const ZipPart& part : parts) {
        const zip_fileinfo info = {};
        written = written && zipOpenNewFileInZip64(zip, part.name.toUtf8().constData(), &info, nullptr, 0,
                                                   nullptr, 0, nullptr, Z_DEFLATED, 1, 1) == ZIP_OK;
        part.write([&](const QByteArray& bytes) {
            written =
                written && zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())) == ZIP_OK;
        });
        written = written && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && written;
}

/// An .xlsx of one sheet named Ledger whose sheet data the writer puts between its row tags.
QList<ZipPart> Xlsx(std::function<void(const std::function<void(const QByteArray&)>&)> sheetData)
{
    return {
        Part(QStringLiteral("[Content_Types].xml"), "<Types/>"),
        Part(QStringLiteral("xl/workbook.xml"),
             R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
             R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships">)"
             R"(<sheets><sheet name="Ledger" sheetId="1" r:id="rId1"/></sheets></workbook>)"),
        Part(
            QStringLiteral("xl/_rels/workbook.xml.rels"),
            R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
            R"(<Relationship Id="rId1" Type="x/worksheet" Target="worksheets/sheet1.xml"/></Relationships>)"),
        {QStringLiteral("xl/worksheets/sheet1.xml"),
         [sheetData](const auto& put) {
             put(R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)");
             sheetData(put);
             put("</sheetData></worksheet>");
         }},
    };
}

/// Workbooks of a few kilobytes or megabytes that would take gigabytes or minutes to read whole.
bool WriteHostile(const QString& kind, const QString& path)
{
    if (kind == u"ods of repeats") // one row a million times, one filled cell in it 16,384 times
        return WriteZip(
            path,
            {Part(QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"),
             Part(
                 QStringLiteral("content.xml"),
                 R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
                 R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
                 R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"><office:body>)"
                 R"(<office:spreadsheet><table:table table:name="Ledger">)"
                 R"(<table:table-row table:number-rows-repeated="1048576"><table:table-cell )"
                 R"(table:number-columns-repeated="16384" office:value-type="float" office:value="1">)"
                 R"(<text:p>1</text:p></table:table-cell></table:table-row>)"
                 R"(</table:table></office:spreadsheet></office:body></office:document-content>)")});
    if (kind == u"xlsx, a cell in column XFD of every row")
        return WriteZip(path, Xlsx([](const auto& put) {
                            QByteArray rows;
                            for (int row = 1; row <= 1 << 20; ++row) {
                                rows += "<row r=\"" + QByteArray::number(row) + "\"><c r=\"XFD" +
                                        QByteArray::number(row) + "\"><v>1</v></c></row>";
                                if (rows.size() > 1 << 20)
                                    put(std::exchange(rows, QByteArray()));
                            }
                            put(rows);
                        }));
    if (kind == u"xlsx, one huge text") // random letters, so that no ratio check meets it first
        return WriteZip(path, Xlsx([](const auto& put) {
                            put(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>)");
                            QByteArray letters(1 << 20, 'x');
                            for (int piece = 0; piece < 3; ++piece) {
                                for (char& c : letters)
                                    c = char('a' + QRandomGenerator::global()->bounded(26));
                                put(letters);
                            }
                            put("</t></is></c></row>");
                        }));
    if (kind == u"xlsx, a zip bomb") // the sheet's part inflates a thousand times
        return WriteZip(path, Xlsx([](const auto& put) {
                            const QByteArray blanks(1 << 20, ' ');
                            for (int piece = 0; piece < 64; ++piece)
                                put(blanks);
                        }));
    return false;
}

/// The largest resident memory of any child this test has waited for, in kilobytes.
long PeakChildKilobytes()
{
    rusage usage = {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
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
    void hostileWorkbooksWithinBounds_data();
    void hostileWorkbooksWithinBounds();

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

void TestSpreadsheetCli::hostileWorkbooksWithinBounds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason"); // the last line on stderr
    QTest::newRow("ods of repeats") << "ods of repeats" << 1
                                    << "brisant: .*: the sheet Ledger has more than 33554432 filled cells";
    // Within every bound: read, and nothing to queue.
    QTest::newRow("xlsx, a cell in column XFD of every row")
        << "xlsx, a cell in column XFD of every row" << 0 << "queued 0 messages, batch 1";
    QTest::newRow("xlsx, one huge text")
        << "xlsx, one huge text" << 1 << "brisant: .*Ledger.* holds a text of more than 1048576 characters";
    QTest::newRow("xlsx, a zip bomb")
        << "xlsx, a zip bomb" << 1 << "brisant: .*inflates to more than 100 times its packed size.*";
}

// Refused with a reason naming the bound, or read within it; never queued, never in gigabytes.
void TestSpreadsheetCli::hostileWorkbooksWithinBounds()
{
    QFETCH(QString, kind);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    const QString path =
        m_env->path(kind.contains(u"ods") ? QStringLiteral("hostile.ods") : QStringLiteral("hostile.xlsx"));
    QVERIFY(WriteHostile(kind, path));
    QVERIFY2(QFileInfo(path).size() < 8 << 20, "a hostile file is small");
    const ProgramRun run = brisant({"ledger", path, "--amount-col", "4", "--send"});
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(QRegularExpression(QRegularExpression::anchoredPattern(reason))
                 .match(run.errLines().value(run.errLines().size() - 1))
                 .hasMatch(),
             qPrintable(run.err));
    QVERIFY2(PeakChildKilobytes() < 1024 * 1024, qPrintable(QString::number(PeakChildKilobytes())));
    const std::unique_ptr<Store> store = m_env->openStore();
    QSqlQuery queued = store->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue"));
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toInt(), 0);
}

QTEST_GUILESS_MAIN(TestSpreadsheetCli)
#include "tst_spreadsheet_cli.moc"
