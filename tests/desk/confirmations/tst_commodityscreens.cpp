#include "ClientTable.h"
#include "DeskScreens.h"
#include "ScreenFixture.h"
#include "TextGrid.h"
#include "TradeScreen.h"
#include "mdimain.h"

#include <QAction>
#include <QClipboard>
#include <QDialog>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QTabWidget>

/// The MCX and NCDEX screens through their controls, as the main window opens them: what they show,
/// when they confirm, and what they copy.
class TestCommodityScreens : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void readGenerateSendAndCopy_data();
    void readGenerateSendAndCopy();

private:
    std::unique_ptr<ScreenFixture> m_fixture;
};

void TestCommodityScreens::init()
{
    m_fixture = std::make_unique<ScreenFixture>(QStringLiteral("desk1"));
    ClientTable(m_fixture->store())
        .insert({0, QStringLiteral("Ravi"), QStringLiteral("9811111111"), QStringLiteral("C001"), QString()});
}

void TestCommodityScreens::cleanup()
{
    m_fixture.reset();
}

void TestCommodityScreens::readGenerateSendAndCopy_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("screenName");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("dialog");
    QTest::addColumn<QByteArray>("trades");
    // The delivered positions: C reads code 6, script 1, rate 5, qty 4, flag 3, month 2; D reads code
    // 2, script 3, month 4, flag 5, qty 6, rate 7.
    QTest::newRow("frmCommodity") << "m_sms_commodity"
                                  << "frmCommodity"
                                  << "Commodity Trade"
                                  << "dlgMCXConfig"
                                  << QByteArray("T1,GOLDM,05FEB2027,1,10,72150.5,C001,x,x,MCX,1\n"
                                                "T2,ZINC,31DEC2026,2,5000,254,C001,x,x,MCX,1\n");
    QTest::newRow("frmNcdex") << "m_sms_ncdex"
                              << "frmNcdex"
                              << "NCDEX"
                              << "dlgncdexconfig"
                              << QByteArray("T1|x|C001|GOLDM|05FEB2027|1|10|72150.5|x|x|NCDEX\n"
                                            "T2|x|C001|ZINC|31DEC2026|2|5000|254|x|x|NCDEX\n");
}

void TestCommodityScreens::readGenerateSendAndCopy()
{
    QFETCH(QString, entry);
    QFETCH(QString, screenName);
    QFETCH(QString, caption);
    QFETCH(QString, dialog);
    QFETCH(QByteArray, trades);
    mdimain main(m_fixture->session(), m_fixture->prompter(),
                 makeDeskScreens(m_fixture->session(), m_fixture->prompter()));
    main.show();
    Control<QAction>(&main, entry)->trigger();
    auto* screen = qobject_cast<TradeScreen*>(main.screen(screenName));
    QVERIFY(screen);
    QCOMPARE(screen->windowTitle(), caption);
    QCOMPARE(Control<QPushButton>(screen, QStringLiteral("cmdbrow"))->text(), QStringLiteral("Open Files"));
    QVERIFY(!screen->findChild<QLineEdit*>(QStringLiteral("txtprefix")));
    auto* msf1 = Control<TextGrid>(screen, QStringLiteral("msf1"));
    auto* msfmessage = Control<TextGrid>(screen, QStringLiteral("msfmessage"));
    QCOMPARE(msf1->headerText(msf1->columnCount() - 1), QStringLiteral("Month"));

    ClickControl(screen, QStringLiteral("cmdConfigure"));
    auto* settings = main.findChild<QDialog*>(dialog);
    QVERIFY2(settings, qPrintable(dialog));
    settings->close();
    QTRY_VERIFY(!main.findChild<QDialog*>(dialog));

    screen->GetFiles({m_fixture->writeFile(QStringLiteral("trades.txt"), trades)});
    ClickControl(screen, QStringLiteral("cmdReadFile"));
    QCOMPARE(msf1->rowCount(), 2);
    QCOMPARE(msf1->text(0, 0), QString());
    QCOMPARE(msf1->text(0, 3), QStringLiteral("72150.50"));

    // Ctrl+C puts the current cell on the clipboard, in either grid.
    msf1->setCurrentIndex(msf1->model()->index(1, 2));
    QTest::keyClick(msf1, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("ZINC"));

    // A press with an empty grid takes a batch number and confirms nothing.
    ClickControl(screen, QStringLiteral("cmdSendMessage"));
    QCOMPARE(m_fixture->takeMessageTexts(), QStringList());
    QCOMPARE(m_fixture->session().CurrentBatchNo(), 1);

    ClickControl(screen, QStringLiteral("cmdGenMessage"));
    QCOMPARE(msfmessage->rowCount(), 1);
    const QString text =
        QStringLiteral("Dear Ravi,  C001: GOLDM FEB Buy 10@72150.50, ZINC DEC Sell 5000@254.00, ");
    QCOMPARE(msfmessage->text(0, 2), text);
    msfmessage->setCurrentIndex(msfmessage->model()->index(0, 1));
    QTest::keyClick(msfmessage, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("9811111111"));

    ClickControl(screen, QStringLiteral("cmdSendMessage"));
    QCOMPARE(m_fixture->messages().size(), 1);
    const PromptMessage shown = m_fixture->messages().first();
    QCOMPARE(shown.text, QStringLiteral("Messages Placed in Queue - Pls. Run Server to Dispatch Message"));
    QCOMPARE(shown.title, caption);
    QCOMPARE(shown.icon, PromptMessage::Icon::Information);
    QCOMPARE(msfmessage->rowCount(), 0);
    QSqlQuery queued =
        m_fixture->store().exec(QStringLiteral("SELECT AppID, BatchNo, Message FROM MessageQueue"));
    QVERIFY(queued.next());
    QCOMPARE(queued.value(0).toString(), QStringLiteral("MCX"));
    QCOMPARE(queued.value(1).toLongLong(), 2);
    QCOMPARE(queued.value(2).toString(), text);
    QVERIFY(!queued.next());

    // Generating again the same day finds the text queued already, and says so.
    ClickControl(screen, QStringLiteral("cmdGenMessage"));
    QCOMPARE(msfmessage->rowCount(), 0);
    QCOMPARE(m_fixture->messages().size(), 2);
    const PromptMessage leftOut = m_fixture->messages().last();
    QCOMPARE(
        leftOut.text,
        QStringLiteral("1 message was left out: it was queued today already for the same mobile number."));
    QCOMPARE(leftOut.title, caption);
    QCOMPARE(leftOut.icon, PromptMessage::Icon::Information);
}

QTEST_MAIN(TestCommodityScreens)
#include "tst_commodityscreens.moc"
