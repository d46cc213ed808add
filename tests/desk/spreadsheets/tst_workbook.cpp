#include "CellText.h"
#include "TestEnvironment.h"
#include "Workbook.h"

#include <QFile>
#include <QTest>

#include <zip.h>

#include <optional>

using Rows = QList<QStringList>;
using Kind = WorkbookError::Kind;

namespace {

/// Writes a zip of the named entries, in order; returns its path.
QString WriteZip(const TestEnvironment& environment, const QString& name,
                 const QList<std::pair<QString, QByteArray>>& entries)
{
    const QString path = environment.path(name);
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return {};
    bool written = true;
    for (const auto& [entry, content] : entries) {
        const zip_fileinfo info = {};
        written = written &&
                  zipOpenNewFileInZip64(zip, entry.toUtf8().constData(), &info, nullptr, 0, nullptr, 0,
                                        nullptr, Z_DEFLATED, Z_DEFAULT_COMPRESSION, 0) == ZIP_OK &&
                  zipWriteInFileInZip(zip, content.constData(), unsigned(content.size())) == ZIP_OK &&
                  zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && written ? path : QString();
}

/// A workbook of two sheets, Ledger (the given sheet data) and Notes, with two shared strings, a
/// date style (custom), a built-in date style and a time style; the first sheet's part is named by
/// an absolute target as some writers do.
QList<std::pair<QString, QByteArray>> XlsxEntries(const QByteArray& sheetData)
{
    return {
        {QStringLiteral("[Content_Types].xml"), "<Types/>"},
        {QStringLiteral("xl/workbook.xml"),
         R"(<workbook xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" )"
         R"(xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships"><workbookPr/>)"
         R"(<sheets><sheet name="Ledger" sheetId="1" r:id="rId7"/><sheet name="Notes" sheetId="2" r:id="rId2"/>)"
         "</sheets></workbook>"},
        {QStringLiteral("xl/_rels/workbook.xml.rels"),
         R"(<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">)"
         R"(<Relationship Id="rId2" Type="x/worksheet" Target="worksheets/notes.xml"/>)"
         R"(<Relationship Id="rId7" Type="x/worksheet" Target="/xl/worksheets/first.xml"/>)"
         R"(<Relationship Id="rId3" Type="x/sharedStrings" Target="sharedStrings.xml"/>)"
         R"(<Relationship Id="rId4" Type="x/styles" Target="styles.xml"/></Relationships>)"},
        {QStringLiteral("xl/sharedStrings.xml"),
         R"(<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
         R"(<si><t xml:space="preserve"> A003 </t></si>)"
         R"(<si><r><t>Jos</t></r><r><rPr><b/></rPr><t>é_x000D_</t></r><rPh><t>ホセ</t></rPh></si></sst>)"},
        {QStringLiteral("xl/styles.xml"),
         R"(<styleSheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main">)"
         R"(<numFmts><numFmt numFmtId="164" formatCode="dd\-mm\-yyyy"/><numFmt numFmtId="165" formatCode="[h]:mm"/>)"
         R"(</numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/><xf numFmtId="14"/><xf numFmtId="165"/>)"
         "</cellXfs></styleSheet>"},
        {QStringLiteral("xl/worksheets/first.xml"),
         R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" +
             sheetData + "</sheetData></worksheet>"},
        {QStringLiteral("xl/worksheets/notes.xml"),
         R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
         R"(<row r="1"><c r="A1" t="inlineStr"><is><t>Note</t></is></c></row></sheetData></worksheet>)"},
    };
}

QList<std::pair<QString, QByteArray>> OdsEntries(const QByteArray& tableContent)
{
    return {
        {QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
        {QStringLiteral("content.xml"),
         R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
         R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
         R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
         R"(xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0">)"
         R"(<office:body><office:spreadsheet><table:table table:name="Ledger">)" +
             tableContent +
             R"(</table:table><table:table table:name="Notes"><table:table-row><table:table-cell )"
             R"(office:value-type="string"><text:p>Note</text:p></table:table-cell></table:table-row>)"
             "</table:table></office:spreadsheet></office:body></office:document-content>"},
    };
}

/// The first sheet's rows, or the kind of the error that reading it gave.
std::pair<Rows, std::optional<Kind>> ReadFirstSheet(const QString& path)
{
    try {
        const Workbook workbook = Workbook::open(path);
        return {workbook.sheet(0).rows(), std::nullopt};
    } catch (const WorkbookError& error) {
        if (!error.message().contains(path))
            qWarning("the message does not name the file: %s", qPrintable(error.message()));
        return {{QStringList{error.message()}}, error.kind()};
    }
}

} // namespace

/// The workbook readers: cell texts, the formats' features, and failures.
class TestWorkbook : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void numberCellText_data();
    void numberCellText();
    void serialDateCellText_data();
    void serialDateCellText();
    void isDateFormat_data();
    void isDateFormat();
    void csv_data();
    void csv();
    void xlsx_data();
    void xlsx();
    void ods_data();
    void ods();
    void unreadable_data();
    void unreadable();
    void sheetsByName();
    void formulaThroughConversion();
    void fixtures_data();
    void fixtures();

private:
    TestEnvironment m_environment;
};

void TestWorkbook::initTestCase()
{
    // A formula without its value must be refused here, not converted by an installed LibreOffice.
    qputenv("KELVRA_SOFFICE", "");
}

void TestWorkbook::numberCellText_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("mobile") << 9876543210.0 << "9876543210";
    QTest::newRow("15 digits") << 123456789012345.0 << "123456789012345";
    QTest::newRow("negative whole") << -1234.0 << "-1234";
    QTest::newRow("negative zero") << -0.0 << "0";
    QTest::newRow("decimal") << 1234.5 << "1234.5";
    QTest::newRow("binary sum") << 0.1 + 0.2 << "0.30000000000000004";
    QTest::newRow("small") << 0.00001 << "0.00001";
}

void TestWorkbook::numberCellText()
{
    QFETCH(double, value);
    QTEST(NumberCellText(value), "text");
}

void TestWorkbook::serialDateCellText_data()
{
    QTest::addColumn<double>("serial");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("text");
    QTest::newRow("first day") << 1.0 << false << "01/01/1900";
    QTest::newRow("before the phantom day") << 59.0 << false << "28/02/1900";
    QTest::newRow("phantom 29 February") << 60.0 << false << "29/02/1900";
    QTest::newRow("after the phantom day") << 61.0 << false << "01/03/1900";
    QTest::newRow("a day in 2026") << 46364.0 << false << "08/12/2026";
    QTest::newRow("time of day dropped") << 46364.75 << false << "08/12/2026";
    QTest::newRow("a hair before midnight") << 46364.99999999999 << false << "09/12/2026";
    QTest::newRow("1904 system") << 44902.0 << true << "08/12/2026";
}

void TestWorkbook::serialDateCellText()
{
    QFETCH(double, serial);
    QFETCH(bool, date1904);
    QTEST(SerialDateCellText(serial, date1904), "text");
}

void TestWorkbook::isDateFormat_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("date");
    QTest::newRow("general") << 0 << "" << false;
    QTest::newRow("built-in date") << 14 << "" << true;
    QTest::newRow("built-in date and time") << 22 << "" << true;
    QTest::newRow("built-in time") << 20 << "" << false;
    QTest::newRow("built-in duration") << 46 << "" << false;
    QTest::newRow("built-in east Asian date") << 57 << "" << true;
    QTest::newRow("two decimals") << 2 << "" << false;
    QTest::newRow("custom date") << 164 << "dd/mm/yyyy" << true;
    QTest::newRow("escaped separators") << 164 << "dd\\-mmm\\-yy" << true;
    QTest::newRow("month and year") << 164 << "mmm yyyy" << true;
    QTest::newRow("date with locale") << 164 << "[$-409]d-mmm-yy;@" << true;
    QTest::newRow("date with time") << 164 << "dd/mm/yyyy hh:mm" << true;
    QTest::newRow("minutes after hours") << 164 << "hh:mm" << false;
    QTest::newRow("minutes before seconds") << 164 << "mm:ss" << false;
    QTest::newRow("elapsed hours") << 164 << "[h]:mm:ss" << false;
    QTest::newRow("am/pm") << 164 << "h:mm AM/PM" << false;
    QTest::newRow("letters quoted") << 164 << "#,##0.00 \"days\"" << false;
    QTest::newRow("letters escaped") << 164 << "0\\d" << false;
    QTest::newRow("colour") << 164 << "[Red]0.00" << false;
    QTest::newRow("currency with locale") << 164 << "[$₹-4009] #,##0.00" << false;
}

void TestWorkbook::isDateFormat()
{
    QFETCH(int, id);
    QFETCH(QString, code);
    QTEST(IsDateFormat(id, code), "date");
}

void TestWorkbook::csv_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<Rows>("rows");
    QTest::newRow("texts as written")
        << QByteArray("0098,\"1,234.50\",1e3, x \n") << Rows{{"0098", "1,234.50", "1e3", " x "}};
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBFJos\xC3\xA9,1\r\n") << Rows{{"José", "1"}};
    QTest::newRow("windows-1252") << QByteArray("Jos\xE9,\x80 5,\x93q\x94\n") << Rows{{"José", "€ 5", "“q”"}};
    QTest::newRow("quotes") << QByteArray("\"Bina \"\"B\"\" Shah\",\"\"\n") << Rows{{"Bina \"B\" Shah"}};
    QTest::newRow("line breaks in quotes")
        << QByteArray("\"a\r\nb\",\"c\nd\"\r\ne,f") << Rows{{"a\r\nb", "c\nd"}, {"e", "f"}};
    QTest::newRow("CR line ends") << QByteArray("a\rb\r\rc") << Rows{{"a"}, {"b"}, {}, {"c"}};
    QTest::newRow("trailing empty rows and cells")
        << QByteArray("a,,\n,\n\nb,c,\n,,\n\n") << Rows{{"a"}, {}, {}, {"b", "c"}};
    QTest::newRow("empty file") << QByteArray() << Rows{};
}

void TestWorkbook::csv()
{
    QFETCH(QByteArray, content);
    const QString path = m_environment.writeFile(QStringLiteral("Ledger.Dec.CSV"), content);
    const Workbook workbook = Workbook::open(path);
    QCOMPARE(workbook.sheetNames(), QStringList{QStringLiteral("Ledger.Dec")});
    QTEST(workbook.sheet(0).rows(), "rows");
}

void TestWorkbook::xlsx_data()
{
    QTest::addColumn<QByteArray>("sheetData");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("errorKind");
    QTest::newRow("shared strings and numbers")
        << QByteArray(R"(<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="s"><v>1</v></c>)"
                      R"(<c r="C1"><v>9876543210</v></c><c r="D1" t="n"><v>1234.5</v></c></row>)")
        << Rows{{" A003 ", "José\r", "9876543210", "1234.5"}} << -1;
    QTest::newRow("inline strings")
        << QByteArray(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>A001</t></is></c>)"
                      R"(<c r="B1" t="inlineStr"><is><r><t>Anand </t></r><r><t>Rao</t></r></is></c></row>)")
        << Rows{{"A001", "Anand Rao"}} << -1;
    QTest::newRow("a skipped row and cells without a reference")
        << QByteArray(R"(<row r="2"><c t="inlineStr"><is><t>a</t></is></c><c/><c><v>3</v></c></row>)"
                      R"(<row><c r="B3"><v>1</v></c><c><v>2</v></c></row>)")
        << Rows{{}, {"a", "", "3"}, {"", "1", "2"}} << -1;
    QTest::newRow("dates by style")
        << QByteArray(R"(<row r="1"><c r="A1" s="1"><v>46364</v></c><c r="B1" s="2"><v>46365.5</v></c>)"
                      R"(<c r="C1" s="3"><v>0.5</v></c><c r="D1" t="d"><v>2026-12-08T00:00:00</v></c></row>)")
        << Rows{{"08/12/2026", "09/12/2026", "0.5", "08/12/2026"}} << -1;
    QTest::newRow("formula values, booleans, errors")
        << QByteArray(
               R"(<row r="1"><c r="A1"><f>B1*2</f><v>2469</v></c><c r="B1" t="str"><f>"x"</f><v>x_x0041_</v></c>)"
               R"(<c r="C1" t="b"><v>1</v></c><c r="D1" t="b"><v>0</v></c><c r="E1" t="e"><v>#DIV/0!</v></c></row>)")
        << Rows{{"2469", "xA", "TRUE", "FALSE", "#DIV/0!"}} << -1;
    QTest::newRow("formula without its value")
        << QByteArray(R"(<row r="1"><c r="A1"><v>1</v></c></row><row r="2"><c r="F2"><f>D2*2</f></c></row>)")
        << Rows{{"the sheet Ledger of PATH holds a formula whose value is not saved in the file (cell F2): "
                 "open it in a spreadsheet program and save it again"}}
        << int(Kind::FormulaWithoutValue);
    QTest::newRow("damaged sheet") << QByteArray("<row><c>") << Rows{} << int(Kind::Unreadable);
}

void TestWorkbook::xlsx()
{
    QFETCH(QByteArray, sheetData);
    QFETCH(Rows, rows);
    QFETCH(int, errorKind);
    const QString path = WriteZip(m_environment, QStringLiteral("book.xlsx"), XlsxEntries(sheetData));
    QCOMPARE(Workbook::open(path).sheetNames(),
             (QStringList{QStringLiteral("Ledger"), QStringLiteral("Notes")}));
    const auto [read, kind] = ReadFirstSheet(path);
    QCOMPARE(kind ? int(*kind) : -1, errorKind);
    if (!rows.isEmpty())
        QCOMPARE(read, kind ? Rows{{rows[0][0].replace(QLatin1String("PATH"), path)}} : rows);
    QCOMPARE(Workbook::open(path).sheet(1).rows(), Rows{{"Note"}});
}

void TestWorkbook::ods_data()
{
    QTest::addColumn<QByteArray>("table");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<int>("errorKind");
    QTest::newRow("values by type")
        << QByteArray(
               R"(<table:table-row><table:table-cell office:value-type="float" office:value="9876543210">)"
               R"(<text:p>9.88E+09</text:p></table:table-cell>)"
               R"(<table:table-cell office:value-type="currency" office:value="-1234.5"><text:p>x</text:p></table:table-cell>)"
               R"(<table:table-cell office:value-type="percentage" office:value="0.25"/>)"
               R"(<table:table-cell office:value-type="date" office:date-value="2026-12-08T10:30:00"/>)"
               R"(<table:table-cell office:value-type="time" office:time-value="PT10H30M"><text:p>10:30</text:p></table:table-cell>)"
               R"(<table:table-cell office:value-type="boolean" office:boolean-value="true"/>)"
               R"(<table:table-cell table:formula="of:=1/0" office:value-type="float" office:value="0" )"
               R"(calcext:value-type="error"><text:p>#DIV/0!</text:p></table:table-cell></table:table-row>)")
        << Rows{{"9876543210", "-1234.5", "0.25", "08/12/2026", "10:30", "TRUE", "#DIV/0!"}} << -1;
    QTest::newRow("texts")
        << QByteArray(
               R"(<table:table-row><table:table-cell office:value-type="string"><text:p><text:s/>A003<text:s )"
               R"(text:c="2"/></text:p></table:table-cell><table:table-cell office:value-type="string"><text:p>Pay )"
               R"(<text:span>"today"</text:span><text:tab/>–<text:line-break/><text:a>thanks</text:a></text:p>)"
               R"(<text:p>two</text:p></table:table-cell><table:table-cell><text:p>)"
               "\n  three\n   <text:span> four</text:span> </text:p></table:table-cell></table:table-row>")
        << Rows{{" A003  ", "Pay \"today\"\t–\nthanks\ntwo", "three four "}} << -1;
    QTest::newRow("repeats")
        << QByteArray(
               R"(<table:table-row table:number-rows-repeated="2"><table:table-cell )"
               R"(table:number-columns-repeated="16384"/></table:table-row><table:table-row>)"
               R"(<table:table-cell table:number-columns-repeated="2"/><table:table-cell )"
               R"(table:number-columns-repeated="2" office:value-type="float" office:value="7"/>)"
               R"(<table:covered-table-cell office:value-type="string"><text:p>c</text:p></table:covered-table-cell>)"
               R"(<table:table-cell table:number-columns-repeated="16000"/></table:table-row>)"
               R"(<table:table-row table:number-rows-repeated="1048571"><table:table-cell )"
               R"(table:number-columns-repeated="16384"/></table:table-row>)")
        << Rows{{}, {}, {"", "", "7", "7", "c"}} << -1;
    QTest::newRow("formula without its value")
        << QByteArray(R"(<table:table-row><table:table-cell/><table:table-cell table:formula="of:=[.A1]*2"/>)"
                      R"(</table:table-row>)")
        << Rows{{"the sheet Ledger of PATH holds a formula whose value is not saved in the file (cell B1): "
                 "open it in a spreadsheet program and save it again"}}
        << int(Kind::FormulaWithoutValue);
}

void TestWorkbook::ods()
{
    QFETCH(QByteArray, table);
    QFETCH(Rows, rows);
    QFETCH(int, errorKind);
    const QString path = WriteZip(m_environment, QStringLiteral("book.ods"), OdsEntries(table));
    QCOMPARE(Workbook::open(path).sheetNames(),
             (QStringList{QStringLiteral("Ledger"), QStringLiteral("Notes")}));
    const auto [read, kind] = ReadFirstSheet(path);
    QCOMPARE(kind ? int(*kind) : -1, errorKind);
    QCOMPARE(read, kind ? Rows{{rows[0][0].replace(QLatin1String("PATH"), path)}} : rows);
    QCOMPARE(Workbook::open(path).sheet(1).rows(), Rows{{"Note"}});
}

void TestWorkbook::unreadable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << "missing.csv" << QByteArray() << "no such file";
    QTest::newRow("binary junk") << "junk.xlsx" << QByteArray("\x01\x02\x00\xFFjunk", 8)
                                 << "not a workbook (.xls, .xlsx, .ods or .csv)";
    QTest::newRow("broken zip") << "broken.xlsx" << QByteArray("PK\x03\x04\x00\x00junk", 10)
                                << "not a workbook (.xls, .xlsx, .ods or .csv)";
}

void TestWorkbook::unreadable()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path =
        content.isEmpty() ? m_environment.path(name) : m_environment.writeFile(name, content);
    try {
        Workbook::open(path);
        QFAIL("the file was opened");
    } catch (const WorkbookError& error) {
        QCOMPARE(error.kind(), Kind::Unreadable);
        QCOMPARE(error.message(), path + QStringLiteral(": ") + reason);
    }
}

void TestWorkbook::sheetsByName()
{
    const QString path = WriteZip(m_environment, QStringLiteral("names.ods"), OdsEntries({}));
    const Workbook workbook = Workbook::open(path);
    QCOMPARE(workbook.sheet(QStringLiteral("Notes")).cell(1, 1), QStringLiteral("Note"));
    try {
        workbook.sheet(QStringLiteral("notes"));
        QFAIL("a sheet was found by another name");
    } catch (const WorkbookError& error) {
        QCOMPARE(error.kind(), Kind::NoSuchSheet);
        QCOMPARE(error.message(), path + QStringLiteral(": no sheet named notes"));
    }
}

void TestWorkbook::formulaThroughConversion()
{
    // A stand-in for LibreOffice that "converts" into a workbook whose formula holds its value.
    const QString converted = WriteZip(m_environment, QStringLiteral("converted.xlsx"),
                                       XlsxEntries(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c></row>)"));
    const QString program = m_environment.writeFile(
        QStringLiteral("soffice"),
        "#!/bin/sh\nwhile [ $# -gt 1 ]; do [ \"$1\" = --outdir ] && out=$2; shift; done\n"
        "mkdir -p \"$out\" && cp \"" +
            converted.toUtf8() + "\" \"$out/copy.xlsx\"\n");
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    const QString path = WriteZip(m_environment, QStringLiteral("unsaved.xlsx"),
                                  XlsxEntries(R"(<row r="1"><c r="A1"><f>1+1</f></c></row>)"));
    qputenv("KELVRA_SOFFICE", program.toLocal8Bit());
    const auto [rows, kind] = ReadFirstSheet(path);
    qputenv("KELVRA_SOFFICE", "");
    QVERIFY(!kind);
    QCOMPARE(rows, Rows{{"2"}});
}

void TestWorkbook::fixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("sheetName");
    for (const char* file : {"ledger.xlsx", "ledger-xlsxwriter.xlsx", "ledger-inline.xlsx", "ledger.ods"})
        QTest::newRow(file) << file << "Ledger";
    QTest::newRow("ledger.csv") << "ledger.csv"
                                << "ledger";
}

void TestWorkbook::fixtures()
{
    QFETCH(QString, file);
    const Workbook workbook = Workbook::open(QStringLiteral(WORKBOOK_FIXTURES "/") + file);
    const Worksheet sheet = workbook.sheet(0);
    QTEST(sheet.name(), "sheetName");
    QCOMPARE(sheet.rowCount(), 8);
    QCOMPARE(sheet.rows()[1],
             (QStringList{"A001", "Anand Rao", "9876543210", "1234.5", "08/12/2026", "2469"}));
    QCOMPARE(sheet.rows()[2].value(1), QStringLiteral("Bina \"B\" Shah"));
    QCOMPARE(sheet.rows()[3], QStringList());
    QCOMPARE(sheet.rows()[5].value(1), QStringLiteral("José Müller"));
    QCOMPARE(sheet.rows()[6], (QStringList{"Total", "", "", "251.25"}));
    QCOMPARE(sheet.cell(8, 4), QStringLiteral("1,234.50"));
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
