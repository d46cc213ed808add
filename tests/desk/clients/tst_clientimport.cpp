#include "ClientImport.h"
#include "ClientTable.h"
#include "ProgramRun.h"
#include "ScreenFixture.h"
#include "StoreError.h"
#include "TextGrid.h"
#include "Workbook.h"
#include "frmImportExcel.h"

#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QSqlQuery>
#include <QTabWidget>

namespace {

QString fixture(const QString& name)
{
    return QStringLiteral(WORKBOOK_FIXTURES "/") + name;
}

QStringList texts(const QList<ImportRow>& rows)
{
    QStringList lines;
    for (const ImportRow& row : rows)
        lines << QStringLiteral("%1|%2|%3|%4|%5")
                     .arg(row.sheetRow)
                     .arg(row.name, row.mobile, row.email, row.code);
    return lines;
}

// What clients.{csv,xlsx,xls,ods} give over the client master A001 to A004, all four columns chosen.
const QStringList kValid{"2|Anand Rao|9876543210|anand@example.com|A001",
                         "3|Esha Patel|9876500011|esha@example.com|B001",
                         "4|Farid Khan| 9876500012 || B002 ",
                         "6|Hari Om|9876500014|hari@example.com|b001",
                         "8|Jai|9876500016|jai@example.com|",
                         "9|Kavya|9876500017|kavya@example.com|B005"};
const QStringList kInvalid{"5|Gita Rao|98765000131|gita@example.com|B003", "7|Indu|98765||B004"};
const QStringList kSkipped{"row 2: Anand Rao, A001: the code is already in the client master",
                           "row 6: Hari Om, b001: the code repeats row 3", "row 8: Jai: no client code"};
const QStringList kStored{"Esha Patel|9876500011|B001|esha@example.com", "Farid Khan|9876500012|B002|",
                          "Kavya|9876500017|B005|kavya@example.com"};

/// Records the filter of the file dialog besides what ScriptedPrompter records.
class FilterRecordingPrompter : public ScriptedPrompter
{
public:
    QString openFileName(const QString& caption, const QString& directory, const QString& filter) override
    {
        filters << filter;
        return ScriptedPrompter::openFileName(caption, directory, filter);
    }
    QStringList filters;
};

} // namespace

/// The client import: its engine over the fixture workbooks and sheets in memory, frmImportExcel through
/// its controls, and `brisant import-clients` as the real executable.
class TestClientImport : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void importsTheSheet_data();
    void importsTheSheet();
    void refusedSaveStoresNothing();
    void screenImportsTheWorkbook();
    void screenOpensATypedPath_data();
    void screenOpensATypedPath();
    void screenNeedsTheColumns();
    void screenChoosesTheSheet();
    void screenReportsARefusedSave();
    void command_data();
    void command();

private:
    /// New clients, after the four of init(): name|mobile|code|email.
    QStringList storedClients()
    {
        QSqlQuery query = m_fixture->store().exec(
            QStringLiteral("SELECT cName, cMobile, cdpinid, cEmail FROM ClientMaster ORDER BY id"));
        QStringList rows;
        while (query.next())
            rows << QStringLiteral("%1|%2|%3|%4")
                        .arg(query.value(0).toString(), query.value(1).toString(), query.value(2).toString(),
                             query.value(3).toString());
        return rows.mid(4);
    }
    /// The store refuses to add Kavya, the last client the fixture adds.
    void refuseKavya()
    {
        Store& store = m_fixture->store();
        if (store.engine() == Store::Engine::Sqlite) {
            store.exec(
                QStringLiteral("CREATE TRIGGER refuse_kavya BEFORE INSERT ON ClientMaster "
                               "WHEN NEW.cName = 'Kavya' BEGIN SELECT RAISE(ABORT, 'no Kavya here'); END"));
            return;
        }
        store.exec(
            QStringLiteral("CREATE FUNCTION refuse_kavya() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                           "IF NEW.cName = 'Kavya' THEN RAISE EXCEPTION 'no Kavya here'; END IF; "
                           "RETURN NEW; END $$"));
        store.exec(QStringLiteral("CREATE TRIGGER refuse_kavya BEFORE INSERT ON ClientMaster FOR EACH ROW "
                                  "EXECUTE FUNCTION refuse_kavya()"));
    }
    void openScreen()
    {
        m_screen = std::make_unique<frmImportExcel>(m_fixture->store(), *m_prompter);
        m_screen->show();
    }
    template <typename T>
    T* child(const char* name)
    {
        return Control<T>(m_screen.get(), QLatin1String(name));
    }
    void click(const char* name) { ClickControl(m_screen.get(), QLatin1String(name)); }
    QStringList items(const char* list)
    {
        QStringList shown;
        for (int i = 0; i < child<QComboBox>(list)->count(); ++i)
            shown << child<QComboBox>(list)->itemText(i);
        return shown;
    }
    QStringList gridRows(const char* name)
    {
        const TextGrid* grid = child<TextGrid>(name);
        QStringList rows;
        for (int row = 0; row < grid->rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < grid->columnCount(); ++column)
                cells << grid->text(row, column);
            rows << cells.join(u'|');
        }
        return rows;
    }
    QStringList results()
    {
        QStringList lines;
        const QListWidget* list = child<QListWidget>("lstResult");
        for (int i = 0; i < list->count(); ++i)
            lines << list->item(i)->text();
        return lines;
    }
    QString currentTab()
    {
        return child<QTabWidget>("SSTab1")->tabText(child<QTabWidget>("SSTab1")->currentIndex());
    }
    QString lastMessage() const
    {
        return m_prompter->messages.isEmpty() ? QString() : m_prompter->messages.last().text;
    }
    /// Opens the fixture through the dialog and chooses the name, mobile and code columns (no e-mail).
    void showFixture()
    {
        m_prompter->fileNameNext(fixture(QStringLiteral("clients.xlsx")));
        click("cmdOpenExcelFile");
        child<QComboBox>("cmbName")->setCurrentIndex(0);
        child<QComboBox>("cmbMobile")->setCurrentIndex(1);
        child<QComboBox>("cmbClientCode")->setCurrentIndex(3);
        click("cmdShowData");
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<FilterRecordingPrompter> m_prompter;
    std::unique_ptr<frmImportExcel> m_screen;
};

void TestClientImport::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    m_prompter = std::make_unique<FilterRecordingPrompter>();
    const ClientTable clients(m_fixture->store());
    clients.insert({0, "Anand Rao", "9876543210", "A001", ""});
    clients.insert({0, "Bina Shah", "9876500001", "A002", ""});
    clients.insert({0, "Chitra Iyer", "9876500002", "A003", ""});
    clients.insert({0, "Dev", "9876500004", "A004", ""});
}

void TestClientImport::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestClientImport::importsTheSheet_data()
{
    QTest::addColumn<QString>("workbook");
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<QList<int>>("columns"); // name, mobile, e-mail, code
    QTest::addColumn<QStringList>("headings");
    QTest::addColumn<QStringList>("valid");
    QTest::addColumn<QStringList>("invalid");
    QTest::addColumn<QStringList>("skipped");
    QTest::addColumn<QStringList>("stored");

    const QStringList headings{"Name", "Mobile", "Email", "Code"};
    for (const char* format : {"csv", "xlsx", "xls", "ods"}) {
        QTest::addRow("clients.%s", format)
            << QStringLiteral("clients.%1").arg(QLatin1String(format)) << QList<QStringList>()
            << QList<int>{1, 2, 3, 4} << headings << kValid << kInvalid << kSkipped << kStored;
    }
    QTest::newRow("no name in the first data row")
        << QString()
        << QList<QStringList>{{"Name", "Mobile", "Code"},
                              {"", "9876500001", "X1"},
                              {"Late", "9876500002", "X2"}}
        << QList<int>{1, 2, 0, 3} << QStringList{"Name", "Mobile", "Code"} << QStringList() << QStringList()
        << QStringList() << QStringList();
    // Headings end at the first empty cell; a number is ten digits, blanks around it aside.
    QTest::newRow("ten digits, blanks around them aside")
        << QString()
        << QList<QStringList>{{"Name", "Mobile", "", "Code"},       {"Ten", "98765 4321", "", "X1"},
                              {"Nine", "987654321", "", "X2"},      {"Twelve", "919876543210", "", "X3"},
                              {"Tabs", "\t9876543210\t", "", "X4"}, {"Leading zero", "09876543210", "", "X5"}}
        << QList<int>{1, 2, 0, 4} << QStringList{"Name", "Mobile"} << QStringList{"5|Tabs|\t9876543210\t||X4"}
        << QStringList{"2|Ten|98765 4321||X1", "3|Nine|987654321||X2", "4|Twelve|919876543210||X3",
                       "6|Leading zero|09876543210||X5"}
        << QStringList() << QStringList{"Tabs|9876543210|X4|"};
    QTest::newRow("codes compared trimmed, letter case aside")
        << QString()
        << QList<QStringList>{{"Code", "Name", "Mobile", "Email"},
                              {" x1 ", "P", "9876500001", "p@example.com"},
                              {"X1", "Q", "9876500002", ""},
                              {"a002 ", "R", "9876500003", ""}}
        << QList<int>{2, 3, 4, 1} << QStringList{"Code", "Name", "Mobile", "Email"}
        << QStringList{"2|P|9876500001|p@example.com| x1 ", "3|Q|9876500002||X1", "4|R|9876500003||a002 "}
        << QStringList()
        << QStringList{"row 3: Q, X1: the code repeats row 2",
                       "row 4: R, a002: the code is already in the client master"}
        << QStringList{"P|9876500001|x1|p@example.com"};
}

void TestClientImport::importsTheSheet()
{
    QFETCH(QString, workbook);
    QFETCH(QList<QStringList>, rows);
    QFETCH(QList<int>, columns);
    QFETCH(QStringList, valid);
    QFETCH(QStringList, skipped);
    const Worksheet sheet = workbook.isEmpty() ? Worksheet(QStringLiteral("Sheet1"), rows)
                                               : Workbook::open(fixture(workbook)).sheet(0);
    QTEST(ClientImport::headings(sheet), "headings");
    const ImportPreview preview =
        ClientImport::split(sheet, ImportColumns{columns[0], columns[1], columns[2], columns[3]});
    QCOMPARE(texts(preview.valid), valid);
    QTEST(texts(preview.invalid), "invalid");

    const ClientImport import(m_fixture->store());
    ImportResult result = import.save(preview.valid);
    QStringList reasons;
    for (const SkippedImportRow& row : result.skipped)
        reasons << row.text();
    QCOMPARE(reasons, skipped);
    QTEST(storedClients(), "stored");
    QCOMPARE(result.added + result.skipped.size(), valid.size());

    // Saving again adds nothing: every code is stored now.
    const QStringList stored = storedClients();
    result = import.save(preview.valid);
    QCOMPARE(result.added, 0);
    QCOMPARE(result.skipped.size(), valid.size());
    QCOMPARE(storedClients(), stored);
}

void TestClientImport::refusedSaveStoresNothing()
{
    refuseKavya();
    const ImportPreview preview =
        ClientImport::split(Workbook::open(fixture("clients.ods")).sheet(0), {1, 2, 3, 4});
    QVERIFY_THROWS_EXCEPTION(StoreError, ClientImport(m_fixture->store()).save(preview.valid));
    QCOMPARE(storedClients(), QStringList());
}

void TestClientImport::screenImportsTheWorkbook()
{
    openScreen();
    QCOMPARE(m_screen->windowTitle(), QStringLiteral("Import Data from Excel Sheet"));
    QCOMPARE(child<TextGrid>("msf1")->columnCount(), 7);
    QCOMPARE(child<TextGrid>("msf1")->headerText(6), QStringLiteral("Aniversary"));
    QCOMPARE(child<TextGrid>("msf2")->headerText(2), QStringLiteral("Mobile No."));
    const QTabWidget* tabs = child<QTabWidget>("SSTab1");
    QCOMPARE((QStringList{tabs->tabText(0), tabs->tabText(1), tabs->tabText(2), tabs->tabText(3)}),
             (QStringList{"Configuration", "Valid Mobile Nos.", "&Invalid Mobile Nos.", "Result"}));
    child<QTabWidget>("SSTab1")->setCurrentIndex(3);

    m_prompter->fileNameNext(fixture(QStringLiteral("clients.xlsx")));
    click("cmdOpenExcelFile");
    QCOMPARE(m_prompter->prompts, QStringList{"Open Excel Files to Import Data"});
    QCOMPARE(m_prompter->filters, QStringList{Workbook::fileFilter()});
    QCOMPARE(child<QLineEdit>("txtFileName")->text(), fixture(QStringLiteral("clients.xlsx")));
    QCOMPARE(items("cmbSheetName"), QStringList{"Clients"});
    QCOMPARE(currentTab(), QStringLiteral("Configuration"));
    for (const char* list : {"cmbName", "cmbMobile", "cmbEmail", "cmbClientCode"}) {
        QCOMPARE(items(list), (QStringList{"Name", "Mobile", "Email", "Code"}));
        QCOMPARE(child<QComboBox>(list)->currentIndex(), -1);
    }

    child<QComboBox>("cmbName")->setCurrentIndex(0);
    child<QComboBox>("cmbMobile")->setCurrentIndex(1);
    child<QComboBox>("cmbEmail")->setCurrentIndex(2);
    child<QComboBox>("cmbClientCode")->setCurrentIndex(3);
    click("cmdShowData");
    QCOMPARE(
        gridRows("msf1"),
        (QStringList{"1|Anand Rao|9876543210|A001|anand@example.com||",
                     "2|Esha Patel|9876500011|B001|esha@example.com||", "3|Farid Khan| 9876500012 | B002 |||",
                     "4|Hari Om|9876500014|b001|hari@example.com||", "5|Jai|9876500016||jai@example.com||",
                     "6|Kavya|9876500017|B005|kavya@example.com||"}));
    QCOMPARE(gridRows("msf2"), (QStringList{"1|Gita Rao|98765000131", "2|Indu|98765"}));
    QVERIFY(m_prompter->messages.isEmpty());

    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Process Completed Successfully"));
    QCOMPARE(currentTab(), QStringLiteral("Result"));
    QCOMPARE(results(), QStringList({"Clients added: 3", "Rows skipped: 3"}) + kSkipped);
    QCOMPARE(storedClients(), kStored);

    click("cmdSave");
    QCOMPARE(results().mid(0, 2), (QStringList{"Clients added: 0", "Rows skipped: 6"}));
    QCOMPARE(storedClients(), kStored);
}

void TestClientImport::screenOpensATypedPath_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("sheets");
    QTest::addColumn<bool>("refused");
    QTest::newRow("a workbook") << fixture(QStringLiteral("clients.ods")) << QStringList{"Clients"} << false;
    QTest::newRow("no such file") << fixture(QStringLiteral("nobody.xlsx")) << QStringList() << false;
    QTest::newRow("not a workbook") << QStringLiteral("damaged.xlsx") << QStringList() << true;
}

void TestClientImport::screenOpensATypedPath()
{
    QFETCH(QString, typed);
    QFETCH(bool, refused);
    if (refused)
        typed = m_fixture->writeFile(typed, "PK\x03\x04 not really a workbook");
    openScreen();
    QLineEdit* path = child<QLineEdit>("txtFileName");
    QTest::keyClicks(path, typed);
    QCOMPARE(items("cmbSheetName"), QStringList());
    QTest::keyClick(path, Qt::Key_Return);
    QTEST(items("cmbSheetName"), "sheets");
    if (refused) {
        try {
            Workbook::open(typed);
            QFAIL("the damaged workbook opened");
        } catch (const WorkbookError& error) {
            QCOMPARE(lastMessage(), error.message());
        }
        // Once refused, the path is not tried again on leaving the box.
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(m_prompter->messages.size(), 1);
        return;
    }
    QCOMPARE(m_prompter->messages.size(), 0);
    if (items("cmbSheetName").isEmpty())
        return;
    QCOMPARE(items("cmbClientCode").size(), 4);
    // Leaving the box does not read the workbook again; a change of the path clears the lists.
    QTest::keyClick(path, Qt::Key_Return);
    QCOMPARE(items("cmbSheetName"), QStringList{"Clients"});
    QTest::keyClick(path, Qt::Key_Backspace);
    QCOMPARE(items("cmbClientCode"), QStringList());
    QCOMPARE(items("cmbSheetName"), QStringList());
}

void TestClientImport::screenNeedsTheColumns()
{
    openScreen();
    click("cmdShowData");
    m_prompter->fileNameNext(fixture(QStringLiteral("clients.csv")));
    click("cmdOpenExcelFile");
    child<QComboBox>("cmbName")->setCurrentIndex(0);
    child<QComboBox>("cmbMobile")->setCurrentIndex(1);
    child<QComboBox>("cmbEmail")->setCurrentIndex(2);
    click("cmdShowData");
    const QString choose = QStringLiteral("Pls. Goto Configuration Tab and Select Appropriate Field.");
    QCOMPARE(m_prompter->messages.size(), 2);
    for (const PromptMessage& message : std::as_const(m_prompter->messages)) {
        QCOMPARE(message.text, choose);
        QCOMPARE(message.title, QString());
    }
    QCOMPARE(child<TextGrid>("msf1")->rowCount(), 0);
}

void TestClientImport::screenChoosesTheSheet()
{
    openScreen();
    m_prompter->fileNameNext(fixture(QStringLiteral("template.xlsx")));
    click("cmdOpenExcelFile");
    QCOMPARE(items("cmbSheetName"), (QStringList{"Template", "Notes"}));
    QCOMPARE(items("cmbName"), (QStringList{"Code", "Name", "Amount", "Due", "Note"}));
    child<QComboBox>("cmbName")->setCurrentIndex(1);
    child<QComboBox>("cmbSheetName")->setCurrentIndex(1);
    for (const char* list : {"cmbName", "cmbMobile", "cmbEmail", "cmbClientCode"}) {
        QCOMPARE(items(list), QStringList{"Note"});
        QCOMPARE(child<QComboBox>(list)->currentIndex(), -1);
    }
}

void TestClientImport::screenReportsARefusedSave()
{
    refuseKavya();
    openScreen();
    showFixture();
    click("cmdSave");
    QCOMPARE(m_prompter->messages.size(), 1);
    QVERIFY2(lastMessage().endsWith(QLatin1String("\n\nNo client was added.")), qPrintable(lastMessage()));
    QVERIFY(lastMessage().contains(QLatin1String("no Kavya here")));
    QCOMPARE(results().value(0), QStringLiteral("Clients added: 0"));
    QCOMPARE(storedClients(), QStringList());
}

void TestClientImport::command_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QStringList>("err");
    const QStringList counts{"valid 6", "invalid 2", "added 3", "skipped 3"};
    // Before the saving: each invalid row and why, and where the reading stopped.
    const QStringList read{
        "row 5: Gita Rao, 98765000131: the mobile number is not ten digits",
        "row 7: Indu, 98765: the mobile number is not ten digits",
        "reading stopped at row 10, whose name cell is empty; rows 11 to 11 were not read"};
    QTest::newRow("every column") << QStringList{fixture("clients.xlsx"),
                                                 "--sheet",
                                                 "Clients",
                                                 "--name-col",
                                                 "Name",
                                                 "--mobile-col",
                                                 "Mobile",
                                                 "--code-col",
                                                 "Code",
                                                 "--email-col",
                                                 "Email"}
                                  << 0 << counts << read + kSkipped;
    QTest::newRow("headings in other letter case, no e-mail")
        << QStringList{fixture("clients.csv"), "--name-col", "NAME",    "--mobile-col", "mobile",
                       "--code-col",           "code",       "--sheet", "CLIENTS"}
        << 0 << counts << read + kSkipped;
    QTest::newRow("a heading the sheet lacks")
        << QStringList{fixture("clients.xls"), "--name-col", "Name", "--mobile-col", "Phone",
                       "--code-col",           "Code"}
        << 2 << QStringList()
        << QStringList{"brisant: --mobile-col: the sheet has no column headed \"Phone\" (its headings: Name, "
                       "Mobile, Email, Code)"};
    QTest::newRow("no code column") << QStringList{fixture("clients.xls"), "--name-col", "Name",
                                                   "--mobile-col", "Mobile"}
                                    << 2 << QStringList()
                                    << QStringList{"brisant: import-clients needs --code-col"};
    QTest::newRow("no such file") << QStringList{"/nonexistent/clients.xlsx",
                                                 "--name-col",
                                                 "Name",
                                                 "--mobile-col",
                                                 "Mobile",
                                                 "--code-col",
                                                 "Code"}
                                  << 1 << QStringList()
                                  << QStringList{"brisant: /nonexistent/clients.xlsx: no such file"};
}

void TestClientImport::command()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QStringList, err);
    const QProcessEnvironment environment = m_fixture->env().processEnvironment();
    ProgramRun run =
        RunProgram(QStringLiteral(BRISANT_EXE), QStringList{"import-clients"} + arguments, environment);
    QCOMPARE(run.exitCode, exitCode);
    QTEST(run.outLines(), "out");
    // A refusal is one line; the usage follows it.
    QCOMPARE(exitCode == 0 ? run.errLines() : run.errLines().mid(0, 1), err);
    if (exitCode != 0) {
        QCOMPARE(storedClients(), QStringList());
        return;
    }
    QCOMPARE(storedClients().size(), 3);

    run = RunProgram(QStringLiteral(BRISANT_EXE), QStringList{"import-clients"} + arguments, environment);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.outLines(), (QStringList{"valid 6", "invalid 2", "added 0", "skipped 6"}));
    QCOMPARE(storedClients().size(), 3);
}

QTEST_MAIN(TestClientImport)
#include "tst_clientimport.moc"
