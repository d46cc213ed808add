#include "ClientTable.h"
#include "ProgramRun.h"
#include "Reports.h"
#include "Schema.h"
#include "ScreenFixture.h"
#include "SentReport.h"
#include "Workbook.h"
#include "rptPartyMaster.h"
#include "rptSentList.h"

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QTableView>
#include <QTest>

namespace {

/// Forwards to the fixture's scripted prompter and keeps what it does not: the proposed file, the
/// filter and whether a typed text was masked.
class RecordingPrompter : public Prompter
{
public:
    explicit RecordingPrompter(ScriptedPrompter& scripted)
        : m_scripted(scripted)
    {
    }
    PromptAnswer message(const PromptMessage& message) override { return m_scripted.message(message); }
    QString saveFileName(const QString& caption, const QString& directory, const QString& filter) override
    {
        asked << directory << filter;
        return m_scripted.saveFileName(caption, directory, filter);
    }
    QString openFileName(const QString& caption, const QString& directory, const QString& filter) override
    {
        return m_scripted.openFileName(caption, directory, filter);
    }
    std::optional<QString> text(const QString& title, const QString& prompt, bool masked) override
    {
        asked << (masked ? QStringLiteral("masked") : QStringLiteral("shown"));
        return m_scripted.text(title, prompt, masked);
    }
    QStringList asked;

private:
    ScriptedPrompter& m_scripted;
};

} // namespace

/// The reports over a store of three clients and sent, queued and older messages: the grids the
/// engine builds (client names, date ranges, counts per day), rptPartyMaster, rptSentList, and
/// `brisant report` as the real executable.
class TestReports : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void clientCodeOf_data();
    void clientCodeOf();
    void grids_data();
    void grids();
    void partyMasterDeleteAll_data();
    void partyMasterDeleteAll();
    void partyMasterExports();
    void sentListModes_data();
    void sentListModes();
    void sentListExports();
    void command_data();
    void command();
    void commandExports();
    void olderStoreGainsTheSentIndex();

private:
    void queue(const QString& mobile, const QString& text, const QString& status, const QString& when)
    {
        Store& store = m_fixture->store();
        store.exec(
            QStringLiteral("INSERT INTO MessageQueue (MobileNo, Message, UserName, BatchNo, AppID, Status, "
                           "QDateTime) VALUES (?, ?, 'admin', 1, 'BSE', ?, ?)"),
            {mobile, text, status,
             store.dateTimeValue(QDateTime::fromString(when, QStringLiteral("yyyy-MM-dd HH:mm:ss")))});
    }
    /// The rows of a grid, cells joined by bars, header row first.
    static QStringList lines(const QList<QStringList>& rows)
    {
        QStringList lines;
        for (const QStringList& row : rows)
            lines << row.join(u'|');
        return lines;
    }
    static QStringList shown(const QTableView* view)
    {
        const QAbstractItemModel* model = view->model();
        QList<QStringList> rows{{}};
        for (int column = 0; column < model->columnCount(); ++column)
            rows[0] << model->headerData(column, Qt::Horizontal).toString();
        for (int row = 0; row < model->rowCount(); ++row) {
            rows.append(QStringList());
            for (int column = 0; column < model->columnCount(); ++column)
                rows.last() << model->index(row, column).data().toString();
        }
        return lines(rows);
    }
    /// A file of the application folder.
    QString inApp(const QString& name) const { return QDir(m_fixture->env().dataDir()).filePath(name); }
    int storedClients() { return int(ClientTable(m_fixture->store()).all().size()); }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<RecordingPrompter> m_prompter;
    QStringList m_opened;
    QStringList m_ids;
};

void TestReports::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    m_prompter = std::make_unique<RecordingPrompter>(m_fixture->prompter());
    m_opened.clear();
    m_ids.clear();
    const ClientTable clients(m_fixture->store());
    // The third client's code in small letters: codes compare without regard to letter case.
    for (const ClientRow& client : {ClientRow{0, "Anand Rao", "9876543210", "A001", {}},
                                    ClientRow{0, "Bina Shah", "9876500001", "A002", {}},
                                    ClientRow{0, "Chitra Iyer", "9876500002", "abc123", {}}})
        m_ids << QString::number(clients.insert(client));
    // Stored out of date order, so that the list's nid order shows.
    queue("9876500001", "Hello ZZ99: x", "Sent", "2025-03-08 00:00:00");
    queue("9876500001", "Dear Sir ABC123: your balance", "Sent", "2025-03-07 00:00:00");
    queue("9876543210", "Ledger balance\t1500\nthanks", "Sent", "2025-03-07 10:30:00");
    queue("9999999999", "adhoc text", "Sent", "2025-03-08 23:59:59");
    queue("9876543210", "A001: waiting", "Queued", "2025-03-08 12:00:00");
    queue("9876543210", "A002:x", "Sent", "2025-03-09 00:00:00");
    queue("9876543210", "old", "Sent", "2025-03-06 23:59:59");
}

void TestReports::cleanup()
{
    m_fixture.reset();
}

void TestReports::clientCodeOf_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("code");
    QTest::newRow("greeting before the code") << "Dear Sir ABC123: your balance"
                                              << "ABC123";
    QTest::newRow("the code alone") << "A002:x"
                                    << "A002";
    QTest::newRow("blanks around the code") << "  A001 : y"
                                            << "A001";
    QTest::newRow("only the first colon") << "To A001: time 10:30"
                                          << "A001";
    QTest::newRow("no colon") << "Ledger balance 1500"
                              << "";
}

void TestReports::clientCodeOf()
{
    QFETCH(QString, message);
    QTEST(QString::fromUtf8(SentReport::clientCodeOf(message.toUtf8())), "code");
}

void TestReports::grids_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<QStringList>("rows");
    const QString sentHeader = "Mobile NO|Client Name|Message|Q Date Time|Application ID|UserName";
    const QString ledger = "9876543210|Anand Rao|Ledger balance\t1500\nthanks|2025-03-07 10:30:00|BSE|admin";
    const QString coded =
        "9876500001|Chitra Iyer|Dear Sir ABC123: your balance|2025-03-07 00:00:00|BSE|admin";
    const QDate d6(2025, 3, 6), d7(2025, 3, 7), d8(2025, 3, 8), d9(2025, 3, 9);
    QTest::newRow("one day: the code names the client, else the number")
        << int(ReportKind::Sent) << d7 << d7 << QStringList{sentHeader, coded, ledger};
    QTest::newRow("two days in nid order; an unknown code falls back to the number")
        << int(ReportKind::Sent) << d7 << d8
        << QStringList{sentHeader, "9876500001|Bina Shah|Hello ZZ99: x|2025-03-08 00:00:00|BSE|admin", coded,
                       ledger, "9999999999||adhoc text|2025-03-08 23:59:59|BSE|admin"};
    QTest::newRow("from after to") << int(ReportKind::Sent) << d8 << d7 << QStringList{sentHeader};
    QTest::newRow("count per day, queued left out")
        << int(ReportKind::Counter) << d6 << d9
        << QStringList{"Date|Count", "2025-03-06|1", "2025-03-07|2", "2025-03-08|2", "2025-03-09|1"};
    QTest::newRow("the same day twice: one row, times of day together")
        << int(ReportKind::Counter) << d7 << d7 << QStringList{"Date|Count", "2025-03-07|2"};
    QTest::newRow("count, from after to")
        << int(ReportKind::Counter) << d9 << d6 << QStringList{"Date|Count"};
}

void TestReports::grids()
{
    QFETCH(int, kind);
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    const ExportGrid grid = Reports(m_fixture->store()).grid(ReportKind(kind), from, to);
    QList<QStringList> rows;
    for (int row = 0; row < grid.rowCount(); ++row)
        rows << grid.rowTexts(row);
    QTEST(lines(rows), "rows");
    QCOMPARE(grid.columnCount(), grid.rows.first().size());
}

void TestReports::partyMasterDeleteAll_data()
{
    QTest::addColumn<bool>("sure");
    QTest::addColumn<std::optional<QString>>("typed");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("not sure") << false << std::optional<QString>() << false;
    QTest::newRow("password cancelled") << true << std::optional<QString>() << false;
    QTest::newRow("wrong code") << true << std::optional<QString>("Purgeclnt") << false;
    QTest::newRow("access code") << true << std::optional<QString>("purgeclnt") << true;
}

void TestReports::partyMasterDeleteAll()
{
    QFETCH(bool, sure);
    QFETCH(std::optional<QString>, typed);
    QFETCH(bool, deleted);
    rptPartyMaster screen(m_fixture->store(), m_fixture->env().dataDir(), *m_prompter,
                          [this](const QString& page) { m_opened << page; });
    screen.show();
    auto* grid = Control<QTableView>(&screen, "vsParty");
    const QStringList listed{"ID|Name|Mobile No|Code", m_ids[0] + "|Anand Rao|9876543210|A001",
                             m_ids[1] + "|Bina Shah|9876500001|A002",
                             m_ids[2] + "|Chitra Iyer|9876500002|abc123"};
    QCOMPARE(shown(grid), listed);

    m_fixture->prompter().answerNext(sure ? PromptAnswer::Yes : PromptAnswer::No);
    m_fixture->prompter().textNext(typed);
    ClickControl(&screen, "cmdDelete");
    QStringList expected{"Are you sure to delete all record ?"};
    if (deleted)
        expected << "Records deleted successfully";
    QCOMPARE(m_fixture->takeMessageTexts(), expected);
    QCOMPARE(m_prompter->asked, sure ? QStringList{"masked"} : QStringList());
    QCOMPARE(storedClients(), deleted ? 0 : 3);
    // The grid keeps what it showed until "Refresh".
    QCOMPARE(shown(grid), listed);
    ClickControl(&screen, "cmdrefresh");
    QCOMPARE(shown(grid).size(), deleted ? 1 : 4);
}

void TestReports::partyMasterExports()
{
    rptPartyMaster screen(m_fixture->store(), m_fixture->env().dataDir(), *m_prompter,
                          [this](const QString& page) { m_opened << page; });
    screen.show();
    ClickControl(&screen, "cmdHTMLExport");
    const QString page = inApp("PartyMaster.html");
    QCOMPARE(m_opened, QStringList{page});
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray html = file.readAll();
    QVERIFY(html.startsWith("<HTML>\r\n"));
    QVERIFY(html.contains(">Chitra Iyer</TD>"));

    ClickControl(&screen, "cmdExcelExport");
    const Worksheet sheet = Workbook::open(inApp("PartyMaster.xlsx")).sheet(0);
    QCOMPARE(sheet.cell(1, 4), "Code");
    QCOMPARE(sheet.cell(2, 2), "Anand Rao");
    QCOMPARE(sheet.cell(2, 3), "9876543210");
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
}

void TestReports::sentListModes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<int>("rows");
    QTest::newRow("detail") << 0 << QStringList{"Mobile NO",   "Client Name",    "Message",
                                                "Q Date Time", "Application ID", "UserName"}
                            << 4;
    QTest::newRow("summary") << 1 << QStringList{"Date", "Count"} << 2;
    QTest::newRow("another mode loads nothing") << 2 << QStringList() << 0;
}

void TestReports::sentListModes()
{
    QFETCH(int, mode);
    QFETCH(QStringList, header);
    QFETCH(int, rows);
    m_fixture->session().setSentReportMode(mode);
    rptSentList screen(m_fixture->session(), m_fixture->env().dataDir(), *m_prompter,
                       [this](const QString& page) { m_opened << page; });
    screen.show();
    auto* from = Control<QDateEdit>(&screen, "DTPicker1");
    auto* to = Control<QDateEdit>(&screen, "DTPicker2");
    QCOMPARE(from->date(), QDate::currentDate());
    QCOMPARE(to->date(), QDate::currentDate());
    auto* grid = Control<QTableView>(&screen, "vsSentList");
    QCOMPARE(grid->model()->rowCount(), 0);

    from->setDate(QDate(2025, 3, 7));
    to->setDate(QDate(2025, 3, 8));
    ClickControl(&screen, "cmdrefresh");
    const QStringList listed = shown(grid);
    QCOMPARE(listed.first(), header.join(u'|'));
    QCOMPARE(listed.size() - 1, rows);
}

void TestReports::sentListExports()
{
    m_fixture->session().setSentReportMode(0);
    rptSentList screen(m_fixture->session(), m_fixture->env().dataDir(), *m_prompter,
                       [this](const QString& page) { m_opened << page; });
    screen.show();
    Control<QDateEdit>(&screen, "DTPicker1")->setDate(QDate(2025, 3, 7));
    Control<QDateEdit>(&screen, "DTPicker2")->setDate(QDate(2025, 3, 7));
    ClickControl(&screen, "cmdrefresh");

    // A cancelled save dialog exports nothing.
    ClickControl(&screen, "cmdExcelExport");
    const QString proposed = inApp("SentList " + QDate::currentDate().toString("ddMMyyyy") + ".xlsx");
    QCOMPARE(m_prompter->asked, (QStringList{proposed, "*.xlsx"}));
    QCOMPARE(m_fixture->messages().size(), 0);

    const QString chosen = m_fixture->env().path("sent.xlsx");
    m_fixture->prompter().fileNameNext(chosen);
    ClickControl(&screen, "cmdExcelExport");
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(m_fixture->messages().first().title, "Excel Sheet Export");
    QVERIFY(m_fixture->messages().first().text.contains(chosen));
    const Worksheet sheet = Workbook::open(chosen).sheet(0);
    QCOMPARE(sheet.cell(1, 2), "Client Name");
    QCOMPARE(sheet.cell(2, 2), "Chitra Iyer");
    QCOMPARE(sheet.cell(3, 1), "9876543210");

    // The sent list's page overwrites the client list's.
    ClickControl(&screen, "cmdHTMLExport");
    QCOMPARE(m_opened, QStringList{inApp("PartyMaster.html")});
    QFile file(m_opened.first());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains(">Chitra Iyer</TD>"));
}

void TestReports::command_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QStringList>("out");
    QTest::addColumn<QString>("err");
    QTest::newRow("sent: texts escaped")
        << QStringList{"sent", "--from", "2025-03-07", "--to", "2025-03-07"} << 0
        << QStringList{"Mobile NO\tClient Name\tMessage\tQ Date Time\tApplication ID\tUserName",
                       "9876500001\tChitra Iyer\tDear Sir ABC123: your balance\t2025-03-07 "
                       "00:00:00\tBSE\tadmin",
                       "9876543210\tAnand Rao\tLedger balance\\t1500\\nthanks\t2025-03-07 "
                       "10:30:00\tBSE\tadmin"}
        << QString();
    QTest::newRow("counter") << QStringList{"counter", "--from", "2025-03-06", "--to", "2025-03-08"} << 0
                             << QStringList{"Date\tCount", "2025-03-06\t1", "2025-03-07\t2", "2025-03-08\t2"}
                             << QString();
    QTest::newRow("malformed date") << QStringList{"counter", "--from", "2026-13-01"} << 2 << QStringList()
                                    << "brisant: --from: \"2026-13-01\" is not a date YYYY-MM-DD";
    QTest::newRow("unknown report") << QStringList{"parties"} << 2 << QStringList()
                                    << "brisant: report needs one of clients, sent or counter";
}

void TestReports::command()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, err);
    const ProgramRun run = RunProgram(QStringLiteral(BRISANT_EXE), QStringList{"report"} + arguments,
                                      m_fixture->env().processEnvironment());
    QCOMPARE(run.exitCode, exitCode);
    QTEST(run.outLines(), "out");
    QCOMPARE(run.errLines().value(0), err);
}

void TestReports::commandExports()
{
    const QString page = m_fixture->env().path("clients.html");
    const QString workbook = m_fixture->env().path("clients.xlsx");
    const ProgramRun run = RunProgram(QStringLiteral(BRISANT_EXE),
                                      QStringList{"report", "clients", "--html", page, "--xlsx", workbook},
                                      m_fixture->env().processEnvironment());
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.outLines(),
             (QStringList{"ID\tName\tMobile No\tCode", m_ids[0] + "\tAnand Rao\t9876543210\tA001",
                          m_ids[1] + "\tBina Shah\t9876500001\tA002",
                          m_ids[2] + "\tChitra Iyer\t9876500002\tabc123"}));
    QCOMPARE(run.errLines(), (QStringList{"wrote " + page, "wrote " + workbook}));
    // The page is the one the engine writes for the same grid.
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString expected = m_fixture->env().path("expected.html");
    QVERIFY(SaveGridAsHtml(expected, Reports(m_fixture->store()).clients()));
    QFile expectedFile(expected);
    QVERIFY(expectedFile.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expectedFile.readAll());
    QCOMPARE(Workbook::open(workbook).sheet(0).cell(4, 2), "Chitra Iyer");
}

void TestReports::olderStoreGainsTheSentIndex()
{
    TestEnvironment env;
    // PostgreSQL keeps it for the "Sent" rows alone.
    QVERIFY(env.upgradeRestoresIndex(TestEnvironment::onPostgres()
                                         ? QStringLiteral("MessageQueue_SentByTime")
                                         : QStringLiteral("MessageQueue_StatusTime"),
                                     6));
}

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
