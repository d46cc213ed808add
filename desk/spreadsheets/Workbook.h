#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

/// One worksheet as a person sees it in the spreadsheet program: the text of every cell of its used
/// range, rows and columns counted from 1 (column 1 is column A).
class Worksheet
{
public:
    Worksheet() = default;
    /// The rows as read, row 1 first; trailing empty cells and rows are dropped, so the used range ends
    /// at the last row and the last column that hold a non-empty text.
    Worksheet(QString name, QList<QStringList> rows);

    const QString& name() const { return m_name; }
    /// The last used row; 0 for an empty sheet.
    int rowCount() const { return int(m_rows.size()); }
    /// The last used column of any row; 0 for an empty sheet.
    int columnCount() const { return m_columns; }
    /// The cell's text; empty outside the used range (row or column below 1 included).
    QString cell(int row, int column) const;
    /// The used range, row 1 first; a row holds no cells beyond its last non-empty one.
    const QList<QStringList>& rows() const { return m_rows; }

private:
    QString m_name;
    QList<QStringList> m_rows;
    int m_columns = 0;
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

/// A workbook opened for reading: Excel 97 ".xls", ".xlsx" (Excel, LibreOffice, streaming writers),
/// LibreOffice ".ods", or a ".csv" file (one sheet named after the file). The format is told by the
/// file's content, not only by its name. Every format gives the same cell texts:
/// - whole numbers without ".0" or an exponent (a mobile number stored as a number reads
///   9876543210), other numbers in their shortest decimal form;
/// - dates, recognised from the cell's number format, as dd/MM/yyyy;
/// - formulas by their stored value, error values as their text ("#DIV/0!"), TRUE and FALSE;
/// - shared and inline strings alike, blanks kept.
/// A formula whose value the reader cannot give is never read as empty: the workbook is converted
/// through LibreOffice when `soffice` is installed, else reading the sheet fails naming the cell.
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
    /// The sheet of that name, matched exactly; throws WorkbookError naming the sheet when there is none.
    Worksheet sheet(const QString& name) const;

    /// The file dialogs' filter for workbooks (file names are case-sensitive here).
    static QString fileFilter();

private:
    Workbook(QString path, std::unique_ptr<WorkbookSource> source);

    QString m_path;
    std::unique_ptr<WorkbookSource> m_source;
};
