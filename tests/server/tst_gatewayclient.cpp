#include "GatewayClient.h"
#include "ManualClock.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>

#include <optional>

namespace {

/// A gateway on loopback that the test answers by hand: it collects what arrives and replies when told.
class HandGateway : public QObject
{
public:
    HandGateway()
    {
        m_server.listen(QHostAddress::LocalHost);
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            m_socket = m_server.nextPendingConnection();
            connect(m_socket, &QTcpSocket::readyRead, this, [this] { received += m_socket->readAll(); });
        });
    }
    QByteArray url(const char* page) const
    {
        return "http://127.0.0.1:" + QByteArray::number(m_server.serverPort()) + "/Quaylink/" + page;
    }
    void send(const QByteArray& bytes) { m_socket->write(bytes); }
    int requests() const { return int(received.count("HTTP/1.1\r\n")); }

    QByteArray received;

private:
    QTcpServer m_server;
    QTcpSocket* m_socket = nullptr;
};

} // namespace

/// Reading the gateway's replies: delimited by length, in chunks, or by the end of the connection.
class TestGatewayClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseResponse_data();
    void parseResponse();
    void unreachableGatewayIsATransportFailure();
    void replyInPiecesIsReadWhole();
    void silenceIsATimeOutAndNothingIsSentAgain();
    void requestsNeverOverlap();
};

void TestGatewayClient::parseResponse_data()
{
    QTest::addColumn<QByteArray>("raw");
    QTest::addColumn<bool>("closed");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("keepAlive");
    QTest::newRow("length") << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 4\r\n\r\ndone") << false << true
                            << QByteArray("done") << true;
    QTest::newRow("length, body still coming")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 8\r\n\r\ncomp") << false << false << QByteArray()
        << false;
    QTest::newRow("server closes after")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 7\r\nConnection: close\r\n\r\nSuccess") << false
        << true << QByteArray("Success") << false;
    QTest::newRow("chunked") << QByteArray("HTTP/1.1 200 OK\r\nTransfer-Encoding: "
                                           "chunked\r\n\r\n6\r\nServer\r\na\r\n Connected\r\n0\r\n\r\n")
                             << false << true << QByteArray("Server Connected") << true;
    QTest::newRow("to the end of the connection") << QByteArray("HTTP/1.0 200 OK\r\n\r\nlogonyes||12") << true
                                                  << true << QByteArray("logonyes||12") << false;
    QTest::newRow("cut off before the end")
        << QByteArray("HTTP/1.0 200 OK\r\n\r\nlogonyes||12") << false << false << QByteArray() << false;
    QTest::newRow("error page is a reply")
        << QByteArray("HTTP/1.1 500 Error\r\nContent-Length: 5\r\n\r\noops!") << false << true
        << QByteArray("oops!") << true;
    QTest::newRow("headers incomplete")
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Le") << true << false << QByteArray() << false;
}

void TestGatewayClient::parseResponse()
{
    QFETCH(QByteArray, raw);
    QFETCH(bool, closed);
    QFETCH(bool, complete);
    QFETCH(QByteArray, body);
    QFETCH(bool, keepAlive);
    GatewayClient::Reply reply;
    QCOMPARE(GatewayClient::parseResponse(raw, closed, &reply), complete);
    if (complete) {
        QCOMPARE(reply.body, body);
        QCOMPARE(reply.keepAlive, keepAlive);
    }
}

void TestGatewayClient::unreachableGatewayIsATransportFailure()
{
    ManualClock clock;
    GatewayClient client(clock);
    std::optional<GatewayClient::Reply> reply;
    client.get("http://127.0.0.1:1/Quaylink/QuaylinkChk.asp",
               [&](const GatewayClient::Reply& r) { reply = r; });
    QTRY_VERIFY(reply);
    QVERIFY(!reply->delivered);
    QVERIFY(!reply->error.isEmpty());
    QVERIFY(reply->body.isEmpty());

    // Answered on the event loop, never from inside the call.
    reply.reset();
    client.get("ftp://127.0.0.1/x", [&](const GatewayClient::Reply& r) { reply = r; });
    QVERIFY(!reply);
    QTRY_VERIFY(reply);
    QVERIFY(!reply->delivered);
}

void TestGatewayClient::replyInPiecesIsReadWhole()
{
    ManualClock clock;
    HandGateway gateway;
    GatewayClient client(clock);
    std::optional<GatewayClient::Reply> reply;
    client.get(gateway.url("QuaylinkChk.asp"), [&](const GatewayClient::Reply& r) { reply = r; });
    QTRY_COMPARE(gateway.requests(), 1);
    gateway.send("HTTP/1.1 200 OK\r\nContent-Length: 16\r\n\r\nServer");
    QTRY_COMPARE(gateway.requests(), 1);
    QVERIFY(!reply);
    gateway.send(" Connected");
    QTRY_VERIFY(reply);
    QVERIFY(reply->delivered);
    QCOMPARE(reply->body, QByteArray("Server Connected"));
}

void TestGatewayClient::silenceIsATimeOutAndNothingIsSentAgain()
{
    ManualClock clock;
    HandGateway gateway;
    GatewayClient client(clock);
    std::optional<GatewayClient::Reply> reply;
    client.post(gateway.url("PostDataZSM.ASP"), "<xml/>", [&](const GatewayClient::Reply& r) { reply = r; });
    QTRY_COMPARE(gateway.requests(), 1);
    clock.advance(59999);
    QVERIFY(!reply);
    clock.advance(1);
    QVERIFY(reply);
    QVERIFY(!reply->delivered);
    QCOMPARE(reply->error, QStringLiteral("no reply within 60 seconds"));
    QVERIFY(!client.isBusy());
    QCOMPARE(gateway.requests(), 1);
}

void TestGatewayClient::requestsNeverOverlap()
{
    ManualClock clock;
    HandGateway gateway;
    GatewayClient client(clock);
    QList<GatewayClient::Reply> replies;
    const auto collect = [&](const GatewayClient::Reply& r) {
        replies << r;
    };
    client.get(gateway.url("Logonchk.asp"), collect);
    client.get(gateway.url("QuaylinkChk.asp"), collect);
    QTRY_COMPARE(replies.size(), 1);
    QVERIFY(!replies[0].delivered); // the second request was refused, not queued behind the first
    QVERIFY(client.isBusy());
    QTRY_COMPARE(gateway.requests(), 1);
    gateway.send("HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\nlogonyes||50");
    QTRY_COMPARE(replies.size(), 2);
    QCOMPARE(replies[1].body, QByteArray("logonyes||50"));
    QVERIFY(gateway.received.contains("GET /Quaylink/Logonchk.asp HTTP/1.1"));
    QVERIFY(!gateway.received.contains("QuaylinkChk.asp"));
}

QTEST_GUILESS_MAIN(TestGatewayClient)
#include "tst_gatewayclient.moc"
