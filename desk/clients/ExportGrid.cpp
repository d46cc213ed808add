#include "ExportGrid.h"

#include <algorithm>
#include <array>
#include <limits>
#include <stdexcept>
#include <utility>

namespace {

/// Windows default theme, indexes 0 to 30, as 0x00BBGGRR.
constexpr std::array<GridColor, 31> SystemColorTable = {
    0xC8C8C8, // 0 scroll bar
    0x000000, // 1 desktop
    0xD1B499, // 2 active caption
    0xDBCDBF, // 3 inactive caption
    0xF0F0F0, // 4 menu
    0xFFFFFF, // 5 window
    0x646464, // 6 window frame
    0x000000, // 7 menu text
    0x000000, // 8 window text
    0x000000, // 9 caption text
    0xB4B4B4, // 10 active border
    0xFCF7F4, // 11 inactive border
    0xABABAB, // 12 application workspace
    0xFF9933, // 13 highlight
    0xFFFFFF, // 14 highlight text
    0xF0F0F0, // 15 button face
    0xA0A0A0, // 16 button shadow
    0x6D6D6D, // 17 grey text
    0x000000, // 18 button text
    0x544E43, // 19 inactive caption text
    0xFFFFFF, // 20 button highlight
    0x696969, // 21 3D dark shadow
    0xE3E3E3, // 22 3D light
    0x000000, // 23 tooltip text
    0xE1FFFF, // 24 tooltip background
    0x000000, // 25 (none)
    0xCC6600, // 26 hot-tracked item
    0xEAD1B9, // 27 active caption gradient
    0xF2E4D7, // 28 inactive caption gradient
    0xFF9933, // 29 menu highlight
    0xF0F0F0, // 30 menu bar
};

} // namespace

GridColor SystemColor(int index)
{
    return index >= 0 && index < int(SystemColorTable.size()) ? SystemColorTable[index] : 0;
}

ExportGrid ExportGrid::fromRows(QList<QStringList> rows)
{
    ExportGrid grid;
    qsizetype columns = 0;
    for (const QStringList& row : rows)
        columns = std::max(columns, row.size());
    grid.columns.resize(columns);
    grid.rows = std::move(rows);
    return grid;
}

QString ExportGrid::text(int row, int column) const
{
    if (row >= 0 && row < rows.size())
        return rows[row].value(column);
    return moreRows.text(row - int(rows.size()), column);
}

QStringList ExportGrid::rowTexts(int row) const
{
    QStringList texts;
    texts.reserve(columnCount());
    for (int column = 0; column < columnCount(); ++column)
        texts << text(row, column);
    return texts;
}

void GridTexts::append(std::span<const QByteArrayView> cells)
{
    if (m_columns == 0)
        m_columns = qsizetype(cells.size());
    const qsizetype above = m_cells.size() - m_columns;
    for (qsizetype column = 0; column < m_columns; ++column) {
        const QByteArrayView cell =
            column < qsizetype(cells.size()) ? cells[size_t(column)] : QByteArrayView();
        if (above >= 0) {
            const Cell same = m_cells.at(above + column);
            if (QByteArrayView(m_bytes.constData() + same.start, same.size) == cell) {
                m_cells.append(same);
                continue;
            }
        }
        if (m_bytes.size() + cell.size() > std::numeric_limits<quint32>::max())
            throw std::length_error("a grid of more than 4 GB of text");
        m_cells.append({quint32(m_bytes.size()), quint32(cell.size())});
        m_bytes.append(cell);
    }
}

QString GridTexts::text(int row, int column) const
{
    if (row < 0 || row >= rowCount() || column < 0 || column >= m_columns)
        return {};
    const Cell cell = m_cells.at(row * m_columns + column);
    return QString::fromUtf8(m_bytes.constData() + cell.start, cell.size);
}

const ExportCellFormat* ExportGrid::cellFormat(int row, int column) const
{
    if (cellFormats.isEmpty())
        return nullptr;
    const auto found = cellFormats.constFind({row, column});
    return found == cellFormats.constEnd() ? nullptr : &*found;
}
