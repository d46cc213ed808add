#include "ConfirmationScreens.h"

#include "DeskSession.h"
#include "ScreenCatalog.h"
#include "TradeScreen.h"

void addConfirmationScreens(ScreenCatalog& catalog, DeskSession& session, Prompter& prompter)
{
    // Every described kind has its screen, and its entry in the SMS menu; kinds that share an entry
    // (one exchange in the two trade-file types) give it once, and it opens the screen of the type the
    // desk is set to when it is chosen.
    QStringList entries;
    for (const TradeFileKind& kind : TradeFileKind::all()) {
        catalog.add(kind.screen,
                    [&kind, &session, &prompter] { return new TradeScreen(kind, session, prompter); });
        if (kind.menuEntry.isEmpty() || entries.contains(kind.menuEntry))
            continue;
        entries << kind.menuEntry;
        catalog.addMenuEntry({QStringLiteral("m_utilsms"), kind.menuEntry, kind.menuCaption,
                              [entry = kind.menuEntry, &session] {
                                  for (const TradeFileKind& candidate : TradeFileKind::all()) {
                                      if (candidate.menuEntry == entry &&
                                          candidate.opensFor(session.TradeFileType()))
                                          return candidate.screen;
                                  }
                                  return QString();
                              }});
    }
}
