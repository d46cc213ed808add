#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <span>
#include <utility>

/// A colour as a grid keeps it: 0x00BBGGRR, or a system colour when the top byte is 0x80 (the low
/// byte is then the system colour's index, see SystemColor).
using GridColor = quint32;

/// The system colours the grids name, by index.
namespace SystemColors {
constexpr GridColor Window = 0x80000005;
constexpr GridColor WindowText = 0x80000008;
constexpr GridColor ButtonFace = 0x8000000F;
constexpr GridColor ButtonShadow = 0x80000010;
constexpr GridColor ButtonText = 0x80000012;
} // namespace SystemColors

/// The 0x00BBGGRR value of a system colour index (COLOR_WINDOW = 5, COLOR_BTNFACE = 15, ...): a fixed
/// table of the Windows default theme (window white, window and button text black, button face
/// #F0F0F0, button shadow #A0A0A0, ...), so that an export looks the same on every machine. An
/// unknown index gives black.
GridColor SystemColor(int index);

/// One column of a grid to export.
struct ExportColumn
{
    /// Alignment codes 0 to 8 are left, centre, right (by threes) at top, centre, bottom; any other
    /// code is general: aligned by the content.
    static constexpr int AlignGeneral = 9;
    static constexpr int DateType = 7;
    static constexpr int BooleanType = 11;

    /// In twips.
    int width = 1440;
    bool hidden = false;
    int alignment = AlignGeneral;
    /// DateType, BooleanType or any other value.
    int dataType = 0;
};

/// One row of a grid to export; rows the grid describes no further are shown, not subtotals.
struct ExportRow
{
    /// In twips; 0 makes the row invisible.
    int height = 240;
    bool hidden = false;
    bool subtotal = false;
    int outlineLevel = 0;
};

/// What one cell shows beyond its text; unset parts follow the grid.
struct ExportCellFormat
{
    std::optional<GridColor> background;
    std::optional<GridColor> foreground;
    /// Empty: the grid's font.
    QString fontName;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

/// Cells shown as one, rows and columns counted from 0 and inclusive.
struct ExportMerge
{
    int firstRow = 0;
    int lastRow = 0;
    int firstColumn = 0;
    int lastColumn = 0;
};

/// The texts of many rows kept compactly: UTF-8 in one buffer, a cell the same as the one above it
/// sharing its bytes. For lists of a million rows, where a string for every cell would cost most of
/// the time and memory of showing them.
class GridTexts
{
public:
    /// Appends a row of UTF-8 texts; cells beyond the first row's count are dropped.
    void append(std::span<const QByteArrayView> cells);

    int rowCount() const { return m_columns ? int(m_cells.size() / m_columns) : 0; }
    int columnCount() const { return int(m_columns); }
    QString text(int row, int column) const;

private:
    struct Cell
    {
        quint32 start = 0;
        quint32 size = 0;
    };

    qsizetype m_columns = 0;
    QByteArray m_bytes;
    QList<Cell> m_cells;
};

/// A grid as shown on screen, described as plain values for the exports: cell texts by row (row 0 is
/// the header row), columns, and whatever the screen shows beyond the texts. The report screens and
/// the command line fill it alike; formats are kept sparse so that a million-row list stays texts.
struct ExportGrid
{
    /// The rows, header row first; a row shorter than the columns has empty cells at its end.
    QList<QStringList> rows;
    /// Further rows, below those above, kept compactly.
    GridTexts moreRows;
    /// The grid's columns; texts beyond them are not exported.
    QList<ExportColumn> columns;
    int fixedRows = 1;
    int fixedColumns = 0;
    /// Row r's display properties; rows beyond the list have the defaults.
    QList<ExportRow> rowFormats;
    /// Cell formats by (row, column).
    QHash<std::pair<int, int>, ExportCellFormat> cellFormats;
    QList<ExportMerge> merges;

    QString fontName = QStringLiteral("MS Sans Serif");
    GridColor background = SystemColors::Window;
    GridColor gridLineColor = 0x00C0C0C0;
    GridColor fixedBackground = SystemColors::ButtonFace;
    GridColor fixedForeground = SystemColors::ButtonText;
    GridColor fixedGridLineColor = SystemColors::ButtonShadow;
    /// The width of the grid control on screen, in twips; a table is never narrower.
    int controlWidth = 0;

    /// A grid of these rows (header row first) with one default column for each text of the widest.
    static ExportGrid fromRows(QList<QStringList> rows);

    int rowCount() const { return int(rows.size()) + moreRows.rowCount(); }
    int columnCount() const { return int(columns.size()); }
    QString text(int row, int column) const;
    /// The texts of a row, one for each column.
    QStringList rowTexts(int row) const;
    ExportRow rowFormat(int row) const { return rowFormats.value(row); }
    /// The cell's own format; nothing when it has none.
    const ExportCellFormat* cellFormat(int row, int column) const;
};
