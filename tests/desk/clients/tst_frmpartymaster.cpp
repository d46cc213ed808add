#include "ClientTable.h"
#include "ScreenFixture.h"
#include "frmPartymaster.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

/// The client screen: modes, the mobile-number check, saving, deleting and the search panel.
class TestFrmPartymaster : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void modesAndNavigation();
    void firstOnAnEmptyTable();
    void mobileLabelFollowsTheBox_data();
    void mobileLabelFollowsTheBox();
    void saveValidations_data();
    void saveValidations();
    void addStaysReadyForTheNextClient();
    void duplicateCodeStoresNothing();
    void modifyWritesTheShownClient();
    void modifyOfADeletedClientSaysSo();
    void deleteAsksFirst();
    void findAndFindNext();
    void findByMobileAndCode_data();
    void findByMobileAndCode();
    void cancelClearsTheBoxes();

private:
    void open()
    {
        m_screen = std::make_unique<frmPartymaster>(m_fixture->store(), m_fixture->prompter());
        m_screen->show();
    }
    template <typename T>
    T* child(const char* name)
    {
        return Control<T>(m_screen.get(), QLatin1String(name));
    }
    QLineEdit* box(const char* name) { return child<QLineEdit>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    void click(const char* name) { ClickControl(m_screen.get(), QLatin1String(name)); }
    QString shown() { return box("txtname")->text(); }
    QString lastMessage() const { return m_fixture->lastMessageText(); }
    ClientTable clients() const { return ClientTable(m_fixture->store()); }
    void fill(const QString& name, const QString& mobile, const QString& code)
    {
        box("txtname")->setText(name);
        QTest::keyClicks(box("txtMobileNo"), mobile);
        box("txtdpid")->setText(code);
        box("txtemail")->setText(QStringLiteral("x@example.com"));
    }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<frmPartymaster> m_screen;
};

void TestFrmPartymaster::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    clients().insert(
        {0, QStringLiteral("Ravi Kumar"), QStringLiteral("9811111111"), QStringLiteral("RK01"), QString()});
    clients().insert(
        {0, QStringLiteral("Meena"), QStringLiteral("98111"), QStringLiteral("ME02"), QString()});
    clients().insert({0, QStringLiteral("ravindra"), QStringLiteral("7822222222"), QStringLiteral("RV03"),
                      QStringLiteral("rv@example.com")});
    open();
}

void TestFrmPartymaster::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestFrmPartymaster::modesAndNavigation()
{
    QCOMPARE(m_screen->windowTitle(), QStringLiteral("Client Master"));
    QVERIFY(!child<QGroupBox>("Frame1")->isEnabled());
    QVERIFY(!child<QGroupBox>("Frame2")->isVisible());
    QVERIFY(!button("cmdSave")->isEnabled());
    QVERIFY(box("txtcode")->isReadOnly());
    click("cmdLast");
    QCOMPARE(shown(), QStringLiteral("ravindra"));
    QCOMPARE(box("txtemail")->text(), QStringLiteral("rv@example.com"));
    click("cmdPrev");
    QCOMPARE(shown(), QStringLiteral("Meena"));
    QCOMPARE(child<QLabel>("lblstat")->text(), QStringLiteral("Invalid Mobile No"));
    click("cmdFirst");
    QCOMPARE(shown(), QStringLiteral("Ravi Kumar"));
    QCOMPARE(child<QLabel>("lblstat")->text(), QStringLiteral("OK"));
    QCOMPARE(box("txtdpid")->text(), QStringLiteral("RK01"));
    QVERIFY(!box("txtcode")->text().isEmpty());
    click("cmdModify");
    QVERIFY(child<QGroupBox>("Frame1")->isEnabled());
    for (const char* name : {"cmdAdd", "cmdModify", "cmdDelete", "cmdSearch", "cmdFirst", "cmdPrev",
                             "cmdNext", "cmdLast", "cmdClose"})
        QVERIFY2(!button(name)->isEnabled(), name);
    QVERIFY(button("cmdSave")->isEnabled());
    QVERIFY(button("cmdCancel")->isEnabled());
}

void TestFrmPartymaster::firstOnAnEmptyTable()
{
    m_fixture->store().exec(QStringLiteral("DELETE FROM ClientMaster"));
    open();
    click("cmdFirst");
    QCOMPARE(lastMessage(), QStringLiteral("Your are at the begining of File"));
    QCOMPARE(m_fixture->messages().last().title, QStringLiteral("Client Master"));
    click("cmdModify");
    QCOMPARE(lastMessage(), QStringLiteral("Unable to Open Blank Record"));
    click("cmdDelete");
    QCOMPARE(lastMessage(), QStringLiteral("Unable to Delete Blank Record"));
    QCOMPARE(m_fixture->messages().size(), 3);
}

void TestFrmPartymaster::mobileLabelFollowsTheBox_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("status");
    QTest::newRow("nine digits") << "987654321"
                                 << "Invalid Mobile No";
    QTest::newRow("ten digits") << "9876543210"
                                << "OK";
    QTest::newRow("ten with a letter") << "98765x3210"
                                       << "Invalid Mobile No";
    QTest::newRow("country code") << "919876543210"
                                  << "OK";
}

void TestFrmPartymaster::mobileLabelFollowsTheBox()
{
    QFETCH(QString, typed);
    QFETCH(QString, status);
    click("cmdAdd");
    QTest::keyClicks(box("txtMobileNo"), typed);
    QCOMPARE(child<QLabel>("lblstat")->text(), status);
}

void TestFrmPartymaster::saveValidations_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mobile");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("message");
    QTest::newRow("name missing") << ""
                                  << "9876543210"
                                  << "C1"
                                  << "Name Must be Entered";
    QTest::newRow("mobile invalid") << "N"
                                    << "98765"
                                    << "C1"
                                    << "Pls. Enter any Valid Mobile No";
    QTest::newRow("code of blanks") << "N"
                                    << "9876543210"
                                    << "   "
                                    << "Pls. enter Valid DP ID";
}

void TestFrmPartymaster::saveValidations()
{
    QFETCH(QString, name);
    QFETCH(QString, mobile);
    QFETCH(QString, code);
    QFETCH(QString, message);
    click("cmdAdd");
    fill(name, mobile, code);
    click("cmdSave");
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(lastMessage(), message);
    QCOMPARE(m_fixture->messages().last().title, QString());
    QCOMPARE(m_fixture->messages().last().icon, PromptMessage::Icon::Information);
    QCOMPARE(clients().all().size(), 3);
    QVERIFY(button("cmdSave")->isEnabled());
}

void TestFrmPartymaster::addStaysReadyForTheNextClient()
{
    click("cmdAdd");
    fill(QStringLiteral("Zoya"), QStringLiteral("9899999999"), QStringLiteral("ZY'09"));
    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Record Successfully Saved"));
    QCOMPARE(m_fixture->messages().last().title, QStringLiteral("Client Master"));
    QCOMPARE(shown(), QString());
    QCOMPARE(box("txtcode")->text(), QString());
    QVERIFY(button("cmdSave")->isEnabled());
    const ClientRow stored = clients().all().last();
    QCOMPARE(stored.name, QStringLiteral("Zoya"));
    QCOMPARE(stored.code, QStringLiteral("ZY'09"));
    QCOMPARE(stored.email, QStringLiteral("x@example.com"));

    fill(QStringLiteral("Yash"), QStringLiteral("9888888888"), QStringLiteral("YS10"));
    click("cmdSave");
    click("cmdCancel");
    click("cmdLast");
    QCOMPARE(shown(), QStringLiteral("Yash"));
    QCOMPARE(clients().all().size(), 5);
}

void TestFrmPartymaster::duplicateCodeStoresNothing()
{
    click("cmdAdd");
    fill(QStringLiteral("Copy"), QStringLiteral("9876543210"), QStringLiteral("  me02 "));
    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Duplicte Code Entry"));
    QCOMPARE(m_fixture->messages().last().title, QString());
    QCOMPARE(clients().all().size(), 3);
    QVERIFY(button("cmdSave")->isEnabled());
    QCOMPARE(shown(), QStringLiteral("Copy"));
}

void TestFrmPartymaster::modifyWritesTheShownClient()
{
    click("cmdNext");
    click("cmdNext");
    QCOMPARE(shown(), QStringLiteral("Meena"));
    click("cmdModify");
    box("txtMobileNo")->setText(QStringLiteral("9833333333"));
    // Another client's code is refused as on adding; the client's own, in any case, is not.
    box("txtdpid")->setText(QStringLiteral(" rk01"));
    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Duplicte Code Entry"));
    QCOMPARE(m_fixture->messages().last().title, QString());
    QVERIFY(button("cmdSave")->isEnabled());
    QCOMPARE(clients().all().at(1).code, QStringLiteral("ME02"));
    box("txtdpid")->setText(QStringLiteral("me02 "));
    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Record Successfully Saved"));
    QVERIFY(button("cmdAdd")->isEnabled());
    const ClientRow stored = clients().all().at(1);
    QCOMPARE(stored.mobile, QStringLiteral("9833333333"));
    QCOMPARE(stored.code, QStringLiteral("me02 "));
    QCOMPARE(clients().all().size(), 3);
}

void TestFrmPartymaster::modifyOfADeletedClientSaysSo()
{
    click("cmdLast");
    click("cmdModify");
    box("txtname")->setText(QStringLiteral("changed"));
    // Another desk deletes the client meanwhile.
    clients().remove(clients().all().last().id);
    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Record Not Saved, it no longer Exists"));
    QCOMPARE(m_fixture->messages().last().title, QStringLiteral("Client Master"));
    QVERIFY(button("cmdAdd")->isEnabled());
    QVERIFY(!child<QGroupBox>("Frame1")->isEnabled());
    QCOMPARE(shown(), QStringLiteral("Meena"));
    click("cmdNext");
    QCOMPARE(shown(), QStringLiteral("Meena")); // the deleted client is gone from the screen too
    QCOMPARE(clients().all().size(), 2);
}

void TestFrmPartymaster::deleteAsksFirst()
{
    click("cmdLast");
    m_fixture->prompter().answerNext(PromptAnswer::No);
    click("cmdDelete");
    QCOMPARE(lastMessage(), QStringLiteral("D E L E T E !!!"));
    QCOMPARE(m_fixture->messages().last().buttons, PromptMessage::Buttons::YesNo);
    QCOMPARE(clients().all().size(), 3);

    m_fixture->prompter().answerNext(PromptAnswer::Yes);
    click("cmdDelete");
    QCOMPARE(lastMessage(), QStringLiteral("Record Successfully Deleted"));
    QCOMPARE(clients().all().size(), 2);
    QCOMPARE(shown(), QStringLiteral("Meena"));
}

void TestFrmPartymaster::findAndFindNext()
{
    QVERIFY(!button("cmdFindNext")->isEnabled());
    click("cmdSearch");
    QVERIFY(child<QGroupBox>("Frame2")->isVisible());
    box("txtsname")->setText(QStringLiteral("RAVI"));
    click("cmdFindFirst");
    QCOMPARE(shown(), QStringLiteral("Ravi Kumar"));
    QVERIFY(button("cmdFindNext")->isEnabled());
    click("cmdFindNext");
    QCOMPARE(shown(), QStringLiteral("ravindra"));
    click("cmdFindNext");
    QCOMPARE(lastMessage(), QStringLiteral("No Record Found"));
    QCOMPARE(m_fixture->messages().last().title, QStringLiteral("Client Master"));
    QCOMPARE(shown(), QString());
    QVERIFY(!button("cmdFindNext")->isEnabled());

    box("txtsname")->setText(QStringLiteral("R%"));
    click("cmdFindFirst");
    QCOMPARE(lastMessage(), QStringLiteral("No Record Found"));
    QVERIFY(button("cmdFindNext")->isEnabled());
    box("txtsname")->setText(QStringLiteral("Meena' OR 'x'='x"));
    click("cmdFindFirst");
    QCOMPARE(m_fixture->messages().size(), 3);
    QCOMPARE(shown(), QString());

    click("cmdSearch");
    QVERIFY(!child<QGroupBox>("Frame2")->isVisible());
}

void TestFrmPartymaster::findByMobileAndCode_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("mobile");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("found");
    QTest::newRow("mobile prefix") << ""
                                   << "78"
                                   << ""
                                   << "ravindra";
    QTest::newRow("code prefix") << ""
                                 << ""
                                 << "me"
                                 << "Meena";
    QTest::newRow("name decides first") << "Meena"
                                        << "78"
                                        << ""
                                        << "Meena";
}

void TestFrmPartymaster::findByMobileAndCode()
{
    QFETCH(QString, name);
    QFETCH(QString, mobile);
    QFETCH(QString, code);
    QFETCH(QString, found);
    click("cmdSearch");
    box("txtsname")->setText(name);
    box("txtsMobile")->setText(mobile);
    box("txtscode")->setText(code);
    click("cmdFindFirst");
    QCOMPARE(shown(), found);
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestFrmPartymaster::cancelClearsTheBoxes()
{
    click("cmdFirst");
    click("cmdModify");
    box("txtname")->setText(QStringLiteral("changed"));
    click("cmdCancel");
    QCOMPARE(shown(), QString());
    QCOMPARE(box("txtcode")->text(), QString());
    QVERIFY(button("cmdAdd")->isEnabled());
    QCOMPARE(clients().all().first().name, QStringLiteral("Ravi Kumar"));
}

QTEST_MAIN(TestFrmPartymaster)

#include "tst_frmpartymaster.moc"
