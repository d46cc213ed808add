#pragma once

#include <QList>
#include <QString>

#include <optional>

class Store;

/// One client as stored in ClientMaster.
struct ClientRow
{
    qint64 id = 0;
    QString name;
    QString mobile;
    /// The client code (cdpinid) that trade files and spreadsheets name the client by.
    QString code;
    QString email;
};

/// The clients who receive messages: ClientMaster, in the order of their ids.
class ClientTable
{
public:
    enum class Column { Name, Mobile, Code };
    /// What insertNew() did with one client of its list.
    enum class Outcome { Added, CodeStored, CodeRepeated };

    explicit ClientTable(const Store& store);

    QList<ClientRow> all() const;

    /// Stores a new client and returns its id. Throws DuplicateEntryError when another client has
    /// the code, compared without the blanks around it and without regard to letter case.
    qint64 insert(const ClientRow& client) const;
    /// Writes name, mobile number, code and e-mail of the client with this id; false when there is
    /// none (another desk deleted it). Throws DuplicateEntryError when another client has the code,
    /// compared as insert() compares it.
    [[nodiscard]] bool update(const ClientRow& client) const;
    /// Stores, in one transaction, every client of the list whose code no stored client has and no
    /// earlier client of the list has (compared as insert() compares it); returns what became of each,
    /// in list order. Nothing is stored when it throws.
    QList<Outcome> insertNew(const QList<ClientRow>& clients) const;
    void remove(qint64 id) const;

    /// The id of the first client after afterId whose column begins with the prefix, taken as
    /// plain text (a typed % or _ matches itself); letter case is ignored.
    std::optional<qint64> findPrefix(Column column, const QString& prefix, qint64 afterId) const;

private:
    /// Keeps every other writer of codes out until the transaction ends, as insert(), update() and
    /// insertNew() take it before they look at the stored codes.
    void holdCodes() const;
    /// Throws DuplicateEntryError when a client other than ownId has the code.
    void refuseTakenCode(const ClientRow& client, qint64 ownId) const;

    const Store& m_store;
};
