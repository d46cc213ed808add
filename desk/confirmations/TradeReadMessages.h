#pragma once

#include "Prompter.h"
#include "TradeConfirmations.h"

#include <QString>
#include <QStringList>

/// Shows what a read of trade files reports, as a trade screen does after "Read File(s)": each
/// conversion error in the box the kind gives it, the lines that could not be read in one box of
/// bounded size (a count and the first lines, all of them on request), and each notice.
void ShowReadReport(Prompter& prompter, const TradeFileKind& kind, const TradeReadReport& report,
                    const QString& title);

/// The box of the lines that could not be read: their count and the first 20; when there are more,
/// every one of them in the box's details.
PromptMessage UnreadLinesMessage(const QStringList& problems, const QString& title);
