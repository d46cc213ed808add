#include "ConfirmationScreens.h"
#include "DeskScreens.h"
#include "ScreenFixture.h"
#include "StoreBackup.h"
#include "TextGrid.h"
#include "TradeFileKind.h"
#include "TradeScreen.h"
#include "mdimain.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

/// The main window: its menu, which entries lead to a screen, and each screen opened once.
class TestMdiMain : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void menuHasEveryEntryInOrder();
    void enabledEntriesAreTheScreensBuiltSoFar();
    void userMasterFollowsTheLogin();
    void eachScreenOpensOnce();
    void tradeEntriesFollowTheFileType_data();
    void tradeEntriesFollowTheFileType();
    void savedFileTypeTakesEffectAtTheNextOpening();
    void sentReportEntriesSetTheModeFirst();
    void bankDetailsShowsOnce();
    void closingClosesTheStore();
    void closingHonoursABusyScreen();
    void storeWorkWaitsForARead();
    void backup_data();
    void backup();

private:
    QAction* action(const char* name) { return m_main->findChild<QAction*>(QLatin1String(name)); }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<mdimain> m_main;
};

void TestMdiMain::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    DeskSession& session = m_fixture->session();
    session.LoadStartupSettings();
    m_main = std::make_unique<mdimain>(session, m_fixture->prompter(),
                                       makeDeskScreens(session, m_fixture->prompter()));
    m_main->setUserMasterAvailable(true);
    m_main->show();
}

void TestMdiMain::cleanup()
{
    m_main.reset();
    m_fixture.reset();
}

void TestMdiMain::menuHasEveryEntryInOrder()
{
    QStringList seen;
    const auto menus = m_main->menuBar()->actions();
    for (QAction* top : menus) {
        seen << top->menu()->objectName() + u'=' + top->text();
        const auto entries = top->menu()->actions();
        for (QAction* entry : entries)
            seen << u' ' + entry->objectName() + u'=' +
                        (entry->isSeparator() ? QStringLiteral("-") : entry->text());
    }
    const QStringList expected = {
        "m_utilsms=&SMS",
        " m_sms_bse=&BSE",
        " m_sms_nse=&NSE",
        " m_sms_fno=&FnO",
        " m_sms_commodity=&Commodity",
        " m_sms_ncdex=NC&DEX",
        " Mnu_NetPisstion=Net Position",
        " mnu_Ledger=Ledger",
        " Mnu_Stiock=Stock",
        " mnu_advdash=-",
        " mnu_ADV_SMS=Advance SMS",
        " mnu_Excel=Excel SMS (Formula)",
        "m_masters=&Masters",
        " m_mast_user=User Master",
        " m_mast_party=&Client Master",
        "m_utility=&Utility",
        " m_util_MessageQueue=&Message Queue",
        " m_util_IES=&Import Excel Sheet",
        " m_util_config=&Configuration",
        "m_reports=&Reports",
        " m_rpt_party=&Party Master",
        " m_sep=-",
        " m_sentList=&Sent List",
        " mnu_rpt_SentCounter=&Sent Counter",
        "mnu_aboutus=&Windows",
        " mnu_bkp=Backup",
        " mnu1=-",
        " mnu_Bankdetails=Bank Details",
    };
    QCOMPARE(seen, expected);
    QCOMPARE(m_main->windowTitle(), QStringLiteral("Kelvra - Brisant"));
}

void TestMdiMain::enabledEntriesAreTheScreensBuiltSoFar()
{
    // Each later screen turns its entry on here.
    const QStringList expected = {
        "m_sms_bse",       "m_sms_nse",    "m_sms_fno",           "m_sms_commodity", "m_sms_ncdex",
        "Mnu_NetPisstion", "mnu_Ledger",   "Mnu_Stiock",          "mnu_ADV_SMS",     "mnu_Excel",
        "m_mast_user",     "m_mast_party", "m_util_MessageQueue", "m_util_IES",      "m_util_config",
        "m_rpt_party",     "m_sentList",   "mnu_rpt_SentCounter", "mnu_bkp",         "mnu_Bankdetails"};
    QStringList enabled;
    const auto menus = m_main->menuBar()->actions();
    for (QAction* top : menus) {
        Q_EMIT top->menu()->aboutToShow();
        const auto entries = top->menu()->actions();
        for (QAction* entry : entries) {
            QVERIFY2(entry->isVisible(), qPrintable(entry->objectName()));
            if (!entry->isSeparator() && entry->isEnabled())
                enabled << entry->objectName();
        }
    }
    QCOMPARE(enabled, expected);
}

void TestMdiMain::userMasterFollowsTheLogin()
{
    m_main->setUserMasterAvailable(false);
    QVERIFY(!action("m_mast_user")->isEnabled());
    QVERIFY(action("m_mast_party")->isEnabled());
    m_main->setUserMasterAvailable(true);
    QVERIFY(action("m_mast_user")->isEnabled());
}

void TestMdiMain::eachScreenOpensOnce()
{
    auto* area = m_main->findChild<QMdiArea*>();
    action("m_mast_party")->trigger();
    QWidget* clients = m_main->screen(QStringLiteral("frmPartymaster"));
    QVERIFY(clients);
    action("m_util_config")->trigger();
    QCOMPARE(area->subWindowList().size(), 2);
    QCOMPARE(area->activeSubWindow()->widget()->objectName(), QStringLiteral("frmProxyConfig"));

    action("m_mast_party")->trigger();
    QCOMPARE(area->subWindowList().size(), 2);
    QCOMPARE(m_main->screen(QStringLiteral("frmPartymaster")), clients);
    QCOMPARE(area->activeSubWindow()->widget(), clients);
    QCOMPARE(area->activeSubWindow()->windowTitle(), QStringLiteral("Client Master"));

    // Closed through its own button, it opens afresh next time.
    ClickControl(clients, "cmdClose");
    QTRY_COMPARE(area->subWindowList().size(), 1);
    action("m_mast_party")->trigger();
    QCOMPARE(area->subWindowList().size(), 2);
}

void TestMdiMain::tradeEntriesFollowTheFileType_data()
{
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<bool>("odin");
    QTest::newRow("ODIN") << "ODIN" << true;
    QTest::newRow("ORIN") << "ORIN" << false;
    QTest::newRow("empty") << "" << false;
}

void TestMdiMain::tradeEntriesFollowTheFileType()
{
    QFETCH(QString, fileType);
    QFETCH(bool, odin);
    ScreenCatalog catalog;
    addConfirmationScreens(catalog, m_fixture->session(), m_fixture->prompter());
    // Plain stand-ins for the screens: only which one an entry opens counts here.
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        catalog.add(kind.screen, [name = kind.screen] {
            auto* screen = new QWidget;
            screen->setObjectName(name);
            return screen;
        });
    }
    m_fixture->session().setTradeFileType(fileType);
    mdimain main(m_fixture->session(), m_fixture->prompter(), catalog);
    QSet<QString> entries;
    for (const TradeFileKind& kind : TradeFileKind::all())
        entries.insert(kind.menuEntry);
    for (const QString& entry : std::as_const(entries))
        main.findChild<QAction*>(entry)->trigger();
    // Each kind of one type or of both, and none of the other type.
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        const bool expected = kind.fileType == TradeFileKind::FileType::Any ||
                              (kind.fileType == TradeFileKind::FileType::Odin) == odin;
        QVERIFY2(bool(main.screen(kind.screen)) == expected, qPrintable(kind.screen));
    }
}

void TestMdiMain::savedFileTypeTakesEffectAtTheNextOpening()
{
    ScreenCatalog catalog = makeDeskScreens(m_fixture->session(), m_fixture->prompter());
    catalog.add(QStringLiteral("frmorinBSE"), [] { return new QWidget; });
    mdimain main(m_fixture->session(), m_fixture->prompter(), catalog);
    auto* bse = main.findChild<QAction*>(QStringLiteral("m_sms_bse"));
    bse->trigger(); // ODIN is delivered
    QVERIFY(main.screen(QStringLiteral("frmBseParse")));
    QVERIFY(!main.screen(QStringLiteral("frmorinBSE")));

    main.openScreen(QStringLiteral("frmProxyConfig"));
    auto* config = main.screen(QStringLiteral("frmProxyConfig"));
    config->findChild<QComboBox*>(QStringLiteral("cmbsaudatype"))->setCurrentText(QStringLiteral("ORIN"));
    ClickControl(config, "cmdsave");
    QCOMPARE(m_fixture->messages().last().text, QStringLiteral("Configuration Stored"));
    QCOMPARE(m_fixture->session().TradeFileType(), QStringLiteral("ORIN"));

    Q_EMIT main.findChild<QMenu*>(QStringLiteral("m_utilsms"))->aboutToShow();
    QVERIFY(bse->isEnabled());
    bse->trigger();
    QVERIFY(main.screen(QStringLiteral("frmorinBSE")));
}

void TestMdiMain::sentReportEntriesSetTheModeFirst()
{
    ScreenCatalog catalog;
    QList<int> modesAtOpening;
    catalog.add(QStringLiteral("rptSentList"), [&] {
        modesAtOpening << m_fixture->session().SentReportMode();
        return new QWidget;
    });
    mdimain main(m_fixture->session(), m_fixture->prompter(), catalog);
    main.findChild<QAction*>(QStringLiteral("mnu_rpt_SentCounter"))->trigger();
    QCOMPARE(modesAtOpening, QList<int>{1});
    QWidget* report = main.screen(QStringLiteral("rptSentList"));
    main.findChild<QAction*>(QStringLiteral("m_sentList"))->trigger();
    QCOMPARE(m_fixture->session().SentReportMode(), 0);
    QCOMPARE(main.screen(QStringLiteral("rptSentList")), report);
    QCOMPARE(modesAtOpening.size(), 1);
}

void TestMdiMain::bankDetailsShowsOnce()
{
    action("mnu_Bankdetails")->trigger();
    action("mnu_Bankdetails")->trigger();
    const auto windows = m_main->findChildren<QWidget*>(QStringLiteral("Frm_BankDetails"));
    QCOMPARE(windows.size(), 1);
    QVERIFY(windows.first()->isVisible());
    QCOMPARE(windows.first()->windowTitle(), QStringLiteral("Bank Details"));
}

void TestMdiMain::closingClosesTheStore()
{
    action("m_mast_party")->trigger();
    QVERIFY(m_main->close());
    QVERIFY(!m_fixture->store().isOpen());
    // Closing again with the store already closed is harmless.
    m_main->show();
    QVERIFY(m_main->close());
}

void TestMdiMain::closingHonoursABusyScreen()
{
    // A screen at work refuses to close; the program stays open and the store with it.
    class BusyScreen : public QWidget
    {
    protected:
        void closeEvent(QCloseEvent* event) override { event->ignore(); }
    };
    ScreenCatalog catalog;
    catalog.add(QStringLiteral("frmPartymaster"), [] { return new BusyScreen; });
    mdimain main(m_fixture->session(), m_fixture->prompter(), catalog);
    main.show();
    main.findChild<QAction*>(QStringLiteral("m_mast_party"))->trigger();
    QVERIFY(!main.close());
    QVERIFY(m_fixture->store().isOpen());
    QVERIFY(main.screen(QStringLiteral("frmPartymaster")));
}

void TestMdiMain::storeWorkWaitsForARead()
{
    // A trade screen reads on a thread of its own through the desk's one connection. Store work that
    // another window starts meanwhile waits for the read's transaction to end instead of beginning a
    // second one inside it, on either engine.
    constexpr int kLines = 60000;
    QByteArray lines;
    for (int i = 0; i < kLines; ++i)
        lines += QByteArray("T|08/12/2026|09:15:01|500325|RELIANCE|B|10|245025|AB") +
                 QByteArray::number(i % 500) + "|0412|2026231\n";
    const QString file = m_fixture->writeFile(QStringLiteral("day.txt"), lines);
    action("m_sms_bse")->trigger();
    auto* screen = qobject_cast<TradeScreen*>(m_main->screen(QStringLiteral("frmBseParse")));
    QVERIFY(screen);
    screen->GetFiles({file});
    ClickControl(screen, "cmdReadFile");
    QVERIFY(screen->isBusy());
    QVERIFY(!m_main->close()); // the read still needs the store

    const Store& store = m_fixture->store();
    {
        Transaction transaction(store);
        QSqlQuery staged = store.exec(QStringLiteral("SELECT COUNT(*) FROM bsetrade"));
        QVERIFY(staged.next());
        QCOMPARE(staged.value(0).toInt(), kLines);
        store.exec(QStringLiteral("UPDATE bnfconfigure SET clientcode = clientcode WHERE cd = ?"),
                   {QStringLiteral("B")});
        transaction.commit();
    }
    QTRY_VERIFY(!screen->isBusy());
    QCOMPARE(Control<TextGrid>(screen, QStringLiteral("msf1"))->rowCount(), kLines);
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestMdiMain::backup_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("message");
    QTest::newRow("plain name") << "backup1"
                                << "backup1%1"
                                << "Backup Process Completed";
    QTest::newRow("name with the extension") << "x%1"
                                             << "x%1%1"
                                             << "Backup Process Completed";
    QTest::newRow("existing file is replaced") << "old"
                                               << "old%1"
                                               << "Backup Process Completed";
    QTest::newRow("missing folder") << "nowhere/b"
                                    << ""
                                    << "Backup Process Fail";
    QTest::newRow("cancelled") << ""
                               << ""
                               << "";
}

void TestMdiMain::backup()
{
    QFETCH(QString, chosen);
    QFETCH(QString, written);
    QFETCH(QString, message);
    const QString extension = StoreBackup(m_fixture->store()).extension();
    QDir folder(m_fixture->env().path(QStringLiteral("backups")));
    QVERIFY(folder.mkpath(QStringLiteral(".")));
    m_fixture->writeFile(QStringLiteral("backups/old") + extension, "stale");

    m_fixture->prompter().fileNameNext(chosen.isEmpty() ? QString() : folder.filePath(chosen.arg(extension)));
    action("mnu_bkp")->trigger();

    const QList<PromptMessage>& shown = m_fixture->messages();
    if (message.isEmpty()) {
        QVERIFY(shown.isEmpty());
        return;
    }
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].text, message);
    QCOMPARE(shown[0].title, QString());
    QCOMPARE(shown[0].buttons, PromptMessage::Buttons::Ok);
    if (!written.isEmpty()) {
        const QFileInfo file(folder.filePath(written.arg(extension)));
        QVERIFY2(file.exists(), qPrintable(file.filePath()));
        QVERIFY(file.size() > 5);
        QCOMPARE(file.permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup),
                 QFileDevice::Permissions());
    }
    QVERIFY(m_fixture->store().isOpen());
}

QTEST_MAIN(TestMdiMain)

#include "tst_mdimain.moc"
