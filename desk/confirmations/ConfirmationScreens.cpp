#include "ConfirmationScreens.h"

#include "ScreenCatalog.h"
#include "frmBseParse.h"
#include "frmnseparse.h"

void addConfirmationScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    catalog.add(QStringLiteral("frmBseParse"),
                [&session, &prompter] { return new frmBseParse(session, prompter); });
    catalog.add(QStringLiteral("frmnseparse"),
                [&session, &prompter] { return new frmnseparse(session, prompter); });
}
