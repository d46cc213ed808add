#include "SpreadsheetMessages.h"

#include "DeskSession.h"
#include "SheetRows.h"
#include "Workbook.h"

namespace {

// The columns of a "Raw Data" line of the stock statement.
enum RawColumn { Mark = 0, Code = 1, Name = 2, Phone = 3, Quantity = 4, Item = 5 };

} // namespace

StockMessages::StockMessages(DeskSession& session)
    : m_session(session)
{
}

SpreadsheetReading StockMessages::read(const Worksheet& sheet, const QString& prefix,
                                       const SpreadsheetProgress& progress) const
{
    SpreadsheetReading reading;
    const ClientsByCode clients(m_session.StoreConnection());
    ProgressEvery shown(progress);
    for (int row = 1; row <= sheet.rowCount(); ++row) {
        if (!ReadsAsNumber(sheet.cell(row, 3)))
            continue;
        const QString codeCell = sheet.cell(row, 1).trimmed();
        shown.row(codeCell);
        if (clients.isEmpty())
            continue;
        const QString code = CleanedCode(codeCell);
        const QString quantity = CleanedNumber(sheet.cell(row, 3));
        const QString item = sheet.cell(row, 2);
        if (const ClientRow* client = clients.find(code))
            reading.rawData.append({QString(), code, client->name, client->mobile, quantity, item});
        else
            reading.rawData.append(
                {QStringLiteral("Not Found"), codeCell, QString(), QString(), quantity, item});
    }

    // A run of consecutive lines of one code makes one text, continued in another under the same
    // heading before it would reach 159 characters. A text is continued only once it holds an item, so
    // no text goes out with its heading alone.
    const QString head = prefix.trimmed() + u' ';
    const QList<QStringList>& lines = reading.rawData;
    // A piece too long to share a text goes whole into one of its own, never cut: its quantity is what
    // the client reads it for.
    const auto finish = [&](QueueGridRow row, const QString& text) {
        row.message = text;
        reading.messages.append(row);
    };
    qsizetype i = 0;
    while (i < lines.size()) {
        const QStringList& first = lines.at(i);
        if (first.at(Phone).trimmed().isEmpty()) {
            ++i;
            continue;
        }
        const QString code = first.at(Code);
        const QString heading = head + code + QStringLiteral(" : ");
        QueueGridRow message{first.at(Phone), QString()};
        QString text = heading;
        bool holdsItem = false;
        for (; i < lines.size() && lines.at(i).at(Code) == code; ++i) {
            const QStringList& line = lines.at(i);
            const QString piece = line.at(Item) + u' ' + line.at(Quantity) + u',';
            if (holdsItem && text.size() + piece.size() >= kLongestSheetText) {
                finish(message, text);
                message = {line.at(Phone), QString()};
                text = heading;
            }
            text += piece;
            holdsItem = true;
        }
        finish(message, text);
    }
    return reading;
}

int StockMessages::send(const QList<QueueGridRow>& messages)
{
    m_session.NextBatchNumber();
    return QueueGrid(m_session, QStringLiteral("Stock"), messages);
}
