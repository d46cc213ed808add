#include "ClientTable.h"
#include "ScreenCatalog.h"
#include "ScreenFixture.h"
#include "SpreadsheetScreen.h"
#include "SpreadsheetScreens.h"
#include "TextGrid.h"

#include <QComboBox>
#include <QDate>
#include <QLineEdit>
#include <QSqlQuery>
#include <QTabWidget>

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(WORKBOOK_FIXTURES "/") + name;
}

QStringList column(const TextGrid* grid, int column)
{
    QStringList texts;
    for (int row = 0; row < grid->rowCount(); ++row)
        texts << grid->text(row, column);
    return texts;
}

} // namespace

/// The ledger, stock-statement and template screens through their controls: from the chosen workbook
/// to its preview, the reading, the queued messages and the boxes each screen shows on the way.
class TestSpreadsheetScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void browseReadAndSend_data();
    void browseReadAndSend();
    void fileThatCannotBeRead_data();
    void fileThatCannotBeRead();
    void ledgerBoxes_data();
    void ledgerBoxes();
    void ledgerSettingsAreKept();
    void templateSheets();

private:
    /// Opens the screen as the main window's menu does.
    void open(const QString& name)
    {
        ScreenCatalog catalog;
        addSpreadsheetScreens(catalog, m_fixture->session(), m_fixture->prompter());
        m_screen.reset(catalog.create(name));
        QVERIFY2(m_screen, qPrintable(name));
        m_screen->show();
    }
    /// "&Browse" answered with the file, and the sheet loaded.
    void browse(const QString& path)
    {
        m_fixture->prompter().fileNameNext(path);
        click("cmdBrowse");
    }
    /// Clicks a button and waits for the sheet it loads, which comes from a thread of its own.
    void click(const char* button)
    {
        ClickControl(m_screen.get(), QLatin1String(button));
        QTRY_VERIFY(!qobject_cast<SpreadsheetScreen*>(m_screen.get())->isBusy());
    }
    TextGrid* grid(const char* name) { return Control<TextGrid>(m_screen.get(), QLatin1String(name)); }
    QLineEdit* box(const char* name) { return Control<QLineEdit>(m_screen.get(), QLatin1String(name)); }
    bool enabled(const char* name)
    {
        return Control<QPushButton>(m_screen.get(), QLatin1String(name))->isEnabled();
    }
    QList<QStringList> queued()
    {
        QSqlQuery query = m_fixture->store().exec(
            QStringLiteral("SELECT AppID, BatchNo, MobileNo, Message FROM MessageQueue ORDER BY nid"));
        QList<QStringList> rows;
        while (query.next())
            rows << QStringList{query.value(0).toString(), query.value(1).toString(),
                                query.value(2).toString(), query.value(3).toString()};
        return rows;
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<QWidget> m_screen;
};

void TestSpreadsheetScreens::init()
{
    m_fixture = std::make_unique<ScreenFixture>(QStringLiteral("desk1"));
    const ClientTable clients(m_fixture->store());
    clients.insert(
        {0, QStringLiteral("Anand Rao"), QStringLiteral("9876543210"), QStringLiteral("A001"), {}});
    clients.insert(
        {0, QStringLiteral("Bina Shah"), QStringLiteral("9876500001"), QStringLiteral("A002"), {}});
    clients.insert(
        {0, QStringLiteral("Chitra Iyer"), QStringLiteral("9876500002"), QStringLiteral("A003"), {}});
    clients.insert({0, QStringLiteral("Dev"), QStringLiteral("9876500004"), QStringLiteral("A004"), {}});
}

void TestSpreadsheetScreens::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestSpreadsheetScreens::browseReadAndSend_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("workbook");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<int>("sheetRows");
    QTest::addColumn<QStringList>("notFound");
    QTest::addColumn<QStringList>("previewMarks");
    QTest::addColumn<QStringList>("mobiles");
    QTest::addColumn<QStringList>("texts");
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QString>("confirmation");

    const QString today = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
    const QString ddMMyyyy = QDate::currentDate().toString(QStringLiteral("dd/MM/yyyy"));
    const auto ledger = [&today](const char* code, const char* amount) {
        return QStringLiteral("Balance update as on %1 for %2  Rs. %3")
            .arg(today, QLatin1String(code), QLatin1String(amount));
    };
    // Headings and the empty row drop out; A 003 is a client with a balance of 0, not messaged under "NO".
    // The two screens captioned "Ledger Data" tell which one they are in their titles.
    QTest::newRow("frmLed") << "frmLed"
                            << "Ledger Data - Ledger"
                            << "ledger.csv" << QString() << 8
                            << QStringList{"", "", "", "Not Found", "Not Found", ""}
                            << QStringList{"1", "2", "3", "4", "5", "6", "7", "8"}
                            << QStringList{"9876543210", "9876500001", "9876500004"}
                            << QStringList{ledger("A001", "1234.5 Cr"), ledger("A002", "1234 Dr"),
                                           ledger("A004", "1234.5 Cr")}
                            << "Ledger" << QString();
    // A client's consecutive rows make one text; his later row another.
    QTest::newRow("frm_Stock") << "frm_Stock"
                               << "Ledger Data - Stock"
                               << "stock.xlsx"
                               << "Holding" << 9 << QStringList{"", "", "", "", "", "Not Found", "Not Found"}
                               << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9"}
                               << QStringList{"9876543210", "9876500001", "9876543210"}
                               << QStringList{"Holding A001 : RELIANCE 10,TCS 1250,INFY 10.5,",
                                              "Holding A002 : HDFCBANK 100,", "Holding A001 : SBIN 5,"}
                               << "Stock"
                               << "Message Place in Queued";
    // The heading row is never read; the empty code and ZZ99 are marked in the preview.
    QTest::newRow("frm_ExcelSMS_Formula")
        << "frm_ExcelSMS_Formula"
        << "Excel SMS( With Client Code)"
        << "template.csv" << QString() << 6 << QStringList()
        << QStringList{"1", "2", "3", "Notfound", "Notfound", "6"}
        << QStringList{"9876543210", "9876500001", "9876500002"}
        << QStringList{"A001  Anand Rao  " + ddMMyyyy, "A002  Bina  " + ddMMyyyy, "A003  Chitra  " + ddMMyyyy}
        << "ExcCode"
        << "Message has been sent to Queue";
}

void TestSpreadsheetScreens::browseReadAndSend()
{
    QFETCH(QString, screen);
    QFETCH(QString, title);
    QFETCH(QString, workbook);
    QFETCH(QString, prefix);
    QFETCH(int, sheetRows);
    QFETCH(QStringList, notFound);
    QFETCH(QStringList, previewMarks);
    QFETCH(QStringList, mobiles);
    QFETCH(QStringList, texts);
    QFETCH(QString, appId);
    QFETCH(QString, confirmation);
    open(screen);
    QCOMPARE(m_screen->windowTitle(), title);
    auto* tabs = Control<QTabWidget>(m_screen.get(), QStringLiteral("SSTab1"));
    QCOMPARE(tabs->tabText(0) + u'|' + tabs->tabText(1) + u'|' + tabs->tabText(2),
             QStringLiteral("File Preview|Raw Data|Message "));
    QVERIFY(!enabled("cmdStartParsing"));
    QVERIFY(!enabled("Command1"));

    browse(fixture(workbook));
    QCOMPARE(m_fixture->prompter().prompts, QStringList{"Open"});
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
    QCOMPARE(box("txtflname")->text(), fixture(workbook));
    TextGrid* preview = grid("vsexcel");
    QCOMPARE(preview->rowCount(), sheetRows);
    QCOMPARE(preview->headerText(1), QStringLiteral("A"));
    QCOMPARE(preview->text(1, 1), QStringLiteral("A001"));
    QVERIFY(enabled("cmdStartParsing"));
    QVERIFY(!enabled("Command1"));

    if (!prefix.isEmpty())
        box("txtPrifix1")->setText(prefix);
    ClickControl(m_screen.get(), QStringLiteral("cmdStartParsing"));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
    QCOMPARE(Control<QPushButton>(m_screen.get(), QStringLiteral("cmdStartParsing"))->text(),
             QStringLiteral("Start Reading"));
    QCOMPARE(column(grid("VS"), 0), notFound);
    QCOMPARE(column(preview, 0), previewMarks);
    QCOMPARE(column(grid("msfmessage"), 1), mobiles);
    QCOMPARE(column(grid("msfmessage"), 2), texts);
    QVERIFY(enabled("Command1"));

    const qint64 before = m_fixture->session().CurrentBatchNo();
    ClickControl(m_screen.get(), QStringLiteral("Command1"));
    for (const PromptMessage& shown : std::as_const(m_fixture->messages()))
        QVERIFY(shown.title.isEmpty() && shown.icon == PromptMessage::Icon::None);
    QCOMPARE(m_fixture->takeMessageTexts(),
             confirmation.isEmpty() ? QStringList() : QStringList{confirmation});
    const QList<QStringList> rows = queued();
    QCOMPARE(rows.size(), texts.size());
    for (int i = 0; i < rows.size(); ++i)
        QCOMPARE(rows[i], (QStringList{appId, QString::number(before + 1), mobiles[i], texts[i]}));
    // Sending again needs a new reading, and that a new "&Browse".
    QVERIFY(!enabled("Command1"));
    QVERIFY(!enabled("cmdStartParsing"));
    QCOMPARE(column(grid("msfmessage"), 2), texts);
}

void TestSpreadsheetScreens::fileThatCannotBeRead_data()
{
    QTest::addColumn<QString>("screen");
    QTest::newRow("frmLed") << "frmLed";
    QTest::newRow("frm_Stock") << "frm_Stock";
    QTest::newRow("frm_ExcelSMS_Formula") << "frm_ExcelSMS_Formula";
}

void TestSpreadsheetScreens::fileThatCannotBeRead()
{
    QFETCH(QString, screen);
    open(screen);
    browse(fixture(QLatin1String(screen == QLatin1String("frm_Stock") ? "stock.csv" : "ledger.csv")));
    QVERIFY(enabled("cmdStartParsing"));
    browse(m_fixture->writeFile(QStringLiteral("damaged.xlsx"), "PK\x03\x04 not a workbook"));
    const PromptMessage shown = m_fixture->messages().value(0);
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(shown.text, QStringLiteral("File is OPEN ,  Pl Close this file"));
    QCOMPARE(shown.title, QString());
    QVERIFY(shown.icon == PromptMessage::Icon::None);
    QVERIFY(!enabled("cmdStartParsing"));
    QCOMPARE(grid("vsexcel")->rowCount(), 0);
}

void TestSpreadsheetScreens::ledgerBoxes_data()
{
    QTest::addColumn<QString>("amountColumn");
    QTest::addColumn<QString>("codeColumn");
    QTest::addColumn<QString>("templateText");
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<int>("messages");
    QTest::newRow("no amount column")
        << "0"
        << "1" << QString() << QStringList{"Pl enter the column no of Amount from excel sheet"} << 0;
    QTest::newRow("code column beyond the sheet")
        << "4"
        << "7" << QString() << QStringList{"Pl enter the valid column no of code from excel sheet"} << 0;
    const QString filler(150, u'x');
    const QString cut =
        QStringLiteral("Message lenth is grater then 159, So this message is reduce \n Mobile No = ");
    QTest::newRow("texts over 159") << "4"
                                    << "1" << filler + " CODE AMT"
                                    << QStringList{cut + "9876543210 and Code= A001",
                                                   cut + "9876500001 and Code= A002",
                                                   cut + "9876500004 and Code= A004"}
                                    << 3;
}

void TestSpreadsheetScreens::ledgerBoxes()
{
    QFETCH(QString, amountColumn);
    QFETCH(QString, codeColumn);
    QFETCH(QString, templateText);
    QFETCH(QStringList, boxes);
    QFETCH(int, messages);
    open(QStringLiteral("frmLed"));
    browse(fixture(QStringLiteral("ledger.csv")));
    box("txtAmtCol")->setText(amountColumn);
    box("txtCodeCol")->setText(codeColumn);
    if (!templateText.isEmpty())
        box("txtPrifix1")->setText(templateText);
    ClickControl(m_screen.get(), QStringLiteral("cmdStartParsing"));
    QCOMPARE(m_fixture->takeMessageTexts(), boxes);
    QCOMPARE(grid("msfmessage")->rowCount(), messages);
    QCOMPARE(enabled("Command1"), messages > 0);
    for (int row = 0; row < messages; ++row)
        QCOMPARE(grid("msfmessage")->text(row, 2).size(), 159);
}

void TestSpreadsheetScreens::ledgerSettingsAreKept()
{
    open(QStringLiteral("frmLed"));
    QCOMPARE(box("txtAmtCol")->text(), QStringLiteral("4"));
    QCOMPARE(box("txtCodeCol")->text(), QStringLiteral("1"));
    QCOMPARE(box("txtPrifix1")->text(), QStringLiteral("Balance update as on DATE for CODE  Rs. AMT"));
    QCOMPARE(Control<QComboBox>(m_screen.get(), QStringLiteral("cmb_Sel"))->currentText(),
             QStringLiteral("DESELECT"));
    QCOMPARE(Control<QComboBox>(m_screen.get(), QStringLiteral("Cmb_Zero"))->currentText(),
             QStringLiteral("NO"));

    box("txtAmtCol")->setText(QStringLiteral("5"));
    box("txtCodeCol")->setText(QStringLiteral("x"));
    box("txtPrifix1")->setText(QStringLiteral("Bal CODE AMT"));
    Control<QComboBox>(m_screen.get(), QStringLiteral("cmb_Sel"))->setCurrentText(QStringLiteral("SELECT"));
    m_screen->close();
    open(QStringLiteral("frmLed"));
    QCOMPARE(box("txtAmtCol")->text(), QStringLiteral("5"));
    QCOMPARE(box("txtCodeCol")->text(), QStringLiteral("0"));
    QCOMPARE(box("txtPrifix1")->text(), QStringLiteral("Bal CODE AMT"));
    QCOMPARE(Control<QComboBox>(m_screen.get(), QStringLiteral("cmb_Sel"))->currentText(),
             QStringLiteral("DESELECT"));
}

void TestSpreadsheetScreens::templateSheets()
{
    open(QStringLiteral("frm_ExcelSMS_Formula"));
    QCOMPARE(box("txtPrifix")->text(), QStringLiteral("COL1  COL2  TODAY"));
    QCOMPARE(box("TXTMobileCol")->text(), QStringLiteral("1"));
    browse(fixture(QStringLiteral("template.xlsx")));
    auto* sheets = Control<QComboBox>(m_screen.get(), QStringLiteral("cmbSheetName"));
    QCOMPARE(sheets->count(), 2);
    QCOMPARE(sheets->itemText(0) + u'|' + sheets->itemText(1), QStringLiteral("Template|Notes"));
    QCOMPARE(grid("vsexcel")->text(0, 5), QStringLiteral("Note"));

    // Choosing a sheet shows it; a name typed that no sheet has says so.
    sheets->setCurrentIndex(1);
    Q_EMIT sheets->textActivated(sheets->currentText());
    QTRY_COMPARE(grid("vsexcel")->rowCount(), 1);
    QCOMPARE(grid("vsexcel")->text(0, 1), QStringLiteral("Note"));
    sheets->setEditText(QStringLiteral("Missing"));
    click("cmdShowData");
    QCOMPARE(m_fixture->messages().size(), 1);
    QVERIFY2(m_fixture->lastMessageText().contains(QLatin1String("Missing")),
             qPrintable(m_fixture->lastMessageText()));
    QVERIFY(!enabled("cmdStartParsing"));

    // The template and code column are remembered as typed when reading starts.
    sheets->setEditText(QStringLiteral("Template"));
    click("cmdShowData");
    box("txtPrifix")->setText(QStringLiteral("Dear COL2 COL3"));
    box("TXTMobileCol")->setText(QStringLiteral("01"));
    ClickControl(m_screen.get(), QStringLiteral("cmdStartParsing"));
    QCOMPARE(column(grid("msfmessage"), 2),
             (QStringList{"Dear Anand Rao 1500", "Dear Bina 2500.5", "Dear Chitra 0"}));
    m_screen->close();
    open(QStringLiteral("frm_ExcelSMS_Formula"));
    QCOMPARE(box("txtPrifix")->text(), QStringLiteral("Dear COL2 COL3"));
    QCOMPARE(box("TXTMobileCol")->text(), QStringLiteral("01"));
}

QTEST_MAIN(TestSpreadsheetScreens)
#include "tst_spreadsheetscreens.moc"
