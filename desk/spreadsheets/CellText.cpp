#include "CellText.h"

#include "NumberFormat.h"

QString NumberCellText(double value)
{
    static const NumberFormat general;
    return *general.number(value);
}
