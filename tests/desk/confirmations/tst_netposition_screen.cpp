#include "DeskScreens.h"
#include "ScreenFixture.h"
#include "TestFiles.h"
#include "TextGrid.h"
#include "frm_NetPosition.h"
#include "mdimain.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTabWidget>

/// The net-position screen through its controls: captions, the layout option, reading off the window
/// thread, generating and sending, the settings dialog, and the F&O staging it leaves alone.
class TestNetPositionScreen : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void controlsAndCaptions();
    void readGenerateAndSendTwice_data();
    void readGenerateAndSendTwice();
    void menuOpensItAndConfigureShowsDlgfutconfig();

private:
    void open()
    {
        m_screen = std::make_unique<frm_NetPosition>(*TradeFileKind::byCommand(QStringLiteral("netpos")),
                                                     m_fixture->session(), m_fixture->prompter());
        m_screen->show();
    }
    TextGrid* grid(const char* name) { return Control<TextGrid>(m_screen.get(), QLatin1String(name)); }
    QStringList column(const char* name, int column)
    {
        QStringList cells;
        for (int r = 0; r < grid(name)->rowCount(); ++r)
            cells << grid(name)->text(r, column);
        return cells;
    }
    int count(const QString& table)
    {
        QSqlQuery query = m_fixture->store().exec(QStringLiteral("SELECT COUNT(*) FROM ") + table);
        return query.next() ? query.value(0).toInt() : -1;
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<frm_NetPosition> m_screen;
};

void TestNetPositionScreen::init()
{
    m_fixture = std::make_unique<ScreenFixture>(QStringLiteral("desk1"));
    StoreClients(m_fixture->store(), QStringLiteral(GOLDEN_DIR "/qty_avg_profit_loss_and_legs/clients.csv"));
    // Staged by the F&O screen of this desk; the net-position screen has no business with it.
    m_fixture->store().exec(QStringLiteral(
        "INSERT INTO future (clid, scriptname, rate, qty, bsflag, fut_month, opttype, optval, lineseq) "
        "VALUES ('C001', 'NIFTY', 24500, 75, 'B', 'DEC', '', '', 1)"));
}

void TestNetPositionScreen::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestNetPositionScreen::controlsAndCaptions()
{
    open();
    QCOMPARE(m_screen->objectName(), QStringLiteral("frm_NetPosition"));
    QCOMPARE(m_screen->windowTitle(), QStringLiteral("Net Position"));
    const QList<std::pair<const char*, const char*>> buttons = {{"Option1", "Qty,Avg"},
                                                                {"Option2", "Qty,Amt,Avg"},
                                                                {"cmdbrow", "..."},
                                                                {"cmdReadFile", "&Read File(s)"},
                                                                {"cmdGenMessage", "&Generate Message"},
                                                                {"cmdSendMessage", "&Send Message"},
                                                                {"cmdConfigure", "Configure"}};
    for (const auto& [name, caption] : buttons)
        QCOMPARE(Control<QAbstractButton>(m_screen.get(), QLatin1String(name))->text(),
                 QLatin1String(caption));
    QVERIFY(Control<QRadioButton>(m_screen.get(), QStringLiteral("Option1"))->isChecked());
    QCOMPARE(Control<QLineEdit>(m_screen.get(), QStringLiteral("txtprefix"))->text(), QString());

    auto* tabs = Control<QTabWidget>(m_screen.get(), QStringLiteral("SSTab1"));
    QStringList shown;
    for (int i = 0; i < tabs->count(); ++i)
        shown << tabs->tabText(i) + u'=' + tabs->widget(i)->objectName();
    QCOMPARE(shown, (QStringList{"Transaction Wise Data=msf1", "Raw Data=Mf", "Message=msfmessage"}));
    QStringList headers;
    for (int c = 1; c < grid("msf1")->columnCount(); ++c)
        headers << grid("msf1")->headerText(c);
    QCOMPARE(headers, (QStringList{"Client Code", "Script Name", "Buy Price", "Sale Price", "Proffit/Loss",
                                   "Exch", "Buy Qty", "Sale Qty"}));
    QCOMPARE(grid("Mf")->headerText(0) + grid("Mf")->headerText(1) + grid("Mf")->headerText(2),
             QStringLiteral("*Code.Message"));
    QCOMPARE(count(QStringLiteral("future")), 1);
}

void TestNetPositionScreen::readGenerateAndSendTwice_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("qtyAmtAvg");
    // Whether the read shows the folder's warnings in boxes, as it does the notice of a wrong layout.
    QTest::addColumn<bool>("readWarns");
    QTest::newRow("Qty,Avg") << "qty_avg_profit_loss_and_legs" << false << false;
    QTest::newRow("Qty,Amt,Avg") << "qty_amt_avg_profit_loss_and_legs" << true << false;
    QTest::newRow("wrong layout") << "qty_amt_avg_wrong_layout" << true << true;
}

void TestNetPositionScreen::readGenerateAndSendTwice()
{
    QFETCH(QString, folder);
    QFETCH(bool, qtyAmtAvg);
    QFETCH(bool, readWarns);
    const QDir dir(QStringLiteral(GOLDEN_DIR "/") + folder);
    open();
    if (qtyAmtAvg)
        ClickControl(m_screen.get(), QStringLiteral("Option2"));
    m_screen->GetFiles({dir.filePath(QStringLiteral("trades.txt"))});
    ClickControl(m_screen.get(), QStringLiteral("cmdReadFile"));
    QTRY_VERIFY(!m_screen->isBusy());
    QCOMPARE(m_fixture->takeMessageTexts(),
             readWarns ? ReadLines(dir.filePath(QStringLiteral("warnings.txt"))) : QStringList());

    // msf1 has its empty row under the header; the file stays listed.
    QStringList staged;
    for (int r = 0; r < grid("msf1")->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid("msf1")->columnCount(); ++c)
            cells << grid("msf1")->text(r, c);
        staged << cells.join(u'\t');
    }
    QCOMPARE(staged, ReadLines(dir.filePath(QStringLiteral("staged.txt"))));
    QCOMPARE(Control<QListWidget>(m_screen.get(), QStringLiteral("List1"))->count(), 1);

    Control<QLineEdit>(m_screen.get(), QStringLiteral("txtprefix"))
        ->setText(QString::fromUtf8(ReadFile(dir.filePath(QStringLiteral("prefix")))));
    ClickControl(m_screen.get(), QStringLiteral("cmdGenMessage"));
    QCOMPARE(Control<QTabWidget>(m_screen.get(), QStringLiteral("SSTab1"))->currentWidget(),
             grid("msfmessage"));
    QStringList fragments;
    for (int r = 0; r < grid("Mf")->rowCount(); ++r)
        fragments << column("Mf", 0)[r] + u'\t' + column("Mf", 1)[r] + u'\t' + column("Mf", 2)[r];
    QCOMPARE(fragments, ReadLines(dir.filePath(QStringLiteral("fragments.txt"))));
    QStringList messages;
    for (int r = 0; r < grid("msfmessage")->rowCount(); ++r)
        messages << column("msfmessage", 1)[r] + u'\t' + column("msfmessage", 2)[r];
    const QStringList expected = ReadLines(dir.filePath(QStringLiteral("messages.txt")));
    QCOMPARE(messages, expected);

    // Every press queues the grid again, under a batch number of its own.
    const qint64 before = m_fixture->session().CurrentBatchNo();
    ClickControl(m_screen.get(), QStringLiteral("cmdSendMessage"));
    ClickControl(m_screen.get(), QStringLiteral("cmdSendMessage"));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList(2, QStringLiteral("Message has been sent in Queue")));
    QSqlQuery rows = m_fixture->store().exec(
        QStringLiteral("SELECT AppID, BatchNo, MobileNo, Message FROM MessageQueue ORDER BY nid"));
    QStringList queued;
    while (rows.next())
        queued << QStringList{rows.value(0).toString(), QString::number(rows.value(1).toLongLong() - before),
                              rows.value(2).toString() + u'\t' + rows.value(3).toString()}
                      .join(u'|');
    QStringList twice;
    for (const int press : {1, 2}) {
        for (const QString& message : expected)
            twice << QStringLiteral("NP|%1|").arg(press) + message;
    }
    QCOMPARE(queued, twice);
    QCOMPARE(count(QStringLiteral("future")), 1);
}

void TestNetPositionScreen::menuOpensItAndConfigureShowsDlgfutconfig()
{
    mdimain main(m_fixture->session(), m_fixture->prompter(),
                 makeDeskScreens(m_fixture->session(), m_fixture->prompter()));
    main.show();
    Control<QAction>(&main, QStringLiteral("Mnu_NetPisstion"))->trigger();
    auto* screen = qobject_cast<frm_NetPosition*>(main.screen(QStringLiteral("frm_NetPosition")));
    QVERIFY(screen);

    // The F&O settings, owned by the main window and modal; the screen reads on as before.
    ClickControl(screen, QStringLiteral("cmdConfigure"));
    auto* dialog = main.findChild<QDialog*>(QStringLiteral("dlgfutconfig"));
    QVERIFY(dialog);
    QCOMPARE(dialog->parentWidget(), &main);
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    dialog->close();
    QTRY_VERIFY(!main.findChild<QDialog*>(QStringLiteral("dlgfutconfig")));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
    QCOMPARE(count(QStringLiteral("future")), 1);
}

QTEST_MAIN(TestNetPositionScreen)
#include "tst_netposition_screen.moc"
