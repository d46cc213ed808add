#include "SentReport.h"

#include "Store.h"

#include <QHash>

SentReport::SentReport(const Store& store)
    : m_store(store)
{
}

QList<ClientRow> SentReport::clients() const
{
    return ClientTable(m_store).all();
}

int SentReport::deleteAllClients() const
{
    return m_store.exec(QStringLiteral("DELETE FROM ClientMaster")).numRowsAffected();
}

QString SentReport::clientCodeOf(const QString& message)
{
    const qsizetype colon = message.indexOf(u':');
    if (colon < 0)
        return {};
    // Trimmed first, so that a blank before the colon ("A001 : ...") does not hide the code.
    const QString part = message.left(colon).trimmed();
    return part.mid(part.lastIndexOf(u' ') + 1);
}

std::vector<SentListRow> SentReport::sentBetween(const QDateTime& from, const QDateTime& to) const
{
    // Every client's name by code and by number, read once; of clients sharing a code or a number the
    // first stored names it. Both compare without regard to letter case, as the store compares them.
    QHash<QString, QString> byCode;
    QHash<QString, QString> byMobile;
    QSqlQuery clients =
        m_store.exec(QStringLiteral("SELECT cdpinid, cMobile, cName FROM ClientMaster ORDER BY id"));
    while (clients.next()) {
        const QString code = clients.value(0).toString().toLower();
        const QString mobile = clients.value(1).toString().toLower();
        if (!code.isEmpty() && !byCode.contains(code))
            byCode.insert(code, clients.value(2).toString());
        if (!mobile.isEmpty() && !byMobile.contains(mobile))
            byMobile.insert(mobile, clients.value(2).toString());
    }

    // The sent rows of a range of days lie within a range of nids, as the dispatch server stamps the day
    // when it takes them: read through the nids in their order, rather than sorting a million rows
    // found by their day.
    const bool lite = m_store.engine() == Store::Engine::Sqlite;
    QSqlQuery bounds =
        m_store.exec(QStringLiteral("SELECT MIN(nid), MAX(nid) FROM MessageQueue "
                                    "WHERE Status = 'Sent' AND QDateTime >= ? AND QDateTime <= ?"),
                     {m_store.dateTimeValue(from), m_store.dateTimeValue(to)});
    if (!bounds.next() || bounds.value(0).isNull())
        return {};
    const QString queuedAt =
        lite ? QStringLiteral("QDateTime") : QStringLiteral("to_char(QDateTime, 'YYYY-MM-DD HH24:MI:SS')");
    // On SQLite a unary + keeps the planner on the nid range rather than the index on the day.
    const QString plus = lite ? QStringLiteral("+") : QString();
    QSqlQuery query = m_store.prepare(
        QStringLiteral(
            "SELECT MobileNo, Message, %1, AppID, UserName FROM MessageQueue WHERE nid >= ? AND "
            "nid <= ? AND %2Status = 'Sent' AND %2QDateTime >= ? AND %2QDateTime <= ? ORDER BY nid")
            .arg(queuedAt, plus));
    query.addBindValue(bounds.value(0));
    query.addBindValue(bounds.value(1));
    query.addBindValue(m_store.dateTimeValue(from));
    query.addBindValue(m_store.dateTimeValue(to));
    Store::exec(query);
    std::vector<SentListRow> rows;
    if (const int size = query.size(); size > 0)
        rows.reserve(size_t(size));
    // A value like the last row's is shared with it: a million rows then hold one "BSE" and one user.
    const auto shared = [](QString value, const QString& last) {
        return value == last ? last : value;
    };
    while (query.next()) {
        const SentListRow* last = rows.empty() ? nullptr : &rows.back();
        SentListRow row{query.value(0).toString(),
                        {},
                        query.value(1).toString(),
                        shared(query.value(2).toString(), last ? last->queuedAt : QString()),
                        shared(query.value(3).toString(), last ? last->appId : QString()),
                        shared(query.value(4).toString(), last ? last->userName : QString())};
        const QString code = clientCodeOf(row.message);
        const auto named = code.isEmpty() ? byCode.cend() : byCode.constFind(code.toLower());
        row.clientName = named != byCode.cend() ? *named : byMobile.value(row.mobileNo.toLower());
        rows.push_back(std::move(row));
    }
    return rows;
}

QList<SentDayCount> SentReport::countPerDay(const QDateTime& from, const QDateTime& to) const
{
    // Grouped on the day, not on the stored value, so that a time of day does not split a day.
    const QString day = m_store.engine() == Store::Engine::Sqlite
                            ? QStringLiteral("substr(QDateTime, 1, 10)")
                            : QStringLiteral("to_char(QDateTime, 'YYYY-MM-DD')");
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT %1 AS day, COUNT(*) FROM MessageQueue "
                                    "WHERE Status = 'Sent' AND QDateTime >= ? AND QDateTime <= ? "
                                    "GROUP BY %1 ORDER BY %1")
                         .arg(day),
                     {m_store.dateTimeValue(from), m_store.dateTimeValue(to)});
    QList<SentDayCount> counts;
    while (query.next())
        counts.append({query.value(0).toString(), query.value(1).toLongLong()});
    return counts;
}
