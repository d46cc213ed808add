#include "AdhocMessages.h"

#include "DeskSession.h"
#include "MessageMasterTable.h"
#include "MessageText.h"

#include <algorithm>

namespace {

constexpr qsizetype kNumberLength = 10;

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

} // namespace

AdhocMessages::AdhocMessages(DeskSession& session)
    : m_session(session)
{
}

QStringList AdhocMessages::acceptNumbers(const QString& text)
{
    QStringList numbers;
    qsizetype start = 0;
    const qsizetype size = text.size();
    while (start <= size) {
        qsizetype end = start;
        while (end < size && text.at(end) != u'\r' && text.at(end) != u'\n')
            ++end;
        qsizetype first = start;
        qsizetype last = end;
        while (first < last && isBlank(text.at(first)))
            ++first;
        while (last > first && isBlank(text.at(last - 1)))
            --last;
        if (last - first >= kNumberLength) {
            const QString number = text.mid(last - kNumberLength, kNumberLength);
            if (std::all_of(number.cbegin(), number.cend(), isAsciiDigit))
                numbers << number;
        }
        start = end + 1;
    }
    return numbers;
}

int AdhocMessages::charactersLeft(const QString& message)
{
    return kMessageLimit - MessageLength(message);
}

QString AdhocMessages::fitMessage(const QString& message)
{
    QString fitted = message;
    while (charactersLeft(fitted) < 0) {
        // A character outside the 16-bit range goes whole, never half of it.
        const qsizetype cut = fitted.size() >= 2 && fitted.back().isLowSurrogate() ? 2 : 1;
        fitted.chop(cut);
    }
    return fitted;
}

QString AdhocMessages::refusal(const QStringList& numbers, const QString& message)
{
    if (message.trimmed().isEmpty())
        return QStringLiteral("Pls. Enter Message");
    if (numbers.isEmpty())
        return QStringLiteral("Pls. Enter Mobile nos.");
    return {};
}

QList<QueueGridRow> AdhocMessages::messageGrid(const QStringList& numbers, const QString& message)
{
    QList<QueueGridRow> grid;
    grid.reserve(numbers.size());
    for (const QString& number : numbers)
        grid.append({number, message});
    return grid;
}

int AdhocMessages::send(const QStringList& numbers, const QString& message)
{
    m_session.NextBatchNumber();
    return QueueGrid(m_session, QStringLiteral("Advanced"), messageGrid(numbers, message));
}

PickList AdhocMessages::storedMessages() const
{
    return MessageMasterTable(m_session.StoreConnection()).messagePickList();
}
