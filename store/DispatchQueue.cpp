#include "DispatchQueue.h"

#include "Store.h"

#include <QStringList>

DispatchQueue::DispatchQueue(const Store& store)
    : m_store(store)
{
}

int DispatchQueue::countQueued() const
{
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT COUNT(*) FROM MessageQueue WHERE Status = ?"),
                                   {QStringLiteral("Queued")});
    return query.next() ? query.value(0).toInt() : 0;
}

DispatchQueue::Counts DispatchQueue::countWaiting() const
{
    QSqlQuery query = m_store.exec(
        QStringLiteral("SELECT Status, COUNT(*) FROM MessageQueue WHERE Status IN (?, ?) GROUP BY Status"),
        {QStringLiteral("Queued"), QStringLiteral("Read")});
    Counts counts;
    while (query.next())
        (query.value(0).toString() == QLatin1String("Queued") ? counts.queued : counts.read) =
            query.value(1).toInt();
    return counts;
}

QList<DispatchQueue::Row> DispatchQueue::selectQueued(int limit) const
{
    // Only the first rows in queue order are wanted, and the index on (Status, nid) hands them over in
    // that order. A planner that misjudges how many rows wait (a table just filled, or last analysed
    // when few waited) would rather collect every waiting row and sort them, longer the longer the
    // queue; it is told not to for the rest of the transaction (outside one, for no statement).
    if (m_store.engine() == Store::Engine::Postgres)
        m_store.exec(QStringLiteral("SELECT set_config('enable_bitmapscan', 'off', true)"));
    // A pass's rows read without a QVariant for every value.
    QList<Row> rows;
    rows.reserve(limit);
    m_store.readRows(
        QStringLiteral(
            "SELECT nid, MobileNo, Message FROM MessageQueue WHERE Status = ? ORDER BY nid LIMIT ?"),
        {QStringLiteral("Queued"), limit}, [&rows](std::span<const QByteArrayView> row) {
            rows.push_back({row[0].toInt(), QString::fromUtf8(row[1]), QString::fromUtf8(row[2])});
        });
    return rows;
}

void DispatchQueue::markEach(const QString& sql, const QList<int>& nids, const QVariantList& leading) const
{
    if (nids.isEmpty())
        return;
    // The rows are named one by one, never by a range of nid: a row committed meanwhile by the desk
    // program must not be marked without having been read.
    const QList<qint64> ids(nids.begin(), nids.end());
    m_store.exec(sql.arg(m_store.idListCondition(QStringLiteral("nid"))), QVariantList(leading)
                                                                              << m_store.idListValue(ids));
}

void DispatchQueue::markRead(const QList<int>& nids, const QDateTime& when) const
{
    // A time of day alone is kept on the zero date, as the original store kept it.
    const QDateTime timeOfDay(QDate(1899, 12, 30), when.time().addMSecs(-when.time().msec()));
    markEach(QStringLiteral("UPDATE MessageQueue SET Status = 'Read', QDateTime = ?, DelDate = ? WHERE %1"),
             nids, {m_store.dateValue(when.date()), m_store.dateTimeValue(timeOfDay)});
}

void DispatchQueue::markDiscarded(const QList<int>& nids) const
{
    markEach(QStringLiteral("UPDATE MessageQueue SET Status = 'Discarded' WHERE %1"), nids, {});
}

void DispatchQueue::markInvalid(const QList<int>& nids) const
{
    markEach(QStringLiteral("UPDATE MessageQueue SET Status = 'Invalid' WHERE %1"), nids, {});
}
