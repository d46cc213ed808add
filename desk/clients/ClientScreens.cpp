#include "ClientScreens.h"

#include "DeskSession.h"
#include "ScreenCatalog.h"
#include "frmPartymaster.h"

void addClientScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    catalog.add(QStringLiteral("frmPartymaster"),
                [&session, &prompter] { return new frmPartymaster(session.StoreConnection(), prompter); });
}
