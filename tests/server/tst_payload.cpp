#include "UploadPayload.h"
#include "cZLIB.h"

#include "TestEnvironment.h"

#include <QTest>
#include <QUrl>
#include <QUrlQuery>
#include <QXmlStreamReader>

#include <zlib.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/resource.h>

namespace {

QByteArray inflateAll(const QByteArray& compressed, qsizetype expectedSize)
{
    QByteArray out(expectedSize + 1, Qt::Uninitialized);
    uLongf length = static_cast<uLongf>(out.size());
    if (uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                   reinterpret_cast<const Bytef*>(compressed.constData()),
                   static_cast<uLong>(compressed.size())) != Z_OK)
        return "<uncompress failed>";
    out.truncate(static_cast<qsizetype>(length));
    return out;
}

QByteArray pseudoRandomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

} // namespace

/// The upload payload: code page, compression, hex text, chunking, chunk documents and query values.
class TestPayload : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void codePage_data();
    void codePage();
    void undefinedBytesSurviveARoundTrip();
    void compressionRoundTrip_data();
    void compressionRoundTrip();
    void hexText();
    void messageListRecords();
    void chunking_data();
    void chunking();
    void chunkDocumentRoundTrip_data();
    void chunkDocumentRoundTrip();
    void chunkDocumentIsTheTemplateWithOneRow();
    void badChunkDocumentsRefused_data();
    void badChunkDocumentsRefused();
    void queryValues_data();
    void queryValues();
    void queryValuesSurviveQUrl();
    void wholeFiles();
};

void TestPayload::codePage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("readBack");
    // What FindCodePageLoss names: the characters sent in a readable form, and those sent as "?".
    QTest::addColumn<QStringList>("replaced");
    QTest::addColumn<QStringList>("lost");
    QTest::newRow("ascii") << "Bought 10 RELIANCE @ 2,450.50" << QByteArray("Bought 10 RELIANCE @ 2,450.50")
                           << "Bought 10 RELIANCE @ 2,450.50" << QStringList() << QStringList();
    QTest::newRow("euro and ellipsis")
        << QStringView(u"\u20AC5\u2026").toString()
        << QByteArray("\x80"
                      "5\x85")
        << QStringView(u"\u20AC5\u2026").toString() << QStringList() << QStringList();
    QTest::newRow("quotes and dashes in the page")
        << QStringView(u"\u2018a\u2019 \u201Cb\u201D \u2013\u2014").toString()
        << QByteArray("\x91"
                      "a\x92 \x93"
                      "b\x94 \x96\x97")
        << QStringView(u"\u2018a\u2019 \u201Cb\u201D \u2013\u2014").toString() << QStringList()
        << QStringList();
    QTest::newRow("latin-1 half") << QStringView(u"\u00A0\u00E9\u00FF").toString()
                                  << QByteArray("\xA0\xE9\xFF")
                                  << QStringView(u"\u00A0\u00E9\u00FF").toString() << QStringList()
                                  << QStringList();
    QTest::newRow("rupee sign in its readable form")
        << QStringView(u"\u20B9100 \u20B95").toString() << QByteArray("Rs.100 Rs.5") << "Rs.100 Rs.5"
        << QStringList{QStringView(u"\u20B9").toString()} << QStringList();
    QTest::newRow("dashes, quotes and spaces outside the page")
        << QStringView(u"9\u2011am\u2012\u2212 5\u2032 6\u2033 a\u2009b\u202Fc\u3000d").toString()
        << QByteArray("9-am-- 5' 6\" a b c d") << "9-am-- 5' 6\" a b c d"
        << QStringList{QStringView(u"\u2011").toString(), QStringView(u"\u2012").toString(),
                       QStringView(u"\u2212").toString(), QStringView(u"\u2032").toString(),
                       QStringView(u"\u2033").toString(), QStringView(u"\u2009").toString(),
                       QStringView(u"\u202F").toString(), QStringView(u"\u3000").toString()}
        << QStringList();
    QTest::newRow("invisible characters left out")
        << QStringView(u"\uFEFFab\u200Bc").toString() << QByteArray("abc") << "abc"
        << QStringList{QStringView(u"\uFEFF").toString(), QStringView(u"\u200B").toString()} << QStringList();
    QTest::newRow("devanagari") << QStringView(u"\u0928\u092E\u0928").toString() << QByteArray("???") << "???"
                                << QStringList()
                                << QStringList{QStringView(u"\u0928").toString(),
                                               QStringView(u"\u092E").toString()};
    QTest::newRow("emoji is one character")
        << QStringView(u"a\U0001F600b").toString() << QByteArray("a?b") << "a?b" << QStringList()
        << QStringList{QStringView(u"\U0001F600").toString()};
    QTest::newRow("C1 control with a defined slot")
        << QStringView(u"\u0080").toString() << QByteArray("?") << "?" << QStringList()
        << QStringList{QStringView(u"\u0080").toString()};
    QTest::newRow("CR LF kept") << "a\r\nb" << QByteArray("a\r\nb") << "a\r\nb" << QStringList()
                                << QStringList();
}

void TestPayload::codePage()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, readBack);
    QFETCH(QStringList, replaced);
    QFETCH(QStringList, lost);
    QCOMPARE(ToSystemCodePage(text), bytes);
    QCOMPARE(FromSystemCodePage(bytes), readBack);
    const CodePageLoss loss = FindCodePageLoss(text);
    QStringList replacedCharacters;
    for (const CodePageReplacement& replacement : loss.replaced)
        replacedCharacters << replacement.character;
    QCOMPARE(replacedCharacters, replaced);
    QCOMPARE(loss.lost, lost);
    QCOMPARE(loss.isEmpty(), replaced.isEmpty() && lost.isEmpty());
}

void TestPayload::undefinedBytesSurviveARoundTrip()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const QString text = FromSystemCodePage(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(text.at(0x81), QChar(0x81));
    QCOMPARE(text.at(0x9D), QChar(0x9D));
    QCOMPARE(text.at(0x9F), QChar(0x0178));
    QCOMPARE(ToSystemCodePage(text), all);
}

void TestPayload::compressionRoundTrip_data()
{
    QTest::addColumn<QByteArray>("data");
    QByteArray list;
    for (int i = 0; i < 2000; ++i)
        AppendMessageRecord(
            list, QString::number(9800000000LL + i),
            QStringLiteral("Dear client, bought %1 INFY @ 1,5%2.25 on NSE").arg(i).arg(i % 97));
    QTest::newRow("one byte") << QByteArray("x");
    QTest::newRow("2000 records") << list;
    QTest::newRow("incompressible") << pseudoRandomBytes(5000);
}

void TestPayload::compressionRoundTrip()
{
    QFETCH(QByteArray, data);
    QByteArray compressed = data;
    cZLIB().CompressString(compressed, 15);
    QVERIFY(compressed != data);
    QVERIFY(compressed.startsWith("\x78\x9C"));
    QCOMPARE(inflateAll(compressed, data.size()), data);
}

void TestPayload::hexText()
{
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all += static_cast<char>(i);
    const QByteArray hex = HexEncodeText(all);
    QCOMPARE(hex.size(), 512);
    QVERIFY(hex.startsWith("000102030405060708090A0B"));
    QVERIFY(hex.endsWith("FCFDFEFF"));
    for (const char c : hex)
        QVERIFY2((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'), &c);
    QCOMPARE(QByteArray::fromHex(hex), all);

    QByteArray empty;
    cZLIB().CompressString(empty, 15);
    QVERIFY(empty.isEmpty());
    QVERIFY(HexEncodeText(empty).isEmpty());
}

void TestPayload::messageListRecords()
{
    QByteArray list;
    AppendMessageRecord(list, "9876543210", QStringView(u"Paid \u20AC5").toString());
    AppendMessageRecord(list, "9123456789", "two\r\nlines\rand\nmore");
    // Only the record separator holds CR LF: a text can never smuggle in a record of its own.
    AppendMessageRecord(list, "9123456780", "Hello\r\n9999999999\r\nspoofed");
    QCOMPARE(list, QByteArray("9876543210\r\nPaid \x80"
                              "5\r\n9123456789\r\ntwo\nlines\nand\nmore\r\n"
                              "9123456780\r\nHello\n9999999999\nspoofed\r\n"));
}

void TestPayload::chunking_data()
{
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<QList<qsizetype>>("sizes");
    QTest::newRow("1") << qsizetype(1) << QList<qsizetype>{1};
    QTest::newRow("2047") << qsizetype(2047) << QList<qsizetype>{2047};
    QTest::newRow("2048") << qsizetype(2048) << QList<qsizetype>{2048};
    QTest::newRow("2049") << qsizetype(2049) << QList<qsizetype>{2048, 1};
    QTest::newRow("4096") << qsizetype(4096) << QList<qsizetype>{2048, 2048};
    QTest::newRow("4097") << qsizetype(4097) << QList<qsizetype>{2048, 2048, 1};
    QTest::newRow("6000") << qsizetype(6000) << QList<qsizetype>{2048, 2048, 1904};
    QTest::newRow("empty") << qsizetype(0) << QList<qsizetype>{0};
}

void TestPayload::chunking()
{
    QFETCH(qsizetype, length);
    QFETCH(QList<qsizetype>, sizes);
    QByteArray hex;
    for (qsizetype i = 0; i < length; ++i)
        hex += "0123456789ABCDEF"[i % 16];
    const QList<UploadChunk> chunks = SplitIntoChunks(hex);
    QCOMPARE(chunks.size(), sizes.size());
    QByteArray joined;
    for (qsizetype i = 0; i < chunks.size(); ++i) {
        QCOMPARE(chunks[i].text.size(), sizes[i]);
        QCOMPARE(chunks[i].status, i + 1 == chunks.size() ? 1 : 0);
        joined += chunks[i].text;
    }
    QCOMPARE(joined, hex);
}

void TestPayload::chunkDocumentRoundTrip_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::newRow("hex") << HexEncodeText(pseudoRandomBytes(1024));
    QTest::newRow("one character") << QByteArray("7");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("markup characters") << QByteArray("a\"b<c>d&e'f");
    QTest::newRow("tab CR LF and high bytes") << QByteArray("a\tb\r\nc\xE9\x80");
}

void TestPayload::chunkDocumentRoundTrip()
{
    QFETCH(QByteArray, chunk);
    const QByteArray document = ChunkDocument(chunk);
    QXmlStreamReader reader(document);
    while (!reader.atEnd())
        reader.readNext();
    QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
    const std::optional<QByteArray> back = ChunkFromDocument(document);
    QVERIFY(back.has_value());
    QCOMPARE(*back, chunk);
}

void TestPayload::chunkDocumentIsTheTemplateWithOneRow()
{
    const QByteArray pieces[] = {
        R"(<xml xmlns:s="uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882" xmlns:dt="uuid:C2F41010-65B3-11d1-A29F-00AA00C14882" xmlns:rs="urn:schemas-microsoft-com:rowset" xmlns:z="#RowsetSchema">)",
        R"(   <s:Schema id="RowsetSchema">)",
        R"(       <s:ElementType name="row" content="eltOnly">)",
        R"(           <s:AttributeType name="Msg_Text" rs:number="2" rs:nullable="true" rs:maydefer="true" rs:writeunknown="true">)",
        R"(               <s:datatype dt:type="string" dt:maxLength="536870910" rs:long="true"/>)",
        R"(           </s:AttributeType>)",
        R"(           <s:extends type="rs:rowbase"/>)",
        R"(       </s:ElementType>)",
        R"(   </s:Schema>)",
        R"(   <rs:data>)",
        R"(   </rs:data>)",
        R"(</xml>)",
    };
    QByteArray head;
    for (int i = 0; i < 10; ++i)
        head += pieces[i];
    const QByteArray tail = pieces[10] + pieces[11];
    QCOMPARE(ChunkDocument("78DA00FF"), head + R"(<z:row Msg_Text="78DA00FF"/>)" + tail);
}

void TestPayload::badChunkDocumentsRefused_data()
{
    QTest::addColumn<QByteArray>("document");
    const QByteArray good = ChunkDocument("ABCD");
    const QByteArray row = R"(<z:row Msg_Text="ABCD"/>)";
    QByteArray twoRows = good;
    twoRows.replace(row, row + row);
    QByteArray noRow = good;
    noRow.replace(row, "");
    QByteArray otherAttribute = good;
    otherAttribute.replace("Msg_Text=", "Msg_Txt=");
    QByteArray extraAttribute = good;
    extraAttribute.replace("Msg_Text=", "nid=\"1\" Msg_Text=");
    QByteArray changedSchema = good;
    changedSchema.replace("536870910", "536870911");
    QByteArray textInData = good;
    textInData.replace(row, row + "junk");
    QByteArray unclosedRow = good;
    unclosedRow.replace(row, R"(<z:row Msg_Text="ABCD">)");
    QByteArray otherNamespace = good;
    otherNamespace.replace(row, R"(<s:row Msg_Text="ABCD"/>)");

    QTest::newRow("empty") << QByteArray();
    QTest::newRow("the chunk alone") << QByteArray("ABCD");
    QTest::newRow("no row") << noRow;
    QTest::newRow("two rows") << twoRows;
    QTest::newRow("other attribute") << otherAttribute;
    QTest::newRow("extra attribute") << extraAttribute;
    QTest::newRow("schema changed") << changedSchema;
    QTest::newRow("text in the data section") << textInData;
    QTest::newRow("not well-formed") << unclosedRow;
    QTest::newRow("row in another namespace") << otherNamespace;
    QTest::newRow("trailing newline") << good + "\n";
}

void TestPayload::badChunkDocumentsRefused()
{
    QFETCH(QByteArray, document);
    QVERIFY(!ChunkFromDocument(document).has_value());
}

void TestPayload::queryValues_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("plain") << "demo_01" << QByteArray("demo_01");
    QTest::newRow("delimiters") << "a+b&c=d?e#f%g" << QByteArray("a%2Bb%26c%3Dd%3Fe%23f%25g");
    QTest::newRow("address list kept") << "10.0.0.5,192.168.1.20," << QByteArray("10.0.0.5,192.168.1.20,");
    QTest::newRow("blank and controls") << " a\tb\r\n" << QByteArray("%20a%09b%0D%0A");
    QTest::newRow("non-ascii as utf-8")
        << QStringView(u"\u00E9\u20AC").toString() << QByteArray("%C3%A9%E2%82%AC");
    QTest::newRow("not allowed in a URL") << "\"<>\\^`{|}" << QByteArray("%22%3C%3E%5C%5E%60%7B%7C%7D");
    QTest::newRow("other punctuation kept") << "!$'()*,-./:;@[]_~" << QByteArray("!$'()*,-./:;@[]_~");
}

void TestPayload::queryValues()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, encoded);
    QCOMPARE(EncodeQueryValue(value), encoded);
    QCOMPARE(QUrl::fromPercentEncoding(encoded), value);
}

void TestPayload::queryValuesSurviveQUrl()
{
    const QByteArray query = ChunkQuery("a+b&c d", 2048, 0, "20261208_0101011_42_NWM");
    QCOMPARE(query, QByteArray("?ID=a%2Bb%26c%20d&MsgLen=2048&Status=0&Flag=20261208_0101011_42_NWM"));
    const QUrl url =
        QUrl::fromEncoded("http://127.0.0.1:8080/Quaylink/PostDataZSM.ASP" + query, QUrl::StrictMode);
    QVERIFY(url.isValid());
    QVERIFY(url.toEncoded().endsWith(query));
    const QUrlQuery items(url);
    QCOMPARE(items.queryItemValue("ID", QUrl::FullyDecoded), "a+b&c d");
    QCOMPARE(items.queryItemValue("Status"), "0");
}

void TestPayload::wholeFiles()
{
    TestEnvironment env;
    const QString path = env.path("upload.SMS");
    WriteWholeFile(path, "a much longer first content");
    WriteWholeFile(path, "ABC\r\n");
    QCOMPARE(ReadWholeFile(path), QByteArray("ABC\r\n"));
    WriteWholeFile(path, QByteArray());
    QCOMPARE(ReadWholeFile(path), QByteArray());
    QVERIFY_THROWS_EXCEPTION(PayloadFileError, ReadWholeFile(env.path("missing.SMS")));
    QVERIFY_THROWS_EXCEPTION(PayloadFileError, WriteWholeFile(env.path("no/such/folder/x.SMS"), "x"));

    // A disk that takes no more: the reason is the system's, not "Unknown error". The limit on the size
    // of a file stands in for a full disk; its signal would end the process instead.
    rlimit limit = {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small = {4096, limit.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString failure;
    try {
        WriteWholeFile(path, QByteArray(65536, 'x'));
    } catch (const PayloadFileError& error) {
        failure = QString::fromStdString(error.what());
    }
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    QCOMPARE(failure,
             QStringLiteral("cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(EFBIG))));
}

QTEST_GUILESS_MAIN(TestPayload)
#include "tst_payload.moc"
