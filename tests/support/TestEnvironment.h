#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class Store;

/// One test's own world: a fresh application folder and XDG_CONFIG_HOME, and fresh stores on the
/// engine the test runs on: KELVRA_TEST_ENGINE=postgres takes a new database on the server
/// KELVRA_PG_URL names; otherwise SQLite.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    static bool onPostgres();

    QString dataDir() const;
    QString path(const QString& name) const;

    /// The URL of this test's store: SMSDB.db in the folder, or a database of its own.
    QString storeUrl();
    /// A further, separate store (an empty database or a file beside the first).
    QString newStoreUrl();

    std::unique_ptr<Store> openStore();

    /// The environment for a child process: this folder, this XDG_CONFIG_HOME, this store.
    QProcessEnvironment processEnvironment();

private:
    QTemporaryDir m_dir;
    QString m_storeUrl;
    QStringList m_databases;
};
