#include "ConfirmationScreens.h"

#include "ScreenCatalog.h"
#include "TradeScreen.h"

void addConfirmationScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    // Every kind of trade file that can be read has its screen.
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        if (kind.built)
            catalog.add(kind.screen,
                        [&kind, &session, &prompter] { return new TradeScreen(kind, session, prompter); });
    }
}
