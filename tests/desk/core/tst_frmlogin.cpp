#include "ManualTicker.h"
#include "ScreenFixture.h"
#include "UserTable.h"
#include "frmlogin.h"
#include "mdimain.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

/// The login window: the check against the users, the password change and the one-minute limit.
class TestFrmLogin : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void startsOnTheLoginPanelWithTheDefaults();
    void login_data();
    void login();
    void emptyBoxesStopWithoutChecking();
    void timeLimitCountsDownAndEndsTheProgram();
    void changePanelPausesTheLimitWithoutResettingIt();
    void changePassword_data();
    void changePassword();
    void exitClosesTheStoreAndEndsTheProgram();

private:
    template <typename T>
    T* child(const char* name)
    {
        return Control<T>(m_login, QLatin1String(name));
    }
    void click(const char* name) { ClickControl(m_login, QLatin1String(name)); }
    void type(const char* name, const QString& text) { child<QLineEdit>(name)->setText(text); }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<mdimain> m_main;
    ManualTicker* m_ticker = nullptr;
    QPointer<frmlogin> m_login;
};

void TestFrmLogin::init()
{
    m_fixture = std::make_unique<ScreenFixture>(QString()); // nobody has signed in yet
    UserTable(m_fixture->store())
        .insert({QStringLiteral("ravi"), QStringLiteral("Secret'1"), QStringLiteral("Y")});
    m_ticker = new ManualTicker;
    m_login = new frmlogin(
        m_fixture->session(),
        [this] {
            // A stand-in user screen, so that the entry follows the login's verdict alone.
            ScreenCatalog catalog;
            catalog.add(QStringLiteral("frmUserMaster"), [] { return new QWidget; });
            m_main = std::make_unique<mdimain>(m_fixture->session(), m_fixture->prompter(), catalog);
            return m_main.get();
        },
        m_ticker);
    m_login->show();
}

void TestFrmLogin::cleanup()
{
    delete m_login;
    m_main.reset();
    m_fixture.reset();
}

void TestFrmLogin::startsOnTheLoginPanelWithTheDefaults()
{
    QVERIFY(child<QWidget>("Frame1")->isVisible());
    QVERIFY(!child<QWidget>("Frame2")->isVisible());
    QCOMPARE(child<QLineEdit>("txtusername")->text(), QStringLiteral("admin"));
    QCOMPARE(child<QLineEdit>("txtpassword")->echoMode(), QLineEdit::Password);
    QCOMPARE(child<QProgressBar>("ProgressBar1")->maximum(), 60);
    QVERIFY(m_ticker->isActive());
    QCOMPARE(child<QPushButton>("cmdchangepass")->text(), QStringLiteral("&Change Password "));
}

void TestFrmLogin::login_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<bool>("userMaster");
    QTest::newRow("delivered admin") << "admin"
                                     << "sesam" << true << true;
    QTest::newRow("admin in capitals") << "ADMIN"
                                       << "sesam" << true << true;
    QTest::newRow("other user, quote in password") << "Ravi"
                                                   << "Secret'1" << true << false;
    QTest::newRow("password compared exactly") << "admin"
                                               << "SESAM" << false << false;
    QTest::newRow("unknown user") << "nobody"
                                  << "sesam" << false << false;
    QTest::newRow("quote in name") << "o'brien"
                                   << "x" << false << false;
}

void TestFrmLogin::login()
{
    QFETCH(QString, name);
    QFETCH(QString, password);
    QFETCH(bool, accepted);
    QFETCH(bool, userMaster);

    type("txtusername", name);
    type("txtpassword", password);
    click("cmdlogin");

    if (!accepted) {
        QVERIFY(!m_main);
        QVERIFY(m_login->isVisible());
        QCOMPARE(child<QLineEdit>("txtusername")->text(), QString());
        QCOMPARE(child<QLineEdit>("txtpassword")->text(), QString());
        QVERIFY(m_fixture->messages().isEmpty());
        return;
    }
    QVERIFY(m_main);
    QVERIFY(m_main->isVisible());
    QVERIFY(!m_login->isVisible());
    QCOMPARE(m_fixture->session().CurrentUserName(), name);
    QCOMPARE(m_main->findChild<QAction*>(QStringLiteral("m_mast_user"))->isEnabled(), userMaster);
    QVERIFY(!m_ticker->isActive());
}

void TestFrmLogin::emptyBoxesStopWithoutChecking()
{
    type("txtpassword", QString());
    click("cmdlogin");
    QVERIFY(!m_main);
    QCOMPARE(child<QLineEdit>("txtusername")->text(), QStringLiteral("admin"));
    type("txtusername", QString());
    type("txtpassword", QStringLiteral("sesam"));
    click("cmdlogin");
    QVERIFY(!m_main);
    QCOMPARE(child<QLineEdit>("txtpassword")->text(), QStringLiteral("sesam"));
}

void TestFrmLogin::timeLimitCountsDownAndEndsTheProgram()
{
    QSignalSpy ended(m_login.data(), &frmlogin::programEnded);
    m_ticker->fire();
    QCOMPARE(child<QLabel>("Label4")->text(), QStringLiteral("Time left : \n59"));
    QCOMPARE(child<QProgressBar>("ProgressBar1")->value(), 1);
    m_ticker->fire(58);
    QCOMPARE(child<QLabel>("Label4")->text(), QStringLiteral("Time left : \n1"));
    QCOMPARE(ended.count(), 0);
    QVERIFY(m_fixture->store().isOpen());
    m_ticker->fire();
    QCOMPARE(ended.count(), 1);
    QCOMPARE(child<QLabel>("Label4")->text(), QStringLiteral("Time left : \n0"));
    QVERIFY(!m_fixture->store().isOpen());
    QVERIFY(!m_login->isVisible());
}

void TestFrmLogin::changePanelPausesTheLimitWithoutResettingIt()
{
    QSignalSpy ended(m_login.data(), &frmlogin::programEnded);
    m_ticker->fire(40);
    click("cmdchgpass");
    QVERIFY(!child<QWidget>("Frame1")->isVisible());
    QVERIFY(child<QWidget>("Frame2")->isVisible());
    QCOMPARE(child<QLineEdit>("txtusername")->text(), QString());
    m_ticker->fire(100);
    QCOMPARE(ended.count(), 0);
    QCOMPARE(child<QProgressBar>("ProgressBar1")->value(), 40);

    type("txtusername1", QStringLiteral("admin"));
    click("cmdReturn");
    QCOMPARE(child<QLineEdit>("txtusername1")->text(), QString());
    QVERIFY(child<QWidget>("Frame1")->isVisible());
    m_ticker->fire(19);
    QCOMPARE(ended.count(), 0);
    QCOMPARE(child<QLabel>("Label4")->text(), QStringLiteral("Time left : \n1"));
    m_ticker->fire();
    QCOMPARE(ended.count(), 1);
}

void TestFrmLogin::changePassword_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("current");
    QTest::addColumn<QString>("newPassword");
    QTest::addColumn<bool>("changed");
    QTest::newRow("right password") << "ravi"
                                    << "Secret'1"
                                    << "n3w" << true;
    QTest::newRow("name in another case") << "RAVI"
                                          << "Secret'1"
                                          << "n3w" << true;
    QTest::newRow("wrong password") << "ravi"
                                    << "secret'1"
                                    << "n3w" << false;
    QTest::newRow("new password missing") << "ravi"
                                          << "Secret'1"
                                          << "" << false;
}

void TestFrmLogin::changePassword()
{
    QFETCH(QString, name);
    QFETCH(QString, current);
    QFETCH(QString, newPassword);
    QFETCH(bool, changed);

    click("cmdchgpass");
    type("txtusername1", name);
    type("txtoldpass", current);
    type("txtnewpass", newPassword);
    click("cmdchangepass");

    QCOMPARE(child<QWidget>("Frame1")->isVisible(), changed);
    QCOMPARE(child<QWidget>("Frame2")->isVisible(), !changed);
    QCOMPARE(m_ticker->isActive(), changed);
    const QString stored = UserTable(m_fixture->store()).find(QStringLiteral("ravi"))->userpass;
    QCOMPARE(stored, changed ? newPassword : QStringLiteral("Secret'1"));
    if (!changed)
        QCOMPARE(child<QLineEdit>("txtusername1")->text(), name);
    QVERIFY(m_fixture->messages().isEmpty());
}

void TestFrmLogin::exitClosesTheStoreAndEndsTheProgram()
{
    QSignalSpy ended(m_login.data(), &frmlogin::programEnded);
    click("cmdexit");
    QCOMPARE(ended.count(), 1);
    QVERIFY(!m_fixture->store().isOpen());
    QVERIFY(!m_main);
}

QTEST_MAIN(TestFrmLogin)

#include "tst_frmlogin.moc"
