#include "DeskScreens.h"

#include "ClientScreens.h"
#include "ConfirmationScreens.h"
#include "CoreScreens.h"
#include "SpreadsheetScreens.h"

ScreenCatalog makeDeskScreens(DeskSession& session, Prompter& prompter)
{
    ScreenCatalog catalog;
    addCoreScreens(catalog, session, prompter);
    addClientScreens(catalog, session, prompter);
    addConfirmationScreens(catalog, session, prompter);
    addSpreadsheetScreens(catalog, session, prompter);
    return catalog;
}
