#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class Store;
class Worksheet;

/// The sheet columns an import reads, counted from 1; 0 for a column not chosen.
struct ImportColumns
{
    int name = 0;
    int mobile = 0;
    int email = 0;
    int code = 0;

    /// The name, mobile-number and client-code columns are chosen; the e-mail column may stay unchosen.
    bool isComplete() const { return name > 0 && mobile > 0 && code > 0; }
};

/// One data row of the sheet as read from the chosen columns.
struct ImportRow
{
    /// The sheet row, counted from 1 (the first data row is 2).
    int sheetRow = 0;
    QString name;
    QString mobile;
    QString email;
    QString code;
};

/// The data rows of a sheet split by their mobile numbers, each list numbered from 1 in the screen.
struct ImportPreview
{
    QList<ImportRow> valid;
    QList<ImportRow> invalid;
    /// The row whose empty name cell ended the reading while the sheet went on below it; 0 when the
    /// reading reached the end of the sheet.
    int stoppedAt = 0;
};

/// A valid row that was not added, with the reason in the words the screen and the command show.
struct SkippedImportRow
{
    ImportRow row;
    QString reason;

    /// "row 6: Hari Om, b001: the code repeats row 3".
    QString text() const;
};

/// What saving a preview did.
struct ImportResult
{
    int added = 0;
    QList<SkippedImportRow> skipped;
};

/// Adds the clients of a workbook's sheet to ClientMaster: the headings to choose the columns from,
/// the rows split by the validity of their mobile numbers, and the valid rows stored as new clients
/// without ever storing a client code twice.
class ClientImport
{
public:
    explicit ClientImport(const Store& store);

    /// The texts of row 1 from column 1 up to the first empty cell: the column choices, in sheet order.
    static QStringList headings(const Worksheet& sheet);
    /// A mobile number is valid when, without the blanks around it, it is exactly ten digits.
    static bool isValidMobile(const QString& mobile);
    /// An invalid row and why, as the command line lists it: "row 5: Hari Om, 98765: the mobile
    /// number is not ten digits".
    static QString invalidRowText(const ImportRow& row);
    /// The rows from row 2 downwards, while the name cell is not empty, split by their mobile numbers.
    static ImportPreview split(const Worksheet& sheet, const ImportColumns& columns);

    /// Stores the valid rows in one transaction, mobile number and code without the blanks around them.
    /// A row without a code, or whose code a stored client or an earlier row has (letter case ignored),
    /// is skipped. Throws StoreError, having stored nothing, when the store refuses.
    ImportResult save(const QList<ImportRow>& valid) const;

private:
    const Store& m_store;
};
