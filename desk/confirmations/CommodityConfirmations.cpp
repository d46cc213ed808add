#include "CommodityConfirmations.h"

#include "ClientTable.h"
#include "CommodityTradeTable.h"
#include "DeskSession.h"
#include "QueuedTexts.h"
#include "Store.h"
#include "TradeFileLines.h"
#include "TradeLineSplitter.h"

#include <QHash>
#include <QSet>

#include <optional>

namespace {

// A text that the next fragment would bring to this length is staged as it is.
constexpr qsizetype kTextLimit = 158;

enum Position { ClientCode, ScriptName, Rate, Qty, Flag, Month, kPositionCount };

// One row of the stored query: the code as staged and its fragment.
struct Fragment
{
    QString clid;
    QString text;
};

// The guard's key of a text for a number: letter case ignored, as the store compares texts.
QString queuedKey(const QString& mobileNo, const QString& message)
{
    return mobileNo.toCaseFolded() + QChar(u'\n') + message.toCaseFolded();
}

} // namespace

/// Turns the lines of an MCX or NCDEX file into staged trades at the configured positions.
class CommodityConfirmations::CommodityLineReader : public LineReader
{
public:
    CommodityLineReader(const CommodityConfirmations& owner, TradeReadReport& report)
        : m_kind(owner.m_kind)
        , m_splitter(m_kind.firstDelimiter, m_kind.secondDelimiter)
        , m_table(owner.table())
        , m_writer(m_table)
        , m_report(report)
    {
        for (int k = 0; k < kPositionCount; ++k) {
            m_positions[k] = owner.position(k);
            if (m_positions[k] >= m_positions[m_furthest])
                m_furthest = k;
        }
    }

    void finish() override { m_writer.flush(); }

    bool readLine(QByteArrayView line, const QString& file, qint64 lineNumber) override
    {
        const int fields = m_splitter.split(line);
        // Fewer than 11 fields: not a trade line, passed over without a word as the screen does.
        if (fields == 0) {
            ++m_report.skipped;
            return true;
        }
        if (m_positions[m_furthest] >= fields)
            return skip(file, lineNumber,
                        QStringLiteral("the %1 position %2 lies beyond its %3 fields")
                            .arg(positionName(m_furthest))
                            .arg(m_positions[m_furthest])
                            .arg(fields));

        QString why;
        const std::optional<QString> rate = TradeFields::rate(field(Rate), m_kind, &why);
        const std::optional<qint32> qty = rate ? TradeFields::quantity(field(Qty), &why) : std::nullopt;
        const std::optional<QString> flag = qty ? TradeFields::flag(field(Flag), m_kind, &why) : std::nullopt;
        if (!flag)
            return skip(file, lineNumber, why);

        CommodityTradeRow row;
        row.clid = DecodeTradeText(field(ClientCode)).trimmed();
        row.scriptName = DecodeTradeText(field(ScriptName));
        row.rate = *rate;
        row.qty = *qty;
        row.flag = *flag;
        row.month = DecodeTradeText(field(Month)).mid(2, m_kind.monthLength);
        m_writer.add(row);
        ++m_report.staged;
        return true;
    }

private:
    QByteArrayView field(Position position) const { return m_splitter.field(m_positions[position]); }

    bool skip(const QString& file, qint64 lineNumber, const QString& why)
    {
        return ReportSkippedLine(m_report, file, lineNumber, why);
    }

    const TradeFileKind& m_kind;
    TradeLineSplitter m_splitter;
    const CommodityTradeTable m_table;
    CommodityTradeTable::Writer m_writer;
    TradeReadReport& m_report;
    int m_positions[kPositionCount] = {};
    // The position that lies furthest into the line.
    int m_furthest = ClientCode;
};

CommodityConfirmations::CommodityConfirmations(DeskSession& session, const TradeFileKind& kind)
    : TradeConfirmations(session, kind)
{
}

CommodityTradeTable CommodityConfirmations::table() const
{
    return CommodityTradeTable(m_session.StoreConnection(), m_kind.stagingTable);
}

void CommodityConfirmations::clearStaging()
{
    table().clear();
}

std::unique_ptr<TradeConfirmations::LineReader> CommodityConfirmations::startRead(TradeReadReport& report)
{
    return std::make_unique<CommodityLineReader>(*this, report);
}

QList<QStringList> CommodityConfirmations::stagedGrid() const
{
    QList<QStringList> rows = table().stagedRows();
    for (QStringList& row : rows)
        row.prepend(QString());
    return rows;
}

QStringList CommodityConfirmations::missingClientCodes() const
{
    return missingAmong(table().clientCodes());
}

QList<QueueGridRow> CommodityConfirmations::generate(const QString&) const
{
    const Store& store = m_session.StoreConnection();
    const QList<ClientRow> clients = ClientTable(store).all();

    // One pass over the stored query, its rows kept per code in its order, rather than one query per
    // client: the view groups the whole staging table each time it runs.
    QHash<QString, QList<Fragment>> fragmentsOfCode;
    table().forEachFragment(m_kind.storedQuery, [&](const QString& clid, const QString& fragment) {
        fragmentsOfCode[foldCode(clid)].append({clid, fragment + QStringLiteral(", ")});
    });

    QList<QueueGridRow> candidates;
    for (const ClientRow& client : clients) {
        const auto found = fragmentsOfCode.constFind(foldCode(client.code));
        if (found == fragmentsOfCode.cend())
            continue;
        const QString greeting = QStringLiteral("Dear ") + client.name + QStringLiteral(", ");
        QString current;
        for (const Fragment& fragment : *found) {
            const QString header = greeting + u' ' + fragment.clid + QStringLiteral(": ");
            // A text that holds only its header is never staged: the first fragment always joins it.
            if (current.isEmpty()) {
                current = header + fragment.text;
            } else if (current.size() + fragment.text.size() >= kTextLimit) {
                candidates << QueueGridRow{client.mobile, current};
                current = header + fragment.text;
            } else {
                current += fragment.text;
            }
        }
        if (!current.isEmpty())
            candidates << QueueGridRow{client.mobile, current};
    }

    m_alreadyQueued = 0;
    if (!m_kind.leavesOutQueuedToday)
        return candidates;
    // The texts queued today, read once; a candidate is compared as AddToQueue would store it.
    QSet<QString> queuedToday;
    QueuedTexts(store).forEachOn(today(), [&](const QString& mobileNo, const QString& message) {
        queuedToday.insert(queuedKey(mobileNo, message));
    });
    QList<QueueGridRow> grid;
    grid.reserve(candidates.size());
    for (QueueGridRow& candidate : candidates) {
        const QueuedMessage queued =
            m_session.queuedMessage(m_kind.appId, candidate.mobileNo, candidate.message);
        if (!queuedToday.contains(queuedKey(queued.mobileNo, queued.message)))
            grid << std::move(candidate);
    }
    m_alreadyQueued = candidates.size() - grid.size();
    return grid;
}
