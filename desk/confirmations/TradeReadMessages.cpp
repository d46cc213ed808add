#include "TradeReadMessages.h"

#include "Prompter.h"

namespace {

// A box naming two thousand lines would be taller than any screen and hide its own OK button.
constexpr qsizetype kShownLines = 20;

} // namespace

PromptMessage UnreadLinesMessage(const QStringList& problems, const QString& title)
{
    const qsizetype count = problems.size();
    PromptMessage message{{}, title, PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok};
    if (count == 1) {
        message.text = QStringLiteral("This line could not be read:\n") + problems.first();
    } else if (count <= kShownLines) {
        message.text =
            QStringLiteral("These %1 lines could not be read:\n").arg(count) + problems.join(u'\n');
    } else {
        message.text = QStringLiteral("These %1 lines could not be read; the first %2 follow, and \"Show "
                                      "Details...\" lists them all:\n")
                           .arg(count)
                           .arg(kShownLines) +
                       problems.first(kShownLines).join(u'\n');
        message.details = problems.join(u'\n');
    }
    return message;
}

void ShowReadReport(Prompter& prompter, const TradeFileKind& kind, const TradeReadReport& report,
                    const QString& title)
{
    for (const QString& error : report.conversionErrors)
        prompter.message(
            {error, kind.conversionErrorTitle,
             kind.conversionErrorCritical ? PromptMessage::Icon::Critical : PromptMessage::Icon::None,
             PromptMessage::Buttons::Ok});
    if (!report.problems.isEmpty())
        prompter.message(UnreadLinesMessage(report.problems, title));
    for (const QString& notice : report.notices)
        prompter.message({notice, title, PromptMessage::Icon::Warning, PromptMessage::Buttons::Ok});
}
