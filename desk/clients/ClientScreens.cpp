#include "ClientScreens.h"

#include "DeskSession.h"
#include "ScreenCatalog.h"
#include "frmImportExcel.h"
#include "frmMessageQueue.h"
#include "frmPartymaster.h"

void addClientScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    catalog.add(QStringLiteral("frmPartymaster"),
                [&session, &prompter] { return new frmPartymaster(session.StoreConnection(), prompter); });
    catalog.add(QStringLiteral("frmImportExcel"),
                [&session, &prompter] { return new frmImportExcel(session.StoreConnection(), prompter); });
    catalog.add(QStringLiteral("frmMessageQueue"), [&session, &prompter] {
        return new frmMessageQueue(session.StoreConnection(), session.CurrentUserName(), prompter);
    });
}
