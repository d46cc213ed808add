#include "WorkbookSource.h"

std::unique_ptr<WorkbookSource> OpenConvertedWorkbook(const QString&)
{
    return nullptr;
}

bool CanConvertWorkbooks()
{
    return false;
}
