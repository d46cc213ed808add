#include "LocalGateway.h"
#include "ProgramRun.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QTest>

namespace {

// A line of the message grid as the command prints it: number, tab, text with \\ \t \r \n escaped.
std::pair<QString, QString> gridLine(const QString& line)
{
    const qsizetype tab = line.indexOf(u'\t');
    QString text;
    const QString escaped = line.mid(tab + 1);
    for (qsizetype i = 0; i < escaped.size(); ++i) {
        if (escaped.at(i) == u'\\' && i + 1 < escaped.size()) {
            const QChar next = escaped.at(++i);
            text += next == u't'   ? QChar(u'\t')
                    : next == u'r' ? QChar(u'\r')
                    : next == u'n' ? QChar(u'\n')
                                   : next;
        } else {
            text += escaped.at(i);
        }
    }
    return {line.left(tab), text};
}

} // namespace

/// The road of a day's messages: a BSE trade file confirmed and sent by the desk program, taken by
/// the dispatch server, and decoded by the gateway exactly as generated.
class TestRoad : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void tradeFileToSentMessages();
};

void TestRoad::tradeFileToSentMessages()
{
    TestEnvironment env;
    {
        auto store = env.openStore();
        const QList<QStringList> clients = {{"Asha Rao", "9811100001", "A001"},
                                            {"Vikram D'Souza", "919811100002", "B002"},
                                            {"Meera Iyer", "9811100003", "C003"}};
        for (const QStringList& client : clients)
            store->exec(QStringLiteral("INSERT INTO ClientMaster (cName, cMobile, cdpinid) VALUES (?, ?, ?)"),
                        {client[0], client[1], client[2]});
    }
    // trade no|date|time|scrip code|script name|B or S|quantity|rate in paise|client code|member|settlement,
    // under a title line, which has too few fields to be read as a trade.
    QStringList lines{"BSE trades of 08/12/2026"};
    const QStringList scripts{"RELIANCE", "TCS", "INFY",     "HDFCBANK", "SBIN",
                              "ITC",      "LT",  "AXISBANK", "WIPRO",    "MARUTI"};
    for (int i = 0; i < 60; ++i)
        lines << QStringLiteral("%1|08/12/2026|10:%2:00|5000%3|%4|%5|%6|%7|%8|M01|2026233")
                     .arg(1000 + i)
                     .arg(i % 60, 2, 10, QLatin1Char('0'))
                     .arg(i % 10)
                     .arg(scripts[i % 10], i % 3 ? QStringLiteral("B") : QStringLiteral("S"))
                     .arg(10 * (1 + i % 7))
                     .arg(245025 + 100 * i)
                     .arg(QStringList{"A001", "B002", "C003", "Z999"}[i % 4]);
    const QString tradeFile = env.writeFile(QStringLiteral("bse.txt"), lines.join(u'\n').toUtf8() + '\n');

    const ProgramRun confirm = RunProgram(QStringLiteral(BRISANT_EXE),
                                          {"confirm", "bse", "--prefix", "EOD 08/12", "--send", tradeFile},
                                          env.processEnvironment(), {}, 120000);
    QCOMPARE(confirm.exitCode, 0);
    QVERIFY2(confirm.err.trimmed().endsWith(QLatin1String("Message has been sent in Queue")),
             qPrintable(confirm.err));
    QVERIFY2(confirm.err.contains(QLatin1String("Z999")), qPrintable(confirm.err));
    QList<std::pair<QString, QString>> generated;
    for (const QString& line : confirm.outLines())
        generated << gridLine(line);
    QVERIFY(generated.size() >= 3); // three clients, some with more than one text

    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    const ProgramRun server =
        RunProgram(QStringLiteral(QUAYLINK_EXE),
                   {"--headless", "--connect", "--user", "demo", "--password", "demo", "--server", "9",
                    "--gateway", gateway.address(), "--exit-when-idle"},
                   env.processEnvironment(), {}, 120000);
    QCOMPARE(server.exitCode, 0);

    const QList<QJsonObject> decoded = gateway.log(QStringLiteral("message"));
    QCOMPARE(decoded.size(), generated.size());
    for (qsizetype i = 0; i < decoded.size(); ++i) {
        QCOMPARE(decoded[i].value(QLatin1String("number")).toString(), generated[i].first.right(10));
        QCOMPARE(decoded[i].value(QLatin1String("text")).toString(), generated[i].second);
    }
    auto store = env.openStore();
    QSqlQuery statuses =
        store->exec(QStringLiteral("SELECT Status, COUNT(*), MIN(AppID) FROM MessageQueue GROUP BY Status"));
    QVERIFY(statuses.next());
    QCOMPARE(statuses.value(0).toString(), QStringLiteral("Sent"));
    QCOMPARE(statuses.value(1).toInt(), int(generated.size()));
    QCOMPARE(statuses.value(2).toString(), QStringLiteral("BSE"));
    QVERIFY(!statuses.next());
}

QTEST_GUILESS_MAIN(TestRoad)
#include "tst_road.moc"
