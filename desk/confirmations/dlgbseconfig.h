#pragma once

#include "ColumnPositionsDialog.h"

/// The column positions of BSE cash-market trade files (row "B").
class dlgbseconfig : public ColumnPositionsDialog
{
    Q_OBJECT

public:
    dlgbseconfig(Store& store, Prompter& prompter, QWidget* owner)
        : ColumnPositionsDialog({"dlgbseconfig", QStringLiteral("Bse Configuration"), QStringLiteral("B"), 5,
                                 QStringLiteral("Column Nos.")},
                                store, prompter, owner)
    {
    }
};
