#include "TradeConfirmations.h"

#include "ClientTable.h"
#include "DeskSession.h"
#include "MessageQueueTable.h"
#include "Store.h"
#include "TradeFileLines.h"

#include <QSet>

#include <optional>

std::unique_ptr<TradeConfirmations> TradeConfirmations::create(DeskSession& session,
                                                               const TradeFileKind& kind)
{
    return kind.makeEngine ? kind.makeEngine(session, kind) : nullptr;
}

void TradeConfirmations::open()
{
    clearStaging();
    loadPositions();
}

QLatin1String TradeConfirmations::positionName(int k)
{
    static const char* const names[] = {"clientcode", "script_name", "rate",    "qty",
                                        "bs_state",   "monthnm",     "opttype", "optval"};
    return QLatin1String(k >= 0 && k < int(std::size(names)) ? names[k] : "position");
}

bool TradeConfirmations::readsPosition(int k) const
{
    // Fixed-code lines carry the client code and the script name at fixed characters.
    return m_kind.lines != TradeFileKind::Lines::DelimitedFixedCode || k > 1;
}

void TradeConfirmations::loadPositions()
{
    if (m_kind.positionCount == 0) {
        m_positionsLoaded = true;
        return;
    }
    const QString& key = m_kind.settingsRow;
    const ColumnPositions positions(m_session.StoreConnection());
    if (!m_kind.deliveredPositions.isEmpty())
        positions.addMissing(key, m_kind.deliveredPositions);
    const auto row = positions.read(key);
    if (!row)
        throw StoreError(QStringLiteral("bnfconfigure has no row %1 with the column positions").arg(key));
    for (int k = 0; k < m_kind.positionCount; ++k) {
        const std::optional<int> position = (*row)[size_t(k)];
        if (readsPosition(k) && (!position || *position < 0))
            throw StoreError(
                QStringLiteral("the column position %1 of bnfconfigure row %2 is not a field number")
                    .arg(positionName(k), key));
    }
    m_positions = *row;
    m_positionsLoaded = true;
}

TradeReadReport TradeConfirmations::readFiles(const QStringList& files, const Progress& progress)
{
    if (!m_positionsLoaded)
        loadPositions();
    TradeReadReport report;
    // The staging table is emptied and filled in one transaction: a failure leaves what it held.
    std::optional<Transaction> transaction;
    if (!m_kind.stagingTable.isEmpty()) {
        transaction.emplace(m_session.StoreConnection(), Transaction::Writes::PrivateStaging);
        clearStaging();
    }
    const std::unique_ptr<LineReader> reader = startRead(report);
    ReadTradeLines(files, m_kind.skipsFirstLine, progress, report.problems,
                   [&reader](QByteArrayView line, const QString& file, qint64 lineNumber) {
                       return reader->readLine(line, file, lineNumber);
                   });
    reader->finish();
    if (transaction)
        transaction->commit();
    return report;
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
