#pragma once

#include "ExportGrid.h"

#include <QString>

/// What a workbook export did: the file written, or why nothing was.
struct WorkbookExport
{
    /// The file as written: a name ending in ".xls" gets ".xlsx", as its content is.
    QString path;
    /// Empty when the file was written.
    QString error;
    bool ok() const { return error.isEmpty(); }
};

/// Writes the grid into an .xlsx workbook of one sheet: the header row in sheet row 1, grid row r in
/// sheet row r + 1, column c in sheet column c + 1. Texts of the fixed rows stay texts; below them a
/// decimal that reads back as the same text (at most 15 significant digits, not a digit string of 11
/// or more digits) is a number, a date or date and time in a date column a date cell shown
/// dd/mm/yyyy (with the time when it has one), and anything else a text. Nothing is a formula, so
/// "=1+1" stays a text and a code "007" or a mobile number keeps all its digits.
WorkbookExport ExportGridToWorkbookAs(const QString& fileName, const ExportGrid& grid);
/// As ExportGridToWorkbookAs, into the application folder under fileName ("PartyMaster.xls").
WorkbookExport ExportGridToWorkbook(const QString& applicationFolder, const QString& fileName,
                                    const ExportGrid& grid);
