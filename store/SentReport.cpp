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

QByteArrayView SentReport::clientCodeOf(QByteArrayView message)
{
    const qsizetype colon = message.indexOf(':');
    if (colon < 0)
        return {};
    // Trimmed first, so that a blank before the colon ("A001 : ...") does not hide the code.
    const QByteArrayView part = message.first(colon).trimmed();
    return part.sliced(part.lastIndexOf(' ') + 1);
}

namespace {

// The UTF-8 text with its ASCII letters in lower case, in buffer: the names are looked up a million
// times, and a buffer kept from row to row spares an allocation for each. Codes and numbers are ASCII;
// the store too compares other letters as they are.
const QByteArray& folded(QByteArrayView text, QByteArray& buffer)
{
    buffer.resize(text.size());
    char* out = buffer.data();
    for (const char c : text)
        *out++ = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return buffer;
}

} // namespace

void SentReport::sentBetween(const QDateTime& from, const QDateTime& to,
                             const std::function<void(const SentListRow& row)>& take) const
{
    // Every client's name by code and by number, read once; of clients sharing a code or a number the
    // first stored names it.
    QHash<QByteArray, QByteArray> byCode;
    QHash<QByteArray, QByteArray> byMobile;
    QByteArray key;
    m_store.readRows(QStringLiteral("SELECT cdpinid, cMobile, cName FROM ClientMaster ORDER BY id"), {},
                     [&](std::span<const QByteArrayView> client) {
                         for (auto [column, names] : {std::pair(0, &byCode), std::pair(1, &byMobile)}) {
                             const QByteArray& folding = folded(client[size_t(column)], key);
                             if (!folding.isEmpty() && !names->contains(folding))
                                 names->insert(folding, client[2].toByteArray());
                         }
                     });

    // The sent rows of a range of days lie within a range of nids, as the dispatch server stamps the day
    // when it takes them: read through the nids in their order, rather than sorting a million rows
    // found by their day.
    const bool lite = m_store.engine() == Store::Engine::Sqlite;
    QVariantList bounds;
    m_store.readRows(QStringLiteral("SELECT MIN(nid), MAX(nid) FROM MessageQueue "
                                    "WHERE Status = 'Sent' AND QDateTime >= ? AND QDateTime <= ?"),
                     {m_store.dateTimeValue(from), m_store.dateTimeValue(to)},
                     [&bounds](std::span<const QByteArrayView> row) {
                         if (!row[0].isEmpty())
                             bounds = {row[0].toLongLong(), row[1].toLongLong()};
                     });
    if (bounds.isEmpty())
        return;
    // As text on PostgreSQL too: the connection reads times in the ISO style, and the column keeps no
    // fractions of a second.
    const QString queuedAt = lite ? QStringLiteral("QDateTime") : QStringLiteral("CAST(QDateTime AS TEXT)");
    // On SQLite a unary + keeps the planner on the nid range rather than the index on the day.
    const QString plus = lite ? QStringLiteral("+") : QString();
    m_store.readRows(
        QStringLiteral(
            "SELECT MobileNo, Message, %1, AppID, UserName FROM MessageQueue WHERE nid >= ? AND "
            "nid <= ? AND %2Status = 'Sent' AND %2QDateTime >= ? AND %2QDateTime <= ? ORDER BY nid")
            .arg(queuedAt, plus),
        {bounds[0], bounds[1], m_store.dateTimeValue(from), m_store.dateTimeValue(to)},
        [&](std::span<const QByteArrayView> texts) {
            SentListRow row{texts[0], {}, texts[1], texts[2], texts[3], texts[4]};
            const QByteArrayView code = clientCodeOf(row.message);
            const auto named = code.isEmpty() ? byCode.cend() : byCode.constFind(folded(code, key));
            if (named != byCode.cend()) {
                row.clientName = *named;
            } else if (const auto numbered = byMobile.constFind(folded(row.mobileNo, key));
                       numbered != byMobile.cend()) {
                row.clientName = *numbered;
            }
            take(row);
        });
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
