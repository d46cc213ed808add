#pragma once

#include "SpreadsheetScreen.h"

class QComboBox;

/// The ledger screen: one balance text per client row of a ledger sheet, within a range of amounts,
/// queued under "Ledger".
class frmLed : public SpreadsheetScreen
{
    Q_OBJECT

public:
    frmLed(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr);

protected:
    SpreadsheetReading readSheet(const Worksheet& sheet, const SpreadsheetProgress& progress) override;
    int sendMessages(const QList<QueueGridRow>& messages) override;

private:
    LedgerMessages m_engine;

    QLineEdit* txtCodeCol;
    QLineEdit* txtAmtCol;
    QComboBox* cmb_Sel;
    QComboBox* Cmb_Zero;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* txtPrifix1;
};
