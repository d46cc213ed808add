#include "TestEnvironment.h"
#include "TestFiles.h"
#include "Workbook.h"
#include "WorkbookSource.h"

#include <QTest>

#include <optional>

using Rows = QList<QStringList>;

/// The fixture workbooks, saved by LibreOffice, libxlsxwriter and by hand, read as the same cells in
/// every format; the formulas of an Excel 97 file are converted or refused, never read empty.
class TestWorkbookFormats : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void sameCellsInEveryFormat_data();
    void sameCellsInEveryFormat();
    void sheetNamesInWorkbookOrder_data();
    void sheetNamesInWorkbookOrder();
    void xlsFormulasRefusedWithoutConversion_data();
    void xlsFormulasRefusedWithoutConversion();
    void xlsFormulasReadThroughLibreOffice_data();
    void xlsFormulasReadThroughLibreOffice();
    void damagedXlsIsUnreadable();

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
    AddFixtureRows({"ledger.csv", "ledger.xlsx", "ledger.ods", "ledger-xlsxwriter.xlsx", "ledger-inline.xlsx",
                    "stock.csv", "stock.xlsx", "stock.ods", "template.csv", "template.xls", "template.xlsx",
                    "template.ods"});
}

void TestWorkbookFormats::sameCellsInEveryFormat()
{
    QFETCH(QString, file);
    QFETCH(Rows, rows);
    // Nothing here needs a conversion; one would hide a reader that gives up.
    qputenv("KELVRA_SOFFICE", "");
    QCOMPARE(Workbook::open(Fixture(file)).sheet(0).rows(), rows);
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

void TestWorkbookFormats::xlsFormulasRefusedWithoutConversion_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("soffice");
    QTest::addColumn<QString>("firstFormula");
    QTest::newRow("ledger, no LibreOffice") << "ledger.xls" << QByteArray() << "F2";
    QTest::newRow("stock, no LibreOffice") << "stock.xls" << QByteArray() << "C9";
    QTest::newRow("ledger, conversion fails") << "ledger.xls" << QByteArray("false") << "F2";
}

void TestWorkbookFormats::xlsFormulasRefusedWithoutConversion()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, soffice);
    QFETCH(QString, firstFormula);
    qputenv("KELVRA_SOFFICE", soffice);
    const Workbook workbook = Workbook::open(Fixture(file));
    try {
        workbook.sheet(0);
        QFAIL("a sheet with formulas was read without their values");
    } catch (const WorkbookError& error) {
        QCOMPARE(error.kind(), WorkbookError::Kind::FormulaWithoutValue);
        QVERIFY2(error.message().contains(Fixture(file)), qPrintable(error.message()));
        QVERIFY2(error.message().contains("(the first is " + firstFormula + ")"),
                 qPrintable(error.message()));
        QVERIFY2(!error.message().contains('\n'), qPrintable(error.message()));
    }
}

void TestWorkbookFormats::xlsFormulasReadThroughLibreOffice_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<Rows>("rows");
    AddFixtureRows({"ledger.xls"});
}

void TestWorkbookFormats::xlsFormulasReadThroughLibreOffice()
{
    QFETCH(QString, file);
    QFETCH(Rows, rows);
    qunsetenv("KELVRA_SOFFICE");
    if (!CanConvertWorkbooks())
        QSKIP("LibreOffice (soffice) is not installed");
    QCOMPARE(Workbook::open(Fixture(file)).sheet(0).rows(), rows);
}

void TestWorkbookFormats::damagedXlsIsUnreadable()
{
    const QByteArray whole = ReadFile(Fixture("template.xls"));
    QVERIFY(!whole.isEmpty());
    const QString damaged = m_environment->writeFile("damaged.xls", whole.left(whole.size() / 2));
    try {
        Workbook::open(damaged).sheet(0);
        QFAIL("a damaged workbook was read");
    } catch (const WorkbookError& error) {
        QCOMPARE(error.kind(), WorkbookError::Kind::Unreadable);
        QVERIFY2(error.message().contains(damaged), qPrintable(error.message()));
    }
}

QTEST_GUILESS_MAIN(TestWorkbookFormats)
#include "tst_workbookformats.moc"
