#include "TextGrid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>

void TextGridModel::setHeaders(const QStringList& headers)
{
    beginResetModel();
    m_headers = headers;
    m_columns = int(headers.size());
    endResetModel();
}

void TextGridModel::setRows(QList<QStringList> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    m_columns = int(m_headers.size());
    for (const QStringList& row : std::as_const(m_rows))
        m_columns = std::max(m_columns, int(row.size()));
    endResetModel();
}

int TextGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TextGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QString TextGridModel::text(int row, int column) const
{
    if (row < 0 || row >= m_rows.size())
        return {};
    return m_rows.at(row).value(column);
}

QVariant TextGridModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return text(index.row(), index.column());
    if (role == Qt::BackgroundRole && index.column() == 0)
        return QPalette().button(); // the fixed first column
    return {};
}

QVariant TextGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return m_headers.value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

TextGrid::TextGrid(QWidget* parent)
    : QTableView(parent)
    , m_model(this)
{
    setModel(&m_model);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    verticalHeader()->setVisible(false);
    // Rows of one height: the view then lays out a million of them without measuring each.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    setWordWrap(false);
}

void TextGrid::setFormat(const QString& format)
{
    const QStringList cells = format.split(QLatin1Char('|'));
    QStringList headers;
    for (const QString& cell : cells)
        headers << cell.trimmed();
    m_model.setHeaders(headers);
    m_model.setRows({});
    const QFontMetrics metrics(font());
    m_widths.clear();
    for (const QString& cell : cells)
        m_widths << metrics.horizontalAdvance(cell) + 8;
    applyWidths();
}

void TextGrid::setRows(QList<QStringList> rows)
{
    m_model.setRows(std::move(rows));
    applyWidths(); // a reset of the model gives the header its default widths again
}

void TextGrid::applyWidths()
{
    for (int column = 0; column < m_widths.size() && column < m_model.columnCount(); ++column)
        setColumnWidth(column, m_widths.at(column));
}
