#include "CashConfirmations.h"

#include "ClientTable.h"
#include "DecimalText.h"
#include "DeskSession.h"
#include "Store.h"
#include "TradeFileLines.h"
#include "TradeLineSplitter.h"

#include <QHash>
#include <QSet>

#include <cmath>
#include <limits>

namespace {

// A text passing this length starts the next text of the client.
constexpr qsizetype kMaximumTextLength = 158;
// Larger amounts do not fit the staging table's amount column on every engine.

enum Position { ClientCode, ScriptName, Rate, Qty, Flag, kPositionCount };

struct Fragment
{
    QString clientCode;
    QString mymsg;
};

} // namespace

/// Reads the lines of a delimited cash file into the staging writer at the configured positions.
class CashConfirmations::DelimitedReader : public LineReader
{
public:
    DelimitedReader(const CashConfirmations& owner, TradeReadReport& report)
        : m_kind(owner.m_kind)
        , m_splitter(m_kind.firstDelimiter, m_kind.secondDelimiter)
        , m_table(owner.table())
        , m_writer(m_table)
        , m_report(report)
    {
        for (int k = 0; k < kPositionCount; ++k) {
            m_positions[k] = owner.position(k);
            m_needed = std::max(m_needed, m_positions[k] + 1);
        }
    }

    void finish() override { m_writer.flush(); }

    bool readLine(QByteArrayView line, const QString& file, qint64 lineNumber) override
    {
        // A configured position beyond the last field skips the line, as a short line does.
        if (m_splitter.split(line) < m_needed) {
            ++m_report.skipped;
            return true;
        }
        CashTradeRow row;
        const QByteArrayView rateField = m_splitter.field(m_positions[Rate]);
        QString why;
        const std::optional<QString> rate = TradeFields::rate(rateField, m_kind, &why);
        if (!rate) {
            if (m_kind.badLine == TradeFileKind::BadLine::EndsTheFile) {
                ++m_report.skipped;
                m_report.conversionErrors
                    << QStringLiteral("Type mismatch: the rate \"%1\" on line %2 of %3 is not a "
                                      "number; the rest of the file was not read.")
                           .arg(QuoteTradeText(rateField), QString::number(lineNumber), file);
                return false;
            }
            return skip(file, lineNumber, why);
        }
        const std::optional<qint32> qty = TradeFields::quantity(m_splitter.field(m_positions[Qty]), &why);
        if (!qty)
            return skip(file, lineNumber, why);
        const std::optional<QString> flag =
            TradeFields::flag(m_splitter.field(m_positions[Flag]), m_kind, &why);
        if (!flag)
            return skip(file, lineNumber, why);
        row.rate = *rate;
        row.qty = *qty;
        row.flag = *flag;

        row.clientCode = DecodeTradeText(m_splitter.field(m_positions[ClientCode])).trimmed();
        row.scriptName = DecodeTradeText(m_splitter.field(m_positions[ScriptName]));
        if (m_kind.scriptNameTrimmed)
            row.scriptName = row.scriptName.trimmed();
        for (const QChar removed : m_kind.scriptNameRemoves)
            row.scriptName.remove(removed);
        m_writer.add(row);
        ++m_report.staged;
        return true;
    }

private:
    bool skip(const QString& file, qint64 lineNumber, const QString& why)
    {
        return ReportSkippedLine(m_report, file, lineNumber, why);
    }

    const TradeFileKind& m_kind;
    TradeLineSplitter m_splitter;
    const CashTradeTable m_table;
    CashTradeTable::Writer m_writer;
    TradeReadReport& m_report;
    int m_positions[kPositionCount] = {};
    int m_needed = 0;
};

/// Reads the lines of an Orion cash file, both legs of a line, into the staging writer.
class CashConfirmations::OrionReader : public LineReader
{
public:
    OrionReader(const CashConfirmations& owner, TradeReadReport& report)
        : m_table(owner.table())
        , m_writer(m_table)
        , m_reader(makeOrionCashLineReader(owner.m_orionPositions, m_writer, report))
    {
    }

    bool readLine(QByteArrayView line, const QString& file, qint64 lineNumber) override
    {
        return m_reader->readLine(line, file, lineNumber);
    }
    void finish() override { m_writer.flush(); }

private:
    const CashTradeTable m_table;
    CashTradeTable::Writer m_writer;
    std::unique_ptr<CashLineReader> m_reader;
};

CashConfirmations::CashConfirmations(DeskSession& session, const TradeFileKind& kind)
    : TradeConfirmations(session, kind)
{
}

CashConfirmations::CashConfirmations(DeskSession& session, CashExchange exchange)
    : CashConfirmations(session,
                        *TradeFileKind::byCommand(exchange == CashExchange::Bse ? QStringLiteral("bse")
                                                                                : QStringLiteral("nse")))
{
}

CashTradeTable CashConfirmations::table() const
{
    return CashTradeTable(m_session.StoreConnection(), m_kind.stagingTable, m_kind.storedQuery);
}

void CashConfirmations::clearStaging()
{
    table().clear();
}

void CashConfirmations::loadPositions()
{
    if (m_kind.positionsTable != TradeFileKind::PositionsTable::BnfOrion) {
        TradeConfirmations::loadPositions();
        return;
    }
    m_orionPositions = OrionPositions::load(m_session.StoreConnection(), positionsKey());
    m_positionsLoaded = true;
}

std::unique_ptr<TradeConfirmations::LineReader> CashConfirmations::startRead(TradeReadReport& report)
{
    if (m_kind.lines == TradeFileKind::Lines::FixedWidth)
        return std::make_unique<OrionReader>(*this, report);
    return std::make_unique<DelimitedReader>(*this, report);
}

QList<QStringList> CashConfirmations::stagedTrades() const
{
    return table().stagedRows();
}

QList<QStringList> CashConfirmations::stagedGrid() const
{
    QList<QStringList> rows = stagedTrades();
    for (QStringList& row : rows)
        row.prepend(QString());
    return rows;
}

QList<QStringList> CashConfirmations::summary() const
{
    return markMissingClients(table().summaryRows());
}

QStringList CashConfirmations::missingClientCodes() const
{
    // The codes of the staged trades rather than the whole summary: the same codes, far fewer rows.
    return missingAmong(table().clientCodes());
}

QList<QueueGridRow> CashConfirmations::generate(const QString& prefix) const
{
    const QString head = (m_kind.prefixTrimmed ? prefix.trimmed() : prefix) + u' ';

    // One ordered pass over the stored query, rather than one query per client.
    QHash<QString, QList<Fragment>> fragments;
    QString lastCode;
    QList<Fragment>* lastList = nullptr;
    table().forEachFragment([&](const QString& clientCode, const QString& mymsg) {
        if (!lastList || clientCode != lastCode) {
            lastCode = clientCode;
            lastList = &fragments[foldCode(clientCode)];
        }
        lastList->append(Fragment{lastCode, mymsg});
    });

    QList<QueueGridRow> grid;
    const QList<ClientRow> clients = ClientTable(m_session.StoreConnection()).all();
    for (const ClientRow& client : clients) {
        const auto found = fragments.constFind(foldCode(client.code));
        if (found == fragments.constEnd())
            continue;
        QString text;
        for (const Fragment& fragment : *found) {
            if (!text.isEmpty()) {
                if (text.size() + 1 + fragment.mymsg.size() <= kMaximumTextLength) {
                    text += u',' + fragment.mymsg;
                    continue;
                }
                grid << QueueGridRow{client.mobile, text};
            }
            text = head + fragment.clientCode.trimmed() + u':' + fragment.mymsg;
        }
        grid << QueueGridRow{client.mobile, text};
    }
    return grid;
}
