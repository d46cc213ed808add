#include "ClientTable.h"
#include "ColumnPositions.h"
#include "DeskScreens.h"
#include "ScreenFixture.h"
#include "TestFiles.h"
#include "TextGrid.h"
#include "TradeScreen.h"
#include "dlgFileBrowse.h"
#include "mdimain.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTabWidget>

namespace {

QString fixed(const QString& text, int width)
{
    return text.leftJustified(width, u' ', true);
}

QByteArray lines(const QStringList& lines)
{
    return lines.join(u'\n').toUtf8() + '\n';
}

/// What the desk shows of a kind, and a small file in the kind's own form with what reading, generating
/// (after the prefix " EOD ") and sending twice make of it. Every file has trades of C001 (Ravi,
/// 9811111111) and of C009, who is no client; the cash files also one of C002 (Meena, no mobile number).
struct Sample
{
    QString command;
    /// The menu entry, the trade-file type it opens the kind under, the screen, its caption and the
    /// settings dialog its Configure opens.
    struct
    {
        QString menuEntry, fileType, screen, caption, settingsDialog;
    } shown;
    /// Every tab as caption=grid; every grid but the messages' as grid=header|header|….
    QStringList tabs;
    QStringList headers;
    QByteArray trades;
    /// The rows of msf1 and, where there is one, of the summary msf2: cells joined by tabs.
    QStringList staged;
    QStringList summary = {};
    bool listKept = false;
    /// The message grid: mobile number and text joined by a tab.
    QStringList messages;
    QString appId;
    /// The batch numbers of the presses of Send that queue anything, counted from the one before.
    QList<int> batches = {1, 2};
    bool prefix = true;
    QString browse = QStringLiteral("...");
    QString sent = QStringLiteral("Message has been sent in Queue");
    /// The box after sending has the information icon and the screen's caption.
    bool sentInforms = false;
};

// Orion F&O: code and script at fixed places (characters 16 to 30 and 31 to 60); the rest at the F
// positions.
QString orionFnoLine(const char* code, const char* script, const char* rest)
{
    return fixed(QStringLiteral("T"), 15) + fixed(QLatin1String(code), 15) +
           fixed(QLatin1String(script), 30) + QLatin1String(rest);
}

// Orion cash, bnfOrion as delivered: code 0/15, instrument 15/30, then buy qty, buy rate, sale qty, sale
// rate by 12; a header line first.
QString orionCashLine(const char* code, const char* script, std::initializer_list<const char*> numbers)
{
    QString text = fixed(QLatin1String(code), 15) + fixed(QLatin1String(script), 30);
    for (const char* number : numbers)
        text += QString::fromLatin1(number).rightJustified(12);
    return text;
}

const QList<Sample>& samples()
{
    static const QList<Sample> samples = [] {
        const QStringList cashTabs{"Transaction Wise Data=msf1", "Summarized Data=msf2",
                                   "Message=msfmessage"};
        const QString cashStaged = QStringLiteral("msf1=|Client Code|Script Name|Rate|Qty|Buy / Sale");
        const QString cashSummary =
            QStringLiteral("msf2=|Client Code|Script Name|Amount|Buy / Sale|Count|Avg%1 Rate");
        const QStringList fnoTabs{"Transaction Wise Data=msf1", "Messages=msfmessage"};
        const QString fnoStaged =
            QStringLiteral("msf1=|Client Code|Script Name|Rate|Qty|Buy / Sale|Month|Option|Option Value");

        // BSE and NSE at the positions init() gives them: code 0, script 1, rate 4, qty 5, flag 6. BSE
        // counts rates in paise, and trims the prefix.
        Sample bse{.command = "bse",
                   .shown = {"m_sms_bse", "ODIN", "frmBseParse", "BSE Trade Parser", "dlgbseconfig"},
                   .tabs = cashTabs,
                   .headers = {cashStaged, cashSummary.arg(QStringLiteral("."))},
                   .trades =
                       lines({"C001|RELIANCE|x|x|123456|10|B|x|x|x|x", "C002|INFY|x|x|150000|2|B|x|x|x|x", "",
                              "C001|TCS|x|x|350000|5|S|x|x|x|x", "C009|WIPRO|x|x|40000|1|B|x|x|x|x"}),
                   .staged = {"\tC001\tRELIANCE\t1234.56\t10\tB", "\tC001\tTCS\t3500.00\t5\tS",
                              "\tC002\tINFY\t1500.00\t2\tB", "\tC009\tWIPRO\t400.00\t1\tB"},
                   .summary = {"\tC001\tRELIANCE\t12345.60\tB\t1\t1234.56\tRELIANCE Buy 10@1234.56",
                               "\tC001\tTCS\t17500.00\tS\t1\t3500.00\tTCS Sell 5@3500.00",
                               "\tC002\tINFY\t3000.00\tB\t1\t1500.00\tINFY Buy 2@1500.00",
                               "Not Found\tC009\tWIPRO\t400.00\tB\t1\t400.00\tWIPRO Buy 1@400.00"},
                   .messages = {"9811111111\tEOD C001:RELIANCE Buy 10@1234.56,TCS Sell 5@3500.00",
                                "\tEOD C002:INFY Buy 2@1500.00"},
                   .appId = "BSE"};
        Sample nse = bse;
        nse.command = "nse";
        nse.shown = {"m_sms_nse", "ODIN", "frmnseparse", "NSE Trade Parser", "dlgnseconfig"};
        nse.headers = QStringList{cashStaged, cashSummary.arg(QString())};
        nse.trades = lines({"C001,RELIANCE,x,x,1234.5,10,1,x,x,x,x", "C002,INFY,x,x,1500,2,1,x,x,x,x", "",
                            "C001,TCS,x,x,3500,5,2,x,x,x,x", "C009,WIPRO,x,x,400,1,1,x,x,x,x"});
        nse.staged[0] = "\tC001\tRELIANCE\t1234.50\t10\tB";
        nse.summary[0] = "\tC001\tRELIANCE\t12345.00\tB\t1\t1234.50\tRELIANCE Buy 10@1234.50";
        nse.messages = QStringList{"9811111111\t EOD  C001:RELIANCE Buy 10@1234.50,TCS Sell 5@3500.00",
                                   "\t EOD  C002:INFY Buy 2@1500.00"};
        nse.appId = "NSE";
        nse.batches = {0, 0}; // every press queues under the batch number taken last

        // bnfconfigure F as delivered: script 2, month 3, strike 4, option 5, buy/sale 6, qty 7, rate 8,
        // code 9.
        Sample fno{
            .command = "fno",
            .shown = {"m_sms_fno", "ODIN", "frmfutureparse", "F n O", "dlgfutconfig"},
            .tabs = fnoTabs,
            .headers = {fnoStaged},
            .trades = lines({"T1,NFO,NIFTY,28FEB2008,,,1,50,4500,C001,x",
                             "T2,NFO,NIFTY,28FEB2008,4500,CE,2,25,120.5,C001,x",
                             "T3,NFO,INFY,28FEB2008,,,1,10,100,C009,x"}),
            .staged = {"\tC001\tNIFTY\t4500.00\t50\tB\tFEB2\t\t",
                       "\tC001\tNIFTY\t120.50\t25\tS\tFEB2\tCE\t4500",
                       "Not Found\tC009\tINFY\t100.00\t10\tB\tFEB2\t\t"},
            .listKept = true,
            .messages = {"9811111111\t EOD  C001: NIFTY FEB2 Buy 50@4500,NIFTY FEB2 4500 CE Sell 25@120.5,"},
            .appId = "FUT"};
        Sample orionFno = fno;
        orionFno.command = "orion-fno";
        orionFno.shown = {"m_sms_fno", "ORIN", "frmfutureparse_ORIN", "F n O (Orin)", "dlgfutconfig"};
        orionFno.trades = lines({orionFnoLine("C001", "NIFTY", ",x,x,28FEB2008,,,1,50,4500,x,x"),
                                 orionFnoLine("C001", "NIFTY", ",x,x,28FEB2008,4500,CE,2,25,120.5,x,x"),
                                 orionFnoLine("C009", "INFY", ",x,x,28FEB2008,,,1,10,100,x,x")});
        for (QString& row : orionFno.staged)
            row.replace(QLatin1String("FEB2"), QLatin1String("FEB"));
        orionFno.messages =
            QStringList{"9811111111\t EOD  C001: NIFTY FEB B 50@4500,NIFTY FEB 4500 CE S 25@120.5,"};

        // Both legs of a line give a row; the codes the client master lacks are not marked.
        Sample orionBse{
            .command = "orion-bse",
            .shown = {"m_sms_bse", "ORIN", "frmorinBSE", "BSE Trade File", "dlgorinbse"},
            .tabs = {"Transaction Wise Data=msf1", "Message=msfmessage"},
            .headers = {cashStaged},
            .trades = lines({"CLIENT         INSTRUMENT                    BUYQTY BUYRATE SALEQTY SALERATE",
                             orionCashLine("C001", "RELIANCE", {"10", "1,234.50", "5", "1240"}),
                             orionCashLine("C009", "INFY", {"2", "1500", "0", "0"})}),
            .staged = {"\tC001           \tRELIANCE                      \t1234.50\t10\tB",
                       "\tC001           \tRELIANCE                      \t1240.00\t5\tS",
                       "\tC009           \tINFY                          \t1500.00\t2\tB"},
            .messages = {"9811111111\t EOD  C001:RELIANCE Buy 10@1234.50,RELIANCE Sell 5@1240.00"},
            .appId = "BSE"};
        Sample orionNse = orionBse;
        orionNse.command = "orion-nse";
        orionNse.shown = {"m_sms_nse", "ORIN", "frmOrinNse", "Orin Nse Trade", "dlgorinnse"};
        orionNse.appId = "NSE";

        // The delivered positions: C reads code 6, script 1, rate 5, qty 4, flag 3, month 2; D reads
        // code 2, script 3, month 4, flag 5, qty 6, rate 7. Both greet by name and queue under MCX; a
        // sent grid is emptied, so the second press queues nothing and confirms nothing.
        Sample mcx{
            .command = "mcx",
            .shown = {"m_sms_commodity", "ODIN", "frmCommodity", "Commodity Trade", "dlgMCXConfig"},
            .tabs = fnoTabs,
            .headers = {"msf1=|Client Code|Script Name|Rate|Qty|Buy / Sale|Month"},
            .trades = lines({"T1,GOLDM,05FEB2027,1,10,72150.5,C001,x,x,MCX,1",
                             "T2,ZINC,31DEC2026,2,5000,254,C001,x,x,MCX,1",
                             "T3,ZINC,31DEC2026,1,1000,250,C009,x,x,MCX,1"}),
            .staged = {"\tC001\tGOLDM\t72150.50\t10\tB\tFEB", "\tC001\tZINC\t254.00\t5000\tS\tDEC",
                       "\tC009\tZINC\t250.00\t1000\tB\tDEC"},
            .listKept = true,
            .messages =
                {"9811111111\tDear Ravi,  C001: GOLDM FEB Buy 10@72150.50, ZINC DEC Sell 5000@254.00, "},
            .appId = "MCX",
            .batches = {1},
            .prefix = false,
            .browse = "Open Files",
            .sent = "Messages Placed in Queue - Pls. Run Server to Dispatch Message",
            .sentInforms = true};
        Sample ncdex = mcx;
        ncdex.command = "ncdex";
        ncdex.shown = {"m_sms_ncdex", "ODIN", "frmNcdex", "NCDEX", "dlgncdexconfig"};
        ncdex.trades = lines({"T1|x|C001|GOLDM|05FEB2027|1|10|72150.5|x|x|NCDEX",
                              "T2|x|C001|ZINC|31DEC2026|2|5000|254|x|x|NCDEX",
                              "T3|x|C009|ZINC|31DEC2026|1|1000|250|x|x|NCDEX"});

        // A report in the Qty,Avg layout (the golden folders read both layouts whole); an empty row under
        // the header.
        const QString rule(150, u'-');
        Sample netpos{
            .command = "netpos",
            .shown = {"Mnu_NetPisstion", "ODIN", "frm_NetPosition", "Net Position", "dlgfutconfig"},
            .tabs = {"Transaction Wise Data=msf1", "Raw Data=Mf", "Message=msfmessage"},
            .headers =
                {"msf1=|Client Code|Script Name|Buy Price|Sale Price|Proffit/Loss|Exch|Buy Qty|Sale Qty",
                 "Mf=*|Code.|Message"},
            .trades =
                lines({"EXCHANGE       CLIENT         SCRIPT", rule,
                       "NSE            C001           FUTSTK RELIANCE 26DEC2026                   100.00   "
                       "2500.00         100.00            2510.00              0        1000.00",
                       "BSE            C009           SBIN FUT                                    750.00    "
                       "612.30           0.00               0.00            750     -459225.00",
                       rule, "TOTAL" + QString(131, u' ') + "NET"}),
            .staged =
                {"\t\t\t\t\t\t\t\t",
                 "\tC001\tFUTSTK RELIANCE 26DEC2026          "
                 "\t2500.00\t2510.00\t-1000.00\tNSE\t100.00\t100.00",
                 "\tC009\tSBIN FUT                           \t612.30\t0.00\t459225.00\tBSE\t750.00\t0.00"},
            .listKept = true,
            .messages =
                {"9811111111\tEOD C001 NSE  RELIANCE 26DEC2 BuyPrice=2500.00 SalePrice=2510.00 Profit=1000"},
            .appId = "NP"};

        // The kind initTestCase() describes: BSE's trades cut at semicolons, else at bars, at the
        // positions of its own row T: script 0, qty 1, code 2, rate 3, flag 4. Its entry opens it under
        // either trade-file type.
        Sample semicolon = bse;
        semicolon.command = "bse-semicolon";
        semicolon.shown = {"m_sms_bsesemi", "ORIN", "frmBseSemicolon", "BSE Semicolon Trades",
                           "dlgbsesemicolon"};
        semicolon.trades = lines({"RELIANCE;10;C001;123456;B;x;x;x;x;x;x", "INFY;2;C002;150000;B;x;x;x;x;x;x",
                                  "TCS|5|C001|350000|S|x|x|x|x|x|x", "WIPRO;1;C009;40000;B;x;x;x;x;x;x"});

        return QList<Sample>{bse, nse, fno, orionFno, orionBse, orionNse, mcx, ncdex, netpos, semicolon};
    }();
    return samples;
}

/// The sample of a kind; nullptr for a kind described since without one.
const Sample* sample(const QString& command)
{
    for (const Sample& sample : samples()) {
        if (sample.command == command)
            return &sample;
    }
    return nullptr;
}

/// The rows of a grid from the column on, cells joined by tabs.
QStringList rows(const TextGrid* grid, int from = 0)
{
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = from; c < grid->columnCount(); ++c)
            cells << grid->text(r, c);
        rows << cells.join(u'\t');
    }
    return rows;
}

} // namespace

/// The screen of every kind of trade file through its controls: what each kind shows and how the main
/// window reaches it, reading off the window's thread, generating and sending; then what only some kinds
/// do. A kind described by this test alone must work as the desk's own.
class TestTradeScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void eachKindFromItsMenuEntry_data() { everyKind(); }
    void eachKindFromItsMenuEntry();
    void eachKindReadsGeneratesAndSends_data() { everyKind(); }
    void eachKindReadsGeneratesAndSends();
    void storeFailureLeavesTheScreenUsable_data() { everyKind(true); }
    void storeFailureLeavesTheScreenUsable();
    void badLinesAreReported_data();
    void badLinesAreReported();
    void configureTakesEffectAtTheNextRead_data();
    void configureTakesEffectAtTheNextRead();
    void fileDialogHandsFilesOver();
    void fileListClicks_data();
    void fileListClicks();
    void commodityCopiesAndLeavesOutQueuedToday_data();
    void commodityCopiesAndLeavesOutQueuedToday();
    void netPositionGoldens_data();
    void netPositionGoldens();

private:
    /// A row per described kind, or per kind that stages what it reads in the store.
    static void everyKind(bool staging = false)
    {
        QTest::addColumn<QString>("command");
        for (const TradeFileKind& kind : TradeFileKind::all()) {
            if (!staging || !kind.stagingTable.isEmpty())
                QTest::newRow(qPrintable(kind.screen)) << kind.command;
        }
    }
    void open(const QString& command)
    {
        m_screen = std::make_unique<TradeScreen>(*TradeFileKind::byCommand(command), m_fixture->session(),
                                                 m_fixture->prompter());
        m_screen->show();
    }
    template <typename T = TextGrid>
    T* child(const QString& name)
    {
        return Control<T>(m_screen.get(), name);
    }
    void click(const QString& name) { ClickControl(m_screen.get(), name); }
    QListWidget* files() { return child<QListWidget>(QStringLiteral("List1")); }
    QString writeTrades(const QString& command, const QString& name = QStringLiteral("trades.txt"),
                        const QStringList& before = {})
    {
        QByteArray head;
        for (const QString& line : before)
            head += line.toUtf8() + '\n';
        return m_fixture->writeFile(name, head + sample(command)->trades);
    }
    /// Clicks Read File(s) and waits for the read to end and its outcome to be shown.
    bool read()
    {
        QSignalSpy finished(m_screen.get(), &TradeScreen::readFinished);
        click(QStringLiteral("cmdReadFile"));
        return finished.wait();
    }
    /// The queued messages as batch (counted from before)|application|mobile number and text.
    QStringList queued(qint64 before = 0)
    {
        QSqlQuery query = m_fixture->store().exec(
            QStringLiteral("SELECT BatchNo, AppID, MobileNo, Message FROM MessageQueue ORDER BY nid"));
        QStringList result;
        while (query.next())
            result << QStringLiteral("%1|%2|%3\t%4")
                          .arg(query.value(0).toLongLong() - before)
                          .arg(query.value(1).toString(), query.value(2).toString(),
                               query.value(3).toString());
        return result;
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<TradeScreen> m_screen;
};

void TestTradeScreens::initTestCase()
{
    // A kind the desk does not know, described by this test alone: BSE's, cut at other delimiters, at
    // the positions of a settings row of its own, with its own screen, dialog and menu entry.
    TradeFileKind kind = *TradeFileKind::byCommand(QStringLiteral("bse"));
    kind.command = QStringLiteral("bse-semicolon");
    kind.screen = QStringLiteral("frmBseSemicolon");
    kind.caption = QStringLiteral("BSE Semicolon Trades");
    kind.firstDelimiter = ';';
    kind.secondDelimiter = '|';
    kind.settingsRow = QStringLiteral("T");
    kind.settings.name = QStringLiteral("dlgbsesemicolon");
    kind.settings.caption = QStringLiteral("Bse Semicolon Configuration");
    kind.menuEntry = QStringLiteral("m_sms_bsesemi");
    kind.menuCaption = QStringLiteral("BSE (&Semicolon)");
    kind.fileType = TradeFileKind::FileType::Any;
    TradeFileKind::describe(kind);
}

void TestTradeScreens::init()
{
    m_fixture = std::make_unique<ScreenFixture>(QStringLiteral("desk1"));
    const ColumnPositions positions(m_fixture->store());
    QVERIFY(positions.write(QStringLiteral("B"), {0, 1, 4, 5, 6}));
    QVERIFY(positions.write(QStringLiteral("N"), {0, 1, 4, 5, 6}));
    m_fixture->store().exec(
        QStringLiteral("INSERT INTO bnfconfigure (cd, clientcode, script_name, rate, qty, bs_state, monthnm, "
                       "opttype, optval) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
        {QStringLiteral("T"), 2, 0, 3, 1, 4, 0, 0, 0});
    const ClientTable clients(m_fixture->store());
    clients.insert(
        {0, QStringLiteral("Ravi"), QStringLiteral("9811111111"), QStringLiteral("C001"), QString()});
    clients.insert({0, QStringLiteral("Meena"), QString(), QStringLiteral("C002"), QString()});
}

void TestTradeScreens::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestTradeScreens::eachKindFromItsMenuEntry()
{
    QFETCH(QString, command);
    const Sample* sampled = sample(command);
    QVERIFY2(sampled, qPrintable("no sample of " + command));
    const Sample& s = *sampled;
    m_fixture->session().setTradeFileType(s.shown.fileType);
    mdimain main(m_fixture->session(), m_fixture->prompter(),
                 makeDeskScreens(m_fixture->session(), m_fixture->prompter()));
    main.show();
    auto* entry = Control<QAction>(&main, s.shown.menuEntry);
    QVERIFY(entry->isEnabled());
    entry->trigger();
    auto* screen = qobject_cast<TradeScreen*>(main.screen(s.shown.screen));
    QVERIFY2(screen, qPrintable(s.shown.screen));
    QCOMPARE(screen->window(), &main);
    QCOMPARE(screen->windowTitle(), s.shown.caption);

    const QList<std::pair<const char*, QString>> buttons = {{"cmdbrow", s.browse},
                                                            {"cmdReadFile", "&Read File(s)"},
                                                            {"cmdGenMessage", "&Generate Message"},
                                                            {"cmdSendMessage", "&Send Message"},
                                                            {"cmdConfigure", "Configure"}};
    for (const auto& [name, caption] : buttons)
        QCOMPARE(Control<QPushButton>(screen, QLatin1String(name))->text(), caption);
    QStringList labels;
    for (QLabel* label : screen->findChildren<QLabel*>()) {
        if (label->buddy())
            labels << label->text() + "=" + label->buddy()->objectName();
    }
    labels.sort();
    QStringList expectedLabels{"File Name(s) :=List1"};
    if (s.prefix)
        expectedLabels << "Prefix :=txtprefix";
    QCOMPARE(labels, expectedLabels);
    auto* prefix = screen->findChild<QLineEdit*>(QStringLiteral("txtprefix"));
    QCOMPARE(prefix != nullptr, s.prefix);
    if (prefix) {
        QVERIFY(prefix->text().isEmpty());
        QCOMPARE(prefix->maxLength(), 60);
    }

    auto* tabs = Control<QTabWidget>(screen, QStringLiteral("SSTab1"));
    QStringList shownTabs;
    QStringList headers;
    for (int i = 0; i < tabs->count(); ++i) {
        auto* grid = qobject_cast<TextGrid*>(tabs->widget(i));
        QVERIFY(grid);
        shownTabs << tabs->tabText(i) + u'=' + grid->objectName();
        QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(grid->rowCount(), 0);
        QStringList captions;
        for (int c = 0; c < grid->columnCount(); ++c)
            captions << grid->headerText(c);
        headers << grid->objectName() + u'=' + captions.join(u'|');
    }
    QCOMPARE(shownTabs, s.tabs);
    QCOMPARE(headers.takeLast(), QStringLiteral("msfmessage=*|Mobile No.|Message"));
    QCOMPARE(headers, s.headers);
    // Blanks in a column's format give it its width.
    auto* msf1 = Control<TextGrid>(screen, QStringLiteral("msf1"));
    QVERIFY(msf1->columnWidth(2) > msf1->columnWidth(4));

    // The settings dialog belongs to the main window, not to the screen's frame.
    ClickControl(screen, QStringLiteral("cmdConfigure"));
    auto* dialog = main.findChild<QDialog*>(s.shown.settingsDialog);
    QVERIFY2(dialog, qPrintable(s.shown.settingsDialog));
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->parentWidget(), &main);
    QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
    dialog->close();
    QTRY_VERIFY(!main.findChild<QDialog*>(s.shown.settingsDialog));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
}

void TestTradeScreens::eachKindReadsGeneratesAndSends()
{
    QFETCH(QString, command);
    const Sample* sampled = sample(command);
    QVERIFY2(sampled, qPrintable("no sample of " + command));
    const Sample& s = *sampled;
    open(command);
    m_screen->GetFiles({writeTrades(command)});
    QSignalSpy finished(m_screen.get(), &TradeScreen::readFinished);
    click(QStringLiteral("cmdReadFile"));
    // The read runs off the window's thread: the window stays, its controls wait, and it will not close.
    QVERIFY(m_screen->isBusy());
    for (const char* name :
         {"List1", "cmdbrow", "cmdReadFile", "cmdGenMessage", "cmdSendMessage", "cmdConfigure"})
        QVERIFY2(!child<QWidget>(QLatin1String(name))->isEnabled(), name);
    QVERIFY(child<QProgressBar>(QStringLiteral("ProgressBar1"))->isVisible());
    QVERIFY(!m_screen->close());
    QVERIFY(finished.wait());
    QVERIFY(m_screen->isVisible());
    QVERIFY(child<QWidget>(QStringLiteral("cmdReadFile"))->isEnabled());
    QVERIFY(!child<QProgressBar>(QStringLiteral("ProgressBar1"))->isVisible());

    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
    QCOMPARE(files()->count(), s.listKept ? 1 : 0);
    QCOMPARE(rows(child(QStringLiteral("msf1"))), s.staged);
    if (!s.summary.isEmpty()) {
        auto* msf2 = child(QStringLiteral("msf2"));
        QCOMPARE(rows(msf2), s.summary);
        // The fragment each summary row gives the texts is shown, without a caption.
        for (int c = 7; c < msf2->columnCount(); ++c)
            QCOMPARE(msf2->headerText(c), QString());
    }

    if (s.prefix)
        child<QLineEdit>(QStringLiteral("txtprefix"))->setText(QStringLiteral(" EOD "));
    click(QStringLiteral("cmdGenMessage"));
    auto* msfmessage = child(QStringLiteral("msfmessage"));
    QCOMPARE(child<QTabWidget>(QStringLiteral("SSTab1"))->currentWidget(), msfmessage);
    QCOMPARE(rows(msfmessage, 1), s.messages);
    QCOMPARE(msfmessage->text(0, 0), QString());

    // A text without a mobile number is shown and never queued.
    const qint64 before = m_fixture->session().CurrentBatchNo();
    click(QStringLiteral("cmdSendMessage"));
    click(QStringLiteral("cmdSendMessage"));
    QStringList expected;
    for (const int batch : s.batches) {
        for (const QString& message : s.messages) {
            if (!message.startsWith(u'\t'))
                expected << QStringLiteral("%1|%2|").arg(batch).arg(s.appId) + message;
        }
    }
    QCOMPARE(queued(before), expected);
    QCOMPARE(m_fixture->messages().size(), s.batches.size());
    for (const PromptMessage& shown : std::as_const(m_fixture->messages())) {
        QCOMPARE(shown.text, s.sent);
        QCOMPARE(shown.title, s.sentInforms ? s.shown.caption : QString());
        QCOMPARE(shown.icon, s.sentInforms ? PromptMessage::Icon::Information : PromptMessage::Icon::None);
    }
    // The grid stays after sending, for the next press to queue again, unless sending emptied it.
    QCOMPARE(rows(msfmessage, 1), s.batches.size() == 2 ? s.messages : QStringList());
    m_fixture->messages().clear();

    // A new read empties the message grid (and, where the list was emptied, the staged trades): Send
    // then queues nothing of the trades read before.
    QVERIFY(read());
    QCOMPARE(msfmessage->rowCount(), 0);
    QCOMPARE(child(QStringLiteral("msf1"))->rowCount(), s.listKept ? s.staged.size() : 0);
    click(QStringLiteral("cmdSendMessage"));
    QCOMPARE(queued(before), expected);
    for (const QString& text : m_fixture->takeMessageTexts())
        QCOMPARE(text, s.sent);
}

void TestTradeScreens::storeFailureLeavesTheScreenUsable()
{
    QFETCH(QString, command);
    open(command);
    m_screen->GetFiles({writeTrades(command)});
    m_fixture->store().close();
    QVERIFY(read());
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(m_fixture->messages().first().icon, PromptMessage::Icon::Critical);
    QCOMPARE(m_fixture->messages().first().title, m_screen->windowTitle());
    QCOMPARE(files()->count(), 1); // nothing was read: the list stays for another try
    QVERIFY(child<QWidget>(QStringLiteral("cmdReadFile"))->isEnabled());
    QVERIFY(!child<QProgressBar>(QStringLiteral("ProgressBar1"))->isVisible());

    m_fixture->messages().clear();
    click(QStringLiteral("cmdGenMessage"));
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(m_fixture->messages().first().icon, PromptMessage::Icon::Critical);
    QVERIFY(m_screen->isVisible());
}

void TestTradeScreens::badLinesAreReported_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("badLine");
    QTest::addColumn<int>("copies");
    QTest::addColumn<int>("staged");
    QTest::addColumn<PromptMessage::Icon>("icon");
    // BSE: a header line is a conversion error that passes over the rest of its file only.
    QTest::newRow("BSE header") << "bse"
                                << "Code|Script|a|b|Rate|Qty|BS|x|x|x|x" << 1 << 4
                                << PromptMessage::Icon::None;
    // NSE: a flag that is not a number loses that line alone.
    QTest::newRow("NSE flag") << "nse"
                              << "C001,HDFC,x,x,10,1,X,x,x,x,x" << 1 << 8 << PromptMessage::Icon::Warning;
    // A binary file: a box of bounded size, its bytes shown escaped.
    QTest::newRow("NSE binary") << "nse"
                                << "C001,HDFC,x,x,10,1,\x01\x1b[2J\a,x,x,x,x" << 2000 << 8
                                << PromptMessage::Icon::Warning;
}

void TestTradeScreens::badLinesAreReported()
{
    QFETCH(QString, command);
    QFETCH(QString, badLine);
    QFETCH(int, copies);
    QFETCH(int, staged);
    QFETCH(PromptMessage::Icon, icon);
    open(command);
    m_screen->GetFiles({writeTrades(command, QStringLiteral("first.txt"), QStringList(copies, badLine)),
                        writeTrades(command, QStringLiteral("second.txt"))});
    QVERIFY(read());

    QCOMPARE(child(QStringLiteral("msf1"))->rowCount(), staged);
    QCOMPARE(files()->count(), 0);
    QCOMPARE(m_fixture->messages().size(), 1);
    const PromptMessage& shown = m_fixture->messages().first();
    QCOMPARE(shown.icon, icon);
    QCOMPARE(shown.title, command == "bse" ? QString() : m_screen->windowTitle());
    QVERIFY(!shown.text.isEmpty());
    if (command == "nse")
        QVERIFY2(shown.text.contains("first.txt"), qPrintable(shown.text));
    // The count and the first 20 lines; every line under the details.
    QVERIFY2(shown.text.count(u'\n') <= 21, qPrintable(shown.text));
    if (copies > 20) {
        QVERIFY2(shown.text.startsWith(QStringLiteral("These %1 lines could not be read").arg(copies)),
                 qPrintable(shown.text));
        QCOMPARE(shown.details.count(u'\n') + 1, copies);
    }
    for (const QString& text : {shown.text, shown.details})
        QVERIFY(std::none_of(text.begin(), text.end(), [](QChar c) { return c != u'\n' && !c.isPrint(); }));
}

void TestTradeScreens::configureTakesEffectAtTheNextRead_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("frmBseParse") << "bse";
    QTest::newRow("frmnseparse") << "nse";
}

void TestTradeScreens::configureTakesEffectAtTheNextRead()
{
    QFETCH(QString, command);
    open(command);
    click(QStringLiteral("cmdConfigure"));
    const QString name = TradeFileKind::byCommand(command)->settings.name;
    auto* dialog = m_screen->findChild<QDialog*>(name);
    QVERIFY(dialog);
    dialog->findChild<QLineEdit*>("txtcolno_0")->setText("1");
    dialog->findChild<QLineEdit*>("txtcolno_1")->setText("0");
    ClickControl(dialog, "OKButton");
    ClickControl(dialog, "CancelButton");
    QTRY_VERIFY(!m_screen->findChild<QDialog*>(name));

    m_screen->GetFiles({writeTrades(command)});
    QVERIFY(read());
    QCOMPARE(child(QStringLiteral("msf1"))->text(0, 1),
             QStringLiteral("INFY")); // the script names are the codes now
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestTradeScreens::fileDialogHandsFilesOver()
{
    open(QStringLiteral("bse"));
    const QString path = writeTrades(QStringLiteral("bse"), QStringLiteral("day.txt"));
    click(QStringLiteral("cmdbrow"));
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
    QVERIFY(read());
    QCOMPARE(child(QStringLiteral("msf1"))->rowCount(), 4);
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
    QVERIFY(read());
    QCOMPARE(child(QStringLiteral("msf1"))->rowCount(), 4);
    QCOMPARE(m_fixture->messages().size(), 2);
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

void TestTradeScreens::commodityCopiesAndLeavesOutQueuedToday_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("frmCommodity") << "mcx";
    QTest::newRow("frmNcdex") << "ncdex";
}

void TestTradeScreens::commodityCopiesAndLeavesOutQueuedToday()
{
    QFETCH(QString, command);
    open(command);
    m_screen->GetFiles({writeTrades(command)});
    QVERIFY(read());

    // Ctrl+C puts the current cell on the clipboard, in either grid.
    auto* msf1 = child(QStringLiteral("msf1"));
    msf1->setCurrentIndex(msf1->model()->index(1, 2));
    QTest::keyClick(msf1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("ZINC"));

    // A press with an empty grid takes a batch number and confirms nothing.
    click(QStringLiteral("cmdSendMessage"));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
    QCOMPARE(m_fixture->session().CurrentBatchNo(), 1);

    click(QStringLiteral("cmdGenMessage"));
    auto* msfmessage = child(QStringLiteral("msfmessage"));
    msfmessage->setCurrentIndex(msfmessage->model()->index(0, 1));
    QTest::keyClick(msfmessage, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("9811111111"));
    click(QStringLiteral("cmdSendMessage"));
    QCOMPARE(msfmessage->rowCount(), 0);
    QCOMPARE(queued(), QStringList{"2|MCX|" + sample(command)->messages.first()});

    // Generating again the same day finds the text queued already, and says so.
    m_fixture->messages().clear();
    click(QStringLiteral("cmdGenMessage"));
    QCOMPARE(msfmessage->rowCount(), 0);
    QCOMPARE(m_fixture->messages().size(), 1);
    const PromptMessage leftOut = m_fixture->messages().last();
    QCOMPARE(
        leftOut.text,
        QStringLiteral("1 message was left out: it was queued today already for the same mobile number."));
    QCOMPARE(leftOut.title, m_screen->windowTitle());
    QCOMPARE(leftOut.icon, PromptMessage::Icon::Information);
}

void TestTradeScreens::netPositionGoldens_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("layout");
    // Whether the read shows the folder's warnings in boxes, as it does the notice of a wrong layout.
    QTest::addColumn<bool>("readWarns");
    QTest::newRow("Qty,Avg") << "qty_avg_profit_loss_and_legs"
                             << "Option1" << false;
    QTest::newRow("Qty,Amt,Avg") << "qty_amt_avg_profit_loss_and_legs"
                                 << "Option2" << false;
    QTest::newRow("wrong layout") << "qty_amt_avg_wrong_layout"
                                  << "Option2" << true;
}

void TestTradeScreens::netPositionGoldens()
{
    QFETCH(QString, folder);
    QFETCH(QString, layout);
    QFETCH(bool, readWarns);
    const QDir dir(QStringLiteral(GOLDEN_DIR "/") + folder);
    m_fixture->store().exec(QStringLiteral("DELETE FROM ClientMaster"));
    StoreClients(m_fixture->store(), dir.filePath(QStringLiteral("clients.csv")));
    // Staged by the F&O screen of this desk; the net-position screen has no business with it, though its
    // Configure opens the F&O positions.
    m_fixture->store().exec(QStringLiteral(
        "INSERT INTO future (clid, scriptname, rate, qty, bsflag, fut_month, opttype, optval, lineseq) "
        "VALUES ('C001', 'NIFTY', 24500, 75, 'B', 'DEC', '', '', 1)"));
    open(QStringLiteral("netpos"));
    click(QStringLiteral("cmdConfigure"));
    auto* dialog = m_screen->findChild<QDialog*>(QStringLiteral("dlgfutconfig"));
    QVERIFY(dialog);
    dialog->close();
    QTRY_VERIFY(!m_screen->findChild<QDialog*>(QStringLiteral("dlgfutconfig")));

    // The layout is an option, Qty,Avg unless another is chosen.
    QVERIFY(child<QRadioButton>(QStringLiteral("Option1"))->isChecked());
    QCOMPARE(child<QRadioButton>(QStringLiteral("Option1"))->text(), QStringLiteral("Qty,Avg"));
    QCOMPARE(child<QRadioButton>(QStringLiteral("Option2"))->text(), QStringLiteral("Qty,Amt,Avg"));
    click(layout);
    m_screen->GetFiles({dir.filePath(QStringLiteral("trades.txt"))});
    QVERIFY(read());
    QCOMPARE(m_fixture->takeMessageTexts(),
             readWarns ? ReadLines(dir.filePath(QStringLiteral("warnings.txt"))) : QStringList());
    QCOMPARE(rows(child(QStringLiteral("msf1"))), ReadLines(dir.filePath(QStringLiteral("staged.txt"))));

    child<QLineEdit>(QStringLiteral("txtprefix"))
        ->setText(QString::fromUtf8(ReadFile(dir.filePath(QStringLiteral("prefix")))));
    click(QStringLiteral("cmdGenMessage"));
    QCOMPARE(rows(child(QStringLiteral("Mf"))), ReadLines(dir.filePath(QStringLiteral("fragments.txt"))));
    const QStringList messages = ReadLines(dir.filePath(QStringLiteral("messages.txt")));
    QCOMPARE(rows(child(QStringLiteral("msfmessage")), 1), messages);
    click(QStringLiteral("cmdSendMessage"));
    QStringList expected;
    for (const QString& message : messages)
        expected << QStringLiteral("1|NP|") + message;
    QCOMPARE(queued(), expected);
    QSqlQuery future = m_fixture->store().exec(QStringLiteral("SELECT COUNT(*) FROM future"));
    QVERIFY(future.next());
    QCOMPARE(future.value(0).toInt(), 1);
}

QTEST_MAIN(TestTradeScreens)
#include "tst_tradescreens.moc"
