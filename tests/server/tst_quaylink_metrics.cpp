#include "ServerHarness.h"

#include <QJsonObject>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>
#include <QUrl>

#include <cmath>

namespace {

struct HttpReply
{
    int status = 0;
    QByteArray body;
};

/// One request on a connection of its own, read until the server closes it.
HttpReply request(quint16 port, const QByteArray& raw)
{
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), port);
    if (!socket.waitForConnected(10000))
        return {};
    socket.write(raw);
    QByteArray data;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(10000))
        data += socket.readAll();
    data += socket.readAll();
    HttpReply reply;
    reply.status = data.split(' ').value(1).toInt();
    reply.body = data.mid(data.indexOf("\r\n\r\n") + 4);
    return reply;
}

/// The samples of a scrape by name and labels, as written: quaylink_texts_total{status="Sent"}.
QMap<QString, double> scrape(quint16 port)
{
    const HttpReply reply = request(port, "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QMap<QString, double> samples;
    if (reply.status != 200)
        return samples;
    for (const QByteArray& line : reply.body.split('\n')) {
        const qsizetype space = line.lastIndexOf(' ');
        if (line.isEmpty() || line.startsWith('#') || space < 0)
            continue;
        const QByteArray value = line.mid(space + 1);
        samples.insert(QString::fromUtf8(line.left(space)),
                       value == "Nan" || value == "NaN" ? std::nan("") : value.toDouble());
    }
    return samples;
}

// Once start-up is done.
quint16 metricsPort(ServerProcess& server)
{
    if (!server.waitForLine(QStringLiteral("DatabaseLoad: Success")))
        return 0;
    return quint16(
        QUrl(server.lines().filter(QRegularExpression(QStringLiteral("^Metrics: "))).first().mid(9)).port());
}

int requestsTo(const LocalGateway& gateway, const QString& page)
{
    const QList<QJsonObject> requests = gateway.log(QStringLiteral("request"));
    return int(std::count_if(requests.begin(), requests.end(), [&](const QJsonObject& request) {
        return request.value(QLatin1String("page")).toString() == page;
    }));
}

} // namespace

/// `quaylink --metrics` scraped as Prometheus scrapes it, while the real server sends to the real
/// local gateway.
class TestQuaylinkMetrics : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void figuresMatchTheStore();
    void otherRequestsRefused_data();
    void otherRequestsRefused();
};

// Two passes, the first with an empty text and a number that cannot be sent, the second of texts that
// take several chunks; scraped between them and once both are done, with a client that never finishes
// its request holding a connection all along.
void TestQuaylinkMetrics::figuresMatchTheStore()
{
    TestEnvironment env;
    auto store = env.openStore();
    queue(*store, numbered(20));
    queue(*store, {{QStringLiteral("98123"), QStringLiteral("too short")},
                   {QStringLiteral("9812345673"), QString::fromLatin1("")}});
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env);
    ServerProcess server(
        env, unattendedArguments(gateway, {QStringLiteral("--metrics"), QStringLiteral("127.0.0.1:0")}));
    const quint16 port = metricsPort(server);
    QVERIFY2(port != 0, qPrintable(server.output()));
    QTcpSocket hostile;
    hostile.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(hostile.waitForConnected(10000));
    hostile.write("GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ");
    QVERIFY(hostile.waitForBytesWritten(10000));

    QVERIFY2(server.waitForLine(QStringLiteral("Successfully Sent: 20 ")), qPrintable(server.output()));
    QTRY_COMPARE_WITH_TIMEOUT(scrape(port).value(QStringLiteral("quaylink_texts_total{status=\"Sent\"}")),
                              20.0, 30000);
    queue(*store, incompressible(30));
    QVERIFY2(server.waitForLine(QStringLiteral("Successfully Sent: 30 ")), qPrintable(server.output()));
    const QMap<QString, int> rows{
        {QStringLiteral("Sent"), 50}, {QStringLiteral("Invalid"), 1}, {QStringLiteral("Discarded"), 1}};
    QTRY_COMPARE_WITH_TIMEOUT(statuses(*store), rows, 60000);
    // The gauges follow the queue at the next tick.
    QTRY_COMPARE_WITH_TIMEOUT(scrape(port).value(QStringLiteral("quaylink_queued"), -1), 0.0, 30000);
    const QMap<QString, double> after = scrape(port);
    const auto figure = [&after](const char* name) {
        return after.value(QString::fromLatin1(name), -1);
    };
    for (const QString& status : QStringList{"Sent", "DelSent", "Deleted", "Discarded", "Invalid"})
        QCOMPARE(after.value(QStringLiteral("quaylink_texts_total{status=\"%1\"}").arg(status), -1),
                 double(rows.value(status)));
    QCOMPARE(figure("quaylink_read"), 0.0);
    QCOMPARE(figure("quaylink_passes_total{outcome=\"Sent\"}"), 2.0);
    QCOMPARE(figure("quaylink_passes_total{outcome=\"Queued\"}"), 0.0);
    QCOMPARE(figure("quaylink_pass_duration_seconds_count"), 2.0);
    for (const auto& [page, file] :
         {std::pair("check", "QuaylinkChk.asp"), std::pair("login", "Logonchk.asp"),
          std::pair("chunk", "PostDataZSM.ASP"), std::pair("debit", "Debit.asp")})
        QCOMPARE(after.value(QStringLiteral("quaylink_gateway_request_duration_seconds_count{page=\"%1\"}")
                                 .arg(QLatin1String(page)),
                             -1),
                 double(requestsTo(gateway, QLatin1String(file))));
    QList<QJsonObject> logins = gateway.log(QStringLiteral("request"));
    logins.removeIf([](const QJsonObject& request) {
        return request.value(QLatin1String("page")).toString() != QLatin1String("Logonchk.asp");
    });
    QCOMPARE(
        figure("quaylink_gateway_balance"),
        logins.last().value(QLatin1String("reply")).toString().section(QStringLiteral("||"), 1).toDouble());
    QCOMPARE(figure("quaylink_connected{to=\"gateway\"}"), 1.0);
    QCOMPARE(figure("quaylink_connected{to=\"store\"}"), 1.0);
    QCOMPARE(figure("quaylink_holds_lock"), 1.0);
    QVERIFY(figure("quaylink_seconds_since_last_successful_pass") >= 0);

    // The slow client had its connection all along, and loses it to the time-out, not to a pass.
    QTRY_VERIFY_WITH_TIMEOUT(hostile.state() == QAbstractSocket::UnconnectedState, 30000);
    QCOMPARE(server.stop().exitCode, 0);
}

void TestQuaylinkMetrics::otherRequestsRefused_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<int>("status");
    QTest::newRow("GET /metrics") << QByteArray("GET /metrics HTTP/1.1\r\nHost: h\r\n\r\n") << 200;
    QTest::newRow("another page") << QByteArray("GET / HTTP/1.1\r\nHost: h\r\n\r\n") << 404;
    QTest::newRow("POST") << QByteArray("POST /metrics HTTP/1.1\r\nHost: h\r\nContent-Length: 0\r\n\r\n")
                          << 405;
    QTest::newRow("HEAD") << QByteArray("HEAD /metrics HTTP/1.1\r\nHost: h\r\n\r\n") << 405;
    QTest::newRow("oversized request")
        << QByteArray("GET /metrics HTTP/1.1\r\nHost: h\r\nX-Big: " + QByteArray(20000, 'x') + "\r\n\r\n")
        << 400;
}

void TestQuaylinkMetrics::otherRequestsRefused()
{
    QFETCH(QByteArray, request);
    QFETCH(int, status);
    TestEnvironment env;
    ServerProcess server(env,
                         {QStringLiteral("--headless"), QStringLiteral("--metrics"), QStringLiteral("0")});
    const quint16 port = metricsPort(server);
    QVERIFY2(port != 0, qPrintable(server.output()));
    const HttpReply reply = ::request(port, request);
    QCOMPARE(reply.status, status);
    if (status == 200)
        QVERIFY(reply.body.contains("# TYPE quaylink_texts_total counter"));
    const ServerRun run = server.stop();
    QVERIFY2(run.exitCode == 0, run.describe());
}

QTEST_GUILESS_MAIN(TestQuaylinkMetrics)
#include "tst_quaylink_metrics.moc"
