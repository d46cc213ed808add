#include "DispatchHistory.h"

#include "Store.h"

DispatchHistory::DispatchHistory(const Store& store)
    : m_store(store)
{
}

void DispatchHistory::recordPass(const Pass& pass, const QDateTime& ended) const
{
    m_store.exec(QStringLiteral("INSERT INTO DispatchHistory (UploadName, UserId, Started, Ended, Rows, "
                                "Outcome, Seconds, Settled) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"),
                 {pass.uploadName.isEmpty() ? QVariant() : QVariant(pass.uploadName),
                  pass.userId.isEmpty() ? QVariant() : QVariant(pass.userId),
                  pass.started.isValid() ? m_store.dateTimeValue(pass.started) : QVariant(),
                  m_store.dateTimeValue(ended), pass.rows, pass.outcome,
                  pass.seconds ? QVariant(*pass.seconds) : QVariant(),
                  pass.settled.isEmpty() ? QVariant() : QVariant(pass.settled)});
}

void DispatchHistory::recordLockTaken(const QString& host, qint64 pid, const QDateTime& since) const
{
    Transaction transaction(m_store);
    m_store.exec(QStringLiteral("DELETE FROM DispatchLockHolder"));
    m_store.exec(QStringLiteral("INSERT INTO DispatchLockHolder (Host, Pid, Since) VALUES (?, ?, ?)"),
                 {host, pid, m_store.dateTimeValue(since)});
    transaction.commit();
}

void DispatchHistory::forgetBefore(const QDateTime& before) const
{
    m_store.exec(QStringLiteral("DELETE FROM DispatchHistory WHERE Ended < ?"),
                 {m_store.dateTimeValue(before)});
}
