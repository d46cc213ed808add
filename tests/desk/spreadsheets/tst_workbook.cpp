#include "CellText.h"
#include "NumberFormat.h"
#include "TestEnvironment.h"
#include "Workbook.h"

#include <QFile>
#include <QTest>

#include <zip.h>

#include <functional>
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

/// A large entry written piece by piece, so that it never sits in memory whole: head, then pieces(i)
/// for i from 0 while it gives bytes, then tail.
struct LargeEntry
{
    QString name;
    QByteArray head;
    std::function<QByteArray(qint64)> pieces;
    QByteArray tail;
};

/// Writes a zip of the named entries, in order, the large one in place of the entry of its name, at
/// the fastest compression; returns its path.
QString WriteLargeZip(const TestEnvironment& environment, const QString& name,
                      const QList<std::pair<QString, QByteArray>>& entries, const LargeEntry& large)
{
    const QString path = environment.path(name);
    zipFile zip = zipOpen64(QFile::encodeName(path).constData(), APPEND_STATUS_CREATE);
    if (!zip)
        return {};
    const auto write = [zip](const QByteArray& bytes) {
        return zipWriteInFileInZip(zip, bytes.constData(), unsigned(bytes.size())) == ZIP_OK;
    };
    bool written = true;
    for (const auto& [entry, content] : entries) {
        const zip_fileinfo info = {};
        written =
            written && zipOpenNewFileInZip64(zip, entry.toUtf8().constData(), &info, nullptr, 0, nullptr, 0,
                                             nullptr, Z_DEFLATED, Z_BEST_SPEED, 1) == ZIP_OK;
        if (entry != large.name) {
            written = written && write(content);
        } else {
            written = written && write(large.head);
            for (qint64 i = 0; written; ++i) {
                const QByteArray piece = large.pieces(i);
                if (piece.isEmpty())
                    break;
                written = write(piece);
            }
            written = written && write(large.tail);
        }
        written = written && zipCloseFileInZip(zip) == ZIP_OK;
    }
    return zipClose(zip, nullptr) == ZIP_OK && written ? path : QString();
}

/// A workbook of two sheets, Ledger (the given sheet data) and Notes, with two shared strings and
/// the cell formats General, a custom date, built-in 14 (a date), an elapsed time, built-in 4
/// (#,##0.00) and a fraction, which is not read; the first sheet's part is named by an absolute target
/// as some writers do.
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
         R"(<numFmt numFmtId="166" formatCode="# ?/?"/></numFmts><cellXfs><xf numFmtId="0"/><xf numFmtId="164"/>)"
         R"(<xf numFmtId="14"/><xf numFmtId="165"/><xf numFmtId="4"/><xf numFmtId="166"/></cellXfs></styleSheet>)"},
        {QStringLiteral("xl/worksheets/first.xml"),
         R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)" +
             sheetData + "</sheetData></worksheet>"},
        {QStringLiteral("xl/worksheets/notes.xml"),
         R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)"
         R"(<row r="1"><c r="A1" t="inlineStr"><is><t>Note</t></is></c></row></sheetData></worksheet>)"},
    };
}

/// A spreadsheet of two tables, Ledger (the given rows) and Notes, and cell styles: ce1 with two
/// grouped decimals, ce2 a percentage, ce3 a fraction (not read).
QList<std::pair<QString, QByteArray>> OdsEntries(const QByteArray& tableContent)
{
    return {
        {QStringLiteral("mimetype"), "application/vnd.oasis.opendocument.spreadsheet"},
        {QStringLiteral("content.xml"),
         R"(<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" )"
         R"(xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" )"
         R"(xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" )"
         R"(xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" )"
         R"(xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" )"
         R"(xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0">)"
         R"(<office:automatic-styles><number:number-style style:name="N1"><number:number )"
         R"(number:decimal-places="2" number:min-integer-digits="1" number:grouping="true"/></number:number-style>)"
         R"(<number:percentage-style style:name="N2"><number:number number:decimal-places="1" )"
         R"(number:min-integer-digits="1"/><number:text>%</number:text></number:percentage-style>)"
         R"(<number:number-style style:name="N3"><number:fraction number:min-numerator-digits="1" )"
         R"(number:min-denominator-digits="1"/></number:number-style>)"
         R"(<style:style style:name="ce1" style:family="table-cell" style:data-style-name="N1"/>)"
         R"(<style:style style:name="ce2" style:family="table-cell" style:data-style-name="N2"/>)"
         R"(<style:style style:name="ce3" style:family="table-cell" style:data-style-name="N3"/>)"
         R"(</office:automatic-styles><office:body><office:spreadsheet><table:table table:name="Ledger">)" +
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
    void init();
    void cleanup();
    void numberCellText_data();
    void numberCellText();
    void formatNumber_data();
    void formatNumber();
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
    void hostile_data();
    void hostile();

private:
    std::unique_ptr<TestEnvironment> m_environment;
};

void TestWorkbook::initTestCase()
{
    // A formula without its value must be refused here, not converted by an installed LibreOffice.
    qputenv("KELVRA_SOFFICE", "");
}

void TestWorkbook::init()
{
    m_environment = std::make_unique<TestEnvironment>();
}

void TestWorkbook::cleanup()
{
    m_environment.reset();
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
    QTest::newRow("binary sum") << 0.1 + 0.2 << "0.3";
    QTest::newRow("small") << 0.00001 << "0.00001";
}

void TestWorkbook::numberCellText()
{
    QFETCH(double, value);
    QTEST(NumberCellText(value), "text");
}

// What formats.fods leaves out, each row checked against LibreOffice's own text; "not read" for a code
// that must be refused rather than shown another way.
void TestWorkbook::formatNumber_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("date1904");
    QTest::addColumn<QString>("text");
    QTest::newRow("General, small") << 1.23456789e-9 << "General" << false << "1.23456789E-09";
    QTest::newRow("General, past 2^53")
        << 9007199254740992.0 << "General" << false << "9.00719925474099E+015";
    QTest::newRow("General, half up on the shortest digits")
        << 100000000000000.5 << "General" << false << "100000000000001";
    QTest::newRow("General with a colour") << 1e20 << "[Red]General" << false << "1.00000000000000E+20";
    QTest::newRow("whole percent of the binary value") << 1.005 << "0%" << false << "100%";
    QTest::newRow("scaled by thousands") << 1234567.0 << "#,##0," << false << "1,235";
    QTest::newRow("blanks for zeros") << 123.0 << "0.0?" << false << "123.0 ";
    QTest::newRow("engineering notation") << 0.075 << "##0.0E+0" << false << "75.0E-3";
    QTest::newRow("accounting zero") << 0.0 << "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"??_);_(@_)" << false
                                     << " -   ";
    QTest::newRow("elapsed hours") << 45000.123456 << "[h]:mm:ss" << false << "1080002:57:47";
    QTest::newRow("a time a hair before its second")
        << 45000.43767361111 << "hh:mm:ss" << false << "10:30:15";
    QTest::newRow("a date a hair before midnight")
        << 45000.99999999988 << "dd/mm/yyyy" << false << "16/03/2023";
    QTest::newRow("1904 system") << 0.0 << "dd/mm/yyyy" << true << "01/01/1904";
    QTest::newRow("long date of the system")
        << 46364.0 << "[$-F800]dddd, mmmm dd, yyyy" << false << "Tuesday, December 8, 2026";
    QTest::newRow("fraction") << 1.5 << "# ?/?" << false << "not read";
    QTest::newRow("condition") << 1.5 << "[>=100]0;0.00" << false << "not read";
    QTest::newRow("German locale") << 1.5 << "[$-407]0.00" << false << "not read";
    QTest::newRow("Julian calendar") << -200000.0 << "dd/mm/yyyy" << false << "not read";
}

void TestWorkbook::formatNumber()
{
    QFETCH(double, value);
    QFETCH(QString, code);
    QFETCH(bool, date1904);
    QTEST(FormatNumber(value, code, date1904).value_or(QStringLiteral("not read")), "text");
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
    const QString path = m_environment->writeFile(QStringLiteral("Ledger.Dec.CSV"), content);
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
    // Built-in 14, the short date, in the order of day, month and year.
    QTest::newRow("numbers in their formats")
        << QByteArray(
               R"(<row r="1"><c r="A1" s="1"><v>46364</v></c><c r="B1" s="2"><v>46365.5</v></c>)"
               R"(<c r="C1" s="3"><v>1.5</v></c><c r="D1" t="d"><v>2026-12-08T00:00:00</v></c>)"
               R"(<c r="E1" s="4"><f>1234567.891</f><v>1234567.891</v></c><c r="F1" s="4" t="s"><v>0</v></c>)"
               R"(<c r="G1" s="9"><v>0.1</v></c></row>)")
        << Rows{{"08-12-2026", "09/12/2026", "36:00", "08/12/2026", "1,234,567.89", " A003 ", "0.1"}} << -1;
    QTest::newRow("a number format not read")
        << QByteArray(R"(<row r="1"><c r="A1" s="5" t="s"><v>0</v></c><c r="B1" s="5"><v>1.5</v></c></row>)")
        << Rows{{"the sheet Ledger of PATH shows the cell B1 in a number format that is not read (\"# "
                 "?/?\"): "
                 "give the cell another format and save the workbook again"}}
        << int(Kind::FormatNotRead);
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
    const QString path = WriteZip(*m_environment, QStringLiteral("book.xlsx"), XlsxEntries(sheetData));
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
    // A cell without a style of its own takes its row's, else its column's; General without either.
    QTest::newRow("values in their data styles")
        << QByteArray(
               R"(<table:table-column table:default-cell-style-name="ce1"/><table:table-column )"
               R"(table:number-columns-repeated="3"/><table:table-row><table:table-cell office:value-type="float" )"
               R"(office:value="1234.5"/><table:table-cell table:style-name="ce2" office:value-type="percentage" )"
               R"(office:value="0.075"/><table:table-cell office:value-type="float" office:value="2.5"/>)"
               R"(<table:table-cell table:style-name="ce3" office:value-type="float" office:value="1.5"><text:p>1 )"
               R"(1/2</text:p></table:table-cell></table:table-row><table:table-row )"
               R"(table:default-cell-style-name="ce2"><table:table-cell office:value-type="float" )"
               R"(office:value="0.5"/></table:table-row>)")
        << Rows{{"1,234.50", "7.5%", "2.5", "1 1/2"}, {"50.0%"}} << -1;
    QTest::newRow("a data style not read, without the saved text")
        << QByteArray(
               R"(<table:table-row><table:table-cell table:style-name="ce3" office:value-type="float" )"
               R"(office:value="1.5"/></table:table-row>)")
        << Rows{{"the sheet Ledger of PATH shows the cell A1 in a number format that is not read (data style "
                 "N3): "
                 "give the cell another format and save the workbook again"}}
        << int(Kind::FormatNotRead);
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
    const QString path = WriteZip(*m_environment, QStringLiteral("book.ods"), OdsEntries(table));
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
    QTest::newRow("binary junk")
        << "junk.xlsx" << QByteArray("\x01\x02\x00\xFFjunk", 8)
        << "binary data of no kind read here, not a workbook (.xls, .xlsx, .ods or .csv)";
    QTest::newRow("broken zip")
        << "broken.xlsx" << QByteArray("PK\x03\x04\x00\x00junk", 10)
        << "a zip archive that holds no workbook, not a workbook (.xls, .xlsx, .ods or .csv)";
}

void TestWorkbook::unreadable()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    const QString path =
        content.isEmpty() ? m_environment->path(name) : m_environment->writeFile(name, content);
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
    const QString path = WriteZip(*m_environment, QStringLiteral("names.ods"), OdsEntries({}));
    const Workbook workbook = Workbook::open(path);
    QCOMPARE(workbook.sheet(QStringLiteral("Notes")).cell(1, 1), QStringLiteral("Note"));
    try {
        workbook.sheet(QStringLiteral("Note"));
        QFAIL("a sheet was found by another name");
    } catch (const WorkbookError& error) {
        QCOMPARE(error.kind(), Kind::NoSuchSheet);
        QCOMPARE(error.message(), path + QStringLiteral(": no sheet named Note"));
    }
}

void TestWorkbook::formulaThroughConversion()
{
    // A stand-in for LibreOffice that "converts" into a workbook whose formula holds its value.
    const QString converted = WriteZip(*m_environment, QStringLiteral("converted.xlsx"),
                                       XlsxEntries(R"(<row r="1"><c r="A1"><f>1+1</f><v>2</v></c></row>)"));
    const QString program = m_environment->writeFile(
        QStringLiteral("soffice"),
        "#!/bin/sh\nwhile [ $# -gt 1 ]; do [ \"$1\" = --outdir ] && out=$2; shift; done\n"
        "mkdir -p \"$out\" && cp \"" +
            converted.toUtf8() + "\" \"$out/copy.xlsx\"\n");
    QVERIFY(QFile::setPermissions(program, QFile::ReadOwner | QFile::ExeOwner));
    const QString path = WriteZip(*m_environment, QStringLiteral("unsaved.xlsx"),
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

namespace {

/// Starts a new peak of the process's resident memory (Linux: clear_refs); false when it cannot.
bool ResetPeakMemory()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

/// The peak resident memory since the reset, in MB (VmHWM).
double PeakMemoryMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024;
    }
    return -1;
}

constexpr int XfdRows = 1 << 16;

/// Pieces of repeated bytes adding up to size.
std::function<QByteArray(qint64)> Repeated(const QByteArray& unit, qint64 size)
{
    const QByteArray block = unit.repeated(qsizetype((1 << 20) / unit.size()));
    return [block, size](qint64 i) {
        return qint64(block.size()) * i < size ? block : QByteArray();
    };
}

/// The workbook of a hostile case of TestWorkbook::hostile, a few kilobytes or megabytes that describe a
/// sheet of a billion cells, a huge text or a part inflating like a bomb.
QString WriteHostile(const TestEnvironment& environment, const QString& file)
{
    const QString sheet = QStringLiteral("xl/worksheets/first.xml");
    const QByteArray sheetHead =
        R"(<worksheet xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main"><sheetData>)";
    const QByteArray sheetTail = "</sheetData></worksheet>";
    if (file == u"repeats.ods")
        return WriteZip(
            environment, file,
            OdsEntries(R"(<table:table-row table:number-rows-repeated="1048576"><table:table-cell )"
                       R"(table:number-columns-repeated="16384" office:value-type="string"><text:p>x)"
                       R"(</text:p></table:table-cell></table:table-row>)"));
    if (file == u"xfd.xlsx") {
        // One cell in the last column of each of 65536 rows (held as a grid, 17 GB), in blocks of rows.
        const auto rows = [](qint64 block) {
            QByteArray rows;
            for (qint64 row = block * 4096 + 1; row <= (block + 1) * 4096 && row <= XfdRows; ++row)
                rows += "<row r=\"" + QByteArray::number(row) + "\"><c r=\"XFD" + QByteArray::number(row) +
                        "\" t=\"inlineStr\"><is><t>x</t></is></c></row>";
            return rows;
        };
        return WriteLargeZip(environment, file, XlsxEntries({}), {sheet, sheetHead, rows, sheetTail});
    }
    if (file == u"row.xlsx")
        return WriteZip(environment, file,
                        XlsxEntries(R"(<row r="1048577"><c r="A1048577"><v>1</v></c></row>)"));
    if (file == u"column.xlsx")
        return WriteZip(environment, file, XlsxEntries(R"(<row r="1"><c r="XFE1"><v>1</v></c></row>)"));
    if (file == u"text.xlsx")
        return WriteZip(environment, file,
                        XlsxEntries(R"(<row r="1"><c r="A1" t="inlineStr"><is><t>)" +
                                    QByteArray((1 << 20) + 1, 'x') + "</t></is></c></row>"));
    if (file == u"string.xlsx")
        return WriteLargeZip(environment, file, XlsxEntries({}),
                             {sheet, sheetHead + R"(<row r="1"><c r="A1" t="inlineStr"><is><t>)",
                              Repeated("x", qint64(32) << 20), "</t></is></c></row>" + sheetTail});
    if (file == u"rows.xlsx")
        return WriteLargeZip(
            environment, file, XlsxEntries({}),
            {sheet, sheetHead,
             Repeated(R"(<row ht="12.8" customHeight="false" hidden="false" outlineLevel="0"/>)", qint64(32)
                                                                                                      << 20),
             sheetTail});
    return {};
}

} // namespace

void TestWorkbook::hostile_data()
{
    QTest::addColumn<QString>("file");
    // The end of the one-line reason after the file's path; empty for a sheet that reads.
    QTest::addColumn<QString>("reason");
    QTest::newRow("a row and a cell repeated to the largest sheet (ods)")
        << "repeats.ods"
        << "the sheet Ledger has more than 33554432 filled cells";
    QTest::newRow("one cell per row in column XFD (xlsx)") << "xfd.xlsx"
                                                           << "";
    QTest::newRow("a row past the largest sheet (xlsx)") << "row.xlsx"
                                                         << "the sheet Ledger has more than 1048576 rows";
    QTest::newRow("a column past XFD (xlsx)") << "column.xlsx"
                                              << "the sheet Ledger has more than 16384 columns";
    QTest::newRow("a text longer than a cell holds (xlsx)")
        << "text.xlsx"
        << "the sheet Ledger holds a text of more than 1048576 characters";
    const QString bomb = QStringLiteral(
        "the workbook part xl/worksheets/first.xml inflates to more than 100 times its packed size");
    QTest::newRow("an inline string inflating like a bomb (xlsx)") << "string.xlsx" << bomb;
    QTest::newRow("a sheet inflating like a bomb (xlsx)") << "rows.xlsx" << bomb;
}

void TestWorkbook::hostile()
{
    QFETCH(QString, file);
    QFETCH(QString, reason);
    const QString path = WriteHostile(*m_environment, file);
    QVERIFY(!path.isEmpty());
    const bool measured = ResetPeakMemory();
    try {
        const Worksheet sheet = Workbook::open(path).sheet(0);
        QVERIFY2(reason.isEmpty(), "a hostile workbook was read");
        QCOMPARE(sheet.rowCount(), XfdRows);
        QCOMPARE(sheet.columnCount(), 1 << 14);
        QCOMPARE(sheet.cell(XfdRows, 1 << 14), QStringLiteral("x"));
        QCOMPARE(sheet.cell(XfdRows, 1), QString());
    } catch (const WorkbookError& error) {
        QCOMPARE(error.kind(), Kind::TooLarge);
        QCOMPARE(error.message(), path + QStringLiteral(": ") + reason);
    }
    if (measured)
        QVERIFY2(PeakMemoryMb() < 1024, qPrintable(QStringLiteral("%1 MB at the peak").arg(PeakMemoryMb())));
}

QTEST_GUILESS_MAIN(TestWorkbook)
#include "tst_workbook.moc"
