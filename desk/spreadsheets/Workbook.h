#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

/// One worksheet as a person sees it in the spreadsheet program: the text of every cell of its used
/// range, rows and columns counted from 1 (column 1 is column A). Only filled cells are held, each
/// text once however many cells show it, and a run of identical rows once: a huge sparse sheet costs
/// what it holds.
class Worksheet
{
public:
    Worksheet() = default;
    /// The rows as read, row 1 first; trailing empty cells and rows are dropped, so the used range ends
    /// at the last row and the last column that hold a non-empty text.
    Worksheet(QString name, QList<QStringList> rows);

    const QString& name() const { return m_name; }
    /// The last used row; 0 for an empty sheet.
    int rowCount() const { return m_rowCount; }
    /// The last used column of any row; 0 for an empty sheet.
    int columnCount() const { return m_columnCount; }
    /// The cell's text; empty outside the used range (row or column below 1 included).
    QString cell(int row, int column) const;
    /// One row's cells up to its last non-empty one; empty outside the used range.
    QStringList row(int row) const;
    /// The used range, row 1 first, each row up to its last non-empty cell. It spells out every cell
    /// of the range: a caller that may meet a large sheet reads it through cell() or row().
    QList<QStringList> rows() const;
    /// The same cells under another name.
    Worksheet renamed(QString name) const;

private:
    friend class SheetBuilder;
    friend class TextPool;

    /// A text of m_texts.
    struct Span
    {
        quint32 offset = 0;
        quint32 length = 0;
    };
    struct Cell
    {
        qint32 column = 0;
        qint32 text = 0;
    };
    /// Rows first to last, each holding the cells [cellBegin, cellEnd) of m_cells.
    struct Rows
    {
        qint32 first = 0;
        qint32 last = 0;
        qint32 cellBegin = 0;
        qint32 cellEnd = 0;
    };

    QString m_name;
    QString m_texts;
    QList<Span> m_spans;
    QList<Cell> m_cells;
    QList<Rows> m_rows;
    int m_rowCount = 0;
    int m_columnCount = 0;
};

/// A workbook or worksheet that cannot be read, with the reason in one line that names the file (or
/// the sheet, or the cell).
class WorkbookError : public std::runtime_error
{
public:
    enum class Kind {
        /// Missing, unreadable, damaged or not a workbook: the screens say the file is open elsewhere.
        Unreadable,
        /// No sheet of that name or number.
        NoSuchSheet,
        /// A formula whose value cannot be read and no LibreOffice to convert the workbook.
        FormulaWithoutValue,
        /// A number format the readers do not show, and no LibreOffice to convert the workbook.
        FormatNotRead,
        /// Beyond a bound of the readers (the reason names it): rows, columns, filled cells, the text
        /// of a cell or a sheet, a workbook part inflating too far. No real workbook reaches one.
        TooLarge,
    };
    explicit WorkbookError(const QString& message, Kind kind = Kind::Unreadable)
        : std::runtime_error(message.toStdString())
        , m_message(message)
        , m_kind(kind)
    {
    }
    const QString& message() const { return m_message; }
    Kind kind() const { return m_kind; }

private:
    QString m_message;
    Kind m_kind;
};

class WorkbookSource;

/// A workbook opened for reading: Excel 97 ".xls" (and the HTML tables, tab-separated text and Excel
/// 2003 XML that back offices save under that name), ".xlsx" (Excel, LibreOffice, streaming writers),
/// LibreOffice ".ods", or a ".csv" file (one sheet named after the file). The format is told by the
/// file's content, not only by its name. Every format gives each cell's text as LibreOffice shows it:
/// - numbers and dates in the cell's number format (General: whole numbers without ".0", others in
///   up to 15 significant digits), a code formatted 00000 with its leading zeros;
/// - formulas by their stored value in their format, error values as their text ("#DIV/0!"), TRUE and
///   FALSE;
/// - shared and inline strings alike, blanks kept.
/// A formula whose value the reader cannot give is never read as empty: the workbook is converted
/// through LibreOffice when `soffice` is installed, else reading the sheet fails naming the cell. A
/// number format the readers do not show, and a file past the readers' bounds, are refused with a
/// reason naming the format or the bound.
class Workbook
{
public:
    /// Opens the file; throws WorkbookError when it is missing, unreadable or not a workbook.
    static Workbook open(const QString& path);
    Workbook(Workbook&&) noexcept;
    Workbook& operator=(Workbook&&) noexcept;
    ~Workbook();

    const QString& path() const { return m_path; }
    /// The sheet names in workbook order.
    QStringList sheetNames() const;
    /// The sheet at index (0 is the first); throws WorkbookError when there is none or it cannot be read.
    Worksheet sheet(int index) const;
    /// The sheet of that name, matched exactly, else in any letter case; throws WorkbookError naming the
    /// sheet when there is none.
    Worksheet sheet(const QString& name) const;

    /// The file dialogs' filter for workbooks, their extensions in any letter case.
    static QString fileFilter();

private:
    Workbook(QString path, std::unique_ptr<WorkbookSource> source);

    QString m_path;
    std::unique_ptr<WorkbookSource> m_source;
};
