#include "FutureConfirmations.h"

#include "ClientTable.h"
#include "DecimalText.h"
#include "DeskSession.h"
#include "FutureTradeTable.h"
#include "Store.h"
#include "TradeFileLines.h"
#include "TradeLineSplitter.h"

#include <QHash>
#include <QSet>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

namespace {

using Kind = TradeFileKind;

// A text that the next fragment would bring to this length is sent as it is.
constexpr qsizetype kTextLimit = 158;

// Orion F&O lines carry the client code and the script name at fixed characters, whatever their
// fields hold.
constexpr qsizetype kFixedCodeStart = 15;
constexpr qsizetype kFixedCodeLength = 15;
constexpr qsizetype kFixedScriptStart = 30;
constexpr qsizetype kFixedScriptLength = 30;

enum Position { ClientCode, ScriptName, Rate, Qty, Flag, Month, OptType, OptValue, kPositionCount };

// The texts of one client code, built trade by trade.
struct ClientTexts
{
    QStringList texts;
    QString current;
};

} // namespace

/// Turns the lines of a futures-and-options file into staged trades at the configured positions.
class FutureConfirmations::FutureLineReader : public LineReader
{
public:
    FutureLineReader(const FutureConfirmations& owner, TradeReadReport& report)
        : m_kind(owner.m_kind)
        , m_splitter(m_kind.firstDelimiter, m_kind.secondDelimiter)
        , m_table(owner.table())
        , m_writer(m_table)
        , m_report(report)
    {
        for (int k = 0; k < kPositionCount; ++k) {
            if (!owner.readsPosition(k))
                continue;
            m_positions[k] = owner.position(k);
            if (m_positions[k] >= m_positions[m_furthest])
                m_furthest = k;
        }
    }

    void finish() override { m_writer.flush(); }

    bool readLine(QByteArrayView line, const QString& file, qint64 lineNumber) override
    {
        const int fields = m_splitter.split(line);
        // Not a trade line: no message, as the screen gives none.
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

        FutureTradeRow row;
        QString why;
        const std::optional<QString> rate = TradeFields::rate(field(Rate), m_kind, &why);
        const std::optional<qint32> qty = rate ? TradeFields::quantity(field(Qty), &why) : std::nullopt;
        const std::optional<QString> flag = qty ? TradeFields::flag(field(Flag), m_kind, &why) : std::nullopt;
        if (!flag)
            return skip(file, lineNumber, why);
        row.rate = *rate;
        row.qty = *qty;
        row.flag = *flag;

        if (m_kind.lines == Kind::Lines::DelimitedFixedCode) {
            // Characters, not bytes: a code or script may hold letters beyond ASCII.
            const QString text = DecodeTradeText(line);
            row.clid = text.mid(kFixedCodeStart, kFixedCodeLength).trimmed();
            row.scriptName = text.mid(kFixedScriptStart, kFixedScriptLength);
        } else {
            row.clid = DecodeTradeText(field(ClientCode)).trimmed();
            row.scriptName = DecodeTradeText(field(ScriptName));
        }
        for (const QChar removed : m_kind.scriptNameRemoves)
            row.scriptName.remove(removed);
        if (m_kind.scriptNameTrimmed)
            row.scriptName = row.scriptName.trimmed();
        row.month = DecodeTradeText(field(Month)).mid(2, m_kind.monthLength);
        row.optType = DecodeTradeText(field(OptType));
        row.optValue = DecodeTradeText(field(OptValue)).trimmed();
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

    const Kind& m_kind;
    TradeLineSplitter m_splitter;
    const FutureTradeTable m_table;
    FutureTradeTable::Writer m_writer;
    TradeReadReport& m_report;
    int m_positions[kPositionCount] = {};
    // The position the kind reads that lies furthest into the line.
    int m_furthest = Rate;
};

FutureConfirmations::FutureConfirmations(DeskSession& session, const TradeFileKind& kind)
    : TradeConfirmations(session, kind)
{
}

FutureTradeTable FutureConfirmations::table() const
{
    return FutureTradeTable(m_session.StoreConnection(), m_kind.stagingTable);
}

void FutureConfirmations::clearStaging()
{
    table().clear();
}

std::unique_ptr<TradeConfirmations::LineReader> FutureConfirmations::startRead(TradeReadReport& report)
{
    return std::make_unique<FutureLineReader>(*this, report);
}

QList<QStringList> FutureConfirmations::stagedGrid() const
{
    return markMissingClients(table().stagedRows());
}

QStringList FutureConfirmations::missingClientCodes() const
{
    return missingAmong(table().clientCodes());
}

QList<QueueGridRow> FutureConfirmations::generate(const QString& prefix) const
{
    const QString head = (m_kind.prefixTrimmed ? prefix.trimmed() : prefix) + u' ';
    const QList<ClientRow> clients = ClientTable(m_session.StoreConnection()).all();

    // Texts depend on the trades alone, so each client code is composed once, in one pass over the
    // staged trades in file order, rather than one query per client.
    QHash<QString, qsizetype> slotOfCode;
    for (const ClientRow& client : clients)
        slotOfCode.emplace(foldCode(client.code), slotOfCode.size());
    std::vector<ClientTexts> composed(size_t(slotOfCode.size()));

    // Consecutive trades of one client are common; their code is folded and looked up once.
    std::optional<QString> lastClid;
    qsizetype slot = -1;
    QString fragment;
    table().forEachTrade([&](const StagedFutureTrade& trade) {
        if (trade.clid != lastClid) {
            lastClid = trade.clid;
            slot = slotOfCode.value(foldCode(trade.clid), -1);
        }
        if (slot < 0)
            return;
        fragment = trade.scriptName.trimmed() + u' ' + trade.month;
        if (!trade.optType.trimmed().isEmpty())
            fragment += u' ' + trade.optValue + u' ' + trade.optType;
        if (m_kind.side == Kind::SideWord::Word)
            fragment += trade.flag == QLatin1String("B") ? QStringLiteral(" Buy ") : QStringLiteral(" Sell ");
        else
            fragment += u' ' + trade.flag + u' ';
        fragment += QString::number(trade.qty) + u'@' + ShortestDecimal(trade.rate) + u',';

        ClientTexts& texts = composed[size_t(slot)];
        if (!texts.current.isEmpty()) {
            if (texts.current.size() + fragment.size() < kTextLimit) {
                texts.current += fragment;
                return;
            }
            texts.texts << texts.current;
        }
        texts.current = head + trade.clid + QStringLiteral(": ") + fragment;
    });

    QList<QueueGridRow> grid;
    for (const ClientRow& client : clients) {
        const ClientTexts& texts = composed[size_t(slotOfCode.value(foldCode(client.code)))];
        for (const QString& text : texts.texts)
            grid << QueueGridRow{client.mobile, text};
        if (!texts.current.isEmpty())
            grid << QueueGridRow{client.mobile, texts.current};
    }
    return grid;
}
