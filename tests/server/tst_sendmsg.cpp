#include "Controls.h"
#include "DispatchServer.h"
#include "LocalGateway.h"
#include "ManualClock.h"
#include "MessageQueueTable.h"
#include "SendMsg.h"
#include "ServerSettings.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

/// Records the server's message boxes instead of showing them.
class RecordingNotifier : public ServerNotifier
{
public:
    struct Box
    {
        QString text;
        QString title;
        Icon icon;
    };
    void message(const QString& text, const QString& title, Icon icon) override
    {
        boxes.push_back({text, title, icon});
    }
    QList<Box> boxes;
};

ServerOptions optionsFor(TestEnvironment& env)
{
    ServerOptions options;
    options.dataDir = env.dataDir();
    QString error;
    StoreLocation::parse(env.storeUrl(), &options.store, &error);
    return options;
}

int countWithStatus(const Store& store, const QString& status)
{
    QSqlQuery query =
        store.exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue WHERE Status = ?"), {status});
    return query.next() ? query.value(0).toInt() : -1;
}

} // namespace

/// The server window: its controls, the status box, the settings it keeps, and its start-up.
class TestSendMsg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void controlsAndCaptions();
    void statusBoxPutsTheNewestLineFirst();
    void startUpWritesOffInterruptedRowsAndWarnsOfQueuedOnes();
    void rememberedAccountFillsTheBoxesOnlyWhenAsked_data();
    void rememberedAccountFillsTheBoxesOnlyWhenAsked();
    void emptyAccountBoxesAreRefused();
    void proxyBoxesFollowTheProxyBox();
    void serverSettingsAreSavedAndEndTheServer();
    void storeThatCannotBeOpenedDisablesConnect();
    void addressListRunsFromHighestToLowest();
    void windowAnswersDuringASlowUploadAndExitEndsWithinOneRequest();
    void boxesNeverWaitAndTheEndWaitsForTheLastOne();
};

void TestSendMsg::controlsAndCaptions()
{
    TestEnvironment env;
    ServerSettings settings;
    RecordingNotifier notifier;
    DispatchServer server(optionsFor(env), settings, notifier);
    SendMsg window(server, settings, notifier);
    QVERIFY(server.start());
    window.show();

    QVERIFY(window.windowTitle().startsWith(QLatin1String("Kelvra Solutions  -  Quaylink Software  -  V.")));
    const QList<std::pair<const char*, const char*>> buttons = {{"cmdConnect2", "&Connect"},
                                                                {"cmdexit2", "E&xit"},
                                                                {"Command1", "Sevrer Settings"},
                                                                {"Cmd_Save", "Save"}};
    for (const auto& [name, caption] : buttons) {
        auto* button = window.findChild<QPushButton*>(QLatin1String(name));
        QVERIFY2(button, name);
        QCOMPARE(button->text(), QLatin1String(caption));
    }
    QCOMPARE(window.findChild<QCheckBox*>("ChkIdPass")->text(), QStringLiteral("Remenber Id && PassWord"));
    QCOMPARE(window.findChild<QCheckBox*>("Chk_proxy")->text(), QStringLiteral("Proxy"));
    QCOMPARE(window.findChild<QLineEdit*>("txtUSerPassWord")->echoMode(), QLineEdit::Password);
    QCOMPARE(window.findChild<QLineEdit*>("Text3")->echoMode(), QLineEdit::Password);
    for (const char* name : {"txtUserId", "Text1", "Text2", "Text4", "TxtNewIP"})
        QVERIFY2(window.findChild<QLineEdit*>(QLatin1String(name)), name);
    auto* combo = window.findChild<QComboBox*>("Combo1");
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i)
        entries << combo->itemText(i);
    QCOMPARE(entries, (QStringList{"1", "2", "3", "4", "5", "9"}));
    QVERIFY(!window.findChild<QGroupBox*>("Frame1")->isVisible());
    QVERIFY(window.findChild<QPushButton*>("cmdConnect2")->isEnabled());
    QVERIFY(window.findChild<QLabel*>("Label3")->text().contains(u':'));
    QVERIFY(window.findChild<QLabel*>("lblSMS"));
}

void TestSendMsg::statusBoxPutsTheNewestLineFirst()
{
    TestEnvironment env;
    ServerSettings settings;
    RecordingNotifier notifier;
    DispatchServer server(optionsFor(env), settings, notifier);
    SendMsg window(server, settings, notifier);
    QVERIFY(server.start());
    window.AppendStatusLine(QStringLiteral("second"));
    window.AppendStatusLine(QStringLiteral("third"));
    QCOMPARE(window.findChild<QPlainTextEdit*>("txtMsg")->toPlainText(),
             QStringLiteral("third\n\nsecond\n\nDatabaseLoad: Success\n\n"));
}

void TestSendMsg::startUpWritesOffInterruptedRowsAndWarnsOfQueuedOnes()
{
    TestEnvironment env;
    {
        auto store = env.openStore();
        MessageQueueTable table(*store);
        for (int i = 0; i < 4; ++i)
            table.insert({QStringLiteral("981234567%1").arg(i), QStringLiteral("m%1").arg(i),
                          QStringLiteral("admin"), 1, QStringLiteral("BSE"), QStringLiteral("BROKER")});
        store->exec(QStringLiteral("UPDATE MessageQueue SET Status = 'Read' WHERE Message IN ('m0', 'm1')"));
    }
    ServerSettings settings;
    RecordingNotifier notifier;
    DispatchServer server(optionsFor(env), settings, notifier);
    QVERIFY(server.start());
    auto store = env.openStore();
    QCOMPARE(countWithStatus(*store, QStringLiteral("Deleted")), 2);
    QCOMPARE(countWithStatus(*store, QStringLiteral("Queued")), 2);
    QCOMPARE(notifier.boxes.size(), 1);
    QCOMPARE(notifier.boxes[0].text,
             QStringLiteral("Messages are in Queued, Please check Message Queue before connect the server"));
    QCOMPARE(notifier.boxes[0].title, QStringLiteral("Kelvra Solutions"));

    // Exit puts rows left "Read" back in the queue.
    store->exec(QStringLiteral("UPDATE MessageQueue SET Status = 'Read' WHERE Message = 'm2'"));
    QSignalSpy finished(&server, &DispatchServer::finished);
    server.exitServer();
    QCOMPARE(finished.size(), 1);
    QCOMPARE(countWithStatus(*store, QStringLiteral("Queued")), 2);
    QCOMPARE(countWithStatus(*store, QStringLiteral("Read")), 0);
}

void TestSendMsg::rememberedAccountFillsTheBoxesOnlyWhenAsked_data()
{
    QTest::addColumn<bool>("remember");
    QTest::newRow("remembered") << true;
    QTest::newRow("not remembered") << false;
}

void TestSendMsg::rememberedAccountFillsTheBoxesOnlyWhenAsked()
{
    QFETCH(bool, remember);
    TestEnvironment env;
    ServerSettings settings;
    settings.setUserId(QStringLiteral("broker1"));
    settings.setPassword(QStringLiteral("s3cret"));
    settings.setRememberIdPassword(remember);
    RecordingNotifier notifier;
    DispatchServer server(optionsFor(env), settings, notifier);
    QVERIFY(server.start());
    SendMsg window(server, settings, notifier);
    QCOMPARE(window.findChild<QLineEdit*>("txtUserId")->text(),
             remember ? QStringLiteral("broker1") : QString());
    QCOMPARE(window.findChild<QLineEdit*>("txtUSerPassWord")->text(),
             remember ? QStringLiteral("s3cret") : QString());
    QCOMPARE(window.findChild<QCheckBox*>("ChkIdPass")->isChecked(), remember);

    // Clicking the box remembers its state at once.
    window.show();
    ClickControl(&window, "ChkIdPass");
    QCOMPARE(ServerSettings().rememberIdPassword(), !remember);
}

void TestSendMsg::emptyAccountBoxesAreRefused()
{
    TestEnvironment env;
    ServerSettings settings;
    RecordingNotifier notifier;
    DispatchServer server(optionsFor(env), settings, notifier);
    SendMsg window(server, settings, notifier);
    QVERIFY(server.start());
    window.show();
    auto* connectButton = window.findChild<QPushButton*>("cmdConnect2");
    QTest::mouseClick(connectButton, Qt::LeftButton);
    QCOMPARE(notifier.boxes.size(), 1);
    QCOMPARE(notifier.boxes[0].text, QStringLiteral("Empty: Userid"));
    QCOMPARE(notifier.boxes[0].title, QStringLiteral("Quaylink"));
    QCOMPARE(notifier.boxes[0].icon, ServerNotifier::Icon::Question);
    QTest::keyClicks(window.findChild<QLineEdit*>("txtUserId"), QStringLiteral("broker1"));
    QTest::mouseClick(connectButton, Qt::LeftButton);
    QCOMPARE(notifier.boxes.size(), 2);
    QCOMPARE(notifier.boxes[1].text, QStringLiteral("Empty: UserPassword"));
    QVERIFY(connectButton->isEnabled());
}

void TestSendMsg::proxyBoxesFollowTheProxyBox()
{
    TestEnvironment env;
    ServerSettings settings;
    RecordingNotifier notifier;
    DispatchServer server(optionsFor(env), settings, notifier);
    SendMsg window(server, settings, notifier);
    QVERIFY(server.start());
    window.show();
    auto* proxyBox = window.findChild<QGroupBox*>("Frm_proxy");
    QVERIFY(!proxyBox->isEnabled());
    ClickControl(&window, "Chk_proxy");
    QVERIFY(proxyBox->isEnabled());
    QTest::keyClicks(window.findChild<QLineEdit*>("Text2"), QStringLiteral("10.0.0.5"));
    QTest::keyClicks(window.findChild<QLineEdit*>("Text1"), QStringLiteral("3128"));
    QTest::keyClicks(window.findChild<QLineEdit*>("Text4"), QStringLiteral("squid"));
    const ServerSettings::Proxy saved = ServerSettings().proxy();
    QVERIFY(saved.enabled);
    QCOMPARE(saved.address, QStringLiteral("10.0.0.5"));
    QCOMPARE(saved.port, QStringLiteral("3128"));
    QCOMPARE(saved.userName, QStringLiteral("squid"));
}

void TestSendMsg::serverSettingsAreSavedAndEndTheServer()
{
    TestEnvironment env;
    ServerSettings settings;
    RecordingNotifier notifier;
    DispatchServer server(optionsFor(env), settings, notifier);
    SendMsg window(server, settings, notifier);
    QVERIFY(server.start());
    window.show();
    ClickControl(&window, "Command1");
    QVERIFY(window.findChild<QGroupBox*>("Frame1")->isVisible());
    QVERIFY(!window.findChild<QGroupBox*>("fmConnect")->isEnabled());
    auto* combo = window.findChild<QComboBox*>("Combo1");
    auto* address = window.findChild<QLineEdit*>("TxtNewIP");
    QCOMPARE(combo->currentText(), QStringLiteral("1"));
    QVERIFY(!address->isEnabled());
    combo->setCurrentText(QStringLiteral("9"));
    QVERIFY(address->isEnabled());
    QTest::keyClicks(address, QStringLiteral(" 127.0.0.1:8080 "));

    QSignalSpy finished(&server, &DispatchServer::finished);
    ClickControl(&window, "Cmd_Save");
    QCOMPARE(notifier.boxes.last().text,
             QStringLiteral("Save Sucessfully\r\n\r\n!! Restart Server Again !!"));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(ServerSettings().serverNumber(), QStringLiteral("9"));
    QCOMPARE(ServerSettings().server9Address(), QStringLiteral("127.0.0.1:8080"));
}

void TestSendMsg::storeThatCannotBeOpenedDisablesConnect()
{
    TestEnvironment env;
    ServerOptions options = optionsFor(env);
    QString error;
    QVERIFY(
        StoreLocation::parse(QStringLiteral("postgresql://q:pw@127.0.0.1:1/none"), &options.store, &error));
    ServerSettings settings;
    RecordingNotifier notifier;
    DispatchServer server(options, settings, notifier);
    SendMsg window(server, settings, notifier);
    QVERIFY(server.start());
    const QString status = window.findChild<QPlainTextEdit*>("txtMsg")->toPlainText();
    QVERIFY2(status.startsWith(QLatin1String("DatabaseLoad: Fail\n\nDatabaseError: ")), qPrintable(status));
    QCOMPARE(status.count(QLatin1String("DatabaseError: ")), 2);
    QVERIFY(!window.findChild<QPushButton*>("cmdConnect2")->isEnabled());
}

void TestSendMsg::addressListRunsFromHighestToLowest()
{
    QCOMPARE(DispatchServer::buildAddressList({0x7F000001u, 0xC0A80102u, 0x0A000005u}),
             QStringLiteral("192.168.1.2,127.0.0.1,10.0.0.5,"));
    QCOMPARE(DispatchServer::buildAddressList({}), QString());
}

void TestSendMsg::windowAnswersDuringASlowUploadAndExitEndsWithinOneRequest()
{
    TestEnvironment env;
    auto store = env.openStore();
    std::vector<QueuedMessage> rows;
    for (int i = 0; i < 40; ++i) {
        QString text; // no repeats, so that the upload takes several chunks
        for (int c = 0; c < 150; ++c)
            text += QChar(u'A' + (i * 7919 + c * c * 31 + c * i) % 57);
        rows.push_back({QStringLiteral("98%1").arg(i, 8, 10, QLatin1Char('0')), text.remove(u'\''),
                        QStringLiteral("admin"), 1, QStringLiteral("BSE"), QStringLiteral("BROKER")});
    }
    MessageQueueTable(*store).insertAll(rows);
    LocalGateway gateway(QStringLiteral(GATEWAY_SIM_EXE), env,
                         {QStringLiteral("--delay-ms"), QStringLiteral("300"), QStringLiteral("--delay-page"),
                          QStringLiteral("chunk")});
    ServerOptions options = optionsFor(env);
    options.userId = QStringLiteral("demo");
    options.password = QStringLiteral("demo");
    options.serverNumber = 9;
    options.gateway = gateway.address();
    ServerSettings settings;
    RecordingNotifier notifier;
    ManualClock clock;
    DispatchServer server(options, settings, notifier, clock);
    QVERIFY(server.start());
    SendMsg window(server, settings, notifier);
    window.show();

    ClickControl(&window, "cmdConnect2");
    clock.advance(500); // the first attempt of the server search
    QTRY_VERIFY(server.isDispatching());
    clock.advance(1000); // the dispatch timer
    clock.advance(100);  // the check of the known server
    const auto chunkRequests = [&] {
        int chunks = 0;
        for (const QJsonObject& request : gateway.log(QStringLiteral("request")))
            chunks += request.value(QLatin1String("page")).toString() == QLatin1String("PostDataZSM.ASP");
        return chunks;
    };
    QTRY_VERIFY(chunkRequests() >= 1);

    // The window still paints while the chunk's reply is awaited.
    struct PaintCounter : QObject
    {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    QWidget* status = window.findChild<QPlainTextEdit*>("txtMsg")->viewport();
    status->installEventFilter(&counter);
    status->update();
    QTRY_VERIFY(counter.paints > 0);
    QCOMPARE(countWithStatus(*store, QStringLiteral("Read")), 40);

    QSignalSpy finished(&server, &DispatchServer::finished);
    const int requestsAtExit = chunkRequests();
    ClickControl(&window, "cmdexit2");
    QTRY_COMPARE(finished.size(), 1);
    QCOMPARE(chunkRequests(), requestsAtExit);
    // The upload never completed: its rows are back in the queue.
    QCOMPARE(countWithStatus(*store, QStringLiteral("Queued")), 40);
}

void TestSendMsg::boxesNeverWaitAndTheEndWaitsForTheLastOne()
{
    QWidget window;
    WindowNotifier notifier;
    notifier.setParent(&window);
    int ends = 0;
    notifier.whenBoxesClosed([&] { ++ends; });
    QCOMPARE(ends, 1);

    // Each call returns with its box up; a box already up is not shown twice.
    notifier.message(QStringLiteral("Send Fail!"), {}, ServerNotifier::Icon::None);
    notifier.message(QStringLiteral("Send Fail!"), {}, ServerNotifier::Icon::None);
    notifier.message(QStringLiteral("Queued"), QStringLiteral("Kelvra Solutions"),
                     ServerNotifier::Icon::Information);
    const QList<QMessageBox*> boxes = window.findChildren<QMessageBox*>();
    QCOMPARE(boxes.size(), 2);
    QCOMPARE(boxes[0]->windowTitle(), QStringLiteral("Quaylink"));
    QCOMPARE(boxes[1]->icon(), QMessageBox::Information);
    QVERIFY(boxes[0]->isVisible() && boxes[0]->isModal());

    notifier.whenBoxesClosed([&] { ++ends; });
    boxes[0]->accept();
    QCOMPARE(ends, 1);
    boxes[1]->reject();
    QCOMPARE(ends, 2);
    QVERIFY(!notifier.hasOpenBoxes());
}

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TestSendMsg test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_sendmsg.moc"
