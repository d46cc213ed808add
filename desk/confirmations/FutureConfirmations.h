#pragma once

#include "ColumnPositions.h"
#include "TradeConfirmations.h"

#include <QList>
#include <QString>
#include <QStringList>

class FutureTradeTable;

/// The engine of the futures-and-options screens, delimited or with Orion's fixed client and script
/// places, and of `brisant confirm fno|orion-fno`: stages every trade line into `future`, lists the
/// trades with the client-master mark, and words each client's trades one fragment apiece behind
/// the header "prefix code: ".
class FutureConfirmations : public TradeConfirmations
{
public:
    FutureConfirmations(DeskSession& session, const TradeFileKind& kind);

    /// clid, scriptname, rate, qty, bsflag, fut_month, opttype, optval behind the mark; by client code
    /// and, within a client, in file order.
    QList<QStringList> stagedGrid() const override;
    QStringList missingClientCodes() const override;

    /// A client's trades in file order, a fragment each, behind the header; a new text starts when
    /// the next fragment would bring the text to 158 characters, but never before a text's first
    /// fragment. Codes are matched to the client master trimmed, letter case ignored.
    QList<QueueGridRow> generate(const QString& prefix) const override;

private:
    class FutureLineReader;
    FutureTradeTable table() const;
    void clearStaging() override;
    /// A line whose buy/sale flag, rate or quantity is not a number, or that ends before a configured
    /// position, is passed over and named in the report's problems; reading goes on.
    std::unique_ptr<LineReader> startRead(TradeReadReport& report) override;
};
