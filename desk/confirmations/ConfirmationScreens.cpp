#include "ConfirmationScreens.h"

#include "ScreenCatalog.h"
#include "TradeScreen.h"
#include "frm_NetPosition.h"

void addConfirmationScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    // Every kind of trade file that can be read has its screen.
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        if (!kind.built)
            continue;
        if (kind.messages == TradeFileKind::MessageSource::NetPositions)
            catalog.add(kind.screen, [&kind, &session, &prompter] {
                return new frm_NetPosition(kind, session, prompter);
            });
        else
            catalog.add(kind.screen,
                        [&kind, &session, &prompter] { return new TradeScreen(kind, session, prompter); });
    }
}
