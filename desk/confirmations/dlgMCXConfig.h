#pragma once

#include "ColumnPositionsDialog.h"

/// The column positions of MCX commodity trade files (row "C").
class dlgMCXConfig : public ColumnPositionsDialog
{
    Q_OBJECT

public:
    dlgMCXConfig(Store& store, Prompter& prompter, QWidget* owner)
        : ColumnPositionsDialog({"dlgMCXConfig", QStringLiteral("Commodity Configuration"),
                                 QStringLiteral("C"), 6, QStringLiteral("Column No.")},
                                store, prompter, owner)
    {
    }
};
