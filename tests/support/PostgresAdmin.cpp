#include "PostgresAdmin.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
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

OwnPostgresServer::OwnPostgresServer()
{
    QString out;
    if (!run(QStringLiteral("pg_throwaway_start >&2 && printf '%s\\n%s\\n%s\\n' \"$KELVRA_PG_URL\" "
                            "\"$PG_THROWAWAY_DIR\" \"$PG_THROWAWAY_BINDIR\""),
             &out))
        return;
    const QStringList values = out.split(u'\n', Qt::SkipEmptyParts);
    if (values.size() != 3) {
        m_error = QStringLiteral("the PostgreSQL server started without telling where: ") + out;
        return;
    }
    m_url = values[0];
    m_dir = values[1];
    m_bin = values[2];
}

OwnPostgresServer::~OwnPostgresServer()
{
    if (!m_dir.isEmpty())
        run(QStringLiteral("pg_throwaway_stop"));
}

bool OwnPostgresServer::restart(int downMs)
{
    if (downMs <= 0)
        return run(QStringLiteral(
            "pg_throwaway_as_owner \"$PG_THROWAWAY_BINDIR/pg_ctl\" -D \"$PG_THROWAWAY_DIR/data\" "
            "-l \"$PG_THROWAWAY_DIR/server.log\" -m fast -w restart >/dev/null"));
    if (!run(QStringLiteral(
            "pg_throwaway_as_owner \"$PG_THROWAWAY_BINDIR/pg_ctl\" -D \"$PG_THROWAWAY_DIR/data\" "
            "-m fast -w stop >/dev/null")))
        return false;
    QTest::qWait(downMs);
    const QString port = QUrl(m_url).port() > 0 ? QString::number(QUrl(m_url).port()) : QString();
    return run(
        QStringLiteral("pg_throwaway_as_owner \"$PG_THROWAWAY_BINDIR/pg_ctl\" -D \"$PG_THROWAWAY_DIR/data\" "
                       "-l \"$PG_THROWAWAY_DIR/server.log\" -w -o \"-p %1 -k $PG_THROWAWAY_DIR -c "
                       "listen_addresses=127.0.0.1\" start >/dev/null")
            .arg(port));
}

// The commands run in bash with the script's functions and this server's folder and binaries.
bool OwnPostgresServer::run(const QString& commands, QString* out)
{
    QProcess shell;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PG_THROWAWAY_DIR"), m_dir);
    environment.insert(QStringLiteral("PG_THROWAWAY_BINDIR"), m_bin);
    shell.setProcessEnvironment(environment);
    shell.start(QStringLiteral("bash"), {QStringLiteral("-c"), QStringLiteral("source \"$0\" && ") + commands,
                                         QStringLiteral(KELVRA_SOURCE_DIR "/tools/throwaway-postgres.sh")});
    if (!shell.waitForFinished(120000) || shell.exitStatus() != QProcess::NormalExit ||
        shell.exitCode() != 0) {
        m_error = QStringLiteral("%1 failed: %2")
                      .arg(commands, QString::fromLocal8Bit(shell.readAllStandardError()));
        return false;
    }
    if (out)
        *out = QString::fromLocal8Bit(shell.readAllStandardOutput());
    return true;
}
