#include "ClientTable.h"
#include "Store.h"
#include "StoreBackup.h"
#include "TestEnvironment.h"
#include "TestFiles.h"
#include "UserTable.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

/// The backup of the store, taken while another program keeps writing to it.
class TestStoreBackup : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void backupWhileAnotherProgramWrites();
    void failsWithoutTheDumpProgramOrFolder();
};

void TestStoreBackup::backupWhileAnotherProgramWrites()
{
    TestEnvironment env;
    auto store = env.openStore();
    ClientTable(*store).insert({0, QStringLiteral("Asha Rao"), QStringLiteral("9876543210"),
                                QStringLiteral("AR01"), QStringLiteral("asha@example.com")});
    UserTable(*store).insert({QStringLiteral("clerk"), QStringLiteral("pw"), QStringLiteral("Y")});

    // The other program queues batch after batch of 20 messages, each batch in one transaction.
    QProcess desk;
    desk.setProcessEnvironment(env.processEnvironment());
    desk.start(QStringLiteral(STORE_WORKER_EXE),
               {QStringLiteral("desk"), env.storeUrl(), QStringLiteral("100000")});
    QVERIFY(desk.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(desk.canReadLine(), 60000);

    StoreBackup backup(*store);
    const QString written = backup.backup(env.path(QStringLiteral("copy")));
    QVERIFY(desk.state() == QProcess::Running);
    desk.kill();
    desk.waitForFinished();
    QCOMPARE(written, env.path(QStringLiteral("copy")) + backup.extension());

    if (TestEnvironment::onPostgres()) {
        const QByteArray text = ReadFile(written);
        QVERIFY(text.contains("Asha Rao"));
        QVERIFY(text.contains("CREATE TABLE"));
        return;
    }
    StoreLocation location;
    QString error;
    QVERIFY(StoreLocation::parse(written, &location, &error));
    auto copy = Store::open(location);
    const QList<ClientRow> clients = ClientTable(*copy).all();
    QCOMPARE(clients.size(), 1);
    QCOMPARE(clients[0].code, QStringLiteral("AR01"));
    QVERIFY(UserTable(*copy).find(QStringLiteral("clerk")));
    QVERIFY(UserTable(*copy).find(QStringLiteral("admin")));
    QSqlQuery queued = copy->exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue"));
    QVERIFY(queued.next());
    QVERIFY(queued.value(0).toInt() > 0);
    QCOMPARE(queued.value(0).toInt() % 20, 0);
}

void TestStoreBackup::failsWithoutTheDumpProgramOrFolder()
{
    TestEnvironment env;
    auto store = env.openStore();
    StoreBackup backup(*store);
    QVERIFY_THROWS_EXCEPTION(StoreError, backup.backup(env.path(QStringLiteral("missing/copy"))));
    QVERIFY(!QFile::exists(env.path(QStringLiteral("missing"))));

    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", env.path(QStringLiteral("empty")).toUtf8());
    const QString old = env.writeFile(QStringLiteral("old") + backup.extension(), "kept");
    if (TestEnvironment::onPostgres())
        QVERIFY_THROWS_EXCEPTION(StoreError, backup.backup(env.path(QStringLiteral("old"))));
    else
        backup.backup(env.path(QStringLiteral("old"))); // needs no program of its own
    qputenv("PATH", path);
    QCOMPARE(ReadFile(old) == "kept", TestEnvironment::onPostgres());
}

QTEST_GUILESS_MAIN(TestStoreBackup)

#include "tst_storebackup.moc"
