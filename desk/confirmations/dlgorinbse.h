#pragma once

#include "OrionPositionsDialog.h"

/// The positions of the Orion-layout BSE cash files (bnfOrion row "B").
class dlgorinbse : public OrionPositionsDialog
{
    Q_OBJECT

public:
    dlgorinbse(Store& store, Prompter& prompter, QWidget* owner)
        : OrionPositionsDialog("dlgorinbse", QStringLiteral("Bse Configuration"), QStringLiteral("B"), store,
                               prompter, owner)
    {
    }
};
