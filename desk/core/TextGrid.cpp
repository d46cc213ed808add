#include "TextGrid.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QPalette>
#include <QScrollBar>

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
    m_source = nullptr;
    m_sourceRows = 0;
    m_rows = std::move(rows);
    m_columns = int(m_headers.size());
    for (const QStringList& row : std::as_const(m_rows))
        m_columns = std::max(m_columns, int(row.size()));
    endResetModel();
}

void TextGridModel::setSource(int rowCount, int columnCount, Source source)
{
    beginResetModel();
    m_rows.clear();
    m_source = std::move(source);
    m_sourceRows = rowCount;
    m_columns = std::max(int(m_headers.size()), columnCount);
    endResetModel();
}

void TextGridModel::sourceChanged()
{
    if (m_sourceRows > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_sourceRows - 1, m_columns - 1));
}

int TextGridModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : (m_source ? m_sourceRows : int(m_rows.size()));
}

int TextGridModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columns;
}

QString TextGridModel::text(int row, int column) const
{
    if (m_source)
        return row >= 0 && row < m_sourceRows && column >= 0 && column < m_columns ? m_source(row, column)
                                                                                   : QString();
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
    // The header's own stretch would cut a last column whose texts are wider than the room left.
    horizontalHeader()->setStretchLastSection(false);
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
    fitColumns();
    updateGeometry();
}

void TextGrid::reserveCharacters(int column, int characters)
{
    if (m_reserved.size() <= column)
        m_reserved.resize(column + 1);
    // As a line edit measures its width: in x's.
    m_reserved[column] = fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('x'))) + 8;
    updateGeometry();
}

void TextGrid::setRows(QList<QStringList> rows)
{
    m_model.setRows(std::move(rows));
    fitColumns(); // a reset of the model gives the header its default widths again
}

void TextGrid::setSource(int rowCount, int columnCount, TextGridModel::Source source)
{
    m_model.setSource(rowCount, columnCount, std::move(source));
    fitColumns();
}

void TextGrid::sourceChanged()
{
    m_model.sourceChanged();
    fitColumns(); // a changed text may be wider than its column
}

void TextGrid::fitColumns()
{
    const bool empty = m_model.rowCount() == 0;
    m_fitted.clear();
    // Only the rows in and around the view are measured (the header's resize precision), however
    // many there are.
    for (int column = 0; column < m_model.columnCount(); ++column) {
        m_fitted << std::max(empty ? 0 : sizeHintForColumn(column),
                             horizontalHeader()->sectionSizeHint(column));
    }
    layOutColumns();
}

void TextGrid::layOutColumns()
{
    const int count = int(m_fitted.size());
    if (count == 0)
        return;
    QList<int> widths;
    int designed = 0;
    for (int column = 0; column < count; ++column) {
        widths << std::max(m_widths.value(column), m_fitted[column]);
        designed += widths.last();
    }
    // The format's widths while they fit; when room is short each column gives way down to its texts.
    if (designed > viewport()->width())
        widths = m_fitted;
    int others = 0;
    for (int column = 0; column < count - 1; ++column) {
        setColumnWidth(column, widths[column]);
        others += widths[column];
    }
    setColumnWidth(count - 1, std::max(widths.last(), viewport()->width() - others));
}

void TextGrid::resizeEvent(QResizeEvent* event)
{
    QTableView::resizeEvent(event);
    layOutColumns();
}

QSize TextGrid::sizeHint() const
{
    int width = 2 * frameWidth() + verticalScrollBar()->sizeHint().width();
    for (int column = 0; column < std::max(m_widths.size(), m_reserved.size()); ++column)
        width += std::max(m_widths.value(column), m_reserved.value(column));
    constexpr int kRowsShown = 20;
    const int height = 2 * frameWidth() + horizontalHeader()->sizeHint().height() +
                       kRowsShown * verticalHeader()->defaultSectionSize();
    return {width, height};
}
