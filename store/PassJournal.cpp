#include "PassJournal.h"

#include "DispatchHistory.h"
#include "Store.h"

namespace {

const QString Read = QStringLiteral("Read");

// A stage the journal does not know (none is written but these) counts as the first.
PassJournal::Stage stageNamed(const QString& name)
{
    for (const PassJournal::Stage stage :
         {PassJournal::Stage::LastPosted, PassJournal::Stage::Complete, PassJournal::Stage::Debited}) {
        if (name == PassJournal::stageName(stage))
            return stage;
    }
    return PassJournal::Stage::Marked;
}

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

QString PassJournal::outcomeAt(Stage stage, const QString& debitReply)
{
    switch (stage) {
    case Stage::Marked:
        break;
    case Stage::LastPosted:
        return QStringLiteral("Deleted");
    case Stage::Complete:
        return QStringLiteral("DelSent");
    case Stage::Debited:
        return debitReply == QLatin1String("Success") ? QStringLiteral("Sent") : QStringLiteral("DelSent");
    }
    return QStringLiteral("Queued");
}

void PassJournal::begin(const QString& uploadName, const QString& userId, const QList<int>& nids) const
{
    // Lost, the pass never began: its rows stay "Queued" and are sent by a later pass, while the gateway
    // has at most chunks of this upload without the last, which it never delivers. The last chunk waits
    // for LastPosted, whose commit takes this one to disk first.
    commitWithoutWaiting();
    QStringList numbers;
    numbers.reserve(nids.size());
    for (int nid : nids)
        numbers << QString::number(nid);
    m_store.exec(
        QStringLiteral("INSERT INTO DispatchPass (UploadName, UserId, Stage, Nids) VALUES (?, ?, ?, ?)"),
        {uploadName, userId, stageName(Stage::Marked), numbers.join(u',')});
}

void PassJournal::commitWithoutWaiting() const
{
    if (m_store.engine() == Store::Engine::Postgres)
        m_store.exec(QStringLiteral("SELECT set_config('synchronous_commit', 'off', true)"));
}

bool PassJournal::setStage(const QString& uploadName, Stage stage, const QString& debitReply) const
{
    Transaction transaction(m_store);
    // LastPosted must be on disk before the last chunk goes: lost, the pass would go back to the queue
    // and its messages out twice. Complete and Debited, lost, only make the outcome more cautious.
    if (stage != Stage::LastPosted)
        commitWithoutWaiting();
    QSqlQuery update = m_store.exec(
        QStringLiteral("UPDATE DispatchPass SET Stage = ?, DebitReply = ? WHERE UploadName = ?"),
        {stageName(stage), stage == Stage::Debited ? QVariant(debitReply) : QVariant(), uploadName});
    const bool kept = update.numRowsAffected() > 0;
    transaction.commit();
    return kept;
}

QString PassJournal::rowsOfPass() const
{
    // The pass's rows are kept as one list of numbers ("1,2,3"), read here as the engine's own list;
    // the upload name is bound where the condition stands.
    return m_store.engine() == Store::Engine::Sqlite
               ? QStringLiteral("nid IN (SELECT value FROM json_each((SELECT '[' || Nids || ']' FROM "
                                "DispatchPass WHERE UploadName = ?)))")
               : QStringLiteral("nid = ANY (CAST((SELECT '{' || Nids || '}' FROM DispatchPass WHERE "
                                "UploadName = ?) AS integer[]))");
}

int PassJournal::setRowsOf(const QString& uploadName, const QString& status) const
{
    QSqlQuery update = m_store.exec(
        QStringLiteral("UPDATE MessageQueue SET Status = ? WHERE Status = ? AND ") + rowsOfPass(),
        {status, Read, uploadName});
    return update.numRowsAffected();
}

int PassJournal::finish(const QString& uploadName, const QString& status, std::optional<double> seconds) const
{
    Transaction transaction(m_store);
    // Rows sent back to the queue must stay there: lost, they would be resolved from the journal, and
    // after LastPosted as "Deleted", never sent. Every other status the journal gives back as it is or
    // more cautious (Sent from Debited, DelSent from Complete, Deleted from LastPosted), none sent again.
    if (status != outcomeAt(Stage::Marked))
        commitWithoutWaiting();
    DispatchHistory::Pass pass{uploadName};
    QSqlQuery journal = m_store.exec(
        QStringLiteral("SELECT UserId, Started FROM DispatchPass WHERE UploadName = ?"), {uploadName});
    // Without its journal the pass was settled meanwhile by another server: its rows are not its own.
    if (!journal.next())
        return 0;
    pass.userId = journal.value(0).toString();
    pass.started = Store::readDateTime(journal.value(1));
    pass.rows = setRowsOf(uploadName, status);
    pass.outcome = status;
    pass.seconds = seconds;
    m_store.exec(QStringLiteral("DELETE FROM DispatchPass WHERE UploadName = ?"), {uploadName});
    DispatchHistory(m_store).recordPass(pass, QDateTime::currentDateTime());
    transaction.commit();
    return pass.rows;
}

QList<PassJournal::Resolution> PassJournal::resolveInterrupted(const QString& orphanStatus,
                                                               const QString& keepUpload,
                                                               const QString& settledBy) const
{
    Transaction transaction(m_store);
    QList<DispatchHistory::Pass> passes;
    QSqlQuery open = m_store.exec(QStringLiteral(
        "SELECT UploadName, Stage, DebitReply, UserId, Started FROM DispatchPass ORDER BY Started"));
    while (open.next()) {
        if (open.value(0).toString() == keepUpload)
            continue;
        const QString status = outcomeAt(stageNamed(open.value(1).toString()), open.value(2).toString());
        passes.append({open.value(0).toString(), open.value(3).toString(), Store::readDateTime(open.value(4)),
                       0, status, std::nullopt, settledBy});
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
    const DispatchHistory history(m_store);
    const QDateTime now = QDateTime::currentDateTime();
    for (DispatchHistory::Pass& pass : passes) {
        Resolution resolution{pass.uploadName};
        pass.rows = setRowsOf(pass.uploadName, pass.outcome);
        count(resolution, pass.outcome, pass.rows);
        resolutions.append(resolution);
        history.recordPass(pass, now);
    }
    // Without a pass to keep, every journal goes: a null name would bind as NULL, which "<>" never matches.
    if (keepUpload.isEmpty())
        m_store.exec(QStringLiteral("DELETE FROM DispatchPass"));
    else
        m_store.exec(QStringLiteral("DELETE FROM DispatchPass WHERE UploadName <> ?"), {keepUpload});

    // The rows of the kept pass are its own, not orphans.
    QSqlQuery orphans =
        m_store.exec(QStringLiteral("UPDATE MessageQueue SET Status = ? WHERE Status = ? AND NOT COALESCE(") +
                         rowsOfPass() + QStringLiteral(", FALSE)"),
                     {orphanStatus, Read, keepUpload});
    if (orphans.numRowsAffected() > 0) {
        Resolution resolution;
        count(resolution, orphanStatus, orphans.numRowsAffected());
        resolutions.append(resolution);
        history.recordPass({{}, {}, {}, orphans.numRowsAffected(), orphanStatus, std::nullopt, settledBy},
                           now);
    }
    transaction.commit();
    return resolutions;
}
