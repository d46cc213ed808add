#pragma once

#include "TradeScreen.h"

/// The BSE cash-market trade screen.
class frmBseParse : public TradeScreen
{
    Q_OBJECT

public:
    frmBseParse(DeskSession& session, Prompter& prompter, QWidget* parent = nullptr)
        : TradeScreen(*TradeFileKind::byScreen(QStringLiteral("frmBseParse")), session, prompter, parent)
    {
    }
};
