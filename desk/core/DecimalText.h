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
/// HalfToEven rounds a tie to the even hundredth instead (0.125 gives 12, 0.135 gives 14).
enum class Rounding { HalfAwayFromZero, HalfToEven };
std::optional<qint64> RoundToHundredths(QByteArrayView text, int pointShift = 0,
                                        Rounding rounding = Rounding::HalfAwayFromZero);
std::optional<qint64> RoundToHundredths(QStringView text, int pointShift = 0,
                                        Rounding rounding = Rounding::HalfAwayFromZero);

/// A number as trade files and reports write it, one reading for every kind of file: blanks around it,
/// an optional sign, digits that commas may group by thousands (1,234,567) or in the Indian way
/// (12,34,567), an optional decimal point and an optional exponent (1.5E3, 2e-2). Commas that do not
/// group digits make no number: "1,5" may be a decimal comma and must not become fifteen. In
/// hundredths, rounded from the decimal digits as RoundToHundredths rounds; nothing when the text is no
/// such number or its hundredths pass 18 digits.
std::optional<qint64> ReadHundredths(QByteArrayView text, int pointShift = 0,
                                     Rounding rounding = Rounding::HalfAwayFromZero);
std::optional<qint64> ReadHundredths(QStringView text, int pointShift = 0,
                                     Rounding rounding = Rounding::HalfAwayFromZero);
/// What ReadHundredths reads, when it is exactly a whole number of at most 18 digits ("1,000", "1E3",
/// "2.00"); nothing for a fraction or a text that is no number.
std::optional<qint64> ReadWholeNumber(QByteArrayView text);
/// Whether ReadHundredths would find a number there, however large.
bool IsWrittenNumber(QByteArrayView text);
bool IsWrittenNumber(QStringView text);

/// Hundredths written as "#0.00": at least one integer digit, two decimals, no grouping.
QString FormatHundredths(qint64 hundredths);
/// Hundredths in their shortest plain form: 123457 gives "1234.57", 100000 "1000", 1250 "12.5".
QString ShortestHundredths(qint64 hundredths);

/// The value of a text that is a number as a whole ("is numeric"): blanks around it, an optional sign,
/// digits with an optional decimal point; no grouping, no exponent. Nothing for any other text.
std::optional<double> NumericValue(QByteArrayView text);
std::optional<double> NumericValue(QStringView text);

/// The number at the start of a text, as plain decimal text ("numeric value at the start"): blanks
/// and tabs are passed over wherever they stand, an optional sign, digits with at most one decimal
/// point and an optional exponent (E or D); reading stops at the first character that cannot
/// continue the number. "0" when the text does not begin with one. " 1 2.5x" gives "12.5".
QString NumberAtStart(QStringView text);

/// A decimal in its shortest form: no exponent, no grouping, no trailing zeros after the point and no
/// point without decimals: 4500.00 gives "4500", 0.50 gives "0.5", -0 gives "0". From a double, the
/// fewest digits that read back as the same double.
QString ShortestDecimal(double value);
/// From decimal text (blanks around it, optional sign, digits, optional point); a text that is not
/// such a decimal comes back unchanged.
QString ShortestDecimal(QStringView decimalText);
