#include "WorkbookSource.h"

std::unique_ptr<WorkbookSource> OpenXlsWorkbook(const QString& path)
{
    throw WorkbookError(QStringLiteral("%1: Excel 97 workbooks cannot be read yet").arg(path));
}
