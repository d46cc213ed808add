#pragma once

#include "CashTradeTable.h"
#include "ColumnPositions.h"
#include "OrionCashLineReader.h"
#include "TradeConfirmations.h"

#include <QList>
#include <QString>
#include <QStringList>

class DeskSession;

/// The two delimited cash-market kinds by exchange, for callers that name them so.
enum class CashExchange { Bse, Nse };

using CashReadReport = TradeReadReport;

/// The engine of the cash-market screens (BSE and NSE, delimited or in the Orion layout) and of
/// `brisant confirm bse|nse|orion-bse|orion-nse`: reads trade files into the staging table, shows the
/// staged trades and the store's summary, builds one or more texts per client from the stored query's
/// fragments, and queues them.
class CashConfirmations : public TradeConfirmations
{
public:
    CashConfirmations(DeskSession& session, const TradeFileKind& kind);
    CashConfirmations(DeskSession& session, CashExchange exchange);

    /// The application id given to the queue, and the key of the positions' settings row.
    QString appId() const { return m_kind.appId; }
    QString positionsKey() const { return m_kind.settingsRow; }

    /// The Orion kinds load their bnfOrion row; throws StoreError when a position cannot be used.
    void loadPositions() override;

    /// The staged trades: client code, script name, rate, quantity, buy/sale; ordered by client code,
    /// script name and buy/sale.
    QList<QStringList> stagedTrades() const;
    /// The same behind msf1's empty first column.
    QList<QStringList> stagedGrid() const override;
    /// The summary as msf2 shows it: the client-master mark ("" or "Not Found"; none marked when the
    /// client master is empty) followed by every column of the stored query, by client code.
    QList<QStringList> summary() const override;
    QStringList missingClientCodes() const override;

    /// The texts of every client of the client master, in its order: the prefix (trimmed where the
    /// kind says so), a blank, the client code, a colon and the fragments joined by commas, a new text
    /// started before one would pass 158 characters. Codes are matched to the client master trimmed,
    /// letter case ignored.
    QList<QueueGridRow> generate(const QString& prefix) const override;

private:
    class DelimitedReader;
    class OrionReader;
    CashTradeTable table() const;
    void clearStaging() override;
    /// Kinds whose conversion error ends a file report it in conversionErrors, one box each.
    std::unique_ptr<LineReader> startRead(TradeReadReport& report) override;

    OrionPositions m_orionPositions;
};
