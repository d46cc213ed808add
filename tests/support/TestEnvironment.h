#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class Store;

/// One test's own world: a fresh application folder and XDG_CONFIG_HOME, and fresh stores on the
/// engine the test runs on: KELVRA_TEST_ENGINE=postgres takes a new database on the server
/// KELVRA_PG_URL names; none (a test registered NO_STORE) has no store to give; otherwise SQLite.
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

    /// Writes a file of this test's folder; returns its path.
    QString writeFile(const QString& name, const QByteArray& content) const;

    /// The URL of this test's store: SMSDB.db in the folder, or a database of its own.
    QString storeUrl();
    /// A further, separate store (an empty database or a file beside the first).
    QString newStoreUrl();

    std::unique_ptr<Store> openStore();

    /// Drops the index from this test's store, sets its schema version back to the one before the
    /// index came, opens the store again and returns whether the upgrade made the index anew (and the
    /// store reached the current version).
    bool upgradeRestoresIndex(const QString& index, int versionBefore);

    /// The environment for a child process: this folder, this XDG_CONFIG_HOME, this store (if the test
    /// has one).
    QProcessEnvironment processEnvironment();

private:
    QTemporaryDir m_dir;
    QString m_storeUrl;
    QStringList m_databases;
};
