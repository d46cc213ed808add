#pragma once

#include <QList>
#include <QStringList>

/// Rows of a look-up as text, for a pick list: the column captions and one list of values per row.
struct PickList
{
    QStringList columns;
    QList<QStringList> rows;
};
