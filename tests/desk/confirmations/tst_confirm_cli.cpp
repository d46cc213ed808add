#include "CashConfirmations.h"
#include "DeskSession.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Commands run without any display.
QProcessEnvironment withoutDisplay(QProcessEnvironment environment)
{
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    return environment;
}

Run execute(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
{
    QProcess process;
    process.setProcessEnvironment(withoutDisplay(environment));
    process.start(program, arguments);
    if (!process.waitForFinished(60000))
        qFatal("%s did not finish", qPrintable(program));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

QString sample(const char* name)
{
    return QDir(QStringLiteral(SAMPLES_DIR)).filePath(QLatin1String(name));
}

QStringList lines(const QString& text)
{
    return text.split(u'\n', Qt::SkipEmptyParts);
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

private:
    Run brisant(const QStringList& arguments)
    {
        return execute(QStringLiteral(BRISANT_EXE), arguments, m_env->processEnvironment());
    }
    std::unique_ptr<TestEnvironment> m_env;
};

void TestConfirmCli::init()
{
    m_env = std::make_unique<TestEnvironment>();
    const Run clients = execute(QStringLiteral(DEMO_CLIENTS_EXE),
                                {QStringLiteral("--store"), m_env->storeUrl(), sample("clients.csv")},
                                m_env->processEnvironment());
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
}

void TestConfirmCli::printsTheGridOfTheEngine()
{
    QFETCH(QString, kind);
    QFETCH(QString, file);
    QFETCH(QStringList, warnings);
    const Run run = brisant({"confirm", kind, "--prefix", " EOD 08-Dec ", file});
    QCOMPARE(lines(run.err), warnings);
    QCOMPARE(run.exitCode, 0);

    // The same files through the engine in this process, on a store of its own.
    const QString otherUrl = m_env->newStoreUrl();
    QCOMPARE(execute(QStringLiteral(DEMO_CLIENTS_EXE), {"--store", otherUrl, sample("clients.csv")},
                     m_env->processEnvironment())
                 .exitCode,
             0);
    StoreLocation location;
    QVERIFY(StoreLocation::parse(otherUrl, &location, nullptr));
    const std::unique_ptr<Store> store = Store::open(location);
    DeskSession session(*store);
    CashConfirmations engine(session, kind == "bse" ? CashExchange::Bse : CashExchange::Nse);
    engine.readFiles({file});
    QStringList expected;
    for (const QueueGridRow& row : engine.generate(QStringLiteral(" EOD 08-Dec ")))
        expected << row.mobileNo + u'\t' + row.message;
    QVERIFY(expected.size() > 36);
    QCOMPARE(lines(run.out), expected);
    const QString start = QString::fromLatin1(kind == "bse" ? "8085519739\tEOD 08-Dec AS100:"
                                                            : "8085519739\t EOD 08-Dec  AS100:");
    QVERIFY(expected.first().startsWith(start));

    // Nothing was queued without --send.
    const std::unique_ptr<Store> own = m_env->openStore();
    QSqlQuery queued = own->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue"));
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toInt(), 0);
}

void TestConfirmCli::escapesTheText()
{
    QFile trades(m_env->path(QStringLiteral("odd.txt")));
    QVERIFY(trades.open(QIODevice::WriteOnly));
    trades.write("T1|08/12/2026|09:15:01|500325|A\\B\tC\rD|B|10|245025|AS100|0412|2026231\n");
    trades.close();
    const Run run = brisant({"confirm", "bse", "--prefix", "Day\nEnd", trades.fileName()});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, QStringLiteral("8085519739\tDay\\nEnd AS100:A\\\\B\\tC\\rD Buy 10@2450.25\n"));

    // As the Prefix box does, the command takes no more than 60 characters of the prefix.
    const QString sixty = QString(58, u'P') + "\\Z";
    const Run cut = brisant({"confirm", "bse", "--prefix", sixty + "cut off", trades.fileName()});
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
    const Run once = brisant({"confirm", "bse", bse});
    const Run thrice = brisant({"confirm", "bse", bse, link, dotted});
    QCOMPARE(thrice.exitCode, 0);
    QCOMPARE(thrice.out, once.out);
    QCOMPARE(lines(thrice.err), (QStringList{"File already in the List : " + link,
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
        const Run sent = brisant({"confirm", kind, "--user", "ADMIN", "--send", "--prefix", "EOD", file});
        QCOMPARE(sent.exitCode, 0);
        QCOMPARE(lines(sent.err).last(), QStringLiteral("Message has been sent in Queue"));
        printed += int(lines(sent.out).size());
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
    QTest::newRow("kind not built") << QStringList{"confirm", "fno", bse} << 2
                                    << "the kinds available are bse, nse";
    QTest::newRow("unknown kind") << QStringList{"confirm", "lse", bse} << 2
                                  << "the kinds available are bse, nse";
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
    const Run run = brisant(arguments);
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
    QFile sampleFile(sample("bse_trades.txt"));
    QVERIFY(sampleFile.open(QIODevice::ReadOnly));
    QByteArray halves[2];
    for (const QByteArray& line : sampleFile.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split('|');
        if (fields.size() >= 11)
            halves[fields.at(8) < "L" ? 0 : 1] += line + '\n';
    }
    QStringList files;
    for (int half = 0; half < 2; ++half) {
        QFile file(m_env->path(QStringLiteral("desk%1.txt").arg(half)));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(halves[half].repeated(50));
        files << file.fileName();
    }

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

    QProcess desks[2];
    for (int half = 0; half < 2; ++half) {
        desks[half].setProcessEnvironment(withoutDisplay(m_env->processEnvironment()));
        desks[half].start(QStringLiteral(BRISANT_EXE),
                          {"confirm", "bse", "--send", "--prefix", "EOD", files.at(half)});
    }
    for (QProcess& desk : desks) {
        QVERIFY(desk.waitForFinished(60000));
        const QString err = QString::fromUtf8(desk.readAllStandardError());
        QCOMPARE(desk.exitCode(), 0);
        QVERIFY2(err.endsWith(QLatin1String("Message has been sent in Queue\n")), qPrintable(err));
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

QTEST_GUILESS_MAIN(TestConfirmCli)
#include "tst_confirm_cli.moc"
