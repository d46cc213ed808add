#pragma once

#include "TradeScreen.h"

/// The NSE cash-market trade screen.
class frmnseparse : public TradeScreen
{
    Q_OBJECT

public:
    frmnseparse(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr)
        : TradeScreen(*TradeFileKind::byScreen(QStringLiteral("frmnseparse")), session, prompter, parent)
    {
    }
};
