#include "TradeConfirmations.h"

#include "CashConfirmations.h"
#include "ClientTable.h"
#include "CommodityConfirmations.h"
#include "DeskSession.h"
#include "FutureConfirmations.h"
#include "MessageQueueTable.h"
#include "NetPositionConfirmations.h"

#include <QSet>

std::unique_ptr<TradeConfirmations> TradeConfirmations::create(DeskSession& session,
                                                               const TradeFileKind& kind)
{
    if (!kind.built)
        return nullptr;
    switch (kind.messages) {
    case TradeFileKind::MessageSource::StoredQuery:
        return std::make_unique<CashConfirmations>(session, kind);
    case TradeFileKind::MessageSource::TradeFragments:
        return std::make_unique<FutureConfirmations>(session, kind);
    case TradeFileKind::MessageSource::NetPositions:
        return std::make_unique<NetPositionConfirmations>(session, kind);
    case TradeFileKind::MessageSource::GreetingQuery:
        return std::make_unique<CommodityConfirmations>(session, kind);
    default:
        return nullptr;
    }
}

namespace {

// The folded codes of the client master, and whether it has any client at all.
std::pair<QSet<QString>, bool> clientCodes(const Store& store, QString (*fold)(const QString&))
{
    const QList<ClientRow> clients = ClientTable(store).all();
    QSet<QString> codes;
    for (const ClientRow& client : clients)
        codes.insert(fold(client.code));
    return {codes, !clients.isEmpty()};
}

} // namespace

QString TradeConfirmations::foldCode(const QString& code)
{
    return code.trimmed().toCaseFolded();
}

QList<QStringList> TradeConfirmations::markMissingClients(QList<QStringList> rows) const
{
    const auto [codes, anyClient] = clientCodes(m_session.StoreConnection(), &foldCode);
    for (QStringList& row : rows) {
        const bool missing = anyClient && !codes.contains(foldCode(row.value(0)));
        row.prepend(missing ? QStringLiteral("Not Found") : QString());
    }
    return rows;
}

QStringList TradeConfirmations::missingAmong(const QStringList& stagedCodes) const
{
    const auto [codes, anyClient] = clientCodes(m_session.StoreConnection(), &foldCode);
    QStringList missing;
    if (!anyClient)
        return missing;
    QSet<QString> named;
    for (const QString& code : stagedCodes) {
        const QString folded = foldCode(code);
        if (!codes.contains(folded) && !named.contains(folded)) {
            named.insert(folded);
            missing << code.trimmed();
        }
    }
    return missing;
}

int TradeConfirmations::send(const QList<QueueGridRow>& grid)
{
    m_alreadyQueued = 0;
    if (m_kind.batch == TradeFileKind::BatchRule::EveryPress)
        m_session.NextBatchNumber();
    if (!m_kind.leavesOutQueuedToday)
        return QueueGrid(m_session, m_kind.appId, grid);

    std::vector<QueuedMessage> messages;
    messages.reserve(size_t(grid.size()));
    for (const QueueGridRow& row : grid) {
        if (!row.mobileNo.isEmpty() && !row.message.isEmpty())
            messages.push_back(m_session.queuedMessage(m_kind.appId, row.mobileNo, row.message));
    }
    m_alreadyQueued =
        MessageQueueTable(m_session.StoreConnection()).insertNotQueuedOn(messages, today(), m_kind.appId);
    return int(messages.size()) - int(m_alreadyQueued);
}

QString TradeConfirmations::alreadyQueuedText() const
{
    if (m_alreadyQueued == 0)
        return {};
    if (m_alreadyQueued == 1)
        return QStringLiteral("1 message was left out: it was queued today already for the same mobile "
                              "number.");
    return QStringLiteral("%1 messages were left out: they were queued today already for the same mobile "
                          "numbers.")
        .arg(m_alreadyQueued);
}
