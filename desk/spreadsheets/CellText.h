#pragma once

#include <QString>

/// The text a number shows as General, the same for every workbook format (NumberFormat): whole
/// numbers below 2^53 in full, others to 15 significant digits, 10^15 and more and some very small
/// numbers in scientific notation.
QString NumberCellText(double value);
