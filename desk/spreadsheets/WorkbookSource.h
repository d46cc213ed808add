#pragma once

#include "Workbook.h"

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
std::unique_ptr<WorkbookSource> OpenCsvWorkbook(const QString& path);
std::unique_ptr<WorkbookSource> OpenXlsWorkbook(const QString& path);

/// Converts the workbook to ".xlsx" through LibreOffice (`soffice --headless --convert-to xlsx`) into
/// a private temporary folder and opens the copy; nothing when `soffice` is not installed or the
/// conversion fails. The copy is removed when the source is destroyed.
std::unique_ptr<WorkbookSource> OpenConvertedWorkbook(const QString& path);
/// True when `soffice` can be run. KELVRA_SOFFICE names another program (an empty value: none).
bool CanConvertWorkbooks();
