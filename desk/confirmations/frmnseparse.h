#pragma once

#include "CashTradeScreen.h"

/// The NSE cash-market trade screen.
class frmnseparse : public CashTradeScreen
{
    Q_OBJECT

public:
    frmnseparse(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr)
        : CashTradeScreen("frmnseparse", QStringLiteral("NSE Trade Parser"), session, prompter,
                          CashExchange::Nse, parent)
    {
    }
};
