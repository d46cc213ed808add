#include "Workbook.h"

#include "WorkbookSource.h"

#include <algorithm>

Worksheet::Worksheet(QString name, QList<QStringList> rows)
    : m_name(std::move(name))
    , m_rows(std::move(rows))
{
    for (QStringList& row : m_rows) {
        while (!row.isEmpty() && row.last().isEmpty())
            row.removeLast();
        m_columns = std::max(m_columns, int(row.size()));
    }
    while (!m_rows.isEmpty() && m_rows.last().isEmpty())
        m_rows.removeLast();
}

QString Worksheet::cell(int row, int column) const
{
    if (row < 1 || row > m_rows.size())
        return {};
    return m_rows[row - 1].value(column - 1);
}
