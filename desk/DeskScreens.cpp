#include "DeskScreens.h"

#include "ClientScreens.h"
#include "CoreScreens.h"

ScreenCatalog makeDeskScreens(DeskSession& session, Prompter& prompter)
{
    ScreenCatalog catalog;
    addCoreScreens(catalog, session, prompter);
    addClientScreens(catalog, session, prompter);
    return catalog;
}
