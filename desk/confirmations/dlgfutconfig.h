#pragma once

#include "ColumnPositionsDialog.h"

/// The column positions of futures and options trade files (row "F").
class dlgfutconfig : public ColumnPositionsDialog
{
    Q_OBJECT

public:
    dlgfutconfig(Store& store, Prompter& prompter, QWidget* owner)
        : ColumnPositionsDialog({"dlgfutconfig", QStringLiteral("Future Trade Configuration"),
                                 QStringLiteral("F"), 8, QStringLiteral("Column No.")},
                                store, prompter, owner)
    {
    }
};
