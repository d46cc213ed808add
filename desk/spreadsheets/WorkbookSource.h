#pragma once

#include "Workbook.h"

#include <QByteArrayView>
#include <QFile>

#include <functional>
#include <memory>

/// One workbook format's reader behind Workbook. Internal to the workbook readers.
class WorkbookSource
{
public:
    virtual ~WorkbookSource() = default;
    virtual QStringList sheetNames() const = 0;
    /// Throws WorkbookError.
    virtual Worksheet sheet(int index) const = 0;
};

/// The readers of each format; each throws WorkbookError naming the file when it cannot open it.
std::unique_ptr<WorkbookSource> OpenXlsxWorkbook(const QString& path);
std::unique_ptr<WorkbookSource> OpenOdsWorkbook(const QString& path);
class SheetBuilder;
/// Reads the cells of a text file's one sheet into the builder.
using TextSheetParser = std::function<void(QStringView text, SheetBuilder& sheet)>;
/// A text file as a workbook of one sheet named after the file, its cells read by parse.
std::unique_ptr<WorkbookSource> OpenTextWorkbook(const QString& path, TextSheetParser parse);
/// Comma-separated text, or tab-separated with delimiter '\t'.
std::unique_ptr<WorkbookSource> OpenCsvWorkbook(const QString& path, QChar delimiter = u',');
/// The rows and cells of the tables of an HTML page, as back offices export them under the name ".xls".
std::unique_ptr<WorkbookSource> OpenHtmlWorkbook(const QString& path);
std::unique_ptr<WorkbookSource> OpenXlsWorkbook(const QString& path);

/// Converts the workbook to ".xlsx" through LibreOffice (`soffice --headless --convert-to xlsx`) into
/// a private temporary folder and opens the copy; nothing when `soffice` is not installed or the
/// conversion fails. The copy is removed when the source is destroyed.
std::unique_ptr<WorkbookSource> OpenConvertedWorkbook(const QString& path);
/// True when `soffice` can be run. KELVRA_SOFFICE names another program (an empty value: none).
bool CanConvertWorkbooks();

/// The largest text workbook read (CSV, tab-separated, HTML): a million rows of ordinary width fit.
inline constexpr qint64 kLargestTextWorkbook = qint64(256) << 20;
/// The whole of an open text file; throws WorkbookError when it is larger than kLargestTextWorkbook or
/// cannot be read.
QByteArray ReadTextFile(QFile& file, const QString& path);
/// UTF-16 after its byte-order mark; else UTF-8 (a byte-order mark dropped) when the bytes are valid
/// UTF-8, windows-1252 otherwise.
QString DecodeTextFile(QByteArrayView bytes);
