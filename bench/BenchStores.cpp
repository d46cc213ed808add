#include "BenchStores.h"

#include "PostgresAdmin.h"

#include <QCoreApplication>
#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

void runAsAdmin(const QString& sql)
{
    RunOnPostgresServer(qEnvironmentVariable("KELVRA_PG_URL"), sql);
}

} // namespace

BenchStores::BenchStores() = default;

BenchStores::~BenchStores()
{
    for (const QString& database : std::as_const(m_databases))
        runAsAdmin(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(database));
}

bool BenchStores::havePostgres()
{
    return !qEnvironmentVariable("KELVRA_PG_URL").isEmpty();
}

std::unique_ptr<Store> BenchStores::fresh(Store::Engine engine, QString* storeUrl)
{
    ++m_count;
    QString url;
    if (engine == Store::Engine::Sqlite) {
        url = QDir(m_dir.path()).filePath(QStringLiteral("bench%1.db").arg(m_count));
    } else {
        const QString database =
            QStringLiteral("kelvra_bench_%1_%2").arg(QCoreApplication::applicationPid()).arg(m_count);
        runAsAdmin(QStringLiteral("CREATE DATABASE %1").arg(database));
        m_databases << database;
        QUrl pg(qEnvironmentVariable("KELVRA_PG_URL"));
        pg.setPath(u'/' + database);
        url = pg.toString();
    }
    StoreLocation location;
    QString error;
    if (!StoreLocation::parse(url, &location, &error))
        qFatal("%s", qPrintable(error));
    if (storeUrl)
        *storeUrl = url;
    return Store::open(location);
}
