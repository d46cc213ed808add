#include "frm_Stock.h"

#include "TextGrid.h"

#include <QLineEdit>

frm_Stock::frm_Stock(DeskSession& session, Prompter& prompter, QWidget* parent)
    : SpreadsheetScreen(QStringLiteral("frm_Stock"), QStringLiteral("Ledger Data"), prompter, parent)
    , m_engine(session)
{
    // The ledger and the stock statement share their caption: the title tells which one this is.
    setWindowTitle(QStringLiteral("Ledger Data - Stock"));
    txtPrifix1 = new QLineEdit(this);
    txtPrifix1->setObjectName(QStringLiteral("txtPrifix1"));
    txtPrifix1->setMaxLength(125);
    layOutAsLedger(nullptr, txtPrifix1);

    VS->setFormat(QStringLiteral("Sr. No.   | Code        | Name                    | Phone          | "
                                 "Amount       |                    "));
    setMessageFormat(QStringLiteral("*   | Mobile No.      | Message") + QString(90, u' '));
}

SpreadsheetReading frm_Stock::readSheet(const Worksheet& sheet, const SpreadsheetProgress& progress)
{
    return m_engine.read(sheet, txtPrifix1->text(), progress);
}

int frm_Stock::sendMessages(const QList<QueueGridRow>& messages)
{
    return m_engine.send(messages);
}
