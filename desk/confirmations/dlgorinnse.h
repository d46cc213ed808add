#pragma once

#include "OrionPositionsDialog.h"

/// The positions of the Orion-layout NSE cash files (bnfOrion row "N").
class dlgorinnse : public OrionPositionsDialog
{
    Q_OBJECT

public:
    dlgorinnse(Store& store, Prompter& prompter, QWidget* owner)
        : OrionPositionsDialog("dlgorinnse", QStringLiteral("Nse Configuration"), QStringLiteral("N"), store,
                               prompter, owner)
    {
    }
};
