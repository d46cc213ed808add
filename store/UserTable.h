#pragma once

#include "PickList.h"

#include <QList>
#include <QString>

#include <optional>

class Store;

/// One desk user as stored in UserMaster.
struct UserRow
{
    QString username;
    QString userpass;
    /// "Y" deletable, "N" protected.
    QString todel;
};

/// The desk users: UserMaster. User names compare without regard to letter case, passwords exactly.
class UserTable
{
public:
    explicit UserTable(const Store& store);

    /// Every user, in one stable order.
    QList<UserRow> all() const;
    std::optional<UserRow> find(const QString& username) const;
    /// The user with this name and exactly this password.
    std::optional<UserRow> findWithPassword(const QString& username, const QString& password) const;

    /// Sets a new password where the name and the current password match; false when none did.
    bool changePassword(const QString& username, const QString& currentPassword,
                        const QString& newPassword) const;

    /// Throws DuplicateEntryError when the name is taken.
    void insert(const UserRow& user) const;
    /// Writes password and todel of the user with this name; throws StoreError when there is none.
    void update(const UserRow& user) const;
    /// Deletes the user when its stored todel is "Y"; false when no such user was deleted, so a
    /// protected user stays whatever a screen showed.
    [[nodiscard]] bool remove(const QString& username) const;

    /// The user names, for the search dialog.
    PickList namePickList() const;

private:
    const Store& m_store;
};
