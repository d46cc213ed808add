#include "ClientTable.h"
#include "DuplicateEntryError.h"
#include "MobileNumber.h"
#include "Store.h"
#include "TestEnvironment.h"

#include <QTest>

/// The client master's rules: the mobile-number check, the duplicate code and the prefix search.
class TestClientTable : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void mobileNumberCheck_data();
    void mobileNumberCheck();
    void duplicateCodeIgnoresBlanksAndCase_data();
    void duplicateCodeIgnoresBlanksAndCase();
    void prefixSearchTakesTheTextLiterally_data();
    void prefixSearchTakesTheTextLiterally();
};

void TestClientTable::mobileNumberCheck_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("status");
    QTest::newRow("nine digits") << "987654321"
                                 << "Invalid Mobile No";
    QTest::newRow("ten digits") << "9876543210"
                                << "OK";
    QTest::newRow("ten with a letter") << "98765a3210"
                                       << "Invalid Mobile No";
    QTest::newRow("twelve with country code") << "919876543210"
                                              << "OK";
    QTest::newRow("plus sign") << "+919876543210"
                               << "OK";
    QTest::newRow("no upper length") << "98765432109876543210"
                                     << "OK";
    QTest::newRow("inner blank") << "98765 43210"
                                 << "Invalid Mobile No";
    QTest::newRow("empty") << ""
                           << "Invalid Mobile No";
}

void TestClientTable::mobileNumberCheck()
{
    QFETCH(QString, typed);
    QFETCH(QString, status);
    QCOMPARE(MobileNumberStatus(typed), status);
}

void TestClientTable::duplicateCodeIgnoresBlanksAndCase_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("duplicate");
    QTest::newRow("same") << "AR01" << true;
    QTest::newRow("blanks around") << "  AR01 " << true;
    QTest::newRow("other case") << "ar01" << true;
    QTest::newRow("stored with blanks") << "BK02" << true;
    QTest::newRow("longer code") << "AR011" << false;
    QTest::newRow("quote") << "AR'01" << false;
}

void TestClientTable::duplicateCodeIgnoresBlanksAndCase()
{
    QFETCH(QString, code);
    QFETCH(bool, duplicate);
    TestEnvironment env;
    auto store = env.openStore();
    ClientTable clients(*store);
    clients.insert(
        {0, QStringLiteral("Asha"), QStringLiteral("9876543210"), QStringLiteral("AR01"), QString()});
    clients.insert(
        {0, QStringLiteral("Bela"), QStringLiteral("9876543211"), QStringLiteral(" BK02 "), QString()});
    // Modifying a client compares as adding one does.
    ClientRow modified{0, QStringLiteral("Cira"), QStringLiteral("9876543213"), QStringLiteral("CR03"),
                       QString()};
    modified.id = clients.insert(modified);
    modified.code = code;
    const ClientRow added{0, QStringLiteral("New"), QStringLiteral("9876543212"), code, QString()};
    if (duplicate) {
        QVERIFY_THROWS_EXCEPTION(DuplicateEntryError, clients.insert(added));
        QVERIFY_THROWS_EXCEPTION(DuplicateEntryError, static_cast<void>(clients.update(modified)));
        QCOMPARE(clients.all().size(), 3);
        QCOMPARE(clients.all().last().code, QStringLiteral("CR03"));
    } else {
        QVERIFY(clients.update(modified));
        QCOMPARE(clients.all().last().code, code);
        clients.remove(modified.id);
        const qint64 id = clients.insert(added);
        QCOMPARE(clients.all().last().id, id);
        QCOMPARE(clients.all().last().code, code);
    }
}

void TestClientTable::prefixSearchTakesTheTextLiterally_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("found");
    const int name = int(ClientTable::Column::Name);
    QTest::newRow("name prefix in table order") << name << "ra" << QStringList{"Ravi", "rajesh"};
    QTest::newRow("percent is literal") << name << "100%" << QStringList{"100% Traders"};
    QTest::newRow("underscore is literal") << name << "a_b" << QStringList{"a_b"};
    QTest::newRow("quote is literal") << name << "O'B" << QStringList{"O'Brien"};
    QTest::newRow("backslash is literal") << name << "c\\d" << QStringList{"c\\d"};
    QTest::newRow("no match") << name << "zz" << QStringList{};
    QTest::newRow("mobile prefix") << int(ClientTable::Column::Mobile) << "98" << QStringList{"Ravi", "a_b"};
    QTest::newRow("code prefix") << int(ClientTable::Column::Code) << "x" << QStringList{"rajesh"};
}

void TestClientTable::prefixSearchTakesTheTextLiterally()
{
    QFETCH(int, column);
    QFETCH(QString, prefix);
    QFETCH(QStringList, found);
    TestEnvironment env;
    auto store = env.openStore();
    ClientTable clients(*store);
    const QList<ClientRow> rows = {
        {0, QStringLiteral("Ravi"), QStringLiteral("9811111111"), QStringLiteral("R1"), QString()},
        {0, QStringLiteral("100% Traders"), QStringLiteral("7811111111"), QStringLiteral("T1"), QString()},
        {0, QStringLiteral("1000 Traders"), QStringLiteral("7811111112"), QStringLiteral("T2"), QString()},
        {0, QStringLiteral("a_b"), QStringLiteral("9822222222"), QStringLiteral("A1"), QString()},
        {0, QStringLiteral("axb"), QStringLiteral("7822222222"), QStringLiteral("A2"), QString()},
        {0, QStringLiteral("O'Brien"), QStringLiteral("7833333333"), QStringLiteral("O1"), QString()},
        {0, QStringLiteral("c\\d"), QStringLiteral("7844444444"), QStringLiteral("C1"), QString()},
        {0, QStringLiteral("cd"), QStringLiteral("7855555555"), QStringLiteral("C2"), QString()},
        {0, QStringLiteral("rajesh"), QStringLiteral("7866666666"), QStringLiteral("X9"), QString()},
    };
    QHash<qint64, QString> names;
    for (const ClientRow& row : rows)
        names.insert(clients.insert(row), row.name);

    QStringList seen;
    qint64 after = -1;
    while (const auto id = clients.findPrefix(ClientTable::Column(column), prefix, after)) {
        seen << names.value(*id);
        after = *id;
    }
    QCOMPARE(seen, found);
}

QTEST_GUILESS_MAIN(TestClientTable)

#include "tst_clienttable.moc"
