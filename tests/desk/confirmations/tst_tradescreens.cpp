#include "ClientTable.h"
#include "DeskScreens.h"
#include "ScreenFixture.h"
#include "TextGrid.h"
#include "TradeScreen.h"
#include "mdimain.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QSqlQuery>
#include <QTabWidget>

namespace {

QString fixed(const QString& text, int width)
{
    return text.leftJustified(width, u' ', true);
}

// Three trades in the kind's own form: two of C001, one of C009 (not a client).
QByteArray tradeFile(const QString& kind)
{
    QStringList lines;
    if (kind == "fno") {
        // bnfconfigure F as delivered: script 2, month 3, strike 4, option 5, buy/sale 6, qty 7, rate 8,
        // code 9.
        lines = {"T1,NFO,NIFTY,28FEB2008,,,1,50,4500,C001,x",
                 "T2,NFO,NIFTY,28FEB2008,4500,CE,2,25,120.5,C001,x",
                 "T3,NFO,INFY,28FEB2008,,,1,10,100,C009,x"};
    } else if (kind == "orion-fno") {
        // Code and script at fixed places (characters 16 to 30 and 31 to 60); the rest at the F positions.
        const auto line = [](const char* code, const char* script, const char* rest) {
            return fixed(QStringLiteral("T"), 15) + fixed(QLatin1String(code), 15) +
                   fixed(QLatin1String(script), 30) + QLatin1String(rest);
        };
        lines = {line("C001", "NIFTY", ",x,x,28FEB2008,,,1,50,4500,x,x"),
                 line("C001", "NIFTY", ",x,x,28FEB2008,4500,CE,2,25,120.5,x,x"),
                 line("C009", "INFY", ",x,x,28FEB2008,,,1,10,100,x,x")};
    } else {
        // bnfOrion as delivered: code 0/15, instrument 15/30, then buy qty, buy rate, sale qty, sale rate
        // by 12.
        const auto line = [](const char* code, const char* script, const char* bq, const char* br,
                             const char* sq, const char* sr) {
            QString text = fixed(QLatin1String(code), 15) + fixed(QLatin1String(script), 30);
            for (const char* number : {bq, br, sq, sr})
                text += QString::fromLatin1(number).rightJustified(12);
            return text;
        };
        lines = {
            QStringLiteral("CLIENT         INSTRUMENT                    BUYQTY BUYRATE SALEQTY SALERATE"),
            line("C001", "RELIANCE", "10", "1,234.50", "5", "1240"),
            line("C009", "INFY", "2", "1500", "0", "0")};
    }
    return lines.join(u'\n').toUtf8() + '\n';
}

} // namespace

/// The futures-and-options and Orion-layout screens through their controls: what each kind shows,
/// keeps and queues, and how the main window reaches them.
class TestTradeScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void readGenerateAndSendTwice_data();
    void readGenerateAndSendTwice();
    void fileListClicks_data();
    void fileListClicks();
    void menuOpensTheKindOfTheConfiguredFileType_data();
    void menuOpensTheKindOfTheConfiguredFileType();

private:
    void open(const QString& command)
    {
        m_screen = std::make_unique<TradeScreen>(*TradeFileKind::byCommand(command), m_fixture->session(),
                                                 m_fixture->prompter());
        m_screen->show();
    }
    TextGrid* grid(const char* name) { return Control<TextGrid>(m_screen.get(), QLatin1String(name)); }
    QListWidget* files() { return Control<QListWidget>(m_screen.get(), QStringLiteral("List1")); }
    QList<QStringList> queued()
    {
        QSqlQuery query = m_fixture->store().exec(
            QStringLiteral("SELECT AppID, BatchNo, MobileNo, Message FROM MessageQueue ORDER BY nid"));
        QList<QStringList> result;
        while (query.next())
            result << QStringList{query.value(0).toString(), query.value(1).toString(),
                                  query.value(2).toString(), query.value(3).toString()};
        return result;
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<TradeScreen> m_screen;
};

void TestTradeScreens::init()
{
    m_fixture = std::make_unique<ScreenFixture>(QStringLiteral("desk1"));
    const ClientTable clients(m_fixture->store());
    clients.insert(
        {0, QStringLiteral("Ravi"), QStringLiteral("9811111111"), QStringLiteral("C001"), QString()});
    clients.insert(
        {0, QStringLiteral("Meena"), QStringLiteral("9822222222"), QStringLiteral("C002"), QString()});
}

void TestTradeScreens::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestTradeScreens::readGenerateAndSendTwice_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QStringList>("tabs");
    QTest::addColumn<bool>("listKept");
    QTest::addColumn<QString>("appId");
    QTest::addColumn<QString>("text");
    const QStringList fnoTabs{"Transaction Wise Data", "Messages"};
    const QStringList orionTabs{"Transaction Wise Data", "Message"};
    QTest::newRow("frmfutureparse") << "fno"
                                    << "F n O" << fnoTabs << true << "FUT"
                                    << "EOD C001: NIFTY FEB2 Buy 50@4500,NIFTY FEB2 4500 CE Sell 25@120.5,";
    QTest::newRow("frmfutureparse_ORIN") << "orion-fno"
                                         << "F n O (Orin)" << fnoTabs << true << "FUT"
                                         << "EOD C001: NIFTY FEB B 50@4500,NIFTY FEB 4500 CE S 25@120.5,";
    QTest::newRow("frmorinBSE") << "orion-bse"
                                << "BSE Trade File" << orionTabs << false << "BSE"
                                << "EOD C001:RELIANCE Buy 10@1234.50,RELIANCE Sell 5@1240.00";
    QTest::newRow("frmOrinNse") << "orion-nse"
                                << "Orin Nse Trade" << orionTabs << false << "NSE"
                                << "EOD C001:RELIANCE Buy 10@1234.50,RELIANCE Sell 5@1240.00";
}

void TestTradeScreens::readGenerateAndSendTwice()
{
    QFETCH(QString, command);
    QFETCH(QString, caption);
    QFETCH(QStringList, tabs);
    QFETCH(bool, listKept);
    QFETCH(QString, appId);
    QFETCH(QString, text);
    open(command);
    QCOMPARE(m_screen->objectName(), TradeFileKind::byCommand(command)->screen);
    QCOMPARE(m_screen->windowTitle(), caption);
    auto* tab = Control<QTabWidget>(m_screen.get(), QStringLiteral("SSTab1"));
    QStringList shownTabs;
    for (int i = 0; i < tab->count(); ++i)
        shownTabs << tab->tabText(i);
    QCOMPARE(shownTabs, tabs);
    QVERIFY(!m_screen->findChild<TextGrid*>(QStringLiteral("msf2")));

    m_screen->GetFiles({m_fixture->writeFile(QStringLiteral("trades.txt"), tradeFile(command))});
    ClickControl(m_screen.get(), QStringLiteral("cmdReadFile"));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
    QCOMPARE(files()->count(), listKept ? 1 : 0);
    QCOMPARE(grid("msf1")->rowCount(), 3);
    // The futures screens mark the codes the client master lacks.
    QStringList marks;
    for (int r = 0; r < grid("msf1")->rowCount(); ++r)
        marks << grid("msf1")->text(r, 0) + u'=' + grid("msf1")->text(r, 1).trimmed();
    marks.removeDuplicates();
    const QStringList expectedMarks = command.contains(QLatin1String("fno"))
                                          ? QStringList{"=C001", "Not Found=C009"}
                                          : QStringList{"=C001", "=C009"};
    QCOMPARE(marks, expectedMarks);

    Control<QLineEdit>(m_screen.get(), QStringLiteral("txtprefix"))->setText(QStringLiteral("EOD"));
    ClickControl(m_screen.get(), QStringLiteral("cmdGenMessage"));
    QCOMPARE(tab->currentWidget(), grid("msfmessage"));
    QCOMPARE(grid("msfmessage")->rowCount(), 1);
    QCOMPARE(grid("msfmessage")->text(0, 1), QStringLiteral("9811111111"));
    QCOMPARE(grid("msfmessage")->text(0, 2), text);

    // Every press queues the grid again, under a batch number of its own.
    const qint64 before = m_fixture->session().CurrentBatchNo();
    ClickControl(m_screen.get(), QStringLiteral("cmdSendMessage"));
    ClickControl(m_screen.get(), QStringLiteral("cmdSendMessage"));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList(2, QStringLiteral("Message has been sent in Queue")));
    const QList<QStringList> rows = queued();
    QCOMPARE(rows.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QCOMPARE(rows[i][0], appId);
        QCOMPARE(rows[i][1].toLongLong(), before + 1 + i);
        QCOMPARE(rows[i][3], text);
    }

    // A new read empties the grid: Send without Generate queues nothing from the trades read before.
    if (!listKept)
        m_screen->GetFiles({m_fixture->env().path(QStringLiteral("trades.txt"))});
    ClickControl(m_screen.get(), QStringLiteral("cmdReadFile"));
    QCOMPARE(grid("msfmessage")->rowCount(), 0);
    ClickControl(m_screen.get(), QStringLiteral("cmdSendMessage"));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList{QStringLiteral("Message has been sent in Queue")});
    QCOMPARE(queued().size(), 2);
}

void TestTradeScreens::fileListClicks_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<bool>("single");
    QTest::newRow("frmfutureparse") << "fno" << true;
    QTest::newRow("frmfutureparse_ORIN") << "orion-fno" << true;
    QTest::newRow("frmorinBSE") << "orion-bse" << false;
}

void TestTradeScreens::fileListClicks()
{
    QFETCH(QString, command);
    QFETCH(bool, single);
    open(command);
    m_screen->GetFiles({m_fixture->writeFile(QStringLiteral("a.txt"), "x\n"),
                        m_fixture->writeFile(QStringLiteral("b.txt"), "x\n")});
    QListWidget* list = files();
    const QPoint at = list->visualItemRect(list->item(0)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(list->count(), single ? 1 : 2);
    if (!single) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(list->count(), 1);
    }
    QVERIFY(list->item(0)->text().endsWith(QLatin1String("b.txt")));
}

void TestTradeScreens::menuOpensTheKindOfTheConfiguredFileType_data()
{
    QTest::addColumn<QString>("fileType");
    QTest::addColumn<QStringList>("screens");
    QTest::newRow("ODIN") << "ODIN" << QStringList{"frmBseParse", "frmnseparse", "frmfutureparse"};
    QTest::newRow("ORIN") << "ORIN" << QStringList{"frmorinBSE", "frmOrinNse", "frmfutureparse_ORIN"};
}

void TestTradeScreens::menuOpensTheKindOfTheConfiguredFileType()
{
    QFETCH(QString, fileType);
    QFETCH(QStringList, screens);
    m_fixture->session().setTradeFileType(fileType);
    mdimain main(m_fixture->session(), m_fixture->prompter(),
                 makeDeskScreens(m_fixture->session(), m_fixture->prompter()));
    main.show();
    const QStringList entries{"m_sms_bse", "m_sms_nse", "m_sms_fno"};
    for (int i = 0; i < entries.size(); ++i) {
        auto* entry = Control<QAction>(&main, entries[i]);
        QVERIFY(entry->isEnabled());
        entry->trigger();
        QWidget* screen = main.screen(screens[i]);
        QVERIFY2(screen, qPrintable(screens[i]));

        // Each screen's settings dialog belongs to the main window.
        const QString dialogName = TradeFileKind::byScreen(screens[i])->settingsDialog;
        ClickControl(screen, QStringLiteral("cmdConfigure"));
        auto* dialog = main.findChild<QDialog*>(dialogName);
        QVERIFY2(dialog, qPrintable(dialogName));
        QCOMPARE(dialog->parentWidget(), &main);
        dialog->close();
        QTRY_VERIFY(!main.findChild<QDialog*>(dialogName));
    }
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
}

QTEST_MAIN(TestTradeScreens)
#include "tst_tradescreens.moc"
