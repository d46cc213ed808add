#pragma once

#include "ColumnPositionsDialog.h"

/// The column positions of NCDEX commodity trade files (row "D").
class dlgncdexconfig : public ColumnPositionsDialog
{
    Q_OBJECT

public:
    dlgncdexconfig(Store& store, Prompter& prompter, QWidget* owner)
        : ColumnPositionsDialog({"dlgncdexconfig", QStringLiteral("NCDEX Configuration"), QStringLiteral("D"),
                                 6, QStringLiteral("Column No.")},
                                store, prompter, owner)
    {
    }
};
