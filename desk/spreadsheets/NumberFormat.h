#pragma once

#include <QString>

#include <memory>
#include <optional>

/// The text a cell shows for its value in an Excel number format code, as LibreOffice shows it in the
/// English (US) locale: .xlsx and .xls files hold these codes, and the .ods reader writes its data
/// styles as them. Read are General, fixed decimals, grouping (Western, and Indian under [$-4009]),
/// leading zeros, scaling, percentages, scientific notation, dates and times, elapsed times, text
/// sections and "@", literal texts, currency symbols, spacing, sections for negative numbers and zero,
/// and colours (which change no text). A code holding anything else (fractions, conditions, other
/// calendars or numerals, locales other than English) is not read: nothing is shown rather than a
/// different text.

/// The format code of a built-in number format (0-49, as .xlsx numFmtId and .xls XF records use them)
/// as LibreOffice shows it; empty when the id is no built-in one.
QString BuiltInNumberFormat(int id);

/// The number in the format code; nullopt when the code is beyond what is read.
std::optional<QString> FormatNumber(double value, const QString& formatCode, bool date1904 = false);

/// A text cell in the format code: through its text section; unchanged when it has none; nullopt when
/// the code is beyond what is read.
std::optional<QString> FormatText(const QString& text, const QString& formatCode);

/// A format code read once, for a reader that shows many cells in a few formats.
class NumberFormat
{
public:
    /// "General".
    NumberFormat();
    explicit NumberFormat(const QString& code);

    const QString& code() const { return m_code; }
    /// False when the code is beyond what is read; number() and text() then give nothing.
    bool isReadable() const { return m_format != nullptr; }
    /// True for General alone, whose numbers are shown in their shortest form of up to 15 digits.
    bool isGeneral() const;

    /// False when every text shows unchanged, as in a code without a text section.
    bool changesText() const { return !m_textUnchanged; }

    std::optional<QString> number(double value, bool date1904 = false) const;
    std::optional<QString> text(const QString& text) const;

    struct Format;

private:
    QString m_code;
    std::shared_ptr<const Format> m_format;
    bool m_textUnchanged = true;
};
