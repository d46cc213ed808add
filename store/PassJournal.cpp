#include "PassJournal.h"

#include "NidList.h"
#include "Store.h"

namespace {

constexpr qint64 kServerLockKey = 44170002;

const QString Read = QStringLiteral("Read");

} // namespace

PassJournal::PassJournal(const Store& store)
    : m_store(store)
{
}

QString PassJournal::stageName(Stage stage)
{
    switch (stage) {
    case Stage::Marked:
        return QStringLiteral("marked");
    case Stage::LastPosted:
        return QStringLiteral("lastposted");
    case Stage::Complete:
        return QStringLiteral("complete");
    case Stage::Debited:
        return QStringLiteral("debited");
    }
    return {};
}

void PassJournal::begin(const QString& uploadName, const QString& userId, const QList<int>& nids) const
{
    m_store.exec(QStringLiteral("INSERT INTO DispatchPass (UploadName, UserId, Stage) VALUES (?, ?, ?)"),
                 {uploadName, userId, stageName(Stage::Marked)});
    const QString select = m_store.engine() == Store::Engine::Sqlite
                               ? QStringLiteral("SELECT CAST(? AS TEXT), value FROM json_each(?)")
                               : QStringLiteral("SELECT CAST(? AS TEXT), unnest(CAST(? AS integer[]))");
    m_store.exec(QStringLiteral("INSERT INTO DispatchPassRows (UploadName, nid) ") + select,
                 {uploadName, NidListValue(m_store, nids)});
}

void PassJournal::setStage(const QString& uploadName, Stage stage, const QString& debitReply) const
{
    m_store.exec(QStringLiteral("UPDATE DispatchPass SET Stage = ?, DebitReply = ? WHERE UploadName = ?"),
                 {stageName(stage), stage == Stage::Debited ? QVariant(debitReply) : QVariant(), uploadName});
}

int PassJournal::finish(const QString& uploadName, const QString& status) const
{
    Transaction transaction(m_store);
    QSqlQuery update =
        m_store.exec(QStringLiteral("UPDATE MessageQueue SET Status = ? WHERE Status = ? AND nid IN "
                                    "(SELECT nid FROM DispatchPassRows WHERE UploadName = ?)"),
                     {status, Read, uploadName});
    const int changed = update.numRowsAffected();
    m_store.exec(QStringLiteral("DELETE FROM DispatchPassRows WHERE UploadName = ?"), {uploadName});
    m_store.exec(QStringLiteral("DELETE FROM DispatchPass WHERE UploadName = ?"), {uploadName});
    transaction.commit();
    return changed;
}

QList<PassJournal::Resolution> PassJournal::resolveInterrupted(const QString& orphanStatus) const
{
    Transaction transaction(m_store);
    QList<std::pair<QString, QString>> passes; // upload name, final status
    QSqlQuery open = m_store.exec(
        QStringLiteral("SELECT UploadName, Stage, DebitReply FROM DispatchPass ORDER BY Started"));
    while (open.next()) {
        const QString stage = open.value(1).toString();
        QString status = QStringLiteral("Queued");
        if (stage == stageName(Stage::LastPosted))
            status = QStringLiteral("Deleted");
        else if (stage == stageName(Stage::Complete))
            status = QStringLiteral("DelSent");
        else if (stage == stageName(Stage::Debited))
            status = open.value(2).toString() == QLatin1String("Success") ? QStringLiteral("Sent")
                                                                          : QStringLiteral("DelSent");
        passes.append({open.value(0).toString(), status});
    }

    QList<Resolution> resolutions;
    const auto count = [](Resolution& resolution, const QString& status, int rows) {
        if (status == QLatin1String("Queued"))
            resolution.queued += rows;
        else if (status == QLatin1String("Sent"))
            resolution.sent += rows;
        else if (status == QLatin1String("DelSent"))
            resolution.delSent += rows;
        else
            resolution.deleted += rows;
    };
    for (const auto& [uploadName, status] : passes) {
        QSqlQuery update =
            m_store.exec(QStringLiteral("UPDATE MessageQueue SET Status = ? WHERE Status = ? AND nid IN "
                                        "(SELECT nid FROM DispatchPassRows WHERE UploadName = ?)"),
                         {status, Read, uploadName});
        Resolution resolution{uploadName};
        count(resolution, status, update.numRowsAffected());
        resolutions.append(resolution);
    }
    m_store.exec(QStringLiteral("DELETE FROM DispatchPassRows"));
    m_store.exec(QStringLiteral("DELETE FROM DispatchPass"));

    QSqlQuery orphans = m_store.exec(QStringLiteral("UPDATE MessageQueue SET Status = ? WHERE Status = ?"),
                                     {orphanStatus, Read});
    if (orphans.numRowsAffected() > 0) {
        Resolution resolution;
        count(resolution, orphanStatus, orphans.numRowsAffected());
        resolutions.append(resolution);
    }
    transaction.commit();
    return resolutions;
}

bool TryTakeServerLock(const Store& store)
{
    if (store.engine() != Store::Engine::Postgres)
        return true;
    QSqlQuery lock = store.exec(QStringLiteral("SELECT pg_try_advisory_lock(?)"), {kServerLockKey});
    return lock.next() && lock.value(0).toBool();
}
