#pragma once

#include "ColumnPositionsDialog.h"

/// The column positions of NSE cash-market trade files (row "N").
class dlgnseconfig : public ColumnPositionsDialog
{
    Q_OBJECT

public:
    dlgnseconfig(Store& store, Prompter& prompter, QWidget* owner)
        : ColumnPositionsDialog({"dlgnseconfig", QStringLiteral("Nse Configuration"), QStringLiteral("N"), 5,
                                 QStringLiteral("Column Nos.")},
                                store, prompter, owner)
    {
    }
};
