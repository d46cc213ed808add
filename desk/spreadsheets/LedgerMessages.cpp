#include "SpreadsheetMessages.h"

#include "DecimalText.h"
#include "DeskSession.h"
#include "SheetRows.h"
#include "Workbook.h"

namespace {

// A column number as its box gives it: the number at the start of the text, 0 when there is none.
double columnNumber(const QString& boxText)
{
    return NumberAtStart(boxText).toDouble();
}

// Whether an amount passes "Led Sel": SELECT keeps the range with its bounds, DESELECT drops only the
// amounts strictly inside it, any other text keeps nothing.
bool inSelection(const QString& selection, double amount, double from, double to)
{
    if (selection == QLatin1String("SELECT"))
        return from <= amount && amount <= to;
    if (selection == QLatin1String("DESELECT"))
        return amount <= from || amount >= to;
    return false;
}

} // namespace

LedgerMessages::LedgerMessages(DeskSession& session, QLocale locale)
    : m_session(session)
    , m_locale(std::move(locale))
{
}

SpreadsheetReading LedgerMessages::read(const Worksheet& sheet, const LedgerChoices& choices,
                                        const QDate& today, const SpreadsheetProgress& progress) const
{
    SpreadsheetReading reading;
    const double amountColumn = columnNumber(choices.amountColumn);
    const double codeColumn = columnNumber(choices.codeColumn);
    const int lastColumn = sheet.columnCount();
    if (!(amountColumn > 0))
        reading.stopMessage = QStringLiteral("Pl enter the column no of Amount from excel sheet");
    else if (!(codeColumn > 0))
        reading.stopMessage = QStringLiteral("Pl enter the column no of code from excel sheet");
    else if (amountColumn > lastColumn)
        reading.stopMessage = QStringLiteral("Pl enter the valid column no of Amount from excel sheet");
    else if (codeColumn > lastColumn)
        reading.stopMessage = QStringLiteral("Pl enter the valid column no of code from excel sheet");
    if (!reading.stopMessage.isEmpty())
        return reading;

    const int amountAt = int(amountColumn);
    const int codeAt = int(codeColumn);
    const double from = columnNumber(choices.fromAmount);
    const double to = columnNumber(choices.toAmount);
    const bool includeZero = choices.includeZero == QLatin1String("YES");
    const QString date = m_locale.toString(today, QLocale::ShortFormat);
    const QString templateText = choices.templateText.trimmed();

    const ClientsByCode clients(m_session.StoreConnection());
    ProgressEvery shown(progress);
    for (int row = 1; row <= sheet.rowCount(); ++row) {
        if (!ReadsAsNumber(sheet.cell(row, amountAt)))
            continue;
        const QString codeCell = sheet.cell(row, codeAt).trimmed();
        shown.row(codeCell);
        if (clients.isEmpty())
            continue;
        const QString code = CleanedCode(codeCell);
        const ClientRow* client = clients.find(code);
        const QString amountText = CleanedNumber(sheet.cell(row, amountAt));
        if (!client) {
            reading.rawData.append({QStringLiteral("Not Found"), codeCell, QString(), QString(), amountText});
            continue;
        }
        reading.rawData.append({QString(), code, client->name, client->mobile, amountText});

        const double amount = amountText.toDouble();
        if (!(includeZero || amount != 0) || !inSelection(choices.selection, amount, from, to))
            continue;
        const QString magnitude = amountText.startsWith(u'-') ? amountText.mid(1) : amountText;
        const QString amountWords = magnitude + (amount < 0 ? QStringLiteral(" Dr") : QStringLiteral(" Cr"));
        QString text = FillPlaceholders(templateText, {{QStringLiteral("DATE"), date},
                                                       {QStringLiteral("CODE"), code},
                                                       {QStringLiteral("AMT"), amountWords}});
        if (text.size() > kLongestSheetText) {
            reading.warnings << CutTextWarning(client->mobile, code);
            text = CutAtWholeCharacters(text, kLongestSheetText);
        }
        reading.messages.append({client->mobile, text});
    }
    return reading;
}

int LedgerMessages::send(const QList<QueueGridRow>& messages)
{
    m_session.NextBatchNumber();
    return QueueGrid(m_session, QStringLiteral("Ledger"), messages);
}
