#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

/// A number as trade files and spreadsheets write it (blanks around it, an optional sign, digits with
/// an optional decimal point, no exponent) in hundredths, rounded from its decimal digits half away
/// from zero as VB's "#0.00" rounded, never through a binary fraction: 1.005 gives 101. pointShift
/// moves the decimal point first: -2 for a text that counts hundredths, as BSE rates in paise do.
/// Nothing when the text is not such a number or its hundredths pass 18 digits.
std::optional<qint64> RoundToHundredths(QByteArrayView text, int pointShift = 0);
std::optional<qint64> RoundToHundredths(QStringView text, int pointShift = 0);

/// Hundredths written as "#0.00": at least one integer digit, two decimals, no grouping.
QString FormatHundredths(qint64 hundredths);
