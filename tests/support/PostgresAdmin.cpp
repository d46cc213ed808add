#include "PostgresAdmin.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

void RunOnPostgresServer(const QString& adminUrl, const QString& sql)
{
    const QUrl url(adminUrl);
    const QString name = QStringLiteral("kelvra-postgres-admin");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(url.host());
        db.setPort(url.port(5432));
        db.setUserName(url.userName());
        db.setPassword(url.password());
        db.setDatabaseName(url.path().mid(1));
        if (!db.open())
            qFatal("cannot reach the PostgreSQL server: %s", qPrintable(db.lastError().text()));
        QSqlQuery query(db);
        if (!query.exec(sql))
            qFatal("%s failed: %s", qPrintable(sql), qPrintable(query.lastError().text()));
    }
    QSqlDatabase::removeDatabase(name);
}
