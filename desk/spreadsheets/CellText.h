#pragma once

#include <QString>

/// The texts a cell shows, the same for every workbook format.

/// A number: whole numbers in plain digits (no ".0", no exponent, up to 15 digits), others in their
/// shortest decimal form without an exponent.
QString NumberCellText(double value);
/// A date from a spreadsheet serial day number (1900 system: day 60 is the phantom 29 February 1900;
/// the 1904 system when date1904), as dd/MM/yyyy; the time of day is dropped.
QString SerialDateCellText(double serial, bool date1904 = false);
/// True when an Excel number format (its built-in id, or its format code when custom) shows a date.
bool IsDateFormat(int builtInId, const QString& formatCode);
