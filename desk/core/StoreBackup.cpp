#include "StoreBackup.h"

#include "Store.h"
#include "StoreCopy.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace {

// A name beside the target that nothing else uses, so the target is replaced only by a complete copy.
QString scratchNameBeside(const QString& target)
{
    QTemporaryFile scratch(target + QStringLiteral(".XXXXXX"));
    if (!scratch.open())
        throw StoreError(QStringLiteral("cannot write in %1: %2")
                             .arg(QFileInfo(target).absolutePath(), scratch.errorString()));
    const QString name = scratch.fileName();
    scratch.close();
    scratch.remove();
    return name;
}

void replaceWith(const QString& scratch, const QString& target)
{
    // The copy holds the users' passwords: readable by its owner only, like the store itself.
    QFile::setPermissions(scratch, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    if (QFileInfo::exists(target) && !QFile::remove(target)) {
        QFile::remove(scratch);
        throw StoreError(QStringLiteral("cannot replace %1").arg(target));
    }
    if (!QFile::rename(scratch, target)) {
        QFile::remove(scratch);
        throw StoreError(QStringLiteral("cannot write %1").arg(target));
    }
}

} // namespace

StoreBackup::StoreBackup(const Store& store)
    : m_store(store)
{
}

QString StoreBackup::extension() const
{
    return m_store.engine() == Store::Engine::Sqlite ? QStringLiteral(".db") : QStringLiteral(".sql");
}

QString StoreBackup::filter() const
{
    return QLatin1Char('*') + extension();
}

QString StoreBackup::backup(const QString& chosenName) const
{
    if (chosenName.isEmpty())
        throw StoreError(QStringLiteral("no file name was chosen"));
    const QString target = QFileInfo(chosenName + extension()).absoluteFilePath();
    if (m_store.engine() == Store::Engine::Sqlite)
        copySqlite(target);
    else
        dumpPostgres(target);
    return target;
}

void StoreBackup::copySqlite(const QString& target) const
{
    const QString scratch = scratchNameBeside(target);
    try {
        WriteSqliteCopy(m_store, scratch);
    } catch (const StoreError&) {
        QFile::remove(scratch);
        throw;
    }
    replaceWith(scratch, target);
}

void StoreBackup::dumpPostgres(const QString& target) const
{
    const QString pgDump = QStandardPaths::findExecutable(QStringLiteral("pg_dump"));
    if (pgDump.isEmpty())
        throw StoreError(QStringLiteral("pg_dump is not installed"));
    const QString scratch = scratchNameBeside(target);
    const StoreLocation& location = m_store.location();
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PGPASSWORD"), location.password());
    process.setProcessEnvironment(environment);
    process.start(pgDump, {QStringLiteral("--no-password"), QStringLiteral("--host"), location.host(),
                           QStringLiteral("--port"), QString::number(location.port()),
                           QStringLiteral("--username"), location.userName(), QStringLiteral("--file"),
                           scratch, QStringLiteral("--dbname"), location.databaseName()});
    const bool finished = process.waitForFinished(600000);
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        QFile::remove(scratch);
        const QString reason = QString::fromLocal8Bit(process.readAllStandardError()).simplified();
        throw StoreError(
            QStringLiteral("pg_dump failed: %1").arg(reason.isEmpty() ? process.errorString() : reason));
    }
    replaceWith(scratch, target);
}
