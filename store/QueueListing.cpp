#include "QueueListing.h"

#include "Store.h"

#include <QHash>

#include <algorithm>

QueueListing::QueueListing(const Store& store)
    : m_store(store)
{
}

QList<QueueLength> QueueListing::lengths() const
{
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT * FROM v_QueueLen"));
    QList<QueueLength> lengths;
    while (query.next())
        lengths.append({query.value(0).toString(), query.value(1).toLongLong()});
    return lengths;
}

std::vector<QueueListingRow> QueueListing::messagesOf(const QString& userName) const
{
    // Every client's name by number, read once: of several clients sharing a number the first stored
    // one names it. Numbers compare without regard to letter case, as the store compares them.
    QHash<QString, QString> names;
    QSqlQuery clients = m_store.exec(
        QStringLiteral("SELECT cMobile, cName FROM ClientMaster WHERE cMobile IS NOT NULL ORDER BY id"));
    while (clients.next()) {
        const QString mobile = clients.value(0).toString().toLower();
        if (!names.contains(mobile))
            names.insert(mobile, clients.value(1).toString());
    }

    // The time as text on both engines: the driver's own conversion of 100,000 timestamps would cost
    // more than the rest of the read.
    const QString queuedAt = m_store.engine() == Store::Engine::Sqlite
                                 ? QStringLiteral("QDateTime")
                                 : QStringLiteral("to_char(QDateTime, 'YYYY-MM-DD HH24:MI:SS')");
    QSqlQuery query = m_store.prepare(
        QStringLiteral("SELECT nid, MobileNo, Message, %1, AppID FROM v_messageQueue WHERE username = ? "
                       "ORDER BY nid")
            .arg(queuedAt));
    query.addBindValue(userName);
    Store::exec(query);
    std::vector<QueueListingRow> rows;
    if (const int size = query.size(); size > 0)
        rows.reserve(size_t(size));
    while (query.next()) {
        QString mobileNo = query.value(1).toString();
        QString name = names.value(mobileNo.toLower());
        rows.push_back({query.value(0).toLongLong(), std::move(mobileNo), std::move(name),
                        query.value(2).toString(), query.value(3).toString(), query.value(4).toString()});
    }
    return rows;
}

int QueueListing::deleteQueued(const QList<qint64>& nids) const
{
    if (nids.isEmpty())
        return 0;
    // One statement for the whole list: statement by statement, 100,000 ticked rows took seconds on
    // PostgreSQL, every one a round trip to the server.
    return m_store
        .exec(QStringLiteral("DELETE FROM MessageQueue WHERE Status = 'Queued' AND ") +
                  m_store.idListCondition(QStringLiteral("nid")),
              {m_store.idListValue(nids)})
        .numRowsAffected();
}
