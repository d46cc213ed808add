#include "PassJournal.h"

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
    QStringList numbers;
    numbers.reserve(nids.size());
    for (int nid : nids)
        numbers << QString::number(nid);
    m_store.exec(
        QStringLiteral("INSERT INTO DispatchPass (UploadName, UserId, Stage, Nids) VALUES (?, ?, ?, ?)"),
        {uploadName, userId, stageName(Stage::Marked), numbers.join(u',')});
}

void PassJournal::setStage(const QString& uploadName, Stage stage, const QString& debitReply) const
{
    m_store.exec(QStringLiteral("UPDATE DispatchPass SET Stage = ?, DebitReply = ? WHERE UploadName = ?"),
                 {stageName(stage), stage == Stage::Debited ? QVariant(debitReply) : QVariant(), uploadName});
}

int PassJournal::setRowsOf(const QString& uploadName, const QString& status) const
{
    // The pass's rows are kept as one list of numbers ("1,2,3"), read here as the engine's own list.
    const QString rowsOfPass =
        m_store.engine() == Store::Engine::Sqlite
            ? QStringLiteral(
                  "nid IN (SELECT value FROM json_each((SELECT '[' || Nids || ']' FROM DispatchPass "
                  "WHERE UploadName = ?)))")
            : QStringLiteral(
                  "nid = ANY (CAST((SELECT '{' || Nids || '}' FROM DispatchPass WHERE UploadName = ?) "
                  "AS integer[]))");
    QSqlQuery update =
        m_store.exec(QStringLiteral("UPDATE MessageQueue SET Status = ? WHERE Status = ? AND ") + rowsOfPass,
                     {status, Read, uploadName});
    return update.numRowsAffected();
}

int PassJournal::finish(const QString& uploadName, const QString& status) const
{
    Transaction transaction(m_store);
    const int changed = setRowsOf(uploadName, status);
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
        Resolution resolution{uploadName};
        count(resolution, status, setRowsOf(uploadName, status));
        resolutions.append(resolution);
    }
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
