#include "UserTable.h"

#include "DuplicateEntryError.h"
#include "Store.h"

namespace {

const QString kDeletable = QStringLiteral("Y");

UserRow readUser(const QSqlQuery& query)
{
    return UserRow{query.value(0).toString(), query.value(1).toString(), query.value(2).toString()};
}

} // namespace

UserTable::UserTable(const Store& store)
    : m_store(store)
{
}

QList<UserRow> UserTable::all() const
{
    QSqlQuery query =
        m_store.exec(QStringLiteral("SELECT username, userpass, todel FROM UserMaster ORDER BY username"));
    QList<UserRow> users;
    while (query.next())
        users << readUser(query);
    return users;
}

std::optional<UserRow> UserTable::find(const QString& username) const
{
    QSqlQuery query = m_store.exec(
        QStringLiteral("SELECT username, userpass, todel FROM UserMaster WHERE username = ?"), {username});
    if (!query.next())
        return std::nullopt;
    return readUser(query);
}

std::optional<UserRow> UserTable::findWithPassword(const QString& username, const QString& password) const
{
    // The name compares without letter case through its column type; the password byte for byte.
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT username, userpass, todel FROM UserMaster "
                                                  "WHERE username = ? AND CAST(userpass AS TEXT) = ?"),
                                   {username, password});
    if (!query.next())
        return std::nullopt;
    return readUser(query);
}

bool UserTable::changePassword(const QString& username, const QString& currentPassword,
                               const QString& newPassword) const
{
    Transaction transaction(m_store);
    QSqlQuery query = m_store.exec(QStringLiteral("UPDATE UserMaster SET userpass = ? "
                                                  "WHERE username = ? AND CAST(userpass AS TEXT) = ?"),
                                   {newPassword, username, currentPassword});
    const bool changed = query.numRowsAffected() > 0;
    query.finish();
    transaction.commit();
    return changed;
}

void UserTable::insert(const UserRow& user) const
{
    Transaction transaction(m_store);
    // Checked first so that a taken name is told apart from any other refusal of the row.
    if (find(user.username))
        throw DuplicateEntryError(QStringLiteral("the user name %1 is already stored").arg(user.username));
    m_store.exec(QStringLiteral("INSERT INTO UserMaster (username, userpass, todel) VALUES (?, ?, ?)"),
                 {user.username, user.userpass, user.todel});
    transaction.commit();
}

void UserTable::update(const UserRow& user) const
{
    QSqlQuery query =
        m_store.exec(QStringLiteral("UPDATE UserMaster SET userpass = ?, todel = ? WHERE username = ?"),
                     {user.userpass, user.todel, user.username});
    if (query.numRowsAffected() < 1)
        throw StoreError(QStringLiteral("the user %1 is not stored").arg(user.username));
}

bool UserTable::remove(const QString& username) const
{
    QSqlQuery query = m_store.exec(QStringLiteral("DELETE FROM UserMaster WHERE username = ? AND todel = ?"),
                                   {username, kDeletable});
    return query.numRowsAffected() > 0;
}

PickList UserTable::namePickList() const
{
    PickList list;
    list.columns << QStringLiteral("username");
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT username FROM UserMaster ORDER BY username"));
    while (query.next())
        list.rows << QStringList{query.value(0).toString()};
    return list;
}
