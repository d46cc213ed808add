#pragma once

#include "Store.h"

#include <QList>
#include <QString>
#include <QStringList>

// Rows named one by one go into a statement as one bound value: a JSON array read by json_each on
// SQLite, an integer array on PostgreSQL. NidCondition's "?" takes NidListValue.
inline QString NidCondition(const Store& store, const QString& column = QStringLiteral("nid"))
{
    return store.engine() == Store::Engine::Sqlite
               ? column + QStringLiteral(" IN (SELECT value FROM json_each(?))")
               : column + QStringLiteral(" = ANY (CAST(? AS integer[]))");
}

inline QString NidListValue(const Store& store, const QList<int>& nids)
{
    QStringList numbers;
    numbers.reserve(nids.size());
    for (int nid : nids)
        numbers << QString::number(nid);
    const QString list = numbers.join(u',');
    return store.engine() == Store::Engine::Sqlite ? u'[' + list + u']' : u'{' + list + u'}';
}
