#include "TestEnvironment.h"
#include "TestFiles.h"
#include "Workbook.h"

#include <QTest>

#include <optional>

using Rows = QList<QStringList>;

/// The fixture workbooks, saved by LibreOffice, libxlsxwriter and by hand, read as the same cells in
/// every format, each cell as LibreOffice shows it.
class TestWorkbookFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void sameCellsInEveryFormat_data();
    void sameCellsInEveryFormat();
    void cellsAsLibreOfficeShowsThem_data();
    void cellsAsLibreOfficeShowsThem();
    void sheetNamesInWorkbookOrder_data();
    void sheetNamesInWorkbookOrder();
    void backOfficeExportsUnderTheNameXls_data();
    void backOfficeExportsUnderTheNameXls();
    void refusedSayingWhatTheFileIs_data();
    void refusedSayingWhatTheFileIs();

private:
    std::unique_ptr<TestEnvironment> m_environment;
    std::optional<QByteArray> m_soffice;
};

namespace {

QString Fixture(const QString& name)
{
    return QStringLiteral(WORKBOOK_FIXTURES "/") + name;
}

/// The first sheet of each fixture as a person sees it, whatever program saved it.
Rows Expected(const QString& workbook)
{
    if (workbook == "ledger")
        return {
            {"Client Code", "Client Name", "Mobile", "Balance", "As On", "Double"},
            {"A001", "Anand Rao", "9876543210", "1234.5", "08/12/2026", "2469"},
            {"A002", "Bina \"B\" Shah", "9876500001", "-1234", "08/12/2026", "-2468"},
            {},
            {"A 003", "Chitra Iyer", "9876500002", "0", "08/12/2026", "0"},
            {"ZZ99", "José Müller", "9876500003", "250.75", "09/12/2026", "501.5"},
            {"Total", "", "", "251.25"},
            {"A004", "Dev", "9876500004", "1,234.50"},
        };
    if (workbook == "stock")
        return {
            {"Code", "Scrip", "Quantity"}, {"A001", "RELIANCE", "10"},  {"A001", "TCS", "1,250"},
            {"A001", "INFY", "10.5"},      {"A002", "HDFCBANK", "100"}, {},
            {"A001", "SBIN", "5"},         {"ZZ99", "ITC", "20"},       {"Total", "", "145.5"},
        };
    return {
        {"Code", "Name", "Amount", "Due", "Note"},
        {"A001", "Anand Rao", "1500", "10/12/2026", "Pay \"today\" – thanks"},
        {"A002", "Bina", "2500.5", "11/12/2026", "see COL7 here"},
        {},
        {"ZZ99", "Nobody", "10", "12/12/2026", "x"},
        {" A003 ", "Chitra", "0", "13/12/2026"},
    };
}

void AddFixtureRows(const QStringList& files)
{
    for (const QString& file : files)
        QTest::newRow(qPrintable(file))
            << file << Expected(file.section(QLatin1Char('.'), 0, 0).section('-', 0, 0));
}

} // namespace

void TestWorkbookFormats::init()
{
    m_environment = std::make_unique<TestEnvironment>();
    m_soffice =
        qEnvironmentVariableIsSet("KELVRA_SOFFICE") ? std::optional(qgetenv("KELVRA_SOFFICE")) : std::nullopt;
}

void TestWorkbookFormats::cleanup()
{
    if (m_soffice)
        qputenv("KELVRA_SOFFICE", *m_soffice);
    else
        qunsetenv("KELVRA_SOFFICE");
    m_environment.reset();
}

void TestWorkbookFormats::sameCellsInEveryFormat_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Rows>("rows");
    AddFixtureRows({"ledger.csv", "ledger.xls", "ledger.xlsx", "ledger.ods", "ledger-xlsxwriter.xlsx",
                    "ledger-inline.xlsx", "stock.csv", "stock.xls", "stock.xlsx", "stock.ods", "template.csv",
                    "template.xls", "template.xlsx", "template.ods"});
}

void TestWorkbookFormats::sameCellsInEveryFormat()
{
    QFETCH(QString, file);
    QFETCH(Rows, rows);
    // Nothing here needs a conversion; one would hide a reader that gives up.
    qputenv("KELVRA_SOFFICE", "");
    QCOMPARE(Workbook::open(Fixture(file)).sheet(0).rows(), rows);
}

void TestWorkbookFormats::cellsAsLibreOfficeShowsThem_data()
{
    QTest::addColumn<QString>("file");
    for (const char* file : {"formats.xlsx", "formats.ods", "formats.xls"})
        QTest::newRow(file) << file;
}

void TestWorkbookFormats::cellsAsLibreOfficeShowsThem()
{
    QFETCH(QString, file);
    qputenv("KELVRA_SOFFICE", "");
    // LibreOffice's export of the same sheet with every cell as shown; each row names its format first.
    const Worksheet shown = Workbook::open(Fixture("formats.csv")).sheet(0);
    const Worksheet sheet = Workbook::open(Fixture(file)).sheet(0);
    QCOMPARE(sheet.rowCount(), shown.rowCount());
    for (int row = 1; row <= shown.rowCount(); ++row)
        QVERIFY2(sheet.row(row) == shown.row(row),
                 qPrintable(QStringLiteral("%1 instead of %2")
                                .arg(sheet.row(row).join(u'|'), shown.row(row).join(u'|'))));
}

void TestWorkbookFormats::sheetNamesInWorkbookOrder_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("names");
    for (const char* format : {"xls", "xlsx", "ods"}) {
        QTest::addRow("ledger.%s", format) << "ledger." + QLatin1String(format) << QStringList{"Ledger"};
        QTest::addRow("template.%s", format)
            << "template." + QLatin1String(format) << QStringList{"Template", "Notes"};
    }
    QTest::newRow("ledger-inline.xlsx") << "ledger-inline.xlsx" << QStringList{"Ledger"};
    QTest::newRow("ledger.csv") << "ledger.csv" << QStringList{"ledger"};
    QTest::newRow("template.csv") << "template.csv" << QStringList{"template"};
}

void TestWorkbookFormats::sheetNamesInWorkbookOrder()
{
    QFETCH(QString, file);
    QFETCH(QStringList, names);
    const Workbook workbook = Workbook::open(Fixture(file));
    QCOMPARE(workbook.sheetNames(), names);
    QCOMPARE(workbook.sheet(names.last()).name(), names.last());
}

void TestWorkbookFormats::backOfficeExportsUnderTheNameXls_data()
{
    QTest::addColumn<QByteArray>("content");
    // The ledger's cells as back offices write them into a file they name .xls.
    QByteArray tabs;
    QByteArray html = "<html><head><meta charset=\"utf-8\"><style>td {mso-number-format:\"\\@\";}</style>"
                      "</head>\n<body><table border=1>\n";
    for (const QStringList& row : Expected("ledger")) {
        QStringList quoted;
        html += "<tr>";
        for (const QString& cell : row) {
            quoted << (cell.contains(u'"')
                           ? u'"' + QString(cell).replace(QStringLiteral("\""), QStringLiteral("\"\"")) + u'"'
                           : cell);
            html += "<td>" + cell.toHtmlEscaped().replace(u' ', QStringLiteral("&nbsp;")).toUtf8() + "</td>";
        }
        tabs += quoted.join(u'\t').toUtf8() + "\r\n";
        html += "</tr>\n";
    }
    html += "</table></body></html>\n";
    QTest::newRow("tab-separated text") << tabs;
    const QString unicode = QString::fromUtf8(tabs);
    QTest::newRow("tab-separated UTF-16 text, as Excel saves Unicode text")
        << QByteArray("\xFF\xFE") +
               QByteArray(reinterpret_cast<const char*>(unicode.utf16()), unicode.size() * 2);
    QTest::newRow("an HTML table") << html;
}

// The same texts as the same data in a .csv file.
void TestWorkbookFormats::backOfficeExportsUnderTheNameXls()
{
    QFETCH(QByteArray, content);
    const Workbook workbook = Workbook::open(m_environment->writeFile("ledger.xls", content));
    QCOMPARE(workbook.sheetNames(), QStringList{"ledger"});
    QCOMPARE(workbook.sheet(0).rows(), Expected("ledger"));
}

void TestWorkbookFormats::refusedSayingWhatTheFileIs_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason"); // after the path
    const QByteArray xls = ReadFile(Fixture("template.xls"));
    QTest::newRow("half an Excel workbook") << xls.left(xls.size() / 2) << ": damaged";
    QTest::newRow("a PDF named .xls")
        << QByteArray("%PDF-1.7\n%\xE2\xE3") << ": a PDF document, not a workbook";
    QTest::newRow("a zip of no workbook")
        << QByteArray("PK\x03\x04 nothing more") << ": a zip archive that holds no workbook, not a workbook";
    QTest::newRow("bytes of no kind")
        << QByteArray("\x01\x02\x03\x04\x05 binary") << ": binary data of no kind read here, not a workbook";
}

void TestWorkbookFormats::refusedSayingWhatTheFileIs()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QVERIFY(!content.isEmpty());
    const QString path = m_environment->writeFile("export.xls", content);
    try {
        Workbook::open(path).sheet(0);
        QFAIL("it was read");
    } catch (const WorkbookError& error) {
        QCOMPARE(error.kind(), WorkbookError::Kind::Unreadable);
        QVERIFY2(error.message().startsWith(path + reason), qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(TestWorkbookFormats)
#include "tst_workbookformats.moc"
