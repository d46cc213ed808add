#pragma once

#include "SpreadsheetScreen.h"

/// The stock-statement screen: a client's consecutive holdings rows of a stock sheet in one text (or
/// more when they do not fit), queued under "Stock".
class frm_Stock : public SpreadsheetScreen
{
    Q_OBJECT

public:
    frm_Stock(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr);

protected:
    SpreadsheetReading readSheet(const Worksheet& sheet, const SpreadsheetProgress& progress) override;
    int sendMessages(const QList<QueueGridRow>& messages) override;
    QString sentConfirmation() const override { return QStringLiteral("Message Place in Queued"); }

private:
    StockMessages m_engine;

    QLineEdit* txtPrifix1;
};
