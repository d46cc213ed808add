#include "GridExport.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "Workbook.h"
#include "ZipArchive.h"

#include <QDir>
#include <QTest>
#include <QXmlStreamReader>

Q_DECLARE_METATYPE(ExportGrid)

namespace {

/// A client list as the reports show it: default colours (system colours for the fixed row), a grid
/// narrower than its control, texts to escape and to encode, numbers and near-numbers.
ExportGrid ClientList()
{
    ExportGrid grid = ExportGrid::fromRows({
        {"ID", "Name", "Mobile No", "Code"},
        {"1", "Anand <Rao> & Sons", "9876543210", "A001"},
        {"2", QString::fromUtf8("José ₹ Müller"), "", "007"},
        {"3", "-12.5", "12-5", " +1,234.50 "},
    });
    const int widths[] = {600, 2400, 1500, 900};
    for (int c = 0; c < 4; ++c)
        grid.columns[c].width = widths[c];
    grid.controlWidth = 9000;
    return grid;
}

/// Every display property: a fixed column, hidden and zero-width columns, a share under half a per
/// cent, boolean and date columns, alignment codes, zero-height and hidden rows, a subtotal row,
/// merges (one across a hidden column), cell colours (one a system colour), fonts and styles.
ExportGrid Layout()
{
    ExportGrid grid = ExportGrid::fromRows({
        {"Code", "Hidden", "Paid", "Due", "Amount", "Tiny", "Zero"},
        {"A001", "x", "-1", "08/12/2026", "1500", "t", "z"},
        {"A002", "x", "-1", "09/12/2026", "2500", "t", "z"},
        {"A003", "x", "1", "10/12/2026", "3500", "t", "z"},
        {"Total", "", "0", "20261208", "1500.00", "", ""},
        {"A004", "", "True", "Merged", "", "", ""},
        {"Span", "", "", "", "", "", ""},
    });
    const int widths[] = {1200, 1440, 600, 1200, 3000, 15, 0};
    for (int c = 0; c < 7; ++c)
        grid.columns[c].width = widths[c];
    grid.columns[0].alignment = 4;
    grid.columns[1].hidden = true;
    grid.columns[2].dataType = ExportColumn::BooleanType;
    grid.columns[3].dataType = ExportColumn::DateType;
    grid.columns[4].alignment = 7;
    grid.fixedColumns = 1;
    grid.rowFormats.resize(5);
    grid.rowFormats[2].height = 0;
    grid.rowFormats[3].hidden = true;
    grid.rowFormats[4].subtotal = true;
    grid.rowFormats[4].outlineLevel = 2;
    grid.merges = {{5, 6, 3, 4}, {6, 6, 0, 2}};
    grid.cellFormats[{1, 0}].background = 0x000000FF;
    grid.cellFormats[{1, 0}].foreground = 0x00FF0000;
    grid.cellFormats[{1, 4}] = {std::nullopt, std::nullopt, "Courier New", true, true, true};
    grid.cellFormats[{4, 4}].background = SystemColors::ButtonFace;
    grid.cellFormats[{4, 4}].fontName = "Arial";
    grid.fontName = "Arial";
    grid.background = 0x00E1FFFF;
    grid.gridLineColor = 0x00808080;
    return grid;
}

/// Sheet cells by reference ("B2") from the workbook's first sheet: "number", "date" (a number with
/// a style) or "text".
QHash<QString, QString> CellKinds(const QString& path)
{
    QHash<QString, QString> kinds;
    ZipArchive zip(path);
    if (!zip.locate("xl/worksheets/sheet1.xml"))
        return kinds;
    const auto entry = zip.openCurrent();
    QXmlStreamReader xml(entry.get());
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != u"c")
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        const QStringView type = attributes.value("t");
        const char* kind = type == u"s" || type == u"inlineStr" || type == u"str" ? "text"
                           : attributes.value("s").toInt() > 0                    ? "date"
                                                                                  : "number";
        kinds.insert(attributes.value("r").toString(), QString::fromLatin1(kind));
    }
    return kinds;
}

} // namespace

/// The HTML page byte for byte against golden pages, and workbooks read back through the project's
/// own reader with their cell types.
class TestGridExport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void htmlPage_data();
    void htmlPage();
    void htmlColor_data();
    void htmlColor();
    void unwritableFiles();
    void workbookCell_data();
    void workbookCell();
    void workbookFileNames();

private:
    TestEnvironment m_environment;
};

void TestGridExport::htmlPage_data()
{
    QTest::addColumn<ExportGrid>("grid");
    QTest::newRow("clients") << ClientList();
    QTest::newRow("layout") << Layout();
}

void TestGridExport::htmlPage()
{
    QFETCH(ExportGrid, grid);
    const QString path = m_environment.path(QStringLiteral("PartyMaster.html"));
    QVERIFY(SaveGridAsHtml(path, grid));
    const QString golden =
        QStringLiteral(GOLDEN_EXPORT "/%1.html").arg(QString::fromLatin1(QTest::currentDataTag()));
    const QByteArray expected = ReadFile(golden);
    QVERIFY(!expected.isEmpty());
    // By line, so that a difference names its line; each line keeps its CR, so still byte for byte.
    QCOMPARE(ReadFile(path).split('\n'), expected.split('\n'));
}

void TestGridExport::htmlColor_data()
{
    QTest::addColumn<GridColor>("color");
    QTest::addColumn<QString>("html");
    QTest::newRow("red") << GridColor(0x0000FF) << "\"#FF0000\"";
    QTest::newRow("BBGGRR order") << GridColor(0x123456) << "\"#563412\"";
    QTest::newRow("system button face") << SystemColors::ButtonFace << "\"#F0F0F0\"";
    QTest::newRow("system window text") << SystemColors::WindowText << "\"#000000\"";
    QTest::newRow("small red, hex begins with 8") << GridColor(0x8A) << "\"#8A0000\"";
    QTest::newRow("dark blue, hex begins with 8") << GridColor(0x800000) << "\"#000080\"";
}

void TestGridExport::htmlColor()
{
    QFETCH(GridColor, color);
    QFETCH(QString, html);
    QCOMPARE(HtmlColor(color), html);
}

void TestGridExport::unwritableFiles()
{
    const QString folder = m_environment.path(QStringLiteral("missing"));
    QVERIFY(!SaveGridAsHtml(folder + "/PartyMaster.html", ClientList()));
    const WorkbookExport result = ExportGridToWorkbookAs(folder + "/SentList.xls", ClientList());
    QVERIFY(!result.ok());
    QVERIFY2(result.error.startsWith(folder + "/SentList.xlsx: "), qPrintable(result.error));
    QVERIFY(!QFile::exists(result.path));
}

void TestGridExport::workbookCell_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("dateColumn");
    QTest::addColumn<QString>("read");
    QTest::addColumn<QString>("kind");
    QTest::newRow("code with leading zeros") << "007" << false << "007"
                                             << "text";
    QTest::newRow("twelve-digit mobile") << "919876543210" << false << "919876543210"
                                         << "text";
    QTest::newRow("ten-digit mobile") << "9876543210" << false << "9876543210"
                                      << "number";
    QTest::newRow("formula text") << "=1+1" << false << "=1+1"
                                  << "text";
    QTest::newRow("at sign") << "@SUM(A1)" << false << "@SUM(A1)"
                             << "text";
    QTest::newRow("trailing zero") << "12.50" << false << "12.50"
                                   << "text";
    QTest::newRow("decimal") << "1234.5" << false << "1234.5"
                             << "number";
    QTest::newRow("negative") << "-1234" << false << "-1234"
                              << "number";
    QTest::newRow("small decimal") << "0.00001" << false << "0.00001"
                                   << "number";
    QTest::newRow("sixteen digits") << "1234567890.123456" << false << "1234567890.123456"
                                    << "text";
    QTest::newRow("grouping comma") << "1,234.50" << false << "1,234.50"
                                    << "text";
    QTest::newRow("plus sign") << "+5" << false << "+5"
                               << "text";
    QTest::newRow("date in a general column") << "08/12/2026" << false << "08/12/2026"
                                              << "text";
    QTest::newRow("date") << "08/12/2026" << true << "08/12/2026"
                          << "date";
    QTest::newRow("ISO date and time") << "2026-12-09 14:30:05" << true << "09/12/2026 14:30:05"
                                       << "date";
    QTest::newRow("no such day") << "31/02/2026" << true << "31/02/2026"
                                 << "text";
    QTest::newRow("not a date") << "soon" << true << "soon"
                                << "text";
}

void TestGridExport::workbookCell()
{
    QFETCH(QString, text);
    QFETCH(bool, dateColumn);
    QFETCH(QString, read);
    QFETCH(QString, kind);
    // The header row holds a number-like text; it stays a text.
    ExportGrid grid = ExportGrid::fromRows({{"2026", "Value"}, {"A001", text}});
    grid.columns[1].dataType = dateColumn ? ExportColumn::DateType : 0;
    const WorkbookExport result =
        ExportGridToWorkbookAs(m_environment.path(QStringLiteral("SentList 08122026.xlsx")), grid);
    QVERIFY2(result.ok(), qPrintable(result.error));

    const Worksheet sheet = Workbook::open(result.path).sheet(0);
    QCOMPARE(sheet.rows(), (QList<QStringList>{{"2026", "Value"}, {"A001", read}}));
    const QHash<QString, QString> kinds = CellKinds(result.path);
    QCOMPARE(kinds.value("A1"), "text");
    QCOMPARE(kinds.value("B2"), kind);
}

void TestGridExport::workbookFileNames()
{
    const ExportGrid grid = ClientList();
    const WorkbookExport partyMaster =
        ExportGridToWorkbook(m_environment.dataDir(), QStringLiteral("PartyMaster.xls"), grid);
    QVERIFY2(partyMaster.ok(), qPrintable(partyMaster.error));
    QCOMPARE(partyMaster.path, QDir(m_environment.dataDir()).filePath("PartyMaster.xlsx"));
    // A name the file system spells in more than ASCII, written and read back.
    const WorkbookExport chosen =
        ExportGridToWorkbookAs(m_environment.path(QString::fromUtf8("Sent List é ₹.xlsx")), grid);
    QVERIFY2(chosen.ok(), qPrintable(chosen.error));
    for (const QString& path : {partyMaster.path, chosen.path}) {
        const Worksheet sheet = Workbook::open(path).sheet(0);
        QCOMPARE(sheet.rowCount(), 4);
        QCOMPARE(sheet.cell(1, 3), "Mobile No");
        QCOMPARE(sheet.cell(3, 2), QString::fromUtf8("José ₹ Müller"));
        QCOMPARE(sheet.cell(3, 3), "");
        QCOMPARE(sheet.cell(4, 4), " +1,234.50 ");
    }
}

QTEST_GUILESS_MAIN(TestGridExport)
#include "tst_gridexport.moc"
