#include "SpreadsheetMessages.h"

#include "DecimalText.h"
#include "DeskSession.h"
#include "SheetRows.h"
#include "Workbook.h"

TemplateMessages::TemplateMessages(DeskSession& session)
    : m_session(session)
{
}

SpreadsheetReading TemplateMessages::read(const Worksheet& sheet, const QString& codeColumn,
                                          const QString& templateText, const QDate& today,
                                          const SpreadsheetProgress& progress) const
{
    SpreadsheetReading reading;
    const double column = NumberAtStart(codeColumn).toDouble();
    if (!(column > 0)) {
        reading.stopMessage = QStringLiteral("Pl enter the column no of code from excel sheet");
        return reading;
    }
    if (column > sheet.columnCount()) {
        reading.stopMessage = QStringLiteral("Pl enter the valid column no of code from excel sheet");
        return reading;
    }
    const int codeAt = int(column);
    const QString todayText = today.toString(QStringLiteral("dd/MM/yyyy"));

    const ClientsByCode clients(m_session.StoreConnection());
    ProgressEvery shown(progress);
    QList<std::pair<QString, QString>> values;
    for (int placeholder = 1; placeholder <= 9; ++placeholder)
        values.append({QStringLiteral("COL%1").arg(placeholder), QString()});
    values.append({QStringLiteral("TODAY"), todayText});

    // Row 1 holds the headings and is never read.
    for (int row = 2; row <= sheet.rowCount(); ++row) {
        const QString code = sheet.cell(row, codeAt).trimmed();
        shown.row(code);
        const ClientRow* client = clients.find(code);
        if (!client) {
            reading.notFoundRows << row;
            continue;
        }
        for (int placeholder = 1; placeholder <= 9; ++placeholder)
            values[placeholder - 1].second = sheet.cell(row, placeholder).trimmed();
        QString text = FillPlaceholders(templateText, values);
        text = CutAtWholeCharacters(text, kLongestSheetText);
        reading.messages.append({client->mobile, text});
    }
    return reading;
}

int TemplateMessages::send(const QList<QueueGridRow>& messages)
{
    m_session.NextBatchNumber();
    return QueueGrid(m_session, QStringLiteral("ExcCode"), messages);
}
