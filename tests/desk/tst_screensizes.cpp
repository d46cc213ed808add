#include "ClientTable.h"
#include "ColumnPositionsDialog.h"
#include "DeskScreens.h"
#include "DeskSession.h"
#include "MessageGrid.h"
#include "ScreenFixture.h"
#include "TestFiles.h"
#include "TradeFileKind.h"
#include "TradeScreen.h"
#include "core/ManualTicker.h"
#include "dlgFileBrowse.h"
#include "dlgSearch.h"
#include "frmlogin.h"
#include "mdimain.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QHash>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

/// Every screen opens whole on a 1280x800 desk, grids with every column and buttons with their full
/// captions, and opens again where the user left it.
class TestScreenSizes : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void opensWhole_data();
    void opensWhole();
    void reopensWhereItWasLeft_data();
    void reopensWhereItWasLeft();
    void placeThatNoLongerFitsIsNotTaken();

private:
    /// Opens the screen as the program does and returns it; its window is the frame or the dialog.
    QWidget* open(const QString& name);
    QWidget* windowOf(QWidget* screen) const
    {
        auto* frame = qobject_cast<QMdiSubWindow*>(screen->parentWidget());
        return frame ? static_cast<QWidget*>(frame) : screen;
    }
    QRect room(QWidget* window) const
    {
        return window->isWindow() ? window->screen()->availableGeometry() : window->parentWidget()->rect();
    }
    void readSamples(QWidget* screen);
    void readWorkbook(QWidget* screen);
    void fillAdhoc(QWidget* screen);
    void showImport(QWidget* screen);
    void fillQueue(QWidget* screen);
    void fillReport(QWidget* screen);
    static void verifyWhole(QWidget* screen);
    void openMainWindow()
    {
        DeskSession& session = m_fixture->session();
        m_main = std::make_unique<mdimain>(session, m_fixture->prompter(),
                                           makeDeskScreens(session, m_fixture->prompter()));
        m_main->setUserMasterAvailable(true);
        m_main->show();
        // Maximising reaches the window a little later.
        const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
        QTRY_VERIFY(!m_main->isMaximized() || m_main->frameGeometry().size() == room);
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<mdimain> m_main;
    std::unique_ptr<QWidget> m_window;
};

void TestScreenSizes::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    m_fixture->session().LoadStartupSettings();
    StoreClients(m_fixture->store(), QStringLiteral(SAMPLES_DIR "/clients.csv"));
    openMainWindow();
}

void TestScreenSizes::cleanup()
{
    m_window.reset();
    m_main.reset();
    m_fixture.reset();
}

QWidget* TestScreenSizes::open(const QString& name)
{
    Store& store = m_fixture->store();
    ScriptedPrompter& prompter = m_fixture->prompter();
    // The settings dialogs as the kinds describe them.
    QDialog* dialog = MakeSettingsDialog(name, store, prompter, m_main.get());
    if (name == QLatin1String("dlgFileBrowse"))
        dialog = new dlgFileBrowse(prompter, m_main.get());
    if (name == QLatin1String("dlgSearch")) {
        auto* search = new dlgSearch(m_main.get());
        PickList clients{{QStringLiteral("cName"), QStringLiteral("cMobile"), QStringLiteral("cdpinid"),
                          QStringLiteral("cEmail")},
                         {}};
        for (const ClientRow& client : ClientTable(store).all())
            clients.rows << QStringList{client.name, client.mobile, client.code, client.email};
        search->SetCriteria(clients, nullptr);
        dialog = search;
    }
    if (dialog) {
        dialog->show();
        return dialog;
    }
    if (name == QLatin1String("frmlogin")) {
        m_window = std::make_unique<frmlogin>(
            m_fixture->session(), [this] { return m_main.get(); }, new ManualTicker);
        m_window->show();
        return m_window.get();
    }
    if (name == QLatin1String("mdimain"))
        return m_main.get();
    if (name == QLatin1String("Frm_BankDetails")) {
        m_main->findChild<QAction*>(QStringLiteral("mnu_Bankdetails"))->trigger();
        return Control<QWidget>(m_main.get(), name);
    }
    return m_main->openScreen(name);
}

void TestScreenSizes::readSamples(QWidget* screen)
{
    auto* files = dynamic_cast<FileTarget*>(screen);
    QVERIFY(files);
    // Each screen reads the sample of its own kind.
    static const QHash<QString, QString> samples = {
        {"frmBseParse", "bse_trades.txt"},       {"frmnseparse", "nse_trades.txt"},
        {"frmfutureparse", "fno_trades.txt"},    {"frmfutureparse_ORIN", "orion_fno_trades.txt"},
        {"frmorinBSE", "orion_bse_trades.txt"},  {"frmOrinNse", "orion_nse_trades.txt"},
        {"frmCommodity", "mcx_trades.txt"},      {"frmNcdex", "ncdex_trades.txt"},
        {"frm_NetPosition", "netpos_report.txt"}};
    QVERIFY(samples.contains(screen->objectName()));
    files->GetFiles({QStringLiteral(SAMPLES_DIR "/") + samples.value(screen->objectName())});
    // The read runs on a thread of its own; the grids are filled when it has ended.
    auto* trades = qobject_cast<TradeScreen*>(screen);
    QVERIFY(trades);
    QSignalSpy finished(trades, &TradeScreen::readFinished);
    ClickControl(screen, QStringLiteral("cmdReadFile"));
    QVERIFY(finished.wait());
    QVERIFY(Control<QTableView>(screen, QStringLiteral("msf1"))->model()->rowCount() > 0);
    // The commodity screens have no prefix box.
    if (auto* prefix = screen->findChild<QLineEdit*>(QStringLiteral("txtprefix")))
        prefix->setText(QStringLiteral("EOD"));
    ClickControl(screen, QStringLiteral("cmdGenMessage"));
    QTRY_VERIFY(Control<QTableView>(screen, QStringLiteral("msfmessage"))->model()->rowCount() > 0);
}

void TestScreenSizes::readWorkbook(QWidget* screen)
{
    // Each spreadsheet screen reads the fixture workbook of its own kind, for the fixture's clients.
    static const QHash<QString, QString> workbooks = {
        {"frmLed", "ledger.xlsx"}, {"frm_Stock", "stock.xlsx"}, {"frm_ExcelSMS_Formula", "template.xlsx"}};
    const ClientTable clients(m_fixture->store());
    clients.insert(
        {0, QStringLiteral("Anand Rao"), QStringLiteral("9876543210"), QStringLiteral("A001"), {}});
    clients.insert(
        {0, QStringLiteral("Bina Shah"), QStringLiteral("9876500001"), QStringLiteral("A002"), {}});
    m_fixture->prompter().fileNameNext(QStringLiteral(WORKBOOK_FIXTURES "/") +
                                       workbooks.value(screen->objectName()));
    ClickControl(screen, QStringLiteral("cmdBrowse"));
    QTRY_VERIFY(Control<QTableView>(screen, QStringLiteral("vsexcel"))->model()->rowCount() > 0);
    ClickControl(screen, QStringLiteral("cmdStartParsing"));
    QTRY_VERIFY(Control<QTableView>(screen, QStringLiteral("msfmessage"))->model()->rowCount() > 0);
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
}

void TestScreenSizes::fillAdhoc(QWidget* screen)
{
    Control<QPlainTextEdit>(screen, QStringLiteral("txtmobnos"))
        ->setPlainText(QStringLiteral("9876543210\n9876500001\n9876500002"));
    Control<QPlainTextEdit>(screen, QStringLiteral("txtmessage"))->setPlainText(QString(159, u'a'));
    QCOMPARE(Control<QLabel>(screen, QStringLiteral("lblmsglen"))->text(), QStringLiteral("0"));
}

void TestScreenSizes::showImport(QWidget* screen)
{
    m_fixture->prompter().fileNameNext(QStringLiteral(WORKBOOK_FIXTURES "/clients.xlsx"));
    ClickControl(screen, QStringLiteral("cmdOpenExcelFile"));
    const char* lists[] = {"cmbName", "cmbMobile", "cmbEmail", "cmbClientCode"};
    for (int column = 0; column < 4; ++column)
        Control<QComboBox>(screen, QString::fromLatin1(lists[column]))->setCurrentIndex(column);
    ClickControl(screen, QStringLiteral("cmdShowData"));
    QTRY_VERIFY(Control<QTableView>(screen, QStringLiteral("msf1"))->model()->rowCount() > 0);
}

void TestScreenSizes::fillQueue(QWidget* screen)
{
    QueueGrid(m_fixture->session(), QStringLiteral("Ledger"),
              {{QStringLiteral("9876543210"),
                QStringLiteral("Balance update as on 08/12/2026 for A001  Rs. 1234.5 Cr")},
               {QStringLiteral("9876500001"),
                QStringLiteral("Balance update as on 08/12/2026 for A002  Rs. 1234 Dr")}});
    ClickControl(screen, QStringLiteral("cmdRefresh"));
    const QTableView* messages = Control<QTableView>(screen, QStringLiteral("vsmq"));
    QTRY_VERIFY(messages->model()->rowCount() > 0);
    // The queue fills the main window; the waiting messages take its room, the counts per user little.
    QTRY_VERIFY(windowOf(screen)->isMaximized());
    QVERIFY(messages->height() > 3 * Control<QTableView>(screen, QStringLiteral("vsothlist"))->height());
}

void TestScreenSizes::fillReport(QWidget* screen)
{
    // A client, and a message the dispatch server has sent today, for either report to list.
    ClientTable(m_fixture->store())
        .insert({0, QStringLiteral("Anand Rao"), QStringLiteral("9876543210"), QStringLiteral("A001"), {}});
    QueueGrid(m_fixture->session(), QStringLiteral("Ledger"),
              {{QStringLiteral("9876543210"),
                QStringLiteral("Balance update as on 08/12/2026 for A001  Rs. 1234.5 Cr")}});
    m_fixture->store().exec(QStringLiteral("UPDATE MessageQueue SET Status = 'Sent'"));
    ClickControl(screen, QStringLiteral("cmdrefresh"));
    const QString grid = screen->objectName() == QLatin1String("rptPartyMaster")
                             ? QStringLiteral("vsParty")
                             : QStringLiteral("vsSentList");
    QTRY_VERIFY(Control<QTableView>(screen, grid)->model()->rowCount() > 0);
}

void TestScreenSizes::verifyWhole(QWidget* screen)
{
    QList<QTabWidget*> tabs = screen->findChildren<QTabWidget*>();
    if (tabs.isEmpty())
        tabs << nullptr;
    for (QTabWidget* tab : std::as_const(tabs)) {
        for (int page = 0; page < (tab ? tab->count() : 1); ++page) {
            if (tab) {
                tab->setCurrentIndex(page);
                QTRY_VERIFY(tab->currentWidget()->isVisible());
                QVERIFY2(tab->tabBar()->sizeHint().width() <= tab->tabBar()->width(), "tabs cut short");
            }
            const auto grids = screen->findChildren<QTableView*>();
            for (const QTableView* grid : grids) {
                if (!grid->isVisible())
                    continue;
                const QHeaderView* header = grid->horizontalHeader();
                QTRY_VERIFY2(header->length() <= grid->viewport()->width(),
                             qPrintable(QStringLiteral("%1: columns %2 wide in %3")
                                            .arg(grid->objectName())
                                            .arg(header->length())
                                            .arg(grid->viewport()->width())));
                for (int column = 0; column < header->count(); ++column) {
                    if (header->isSectionHidden(column))
                        continue;
                    const int needed =
                        std::max(static_cast<const QAbstractItemView*>(grid)->sizeHintForColumn(column),
                                 header->sectionSizeHint(column));
                    QVERIFY2(header->sectionSize(column) >= needed,
                             qPrintable(QStringLiteral("%1: column %2 is %3 wide, needs %4")
                                            .arg(grid->objectName())
                                            .arg(column)
                                            .arg(header->sectionSize(column))
                                            .arg(needed)));
                }
            }
        }
    }
    const auto buttons = screen->findChildren<QAbstractButton*>();
    for (const QAbstractButton* button : buttons) {
        if (button->isVisible())
            QVERIFY2(button->sizeHint().width() <= button->width(), qPrintable(button->objectName()));
    }
    const auto labels = screen->findChildren<QLabel*>();
    for (const QLabel* label : labels) {
        if (label->isVisible() && !label->wordWrap())
            QVERIFY2(label->sizeHint().width() <= label->width(), qPrintable(label->text()));
    }
}

void TestScreenSizes::opensWhole_data()
{
    QTest::addColumn<QString>("name");
    QStringList names;
    for (const char* name : {"frmlogin", "mdimain", "frmUserMaster", "frmProxyConfig", "frmPartymaster"})
        names << QString::fromLatin1(name);
    // Every trade kind's screen and settings dialog, as described.
    QStringList dialogs;
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        names << kind.screen;
        if (!dialogs.contains(kind.settings.name))
            dialogs << kind.settings.name;
    }
    names << dialogs;
    for (const char* name :
         {"dlgFileBrowse", "dlgSearch", "Frm_BankDetails", "frmLed", "frm_Stock", "frm_ExcelSMS_Formula",
          "frmAdvancedSMS", "frmImportExcel", "frmMessageQueue", "rptPartyMaster", "rptSentList"})
        names << QString::fromLatin1(name);
    for (const QString& name : std::as_const(names))
        QTest::newRow(qPrintable(name)) << name;
}

void TestScreenSizes::opensWhole()
{
    QFETCH(QString, name);
    QCOMPARE(QGuiApplication::primaryScreen()->size(), QSize(1280, 800));
    QWidget* screen = open(name);
    QVERIFY(screen);
    QWidget* window = windowOf(screen);
    QTRY_VERIFY(window->isVisible());
    if (name == QLatin1String("mdimain"))
        QTRY_VERIFY(m_main->isMaximized());
    QTRY_VERIFY2(room(window).contains(window->geometry()), "the screen reaches past the room it has");

    if (screen->findChild<QTableView*>(QStringLiteral("vsexcel")))
        readWorkbook(screen);
    else if (name == QLatin1String("frmAdvancedSMS"))
        fillAdhoc(screen);
    else if (name == QLatin1String("frmImportExcel"))
        showImport(screen);
    else if (name == QLatin1String("frmMessageQueue"))
        fillQueue(screen);
    else if (name.startsWith(QLatin1String("rpt")))
        fillReport(screen);
    else if (name.startsWith(QLatin1String("frm")) && screen->findChild<QTabWidget*>())
        readSamples(screen);
    if (QTest::currentTestFailed())
        return;
    if (name == QLatin1String("frmPartymaster"))
        ClickControl(screen, QStringLiteral("cmdSearch"));
    verifyWhole(screen);
}

void TestScreenSizes::reopensWhereItWasLeft_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("moved");
    QTest::newRow("screen in the main window") << QStringLiteral("frmBseParse") << QRect(40, 30, 900, 520);
    QTest::newRow("dialog") << QStringLiteral("dlgFileBrowse") << QRect(120, 90, 700, 400);
    QTest::newRow("main window") << QStringLiteral("mdimain") << QRect(60, 50, 1000, 640);
}

void TestScreenSizes::reopensWhereItWasLeft()
{
    QFETCH(QString, name);
    QFETCH(QRect, moved);
    QWidget* window = windowOf(open(name));
    QTRY_VERIFY(window->isVisible());
    if (name == QLatin1String("mdimain")) {
        QTRY_VERIFY(m_main->isMaximized());
        m_main->showNormal();
        QTRY_VERIFY(!m_main->isMaximized());
    }
    window->setGeometry(moved);
    QTRY_COMPARE(window->geometry(), moved);
    window->close();
    if (name == QLatin1String("mdimain")) {
        m_main.reset();
        openMainWindow();
    }
    QWidget* again = windowOf(open(name));
    QTRY_VERIFY(again->isVisible());
    QTRY_COMPARE(again->geometry(), moved);
    QVERIFY(!again->isMaximized());
}

void TestScreenSizes::placeThatNoLongerFitsIsNotTaken()
{
    // Saved on a bigger desk than this one.
    QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kelvra"), QStringLiteral("Kelvra"))
        .setValue(QStringLiteral("Windows/frmBseParse/geometry"), QRect(1500, 900, 1600, 1000));
    QWidget* window = windowOf(open(QStringLiteral("frmBseParse")));
    QTRY_VERIFY(window->isVisible());
    QVERIFY(room(window).contains(window->geometry()));
    QVERIFY(window->width() >= window->sizeHint().boundedTo(room(window).size()).width());
}

QTEST_MAIN(TestScreenSizes)
#include "tst_screensizes.moc"
