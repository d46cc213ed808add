#include "CashConfirmations.h"
#include "CommandLine.h"
#include "ConfirmCommand.h"
#include "DeskSession.h"
#include "ProgramRun.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "TradeConfirmations.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTest>

namespace {

QString sample(const char* name)
{
    return QDir(QStringLiteral(SAMPLES_DIR)).filePath(QLatin1String(name));
}

} // namespace

/// `brisant confirm bse|nse`, run as the real executable on the sample files.
class TestConfirmCli : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void printsTheGridOfTheEngine_data();
    void printsTheGridOfTheEngine();
    void escapesTheText();
    void aFileNamedTwiceIsReadOnce();
    void sendQueuesWithTheBatchNumbers_data();
    void sendQueuesWithTheBatchNumbers();
    void refusals_data();
    void refusals();
    void twoDesksAtOnceQueueEachTheirOwnClients();
    void twoDesksSendingTheSameFileQueueEachTextOnce_data();
    void twoDesksSendingTheSameFileQueueEachTextOnce();
    void aKindDescribedHereIsConfirmedLikeAnother();

private:
    ProgramRun brisant(const QStringList& arguments)
    {
        return RunProgram(QStringLiteral(BRISANT_EXE), arguments, m_env->processEnvironment());
    }
    ProgramRun storeClients(const QString& storeUrl)
    {
        return RunProgram(QStringLiteral(DEMO_CLIENTS_EXE), {"--store", storeUrl, sample("clients.csv")},
                          m_env->processEnvironment());
    }
    std::unique_ptr<TestEnvironment> m_env;
};

void TestConfirmCli::init()
{
    m_env = std::make_unique<TestEnvironment>();
    const ProgramRun clients = storeClients(m_env->storeUrl());
    QCOMPARE(clients.err, QString());
    QCOMPARE(clients.out, QStringLiteral("36 clients stored\n"));
    QCOMPARE(clients.exitCode, 0);
}

void TestConfirmCli::cleanup()
{
    m_env.reset();
}

void TestConfirmCli::printsTheGridOfTheEngine_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("bse") << "bse" << sample("bse_trades.txt") << QStringList{"Not Found: ZX999"};
    QTest::newRow("nse") << "nse" << sample("nse_trades.txt") << QStringList{"Not Found: ZX999"};
    QTest::newRow("fno") << "fno" << sample("fno_trades.txt") << QStringList{"Not Found: XY901"};
    QTest::newRow("orion-bse") << "orion-bse" << sample("orion_bse_trades.txt")
                               << QStringList{"Not Found: ZX999"};
    QTest::newRow("orion-nse") << "orion-nse" << sample("orion_nse_trades.txt")
                               << QStringList{"Not Found: ZX999"};
    QTest::newRow("orion-fno") << "orion-fno" << sample("orion_fno_trades.txt")
                               << QStringList{"Not Found: XY901"};
    QTest::newRow("netpos") << "netpos" << sample("netpos_report.txt") << QStringList{"Not Found: ZX999"};
    const QString mcx = sample("mcx_trades.txt");
    QTest::newRow("mcx") << "mcx" << mcx
                         << QStringList{
                                mcx + ", line 153: the quantity \"45O0\" is not a whole number; the line "
                                      "was not staged.",
                                "Not Found: ZZ999"};
    const QString ncdex = sample("ncdex_trades.txt");
    QTest::newRow("ncdex") << "ncdex" << ncdex
                           << QStringList{ncdex +
                                              ", line 123: the rate \"6228.5.0\" is not a number; the line "
                                              "was not staged.",
                                          "Not Found: NX404"};
}

void TestConfirmCli::printsTheGridOfTheEngine()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(QStringList, warnings);
    const ProgramRun run = brisant({"confirm", kind, "--prefix", " EOD 08-Dec ", file});
    QCOMPARE(run.errLines(), warnings);
    QCOMPARE(run.exitCode, 0);

    // The same files through the engine in this process, on a store of its own.
    const QString otherUrl = m_env->newStoreUrl();
    QCOMPARE(storeClients(otherUrl).exitCode, 0);
    StoreLocation location;
    QVERIFY(StoreLocation::parse(otherUrl, &location, nullptr));
    const std::unique_ptr<Store> store = Store::open(location);
    DeskSession session(*store);
    const TradeFileKind& description = *TradeFileKind::byCommand(kind);
    const std::unique_ptr<TradeConfirmations> engine = TradeConfirmations::create(session, description);
    engine->readFiles({file});
    QStringList expected;
    for (const QueueGridRow& row : engine->generate(QStringLiteral(" EOD 08-Dec ")))
        expected << row.mobileNo + u'\t' + row.message;
    QVERIFY(expected.size() > 36);
    QCOMPARE(run.outLines(), expected);
    // BSE trims the prefix; the other kinds take it as typed; the commodity kinds greet instead.
    const QString start = QString::fromLatin1(!description.hasPrefix      ? "Dear "
                                              : description.prefixTrimmed ? "EOD 08-Dec "
                                                                          : " EOD 08-Dec  ");
    QVERIFY2(expected.first().section(u'\t', 1).startsWith(start), qPrintable(expected.first()));

    // Nothing was queued without --send.
    const std::unique_ptr<Store> own = m_env->openStore();
    QSqlQuery queued = own->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue"));
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toInt(), 0);
}

void TestConfirmCli::escapesTheText()
{
    const QString trades = m_env->writeFile(
        "odd.txt", "T1|08/12/2026|09:15:01|500325|A\\B\tC\rD|B|10|245025|AS100|0412|2026231\n");
    const ProgramRun run = brisant({"confirm", "bse", "--prefix", "Day\nEnd", trades});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("8085519739\tDay\\nEnd AS100:A\\\\B\\tC\\rD Buy 10@2450.25\n"));

    // As the Prefix box does, the command takes no more than 60 characters of the prefix.
    const QString sixty = QString(58, u'P') + "\\Z";
    const ProgramRun cut = brisant({"confirm", "bse", "--prefix", sixty + "cut off", trades});
    QCOMPARE(cut.exitCode, 0);
    QCOMPARE(cut.err, QStringLiteral(
                          "the prefix is cut to its first 60 characters, as the Prefix box takes no more\n"));
    QVERIFY(cut.out.startsWith("8085519739\t" + QString(58, u'P') + "\\\\Z AS100:A"));
}

void TestConfirmCli::aFileNamedTwiceIsReadOnce()
{
    const QString bse = sample("bse_trades.txt");
    const QString link = m_env->path(QStringLiteral("today.txt"));
    QVERIFY(QFile::link(bse, link));
    const QString dotted = QStringLiteral(SAMPLES_DIR "/../samples/bse_trades.txt");
    const ProgramRun once = brisant({"confirm", "bse", bse});
    const ProgramRun thrice = brisant({"confirm", "bse", bse, link, dotted});
    QCOMPARE(thrice.exitCode, 0);
    QCOMPARE(thrice.out, once.out);
    QCOMPARE(thrice.errLines(), (QStringList{"File already in the List : " + link,
                                             "File already in the List : " + dotted, "Not Found: ZX999"}));
}

void TestConfirmCli::sendQueuesWithTheBatchNumbers_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QList<int>>("batches");
    QTest::newRow("bse: a batch per run") << "bse" << sample("bse_trades.txt") << QList<int>{1, 2};
    QTest::newRow("nse: no batch taken") << "nse" << sample("nse_trades.txt") << QList<int>{0};
}

void TestConfirmCli::sendQueuesWithTheBatchNumbers()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(QList<int>, batches);
    int printed = 0;
    for (int run = 0; run < 2; ++run) {
        const ProgramRun sent =
            brisant({"confirm", kind, "--user", "ADMIN", "--send", "--prefix", "EOD", file});
        QCOMPARE(sent.exitCode, 0);
        QCOMPARE(sent.errLines().last(), QStringLiteral("Message has been sent in Queue"));
        printed += int(sent.outLines().size());
    }
    const std::unique_ptr<Store> store = m_env->openStore();
    QSqlQuery rows = store->exec(QStringLiteral(
        "SELECT BatchNo, COUNT(*), MIN(UserName), MIN(AppID), MIN(SuperUser) FROM MessageQueue "
        "GROUP BY BatchNo ORDER BY BatchNo"));
    QList<int> seen;
    int queued = 0;
    while (rows.next()) {
        seen << rows.value(0).toInt();
        queued += rows.value(1).toInt();
        QCOMPARE(rows.value(2).toString(), QStringLiteral("ADMIN"));
        QCOMPARE(rows.value(3).toString(), kind.toUpper());
        QCOMPARE(rows.value(4).toString(), QStringLiteral("BROKER"));
    }
    QCOMPARE(seen, batches);
    QCOMPARE(queued, printed);
}

void TestConfirmCli::refusals_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("reason");
    const QString bse = sample("bse_trades.txt");
    const QString available =
        "the kinds available are bse, nse, fno, orion-bse, orion-nse, orion-fno, mcx, ncdex, netpos";
    QTest::newRow("unknown kind") << QStringList{"confirm", "lse", bse} << 2 << available;
    QTest::newRow("no kind") << QStringList{"confirm"} << 2 << "confirm needs the kind of trade file";
    QTest::newRow("no file") << QStringList{"confirm", "bse"} << 2 << "needs at least one trade file";
    QTest::newRow("layout") << QStringList{"confirm", "bse", "--layout", "qty-avg", bse} << 2
                            << "--layout is for netpos only";
    QTest::newRow("unknown user") << QStringList{"confirm", "bse", "--user", "nobody", bse} << 1
                                  << "brisant: the desk user nobody is not in UserMaster";
    QTest::newRow("missing file")
        << QStringList{"confirm", "bse", bse, "/nonexistent/day.txt"} << 1
        << "brisant: the trade file /nonexistent/day.txt does not exist or cannot be read";
}

void TestConfirmCli::refusals()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, reason);
    // Each run stages in tables of its own that end with it: neither an earlier run nor a refused one
    // leaves trades in the shared table.
    QCOMPARE(brisant({"confirm", "bse", sample("bse_trades.txt")}).exitCode, 0);
    const ProgramRun run = brisant(arguments);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(reason), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    const std::unique_ptr<Store> store = m_env->openStore();
    QSqlQuery staged = store->exec(QStringLiteral("SELECT COUNT(*) FROM bsetrade"));
    QVERIFY(staged.next());
    QCOMPARE(staged.value(0).toInt(), 0);
}

void TestConfirmCli::twoDesksAtOnceQueueEachTheirOwnClients()
{
    // The sample's clients in two halves, codes A to K at one desk and the rest at the other; each file
    // long enough for the two reads to overlap.
    QByteArray halves[2];
    for (const QByteArray& line : ReadFile(sample("bse_trades.txt")).split('\n')) {
        const QList<QByteArray> fields = line.split('|');
        if (fields.size() >= 11)
            halves[fields.at(8) < "L" ? 0 : 1] += line + '\n';
    }
    QStringList files;
    for (int half = 0; half < 2; ++half)
        files << m_env->writeFile(QStringLiteral("desk%1.txt").arg(half), halves[half].repeated(50));

    // The texts of each file alone, from this process's own desk connection; it then keeps the whole
    // sample staged while the two desks read and send.
    const std::unique_ptr<Store> store = m_env->openStore();
    DeskSession session(*store);
    CashConfirmations openDesk(session, CashExchange::Bse);
    const auto texts = [&] {
        QStringList result;
        for (const QueueGridRow& row : openDesk.generate(QStringLiteral("EOD")))
            result << row.mobileNo + u'\t' + row.message;
        result.sort();
        return result;
    };
    QList<QStringList> expected;
    for (const QString& file : std::as_const(files)) {
        openDesk.readFiles({file});
        expected << texts();
        QVERIFY(!expected.last().isEmpty());
    }
    openDesk.readFiles({sample("bse_trades.txt")});
    const QStringList whole = texts();

    const QProcessEnvironment environment = m_env->processEnvironment();
    QList<std::function<ProgramRun()>> desks;
    for (const QString& file : std::as_const(files)) {
        desks << [environment, file] {
            return RunProgram(BRISANT_EXE, {"confirm", "bse", "--send", "--prefix", "EOD", file},
                              environment);
        };
    }
    for (const ProgramRun& desk : RunTogether(desks)) {
        QCOMPARE(desk.exitCode, 0);
        QVERIFY2(desk.err.endsWith(QLatin1String("Message has been sent in Queue\n")), qPrintable(desk.err));
    }

    // Each desk's batch holds exactly the texts of its own file, and the open desk still has its own.
    QMap<qint64, QStringList> batches;
    QSqlQuery queued = store->exec(QStringLiteral("SELECT BatchNo, MobileNo, Message FROM MessageQueue"));
    while (queued.next())
        batches[queued.value(0).toLongLong()]
            << queued.value(1).toString() + u'\t' + queued.value(2).toString();
    QList<QStringList> seen;
    for (QStringList& batch : batches) {
        batch.sort();
        seen << batch;
    }
    std::sort(seen.begin(), seen.end());
    std::sort(expected.begin(), expected.end());
    QCOMPARE(seen, expected);
    QCOMPARE(texts(), whole);
}

void TestConfirmCli::twoDesksSendingTheSameFileQueueEachTextOnce_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("file");
    QTest::newRow("mcx") << "mcx" << sample("mcx_trades.txt");
    QTest::newRow("ncdex") << "ncdex" << sample("ncdex_trades.txt");
}

void TestConfirmCli::twoDesksSendingTheSameFileQueueEachTextOnce()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    const std::unique_ptr<Store> store = m_env->openStore();
    const QProcessEnvironment environment = m_env->processEnvironment();
    const QList<std::function<ProgramRun()>> desks(2, [environment, kind, file] {
        return RunProgram(BRISANT_EXE, {"confirm", kind, "--send", file}, environment);
    });
    const QString confirmation = TradeFileKind::byCommand(kind)->sentConfirmation;
    for (int round = 0; round < 5; ++round) {
        store->exec(QStringLiteral("DELETE FROM MessageQueue"));
        qsizetype generated = 0;
        for (const ProgramRun& desk : RunTogether(desks)) {
            QCOMPARE(desk.exitCode, 0);
            // The desk that lost the race says what it left out, then confirms as the screen would.
            const QString last = desk.errLines().value(desk.errLines().size() - 1);
            QVERIFY2(last == confirmation || last.startsWith(QLatin1String("queued 0 messages")),
                     qPrintable(desk.err));
            generated = std::max(generated, desk.outLines().size());
        }
        QSqlQuery queued = store->exec(QStringLiteral(
            "SELECT COUNT(*), COUNT(DISTINCT lower(MobileNo || '|' || Message)) FROM MessageQueue"));
        QVERIFY(queued.next());
        QCOMPARE(queued.value(1).toInt(), queued.value(0).toInt());
        QCOMPARE(qsizetype(queued.value(0).toInt()), generated);
    }
}

void TestConfirmCli::aKindDescribedHereIsConfirmedLikeAnother()
{
    // A kind of the test's own, a variant of bse with other delimiters and positions, described in
    // the test alone: the command knows it by its name and reads it at its positions.
    TradeFileKind semicolon = *TradeFileKind::byCommand(QStringLiteral("bse"));
    semicolon.command = QStringLiteral("bse-semicolon");
    semicolon.screen = QStringLiteral("frmBseSemicolon");
    semicolon.firstDelimiter = ';';
    semicolon.secondDelimiter = '|';
    semicolon.settingsRow = QStringLiteral("T");
    semicolon.deliveredPositions = {1, 2, 3, 4, 5};
    semicolon.appId = QStringLiteral("BSE2");
    TradeFileKind::describe(semicolon);

    const std::unique_ptr<Store> store = m_env->openStore();
    const QString file =
        m_env->writeFile(QStringLiteral("semicolon.txt"), "x;AS100;TCS;330110;5;S;x;x;x;x;x\n"
                                                          "x;VS107;INFY|X;151000;7;B;x;x;x;x;x\n");
    QString outText;
    QString errText;
    QTextStream out(&outText);
    QTextStream err(&errText);
    CommandLine line(QStringLiteral("brisant"));
    line.addCommand(std::make_unique<ConfirmCommand>());
    const CommandLine::Parsed run = line.run(
        {"brisant", "--store", m_env->storeUrl(), "confirm", "bse-semicolon", "--send", file}, out, err);
    out.flush();
    err.flush();
    QCOMPARE(run.exitStatus, 0);
    QCOMPARE(errText, QStringLiteral("Message has been sent in Queue\n"));
    QCOMPARE(outText, QStringLiteral("8085519739\t AS100:TCS Sell 5@3301.10\n"
                                     "7979651083\t VS107:INFY|X Buy 7@1510.00\n"));
    QSqlQuery queued = store->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue WHERE AppID = ?"),
                                   {QStringLiteral("BSE2")});
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toInt(), 2);

    // The list of kinds that a wrong name is answered with names it too.
    line.run({"brisant", "--store", m_env->storeUrl(), "confirm", "nosuch", file}, out, err);
    err.flush();
    QVERIFY2(errText.contains(QStringLiteral("orion-fno, mcx, ncdex, netpos, bse-semicolon")),
             qPrintable(errText));
}

QTEST_GUILESS_MAIN(TestConfirmCli)
#include "tst_confirm_cli.moc"
