#pragma once

// The grid exports: a grid as plain values, written as an HTML page or as an .xlsx workbook.
#include "ExportGrid.h"
#include "HtmlGridWriter.h"
#include "WorkbookGridWriter.h"
