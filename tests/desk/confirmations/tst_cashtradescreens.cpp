#include "ClientTable.h"
#include "ColumnPositions.h"
#include "DeskScreens.h"
#include "ScreenFixture.h"
#include "dlgFileBrowse.h"
#include "frmBseParse.h"
#include "frmnseparse.h"
#include "mdimain.h"

#include "TextGrid.h"
#include <QAction>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

/// The BSE and NSE cash-market screens driven through their controls: reading, the summary,
/// generating, sending, the settings dialog and the file-browse dialog.
class TestCashTradeScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void controlsAndCaptions_data() { exchanges(); }
    void controlsAndCaptions();
    void readShowsTradesAndSummary_data() { exchanges(); }
    void readShowsTradesAndSummary();
    void readKeepsTheWindowResponsive_data() { exchanges(); }
    void readKeepsTheWindowResponsive();
    void badLinesAreReported_data();
    void badLinesAreReported();
    void generateAndSendTwice_data() { exchanges(); }
    void generateAndSendTwice();
    void configureTakesEffectAtTheNextRead_data() { exchanges(); }
    void configureTakesEffectAtTheNextRead();
    void fileDialogHandsFilesOver_data() { exchanges(); }
    void fileDialogHandsFilesOver();
    void storeFailureLeavesTheScreenUsable_data() { exchanges(); }
    void storeFailureLeavesTheScreenUsable();
    void menuOpensTheScreensInsideTheMainWindow();

private:
    static void exchanges()
    {
        QTest::addColumn<bool>("bse");
        QTest::newRow("frmBseParse") << true;
        QTest::newRow("frmnseparse") << false;
    }
    void open(bool bse)
    {
        if (bse)
            m_screen = std::make_unique<frmBseParse>(m_fixture->session(), m_fixture->prompter());
        else
            m_screen = std::make_unique<frmnseparse>(m_fixture->session(), m_fixture->prompter());
        m_screen->show();
    }
    template <typename T>
    T* child(const QString& name)
    {
        return Control<T>(m_screen.get(), name);
    }
    QPushButton* button(const char* name) { return child<QPushButton>(QLatin1String(name)); }
    void click(const char* name) { ClickControl(m_screen.get(), QLatin1String(name)); }
    TextGrid* grid(const char* name) { return child<TextGrid>(QLatin1String(name)); }
    QListWidget* files() { return child<QListWidget>(QStringLiteral("List1")); }
    static QList<QStringList> rows(TextGrid* grid, int columns)
    {
        QList<QStringList> result;
        for (int r = 0; r < grid->rowCount(); ++r) {
            QStringList row;
            for (int c = 0; c < columns; ++c)
                row << grid->text(r, c);
            result << row;
        }
        return result;
    }
    static QStringList headers(TextGrid* grid)
    {
        QStringList result;
        for (int c = 0; c < grid->columnCount(); ++c)
            result << grid->headerText(c);
        return result;
    }
    /// Four trades in the exchange's own form: C001 twice, C002 once, C009 (not a client) once.
    QString tradeFile(bool bse, const QString& name, const QStringList& before = {})
    {
        const QStringList lines =
            bse ? QStringList{"C001|RELIANCE|x|x|123456|10|B|x|x|x|x", "C002|INFY|x|x|150000|2|B|x|x|x|x", "",
                              "C001|TCS|x|x|350000|5|S|x|x|x|x", "C009|WIPRO|x|x|40000|1|B|x|x|x|x"}
                : QStringList{"C001,RELIANCE,x,x,1234.5,10,1,x,x,x,x", "C002,INFY,x,x,1500,2,1,x,x,x,x", "",
                              "C001,TCS,x,x,3500,5,2,x,x,x,x", "C009,WIPRO,x,x,400,1,1,x,x,x,x"};
        return m_fixture->writeFile(name, (before + lines).join(u'\n').toUtf8() + "\n");
    }
    static QList<QStringList> expectedTrades(bool bse)
    {
        return {{"", "C001", "RELIANCE", bse ? "1234.56" : "1234.50", "10", "B"},
                {"", "C001", "TCS", "3500.00", "5", "S"},
                {"", "C002", "INFY", "1500.00", "2", "B"},
                {"", "C009", "WIPRO", "400.00", "1", "B"}};
    }
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
    std::unique_ptr<CashTradeScreen> m_screen;
};

void TestCashTradeScreens::init()
{
    m_fixture = std::make_unique<ScreenFixture>(QStringLiteral("desk1"));
    const ColumnPositions positions(m_fixture->store());
    QVERIFY(positions.write(QStringLiteral("B"), {0, 1, 4, 5, 6}));
    QVERIFY(positions.write(QStringLiteral("N"), {0, 1, 4, 5, 6}));
    const ClientTable clients(m_fixture->store());
    clients.insert(
        {0, QStringLiteral("Ravi"), QStringLiteral("9811111111"), QStringLiteral("C001"), QString()});
    clients.insert({0, QStringLiteral("Meena"), QString(), QStringLiteral("C002"), QString()});
}

void TestCashTradeScreens::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestCashTradeScreens::controlsAndCaptions()
{
    QFETCH(bool, bse);
    open(bse);
    QCOMPARE(m_screen->objectName(), bse ? QStringLiteral("frmBseParse") : QStringLiteral("frmnseparse"));
    QCOMPARE(m_screen->windowTitle(),
             bse ? QStringLiteral("BSE Trade Parser") : QStringLiteral("NSE Trade Parser"));
    const QList<std::pair<const char*, QString>> buttons = {{"cmdbrow", "..."},
                                                            {"cmdReadFile", "&Read File(s)"},
                                                            {"cmdGenMessage", "&Generate Message"},
                                                            {"cmdSendMessage", "&Send Message"},
                                                            {"cmdConfigure", "Configure"}};
    for (const auto& [name, caption] : buttons)
        QCOMPARE(button(name)->text(), caption);
    auto* prefix = child<QLineEdit>("txtprefix");
    QVERIFY(prefix->text().isEmpty());
    QCOMPARE(prefix->maxLength(), 60);
    QStringList labels;
    for (QLabel* label : m_screen->findChildren<QLabel*>()) {
        if (label->buddy())
            labels << label->text() + "=" + label->buddy()->objectName();
    }
    labels.sort();
    QCOMPARE(labels, (QStringList{"File Name(s) :=List1", "Prefix :=txtprefix"}));

    auto* tabs = child<QTabWidget>("SSTab1");
    QCOMPARE(tabs->count(), 3);
    const QStringList tabCaptions = {"Transaction Wise Data", "Summarized Data", "Message"};
    const char* grids[] = {"msf1", "msf2", "msfmessage"};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(tabs->tabText(i), tabCaptions[i]);
        QCOMPARE(tabs->widget(i), grid(grids[i]));
        QCOMPARE(grid(grids[i])->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid(grids[i])->rowCount(), 0);
    }
    QCOMPARE(headers(grid("msf1")),
             (QStringList{"", "Client Code", "Script Name", "Rate", "Qty", "Buy / Sale"}));
    QCOMPARE(headers(grid("msf2")),
             (QStringList{"", "Client Code", "Script Name", "Amount", "Buy / Sale", "Count",
                          bse ? QStringLiteral("Avg. Rate") : QStringLiteral("Avg Rate")}));
    QCOMPARE(headers(grid("msfmessage")), (QStringList{"*", "Mobile No.", "Message"}));
    // Blanks in a column's format give it its width.
    QVERIFY(grid("msf1")->columnWidth(2) > grid("msf1")->columnWidth(4));
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestCashTradeScreens::readShowsTradesAndSummary()
{
    QFETCH(bool, bse);
    open(bse);
    m_screen->GetFiles({tradeFile(bse, "day.txt")});
    QCOMPARE(files()->count(), 1);
    click("cmdReadFile");

    QCOMPARE(files()->count(), 0);
    QCOMPARE(rows(grid("msf1"), 6), expectedTrades(bse));
    QStringList marks;
    for (const QStringList& row : rows(grid("msf2"), 2))
        marks << row.join(u'=');
    marks.removeDuplicates();
    QCOMPARE(marks, (QStringList{"=C001", "=C002", "Not Found=C009"}));
    QVERIFY(m_fixture->messages().isEmpty());
    for (int c = 7; c < grid("msf2")->columnCount(); ++c)
        QCOMPARE(grid("msf2")->headerText(c), QString());

    // Reading again replaces what the last read staged.
    click("cmdReadFile");
    QCOMPARE(grid("msf1")->rowCount(), 0);
}

void TestCashTradeScreens::readKeepsTheWindowResponsive()
{
    QFETCH(bool, bse);
    open(bse);
    m_screen->GetFiles({tradeFile(bse, "day.txt")});
    bool ranDuringRead = false;
    QTimer::singleShot(0, m_screen.get(), [&] {
        ranDuringRead = true;
        QVERIFY(!button("cmdReadFile")->isEnabled());
        QVERIFY(!button("cmdSendMessage")->isEnabled());
        QVERIFY(!files()->isEnabled());
        QVERIFY(child<QProgressBar>("ProgressBar1")->isVisible());
        QVERIFY(!m_screen->close()); // the read still needs the screen
    });
    click("cmdReadFile");
    QVERIFY(ranDuringRead);
    QVERIFY(m_screen->isVisible());
    QVERIFY(button("cmdReadFile")->isEnabled());
    QVERIFY(!child<QProgressBar>("ProgressBar1")->isVisible());
    QCOMPARE(grid("msf1")->rowCount(), 4);
}

void TestCashTradeScreens::badLinesAreReported_data()
{
    QTest::addColumn<bool>("bse");
    QTest::addColumn<QString>("badLine");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("staged");
    QTest::addColumn<PromptMessage::Icon>("icon");
    // BSE: a header line is a conversion error that passes over the rest of its file only.
    QTest::newRow("BSE header") << true << "Code|Script|a|b|Rate|Qty|BS|x|x|x|x" << 1 << 4
                                << PromptMessage::Icon::None;
    // NSE: a flag that is not a number loses that line alone.
    QTest::newRow("NSE flag") << false << "C001,HDFC,x,x,10,1,X,x,x,x,x" << 1 << 8
                              << PromptMessage::Icon::Warning;
    // A binary file: a box of bounded size, its bytes shown escaped.
    QTest::newRow("NSE binary") << false << "C001,HDFC,x,x,10,1,\x01\x1b[2J\a,x,x,x,x" << 2000 << 8
                                << PromptMessage::Icon::Warning;
}

void TestCashTradeScreens::badLinesAreReported()
{
    QFETCH(bool, bse);
    QFETCH(QString, badLine);
    QFETCH(int, copies);
    QFETCH(int, staged);
    QFETCH(PromptMessage::Icon, icon);
    open(bse);
    m_screen->GetFiles(
        {tradeFile(bse, "first.txt", QStringList(copies, badLine)), tradeFile(bse, "second.txt")});
    click("cmdReadFile");

    QCOMPARE(grid("msf1")->rowCount(), staged);
    QCOMPARE(files()->count(), 0);
    QCOMPARE(m_fixture->messages().size(), 1);
    const PromptMessage& shown = m_fixture->messages().first();
    QCOMPARE(shown.icon, icon);
    QCOMPARE(shown.title, bse ? QString() : m_screen->windowTitle());
    QVERIFY(!shown.text.isEmpty());
    if (!bse)
        QVERIFY2(shown.text.contains("first.txt"), qPrintable(shown.text));
    // The count and the first 20 lines; every line under the details.
    QVERIFY2(shown.text.count(u'\n') <= 21, qPrintable(shown.text));
    if (copies > 20) {
        QVERIFY2(shown.text.startsWith(QStringLiteral("These %1 lines could not be read").arg(copies)),
                 qPrintable(shown.text));
        QCOMPARE(shown.details.count(u'\n') + 1, copies);
    }
    for (const QString& text : {shown.text, shown.details}) {
        QVERIFY(std::none_of(text.begin(), text.end(), [](QChar c) { return c != u'\n' && !c.isPrint(); }));
    }
}

void TestCashTradeScreens::generateAndSendTwice()
{
    QFETCH(bool, bse);
    open(bse);
    m_screen->GetFiles({tradeFile(bse, "day.txt")});
    click("cmdReadFile");
    child<QLineEdit>("txtprefix")->setText(" Trades ");
    click("cmdGenMessage");

    const QString head = bse ? QStringLiteral("Trades ") : QStringLiteral(" Trades  ");
    const QList<QStringList> messages = rows(grid("msfmessage"), 3);
    QCOMPARE(messages.size(), 2);
    QCOMPARE(messages[0].mid(0, 2), (QStringList{"", "9811111111"}));
    QVERIFY2(messages[0][2].startsWith(head + "C001:"), qPrintable(messages[0][2]));
    QVERIFY2(messages[1][2].startsWith(head + "C002:"), qPrintable(messages[1][2]));
    QCOMPARE(messages[1][1], QString()); // no mobile number: shown, never queued

    const qint32 batchBefore = m_fixture->session().CurrentBatchNo();
    click("cmdSendMessage");
    const qint32 firstBatch = m_fixture->session().CurrentBatchNo();
    click("cmdSendMessage");
    QCOMPARE(rows(grid("msfmessage"), 3), messages);

    const QString appId = bse ? QStringLiteral("BSE") : QStringLiteral("NSE");
    const QList<QStringList> inQueue = queued();
    QCOMPARE(inQueue.size(), 2);
    for (const QStringList& row : inQueue)
        QCOMPARE(row.mid(2), messages[0].mid(1));
    QCOMPARE(inQueue[0][0], appId);
    QCOMPARE(inQueue[1][0], appId);
    if (bse) {
        QVERIFY(firstBatch != batchBefore);
        QCOMPARE(inQueue[0][1], QString::number(firstBatch));
        QCOMPARE(inQueue[1][1], QString::number(m_fixture->session().CurrentBatchNo()));
        QVERIFY(inQueue[0][1] != inQueue[1][1]);
    } else {
        QCOMPARE(inQueue[0][1], QString::number(batchBefore));
        QCOMPARE(inQueue[1][1], QString::number(batchBefore));
    }
    QCOMPARE(m_fixture->messages().size(), 2);
    for (const PromptMessage& shown : std::as_const(m_fixture->messages())) {
        QCOMPARE(shown.text, QStringLiteral("Message has been sent in Queue"));
        QCOMPARE(shown.title, QString());
        QCOMPARE(shown.icon, PromptMessage::Icon::None);
    }
}

void TestCashTradeScreens::configureTakesEffectAtTheNextRead()
{
    QFETCH(bool, bse);
    open(bse);
    click("cmdConfigure");
    const QString name = bse ? QStringLiteral("dlgbseconfig") : QStringLiteral("dlgnseconfig");
    auto* dialog = m_screen->findChild<QDialog*>(name);
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    dialog->findChild<QLineEdit*>("txtcolno_0")->setText("1");
    dialog->findChild<QLineEdit*>("txtcolno_1")->setText("0");
    ClickControl(dialog, "OKButton");
    ClickControl(dialog, "CancelButton");
    QTRY_VERIFY(!m_screen->findChild<QDialog*>(name));

    m_screen->GetFiles({tradeFile(bse, "day.txt")});
    click("cmdReadFile");
    QCOMPARE(grid("msf1")->text(0, 1), QStringLiteral("INFY")); // the script names are the codes now
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestCashTradeScreens::fileDialogHandsFilesOver()
{
    QFETCH(bool, bse);
    open(bse);
    const QString path = tradeFile(bse, "day.txt");
    click("cmdbrow");
    auto* dialog = m_screen->findChild<dlgFileBrowse*>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    dialog->setCurrentFolder(m_fixture->env().path(QString()));
    auto* picked = dialog->findChild<QListWidget*>("File1");
    const auto found = picked->findItems("day.txt", Qt::MatchExactly);
    QCOMPARE(found.size(), 1);
    DoubleClickItem(picked, found.first());
    auto* ok = dialog->findChild<QPushButton*>("OKButton");
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(m_fixture->messages().isEmpty());
    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(files()->count(), 1);
    QCOMPARE(files()->item(0)->text(), path);
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(m_fixture->messages()[0].text, "File already in the List : " + path);
    QCOMPARE(m_fixture->messages()[0].title, m_screen->windowTitle());
    QCOMPARE(m_fixture->messages()[0].icon, PromptMessage::Icon::Information);
    ClickControl(dialog, "CancelButton");
    QTRY_VERIFY(!m_screen->findChild<dlgFileBrowse*>());

    // Listed once, read once, however the same file is named again.
    click("cmdReadFile");
    QCOMPARE(grid("msf1")->rowCount(), 4);
    const QString link = m_fixture->env().path("link.txt");
    QVERIFY(QFile::link(path, link));
    m_screen->GetFiles({path, link, m_fixture->env().path("app/../day.txt")});
    QCOMPARE(files()->count(), 1);
    QCOMPARE(m_fixture->messages().last().text.count(u'\n'), 1);
    // A double click takes a file off the list, and it may be listed again.
    DoubleClickItem(files(), files()->item(0));
    QCOMPARE(files()->count(), 0);
    m_screen->GetFiles({link});
    QCOMPARE(files()->count(), 1);
    click("cmdReadFile");
    QCOMPARE(grid("msf1")->rowCount(), 4);
    QCOMPARE(m_fixture->messages().size(), 2);
}

void TestCashTradeScreens::storeFailureLeavesTheScreenUsable()
{
    QFETCH(bool, bse);
    open(bse);
    m_screen->GetFiles({tradeFile(bse, "day.txt")});
    m_fixture->store().close();
    click("cmdReadFile");
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(m_fixture->messages().first().icon, PromptMessage::Icon::Critical);
    QCOMPARE(m_fixture->messages().first().title, m_screen->windowTitle());
    QCOMPARE(files()->count(), 1); // nothing was read: the list stays for another try
    QVERIFY(button("cmdReadFile")->isEnabled());
    QVERIFY(!child<QProgressBar>("ProgressBar1")->isVisible());

    m_fixture->messages().clear();
    click("cmdGenMessage");
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(m_fixture->messages().first().icon, PromptMessage::Icon::Critical);
    QVERIFY(m_screen->isVisible());
}

void TestCashTradeScreens::menuOpensTheScreensInsideTheMainWindow()
{
    m_fixture->session().setTradeFileType(QStringLiteral("ODIN"));
    mdimain main(m_fixture->session(), m_fixture->prompter(),
                 makeDeskScreens(m_fixture->session(), m_fixture->prompter()));
    main.show();
    for (const auto& [entry, screenName] :
         {std::pair{"m_sms_bse", "frmBseParse"}, {"m_sms_nse", "frmnseparse"}}) {
        main.findChild<QAction*>(QLatin1String(entry))->trigger();
        QWidget* screen = main.screen(QLatin1String(screenName));
        QVERIFY(screen);
        QCOMPARE(screen->window(), &main);
    }

    // The settings dialog belongs to the main window, not to the screen's frame.
    QWidget* nse = main.screen(QStringLiteral("frmnseparse"));
    ClickControl(nse, "cmdConfigure");
    auto* dialog = main.findChild<QDialog*>(QStringLiteral("dlgnseconfig"));
    QVERIFY(dialog);
    QCOMPARE(dialog->parentWidget(), &main);
    ClickControl(dialog, "CancelButton");
    QTRY_VERIFY(!main.findChild<QDialog*>(QStringLiteral("dlgnseconfig")));
    QVERIFY(m_fixture->messages().isEmpty());
}

QTEST_MAIN(TestCashTradeScreens)
#include "tst_cashtradescreens.moc"
