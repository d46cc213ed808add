#pragma once

#include "ExportGrid.h"

#include <QString>

/// Writes the grid as an HTML page in windows-1252, CR LF line ends, replacing an old file; a
/// character outside windows-1252 is written as a numeric character reference. Widths are in pixels
/// at 15 twips a pixel, whatever the screen, so screens and the command line write the same page.
/// False when the file cannot be written.
bool SaveGridAsHtml(const QString& fileName, const ExportGrid& grid);

/// The colour as an HTML colour between double quotes: pure red gives "#FF0000" with its quotes.
QString HtmlColor(GridColor color);
/// The text with "&", "<" and ">" escaped; "&nbsp;" for an empty text, so the cell keeps its border.
QString HtmlEscape(const QString& text);
/// True when the trimmed text is not empty and holds only digits, "," and at most one ".", with a "-"
/// or "+" allowed as its first character alone.
bool LooksNumeric(const QString& text);
/// The text with every occurrence of find replaced.
QString ReplaceAll(QString text, const QString& find, const QString& replacement);
