#include "ScreenFixture.h"
#include "UserTable.h"
#include "dlgSearch.h"
#include "frmUserMaster.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

/// The user screen: modes, navigation, saving, protected users and the search dialog.
class TestFrmUserMaster : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void modesEnableTheirControls();
    void navigationWalksTheUsers();
    void firstOnAnEmptyTable();
    void addedUsersAreDeletableAndTheScreenStaysReady();
    void duplicateNameIsRefused();
    void modifyChangesOnlyThePassword();
    void emptyBoxesStopSave();
    void deletion_data();
    void deletion();
    void deleteAfterCancelActsOnTheStoredUser_data();
    void deleteAfterCancelActsOnTheStoredUser();
    void searchDialogShowsTheChosenUser();

private:
    void open()
    {
        m_screen = std::make_unique<frmUserMaster>(m_fixture->store(), m_fixture->prompter());
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
    QString shown() { return box("txtusername")->text(); }
    QString lastMessage() const { return m_fixture->lastMessageText(); }
    UserTable users() const { return UserTable(m_fixture->store()); }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<frmUserMaster> m_screen;
};

void TestFrmUserMaster::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    users().insert({QStringLiteral("bina"), QStringLiteral("b1"), QStringLiteral("Y")});
    users().insert({QStringLiteral("chitra"), QStringLiteral("c1"), QStringLiteral("Y")});
    open();
}

void TestFrmUserMaster::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestFrmUserMaster::modesEnableTheirControls()
{
    const QList<const char*> browse = {"cmdAdd",  "cmdModify", "cmdDelete", "cmdSearch", "cmdFirst",
                                       "cmdPrev", "cmdNext",   "cmdLast",   "cmdClose"};
    const QList<const char*> edit = {"cmdSave", "cmdCancel"};
    QCOMPARE(shown(), QString());
    for (const char* name : browse)
        QVERIFY2(button(name)->isEnabled(), name);
    for (const char* name : edit)
        QVERIFY2(!button(name)->isEnabled(), name);
    QVERIFY(!child<QGroupBox>("Frame1")->isEnabled());

    click("cmdAdd");
    for (const char* name : browse)
        QVERIFY2(!button(name)->isEnabled(), name);
    for (const char* name : edit)
        QVERIFY2(button(name)->isEnabled(), name);
    QVERIFY(child<QGroupBox>("Frame1")->isEnabled());
    QCOMPARE(child<QLabel>("lbltodel")->text(), QStringLiteral("Y"));

    box("txtusername")->setText(QStringLiteral("typed"));
    click("cmdCancel");
    QVERIFY(button("cmdAdd")->isEnabled());
    QCOMPARE(shown(), QString()); // no user was shown before Add
    QVERIFY(users().all().size() == 3);
}

void TestFrmUserMaster::navigationWalksTheUsers()
{
    click("cmdNext");
    QCOMPARE(shown(), QStringLiteral("admin"));
    QCOMPARE(box("txtpassword")->text(), QStringLiteral("sesam"));
    QVERIFY(!button("cmdDelete")->isEnabled()); // the delivered admin is protected
    click("cmdNext");
    QCOMPARE(shown(), QStringLiteral("bina"));
    QVERIFY(button("cmdDelete")->isEnabled());
    click("cmdLast");
    QCOMPARE(shown(), QStringLiteral("chitra"));
    click("cmdNext");
    QCOMPARE(shown(), QStringLiteral("chitra"));
    click("cmdPrev");
    QCOMPARE(shown(), QStringLiteral("bina"));
    click("cmdFirst");
    QCOMPARE(shown(), QStringLiteral("admin"));
    click("cmdPrev");
    QCOMPARE(shown(), QStringLiteral("admin"));
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestFrmUserMaster::firstOnAnEmptyTable()
{
    m_fixture->store().exec(QStringLiteral("DELETE FROM UserMaster"));
    open();
    box("txtusername")->setText(QStringLiteral("left over"));
    click("cmdFirst");
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(m_fixture->messages()[0].text, QStringLiteral("Your are at the begining of File"));
    QCOMPARE(m_fixture->messages()[0].title, QStringLiteral("User Master"));
    QCOMPARE(m_fixture->messages()[0].icon, PromptMessage::Icon::Information);
    QCOMPARE(shown(), QString());
    click("cmdLast");
    QCOMPARE(shown(), QString());
    QCOMPARE(m_fixture->messages().size(), 1);
}

void TestFrmUserMaster::addedUsersAreDeletableAndTheScreenStaysReady()
{
    click("cmdAdd");
    box("txtusername")->setText(QStringLiteral("dev'a"));
    box("txtpassword")->setText(QStringLiteral("d1"));
    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Record Successfully Saved"));
    QCOMPARE(m_fixture->messages().last().title, QStringLiteral("User Master"));
    QCOMPARE(shown(), QString());
    QCOMPARE(child<QLabel>("lbltodel")->text(), QStringLiteral("Y"));
    QVERIFY(button("cmdSave")->isEnabled());
    box("txtusername")->setText(QStringLiteral("esha"));
    box("txtpassword")->setText(QStringLiteral("e1"));
    click("cmdSave");
    click("cmdCancel");

    const auto stored = users().find(QStringLiteral("dev'a"));
    QVERIFY(stored);
    QCOMPARE(stored->todel, QStringLiteral("Y"));
    click("cmdLast");
    QCOMPARE(shown(), QStringLiteral("esha"));
    m_fixture->prompter().answerNext(PromptAnswer::Yes);
    click("cmdDelete");
    QVERIFY(!users().find(QStringLiteral("esha")));
    QCOMPARE(shown(), QStringLiteral("dev'a"));
}

void TestFrmUserMaster::duplicateNameIsRefused()
{
    click("cmdAdd");
    box("txtusername")->setText(QStringLiteral("BINA"));
    box("txtpassword")->setText(QStringLiteral("x"));
    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Duplicate User Name"));
    QCOMPARE(m_fixture->messages().last().icon, PromptMessage::Icon::Information);
    QCOMPARE(m_fixture->messages().last().title, QStringLiteral("User Master"));
    QVERIFY(button("cmdSave")->isEnabled());
    QCOMPARE(users().find(QStringLiteral("bina"))->userpass, QStringLiteral("b1"));
    QCOMPARE(users().all().size(), 3);
}

void TestFrmUserMaster::modifyChangesOnlyThePassword()
{
    click("cmdModify");
    QCOMPARE(lastMessage(), QStringLiteral("Can not open Blank Record"));
    QVERIFY(button("cmdAdd")->isEnabled());

    click("cmdLast");
    click("cmdModify");
    QVERIFY(box("txtusername")->isReadOnly());
    box("txtpassword")->setText(QStringLiteral("c2"));
    click("cmdSave");
    QCOMPARE(lastMessage(), QStringLiteral("Record Successfully Saved"));
    QVERIFY(button("cmdAdd")->isEnabled());
    QVERIFY(!child<QGroupBox>("Frame1")->isEnabled());
    QCOMPARE(users().find(QStringLiteral("chitra"))->userpass, QStringLiteral("c2"));
    click("cmdPrev");
    click("cmdNext");
    QCOMPARE(box("txtpassword")->text(), QStringLiteral("c2"));
}

void TestFrmUserMaster::emptyBoxesStopSave()
{
    click("cmdAdd");
    box("txtusername")->setText(QStringLiteral("farah"));
    click("cmdSave");
    box("txtusername")->clear();
    box("txtpassword")->setText(QStringLiteral("x"));
    click("cmdSave");
    QVERIFY(m_fixture->messages().isEmpty());
    QVERIFY(!users().find(QStringLiteral("farah")));
}

void TestFrmUserMaster::deletion_data()
{
    QTest::addColumn<int>("nexts");
    QTest::addColumn<int>("answer");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("deleted");
    QTest::newRow("blank") << 0 << int(PromptAnswer::Yes) << "Unable to Delete Blank Record !!!"
                           << "User Master" << false;
    QTest::newRow("protected") << 1 << int(PromptAnswer::Yes) << "This User Can not be Deleted"
                               << "User master" << false;
    QTest::newRow("answered no") << 2 << int(PromptAnswer::No) << "Record Exists"
                                 << "User Master" << false;
    QTest::newRow("answered yes") << 2 << int(PromptAnswer::Yes) << "Want to Delete"
                                  << "User Master" << true;
}

void TestFrmUserMaster::deletion()
{
    QFETCH(int, nexts);
    QFETCH(int, answer);
    QFETCH(QString, message);
    QFETCH(QString, title);
    QFETCH(bool, deleted);
    for (int i = 0; i < nexts; ++i)
        click("cmdNext");
    const QString user = shown();
    m_fixture->prompter().answerNext(PromptAnswer(answer));
    // The protected user's button is disabled; its refusal is checked all the same.
    button("cmdDelete")->setEnabled(true);
    click("cmdDelete");
    QCOMPARE(lastMessage(), message);
    QCOMPARE(m_fixture->messages().last().title, title);
    QCOMPARE(users().all().size(), deleted ? 2 : 3);
    if (deleted)
        QCOMPARE(shown(), QStringLiteral("chitra"));
    else
        QCOMPARE(shown(), user);
}

void TestFrmUserMaster::deleteAfterCancelActsOnTheStoredUser_data()
{
    QTest::addColumn<int>("nexts");
    QTest::addColumn<QString>("shownAfterCancel");
    QTest::addColumn<QString>("message");
    QTest::newRow("none shown") << 0 << ""
                                << "Unable to Delete Blank Record !!!";
    QTest::newRow("a user shown") << 2 << "bina"
                                  << "Want to Delete";
}

void TestFrmUserMaster::deleteAfterCancelActsOnTheStoredUser()
{
    QFETCH(int, nexts);
    QFETCH(QString, shownAfterCancel);
    QFETCH(QString, message);
    for (int i = 0; i < nexts; ++i)
        click("cmdNext");
    click("cmdAdd");
    box("txtusername")->setText(QStringLiteral("ADMIN"));
    click("cmdCancel");
    QCOMPARE(shown(), shownAfterCancel);
    QCOMPARE(child<QLabel>("lbltodel")->text(), shownAfterCancel.isEmpty() ? QString() : QStringLiteral("Y"));
    m_fixture->prompter().answerNext(PromptAnswer::Yes);
    button("cmdDelete")->setEnabled(true);
    click("cmdDelete");
    QCOMPARE(lastMessage(), message);
    QVERIFY(users().find(QStringLiteral("admin")));
    QCOMPARE(bool(users().find(QStringLiteral("bina"))), shownAfterCancel.isEmpty());

    // The store keeps a protected user whatever a screen asks.
    QVERIFY(!users().remove(QStringLiteral("ADMIN")));
    QVERIFY(users().find(QStringLiteral("admin")));
}

void TestFrmUserMaster::searchDialogShowsTheChosenUser()
{
    click("cmdSearch");
    auto* dialog = m_screen->findChild<dlgSearch*>();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QCOMPARE(dialog->windowTitle(), QStringLiteral("Search"));
    auto* grid = dialog->findChild<QTableWidget*>(QStringLiteral("vssearchgrid"));
    QCOMPARE(grid->rowCount(), 3);
    grid->selectRow(2);
    QCOMPARE(grid->item(2, 0)->text(), QStringLiteral("chitra"));
    ClickControl(dialog, "OKButton");
    QCOMPARE(shown(), QStringLiteral("chitra"));
    QTRY_VERIFY(!m_screen->findChild<dlgSearch*>());

    click("cmdSearch");
    dialog = m_screen->findChild<dlgSearch*>();
    ClickControl(dialog, "CancelButton");
    QCOMPARE(shown(), QStringLiteral("chitra"));
    click("cmdNext");
    QCOMPARE(shown(), QStringLiteral("chitra")); // the search moved the screen to the last user
}

QTEST_MAIN(TestFrmUserMaster)

#include "tst_frmusermaster.moc"
