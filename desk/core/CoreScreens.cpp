#include "CoreScreens.h"

#include "DeskSession.h"
#include "ScreenCatalog.h"
#include "frmProxyConfig.h"
#include "frmUserMaster.h"

void addCoreScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    catalog.add(QStringLiteral("frmUserMaster"),
                [&session, &prompter] { return new frmUserMaster(session.StoreConnection(), prompter); });
    catalog.add(QStringLiteral("frmProxyConfig"),
                [&session, &prompter] { return new frmProxyConfig(session, prompter); });
}
