#pragma once

#include "CashTradeScreen.h"

/// The BSE cash-market trade screen.
class frmBseParse : public CashTradeScreen
{
    Q_OBJECT

public:
    frmBseParse(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr)
        : CashTradeScreen("frmBseParse", QStringLiteral("BSE Trade Parser"), session, prompter,
                          CashExchange::Bse, parent)
    {
    }
};
