#include "ClientTable.h"

#include "BulkInsert.h"
#include "DuplicateEntryError.h"
#include "Store.h"

#include <QSet>

namespace {

// A LIKE pattern that matches values beginning with the text as typed.
QString prefixPattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\"));
    escaped.replace(u'%', QStringLiteral("\\%"));
    escaped.replace(u'_', QStringLiteral("\\_"));
    return escaped + u'%';
}

// A client code as codes are compared: without the blanks around it and without regard to letter case.
QString codeKey(const QString& code)
{
    return code.trimmed().toCaseFolded();
}

} // namespace

ClientTable::ClientTable(const Store& store)
    : m_store(store)
{
}

QList<ClientRow> ClientTable::all() const
{
    QSqlQuery query = m_store.exec(
        QStringLiteral("SELECT id, cName, cMobile, cdpinid, cEmail FROM ClientMaster ORDER BY id"));
    QList<ClientRow> clients;
    while (query.next()) {
        clients << ClientRow{query.value(0).toLongLong(), query.value(1).toString(),
                             query.value(2).toString(), query.value(3).toString(), query.value(4).toString()};
    }
    return clients;
}

void ClientTable::refuseTakenCode(const ClientRow& client, qint64 ownId) const
{
    QSqlQuery taken = m_store.exec(QStringLiteral("SELECT id FROM ClientMaster WHERE lower(trim(cdpinid)) = "
                                                  "lower(CAST(? AS TEXT)) AND id <> ?"),
                                   {client.code.trimmed(), ownId});
    if (taken.next())
        throw DuplicateEntryError(QStringLiteral("the client code %1 is already stored").arg(client.code));
}

void ClientTable::holdCodes() const
{
    // SQLite's BEGIN IMMEDIATE already keeps other writers out; PostgreSQL needs the table held so that
    // no desk adds a code between reading the codes and storing a client. Readers go on.
    if (m_store.engine() == Store::Engine::Postgres)
        m_store.exec(QStringLiteral("LOCK TABLE ClientMaster IN SHARE ROW EXCLUSIVE MODE"));
}

qint64 ClientTable::insert(const ClientRow& client) const
{
    Transaction transaction(m_store);
    holdCodes();
    refuseTakenCode(client, -1);
    QSqlQuery query =
        m_store.exec(QStringLiteral("INSERT INTO ClientMaster (cName, cMobile, cdpinid, cEmail) "
                                    "VALUES (?, ?, ?, ?) RETURNING id"),
                     {client.name, client.mobile, client.code, client.email});
    if (!query.next())
        throw StoreError(QStringLiteral("the store did not return the new client's id"));
    const qint64 id = query.value(0).toLongLong();
    // SQLite refuses to commit while a statement still holds rows.
    query.finish();
    transaction.commit();
    return id;
}

bool ClientTable::update(const ClientRow& client) const
{
    Transaction transaction(m_store);
    holdCodes();
    QSqlQuery stored = m_store.exec(QStringLiteral("SELECT id FROM ClientMaster WHERE id = ?"), {client.id});
    const bool found = stored.next();
    stored.finish();
    if (!found)
        return false;
    refuseTakenCode(client, client.id);
    m_store.exec(QStringLiteral(
                     "UPDATE ClientMaster SET cName = ?, cMobile = ?, cdpinid = ?, cEmail = ? WHERE id = ?"),
                 {client.name, client.mobile, client.code, client.email, client.id});
    transaction.commit();
    return true;
}

QList<ClientTable::Outcome> ClientTable::insertNew(const QList<ClientRow>& clients) const
{
    Transaction transaction(m_store);
    holdCodes();
    QSet<QString> stored;
    m_store.readRows(QStringLiteral("SELECT cdpinid FROM ClientMaster"), {},
                     [&stored](std::span<const QByteArrayView> row) {
                         stored.insert(codeKey(QString::fromUtf8(row[0])));
                     });
    // The codes stored and those added so far: one look-up per client.
    QSet<QString> taken = stored;
    taken.reserve(stored.size() + clients.size());
    QList<Outcome> outcomes;
    outcomes.reserve(clients.size());
    BulkInsert insert(m_store, QStringLiteral("ClientMaster"),
                      {QStringLiteral("cName"), QStringLiteral("cMobile"), QStringLiteral("cdpinid"),
                       QStringLiteral("cEmail")});
    for (const ClientRow& client : clients) {
        const QString key = codeKey(client.code);
        const qsizetype before = taken.size();
        taken.insert(key);
        if (taken.size() == before) {
            outcomes << (stored.contains(key) ? Outcome::CodeStored : Outcome::CodeRepeated);
            continue;
        }
        insert.add({client.name, client.mobile, client.code, client.email});
        outcomes << Outcome::Added;
    }
    insert.finish();
    transaction.commit();
    return outcomes;
}

void ClientTable::remove(qint64 id) const
{
    m_store.exec(QStringLiteral("DELETE FROM ClientMaster WHERE id = ?"), {id});
}

std::optional<qint64> ClientTable::findPrefix(Column column, const QString& prefix, qint64 afterId) const
{
    QLatin1String name;
    switch (column) {
    case Column::Name:
        name = QLatin1String("cName");
        break;
    case Column::Mobile:
        name = QLatin1String("cMobile");
        break;
    case Column::Code:
        name = QLatin1String("cdpinid");
        break;
    }
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT id FROM ClientMaster WHERE %1 LIKE ? ESCAPE '\\' "
                                                  "AND id > ? ORDER BY id LIMIT 1")
                                       .arg(name),
                                   {prefixPattern(prefix), afterId});
    if (!query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}
