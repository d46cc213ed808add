#include "MessageMasterTable.h"

#include "Store.h"

MessageMasterTable::MessageMasterTable(const Store& store)
    : m_store(store)
{
}

PickList MessageMasterTable::messagePickList() const
{
    PickList list;
    list.columns << QStringLiteral("message");
    QSqlQuery query = m_store.exec(QStringLiteral("SELECT message FROM MessageMaster ORDER BY id"));
    while (query.next())
        list.rows << QStringList{query.value(0).toString()};
    return list;
}

void MessageMasterTable::insert(const QString& message) const
{
    m_store.exec(QStringLiteral("INSERT INTO MessageMaster (message) VALUES (?)"), {message});
}
