#include "GatewayClient.h"

#include <QTest>

/// Reading the gateway's replies: delimited by length, in chunks, or by the end of the connection.
class TestGatewayClient : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parseResponse_data();
    void parseResponse();
    void unreachableGatewayIsATransportFailure();
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
    GatewayClient client;
    const GatewayClient::Reply reply = client.get("http://127.0.0.1:1/Quaylink/QuaylinkChk.asp");
    QVERIFY(!reply.delivered);
    QVERIFY(!reply.error.isEmpty());
    QVERIFY(reply.body.isEmpty());
    QVERIFY(!client.get("ftp://127.0.0.1/x").delivered);
}

QTEST_GUILESS_MAIN(TestGatewayClient)
#include "tst_gatewayclient.moc"
