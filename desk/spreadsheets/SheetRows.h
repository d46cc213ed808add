#pragma once

#include "ClientTable.h"

#include <QHash>
#include <QList>
#include <QString>

#include <functional>
#include <utility>

class Store;

/// The longest text the spreadsheet screens send as one message.
inline constexpr qsizetype kLongestSheetText = 159;

/// True when the cell's text as a whole is a number as a sheet shows one, grouping commas, a currency
/// sign or name and accounting parentheses allowed: "1,234.50", " -12 ", "₹ 1,234.50" and
/// "(1,234.50)" are, "Total", "12 kg" and an empty cell are not.
bool ReadsAsNumber(const QString& cell);

/// An amount or quantity cell as the screens list and send it: cleaned as a mobile number is, its
/// leading number in its shortest decimal form ("1,234.50" gives "1234.5", "-1,234.00" gives "-1234",
/// "₹ 1,234.50" gives "1234.5", "(1,234.50)" gives "-1234.5").
QString CleanedNumber(const QString& cell);

/// A code cell as the ledger and stock screens look it up: trimmed, no-break spaces and every blank
/// removed.
QString CleanedCode(const QString& cell);

/// The template with every placeholder replaced at each occurrence, in one pass from left to right: a
/// value put in is never scanned again. Where two placeholders start at one place, the earlier in the
/// list wins.
QString FillPlaceholders(const QString& text, const QList<std::pair<QString, QString>>& values);

/// The text cut to at most length UTF-16 units, never between the two halves of one character.
QString CutAtWholeCharacters(const QString& text, qsizetype length);

/// The warning shown when a text is cut to its first 159 characters.
QString CutTextWarning(const QString& mobile, const QString& code);

/// The client master read once, found by code as the store's text look-ups find it: blanks around the
/// code and letter case do not count; an empty code is nobody's.
class ClientsByCode
{
public:
    explicit ClientsByCode(const Store& store);

    bool isEmpty() const { return m_clients.isEmpty(); }
    const ClientRow* find(const QString& code) const;

private:
    QList<ClientRow> m_clients;
    QHash<QString, qsizetype> m_byCode;
};

/// Hands the progress callback the code of every thousandth row examined, starting with the first, so
/// a long sheet shows where it is without a call per row.
class ProgressEvery
{
public:
    explicit ProgressEvery(const std::function<void(const QString&)>& progress)
        : m_progress(progress)
    {
    }
    void row(const QString& code)
    {
        if (m_progress && m_rows++ % 1000 == 0)
            m_progress(code);
    }

private:
    const std::function<void(const QString&)>& m_progress;
    qint64 m_rows = 0;
};
