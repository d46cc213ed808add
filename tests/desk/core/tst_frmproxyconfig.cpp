#include "ProxyConfigRow.h"
#include "ScreenFixture.h"
#include "frmProxyConfig.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

/// The configuration screen over the proxyconfig row.
class TestFrmProxyConfig : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();
    void opensFromTheStoredRow_data();
    void opensFromTheStoredRow();
    void optionsEnableTheirPanelsAndClearBoxes();
    void validations_data();
    void validations();
    void savingWithoutProxyStoresNeutralValues();
    void savingWithProxyStoresEveryColumn();
    void superUserWaitsForTheNextStart();
    void unlistedFileTypeIsKeptUnlessAnotherIsPicked_data();
    void unlistedFileTypeIsKeptUnlessAnotherIsPicked();

private:
    void open()
    {
        m_screen = std::make_unique<frmProxyConfig>(m_fixture->session(), m_fixture->prompter());
        m_screen->show();
    }
    template <typename T>
    T* child(const char* name)
    {
        return Control<T>(m_screen.get(), QLatin1String(name));
    }
    QLineEdit* box(const char* name) { return child<QLineEdit>(name); }
    void click(const char* name) { ClickControl(m_screen.get(), QLatin1String(name)); }
    ProxyConfigRow config() const { return ProxyConfigRow(m_fixture->store()); }
    ProxyConfigRow::Values stored() const { return config().read(); }

    std::unique_ptr<ScreenFixture> m_fixture;
    std::unique_ptr<frmProxyConfig> m_screen;
};

void TestFrmProxyConfig::init()
{
    m_fixture = std::make_unique<ScreenFixture>();
    m_fixture->session().LoadStartupSettings();
}

void TestFrmProxyConfig::cleanup()
{
    m_screen.reset();
    m_fixture.reset();
}

void TestFrmProxyConfig::opensFromTheStoredRow_data()
{
    QTest::addColumn<QString>("useproxy");
    QTest::addColumn<int>("proxyver");
    QTest::addColumn<bool>("useChecked");
    QTest::addColumn<bool>("version5");
    QTest::newRow("no proxy") << "N" << 0 << false << false;
    QTest::newRow("proxy, version 4") << "Y" << 4 << true << false;
    QTest::newRow("proxy, version 5") << "Y" << 5 << true << true;
    QTest::newRow("proxy, odd version") << "Y" << 3 << true << false;
}

void TestFrmProxyConfig::opensFromTheStoredRow()
{
    QFETCH(QString, useproxy);
    QFETCH(int, proxyver);
    QFETCH(bool, useChecked);
    QFETCH(bool, version5);
    ProxyConfigRow::Values values = stored();
    values.useproxy = useproxy;
    values.serverip = QStringLiteral("10.0.0.1");
    values.serverport = 1080;
    values.proxyver = proxyver;
    values.username = QStringLiteral("pu");
    values.password = QStringLiteral("pp");
    values.fileType = QStringLiteral("ORIN");
    values.superUser = QStringLiteral("BOSS");
    values.inpath = QStringLiteral("/in");
    values.smsuser = QStringLiteral("acct");
    values.kelvraip = QStringLiteral("127.0.0.1");
    config().write(values);
    open();

    QCOMPARE(child<QRadioButton>("opt_proxy_1")->isChecked(), useChecked);
    QCOMPARE(child<QRadioButton>("opt_proxy_0")->isChecked(), !useChecked);
    QCOMPARE(child<QGroupBox>("fm_proxyConfig")->isEnabled(), useChecked);
    QCOMPARE(child<QRadioButton>("optVer_1")->isChecked(), version5);
    QCOMPARE(child<QGroupBox>("fmauth")->isEnabled(), version5);
    QCOMPARE(box("txtservername")->text(), useChecked ? QStringLiteral("10.0.0.1") : QString());
    QCOMPARE(box("txtport")->text(), useChecked ? QStringLiteral("1080") : QString());
    QCOMPARE(box("txtusername")->text(), useChecked ? QStringLiteral("pu") : QString());
    QCOMPARE(child<QComboBox>("cmbsaudatype")->currentText(), QStringLiteral("ORIN"));
    QCOMPARE(box("txtsuperuser")->text(), QStringLiteral("BOSS"));
    QCOMPARE(box("txtinpath")->text(), QStringLiteral("/in"));
    QCOMPARE(box("txtsmsuser")->text(), QStringLiteral("acct"));
    QCOMPARE(box("txtkelvraip")->text(), QStringLiteral("127.0.0.1"));
    QCOMPARE(box("txtsmsuser")->maxLength(), 30);
    QCOMPARE(box("txtkelvraport")->maxLength(), 15);
}

void TestFrmProxyConfig::optionsEnableTheirPanelsAndClearBoxes()
{
    open();
    QVERIFY(!child<QGroupBox>("fm_proxyConfig")->isEnabled());
    click("opt_proxy_1");
    QVERIFY(child<QGroupBox>("fm_proxyConfig")->isEnabled());
    QVERIFY(!child<QGroupBox>("fmauth")->isEnabled());
    click("optVer_1");
    QVERIFY(child<QGroupBox>("fmauth")->isEnabled());
    box("txtservername")->setText(QStringLiteral("proxy"));
    box("txtport")->setText(QStringLiteral("8080"));
    box("txtusername")->setText(QStringLiteral("u"));
    box("txtpassword")->setText(QStringLiteral("p"));

    click("optVer_0");
    QVERIFY(!child<QGroupBox>("fmauth")->isEnabled());
    QCOMPARE(box("txtusername")->text(), QString());
    QCOMPARE(box("txtpassword")->text(), QString());
    QCOMPARE(box("txtservername")->text(), QStringLiteral("proxy"));

    click("opt_proxy_0");
    QVERIFY(!child<QGroupBox>("fm_proxyConfig")->isEnabled());
    QCOMPARE(box("txtservername")->text(), QString());
    QCOMPARE(box("txtport")->text(), QString());
}

void TestFrmProxyConfig::validations_data()
{
    QTest::addColumn<bool>("useProxy");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("superUser");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("title");
    QTest::newRow("proxy without server") << true << ""
                                          << "80"
                                          << "BOSS"
                                          << "Pls. Provide Serverip and port"
                                          << "";
    QTest::newRow("proxy without port") << true << "p"
                                        << ""
                                        << "BOSS"
                                        << "Pls. Provide Serverip and port"
                                        << "";
    QTest::newRow("proxy checked first") << true << ""
                                         << ""
                                         << ""
                                         << "Pls. Provide Serverip and port"
                                         << "";
    QTest::newRow("super user of blanks") << false << ""
                                          << ""
                                          << "   "
                                          << "Pls. Enter Super User Name "
                                          << "Configuration";
    QTest::newRow("port not a number") << true << "p"
                                       << "eighty"
                                       << "BOSS"
                                       << "The server port eighty is not a number"
                                       << "Configuration";
}

void TestFrmProxyConfig::validations()
{
    QFETCH(bool, useProxy);
    QFETCH(QString, server);
    QFETCH(QString, port);
    QFETCH(QString, superUser);
    QFETCH(QString, message);
    QFETCH(QString, title);
    open();
    if (useProxy)
        click("opt_proxy_1");
    box("txtservername")->setText(server);
    box("txtport")->setText(port);
    box("txtsuperuser")->setText(superUser);
    box("txtinpath")->setText(QStringLiteral("/changed"));
    click("cmdsave");
    QCOMPARE(m_fixture->messages().size(), 1);
    QCOMPARE(m_fixture->messages()[0].text, message);
    QCOMPARE(m_fixture->messages()[0].title, title);
    QCOMPARE(stored().inpath, QString());
}

void TestFrmProxyConfig::savingWithoutProxyStoresNeutralValues()
{
    ProxyConfigRow::Values values = stored();
    values.useproxy = QStringLiteral("Y");
    values.serverip = QStringLiteral("10.0.0.1");
    values.serverport = 1080;
    values.proxyver = 5;
    values.username = QStringLiteral("pu");
    config().write(values);
    open();
    QCOMPARE(box("txtservername")->text(), QStringLiteral("10.0.0.1"));
    // The boxes still hold the proxy values when the option changes by the keyboard alone.
    child<QRadioButton>("opt_proxy_0")->setChecked(true);
    click("cmdsave");

    const ProxyConfigRow::Values saved = stored();
    QCOMPARE(saved.useproxy, QStringLiteral("N"));
    QCOMPARE(saved.serverip, QString());
    QCOMPARE(saved.serverport, 0);
    QCOMPARE(saved.proxyver, 0);
    QCOMPARE(saved.username, QString());
    QCOMPARE(m_fixture->messages().last().text, QStringLiteral("Configuration Stored"));
    QCOMPARE(m_fixture->messages().last().title, QString());
    QVERIFY(m_screen->isVisible());
}

void TestFrmProxyConfig::savingWithProxyStoresEveryColumn()
{
    open();
    click("opt_proxy_1");
    click("optVer_1");
    box("txtservername")->setText(QStringLiteral("proxy.local"));
    box("txtport")->setText(QStringLiteral("3128"));
    box("txtusername")->setText(QStringLiteral("pu"));
    box("txtpassword")->setText(QStringLiteral("p'w"));
    child<QComboBox>("cmbsaudatype")->setCurrentText(QStringLiteral("ORIN"));
    box("txtsuperuser")->setText(QStringLiteral(" Chief "));
    box("txtinpath")->setText(QStringLiteral("/in"));
    box("txtoutpath")->setText(QStringLiteral("/out"));
    box("txtsmsuser")->setText(QStringLiteral("acct"));
    box("txtsmspass")->setText(QStringLiteral("pass"));
    box("txtkelvraip")->setText(QStringLiteral("127.0.0.1"));
    box("txtkelvraport")->setText(QStringLiteral("8080"));
    click("cmdsave");

    const ProxyConfigRow::Values saved = stored();
    QCOMPARE(saved.useproxy, QStringLiteral("Y"));
    QCOMPARE(saved.serverip, QStringLiteral("proxy.local"));
    QCOMPARE(saved.serverport, 3128);
    QCOMPARE(saved.proxyver, 5);
    QCOMPARE(saved.username, QStringLiteral("pu"));
    QCOMPARE(saved.password, QStringLiteral("p'w"));
    QCOMPARE(saved.fileType, QStringLiteral("ORIN"));
    QCOMPARE(saved.superUser, QStringLiteral(" Chief "));
    QCOMPARE(saved.inpath, QStringLiteral("/in"));
    QCOMPARE(saved.outpath, QStringLiteral("/out"));
    QCOMPARE(saved.smsuser, QStringLiteral("acct"));
    QCOMPARE(saved.smspass, QStringLiteral("pass"));
    QCOMPARE(saved.kelvraip, QStringLiteral("127.0.0.1"));
    QCOMPARE(saved.kelvraport, QStringLiteral("8080"));
    QCOMPARE(m_fixture->session().TradeFileType(), QStringLiteral("ORIN"));

    click("cmdcancel");
    QVERIFY(!m_screen->isVisible());
}

void TestFrmProxyConfig::superUserWaitsForTheNextStart()
{
    open();
    box("txtsuperuser")->setText(QStringLiteral("NEWBOSS"));
    click("cmdsave");
    QCOMPARE(m_fixture->session().SuperUserName(), QStringLiteral("BROKER"));
    DeskSession nextStart(m_fixture->store());
    nextStart.LoadStartupSettings();
    QCOMPARE(nextStart.SuperUserName(), QStringLiteral("NEWBOSS"));
}

void TestFrmProxyConfig::unlistedFileTypeIsKeptUnlessAnotherIsPicked_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QString>("saved");
    QTest::newRow("kept") << QString() << "NEST";
    QTest::newRow("another picked") << "ODIN"
                                    << "ODIN";
}

void TestFrmProxyConfig::unlistedFileTypeIsKeptUnlessAnotherIsPicked()
{
    QFETCH(QString, picked);
    QFETCH(QString, saved);
    ProxyConfigRow::Values values = stored();
    values.fileType = QStringLiteral("NEST");
    config().write(values);
    open();
    auto* fileTypes = child<QComboBox>("cmbsaudatype");
    QCOMPARE(fileTypes->currentText(), QStringLiteral("NEST"));
    if (!picked.isEmpty())
        fileTypes->setCurrentText(picked);
    click("cmdsave");
    QCOMPARE(stored().fileType, saved);
    QCOMPARE(m_fixture->session().TradeFileType(), saved);
}

QTEST_MAIN(TestFrmProxyConfig)

#include "tst_frmproxyconfig.moc"
