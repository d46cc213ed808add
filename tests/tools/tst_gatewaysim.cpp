#include "LocalGateway.h"
#include "ProgramRun.h"
#include "Store.h"
#include "TestEnvironment.h"
#include "UploadPayload.h"
#include "cZLIB.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>

#include <algorithm>

namespace {

const QString Broker = "broker";
const QString BrokerPassword = "a+b&c";

/// The real gateway-sim with a broker's account and a small one, driven over HTTP.
class Gateway : public LocalGateway
{
public:
    explicit Gateway(TestEnvironment& env, const QStringList& arguments = {})
        : LocalGateway(GATEWAY_SIM_EXE, env, arguments,
                       "# user password balance\n\nbroker a+b&c 5000\nsmall\tsecret 3\n")
    {
    }

    QUrl url(const QByteArray& page, const QByteArray& query = {}) const
    {
        return QUrl::fromEncoded("http://" + address().toLatin1() + "/Quaylink/" + page + query,
                                 QUrl::StrictMode);
    }

    /// The delayMs of each answered request, in order.
    QList<int> delays() const
    {
        QList<int> delays;
        for (const QJsonObject& request : log("request")) {
            if (!request.value("dropped").toBool())
                delays.append(request.value("delayMs").toInt(-1));
        }
        return delays;
    }
};

struct Answer
{
    QByteArray body;
    int status = 0;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
};

Answer finish(QNetworkReply* reply)
{
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!reply->isFinished() && !finished.wait(20000))
        return {"<no answer>", 0, QNetworkReply::TimeoutError};
    Answer answer{reply->readAll(), reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(),
                  reply->error()};
    reply->deleteLater();
    return answer;
}

Answer get(QNetworkAccessManager& nam, const QUrl& url)
{
    return finish(nam.get(QNetworkRequest(url)));
}

Answer post(QNetworkAccessManager& nam, const QUrl& url, const QByteArray& body)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, "text/xml");
    return finish(nam.post(request, body));
}

QByteArray loginQuery(const QString& user, const QString& password)
{
    return "?UserId=" + EncodeQueryValue(user) + "&UserPassWord=" + EncodeQueryValue(password) +
           "&IP=10.0.0.5,192.168.1.20,";
}

QByteArray hexOf(QByteArray list)
{
    cZLIB().CompressString(list, 15);
    return HexEncodeText(list);
}

/// Posts the upload's chunks in order as the dispatch server does, stopping at the first refusal.
QList<QByteArray> upload(QNetworkAccessManager& nam, const Gateway& gateway, const QString& flag,
                         const QByteArray& hex)
{
    QList<QByteArray> replies;
    for (const UploadChunk& chunk : SplitIntoChunks(hex)) {
        replies.append(
            post(nam,
                 gateway.url("PostDataZSM.ASP", ChunkQuery(Broker, chunk.text.size(), chunk.status, flag)),
                 ChunkDocument(chunk.text))
                .body);
        if (replies.last().toLower() != (chunk.status == 0 ? "done" : "complete"))
            break;
    }
    return replies;
}

struct Message
{
    QString number;
    QString text;
};

/// Texts that compress poorly, so that a few dozen messages take several chunks.
QList<Message> sampleMessages(int count)
{
    QList<Message> messages;
    quint32 state = 7;
    const QString alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 .,@&";
    for (int i = 0; i < count; ++i) {
        QString text;
        for (int c = 0; c < 150; ++c) {
            state = state * 1103515245u + 12345u;
            text += alphabet.at((state >> 16) % alphabet.size());
        }
        messages.append({QString::number(9800000000LL + i), text});
    }
    messages[1].text = QStringView(u"Paid \u20AC120 \u2013 \u201Cthanks\u201D\u2026").toString();
    messages[2].text = "first line\r\nsecond line\r\n912345678";
    messages[3].number = "+919876543"; // the last 10 characters of a longer number need not be digits
    messages[4].text = QStringLiteral("\"quoted\" C:\\path\tand a \x01 control"); // escaped in the log
    return messages;
}

// Written here, not by the dispatch server's encoder, so that a text holding CR LF reaches the gateway.
QByteArray messageList(const QList<Message>& messages)
{
    QByteArray list;
    for (const Message& message : messages)
        list += ToSystemCodePage(message.number) + "\r\n" + ToSystemCodePage(message.text) + "\r\n";
    return list;
}

QByteArray chunkRequest(const QByteArray& hex, const QString& flag)
{
    const QByteArray document = ChunkDocument(hex);
    return "POST /Quaylink/PostDataZSM.ASP" + ChunkQuery(Broker, hex.size(), 1, flag) +
           " HTTP/1.1\r\nHost: x\r\nContent-Length: " + QByteArray::number(document.size()) + "\r\n\r\n" +
           document;
}

/// Whether another program could write to the store now, without waiting for any lock.
bool storeWritable(Store& store)
{
    try {
        if (store.engine() == Store::Engine::Sqlite) {
            store.exec("PRAGMA busy_timeout = 0");
            store.exec("BEGIN IMMEDIATE");
        } else {
            store.exec("BEGIN");
            store.exec("LOCK TABLE MessageQueue IN ROW EXCLUSIVE MODE NOWAIT"); // as INSERT and UPDATE
        }
    } catch (const StoreError&) {
        if (store.engine() == Store::Engine::Postgres)
            store.exec("ROLLBACK");
        return false;
    }
    store.exec("ROLLBACK");
    return true;
}

} // namespace

/// The local gateway, run as the real executable and driven over HTTP.
class TestGatewaySim : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void pages_data();
    void pages();
    void uploadDecodedAndDebited();
    void debitRefused_data();
    void debitRefused();
    void invalidUploads_data();
    void invalidUploads();
    void refusedChunkFailsOnlyItsUpload();
    void chunkReplyLetterCase_data();
    void chunkReplyLetterCase();
    void replyDelays_data();
    void replyDelays();
    void jitterFollowsSeed();
    void splitReply();
    void lateReplyToClosedClient();
    void storeLock_data();
    void storeLock();
    void droppedConnections();
    void keepAliveAndPipelining_data();
    void keepAliveAndPipelining();
    void commandLine_data();
    void commandLine();

private:
    QNetworkAccessManager m_nam;
};

void TestGatewaySim::pages_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("page");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reply");
    const QByteArray chk = "QuaylinkChk.asp";
    const QByteArray logon = "Logonchk.asp";
    QTest::newRow("check") << QStringList() << chk << QByteArray() << 200 << QByteArray("Server Connected");
    QTest::newRow("page in other letter case") << QStringList() << QByteArray("QUAYLINKCHK.ASP")
                                               << QByteArray() << 200 << QByteArray("Server Connected");
    QTest::newRow("login with encoded password")
        << QStringList() << logon << loginQuery(Broker, BrokerPassword) << 200
        << QByteArray("logonyes||5000");
    QTest::newRow("login tab-separated account")
        << QStringList() << logon << loginQuery("small", "secret") << 200 << QByteArray("logonyes||3");
    QTest::newRow("password sent unencoded")
        << QStringList() << logon << QByteArray("?UserId=broker&UserPassWord=a+b&c&IP=1.2.3.4,") << 200
        << QByteArray("logonno||0");
    QTest::newRow("wrong password") << QStringList() << logon << loginQuery(Broker, "a+b") << 200
                                    << QByteArray("logonno||0");
    QTest::newRow("unknown user") << QStringList() << logon << loginQuery("nobody", BrokerPassword) << 200
                                  << QByteArray("logonno||0");
    QTest::newRow("user id not trimmed")
        << QStringList() << logon << loginQuery(" broker", BrokerPassword) << 200 << QByteArray("logonno||0");
    QTest::newRow("unknown page") << QStringList() << QByteArray("Other.asp") << QByteArray() << 404
                                  << QByteArray("Not Found");
    QTest::newRow("chunk page by GET")
        << QStringList() << QByteArray("PostDataZSM.ASP") << ChunkQuery(Broker, 2, 1, "x_NWM") << 405
        << QByteArray("Method Not Allowed");
    QTest::newRow("check reply fault") << QStringList{"--check-reply", "Server connected\r\n"} << chk
                                       << QByteArray() << 200 << QByteArray("Server connected\r\n");
    QTest::newRow("login reply fault") << QStringList{"--login-reply", "logonyes||  250"} << logon
                                       << loginQuery("nobody", "x") << 200 << QByteArray("logonyes||  250");
    QTest::newRow("empty login reply") << QStringList{"--login-reply", ""} << logon
                                       << loginQuery(Broker, BrokerPassword) << 200 << QByteArray();
}

void TestGatewaySim::pages()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, page);
    QFETCH(QByteArray, query);
    QFETCH(int, status);
    QFETCH(QByteArray, reply);
    TestEnvironment env;
    Gateway gateway(env, arguments);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const Answer answer = get(m_nam, gateway.url(page, query));
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.body, reply);
    QVERIFY(gateway.stop());
    const QList<QJsonObject> requests = gateway.log("request");
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0].value("reply").toString().toUtf8(), reply);
    QCOMPARE(requests[0].value("target").toString().toUtf8(), "/Quaylink/" + page + query);
}

void TestGatewaySim::uploadDecodedAndDebited()
{
    TestEnvironment env;
    Gateway gateway(env);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const QList<Message> messages = sampleMessages(40);
    const QByteArray hex = hexOf(messageList(messages));
    QVERIFY2(hex.size() > 3 * UploadChunkLength, "the sample must take several chunks");
    const QList<QByteArray> replies = upload(m_nam, gateway, "20261208_0101011_42_NWM", hex);
    QList<QByteArray> expected(SplitIntoChunks(hex).size() - 1, "done");
    expected.append("complete");
    QCOMPARE(replies, expected);

    const QList<QJsonObject> logged = gateway.log("message");
    QCOMPARE(logged.size(), messages.size());
    for (qsizetype i = 0; i < messages.size(); ++i) {
        QCOMPARE(logged[i].value("number").toString(), messages[i].number);
        QCOMPARE(logged[i].value("text").toString(), messages[i].text);
        QCOMPARE(logged[i].value("upload").toString(), "20261208_0101011_42_NWM");
        QCOMPARE(logged[i].value("user").toString(), Broker);
    }
    const QList<QJsonObject> uploads = gateway.log("upload");
    QCOMPARE(uploads.size(), 1);
    QCOMPARE(uploads[0].value("valid").toBool(), true);
    QCOMPARE(uploads[0].value("messages").toInt(), 40);
    QCOMPARE(uploads[0].value("chunks").toInt(), expected.size());

    const Answer debit =
        get(m_nam, gateway.url("Debit.asp", "?UserId=broker&UserPassWord=qerlodnasti&DebitSMS=40&"
                                            "Flnm=20261208_0101011_42"));
    QCOMPARE(debit.body, "Success");
    QCOMPARE(get(m_nam, gateway.url("Logonchk.asp", loginQuery(Broker, BrokerPassword))).body,
             "logonyes||4960");
    const QList<QJsonObject> debits = gateway.log("debit");
    QCOMPARE(debits.size(), 1);
    QCOMPARE(debits[0].value("ok").toBool(), true);
    QCOMPARE(debits[0].value("matches").toBool(), true);
    QCOMPARE(debits[0].value("balance").toInt(), 4960);
    QVERIFY(gateway.stop());
}

void TestGatewaySim::debitRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<int>("balance");
    QTest::newRow("operator's password instead of the fixed one")
        << QStringList() << QByteArray("?UserId=small&UserPassWord=secret&DebitSMS=1&Flnm=s")
        << QByteArray("Fail") << 3;
    QTest::newRow("unknown user") << QStringList()
                                  << QByteArray("?UserId=nobody&UserPassWord=qerlodnasti&DebitSMS=1&Flnm=s")
                                  << QByteArray("Fail") << 3;
    QTest::newRow("more than the balance")
        << QStringList() << QByteArray("?UserId=small&UserPassWord=qerlodnasti&DebitSMS=4&Flnm=s")
        << QByteArray("Fail") << 3;
    QTest::newRow("count not a number")
        << QStringList() << QByteArray("?UserId=small&UserPassWord=qerlodnasti&DebitSMS=-1&Flnm=s")
        << QByteArray("Fail") << 3;
    QTest::newRow("whole balance") << QStringList()
                                   << QByteArray("?UserId=small&UserPassWord=qerlodnasti&DebitSMS=3&Flnm=s")
                                   << QByteArray("Success") << 0;
    QTest::newRow("debit reply fault still debits")
        << QStringList{"--debit-reply", "success"}
        << QByteArray("?UserId=small&UserPassWord=qerlodnasti&DebitSMS=2&Flnm=s") << QByteArray("success")
        << 1;
}

void TestGatewaySim::debitRefused()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, reply);
    QFETCH(int, balance);
    TestEnvironment env;
    Gateway gateway(env, arguments);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    QCOMPARE(get(m_nam, gateway.url("Debit.asp", query)).body, reply);
    QCOMPARE(get(m_nam, gateway.url("Logonchk.asp", loginQuery("small", "secret"))).body,
             "logonyes||" + QByteArray::number(balance));
    const QList<QJsonObject> debits = gateway.log("debit");
    QCOMPARE(debits.size(), 1);
    QCOMPARE(debits[0].value("matches").toBool(), false);
    QVERIFY(gateway.stop());
}

void TestGatewaySim::invalidUploads_data()
{
    QTest::addColumn<QList<QByteArray>>("queries");
    QTest::addColumn<QList<QByteArray>>("bodies");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("uploadFailed");

    const QByteArray list = "9876543210\r\nBought 10 INFY\r\n9123456789\r\nSold 5 TCS\r\n";
    const QByteArray hex = hexOf(list);
    const QByteArray long2048 = HexEncodeText(QByteArray(1024, 'x'));
    auto query = [](qsizetype length, int status) {
        return ChunkQuery(Broker, length, status, "u_NWM");
    };
    QByteArray damaged = hex;
    damaged.chop(2);
    damaged += damaged.endsWith("00") ? "01" : "00";

    QTest::newRow("MsgLen differs") << QList<QByteArray>{query(hex.size() + 1, 1)}
                                    << QList<QByteArray>{ChunkDocument(hex)} << "MsgLen" << true;
    QTest::newRow("Status 2") << QList<QByteArray>{query(hex.size(), 2)}
                              << QList<QByteArray>{ChunkDocument(hex)} << "Status must be 0 or 1" << true;
    QTest::newRow("lower-case hex") << QList<QByteArray>{query(hex.size(), 1)}
                                    << QList<QByteArray>{ChunkDocument(hex.toLower())} << "0-9 and A-F"
                                    << true;
    QTest::newRow("body without document") << QList<QByteArray>{query(hex.size(), 1)}
                                           << QList<QByteArray>{hex} << "not a chunk document" << true;
    QTest::newRow("short chunk with Status 0")
        << QList<QByteArray>{query(hex.size(), 0)} << QList<QByteArray>{ChunkDocument(hex)} << "2048" << true;
    QTest::newRow("empty last chunk")
        << QList<QByteArray>{query(0, 1)} << QList<QByteArray>{ChunkDocument({})} << "1 to 2048" << true;
    QTest::newRow("uncompressed list")
        << QList<QByteArray>{query(HexEncodeText(list).size(), 1)}
        << QList<QByteArray>{ChunkDocument(HexEncodeText(list))} << "zlib header" << true;
    QTest::newRow("damaged stream") << QList<QByteArray>{query(damaged.size(), 1)}
                                    << QList<QByteArray>{ChunkDocument(damaged)} << "damaged" << true;
    QTest::newRow("2048 hex characters that are not zlib")
        << QList<QByteArray>{query(2048, 0), query(2, 1)}
        << QList<QByteArray>{ChunkDocument(long2048), ChunkDocument("78")} << "zlib header" << true;
    const QByteArray shortNumber = hexOf("987654321\r\nHello\r\n");
    QTest::newRow("number of 9 characters")
        << QList<QByteArray>{query(shortNumber.size(), 1)} << QList<QByteArray>{ChunkDocument(shortNumber)}
        << "record 1" << true;
    const QByteArray unended = hexOf("9876543210\r\nHello\r\n9123456789\r\nno end");
    QTest::newRow("text without CR LF") << QList<QByteArray>{query(unended.size(), 1)}
                                        << QList<QByteArray>{ChunkDocument(unended)} << "record 2" << true;
    QTest::newRow("unknown user") << QList<QByteArray>{ChunkQuery("nobody", hex.size(), 1, "u_NWM")}
                                  << QList<QByteArray>{ChunkDocument(hex)} << "unknown user" << false;
    QTest::newRow("missing Flag") << QList<QByteArray>{"?ID=broker&MsgLen=4&Status=1"}
                                  << QList<QByteArray>{ChunkDocument("789C")} << "required" << false;
    QTest::newRow("same upload again")
        << QList<QByteArray>{query(hex.size(), 1), query(hex.size(), 1)}
        << QList<QByteArray>{ChunkDocument(hex), ChunkDocument(hex)} << "already complete" << false;
    QTest::newRow("chunk after a refused one")
        << QList<QByteArray>{query(hex.size(), 2), query(hex.size(), 1)}
        << QList<QByteArray>{ChunkDocument(hex), ChunkDocument(hex)} << "already failed" << true;
}

void TestGatewaySim::invalidUploads()
{
    QFETCH(QList<QByteArray>, queries);
    QFETCH(QList<QByteArray>, bodies);
    QFETCH(QString, reason);
    QFETCH(bool, uploadFailed);
    TestEnvironment env;
    Gateway gateway(env);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    QByteArray reply;
    for (qsizetype i = 0; i < queries.size(); ++i)
        reply = post(m_nam, gateway.url("PostDataZSM.ASP", queries[i]), bodies[i]).body;
    QVERIFY2(reply.startsWith("Error: ") && reply.contains(reason.toUtf8()), reply.constData());
    const QList<QJsonObject> uploads = gateway.log("upload");
    QCOMPARE(!uploads.isEmpty() && !uploads.last().value("valid").toBool(), uploadFailed);
    QVERIFY(gateway.stop());
}

void TestGatewaySim::refusedChunkFailsOnlyItsUpload()
{
    TestEnvironment env;
    Gateway gateway(env, {"--refuse-chunk", "2", "--refuse-chunk", "9"});
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const QByteArray hex = hexOf(messageList(sampleMessages(20)));
    QVERIFY(SplitIntoChunks(hex).size() >= 3);
    const QList<QByteArray> first = upload(m_nam, gateway, "first_NWM", hex);
    QCOMPARE(first.size(), 2);
    QCOMPARE(first[0], "done");
    QCOMPARE(first[1], "Error: chunk request 2 refused");
    const QList<QByteArray> second = upload(m_nam, gateway, "second_NWM", hexOf("9876543210\r\nHello\r\n"));
    QCOMPARE(second, QList<QByteArray>{"complete"});

    const QList<QJsonObject> uploads = gateway.log("upload");
    QCOMPARE(uploads.size(), 2);
    QCOMPARE(uploads[0].value("upload").toString(), "first_NWM");
    QCOMPARE(uploads[0].value("valid").toBool(), false);
    QCOMPARE(uploads[1].value("upload").toString(), "second_NWM");
    QCOMPARE(uploads[1].value("valid").toBool(), true);
    QCOMPARE(gateway.log("message").size(), 1);
    QVERIFY(gateway.stop());
}

void TestGatewaySim::chunkReplyLetterCase_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<QByteArray>>("replies");
    QTest::newRow("default") << QStringList() << QList<QByteArray>{"done", "complete"};
    QTest::newRow("upper") << QStringList{"--reply-case", "upper"} << QList<QByteArray>{"DONE", "COMPLETE"};
    QTest::newRow("capitalised") << QStringList{"--reply-case", "capitalised"}
                                 << QList<QByteArray>{"Done", "Complete"};
    QTest::newRow("suffix") << QStringList{"--reply-suffix", " "} << QList<QByteArray>{"done "};
}

void TestGatewaySim::chunkReplyLetterCase()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<QByteArray>, replies);
    TestEnvironment env;
    Gateway gateway(env, arguments);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const QByteArray hex = hexOf(messageList(sampleMessages(12)));
    QCOMPARE(SplitIntoChunks(hex).size(), 2);
    QCOMPARE(upload(m_nam, gateway, "case_NWM", hex), replies);
    QVERIFY(gateway.stop());
}

void TestGatewaySim::replyDelays_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QList<int>>("delays"); // check, login, chunk, debit, an unknown page
    QTest::newRow("none") << QStringList() << QList<int>{0, 0, 0, 0, 0};
    QTest::newRow("delay on its page only")
        << QStringList{"--delay-ms", "40", "--delay-page", "logonchk.asp"} << QList<int>{0, 40, 0, 0, 0};
    QTest::newRow("latency on every reply")
        << QStringList{"--latency-ms", "30"} << QList<int>{30, 30, 30, 30, 30};
    QTest::newRow("latency added to the delay")
        << QStringList{"--latency-ms", "30", "--delay-ms", "40", "--delay-page", "login"}
        << QList<int>{30, 70, 30, 30, 30};
    QTest::newRow("late reply instead of the others")
        << QStringList{"--latency-ms", "30",         "--delay-ms", "40",
                       "--late",       "debit:1:60", "--late",     "check:2:90"}
        << QList<int>{70, 70, 70, 60, 30};
}

void TestGatewaySim::replyDelays()
{
    QFETCH(QStringList, arguments);
    QFETCH(QList<int>, delays);
    TestEnvironment env;
    Gateway gateway(env, arguments);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    QCOMPARE(get(m_nam, gateway.url("QuaylinkChk.asp")).body, "Server Connected");
    QCOMPARE(get(m_nam, gateway.url("Logonchk.asp", loginQuery(Broker, BrokerPassword))).body,
             "logonyes||5000");
    QVERIFY(post(m_nam, gateway.url("PostDataZSM.ASP", "?ID=broker"), "x").body.startsWith("Error: "));
    QCOMPARE(get(m_nam, gateway.url("Debit.asp", "?UserId=x")).body, "Fail");
    QCOMPARE(get(m_nam, gateway.url("Other.asp")).status, 404);
    QCOMPARE(gateway.delays(), delays);
    QVERIFY(gateway.stop());
}

void TestGatewaySim::jitterFollowsSeed()
{
    auto delaysWith = [this](const QStringList& seed) {
        TestEnvironment env;
        Gateway gateway(env, QStringList{"--latency-ms", "5", "--jitter-ms", "10"} + seed);
        if (!gateway.startError().isEmpty())
            return QList<int>();
        for (int i = 0; i < 12; ++i)
            get(m_nam, gateway.url(i % 3 == 0 ? "Other.asp" : "QuaylinkChk.asp"));
        return gateway.stop() ? gateway.delays() : QList<int>();
    };
    const QList<int> first = delaysWith({"--seed", "7"});
    QCOMPARE(first.size(), 12);
    QCOMPARE(delaysWith({"--seed", "7"}), first);
    QVERIFY(delaysWith({"--seed", "8"}) != first);
    QCOMPARE(delaysWith({}), delaysWith({"--seed", "1"}));
    QVERIFY(*std::min_element(first.begin(), first.end()) == 0); // -10 to +10 around 5, clamped
    QVERIFY(*std::max_element(first.begin(), first.end()) <= 15);
}

void TestGatewaySim::splitReply()
{
    TestEnvironment env;
    // Long enough that the headers are read before the body comes.
    Gateway gateway(env, {"--split-reply-ms", "1000"});
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, gateway.port());
    QVERIFY(socket.waitForConnected(10000));
    socket.write("GET /Quaylink/QuaylinkChk.asp HTTP/1.1\r\nHost: x\r\n\r\n");
    QTRY_VERIFY(socket.peek(4096).contains("\r\n\r\n"));
    QVERIFY(socket.readAll().endsWith("Content-Length: 16\r\n\r\n"));
    QTRY_COMPARE(socket.bytesAvailable(), qint64(16));
    QCOMPARE(socket.readAll(), "Server Connected");
    QVERIFY(gateway.stop());
}

void TestGatewaySim::lateReplyToClosedClient()
{
    TestEnvironment env;
    // The check's late reply comes after the chunk's, so once it is in, the chunk's has been dealt with.
    // The store lock is released only once the chunk's reply is due, though it goes nowhere.
    Gateway gateway(env, {"--late", "chunk:1:2000", "--late", "check:1:2000", "--lock-store", env.storeUrl(),
                          "--lock-at", "chunk", "--lock-ms", "0"});
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, gateway.port());
    QVERIFY(client.waitForConnected(10000));
    client.write(chunkRequest(hexOf("9876543210\r\nHello\r\n"), "late_NWM"));
    QTRY_COMPARE(gateway.log("upload").size(), 1);
    QCOMPARE(gateway.log("upload")[0].value("valid").toBool(), true);
    QVERIFY(client.readAll().isEmpty());
    client.abort();

    QCOMPARE(get(m_nam, gateway.url("QuaylinkChk.asp")).body, "Server Connected");
    const QList<QJsonObject> requests = gateway.log("request");
    QCOMPARE(requests[0].value("reply").toString(), "complete");
    QCOMPARE(requests[0].value("delayMs").toInt(), 2000);
    QTRY_COMPARE(gateway.log("unlock").size(), 1);
    QVERIFY(gateway.stop());
    QCOMPARE(gateway.errors(), "");
}

void TestGatewaySim::storeLock_data()
{
    QTest::addColumn<QString>("lockMs");
    QTest::addColumn<bool>("released");
    QTest::newRow("while held") << "60000" << false;
    QTest::newRow("after the unlock") << "0" << true;
}

void TestGatewaySim::storeLock()
{
    QFETCH(QString, lockMs);
    QFETCH(bool, released);
    TestEnvironment env;
    Gateway gateway(env, {"--lock-store", env.storeUrl(), "--lock-at", "check:2", "--lock-ms", lockMs});
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    const std::unique_ptr<Store> store = env.openStore();

    QCOMPARE(get(m_nam, gateway.url("QuaylinkChk.asp")).body, "Server Connected");
    QVERIFY(gateway.log("lock").isEmpty());
    QCOMPARE(get(m_nam, gateway.url("QuaylinkChk.asp")).body, "Server Connected");
    const QList<QJsonObject> locks = gateway.log("lock");
    QCOMPARE(locks.size(), 1);
    QCOMPARE(locks[0].value("page").toString(), "QuaylinkChk.asp");
    QCOMPARE(locks[0].value("n").toInt(), 2);
    QVERIFY2(!locks[0].contains("error"), qPrintable(locks[0].value("error").toString()));
    QVERIFY(store->exec("SELECT COUNT(*) FROM MessageQueue").next()); // readers go on
    if (released)
        QTRY_COMPARE(gateway.log("unlock").size(), 1);
    QCOMPARE(storeWritable(*store), released);
    QVERIFY(gateway.stop());
}

void TestGatewaySim::droppedConnections()
{
    TestEnvironment env;
    Gateway gateway(env, {"--drop-connection", "QuaylinkChk.asp", "--drop-connection", "debit:1"});
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));

    const Answer check = get(m_nam, gateway.url("QuaylinkChk.asp"));
    QVERIFY(check.error != QNetworkReply::NoError);
    QVERIFY(check.body.isEmpty());

    // A raw socket, since an HTTP client may quietly resend a request whose connection closed unanswered.
    const QByteArray debit =
        "GET /Quaylink/Debit.asp?UserId=broker&UserPassWord=qerlodnasti&DebitSMS=7&Flnm=s HTTP/1.1\r\n"
        "Host: 127.0.0.1\r\n\r\n";
    QTcpSocket first;
    first.connectToHost(QHostAddress::LocalHost, gateway.port());
    QVERIFY(first.waitForConnected(10000));
    first.write(debit);
    QSignalSpy closed(&first, &QTcpSocket::disconnected);
    QVERIFY(closed.wait(10000));
    QVERIFY(first.readAll().isEmpty());

    QTcpSocket second;
    second.connectToHost(QHostAddress::LocalHost, gateway.port());
    QVERIFY(second.waitForConnected(10000));
    second.write(debit);
    QTRY_VERIFY(second.peek(4096).endsWith("Success"));
    QCOMPARE(get(m_nam, gateway.url("Logonchk.asp", loginQuery(Broker, BrokerPassword))).body,
             "logonyes||4993");

    // Every check request is dropped, however often the client resends it; of the debits only the first.
    QList<bool> checks;
    QList<bool> debits;
    for (const QJsonObject& request : gateway.log("request")) {
        const QString page = request.value("page").toString();
        if (page == "QuaylinkChk.asp")
            checks.append(request.value("dropped").toBool());
        else if (page == "Debit.asp")
            debits.append(request.value("dropped").toBool());
    }
    QVERIFY(!checks.isEmpty() && !checks.contains(false));
    QCOMPARE(debits, (QList<bool>{true, false}));
    QCOMPARE(gateway.log("debit").size(), 1);
    QVERIFY(gateway.stop());
}

void TestGatewaySim::keepAliveAndPipelining_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("delayed") << QStringList{"--delay-ms", "50"};
    QTest::newRow("jittered and split")
        << QStringList{"--latency-ms", "20", "--jitter-ms", "20", "--split-reply-ms", "10"};
}

void TestGatewaySim::keepAliveAndPipelining()
{
    QFETCH(QStringList, arguments);
    TestEnvironment env;
    Gateway gateway(env, arguments);
    QVERIFY2(gateway.startError().isEmpty(), qPrintable(gateway.startError()));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, gateway.port());
    QVERIFY(socket.waitForConnected(10000));
    const QByteArray document = ChunkDocument("00");
    socket.write(
        "GET /Quaylink/QuaylinkChk.asp HTTP/1.1\r\nHost: x\r\n\r\n"
        "POST /Quaylink/PostDataZSM.ASP?ID=broker&MsgLen=2&Status=1&Flag=p_NWM HTTP/1.1\r\nHost: x\r\n"
        "Content-Length: " +
        QByteArray::number(document.size()) + "\r\n\r\n" + document +
        "GET /Quaylink/QuaylinkChk.asp HTTP/1.0\r\n\r\n");
    QTRY_VERIFY(socket.state() == QAbstractSocket::UnconnectedState);
    const QByteArray received = socket.readAll();
    QCOMPARE(received.count("HTTP/1.1 200 OK\r\n"), 3);
    QVERIFY(received.contains("Content-Length: 16\r\n\r\nServer Connected"));
    QVERIFY(received.contains("\r\n\r\nError: the zlib header is 00"));
    QVERIFY(received.endsWith("Connection: close\r\n\r\nServer Connected"));
    QVERIFY(gateway.stop());
}

void TestGatewaySim::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("accounts");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("stderrText");
    QTest::newRow("unknown option") << QStringList{"--turbo"} << QByteArray() << 2 << "turbo";
    QTest::newRow("reply case") << QStringList{"--reply-case", "sideways"} << QByteArray() << 2 << "sideways";
    QTest::newRow("drop unknown page")
        << QStringList{"--drop-connection", "nowhere"} << QByteArray() << 2 << "nowhere";
    QTest::newRow("drop K not a number")
        << QStringList{"--drop-connection", "debit:x"} << QByteArray() << 2 << "debit:x";
    QTest::newRow("refuse chunk 0") << QStringList{"--refuse-chunk", "0"} << QByteArray() << 2
                                    << "refuse-chunk";
    QTest::newRow("stray argument") << QStringList{"now"} << QByteArray() << 2 << "now";
    QTest::newRow("negative latency")
        << QStringList{"--latency-ms", "-1"} << QByteArray() << 2 << "--latency-ms needs milliseconds";
    QTest::newRow("seed not a number") << QStringList{"--seed", "x"} << QByteArray() << 2 << "--seed";
    QTest::newRow("late without K") << QStringList{"--late", "chunk:500"} << QByteArray() << 2 << "chunk:500";
    QTest::newRow("lock without page")
        << QStringList{"--lock-store", "s.db", "--lock-ms", "5"} << QByteArray() << 2 << "go together";
    QTest::newRow("lock store URL") << QStringList{"--lock-store", "postgresql://u@h", "--lock-at",
                                                   "debit",        "--lock-ms",        "5"}
                                    << QByteArray() << 2 << "--lock-store: not a store URL";
    QTest::newRow("accounts line with two fields")
        << QStringList() << QByteArray("ok pw 1\nbroken 5\n") << 1 << "line 2";
    QTest::newRow("accounts negative balance") << QStringList() << QByteArray("neg pw -5\n") << 1 << "line 1";
    QTest::newRow("accounts user twice")
        << QStringList() << QByteArray("a pw 1\n# c\na pw 2\n") << 1 << "line 3";
}

void TestGatewaySim::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, accounts);
    QFETCH(int, exitCode);
    QFETCH(QString, stderrText);
    TestEnvironment env;
    if (!accounts.isEmpty())
        arguments << "--accounts" << env.writeFile("accounts", accounts);
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const ProgramRun refused =
        RunProgram(GATEWAY_SIM_EXE, QStringList{"--port", "0"} + arguments, environment);
    QCOMPARE(refused.exitCode, exitCode);
    QVERIFY2(refused.err.startsWith("gateway-sim: ") && refused.err.contains(stderrText),
             qPrintable(refused.err));
    QVERIFY(refused.out.isEmpty());

    const ProgramRun help = RunProgram(GATEWAY_SIM_EXE, {"--help"}, environment);
    QCOMPARE(help.exitCode, 0);
    for (const char* option : {"--refuse-chunk",
                               "--reply-case",
                               "--reply-suffix",
                               "--delay-ms",
                               "--delay-page",
                               "--drop-connection",
                               "--debit-reply",
                               "--check-reply",
                               "--login-reply",
                               "--latency-ms",
                               "--jitter-ms",
                               "--seed",
                               "--split-reply-ms",
                               "--late",
                               "--lock-store",
                               "--lock-at",
                               "--lock-ms",
                               "demo demo 10000",
                               "\"event\":\"message\"",
                               "\"delayMs\":N",
                               "\"event\":\"unlock\"",
                               "LOCK TABLE MessageQueue"})
        QVERIFY2(help.out.contains(QLatin1String(option)), option);
}

QTEST_GUILESS_MAIN(TestGatewaySim)
#include "tst_gatewaysim.moc"
